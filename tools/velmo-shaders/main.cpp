// velmo-shaders: writes velmo's upscaler as user-shader files for mpv and FFmpeg's libplacebo filter,
// one per sharpening level of velmo_init and one without sharpening, into the folder it is given.
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>

#include "HookShader.h"

namespace {

struct Variant {
    const char* file_name;
    velmo_shaders::HookSettings settings;
};

// The sharpness of each sr_level as velmo_init sets it; the shader tests compare every file with
// velmo_process at its level, so a change there shows up as a mismatch.
const Variant kVariants[] = {
    {"velmo-level1.glsl", {"sharpening level 1 (strongest)", 2.0f}},
    {"velmo-level2.glsl", {"sharpening level 2 (velmo's default)", 1.5f}},
    {"velmo-level3.glsl", {"sharpening level 3 (mildest)", 1.0f}},
    {"velmo-nosharpening.glsl", {"no sharpening", 0.0f}},
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: velmo-shaders OUTPUT_FOLDER\n");
        return 2;
    }
    try {
        for (const Variant& variant : kVariants) {
            const std::string path = std::string(argv[1]) + "/" + variant.file_name;
            const std::string text = velmo_shaders::make_hook_shader(variant.settings);
            std::ofstream out(path, std::ios::binary);
            out << text;
            out.close();
            if (!out)
                throw std::runtime_error("cannot write " + path);
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "velmo-shaders: %s\n", error.what());
        return 1;
    }
    return 0;
}
