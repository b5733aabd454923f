// The velmo calls of the tool, with every result code turned into a message.
#include "VelmoUpscaler.h"

#include <cstdio>

#include "ToolError.h"
#include "client/DrawFrame.h"
#include "velmo/velmo_api.h"

namespace velmo_upscale {
namespace {

std::string number_text(float value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
    return text;
}

} // namespace

VelmoUpscaler::VelmoUpscaler(const Options& options, const std::string& config_folder, int width, int height,
                             float scale)
    : _quiet(!options.verbose), _width(width), _height(height)
{
    if (!velmo_client::output_size(width, height, scale, _output_width, _output_height))
        throw ToolError(kExitUsage, "--scale " + number_text(scale) + " leaves nothing of a " +
                                        std::to_string(width) + "x" + std::to_string(height) + " picture");

    velmo_init_params params = make_init_params(options, config_folder.c_str());
    int32_t result = 0;
    _instance = velmo_init(&params);
    result = velmo_set_input_props(_instance, width, height, scale);
    if (result == VELMO_ERROR_CONFIG_FILE) {
        // The file is for a separate engine; velmo works on without it.
        std::fprintf(stderr, "velmo-upscale: note: velmo could not write configure.ini into '%s'\n",
                     config_folder.c_str());
    } else if (result != VELMO_OK) {
        velmo_release(_instance);
        throw ToolError(kExitGpu, "velmo_set_input_props refused " + std::to_string(width) + "x" +
                                      std::to_string(height) + " at scale " + number_text(scale) +
                                      " (result " + std::to_string(result) + ")");
    }
}

VelmoUpscaler::~VelmoUpscaler()
{
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
    const DrawnTexture out = draw_texture(_input.name());
    if (!_reader.read(out.texture, out.width, out.height, result))
        throw ToolError(kExitGpu, "cannot read velmo's output texture back");
}

DrawnTexture VelmoUpscaler::draw_texture(GLuint input)
{
    velmo_input_frame in = {};
    in.width = _width;
    in.height = _height;
    in.texid = static_cast<int32_t>(input);
    in.tex_type = 0;

    const velmo_client::DrawnFrame frame = velmo_client::draw_frame(_instance, in);
    if (!frame.drawn)
        throw ToolError(kExitGpu, velmo_client::draw_failure(frame) +
                                      (frame.result != VELMO_OK && _quiet ? " (--verbose shows velmo's log)" : ""));
    const velmo_output_frame& out = frame.out;
    if (out.width != _output_width || out.height != _output_height)
        throw ToolError(kExitGpu, "velmo drew " + std::to_string(out.width) + "x" + std::to_string(out.height) +
                                      " instead of " + std::to_string(_output_width) + "x" +
                                      std::to_string(_output_height));
    return {static_cast<GLuint>(out.texid), out.width, out.height};
}

} // namespace velmo_upscale
