// glslangValidator runs on temporary files; the stage comes from the file extension.
#include "shaders/Glslang.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace velmo_test {

bool glslang_available()
{
    return !std::string(VELMO_GLSLANG_VALIDATOR).empty();
}

std::string glslang_rejection(const std::string& text, bool vertex)
{
    char directory[] = "/tmp/velmo-glslang-XXXXXX";
    if (!mkdtemp(directory))
        return "could not create a temporary folder";
    const std::string path = std::string(directory) + (vertex ? "/stage.vert" : "/stage.frag");
    std::ofstream(path) << text;
    std::string output;
    if (std::FILE* pipe = popen(("'" + std::string(VELMO_GLSLANG_VALIDATOR) + "' '" + path + "' 2>&1").c_str(), "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof(buffer), pipe))
            output += buffer;
        const int status = pclose(pipe);
        if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
            output.clear();
        else
            output += "\n" + text;
    } else {
        output = "could not run " + std::string(VELMO_GLSLANG_VALIDATOR);
    }
    std::remove(path.c_str());
    rmdir(directory);
    return output;
}

} // namespace velmo_test
