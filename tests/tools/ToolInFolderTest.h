// A fixture that runs velmo-upscale as a user does, in a scratch folder of its own.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "ScratchFolder.h"
#include "ToolRun.h"

namespace velmo_upscale_test {

class ToolInFolderTest : public ::testing::Test {
protected:
    // The tool (VELMO_UPSCALE_PATH) run in the scratch folder with -y, its configure.ini in
    // `streams`, standard input from `input` through a pipe; what it printed is read back.
    ToolRun run(const std::vector<std::string>& arguments, const std::string& input = "/dev/null")
    {
        std::string command = "cd " + shell_quoted(folder.path()) + " && cat " + shell_quoted(input) + " | " +
                              shell_quoted(VELMO_UPSCALE_PATH) + " -y --config-dir " + shell_quoted(streams.path());
        for (const std::string& argument : arguments)
            command += " " + shell_quoted(argument);
        command += " >" + shell_quoted(streams.path("out")) + " 2>" + shell_quoted(streams.path("err"));
        int raw = std::system(command.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ScratchFolder::read(streams.path("out")),
                ScratchFolder::read(streams.path("err"))};
    }

    ScratchFolder folder;
    ScratchFolder streams; // configure.ini and the captured output
};

} // namespace velmo_upscale_test
