// GPUCanvas: framebuffer ownership, texture attachment with completeness reports, drawing and read-back.
#include "grf/GRFGPU/GPUCanvas.h"

#include <GLES3/gl3.h>

#include <vector>

#include "grf/GRFGPU/GPUDrawCall.h"
#include "grf/GRFGPU/GPUTexture.h"
#include "grf/GRFLog.h"

namespace GRF {

class GPUCanvasPrivate {
public:
    GLuint framebuffer = 0;
    GPUCanvasParam param;
    // 1 when the canvas created the framebuffer and deletes it, 0 when it is borrowed.
    int owner = 0;
    std::vector<GPUDrawCall*> draw_calls;
};

namespace {

// Logs an incomplete framebuffer status under the name of the operation that attached.
void report_status(GLenum status, const char* caller)
{
    const int code = static_cast<int>(status);
    switch (status) {
    case GL_FRAMEBUFFER_COMPLETE:
        return;
    case GL_FRAMEBUFFER_UNDEFINED:
        grf_log_log(GRF_FILE_BASENAME, caller, __LINE__, "Problem GL_FRAMEBUFFER_UNDEFINED: %d .\n", code);
        return;
    case GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT:
        grf_log_log(GRF_FILE_BASENAME, caller, __LINE__, "Problem GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT: %d .\n", code);
        return;
    case GL_FRAMEBUFFER_INCOMPLETE_MISSING_ATTACHMENT:
        grf_log_log(GRF_FILE_BASENAME, caller, __LINE__, "Problem GL_FRAMEBUFFER_INCOMPLETE_MISSING_ATTACHMENT: %d .\n",
                    code);
        return;
    default:
        grf_log_log(GRF_FILE_BASENAME, caller, __LINE__, "Problem: %d .\n", code);
        return;
    }
}

} // namespace

GPUCanvas::GPUCanvas(const GPUCanvasParam& param, GPUTexture* texture)
    : _private(new GPUCanvasPrivate)
{
    _private->param = param;
    if (!texture) {
        _private->framebuffer = param.fbo_id;
        return;
    }
    glGenFramebuffers(1, &_private->framebuffer);
    attach(texture, "GPUCanvas");
    _private->owner = 1;
}

GPUCanvas::~GPUCanvas()
{
    if (_private->owner == 1 && _private->framebuffer != 0)
        glDeleteFramebuffers(1, &_private->framebuffer);
    delete _private;
}

int GPUCanvas::set_param(const GPUCanvasParam& param)
{
    _private->param = param;
    return 0;
}

GPUCanvasParam* GPUCanvas::get_param()
{
    return &_private->param;
}

int GPUCanvas::set_target_tex(GPUTexture* texture)
{
    if (!texture) {
        GRF_LOG("set_target_tex: no texture\n");
        return -1;
    }
    // Framebuffer 0 belongs to the window system; a texture needs a framebuffer object of our own.
    if (_private->framebuffer == 0) {
        glGenFramebuffers(1, &_private->framebuffer);
        _private->owner = 1;
    }
    attach(texture, "set_target_tex");
    return 0;
}

void GPUCanvas::attach(GPUTexture* texture, const char* caller)
{
    const GPUCanvasParam& param = _private->param;
    glBindFramebuffer(GL_FRAMEBUFFER, _private->framebuffer);
    texture->set_data_with_internal_format(nullptr, param.width, param.height, param.internal_format, param.format,
                                           param.type);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D,
                           static_cast<GLuint>(texture->get_texture_id()), 0);
    report_status(glCheckFramebufferStatus(GL_FRAMEBUFFER), caller);
}

void GPUCanvas::add_draw_call(GPUDrawCall* draw_call)
{
    _private->draw_calls.push_back(draw_call);
}

int GPUCanvas::get_draw_call_size() const
{
    return static_cast<int>(_private->draw_calls.size());
}

GPUDrawCall* GPUCanvas::get_draw_call(int index) const
{
    if (index < 0 || index >= get_draw_call_size()) {
        GRF_LOG("get_draw_call: index %d outside 0..%d\n", index, get_draw_call_size() - 1);
        return nullptr;
    }
    return _private->draw_calls[static_cast<size_t>(index)];
}

int GPUCanvas::draw()
{
    const GPUCanvasParam& param = _private->param;
    glBindFramebuffer(GL_FRAMEBUFFER, _private->framebuffer);
    glClearColor(param.clear_color[0], param.clear_color[1], param.clear_color[2], param.clear_color[3]);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glViewport(param.x, param.y, param.width, param.height);
    // A null draw call in the list (added by a caller whose set-up failed) is skipped, not dereferenced.
    for (GPUDrawCall* draw_call : _private->draw_calls) {
        if (draw_call)
            draw_call->draw();
    }
    glFinish();
    return 0;
}

int GPUCanvas::read_pixel(int x, int y, int width, int height, void* data, int format, int type)
{
    GLint pack_buffer = 0;
    glGetIntegerv(GL_PIXEL_PACK_BUFFER_BINDING, &pack_buffer);
    if (!data && pack_buffer == 0) {
        GRF_LOG("read_pixel: no destination buffer\n");
        return -1;
    }
    glBindFramebuffer(GL_FRAMEBUFFER, _private->framebuffer);
    // Rows of the caller's buffer are tightly packed; the context's alignment (4 by default) would
    // pad rows of 3-byte pixels at odd widths and write past the end of the buffer.
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, width, height, static_cast<GLenum>(format), static_cast<GLenum>(type), data);
    glFinish();
    return 0;
}

int GPUCanvas::read_pixel_rgba(int x, int y, int width, int height, unsigned char* data)
{
    return read_pixel(x, y, width, height, data, GL_RGBA, GL_UNSIGNED_BYTE);
}

int GPUCanvas::get_fbo_id() const
{
    return static_cast<int>(_private->framebuffer);
}

} // namespace GRF
