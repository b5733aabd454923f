// What an embedded colour profile means for the PNG the tool writes: a label that describes the
// samples, or samples converted to sRGB with lcms2, never a label the output cannot carry.
#pragma once

#include <string>

#include "PngIo.h"

namespace velmo_upscale {

// Settles `picture`'s profile before the picture goes through velmo:
// - a profile that gives the colours sRGB gives (the widespread "sRGB IEC61966-2.1", say) is
//   dropped, so the output says sRGB;
// - another RGB profile that a PNG can carry stays with the samples;
// - a grey profile, or an RGB one libpng refuses to write, has the samples converted to sRGB;
// - a profile of another colour space (CMYK, Lab) cannot describe the decoded RGB samples, which
//   FFmpeg already converted on its own: it is dropped.
// Returns a note for the user, empty when the output shows the picture as the input did without
// a word needed. Throws ToolError(kExitInput) naming the profile when lcms2 cannot use it.
std::string settle_colour_profile(PngPicture& picture, const std::string& input_name);

} // namespace velmo_upscale
