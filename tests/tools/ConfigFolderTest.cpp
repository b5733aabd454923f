// Where configure.ini goes: a folder the user named must exist; otherwise a per-user cache folder.
#include "ConfigFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "ScratchFolder.h"
#include "ToolError.h"

using namespace velmo_upscale;
using velmo_upscale_test::ScratchFolder;

namespace {

// Puts an environment variable back as it was when the test ends, so that the tests after it in
// the same process (a run of the whole executable) still find HOME and the temporary folder.
class RestoredVariable {
public:
    explicit RestoredVariable(const char* name) : _name(name)
    {
        if (const char* value = std::getenv(name))
            _value = value;
    }
    ~RestoredVariable()
    {
        if (_value)
            ::setenv(_name, _value->c_str(), 1);
        else
            ::unsetenv(_name);
    }
    RestoredVariable(const RestoredVariable&) = delete;
    RestoredVariable& operator=(const RestoredVariable&) = delete;

private:
    const char* _name;
    std::optional<std::string> _value;
};

} // namespace

TEST(ConfigFolderTest, NamedFolderMustExist)
{
    ScratchFolder folder;
    EXPECT_EQ(config_folder(folder.path()), folder.path());
    try {
        config_folder(folder.path("missing"));
        ADD_FAILURE() << "a missing folder was accepted";
    } catch (const ToolError& error) {
        EXPECT_EQ(error.status(), kExitUsage);
        EXPECT_NE(std::string(error.what()).find("is not an existing folder"), std::string::npos);
    }
    std::string file = folder.write("file", "x");
    EXPECT_THROW(config_folder(file), ToolError);
}

TEST(ConfigFolderTest, DefaultIsCreatedInTheUsersCache)
{
    RestoredVariable cache("XDG_CACHE_HOME"), home("HOME");
    ScratchFolder folder;
    ::setenv("XDG_CACHE_HOME", folder.path("cache").c_str(), 1);
    EXPECT_EQ(config_folder(""), folder.path("cache/velmo"));
    EXPECT_TRUE(std::filesystem::is_directory(folder.path("cache/velmo")));

    ::unsetenv("XDG_CACHE_HOME");
    ::setenv("HOME", folder.path("home").c_str(), 1);
    std::filesystem::create_directory(folder.path("home"));
    EXPECT_EQ(config_folder(""), folder.path("home/.cache/velmo"));
}

TEST(ConfigFolderTest, UnusableCacheFallsBackToTheTemporaryFolder)
{
    RestoredVariable cache("XDG_CACHE_HOME"), temporary("TMPDIR");
    ScratchFolder folder;
    std::string blocker = folder.write("not-a-folder", "x");
    ::setenv("XDG_CACHE_HOME", blocker.c_str(), 1);
    ::setenv("TMPDIR", folder.path().c_str(), 1);
    EXPECT_EQ(config_folder(""), folder.path());
}
