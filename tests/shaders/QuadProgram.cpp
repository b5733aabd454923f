// QuadProgram: quad, draw call and canvas wired the way the library's passes are.
#include "shaders/QuadProgram.h"

#include <GLES3/gl3.h>

#include "grf/GRFGPU/GPUCanvas.h"
#include "grf/GRFGPU/GPUCanvasParam.h"
#include "grf/GRFGPU/GRFMagicData.h"

namespace velmo_test {

QuadProgram::QuadProgram(const GRF::GRFString& vertex_source, const GRF::GRFString& fragment_source,
                         bool second_coordinates)
    : _quad(std::make_unique<GRF::GPUVertexArray>()),
      _call(std::make_unique<GRF::GPUDrawCall>(vertex_source, fragment_source))
{
    using namespace GRF::GRFMagicData;
    _quad->add_vertex(plane_vertex, sizeof(plane_vertex), 0, 3, 0);
    _quad->add_vertex(plane_coor, sizeof(plane_coor), 1, 3, 0);
    if (second_coordinates)
        _quad->add_vertex(plane_coor, sizeof(plane_coor), 2, 3, 0);
    _quad->set_index(plane_vertex_index, sizeof(plane_vertex_index));
    _call->set_vertex_array(_quad.get());
}

void QuadProgram::set_texture(const GRF::GRFString& name, GRF::GPUTexture* texture, int unit)
{
    _samplers.push_back({name, texture, unit});
}

RgbaImage QuadProgram::draw(int width, int height)
{
    GRF::GPUTexture target(GRF::GPU_TEXTURE_2D, -1);
    GRF::GPUCanvasParam param;
    param.width = width;
    param.height = height;
    for (float& component : param.clear_color)
        component = 0.0f;
    RgbaImage result(width, height);
    {
        GRF::GPUCanvas canvas(param, &target);
        canvas.add_draw_call(_call.get());
        for (const Sampler& sampler : _samplers)
            _call->put_uniform_texture(sampler.name, sampler.texture, sampler.unit);
        canvas.draw();
        canvas.read_pixel_rgba(0, 0, width, height, result.pixels.data());
    }
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    return result;
}

std::unique_ptr<GRF::GPUTexture> upload(const RgbaImage& image)
{
    auto texture = std::make_unique<GRF::GPUTexture>(GRF::GPU_TEXTURE_2D, -1);
    texture->set_data_RGBA(const_cast<unsigned char*>(image.pixels.data()), image.width, image.height);
    return texture;
}

GRF::GRFString with_desktop_header(const GRF::GRFString& fragment_source)
{
    return GRF::GRFString("#version 330\n") + fragment_source;
}

} // namespace velmo_test
