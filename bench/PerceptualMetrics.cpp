// Each figure comes from one run of a libjxl tool through the shell, its output read back and
// parsed: butteraugli_main prints the maximum on its first line and "3-norm: X" after it;
// ssimulacra_main prints its one figure. libpng's warnings may come between them.
#include "PerceptualMetrics.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "PngIo.h"

namespace velmo_bench {
namespace {

std::string quoted(const std::string& text)
{
    std::string result = "'";
    for (char c : text)
        result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return result + "'";
}

// The tool's standard output and error together; throws when it cannot run or ends with a failure.
std::string run_tool(const std::string& tool, const std::string& arguments)
{
    std::string command = tool + " " + arguments + " 2>&1";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        throw std::runtime_error("cannot run " + tool);
    std::string output;
    char buffer[512];
    size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, count);
    int status = pclose(pipe);
    if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error(tool + " failed (is libjxl-devtools installed?): " + output);
    return output;
}

// The number that makes up a whole line after `prefix`, from the first such line; false if none.
bool figure_after(const std::string& output, const std::string& prefix, double& figure)
{
    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find('\n', start);
        if (end == std::string::npos)
            end = output.size();
        std::string line = output.substr(start, end - start);
        start = end + 1;
        if (line.compare(0, prefix.size(), prefix) != 0)
            continue;
        const char* text = line.c_str() + prefix.size();
        char* rest = nullptr;
        double value = std::strtod(text, &rest);
        if (rest != text && *rest == '\0') {
            figure = value;
            return true;
        }
    }
    return false;
}

double figure_of(const std::string& tool, const std::string& output, const std::string& prefix)
{
    double figure = 0;
    if (!figure_after(output, prefix, figure))
        throw std::runtime_error(tool + " printed no figure" + (prefix.empty() ? "" : " after \"" + prefix + "\"") +
                                 ": " + output);
    return figure;
}

} // namespace

PerceptualScorer::PerceptualScorer()
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/velmo-quality-XXXXXX";
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make a temporary folder from " + pattern);
    _folder = pattern;
    _original_path = _folder + "/original.png";
    _test_path = _folder + "/test.png";
}

PerceptualScorer::~PerceptualScorer()
{
    unlink(_original_path.c_str());
    unlink(_test_path.c_str());
    rmdir(_folder.c_str());
}

void PerceptualScorer::set_original(const velmo_upscale::RgbaImage& original)
{
    velmo_upscale::save_png(_original_path, original, false);
    _original_width = original.width;
    _original_height = original.height;
}

PerceptualScores PerceptualScorer::score(const velmo_upscale::RgbaImage& test)
{
    if (test.width != _original_width || test.height != _original_height)
        throw std::runtime_error("pictures of different sizes cannot be compared");
    velmo_upscale::save_png(_test_path, test, false);
    std::string pair = quoted(_original_path) + " " + quoted(_test_path);
    std::string butteraugli = run_tool("butteraugli_main", pair + " --pnorm 3");
    std::string ssimulacra = run_tool("ssimulacra_main", pair);

    PerceptualScores scores;
    scores.butteraugli_max = figure_of("butteraugli_main", butteraugli, "");
    scores.butteraugli_3norm = figure_of("butteraugli_main", butteraugli, "3-norm: ");
    scores.ssimulacra = figure_of("ssimulacra_main", ssimulacra, "");
    return scores;
}

} // namespace velmo_bench
