// configure.ini text, pipeline choice and the failure-safe write, without a GPU.
#include "velmo/EngineConfigFile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "api/ExpectedConfig.h"
#include "support/TemporaryDirectory.h"

using kx_velmo::ConfigWriteResult;
using kx_velmo::choose_fast_sr_mode;
using kx_velmo::engine_config_text;
using kx_velmo::write_engine_config;

using velmo_test::read_file;
using velmo_test::TemporaryDirectory;

TEST(EngineConfigFile, TextFor1280x720)
{
    const std::string text = engine_config_text(1280, 720);
    EXPECT_EQ(text, velmo_test::kConfigFor1280x720);
    EXPECT_EQ(text.size(), 397u);
    EXPECT_NE(engine_config_text(-1, 0).find("maxwidth : -1\nVideoEnhance_SuperResolution_maxheight : 0\n"),
              std::string::npos);
}

TEST(EngineConfigFile, PipelineChoiceAroundThreshold)
{
    struct Case {
        int priority;
        int width, height;
        int expected;
    };
    const Case cases[] = {
        {1, 1024, 576, 0}, {1, 1025, 576, 1}, {1, 1280, 720, 1}, {1, 960, 540, 0}, {7, 1280, 720, 1},
        {2, 640, 360, 1},  {2, 1920, 1080, 1}, {3, 640, 360, 0},  {3, 1920, 1080, 0}, {0, 640, 360, 0},
        {0, 1920, 1080, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(choose_fast_sr_mode(0, c.width, c.height, c.priority == 0, c.priority == 2, c.priority == 3),
                  c.expected)
            << "priority " << c.priority << " at " << c.width << "x" << c.height;
    }
    // Priority 0 keeps whatever was chosen before.
    EXPECT_EQ(choose_fast_sr_mode(1, 640, 360, true, false, false), 1);
}

TEST(EngineConfigFile, PixelCountDoesNotOverflow)
{
    // 65536 x 65536 overflows a 32-bit product to 0; it is a large frame all the same.
    EXPECT_EQ(choose_fast_sr_mode(0, 65536, 65536, false, false, false), 1);
    EXPECT_EQ(choose_fast_sr_mode(0, 46341, 46341, false, false, false), 1);
}

TEST(EngineConfigFile, WritesAndReplacesFile)
{
    TemporaryDirectory directory;
    std::string path;
    ASSERT_EQ(write_engine_config(directory.path(), "old content that is longer\n", path), ConfigWriteResult::written);
    ASSERT_EQ(write_engine_config(directory.path(), engine_config_text(1280, 720), path), ConfigWriteResult::written);
    EXPECT_EQ(path, directory.path() + "/configure.ini");
    EXPECT_EQ(read_file(path), engine_config_text(1280, 720));
    EXPECT_EQ(directory.entries(), std::vector<std::string>{"configure.ini"}) << "no temporary file may remain";
}

TEST(EngineConfigFile, PathIsDirectoryPlusName)
{
    TemporaryDirectory directory;
    std::string path;
    ASSERT_EQ(write_engine_config(directory.path() + "/", "x\n", path), ConfigWriteResult::written);
    EXPECT_EQ(path, directory.path() + "//configure.ini");
}

TEST(EngineConfigFile, MissingDirectoryFailsToOpen)
{
    std::string path = "unchanged";
    EXPECT_EQ(write_engine_config("/nonexistent/velmo", "x\n", path), ConfigWriteResult::open_failed);
    EXPECT_EQ(path, "unchanged");
}

TEST(EngineConfigFile, FailedWriteLeavesNoTruncatedFile)
{
    TemporaryDirectory directory;
    std::string path;
    ASSERT_EQ(write_engine_config(directory.path(), "previous\n", path), ConfigWriteResult::written);

    // In a child limited to 64-byte files, the 397-byte write fails part way.
    pid_t child = fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{64, 64};
        setrlimit(RLIMIT_FSIZE, &limit);
        std::string child_path;
        ConfigWriteResult result = write_engine_config(directory.path(), engine_config_text(1280, 720), child_path);
        _exit(result == ConfigWriteResult::write_failed ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the failed write was not reported";
    EXPECT_EQ(read_file(directory.path() + "/configure.ini"), "previous\n") << "the old file must survive intact";
    EXPECT_EQ(directory.entries(), std::vector<std::string>{"configure.ini"});
}

namespace {

struct stat status_of(const std::string& path)
{
    struct stat status = {};
    lstat(path.c_str(), &status);
    return status;
}

// Runs `body` in a child process without root's power to write anywhere; returns its exit code.
template <typename Body>
int run_unprivileged(Body body)
{
    pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(99);
        _exit(body());
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 98;
}

} // namespace

TEST(EngineConfigFile, ReplacingKeepsModeOwnerAndHardLinks)
{
    TemporaryDirectory directory;
    const std::string file = directory.path() + "/configure.ini";
    std::string path;

    // A new file gets what fopen would give it: 0666 less the umask.
    const mode_t previous_mask = umask(077);
    const ConfigWriteResult created = write_engine_config(directory.path(), "new\n", path);
    umask(previous_mask);
    ASSERT_EQ(created, ConfigWriteResult::written);
    EXPECT_EQ(status_of(file).st_mode & 07777, 0600u);

    // A replaced file keeps its mode, and its owner where the process may set it.
    ASSERT_EQ(chmod(file.c_str(), 0640), 0);
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown(file.c_str(), 65534, 65534), 0);
    }
    ASSERT_EQ(write_engine_config(directory.path(), "second\n", path), ConfigWriteResult::written);
    EXPECT_EQ(status_of(file).st_mode & 07777, 0640u);
    if (root) {
        EXPECT_EQ(status_of(file).st_uid, 65534u);
    }

    // Every hard link goes on naming the one file.
    const std::string other = directory.path() + "/other.ini";
    ASSERT_EQ(link(file.c_str(), other.c_str()), 0);
    ASSERT_EQ(write_engine_config(directory.path(), "third\n", path), ConfigWriteResult::written);
    EXPECT_EQ(read_file(other), "third\n");
    EXPECT_EQ(status_of(other).st_ino, status_of(file).st_ino);
}

TEST(EngineConfigFile, SymbolicLinkIsWrittenThrough)
{
    TemporaryDirectory link_directory;
    TemporaryDirectory target_directory;
    const std::string target = target_directory.path() + "/real.ini";
    const std::string link_path = link_directory.path() + "/configure.ini";
    ASSERT_EQ(symlink(target.c_str(), link_path.c_str()), 0);

    std::string path;
    ASSERT_EQ(write_engine_config(link_directory.path(), "dangling\n", path), ConfigWriteResult::written);
    EXPECT_EQ(read_file(target), "dangling\n") << "a dangling link gets its target created";
    ASSERT_EQ(write_engine_config(link_directory.path(), "through\n", path), ConfigWriteResult::written);
    EXPECT_TRUE(S_ISLNK(status_of(link_path).st_mode));
    EXPECT_EQ(read_file(target), "through\n");
    EXPECT_EQ(target_directory.entries(), std::vector<std::string>{"real.ini"});
    EXPECT_EQ(path, link_path);
}

TEST(EngineConfigFile, ReadOnlyDirectoryWritesAWritableFileInPlace)
{
    TemporaryDirectory directory;
    const std::string file = directory.path() + "/configure.ini";
    {
        std::FILE* created = std::fopen(file.c_str(), "w");
        ASSERT_NE(created, nullptr);
        std::fclose(created);
    }
    ASSERT_EQ(chmod(file.c_str(), 0666), 0);
    ASSERT_EQ(chmod(directory.path().c_str(), 0555), 0);
    const int code = run_unprivileged([&] {
        std::string path;
        return write_engine_config(directory.path(), "in place\n", path) == ConfigWriteResult::written ? 0 : 1;
    });
    chmod(directory.path().c_str(), 0700);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(read_file(file), "in place\n");
}

TEST(EngineConfigFile, TemporaryFileOfAnotherWriterIsLeftAlone)
{
    // configure.ini.tmp may be a file another writer is filling right now: it is neither reused nor removed.
    TemporaryDirectory directory;
    const std::string other = directory.path() + "/configure.ini.tmp";
    {
        std::FILE* busy = std::fopen(other.c_str(), "w");
        ASSERT_NE(busy, nullptr);
        std::fputs("another writer's text\n", busy);
        std::fclose(busy);
    }
    std::string path;
    ASSERT_EQ(write_engine_config(directory.path(), "fresh\n", path), ConfigWriteResult::written);
    EXPECT_EQ(read_file(path), "fresh\n");
    EXPECT_EQ(read_file(other), "another writer's text\n");
    EXPECT_EQ(directory.entries().size(), 2u) << "no temporary file of this write may remain";
}

TEST(EngineConfigFile, NewFileTakesTheUmaskWithoutReadingAnyFile)
{
    // With one descriptor to spare, the write succeeds only if it opens nothing but its own file,
    // and the new file still gets 0666 less the umask.
    TemporaryDirectory directory;
    pid_t child = fork();
    if (child == 0) {
        umask(077);
        const int lowest_free = dup(0);
        close(lowest_free);
        const rlimit limit{static_cast<rlim_t>(lowest_free) + 1, static_cast<rlim_t>(lowest_free) + 1};
        setrlimit(RLIMIT_NOFILE, &limit);
        std::string path;
        if (write_engine_config(directory.path(), "new\n", path) != ConfigWriteResult::written)
            _exit(1);
        _exit((status_of(path).st_mode & 07777) == 0600 ? 0 : 2);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: not written; 2: mode other than 0600 under umask 077";
}

TEST(EngineConfigFile, FileTheProcessMayNotWriteIsRefused)
{
    // A read-only configure.ini of the process's own, in a folder it may write: fopen(path, "w")
    // fails there, and so does the write, leaving the file as it was.
    TemporaryDirectory directory;
    const std::string file = directory.path() + "/configure.ini";
    std::string path;
    ASSERT_EQ(write_engine_config(directory.path(), "kept\n", path), ConfigWriteResult::written);
    ASSERT_EQ(chmod(file.c_str(), 0444), 0);
    if (geteuid() == 0) {
        ASSERT_EQ(chown(file.c_str(), 65534, 65534), 0);
        ASSERT_EQ(chmod(directory.path().c_str(), 0777), 0);
    }
    const int code = run_unprivileged([&] {
        std::string child_path = "unchanged";
        const ConfigWriteResult result = write_engine_config(directory.path(), "replaced\n", child_path);
        return result == ConfigWriteResult::open_failed && child_path == "unchanged" ? 0 : 1;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(read_file(file), "kept\n");
    EXPECT_EQ(status_of(file).st_mode & 07777, 0444u);
}

TEST(EngineConfigFile, WritableFileOfAnotherOwnerKeepsItsOwner)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to make a file of another owner";
    // A shared folder holding root's world-writable configure.ini, written by another user.
    TemporaryDirectory directory;
    const std::string file = directory.path() + "/configure.ini";
    std::string path;
    ASSERT_EQ(write_engine_config(directory.path(), "root's\n", path), ConfigWriteResult::written);
    ASSERT_EQ(chmod(file.c_str(), 0666), 0);
    ASSERT_EQ(chmod(directory.path().c_str(), 0777), 0);
    const int code = run_unprivileged([&] {
        std::string child_path;
        return write_engine_config(directory.path(), "rewritten\n", child_path) == ConfigWriteResult::written ? 0 : 1;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(read_file(file), "rewritten\n");
    EXPECT_EQ(status_of(file).st_uid, 0u) << "the file changed hands";
    EXPECT_EQ(status_of(file).st_mode & 07777, 0666u);
}
