// velmo-make-samples: writes the sample picture and clip that the main job upscales.
#include <cstdio>
#include <exception>
#include <string>

#include "AvSupport.h"
#include "OutputFile.h"
#include "PngIo.h"
#include "SampleScene.h"
#include "ToolError.h"

using namespace velmo_upscale;

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: velmo-make-samples FOLDER\n"
                             "writes FOLDER/sample.png (640x360) and FOLDER/sample.mp4 (512x288, 3 s, with sound)\n");
        return kExitUsage;
    }
    std::string folder = argv[1];
    set_ffmpeg_verbosity(false);
    try {
        std::string picture = folder + "/sample.png";
        save_png(picture, render_sample_scene(640, 360, 0.0), false);
        OutputFile clip(folder + "/sample.mp4");
        write_sample_clip(clip.write_path(), OutputKind::Mp4, SampleClip{});
        clip.commit();
        std::printf("velmo-make-samples: wrote %s and %s\n", picture.c_str(), clip.final_path().c_str());
        return kExitOk;
    } catch (const ToolError& error) {
        std::fprintf(stderr, "velmo-make-samples: %s\n", error.what());
        return error.status();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "velmo-make-samples: %s\n", error.what());
        return kExitFailure;
    }
}
