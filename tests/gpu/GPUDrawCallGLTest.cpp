// GPUVertexArray and GPUDrawCall on Mesa: the quad's coverage and coordinates, index counts, clean-up,
// texture units and uniform lifetime.
#include "grf/GRFGPU/GPUDrawCall.h"

#include <GLES3/gl3.h>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "gpu/QuadPass.h"
#include "grf/GRFGPU/GPUCanvas.h"
#include "grf/GRFGPU/GPUTexture.h"
#include "grf/GRFGPU/GPUVertexArray.h"
#include "grf/GRFGPU/GRFMagicData.h"
#include "support/ImageCompare.h"
#include "support/PlayerGLTest.h"
#include "support/StderrCapture.h"

using GRF::GPUDrawCall;
using GRF::GPUVertexArray;
using GRF::GRFString;
using velmo_test::gl_integer;
using velmo_test::RgbaImage;

namespace {

const char kPassThrough[] = "#version 330\nlayout(location = 0) in vec3 position; layout(location = 1) in vec3 coor; "
                            "out vec2 outCoor; void main() { gl_Position = vec4(position, 1.0); outCoor = coor.xy; }";
const char kShowCoordinate[] = "#version 330\nin vec2 outCoor; out vec4 color; "
                               "void main() { color = vec4(outCoor, 0.0, 1.0); }";
const char kSolid[] = "#version 330\nuniform vec4 tint; out vec4 color; void main() { color = tint; }";

class GPUDrawCallGLTest : public velmo_test::PlayerGLTest {
protected:
    // A canvas over a fresh texture of the given size, cleared to transparent black so alpha shows coverage.
    void make_target(int width, int height)
    {
        _target_name = create_empty_texture(width, height);
        _target = std::make_unique<GRF::GPUTexture>(GRF::GPU_TEXTURE_2D, static_cast<int>(_target_name));
        GRF::GPUCanvasParam param;
        param.width = width;
        param.height = height;
        for (float& channel : param.clear_color)
            channel = 0.0f;
        _canvas = std::make_unique<GRF::GPUCanvas>(param, _target.get());
    }

    RgbaImage draw_and_read(GPUDrawCall& call, int width, int height)
    {
        if (_canvas->get_draw_call_size() == 0)
            _canvas->add_draw_call(&call);
        _canvas->draw();
        return read_texture(_target_name, width, height);
    }

    GLuint _target_name = 0;
    std::unique_ptr<GRF::GPUTexture> _target;
    std::unique_ptr<GRF::GPUCanvas> _canvas;
};

// The number in "... from: vertex array <n>" of a HiLog line, or 0.
GLuint logged_array_name(const std::string& log, const char* message)
{
    const std::string prefix = std::string("I/00000/velmo VideoDecoder: ") + message + " from: vertex array ";
    const size_t at = log.find(prefix);
    if (at == std::string::npos)
        return 0;
    const size_t digits = at + prefix.size();
    const size_t end = log.find('\n', digits);
    if (end == std::string::npos || end == digits ||
        log.find_first_not_of("0123456789", digits) != end)
        return 0;
    return static_cast<GLuint>(std::stoul(log.substr(digits, end - digits)));
}

} // namespace

TEST_F(GPUDrawCallGLTest, QuadCoversTheViewportWithCoordinatesFromBottomLeft)
{
    auto quad = velmo_test::make_quad();
    GPUDrawCall call{GRFString(kPassThrough), GRFString(kShowCoordinate)};
    call.set_vertex_array(quad.get());
    make_target(8, 6);

    RgbaImage expected(8, 6);
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 8; ++x) {
            uint8_t* pixel = expected.at(x, y);
            pixel[0] = static_cast<uint8_t>(std::lround((x + 0.5) / 8.0 * 255.0));
            pixel[1] = static_cast<uint8_t>(std::lround((y + 0.5) / 6.0 * 255.0));
            pixel[3] = 255;
        }
    }
    EXPECT_TRUE(velmo_test::images_match("quad_coordinates", draw_and_read(call, 8, 6), expected,
                                         velmo_test::ImageTolerance{1, 1.0, 0.5, true}));
    EXPECT_EQ(gl_integer(GL_VERTEX_ARRAY_BINDING), 0);
}

TEST_F(GPUDrawCallGLTest, IndexCountIsTheByteSizeOverFour)
{
    const float white[] = {1.0f, 1.0f, 1.0f, 1.0f};
    make_target(8, 8);

    // 12 bytes are three indices: only the first triangle (top-right, bottom-right, bottom-left).
    GPUVertexArray half;
    half.add_vertex(GRF::GRFMagicData::plane_vertex, 48, 0, 3, 0);
    half.set_index(GRF::GRFMagicData::plane_vertex_index, 12);
    GPUDrawCall call{GRFString(kPassThrough), GRFString(kSolid)};
    call.put_uniform_floatvec4(GRFString("tint"), white);
    call.set_vertex_array(&half);
    const RgbaImage drawn = draw_and_read(call, 8, 8);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            if (x != y) {
                EXPECT_EQ(drawn.at(x, y)[3], x > y ? 255 : 0) << "pixel " << x << "," << y;
            }
        }
    }

    // 26 bytes still mean six whole indices.
    GPUVertexArray whole;
    whole.add_vertex(GRF::GRFMagicData::plane_vertex, 48, 0, 3, 0);
    const unsigned int padded[7] = {0, 1, 2, 0, 2, 3, 99};
    whole.set_index(padded, 26);
    call.set_vertex_array(&whole);
    const RgbaImage full = draw_and_read(call, 8, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(full.at(x, y)[3], 255) << "pixel " << x << "," << y;
}

TEST_F(GPUDrawCallGLTest, VertexArrayDeletesEveryBufferAndLogsThroughHiLog)
{
    velmo_test::StderrCapture construction;
    auto array = std::make_unique<GPUVertexArray>();
    const std::string constructed = construction.finish();
    const GLuint vao = logged_array_name(constructed, "GPUVertexArray2");
    ASSERT_NE(vao, 0u) << constructed;

    std::vector<GLuint> buffers;
    array->add_vertex(GRF::GRFMagicData::plane_vertex, 48, 0, 3, 0);
    buffers.push_back(static_cast<GLuint>(gl_integer(GL_ARRAY_BUFFER_BINDING)));
    array->add_vertex(GRF::GRFMagicData::plane_coor, 48, 1, 3, 0);
    buffers.push_back(static_cast<GLuint>(gl_integer(GL_ARRAY_BUFFER_BINDING)));
    EXPECT_EQ(gl_integer(GL_VERTEX_ARRAY_BINDING), 0);
    // A generated name becomes an array object when first bound, which add_vertex does.
    EXPECT_TRUE(glIsVertexArray(vao));

    auto index_buffer = [&] {
        glBindVertexArray(vao);
        const GLuint name = static_cast<GLuint>(gl_integer(GL_ELEMENT_ARRAY_BUFFER_BINDING));
        glBindVertexArray(0);
        return name;
    };
    array->set_index(GRF::GRFMagicData::plane_vertex_index, 24);
    const GLuint first_index_buffer = index_buffer();
    array->set_index(GRF::GRFMagicData::cube_vertex_index, 144);
    const GLuint second_index_buffer = index_buffer();
    EXPECT_FALSE(glIsBuffer(first_index_buffer)) << "a replaced index buffer is deleted, not leaked";
    buffers.push_back(second_index_buffer);
    for (GLuint buffer : buffers)
        EXPECT_TRUE(glIsBuffer(buffer)) << buffer;

    velmo_test::StderrCapture destruction;
    array.reset();
    const std::string destroyed = destruction.finish();
    EXPECT_EQ(logged_array_name(destroyed, "GPUVertexArray"), vao) << destroyed;
    for (GLuint buffer : buffers)
        EXPECT_FALSE(glIsBuffer(buffer)) << buffer;
    EXPECT_FALSE(glIsVertexArray(vao));
}

TEST_F(GPUDrawCallGLTest, TextureUniformBindsItsUnitAndLeavesItActive)
{
    GPUDrawCall call{GRFString(kPassThrough), GRFString("#version 330\nin vec2 outCoor; uniform sampler2D image; "
                                                        "out vec4 color; void main() { color = texture(image, outCoor); }")};
    GRF::GPUTexture texture(GRF::GPU_TEXTURE_2D, -1);
    glActiveTexture(GL_TEXTURE0);

    EXPECT_EQ(call.put_uniform_texture(GRFString("image"), &texture, 3), 0);
    EXPECT_EQ(gl_integer(GL_ACTIVE_TEXTURE), GL_TEXTURE3);
    EXPECT_EQ(gl_integer(GL_TEXTURE_BINDING_2D), texture.get_texture_id());
    const GLuint program = static_cast<GLuint>(gl_integer(GL_CURRENT_PROGRAM));
    ASSERT_NE(program, 0u);
    GLint unit = -1;
    glGetUniformiv(program, glGetUniformLocation(program, "image"), &unit);
    EXPECT_EQ(unit, 3);

    velmo_test::StderrCapture capture;
    EXPECT_EQ(call.put_uniform_texture(GRFString("image"), nullptr, 1), -1);
    EXPECT_NE(capture.finish().find("put_uniform_texture image: no texture"), std::string::npos);
}

TEST_F(GPUDrawCallGLTest, UniformKeepsItsValueAcrossDraws)
{
    auto quad = velmo_test::make_quad();
    GPUDrawCall call{GRFString(kPassThrough), GRFString(kSolid)};
    call.set_vertex_array(quad.get());
    const float tint[] = {0.2f, 0.4f, 0.6f, 1.0f};
    call.put_uniform_floatvec4(GRFString("tint"), tint);
    make_target(3, 3);

    RgbaImage expected(3, 3);
    for (int i = 0; i < 9; ++i) {
        const uint8_t pixel[] = {51, 102, 153, 255};
        std::copy(pixel, pixel + 4, &expected.pixels[static_cast<size_t>(i) * 4]);
    }
    for (int draw = 0; draw < 3; ++draw) {
        glUseProgram(0);
        EXPECT_TRUE(velmo_test::images_match("uniform_kept", draw_and_read(call, 3, 3), expected,
                                             velmo_test::ImageTolerance::exact()))
            << "draw " << draw;
    }
}

TEST_F(GPUDrawCallGLTest, DrawWithoutVertexArrayIsRefused)
{
    GPUDrawCall call{GRFString(kPassThrough), GRFString(kSolid)};
    velmo_test::StderrCapture capture;
    EXPECT_EQ(call.draw(), -1);
    EXPECT_NE(capture.finish().find("GPUDrawCall draw: no vertex array set"), std::string::npos);
}

TEST_F(GPUDrawCallGLTest, DestructionDeletesTheProgramButNotTheArray)
{
    velmo_test::StderrCapture capture;
    auto quad = velmo_test::make_quad();
    const GLuint vao = logged_array_name(capture.finish(), "GPUVertexArray2");
    GLuint program = 0;
    {
        GPUDrawCall call{GRFString(kPassThrough), GRFString(kSolid)};
        call.set_vertex_array(quad.get());
        call.put_uniform_float(GRFString("unused"), 0.0f);
        program = static_cast<GLuint>(gl_integer(GL_CURRENT_PROGRAM));
        glUseProgram(0);
        EXPECT_TRUE(glIsProgram(program));
    }
    EXPECT_FALSE(glIsProgram(program));
    EXPECT_TRUE(glIsVertexArray(vao));
}
