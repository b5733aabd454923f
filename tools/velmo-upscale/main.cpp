// velmo-upscale: upscales a PNG picture or a video with velmo on a headless OpenGL ES context.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>

#include "AvSupport.h"
#include "ConfigFolder.h"
#include "Jobs.h"
#include "Options.h"
#include "OutputFile.h"
#include "ToolError.h"

using namespace velmo_upscale;

namespace {

void check_input(const Options& options)
{
    std::FILE* file = std::fopen(options.input.c_str(), "rb");
    if (!file)
        throw ToolError(kExitInput, "cannot open '" + options.input + "': " + std::strerror(errno));
    std::fclose(file);
    struct stat info {};
    if (::stat(options.input.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        throw ToolError(kExitInput, "cannot open '" + options.input + "': it is a folder");
    if (same_file(options.input, options.output))
        throw ToolError(kExitUsage, "'" + options.output + "' is the input itself; choose another output name");
    if (!options.compare_path.empty() && same_file(options.input, options.compare_path))
        throw ToolError(kExitUsage, "'" + options.compare_path + "' is the input itself; choose another --compare name");
}

} // namespace

int main(int argc, char** argv)
{
    set_ffmpeg_verbosity(false);
    remove_unfinished_outputs_on_signals();
    try {
        Options options = parse_options(argc, argv);
        set_ffmpeg_verbosity(options.verbose);
        if (options.show_help) {
            std::fputs(help_text().c_str(), stdout);
            return kExitOk;
        }
        check_input(options);
        std::string folder = config_folder(options.config_dir);
        std::string summary = options.output_kind == OutputKind::Png ? upscale_picture(options, folder)
                                                                     : upscale_video(options, folder);
        std::printf("velmo-upscale: %s\n", summary.c_str());
        return kExitOk;
    } catch (const ToolError& error) {
        std::fprintf(stderr, "velmo-upscale: %s\n", error.what());
        return error.status();
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "velmo-upscale: out of memory\n");
        return kExitFailure;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "velmo-upscale: %s\n", error.what());
        return kExitFailure;
    }
}
