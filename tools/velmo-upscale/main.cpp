// velmo-upscale: upscales PNG pictures and videos with velmo, on a headless OpenGL ES context or
// with velmo's CPU pass.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <functional>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "AvSupport.h"
#include "ConfigFolder.h"
#include "Jobs.h"
#include "Options.h"
#include "OutputFile.h"
#include "ToolError.h"
#include "VelmoLog.h"
#include "client/EglSession.h"
#include "velmo/velmo_api.h"

using namespace velmo_upscale;
using velmo_client::EglSession;
using velmo_client::GpuError;

namespace {

// Everything about one job that can be refused before any work starts.
void check_job(const Options& options)
{
    bool from_stdin = options.input == "-";
    if (options.output == "-" && ::isatty(STDOUT_FILENO))
        throw ToolError(kExitUsage, "'-' writes Y4M to standard output, which is a terminal; pipe it into a program");
    if (!from_stdin && ::access(options.input.c_str(), F_OK) != 0)
        throw ToolError(kExitInput, "cannot open '" + options.input + "': " + std::strerror(errno));
    if (!from_stdin && same_file(options.input, options.output))
        throw ToolError(kExitUsage, "'" + options.output + "' is the input itself; choose another output name");
    if (!options.compare_path.empty()) {
        if (!from_stdin && same_file(options.input, options.compare_path))
            throw ToolError(kExitUsage, "'" + options.compare_path + "' is the input itself; choose another --compare name");
        if (same_destination(options.output, options.compare_path))
            throw ToolError(kExitUsage, "'" + options.compare_path + "' is the output itself; choose another --compare name");
    }
    confirm_overwrite(options.output, options.overwrite, from_stdin);
    if (!options.compare_path.empty())
        confirm_overwrite(options.compare_path, options.overwrite, from_stdin);
}

// Runs one job and prints its summary: on standard output, unless the video goes there.
void run_job(const Options& options, const std::string& config_folder)
{
    check_job(options);
    std::string summary = options.output_kind == OutputKind::Png ? upscale_picture(options, config_folder)
                                                                 : upscale_video(options, config_folder);
    std::fprintf(options.output == "-" ? stderr : stdout, "velmo-upscale: %s\n", summary.c_str());
    std::fflush(stdout);
}

// The exit status of one job, its failure reported on standard error.
int guarded(const std::function<void()>& work)
{
    try {
        work();
        return kExitOk;
    } catch (const ToolError& error) {
        std::fprintf(stderr, "velmo-upscale: %s\n", error.what());
        return error.status();
    } catch (const GpuError& error) {
        std::fprintf(stderr, "velmo-upscale: %s\n", error.what());
        return kExitGpu;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "velmo-upscale: out of memory\n");
        return kExitFailure;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "velmo-upscale: %s\n", error.what());
        return kExitFailure;
    }
}

int show_version()
{
    std::printf("velmo-upscale %s\nvelmo %s\n", VELMO_UPSCALE_VERSION, velmo_version());
    // Without any GL the CPU backend still works, so that is no failure.
    try {
        EglSession session;
        std::printf("OpenGL ES renderer: %s\n", session.renderer().c_str());
    } catch (const GpuError& error) {
        std::printf("OpenGL ES renderer: none (%s); --backend cpu works without it\n", error.what());
    }
    return kExitOk;
}

// Each input into the folder under its own name; one failure does not stop the others, the exit
// status is the first failure's.
int run_batch(const Options& options, const std::string& config_folder)
{
    struct stat info {};
    if (::stat(options.output_dir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        throw ToolError(kExitOutput, "-o " + options.output_dir + ": not an existing folder");
    int status = kExitOk;
    std::vector<std::string> failed;
    std::set<std::string> outputs;
    for (const std::string& input : options.inputs) {
        int result = guarded([&] {
            Options job = options;
            job.input = input;
            job.output = batch_output_path(options.output_dir, input);
            job.output_kind = output_kind_for(job.output);
            // Two inputs of one name in different folders would write one file.
            if (!outputs.insert(job.output).second)
                throw ToolError(kExitUsage, "'" + input + "' would be written to '" + job.output +
                                                "' like an input before it; left out");
            run_job(job, config_folder);
        });
        if (result != kExitOk) {
            failed.push_back(input);
            if (status == kExitOk)
                status = result;
        }
    }
    size_t done = options.inputs.size() - failed.size();
    std::string summary = std::to_string(options.inputs.size()) + (options.inputs.size() == 1 ? " input: " : " inputs: ") +
                          std::to_string(done) + " written to " + options.output_dir;
    if (!failed.empty()) {
        summary += ", " + std::to_string(failed.size()) + " failed (";
        for (size_t i = 0; i < failed.size(); ++i)
            summary += (i ? ", " : "") + failed[i];
        summary += ")";
    }
    std::printf("velmo-upscale: %s\n", summary.c_str());
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    set_ffmpeg_verbosity(false);
    remove_unfinished_outputs_on_signals();
    int status = kExitOk;
    int outcome = guarded([&] {
        Options options = parse_options(argc, argv);
        set_ffmpeg_verbosity(options.verbose);
        route_velmo_log(options.verbose);
        if (options.show_help) {
            std::fputs(help_text().c_str(), stdout);
            return;
        }
        if (options.show_version) {
            status = show_version();
            return;
        }
        std::string folder = config_folder(options.config_dir);
        if (options.output_dir.empty())
            run_job(options, folder);
        else
            status = run_batch(options, folder);
    });
    return outcome != kExitOk ? outcome : status;
}
