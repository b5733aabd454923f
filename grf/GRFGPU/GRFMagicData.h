// GRFMagicData: the framework's built-in geometry tables (full-screen quad, unit cube).
#pragma once

#include "grf/GRFExport.h"

namespace GRF {
namespace GRFMagicData {

// The quad every pass draws: positions covering clip space, texture coordinates with (0, 0) at the
// bottom-left and t growing upwards with y, and two triangles 0-1-2, 0-2-3.
GRF_EXPORT extern const float plane_vertex[12];
GRF_EXPORT extern const float plane_coor[12];
GRF_EXPORT extern const unsigned int plane_vertex_index[6];

// A cube with corners at +-0.5 as 36 vertices (6 faces x 2 triangles), faces in the order z = -0.5,
// z = +0.5, x = -0.5, x = +0.5, y = -0.5, y = +0.5; each face maps its square onto the unit square.
GRF_EXPORT extern const float cube_vertex[108];
GRF_EXPORT extern const float cube_coor[108];
GRF_EXPORT extern const unsigned int cube_vertex_index[36];

} // namespace GRFMagicData
} // namespace GRF
