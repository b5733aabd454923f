// GPUCanvasParam: the defaults of a canvas description.
#include "grf/GRFGPU/GPUCanvasParam.h"

#include <GLES3/gl3.h>

namespace GRF {

GPUCanvasParam::GPUCanvasParam()
    : x(0)
    , y(0)
    , width(0)
    , height(0)
    , clear_color{1.0f, 1.0f, 1.0f, 1.0f}
    , fbo_id(0)
    , internal_format(GL_RGBA)
    , format(GL_RGBA)
    , type(GL_UNSIGNED_BYTE)
{
}

} // namespace GRF
