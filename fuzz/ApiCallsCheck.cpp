// A sequence of C interface calls decoded from fuzz input, played by a player with its own EGL
// context, framebuffer and texture bindings. After every call: the player's display, context and
// (absent) surfaces are current, its framebuffer and texture bindings are as it left them, no GL
// error waits for it, and a drawn frame's `out` names a texture of exactly out's size.
#include "Checks.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GLES3/gl32.h>
#include <GLES2/gl2ext.h>
#include <stdlib.h>
#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "client/EglSession.h"
#include "velmo/SrRenderOhos.h"
#include "velmo/velmo_api.h"

namespace velmo_fuzz {
namespace {

// The player: one surfaceless ES 3.2 context for the whole process, a few textures of its own and
// a framebuffer and texture units bound the way a player might leave them.
struct Player {
    std::unique_ptr<velmo_client::EglSession> session;
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLContext context = EGL_NO_CONTEXT;
    GLuint framebuffer = 0;
    std::vector<GLuint> textures;
    std::vector<std::pair<int, int>> texture_sizes;
    GLint max_texture_size = 0;
    std::string config_dir;
};

GLuint make_texture(int width, int height, unsigned seed)
{
    std::vector<unsigned char> pixels(static_cast<std::size_t>(width) * height * 4);
    for (auto& byte : pixels) {
        seed = seed * 1103515245u + 12345u;
        byte = static_cast<unsigned char>(seed >> 16);
    }
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    return texture;
}

Player& player()
{
    static Player* instance = [] {
        auto* p = new Player;
        try {
            p->session = std::make_unique<velmo_client::EglSession>(2);
            p->display = p->session->display();
            p->context = p->session->context();
        } catch (const velmo_client::GpuError& error) {
            std::fprintf(stderr, "velmo fuzz: no surfaceless OpenGL ES 3.2 context: %s\n", error.what());
            std::abort();
        }
        glGetIntegerv(GL_MAX_TEXTURE_SIZE, &p->max_texture_size);
        p->texture_sizes = {{16, 12}, {5, 3}, {1, 1}};
        for (std::size_t i = 0; i < p->texture_sizes.size(); ++i)
            p->textures.push_back(make_texture(p->texture_sizes[i].first, p->texture_sizes[i].second,
                                               static_cast<unsigned>(i)));
        // The framebuffer the player draws into, and two texture units in use.
        glGenFramebuffers(1, &p->framebuffer);
        glBindFramebuffer(GL_FRAMEBUFFER, p->framebuffer);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, make_texture(4, 4, 99), 0);
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, p->textures[1]);
        glActiveTexture(GL_TEXTURE3);
        glBindTexture(GL_TEXTURE_2D, p->textures[0]);
        GLuint external = 0;
        glGenTextures(1, &external);
        glBindTexture(GL_TEXTURE_EXTERNAL_OES, external);
        char folder[] = "/tmp/velmo-fuzz-XXXXXX";
        if (mkdtemp(folder))
            p->config_dir = folder;
        std::atexit([] {
            const std::string& dir = player().config_dir;
            if (!dir.empty()) {
                unlink((dir + "/configure.ini").c_str());
                rmdir(dir.c_str());
            }
        });
        return p;
    }();
    return *instance;
}

// The player's GL state that velmo must leave alone.
struct Bindings {
    GLint draw_framebuffer, read_framebuffer, active_unit, unit0_2d, unit3_2d, unit3_external;

    static Bindings now()
    {
        Bindings b{};
        glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &b.draw_framebuffer);
        glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &b.read_framebuffer);
        glGetIntegerv(GL_ACTIVE_TEXTURE, &b.active_unit);
        glActiveTexture(GL_TEXTURE0);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &b.unit0_2d);
        glActiveTexture(GL_TEXTURE3);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &b.unit3_2d);
        glGetIntegerv(GL_TEXTURE_BINDING_EXTERNAL_OES, &b.unit3_external);
        glActiveTexture(static_cast<GLenum>(b.active_unit));
        return b;
    }
    bool operator==(const Bindings& o) const
    {
        return draw_framebuffer == o.draw_framebuffer && read_framebuffer == o.read_framebuffer &&
               active_unit == o.active_unit && unit0_2d == o.unit0_2d && unit3_2d == o.unit3_2d &&
               unit3_external == o.unit3_external;
    }
};

// The broken promise after a call, or an empty text.
std::string player_state_broken(const Bindings& expected)
{
    const Player& p = player();
    if (eglGetCurrentDisplay() != p.display || eglGetCurrentContext() != p.context ||
        eglGetCurrentSurface(EGL_DRAW) != EGL_NO_SURFACE || eglGetCurrentSurface(EGL_READ) != EGL_NO_SURFACE)
        return "the player's display, context and surfaces are not current";
    const GLenum error = glGetError();
    if (error != GL_NO_ERROR) {
        while (glGetError() != GL_NO_ERROR) {
        }
        char text[64];
        std::snprintf(text, sizeof text, "GL error 0x%x left in the player's context", error);
        return text;
    }
    if (!(Bindings::now() == expected))
        return "the player's framebuffer or texture bindings changed";
    return {};
}

// The real size of a texture in the player's context (ES 3.1 level queries), after checking it
// can be a framebuffer's colour attachment; bindings are restored.
std::string texture_size_broken(GLint name, int width, int height)
{
    if (name <= 0 || !glIsTexture(static_cast<GLuint>(name)))
        return "out names no texture";
    GLint previous_texture = 0, previous_framebuffer = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous_texture);
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &previous_framebuffer);
    GLint real_width = 0, real_height = 0;
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(name));
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &real_width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &real_height);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous_texture));
    GLuint framebuffer = 0;
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, static_cast<GLuint>(name), 0);
    const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(previous_framebuffer));
    glDeleteFramebuffers(1, &framebuffer);
    if (real_width != width || real_height != height)
        return "out says " + std::to_string(width) + "x" + std::to_string(height) + " but its texture is " +
               std::to_string(real_width) + "x" + std::to_string(real_height);
    if (status != GL_FRAMEBUFFER_COMPLETE)
        return "out's texture cannot be drawn into";
    return {};
}

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInfinity = std::numeric_limits<float>::infinity();

float read_scale(FuzzInput& input)
{
    static const float kScales[] = {1.0f, 1.5f, 2.0f, 0.5f, 0.0f, 1.25f, 0.75f, kNaN, kInfinity, -kInfinity,
                                    2.0001f, -0.5f, 1e30f, 1e-30f, 1e-45f, -0.0f};
    const std::size_t choice = input.pick(sizeof kScales / sizeof kScales[0] + 1);
    return choice < sizeof kScales / sizeof kScales[0] ? kScales[choice] : input.f32();
}

// Sides beyond every GPU's texture limit, or not sides at all.
const int kExtremeSides[] = {16385, 33554432, INT_MAX, INT_MIN, 0, -1};

int read_side(FuzzInput& input)
{
    const std::uint8_t kind = input.byte();
    if (kind < 224)
        return 1 + kind % 40;
    return kExtremeSides[kind % (sizeof kExtremeSides / sizeof kExtremeSides[0])];
}

// The output side velmo computes, in double; whether a side this size can be drawn at all.
bool drawable(int side, float scale)
{
    const double product = static_cast<double>(static_cast<float>(side) * scale);
    return product >= 1.0 && product <= player().max_texture_size;
}

struct Instance {
    void* handle = nullptr;
    float scale = 2.0f; // until the first accepted velmo_set_input_props
    GLint output = 0;
    int input = -1; // the last texture name handed in; a negative texid reuses it
};

class Session {
public:
    explicit Session(FuzzInput& input)
        : _input(input)
    {
    }
    ~Session()
    {
        for (auto& instance : _instances)
            velmo_release(instance.handle);
    }

    std::string run()
    {
        for (int call = 0; call < 48 && !_input.empty(); ++call) {
            const Bindings before = Bindings::now();
            std::string broken = step();
            if (broken.empty())
                broken = player_state_broken(before);
            if (!broken.empty())
                return "call " + std::to_string(call) + " (" + _last + "): " + broken;
        }
        for (int slot = 0; slot < 2; ++slot) {
            const Bindings before = Bindings::now();
            velmo_release(_instances[slot].handle);
            _instances[slot] = Instance{};
            std::string broken = player_state_broken(before);
            if (!broken.empty())
                return "final velmo_release: " + broken;
        }
        return {};
    }

private:
    std::string step()
    {
        // Bit 0 picks the instance, the rest the call.
        const std::uint8_t op = _input.byte();
        Instance& instance = _instances[op & 1];
        switch ((op >> 1) % 9) {
        case 0: return init(instance);
        case 1: return set_input_props(instance);
        case 2:
        case 3:
        case 4: return process(instance);
        case 5:
            _last = "set_enable_sr";
            if (instance.handle)
                static_cast<kx_velmo::SrRenderOhos*>(instance.handle)->set_enable_sr(_input.byte() & 1);
            return {};
        case 6:
            _last = "velmo_release";
            velmo_release(instance.handle);
            instance = Instance{};
            return {};
        case 7: return null_arguments(instance);
        default: return process(instance);
        }
    }

    std::string init(Instance& instance)
    {
        _last = "velmo_init";
        velmo_release(instance.handle);
        instance = Instance{};
        // Every byte of the record as the input gives it, the folder pointer apart.
        velmo_init_params params;
        unsigned char bytes[sizeof params];
        for (auto& byte : bytes)
            byte = _input.byte();
        std::memcpy(&params, bytes, sizeof params);
        static const char kMissingFolder[] = "/nonexistent/velmo-fuzz";
        const std::size_t folder = _input.pick(3);
        params.config_dir = folder == 0 ? player().config_dir.c_str() : folder == 1 ? kMissingFolder : nullptr;
        instance.handle = velmo_init(&params);
        return instance.handle ? std::string() : "velmo_init returned NULL";
    }

    std::string set_input_props(Instance& instance)
    {
        _last = "velmo_set_input_props";
        const int width = read_side(_input);
        const int height = read_side(_input);
        const float scale = read_scale(_input);
        if (!instance.handle)
            return {};
        const int result = velmo_set_input_props(instance.handle, width, height, scale);
        const bool accepted = scale >= 0.0f && scale <= 2.0f;
        if (accepted)
            instance.scale = scale;
        if (accepted == (result == VELMO_ERROR_SCALE))
            return "scale " + std::to_string(scale) + " gave " + std::to_string(result);
        if (result != VELMO_OK && result != VELMO_ERROR_CONFIG_FILE && result != VELMO_ERROR_VIDEO_SIZE &&
            result != VELMO_ERROR_SCALE)
            return "unexpected result " + std::to_string(result);
        return {};
    }

    int read_texid()
    {
        const Player& p = player();
        const std::size_t choice = _input.pick(p.textures.size() + 5);
        if (choice < p.textures.size())
            return static_cast<int>(p.textures[choice]);
        switch (choice - p.textures.size()) {
        case 0: return -1;
        case 1: return 0;
        case 2: return _instances[0].output;
        case 3: return _instances[1].output;
        default: return _input.i32();
        }
    }

    std::string process(Instance& instance)
    {
        _last = "velmo_process";
        velmo_input_frame in = {};
        in.width = read_side(_input);
        in.height = read_side(_input);
        in.texid = read_texid();
        in.unused = _input.i32();
        static const int kTypes[] = {0, 1, 0, 1, 2, -1, INT_MIN};
        const std::size_t type = _input.pick(sizeof kTypes / sizeof kTypes[0] + 1);
        in.tex_type = type < sizeof kTypes / sizeof kTypes[0] ? kTypes[type] : _input.i32();
        if (!instance.handle)
            return {};
        const velmo_output_frame untouched = {-7, -8, -9};
        velmo_output_frame out = untouched;
        const int result = velmo_process(instance.handle, &in, &out);
        if (in.tex_type != 0 && in.tex_type != 1) {
            if (result != VELMO_OK || std::memcmp(&out, &untouched, sizeof out) != 0)
                return "a frame of tex_type " + std::to_string(in.tex_type) + " was not skipped";
            return {};
        }
        if (in.texid >= 0)
            instance.input = in.texid;
        if (result != VELMO_OK && result != VELMO_ERROR_GPU_CONTEXT && result != VELMO_ERROR_VIDEO_SIZE &&
            result != VELMO_ERROR_NO_TEXTURE)
            return "unexpected result " + std::to_string(result);
        if (!drawable(in.width, instance.scale) || !drawable(in.height, instance.scale)) {
            if (result != VELMO_ERROR_VIDEO_SIZE)
                return "a " + std::to_string(in.width) + "x" + std::to_string(in.height) + " frame at scale " +
                       std::to_string(instance.scale) + " gave " + std::to_string(result) + " instead of -3";
            return {};
        }
        // While setting up, the instance hands back the input it keeps, at the output size.
        if (result == VELMO_OK && out.texid != instance.input) {
            instance.output = out.texid;
            return texture_size_broken(out.texid, out.width, out.height);
        }
        return {};
    }

    // Null records and handles are refused without touching anything.
    std::string null_arguments(Instance& instance)
    {
        _last = "null arguments";
        velmo_input_frame in = {8, 8, static_cast<int>(player().textures[0]), 0, 0};
        velmo_output_frame out = {-7, -8, -9};
        const std::uint8_t which = _input.byte() % 4;
        int result = 0;
        switch (which) {
        case 0: result = velmo_process(nullptr, &in, &out); break;
        case 1: result = instance.handle ? velmo_process(instance.handle, nullptr, &out) : VELMO_ERROR_INVALID_ARGUMENT; break;
        case 2: result = instance.handle ? velmo_process(instance.handle, &in, nullptr) : VELMO_ERROR_INVALID_ARGUMENT; break;
        default: result = velmo_set_input_props(nullptr, 8, 8, 1.0f); break;
        }
        if (result != VELMO_ERROR_INVALID_ARGUMENT || out.width != -7 || out.height != -8 || out.texid != -9)
            return "a null argument was not refused";
        if (velmo_release(nullptr) != VELMO_OK)
            return "velmo_release(NULL) failed";
        return {};
    }

    FuzzInput& _input;
    Instance _instances[2];
    std::string _last;
};

} // namespace

std::string check_api_calls(const std::uint8_t* data, std::size_t size)
{
    player();
    FuzzInput input(data, size);
    Session session(input);
    return session.run();
}

} // namespace velmo_fuzz
