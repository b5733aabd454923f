// The exported copy and colour-conversion texts: their form, and Khronos' reference compiler's verdict
// on them as desktop GLSL 3.30 and in the GLSL ES form GPUShader compiles on ES drivers.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "gpu/CopyShaderTexts.h"
#include "grf/GRFGPU/GPUShader.h"

using velmo_test::copy_shader_texts;
using velmo_test::ShaderText;

namespace {

// The ES form: the desktop form through GPUShader's rewrite; ES texts are compiled as written.
std::string es_form(const ShaderText& shader)
{
    return GRF::GPUShader::gles_source(GRF::GRFString(velmo_test::desktop_form(shader).c_str())).c_str();
}

class GlslangValidator : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (std::string(VELMO_GLSLANG_VALIDATOR).empty())
            GTEST_SKIP() << "glslangValidator was not found when the build was configured (Debian: glslang-tools)";
        char pattern[] = "/tmp/velmo-glslang-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        _directory = pattern;
    }

    void TearDown() override
    {
        if (!_directory.empty())
            std::system(("rm -rf '" + _directory + "'").c_str());
    }

    // Runs the validator on `text` as the given stage; returns its output, empty when it accepted.
    std::string rejection(const std::string& name, bool vertex, const std::string& text) const
    {
        const std::string path = _directory + "/" + name + (vertex ? ".vert" : ".frag");
        std::ofstream(path) << text;
        std::FILE* pipe = popen(("'" + std::string(VELMO_GLSLANG_VALIDATOR) + "' '" + path + "' 2>&1").c_str(), "r");
        if (!pipe)
            return "could not run " + std::string(VELMO_GLSLANG_VALIDATOR);
        std::string output;
        char buffer[512];
        while (std::fgets(buffer, sizeof(buffer), pipe))
            output += buffer;
        const int status = pclose(pipe);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? std::string() : output + "\n" + text;
    }

    std::string _directory;
};

} // namespace

TEST(CopyShaderTexts, OneLineAfterTheVersionLine)
{
    for (const ShaderText& shader : copy_shader_texts()) {
        SCOPED_TRACE(shader.name);
        if (shader.name == "_s_vertex_shader_src")
            ASSERT_EQ(shader.text.rfind("#version 330\n", 0), 0u);
        else if (shader.name == "_s_vertex_shader_src_310")
            ASSERT_EQ(shader.text.rfind("#version 310 es\n ", 0), 0u);
        else
            EXPECT_EQ(shader.text.find("#version"), std::string::npos);
        const std::string body = shader.vertex ? shader.text.substr(shader.text.find('\n') + 1) : shader.text;
        EXPECT_EQ(body.find('\n'), std::string::npos);
        EXPECT_EQ(body.find("  "), std::string::npos) << "statements are separated by single spaces";
        EXPECT_EQ(body.find("precision "), std::string::npos) << "no default precision of its own";
    }
    const std::string desktop = kx_velmo::SrRenderCommon::_s_vertex_shader_src.c_str();
    const std::string es = kx_velmo::SrRenderCommon::_s_vertex_shader_src_310.c_str();
    EXPECT_EQ(desktop.substr(desktop.find('\n') + 1), es.substr(es.find('\n') + 2));
}

TEST_F(GlslangValidator, DesktopGlsl330AcceptsEveryText)
{
    for (const ShaderText& shader : copy_shader_texts()) {
        // Desktop GLSL has no external-image sampler; that text exists for ES drivers only.
        if (shader.name == "_s_vertex_shader_src_310" || shader.name == "_s_oes_fragment_shader_src")
            continue;
        EXPECT_EQ(rejection(shader.name + "-desktop", shader.vertex, velmo_test::desktop_form(shader)), "")
            << shader.name;
    }
}

TEST_F(GlslangValidator, GlslEsAcceptsEveryTextInItsCompiledForm)
{
    for (const ShaderText& shader : copy_shader_texts()) {
        const std::string form = es_form(shader);
        EXPECT_EQ(form.rfind(shader.name == "_s_vertex_shader_src_310" ? "#version 310 es\n" : "#version 300 es\n", 0),
                  0u)
            << shader.name;
        EXPECT_EQ(rejection(shader.name + "-es", shader.vertex, form), "") << shader.name;
    }
}
