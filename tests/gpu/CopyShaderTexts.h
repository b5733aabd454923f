// The copy and colour-conversion texts as the tests walk through them: name, stage and text.
#pragma once

#include <string>
#include <vector>

#include "velmo/SrRenderCommon.h"

namespace velmo_test {

struct ShaderText {
    std::string name;
    bool vertex;
    std::string text;
};

inline std::vector<ShaderText> copy_shader_texts()
{
    using kx_velmo::SrRenderCommon;
    return {
        {"_s_vertex_shader_src", true, SrRenderCommon::_s_vertex_shader_src.c_str()},
        {"_s_vertex_shader_src_310", true, SrRenderCommon::_s_vertex_shader_src_310.c_str()},
        {"_s_2d_fragment_shader_src", false, SrRenderCommon::_s_2d_fragment_shader_src.c_str()},
        {"_s_oes_fragment_shader_src", false, SrRenderCommon::_s_oes_fragment_shader_src.c_str()},
        {"_s_2d__rgb2y_fragment_shader_src", false, SrRenderCommon::_s_2d__rgb2y_fragment_shader_src.c_str()},
        {"_s_2d__rgb2uv_fragment_shader_src", false, SrRenderCommon::_s_2d__rgb2uv_fragment_shader_src.c_str()},
        {"_s_yuv420p_2d_fragment_shader_src", false, SrRenderCommon::_s_yuv420p_2d_fragment_shader_src.c_str()},
        {"_s_nv12_2d_fragment_shader_src", false, SrRenderCommon::_s_nv12_2d_fragment_shader_src.c_str()},
    };
}

// The fragment texts carry no version line; the library compiles them behind this header.
inline std::string desktop_form(const ShaderText& shader)
{
    return shader.vertex ? shader.text : "#version 330\n" + shader.text;
}

} // namespace velmo_test
