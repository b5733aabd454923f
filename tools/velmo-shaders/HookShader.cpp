// Builds a hook-format user shader from the exported texts of velmo's upscaling pass: the texts are
// edited by exact, counted replacements, so any change to them that the conversion does not know
// stops the generator instead of slipping into the file.
#include "HookShader.h"

#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "velmo/SrRenderCommon.h"
#include "velmo/velmo_api.h"

namespace velmo_shaders {
namespace {

size_t count_of(const std::string& text, const std::string& piece)
{
    size_t count = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + piece.size()))
        ++count;
    return count;
}

// Replaces every occurrence of `from`, which must occur exactly `expected` times (0: at least once).
void replace(std::string& text, const std::string& from, const std::string& to, size_t expected = 1)
{
    size_t found = count_of(text, from);
    if (found == 0 || (expected != 0 && found != expected))
        throw std::runtime_error("the library's shader text has \"" + from + "\" " + std::to_string(found) +
                                 " times, expected " + (expected ? std::to_string(expected) : "at least once"));
    std::string result;
    size_t start = 0;
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, start)) {
        result.append(text, start, at - start).append(to);
        start = at + from.size();
    }
    text = result + text.substr(start);
}

void expect_absent(const std::string& text, const std::string& piece)
{
    if (text.find(piece) != std::string::npos)
        throw std::runtime_error("the converted shader still has \"" + piece + "\"");
}

std::string remove_prefix(const std::string& text, const std::string& prefix)
{
    if (text.compare(0, prefix.size(), prefix) != 0)
        throw std::runtime_error("the library's shader text does not start with \"" + prefix + "\"");
    return text.substr(prefix.size());
}

// A GLSL float literal that reads back as exactly the same float.
std::string glsl_float(float value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", value);
    std::string literal = text;
    if (literal.find_first_of(".e") == std::string::npos)
        literal += ".0";
    return literal;
}

// Before it upscales, the library copies the frame into an 8-bit RGBA texture: values clamped to
// [0, 1] and rounded to 1/255. The hook's picture is float (and may leave [0, 1] after a limited-range
// conversion), so it makes the same copy first. The upscaling pass writes alpha 1 either way.
const char* const kInputCopyPass =
    "vec4 hook() {\n"
    "return vec4(floor(clamp(HOOKED_texOff(vec2(0.0)).rgb, 0.0, 1.0) * 255.0 + 0.5) / 255.0, 1.0);\n"
    "}\n";

// The statements of the vertex stage that place the output pixel and the five blur taps, run per
// pixel: HOOKED_pos is the output pixel's centre in the input's coordinates, which is what the
// vertex stage's texture coordinate becomes with the identity texture matrix the C interface uses.
// The blur step is one output pixel, as the renderer sets it. The vertex stage computes at high
// precision, so its locals say so.
std::string vertex_statements()
{
    std::string body = remove_prefix(kx_velmo::SrRenderCommon::_s_usm_1pass_vertex_shader_src_310.c_str(),
                                      "#version 310 es\n ");
    size_t main_at = body.find("void main() { ");
    if (main_at == std::string::npos || body.back() != '}')
        throw std::runtime_error("the library's vertex text has no main() of the expected form");
    body = body.substr(main_at + 14, body.size() - main_at - 15);
    replace(body, "gl_Position = videoCrop * vec4(position, 1.0); ", "");
    replace(body, "(texMat * vec4(coor, 1.0)).xy", "HOOKED_pos");
    replace(body, "vec2 ", "highp vec2 ", 0);
    return "highp float texelWidthOffset = 1.0 / target_size.x; "
           "highp float texelHeightOffset = 1.0 / target_size.y; " + body;
}

// The gather variant of the upscaling pass with its uniforms turned into the hook's names and the
// settings into constants; its inputs become globals that hook() fills with the vertex statements.
std::string upscaling_pass(const HookSettings& settings)
{
    std::string text = remove_prefix(kx_velmo::SrRenderCommon::_s_gsr_render_fragment_shader_src.c_str(),
                                     "#version 310 es\n ");
    replace(text, "uniform highp vec4 ViewportInfo; ", "\n#define ViewportInfo vec4(HOOKED_pt, HOOKED_size)\n");
    replace(text, "uniform mediump sampler2D ps0; ", "");
    replace(text, "uniform int enableEdgeAdaptive; ",
            std::string("const int enableEdgeAdaptive = ") + (settings.edge_adaptive ? "1" : "0") + "; ");
    replace(text, "uniform int enableBilateralFilter; ", "const int enableBilateralFilter = 0; ");
    replace(text, "uniform int enableFaceProtection; ",
            std::string("const int enableFaceProtection = ") + (settings.face_protection ? "1" : "0") + "; ");
    replace(text, "uniform float usmSharpness; ",
            "const float usmSharpness = " + glsl_float(settings.usm_sharpness) + "; ");
    replace(text, "in highp vec2 outCoor; ", "highp vec2 outCoor; ");
    replace(text, "in vec2 blurCoordinates[GAUSSIAN_SAMPLES]; ", "vec2 blurCoordinates[GAUSSIAN_SAMPLES]; ");
    replace(text, "out vec4 out_Target0; ", "vec4 out_Target0; ");
    replace(text, "texture(ps0, ", "HOOKED_tex(", 0);
    replace(text, "textureLod(ps0, ", "HOOKED_mul * textureLod(HOOKED_raw, ", 0);
    replace(text, "textureGather(ps0, ", "HOOKED_gather(", 0);
    replace(text, "void main() { ", "vec4 hook() { " + vertex_statements());
    // The library draws into an 8-bit RGBA target, which clamps; the hook's target is float.
    const std::string last = "out_Target0 = vec4(color, 1.0); }";
    if (text.size() < last.size() || text.compare(text.size() - last.size(), last.size(), last) != 0)
        throw std::runtime_error("the library's upscaling text does not end with \"" + last + "\"");
    text.replace(text.size() - 1, 1, "return clamp(out_Target0, 0.0, 1.0); }");
    expect_absent(text, "ps0");
    expect_absent(text, "uniform ");
    // One statement per line, for a person reading the file.
    replace(text, "; ", ";\n", 0);
    replace(text, "{ ", "{\n", 0);
    replace(text, "} ", "}\n", 0);
    return text + "\n";
}

// Both passes run only when the player scales the picture up.
const char* const kWhenUpscaling = "//!WHEN OUTPUT.w HOOKED.w > OUTPUT.h HOOKED.h > +\n";

} // namespace

std::string make_hook_shader(const HookSettings& settings)
{
    const std::string version = velmo_version();
    std::string file;
    file += "// velmo " + version + " upscaler for mpv and FFmpeg's libplacebo filter: " + settings.title + ".\n";
    file += "// Generated by velmo-shaders from the shader texts of libvelmo " + version +
            ", so it draws what velmo_process draws; do not edit.\n";
    file += "// Settings: unsharp-mask sharpness " + glsl_float(settings.usm_sharpness) + ", edge-adaptive sharpening " +
            (settings.edge_adaptive ? "on" : "off") + ", face protection " + (settings.face_protection ? "on" : "off") +
            ", no smoothing.\n";
    file += "// Two passes on MAIN (the RGB picture before the player's scaler), only when scaling up: the\n"
            "// picture as 8-bit RGBA, then velmo's edge-adaptive upscaling with its unsharp mask fused in,\n"
            "// at the output size. Give FFmpeg's libplacebo filter w and h, which become the output size.\n";
    file += "\n//!HOOK MAIN\n//!BIND HOOKED\n//!DESC velmo input as 8-bit RGBA\n";
    file += kWhenUpscaling;
    file += kInputCopyPass;
    file += "\n//!HOOK MAIN\n//!BIND HOOKED\n//!DESC velmo upscaling (" + settings.title + ")\n";
    file += "//!WIDTH OUTPUT.w\n//!HEIGHT OUTPUT.h\n";
    file += kWhenUpscaling;
    file += upscaling_pass(settings);
    return file;
}

} // namespace velmo_shaders
