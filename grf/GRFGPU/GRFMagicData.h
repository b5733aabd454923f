// GRFMagicData: the framework's built-in geometry tables (full-screen quad, unit cube) and demo shader texts.
#pragma once

#include "grf/GRFExport.h"
#include "grf/GRFString.h"

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

// Ready-made programs of the framework, each beginning with "#version 330" and compiled without any
// header put in front; the library itself builds none of them.
// A textured cube: mat4 mvp; sampler2D image (floats width, height and iTime are declared, unused).
GRF_EXPORT extern const GRFString cube_vertex_shader_src;
GRF_EXPORT extern const GRFString cube_fragment_shader_src;
// An animated pattern per colour channel from the aspect-corrected pixel position (floats width,
// height) and t = iTime * 0.1, with t in alpha; output outputFragColor.
GRF_EXPORT extern const GRFString fractal_vertex_shader_src;
GRF_EXPORT extern const GRFString fractal_fragment_shader_src;
// Camera preview of cameraTexture (samplerExternalOES) through mat4 cameraCoor. With isHDR not 0 the
// first text remaps the BT.709 luma by a tone curve (the caller supplies both matrices), the sigmoid
// text maps each channel through 1 / (1 + e^-(7x - 3.5)).
GRF_EXPORT extern const GRFString android_camera_vertex_shader_src;
GRF_EXPORT extern const GRFString android_camera_fragment_shader_src;
GRF_EXPORT extern const GRFString android_camera_fragment_shader_src_sigmoid;
// A surface placed through mat4 crop_mat, sampling sampler2D image.
GRF_EXPORT extern const GRFString crop_surface_vertex_shader_src;
GRF_EXPORT extern const GRFString crop_surface_fragment_shader_src;
// Blends the overlay input_texture2 over the base input_texture, both with alpha.
GRF_EXPORT extern const GRFString colorblend_filter_vertex_shader_src;
GRF_EXPORT extern const GRFString colorblend_filter_fragment_shader_src;
// A fixed 5 x 5 bilateral smoothing of input_texture (taps 5 pixels apart in a 1080 x 1920 image).
GRF_EXPORT extern const GRFString bilateral_filter_vertex_shader_src;
GRF_EXPORT extern const GRFString bilateral_filter_fragment_shader_src;

} // namespace GRFMagicData
} // namespace GRF
