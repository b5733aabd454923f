// GPUProgram on Mesa: linking with info-log reporting, uniform setters, and matrix upload orientation.
#include "grf/GRFGPU/GPUProgram.h"

#include <GLES3/gl3.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gpu/QuadPass.h"
#include "grf/GRFGPU/GPUCanvas.h"
#include "grf/GRFGPU/GPUDrawCall.h"
#include "grf/GRFGPU/GPUShader.h"
#include "grf/GRFGPU/GPUTexture.h"
#include "support/ImageCompare.h"
#include "support/PlayerGLTest.h"
#include "support/StderrCapture.h"

using GRF::GPUProgram;
using GRF::GPUShader;
using GRF::GRFString;
using velmo_test::gl_integer;

namespace {

const char kVertex[] = "#version 330\nlayout(location = 0) in vec3 position; "
                       "void main() { gl_Position = vec4(position, 1.0); }";

// Every uniform kind, all of them live so none is optimised away.
const char kAllUniforms[] =
    "#version 330\nuniform float f; uniform vec2 v2; uniform vec3 v3; uniform vec4 v4; uniform int i; "
    "uniform ivec2 iv; uniform mat4 m4; uniform mat3 m3; out vec4 color; "
    "void main() { color = vec4(f) + vec4(v2, v3.xy) + v4 + vec4(float(i + iv.x + iv.y)) + m4[0] + vec4(m3[0], 0.0); }";

// Pixel (x, y) of a 4 x 4 target shows element (row y, column x) of m as the shader sees it.
const char kMatrixProbe[] = "#version 330\nuniform mat4 m; out vec4 color; "
                            "void main() { ivec2 p = ivec2(gl_FragCoord.xy); color = vec4(m[p.x][p.y], 0.0, 0.0, 1.0); }";

class GPUProgramGLTest : public velmo_test::PlayerGLTest {
protected:
    // A linked program from the two texts, built the way the draw call builds it.
    static std::unique_ptr<GPUProgram> link(const char* vertex, const char* fragment)
    {
        auto program = std::make_unique<GPUProgram>();
        GPUShader vertex_shader(GRFString(vertex), GRF::GPU_SHADER_VERTEX);
        GPUShader fragment_shader(GRFString(fragment), GRF::GPU_SHADER_FRAGMENT);
        vertex_shader.compile();
        fragment_shader.compile();
        program->attach_shader(&vertex_shader);
        program->attach_shader(&fragment_shader);
        program->link_program();
        return program;
    }

    static GLint location(const GPUProgram& program, const char* name)
    {
        return glGetUniformLocation(static_cast<GLuint>(program.get_program_id()), name);
    }

    static std::vector<float> floats(const GPUProgram& program, const char* name, size_t count)
    {
        std::vector<float> values(count, -99.0f);
        glGetUniformfv(static_cast<GLuint>(program.get_program_id()), location(program, name), values.data());
        return values;
    }

    static std::vector<int> ints(const GPUProgram& program, const char* name, size_t count)
    {
        std::vector<int> values(count, -99);
        glGetUniformiv(static_cast<GLuint>(program.get_program_id()), location(program, name), values.data());
        return values;
    }
};

// A 4 x 4 matrix whose element (i, j) is (4 i + j) / 15, so each shows as a distinct exact byte.
GRF::Matrix4x4<float> numbered_matrix()
{
    GRF::Matrix4x4<float> m;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            m.set(i, j, static_cast<float>(4 * i + j) / 15.0f);
    return m;
}

} // namespace

TEST_F(GPUProgramGLTest, LinksAndDeletesTheProgram)
{
    GLuint name = 0;
    {
        velmo_test::StderrCapture capture;
        auto program = link(kVertex, kAllUniforms);
        EXPECT_EQ(capture.finish(), "");
        name = static_cast<GLuint>(program->get_program_id());
        GLint linked = GL_FALSE;
        glGetProgramiv(name, GL_LINK_STATUS, &linked);
        EXPECT_EQ(linked, GL_TRUE);
    }
    EXPECT_FALSE(glIsProgram(name));
}

TEST_F(GPUProgramGLTest, LinkErrorIsLoggedAndReturnsZero)
{
    GPUProgram program;
    GPUShader vertex(GRFString(kVertex), GRF::GPU_SHADER_VERTEX);
    GPUShader fragment(GRFString("#version 330\nin vec2 missingVarying; out vec4 color; "
                                 "void main() { color = vec4(missingVarying, 0.0, 1.0); }"),
                       GRF::GPU_SHADER_FRAGMENT);
    vertex.compile();
    fragment.compile();
    program.attach_shader(&vertex);
    program.attach_shader(&fragment);

    velmo_test::StderrCapture capture;
    EXPECT_EQ(program.link_program(), 0);
    const std::string log = capture.finish();
    EXPECT_EQ(log.rfind("[GPUProgram.cpp(", 0), 0u) << log;
    EXPECT_NE(log.find("missingVarying"), std::string::npos) << log;
    EXPECT_EQ(log.back(), '\n');
}

TEST_F(GPUProgramGLTest, SettersReachTheirUniforms)
{
    auto program = link(kVertex, kAllUniforms);
    const float v2[] = {1.5f, -2.0f};
    const float v3[] = {0.25f, 0.5f, 0.75f};
    const float v4[] = {4.0f, 3.0f, 2.0f, 1.0f};
    const int iv[] = {-7, 9};
    GRF::Matrix3x3<float> m3;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            m3.set(i, j, static_cast<float>(10 * i + j));

    EXPECT_EQ(program->put_uniform_float(GRFString("f"), 0.125f), 0);
    EXPECT_EQ(program->put_uniform_floatvec2(GRFString("v2"), v2), 0);
    EXPECT_EQ(program->put_uniform_floatvec3(GRFString("v3"), v3), 0);
    EXPECT_EQ(program->put_uniform_floatvec4(GRFString("v4"), v4), 0);
    EXPECT_EQ(program->put_uniform_int(GRFString("i"), 42), 0);
    EXPECT_EQ(program->put_uniform_intvec2(GRFString("iv"), iv), 0);
    EXPECT_EQ(program->put_uniform_mat4x4(GRFString("m4"), numbered_matrix(), true), 0);
    EXPECT_EQ(program->put_uniform_mat3x3(GRFString("m3"), m3, true), 0);

    EXPECT_EQ(floats(*program, "f", 1), std::vector<float>({0.125f}));
    EXPECT_EQ(floats(*program, "v2", 2), std::vector<float>(v2, v2 + 2));
    EXPECT_EQ(floats(*program, "v3", 3), std::vector<float>(v3, v3 + 3));
    EXPECT_EQ(floats(*program, "v4", 4), std::vector<float>(v4, v4 + 4));
    EXPECT_EQ(ints(*program, "i", 1), std::vector<int>({42}));
    EXPECT_EQ(ints(*program, "iv", 2), std::vector<int>(iv, iv + 2));
    // GL hands matrices back column by column; with transpose true column j holds row j as stored.
    const std::vector<float> m3_columns = floats(*program, "m3", 9);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            EXPECT_EQ(m3_columns[static_cast<size_t>(j * 3 + i)], static_cast<float>(10 * i + j)) << i << "," << j;
}

TEST_F(GPUProgramGLTest, EverySetterMakesItsProgramCurrent)
{
    auto program = link(kVertex, kAllUniforms);
    auto other = link(kVertex, kAllUniforms);
    const GLint mine = program->get_program_id();
    const float values[4] = {};
    const int ints2[2] = {};

    const std::vector<std::pair<const char*, std::function<int()>>> setters = {
        {"float", [&] { return program->put_uniform_float(GRFString("f"), 1.0f); }},
        {"vec2", [&] { return program->put_uniform_floatvec2(GRFString("v2"), values); }},
        {"vec3", [&] { return program->put_uniform_floatvec3(GRFString("v3"), values); }},
        {"vec4", [&] { return program->put_uniform_floatvec4(GRFString("v4"), values); }},
        {"int", [&] { return program->put_uniform_int(GRFString("i"), 1); }},
        {"ivec2", [&] { return program->put_uniform_intvec2(GRFString("iv"), ints2); }},
        {"mat4", [&] { return program->put_uniform_mat4x4(GRFString("m4"), GRF::Matrix4x4<float>(), true); }},
        {"mat3", [&] { return program->put_uniform_mat3x3(GRFString("m3"), GRF::Matrix3x3<float>(), false); }},
        {"absent name", [&] { return program->put_uniform_float(GRFString("notThere"), 2.0f); }},
    };
    for (const auto& setter : setters) {
        other->use_program();
        EXPECT_EQ(setter.second(), 0) << setter.first;
        EXPECT_EQ(gl_integer(GL_CURRENT_PROGRAM), mine) << setter.first;
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(GPUProgramGLTest, MatrixOfAnotherShapeIsRefused)
{
    auto program = link(kVertex, kAllUniforms);
    program->put_uniform_mat4x4(GRFString("m4"), numbered_matrix(), true);
    const std::vector<float> before = floats(*program, "m4", 16);

    GRF::Matrix4x4<float> wrong;
    wrong = GRF::Matrix<float>(5, 5);
    velmo_test::StderrCapture capture;
    EXPECT_EQ(program->put_uniform_mat4x4(GRFString("m4"), wrong, true), -1);
    GRF::Matrix3x3<float> wrong3;
    wrong3 = GRF::Matrix<float>(4, 4);
    EXPECT_EQ(program->put_uniform_mat3x3(GRFString("m3"), wrong3, true), -1);
    const std::string log = capture.finish();
    EXPECT_NE(log.find("put_uniform_mat4x4 m4: matrix is 5 x 5, not 4 x 4"), std::string::npos) << log;
    EXPECT_NE(log.find("put_uniform_mat3x3 m3: matrix is 4 x 4, not 3 x 3"), std::string::npos) << log;
    EXPECT_EQ(floats(*program, "m4", 16), before);
}

TEST_F(GPUProgramGLTest, TransposeTrueGivesTheShaderTheMatrixAsStored)
{
    auto quad = velmo_test::make_quad();
    GRF::GPUDrawCall probe{GRFString(kVertex), GRFString(kMatrixProbe)};
    probe.set_vertex_array(quad.get());
    const GLuint target = create_empty_texture(4, 4);
    GRF::GPUTexture target_texture(GRF::GPU_TEXTURE_2D, static_cast<int>(target));
    GRF::GPUCanvasParam param;
    param.width = 4;
    param.height = 4;
    GRF::GPUCanvas canvas(param, &target_texture);
    canvas.add_draw_call(&probe);

    for (bool transpose : {true, false}) {
        probe.put_uniform_mat4x4(GRFString("m"), numbered_matrix(), transpose);
        canvas.draw();
        velmo_test::RgbaImage expected(4, 4);
        for (int row = 0; row < 4; ++row) {
            for (int col = 0; col < 4; ++col) {
                const int stored = transpose ? 4 * row + col : 4 * col + row;
                uint8_t* pixel = expected.at(col, row);
                pixel[0] = static_cast<uint8_t>(stored * 17);
                pixel[3] = 255;
            }
        }
        EXPECT_TRUE(velmo_test::images_match(transpose ? "matrix_transpose_true" : "matrix_transpose_false",
                                             read_texture(target, 4, 4), expected,
                                             velmo_test::ImageTolerance::exact()));
    }
}
