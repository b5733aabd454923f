// GPUTexture: creation with fixed sampling parameters, level-0 uploads, read-back and ownership.
#include "grf/GRFGPU/GPUTexture.h"

#include <EGL/egl.h>
#include <GLES3/gl3.h>
#include <GLES2/gl2ext.h>

#include "grf/GRFLog.h"

namespace GRF {

class GPUTexturePrivate {
public:
    GLuint name = 0;
    GLint target = -1;
    // Set for a name handed in by the caller: the GL texture is theirs and is never deleted here.
    bool external = false;
};

namespace {

GLint target_of(GPUTextureType type)
{
    return type == GPU_TEXTURE_OES ? GL_TEXTURE_EXTERNAL_OES : GL_TEXTURE_2D;
}

} // namespace

GPUTexture::GPUTexture(GPUTextureType type, int texture_id)
    : _private(new GPUTexturePrivate)
{
    _private->target = target_of(type);
    if (texture_id != -1) {
        _private->name = static_cast<GLuint>(texture_id);
        _private->external = true;
        return;
    }

    const GLenum target = static_cast<GLenum>(_private->target);
    glGenTextures(1, &_private->name);
    glBindTexture(target, _private->name);
    glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameterf(target, GL_TEXTURE_WRAP_S, static_cast<GLfloat>(GL_CLAMP_TO_EDGE));
    glTexParameterf(target, GL_TEXTURE_WRAP_T, static_cast<GLfloat>(GL_CLAMP_TO_EDGE));
    glBindTexture(target, 0);
    GRF_LOG_AT(GRFLogLevel::info, "GPUTexture gl gen texture status: 0x%X, texture_id: %d\n",
               static_cast<unsigned>(eglGetError()), static_cast<int>(_private->name));
}

GPUTexture::~GPUTexture()
{
    if (!_private->external && _private->name != 0) {
        glDeleteTextures(1, &_private->name);
        _private->name = 0;
    }
    delete _private;
}

int GPUTexture::set_data(unsigned char* data, int width, int height, int format, int type)
{
    return set_data_with_internal_format(data, width, height, format, format, type);
}

int GPUTexture::set_data_with_internal_format(unsigned char* data, int width, int height, int internal_format,
                                              int format, int type)
{
    const GLenum target = static_cast<GLenum>(_private->target);
    glBindTexture(target, _private->name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(target, 0, internal_format, width, height, 0, static_cast<GLenum>(format), static_cast<GLenum>(type),
                 data);
    glBindTexture(target, 0);
    return 0;
}

int GPUTexture::set_data_RGBA(unsigned char* data, int width, int height)
{
    return set_data_with_internal_format(data, width, height, GL_RGBA, GL_RGBA, GL_UNSIGNED_BYTE);
}

int GPUTexture::get_data(unsigned char* data, int x, int y, int width, int height, int format, int type)
{
    // A null pointer is an offset into a bound pixel-pack buffer; without one GL would write through it.
    GLint pack_buffer = 0;
    glGetIntegerv(GL_PIXEL_PACK_BUFFER_BINDING, &pack_buffer);
    if (!data && pack_buffer == 0) {
        GRF_LOG("GPUTexture get_data: no destination buffer\n");
        return -1;
    }
    const GLenum target = static_cast<GLenum>(_private->target);
    glBindTexture(target, _private->name);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, width, height, static_cast<GLenum>(format), static_cast<GLenum>(type), data);
    glBindTexture(target, 0);
    return 0;
}

int GPUTexture::get_data_RGBA(unsigned char* data, int x, int y, int width, int height)
{
    return get_data(data, x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE);
}

int GPUTexture::bind_texture()
{
    glBindTexture(static_cast<GLenum>(_private->target), _private->name);
    return 0;
}

int GPUTexture::get_texture_id() const
{
    return static_cast<int>(_private->name);
}

} // namespace GRF
