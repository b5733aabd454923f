// Plane and image scaling on the CPU: 2x bilinear upsampling and the fixed-point scaler helpers.
#include "velmo/utils/scaling.h"

#include <cstddef>
#include <cstdint>

#include "velmo/utils/cpu_id.h"
#include "velmo/utils/row_any.h"

namespace kx_velmo {

namespace {

// The image routines accept source sides up to this size.
constexpr int MAX_SOURCE_SIDE = 32768;

using ScaleRowFn = void (*)(const unsigned char*, std::ptrdiff_t, unsigned char*, std::ptrdiff_t, int);

// Sizes and steps are computed in 64 bits so that extreme arguments cannot overflow; results that
// do not fit 32 bits are meaningless for any image and are simply truncated.
std::int64_t magnitude(int value)
{
    return value < 0 ? -static_cast<std::int64_t>(value) : value;
}

int fixed_div(std::int64_t num, std::int64_t div)
{
    if (div == 0)
        return 0;
    return static_cast<int>(num * 65536 / div);
}

int fixed_div1(std::int64_t num, std::int64_t div)
{
    if (div == 1)
        return 0;
    return static_cast<int>((num * 65536 - 0x10001) / (div - 1));
}

// Half of d plus a rounding offset s, keeping the sign of d.
int center(std::int64_t d, std::int64_t s)
{
    return static_cast<int>(d < 0 ? -((-d >> 1) + s) : ((d >> 1) + s));
}

// The source side that 2x upsampling needs for a destination side: half of it, rounded up.
std::int64_t up2_source_side(int dst_side)
{
    return (static_cast<std::int64_t>(dst_side) + 1) / 2;
}

// Half of a plane side for the chroma of a 4:2:0 image, rounded away from zero.
int half(int value)
{
    const std::int64_t v = value;
    return static_cast<int>(v < 0 ? -((1 - v) >> 1) : ((v + 1) >> 1));
}

// True for the one scale the library performs: 2x upsampling in both directions with a filter
// that stays bilinear (or box) after reduction. A negative source height (flip) counts by size.
bool is_bilinear_up2(int src_width, int src_height, int dst_width, int dst_height, FilterMode filtering)
{
    filtering = SR_ScaleFilterReduce(src_width, src_height, dst_width, dst_height, filtering);
    if (filtering != FILTER_BILINEAR && filtering != FILTER_BOX)
        return false;
    return up2_source_side(dst_height) == magnitude(src_height) && up2_source_side(dst_width) == src_width;
}

// Two destination rows per pass over two source rows; the first row, and the last one for an even
// destination height, come from a single source row (strides 0).
void scale_up2(int src_width, int src_height, int dst_width, int dst_height, int src_stride, int dst_stride,
               const unsigned char* src, unsigned char* dst, ScaleRowFn scale_row)
{
    if (!src || !dst || dst_width < 1 || dst_height < 1 || up2_source_side(dst_width) != src_width ||
        up2_source_side(dst_height) != src_height)
        return;
    scale_row(src, 0, dst, 0, dst_width);
    for (int i = 0; i < src_height - 1; ++i) {
        scale_row(src + static_cast<std::ptrdiff_t>(i) * src_stride, src_stride,
                  dst + static_cast<std::ptrdiff_t>(2 * i + 1) * dst_stride, dst_stride, dst_width);
    }
    if ((dst_height & 1) == 0) {
        scale_row(src + static_cast<std::ptrdiff_t>(src_height - 1) * src_stride, 0,
                  dst + static_cast<std::ptrdiff_t>(dst_height - 1) * dst_stride, 0, dst_width);
    }
}

// The chroma plane sizes of a 4:2:0 image.
struct ChromaSizes {
    int src_width;
    int src_height;
    int dst_width;
    int dst_height;
};

// True when the luma plane and the halved chroma planes are both the supported 2x case, so a
// caller can decide for every plane before writing any.
bool is_bilinear_up2_420(int src_width, int src_height, int dst_width, int dst_height, FilterMode filtering,
                         ChromaSizes& chroma)
{
    chroma = {half(src_width), half(src_height), half(dst_width), half(dst_height)};
    return is_bilinear_up2(src_width, src_height, dst_width, dst_height, filtering) &&
           is_bilinear_up2(chroma.src_width, chroma.src_height, chroma.dst_width, chroma.dst_height, filtering);
}

bool image_arguments_valid(bool sources_present, int src_width, int src_height, bool destinations_present,
                           int dst_width, int dst_height)
{
    // The limit holds for the rows read, so a flipped (negative) height is measured by its size.
    return sources_present && src_width > 0 && src_height != 0 && src_width <= MAX_SOURCE_SIDE &&
           magnitude(src_height) <= MAX_SOURCE_SIDE && destinations_present && dst_width > 0 && dst_height > 0;
}

// The UV twin of SR_ScalePlane, for callers that have checked the scale is supported.
void SR_ScaleUV(const unsigned char* src_uv, int src_stride_uv, int src_width, int src_height, unsigned char* dst_uv,
                int dst_stride_uv, int dst_width, int dst_height, FilterMode filtering)
{
    if (!is_bilinear_up2(src_width, src_height, dst_width, dst_height, filtering))
        return;
    if (src_height < 0) {
        src_height = -src_height;
        src_uv += static_cast<std::ptrdiff_t>(src_height - 1) * src_stride_uv;
        src_stride_uv = -src_stride_uv;
    }
    SR_ScaleUVBilinearUp2(src_width, src_height, dst_width, dst_height, src_stride_uv, dst_stride_uv, src_uv, dst_uv);
}

} // namespace

int FixedDiv_C(int num, int div)
{
    return fixed_div(num, div);
}

int FixedDiv1_C(int num, int div)
{
    return fixed_div1(num, div);
}

FilterMode SR_ScaleFilterReduce(int src_width, int src_height, int dst_width, int dst_height, FilterMode filtering)
{
    const std::int64_t width = magnitude(src_width);
    const std::int64_t height = magnitude(src_height);
    if (filtering == FILTER_BOX && (2 * static_cast<std::int64_t>(dst_width) >= width ||
                                    2 * static_cast<std::int64_t>(dst_height) >= height))
        filtering = FILTER_BILINEAR;
    if (filtering == FILTER_BILINEAR) {
        if (height == 1 || dst_height == height || 3 * static_cast<std::int64_t>(dst_height) == height)
            filtering = FILTER_LINEAR;
        if (width == 1)
            filtering = FILTER_NONE;
    }
    if (filtering == FILTER_LINEAR &&
        (width == 1 || dst_width == width || 3 * static_cast<std::int64_t>(dst_width) == width))
        filtering = FILTER_NONE;
    return filtering;
}

void SR_ScaleSlope(int src_width, int src_height, int dst_width, int dst_height, FilterMode filtering, int* x, int* y,
                   int* dx, int* dy)
{
    if (!x || !y || !dx || !dy || src_width == 0 || src_height == 0 || dst_width <= 0 || dst_height <= 0)
        return;
    if (filtering != FILTER_NONE && filtering != FILTER_LINEAR && filtering != FILTER_BILINEAR &&
        filtering != FILTER_BOX)
        return;
    const std::int64_t width = magnitude(src_width);
    // A single output sample of a very large source would need a step beyond 16.16 range.
    if (dst_width == 1 && src_width >= MAX_SOURCE_SIDE)
        dst_width = src_width;
    if (dst_height == 1 && src_height >= MAX_SOURCE_SIDE)
        dst_height = src_height;

    switch (filtering) {
    case FILTER_BOX:
        *dx = fixed_div(width, dst_width);
        *x = 0;
        *dy = fixed_div(src_height, dst_height);
        *y = 0;
        break;
    case FILTER_BILINEAR:
    case FILTER_LINEAR:
        // Upsampling steps so that the first and last outputs sit on the first and last source
        // samples. A single source column or row has nothing to step over: every output sits on it
        // (the step formula would give -1 there for two outputs, one position before the source).
        if (dst_width <= width) {
            *dx = fixed_div(width, dst_width);
            *x = center(*dx, -32768);
        } else if (width > 1) {
            *dx = fixed_div1(width, dst_width);
            *x = 0;
        } else {
            *dx = 0;
            *x = 0;
        }
        if (filtering == FILTER_LINEAR) {
            *dy = fixed_div(src_height, dst_height);
            *y = *dy >> 1;
        } else if (dst_height <= src_height) {
            *dy = fixed_div(src_height, dst_height);
            *y = center(*dy, -32768);
        } else if (src_height > 1) {
            *dy = fixed_div1(src_height, dst_height);
            *y = 0;
        } else if (src_height == 1) {
            *dy = 0;
            *y = 0;
        }
        // A flipped (negative) height has no upsampling step: *y and *dy keep what the caller stored.
        break;
    case FILTER_NONE:
        *dx = fixed_div(width, dst_width);
        *x = center(*dx, 0);
        *dy = fixed_div(src_height, dst_height);
        *y = center(*dy, 0);
        break;
    }
    if (src_width < 0) {
        // Mirror: start at the last output's position and step backwards.
        *x = static_cast<int>(*x + static_cast<std::int64_t>(dst_width - 1) * *dx);
        *dx = static_cast<int>(-static_cast<std::int64_t>(*dx));
    }
}

void SR_ScalePlaneUp2_Bilinear(int src_width, int src_height, int dst_width, int dst_height, int src_stride,
                               int dst_stride, const unsigned char* src, unsigned char* dst)
{
    const ScaleRowFn scale_row =
        SR_TestCpuFlag(CPU_HAS_NEON) ? SR_ScaleRowUp2_Bilinear_Any_NEON : SR_ScaleRowUp2_Bilinear_Any_C;
    scale_up2(src_width, src_height, dst_width, dst_height, src_stride, dst_stride, src, dst, scale_row);
}

void SR_ScaleUVBilinearUp2(int src_width, int src_height, int dst_width, int dst_height, int src_stride,
                           int dst_stride, const unsigned char* src, unsigned char* dst)
{
    const ScaleRowFn scale_row =
        SR_TestCpuFlag(CPU_HAS_NEON) ? SR_ScaleUVRowUp2_Bilinear_Any_NEON : SR_ScaleUVRowUp2_Bilinear_Any_C;
    scale_up2(src_width, src_height, dst_width, dst_height, src_stride, dst_stride, src, dst, scale_row);
}

void SR_ScalePlane(const unsigned char* src, int src_stride, int src_width, int src_height, unsigned char* dst,
                   int dst_stride, int dst_width, int dst_height, FilterMode filtering)
{
    // Checked before the flip moves src, which a null plane cannot take.
    if (!src || !dst || !is_bilinear_up2(src_width, src_height, dst_width, dst_height, filtering))
        return;
    if (src_height < 0) {
        src_height = -src_height;
        src += static_cast<std::ptrdiff_t>(src_height - 1) * src_stride;
        src_stride = -src_stride;
    }
    SR_ScalePlaneUp2_Bilinear(src_width, src_height, dst_width, dst_height, src_stride, dst_stride, src, dst);
}

int SR_UVScale(const unsigned char* src_uv, int src_stride_uv, int src_width, int src_height, unsigned char* dst_uv,
               int dst_stride_uv, int dst_width, int dst_height, FilterMode filtering)
{
    if (!image_arguments_valid(src_uv != nullptr, src_width, src_height, dst_uv != nullptr, dst_width, dst_height))
        return -1;
    if (!is_bilinear_up2(src_width, src_height, dst_width, dst_height, filtering))
        return -1;
    SR_ScaleUV(src_uv, src_stride_uv, src_width, src_height, dst_uv, dst_stride_uv, dst_width, dst_height, filtering);
    return 0;
}

int SR_I420Scale(const unsigned char* src_y, int src_stride_y, const unsigned char* src_u, int src_stride_u,
                 const unsigned char* src_v, int src_stride_v, int src_width, int src_height, unsigned char* dst_y,
                 int dst_stride_y, unsigned char* dst_u, int dst_stride_u, unsigned char* dst_v, int dst_stride_v,
                 int dst_width, int dst_height, FilterMode filtering)
{
    if (!image_arguments_valid(src_y && src_u && src_v, src_width, src_height, dst_y && dst_u && dst_v, dst_width,
                               dst_height))
        return -1;
    ChromaSizes chroma;
    if (!is_bilinear_up2_420(src_width, src_height, dst_width, dst_height, filtering, chroma))
        return -1;
    SR_ScalePlane(src_y, src_stride_y, src_width, src_height, dst_y, dst_stride_y, dst_width, dst_height, filtering);
    SR_ScalePlane(src_u, src_stride_u, chroma.src_width, chroma.src_height, dst_u, dst_stride_u, chroma.dst_width,
                  chroma.dst_height, filtering);
    SR_ScalePlane(src_v, src_stride_v, chroma.src_width, chroma.src_height, dst_v, dst_stride_v, chroma.dst_width,
                  chroma.dst_height, filtering);
    return 0;
}

int SR_NV12Scale(const unsigned char* src_y, int src_stride_y, const unsigned char* src_uv, int src_stride_uv,
                 int src_width, int src_height, unsigned char* dst_y, int dst_stride_y, unsigned char* dst_uv,
                 int dst_stride_uv, int dst_width, int dst_height, FilterMode filtering)
{
    if (!image_arguments_valid(src_y && src_uv, src_width, src_height, dst_y && dst_uv, dst_width, dst_height))
        return -1;
    ChromaSizes chroma;
    if (!is_bilinear_up2_420(src_width, src_height, dst_width, dst_height, filtering, chroma))
        return -1;
    SR_ScalePlane(src_y, src_stride_y, src_width, src_height, dst_y, dst_stride_y, dst_width, dst_height, filtering);
    SR_UVScale(src_uv, src_stride_uv, chroma.src_width, chroma.src_height, dst_uv, dst_stride_uv, chroma.dst_width,
               chroma.dst_height, filtering);
    return 0;
}

} // namespace kx_velmo
