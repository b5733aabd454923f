// Outputs appear whole or not at all, with ordinary permissions, and never over the input.
#include "OutputFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "ScratchFolder.h"
#include "ToolError.h"

using namespace velmo_upscale;
using velmo_upscale_test::ScratchFolder;

namespace {

ExitStatus status_of_opening(const std::string& path)
{
    try {
        OutputFile output(path);
    } catch (const ToolError& error) {
        return error.status();
    }
    return kExitOk;
}

} // namespace

TEST(OutputFileTest, CommitReplacesTheOldFileWithOrdinaryPermissions)
{
    ScratchFolder folder;
    std::string final_path = folder.write("out.png", "old");
    mode_t previous_mask = ::umask(022);
    {
        OutputFile output(final_path);
        std::ofstream(output.write_path(), std::ios::binary) << "new";
        EXPECT_EQ(ScratchFolder::read(final_path), "old") << "the old file survives until the commit";
        output.commit();
    }
    ::umask(previous_mask);
    EXPECT_EQ(ScratchFolder::read(final_path), "new");
    struct stat info {};
    ASSERT_EQ(::stat(final_path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
    EXPECT_EQ(folder.names(), std::vector<std::string>{"out.png"});
}

TEST(OutputFileTest, WithoutCommitNothingIsLeftAndTheOldFileStays)
{
    ScratchFolder folder;
    std::string final_path = folder.write("out.mp4", "old");
    {
        OutputFile output(final_path);
        std::ofstream(output.write_path(), std::ios::binary) << "half a video";
    }
    EXPECT_EQ(ScratchFolder::read(final_path), "old");
    EXPECT_EQ(folder.names(), std::vector<std::string>{"out.mp4"});
}

TEST(OutputFileTest, UnwritableDestinationsFailBeforeAnyWork)
{
    ScratchFolder folder;
    EXPECT_EQ(status_of_opening(folder.path("missing/out.png")), kExitOutput);
    EXPECT_EQ(status_of_opening(folder.path()), kExitOutput) << "a folder is no output file";
    try {
        OutputFile output(folder.path("missing/out.png"));
    } catch (const ToolError& error) {
        EXPECT_STREQ(error.what(), ("cannot write '" + folder.path("missing/out.png") +
                                    "': No such file or directory").c_str());
    }
}

TEST(OutputFileTest, SameFileSeesThroughLinks)
{
    ScratchFolder folder;
    std::string a = folder.write("a.png", "a");
    std::string b = folder.write("b.png", "b");
    ASSERT_EQ(::symlink(a.c_str(), folder.path("link.png").c_str()), 0);
    EXPECT_TRUE(same_file(a, folder.path("link.png")));
    EXPECT_TRUE(same_file(a, folder.path("./a.png")));
    EXPECT_FALSE(same_file(a, b));
    EXPECT_FALSE(same_file(a, folder.path("missing.png")));
}
