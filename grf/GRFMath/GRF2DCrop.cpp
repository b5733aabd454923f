// GRF2DCrop: chooses the content rectangle for each placement mode and chains it into one matrix.
#include "grf/GRFMath/GRF2DCrop.h"

#include <cmath>

#include "grf/GRFLog.h"

namespace GRF {

namespace {

// Zero would divide by zero and infinity or NaN spread through every element; a negative size
// only mirrors the placement.
bool is_usable_size(float size)
{
    return std::isfinite(size) && size != 0.0f;
}

bool keeps_aspect(GRFCropType type)
{
    return type == GRF_CROP_FIT_CENTER || type == GRF_CROP_FIT_END || type == GRF_CROP_FIT_START ||
           type == GRF_CROP_FILL_CENTER;
}

} // namespace

GRF2DCrop::GRF2DCrop(float width, float height)
    : _width(width)
    , _height(height)
{
}

GRF2DCrop::~GRF2DCrop() = default;

Matrix4x4<float> GRF2DCrop::crop(float content_width, float content_height, GRFCropType type)
{
    if (!is_usable_size(_width) || !is_usable_size(_height) ||
        (keeps_aspect(type) && (!is_usable_size(content_width) || !is_usable_size(content_height)))) {
        GRF_LOG("GRF2DCrop crop Error, canvas (%f, %f) content (%f, %f) type %d\n", static_cast<double>(_width),
                static_cast<double>(_height), static_cast<double>(content_width), static_cast<double>(content_height),
                static_cast<int>(type));
        Matrix4x4<float> nothing;
        nothing.set_scale(0.0f, 0.0f, 0.0f);
        nothing.set(3, 3, 0.0f);
        return nothing;
    }

    _projection.set_ortho(0.0f, _width, 0.0f, _height, 0.0f, 100.0f);
    _unit_flip.set_scale(0.5f, -0.5f, 1.0f);
    _unit_shift.set_trans(1.0f, -1.0f, 0.0f);

    if (type == GRF_CROP_STRETCH) {
        _size_scale.set_scale(_width, _height, 1.0f);
        _placement_trans.set_trans(0.0f, 0.0f, 0.0f);
    } else if (keeps_aspect(type)) {
        const float content_aspect =
            static_cast<float>(static_cast<double>(content_width) / static_cast<double>(content_height));
        const float canvas_aspect = static_cast<float>(static_cast<double>(_width) / static_cast<double>(_height));
        // FILL covers the canvas, so it matches the height exactly when the content is the wider one;
        // the FIT modes match the height when the content is the narrower one.
        const bool match_height =
            type == GRF_CROP_FILL_CENTER ? content_aspect > canvas_aspect : content_aspect < canvas_aspect;
        float dw, dh;
        float tx = 0.0f;
        float ty = 0.0f;
        if (match_height) {
            dh = _height;
            dw = content_aspect * _height;
            if (type == GRF_CROP_FIT_END)
                tx = _width - dw;
            else if (type != GRF_CROP_FIT_START)
                tx = (_width - dw) / 2.0f;
        } else {
            dw = _width;
            dh = static_cast<float>((1.0 / static_cast<double>(content_aspect)) * static_cast<double>(_width));
            if (type == GRF_CROP_FIT_END)
                ty = _height - dh;
            else if (type != GRF_CROP_FIT_START)
                ty = (_height - dh) / 2.0f;
        }
        _size_scale.set_scale(dw, dh, 1.0f);
        _placement_trans.set_trans(tx, ty, 0.0f);
    }

    return Matrix4x4<float>(_projection * _placement_trans * _size_scale * _unit_flip * _unit_shift);
}

} // namespace GRF
