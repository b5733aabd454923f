// What an embedded colour profile means for the PNG the tool writes: a label that describes the
// samples, or samples converted to sRGB with lcms2, never a label the output cannot carry.
#pragma once

#include <string>

#include "CmykJpeg.h"
#include "PngIo.h"

namespace velmo_upscale {

// Settles `picture`'s profile before the picture goes through velmo:
// - a profile that gives the colours sRGB gives (the widespread "sRGB IEC61966-2.1", say) is
//   dropped, so the output says sRGB;
// - another RGB profile that a PNG can carry stays with the samples;
// - a grey profile, or an RGB one libpng refuses to write, has the samples converted to sRGB;
// - a profile of another colour space (CMYK, Lab) cannot describe the decoded RGB samples, which
//   FFmpeg already converted on its own: it is dropped (a CMYK JPEG read by name has its inks
//   converted with cmyk_to_srgb before).
// Returns a note for the user, empty when the output shows the picture as the input did without
// a word needed. Throws ToolError(kExitInput) naming the profile when lcms2 cannot use it.
std::string settle_colour_profile(PngPicture& picture, const std::string& input_name);

// "the colour profile 'Adobe RGB (1998)'" by the profile's own description; "a colour profile of
// 700 bytes" for one without a readable description.
std::string profile_description(const IccProfile& profile);

// Whether the profile describes CMYK samples (false for a damaged one).
bool is_cmyk_profile(const IccProfile& profile);

// The ink values converted to sRGB through `profile` into an opaque picture. Throws
// ToolError(kExitInput) naming the profile when lcms2 cannot use it.
RgbaImage cmyk_to_srgb(const CmykSamples& samples, const IccProfile& profile, const std::string& input_name);

} // namespace velmo_upscale
