// The velmo calls of the tool, with every result code turned into a message.
#include "VelmoUpscaler.h"

#include <cstdio>

#include "LibraryLogGate.h"
#include "ToolError.h"
#include "velmo/velmo_api.h"

namespace velmo_upscale {
namespace {

// velmo draws from its third or fourth call; a few more cover any set-up it may grow.
constexpr int kMaxSetupSubmissions = 8;

std::string number_text(float value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
    return text;
}

// The library's own text for the result, with the code for a bug report.
std::string process_error(int32_t result)
{
    return std::string("velmo_process failed: ") + velmo_result_string(result) + " (result " +
           std::to_string(result) + ")";
}

} // namespace

VelmoUpscaler::VelmoUpscaler(const Options& options, const std::string& config_folder, int width, int height,
                             float scale)
    : _quiet(!options.verbose), _width(width), _height(height)
{
    if (!scaled_size(width, height, scale, _output_width, _output_height))
        throw ToolError(kExitUsage, "--scale " + number_text(scale) + " leaves nothing of a " +
                                        std::to_string(width) + "x" + std::to_string(height) + " picture");

    velmo_init_params params = make_init_params(options, config_folder.c_str());
    int32_t result = 0;
    {
        LibraryLogGate gate(_quiet);
        _instance = velmo_init(&params);
        result = velmo_set_input_props(_instance, width, height, scale);
    }
    if (result == VELMO_ERROR_CONFIG_FILE) {
        // The file is for a separate engine; velmo works on without it.
        std::fprintf(stderr, "velmo-upscale: note: velmo could not write configure.ini into '%s'\n",
                     config_folder.c_str());
    } else if (result != VELMO_OK) {
        LibraryLogGate gate(_quiet);
        velmo_release(_instance);
        throw ToolError(kExitGpu, "velmo_set_input_props refused " + std::to_string(width) + "x" +
                                      std::to_string(height) + " at scale " + number_text(scale) +
                                      " (result " + std::to_string(result) + ")");
    }
}

VelmoUpscaler::~VelmoUpscaler()
{
    LibraryLogGate gate(_quiet);
    velmo_release(_instance);
}

void VelmoUpscaler::upscale(const RgbaImage& frame, RgbaImage& result)
{
    upload(frame);
    draw(result);
}

void VelmoUpscaler::upload(const RgbaImage& frame)
{
    _input.upload(frame);
}

void VelmoUpscaler::draw(RgbaImage& result)
{
    velmo_input_frame in = {};
    in.width = _width;
    in.height = _height;
    in.texid = static_cast<int32_t>(_input.name());
    in.tex_type = 0;

    velmo_output_frame out = {};
    int submissions = 0;
    for (;;) {
        int32_t code = 0;
        {
            LibraryLogGate gate(_quiet);
            code = velmo_process(_instance, &in, &out);
        }
        ++submissions;
        if (code != VELMO_OK)
            throw ToolError(kExitGpu, process_error(code) + (_quiet ? " (--verbose shows velmo's log)" : ""));
        if (out.texid != in.texid)
            break;
        if (submissions == kMaxSetupSubmissions)
            throw ToolError(kExitGpu, "velmo still passes frames through after " + std::to_string(submissions) +
                                          " submissions");
    }
    if (out.width != _output_width || out.height != _output_height)
        throw ToolError(kExitGpu, "velmo drew " + std::to_string(out.width) + "x" + std::to_string(out.height) +
                                      " instead of " + std::to_string(_output_width) + "x" +
                                      std::to_string(_output_height));
    if (!_reader.read(static_cast<GLuint>(out.texid), out.width, out.height, result))
        throw ToolError(kExitGpu, "cannot read velmo's output texture back");
}

} // namespace velmo_upscale
