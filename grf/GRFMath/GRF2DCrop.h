// GRF2DCrop: the matrix that places a full-screen quad of some content size inside a canvas.
#pragma once

#include "grf/GRFExport.h"
#include "grf/GRFMath/Matrix.h"

namespace GRF {

// Placement of the content rectangle in the canvas.
enum GRFCropType : int {
    GRF_CROP_FIT_CENTER = 0,  // largest rectangle of the content's aspect ratio inside the canvas, centred
    GRF_CROP_STRETCH = 1,     // the whole canvas, aspect ratio ignored
    GRF_CROP_FIT_END = 2,     // as FIT_CENTER, pushed against the right or bottom edge
    GRF_CROP_FIT_START = 3,   // as FIT_CENTER, at the top-left corner
    GRF_CROP_FILL_CENTER = 4, // smallest rectangle of the content's aspect ratio covering the canvas, centred
};

class GRF_EXPORT GRF2DCrop {
public:
    GRF2DCrop(float width, float height);
    ~GRF2DCrop();

    // Returns projection x placement translation x size scale x unit flip x unit shift, which maps a
    // quad vertex in [-1, 1]^2 (y up) onto the content rectangle in the canvas, in clip space.
    // An unknown type keeps the previous call's rectangle (the unit square at the origin at first).
    // Negative sizes are placed by the same formulas, which turn them into a mirrored rectangle.
    // A canvas size, or for the aspect-keeping types a content size, that is zero or not finite
    // gives an all-zero matrix (nothing drawn), is logged, and leaves the member matrices unchanged.
    Matrix4x4<float> crop(float content_width, float content_height, GRFCropType type);

private:
    float _width;
    float _height;
    Matrix4x4<float> _projection;
    Matrix4x4<float> _unit_flip;
    Matrix4x4<float> _unit_shift;
    Matrix4x4<float> _size_scale;
    Matrix4x4<float> _placement_trans;
};

} // namespace GRF
