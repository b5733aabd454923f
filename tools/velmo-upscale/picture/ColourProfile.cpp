// Embedded ICC profiles through lcms2: recognised as sRGB, kept, or applied to the samples.
#include "ColourProfile.h"

#include <lcms2.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

#include "ToolError.h"

namespace velmo_upscale {
namespace {

struct ProfileClose {
    void operator()(void* profile) const { cmsCloseProfile(profile); }
};
struct TransformDelete {
    void operator()(void* transform) const { cmsDeleteTransform(transform); }
};
using ProfilePtr = std::unique_ptr<void, ProfileClose>;
using TransformPtr = std::unique_ptr<void, TransformDelete>;

// Differences up to this, in 16-bit steps, are rounding between two descriptions of sRGB: the
// widespread profile and lcms2's own agree within a third of an 8-bit step.
constexpr int kSameAsSrgbTolerance = 257;

// "the colour profile 'Adobe RGB (1998)'" by its own description; a damaged one by its size.
std::string profile_title(cmsHPROFILE profile, size_t size)
{
    char text[128] = {};
    if (profile && cmsGetProfileInfoASCII(profile, cmsInfoDescription, "en", "US", text, sizeof text) > 1)
        return "the colour profile '" + std::string(text) + "'";
    return "a colour profile of " + std::to_string(size) + " bytes";
}

[[noreturn]] void refuse(const std::string& input_name, cmsHPROFILE profile, size_t size, const std::string& why)
{
    throw ToolError(kExitInput, "'" + input_name + "' carries " + profile_title(profile, size) + ", which " + why +
                                    "; remove it (exiftool -icc_profile= FILE) or convert the picture to sRGB first");
}

// Whether colours under `profile` come out as under sRGB: a grid of RGB values through both.
bool gives_srgb(cmsHPROFILE profile, cmsHPROFILE srgb)
{
    TransformPtr transform(cmsCreateTransform(profile, TYPE_RGB_8, srgb, TYPE_RGB_16, INTENT_RELATIVE_COLORIMETRIC,
                                              cmsFLAGS_NOCACHE));
    if (!transform)
        return false;
    std::vector<uint8_t> grid;
    for (int r = 0; r < 256; r += 17)
        for (int g = 0; g < 256; g += 17)
            for (int b = 0; b < 256; b += 17)
                grid.insert(grid.end(), {uint8_t(r), uint8_t(g), uint8_t(b)});
    const size_t count = grid.size() / 3;
    std::vector<uint16_t> out(grid.size());
    cmsDoTransform(transform.get(), grid.data(), out.data(), static_cast<cmsUInt32Number>(count));
    for (size_t i = 0; i < grid.size(); ++i)
        if (std::abs(int(out[i]) - int(grid[i]) * 257) > kSameAsSrgbTolerance)
            return false;
    return true;
}

// The samples converted from `profile` to sRGB in place, row by row; alpha stays. A grey profile
// reads the first channel, which a grey picture decoded as RGB repeats in all three.
bool convert_to_srgb(RgbaImage& image, cmsHPROFILE profile, bool grey, cmsHPROFILE srgb)
{
    TransformPtr transform(cmsCreateTransform(profile, grey ? TYPE_GRAY_8 : TYPE_RGB_8, srgb, TYPE_RGB_8,
                                              INTENT_PERCEPTUAL, 0));
    if (!transform)
        return false;
    const size_t width = static_cast<size_t>(image.width);
    std::vector<uint8_t> in(width * 3);
    std::vector<uint8_t> out(width * 3);
    for (int y = 0; y < image.height; ++y) {
        uint8_t* row = image.at(0, y);
        for (size_t x = 0; x < width; ++x) {
            if (grey)
                in[x] = row[x * 4];
            else
                std::copy_n(row + x * 4, 3, in.begin() + static_cast<std::ptrdiff_t>(x * 3));
        }
        cmsDoTransform(transform.get(), in.data(), out.data(), static_cast<cmsUInt32Number>(width));
        for (size_t x = 0; x < width; ++x)
            std::copy_n(out.begin() + static_cast<std::ptrdiff_t>(x * 3), 3, row + x * 4);
    }
    return true;
}

} // namespace

std::string settle_colour_profile(PngPicture& picture, const std::string& input_name)
{
    IccProfile& embedded = picture.profile;
    if (embedded.bytes.empty())
        return "";
    ProfilePtr profile(cmsOpenProfileFromMem(embedded.bytes.data(), static_cast<cmsUInt32Number>(embedded.bytes.size())));
    const std::string named = "'" + input_name + "' carries " + profile_title(profile.get(), embedded.bytes.size());
    if (!profile)
        refuse(input_name, nullptr, embedded.bytes.size(), "is damaged or of an unknown kind");
    ProfilePtr srgb(cmsCreate_sRGBProfile());
    if (!srgb)
        throw std::bad_alloc();
    const cmsColorSpaceSignature space = cmsGetColorSpace(profile.get());
    if (space == cmsSigCmykData) {
        embedded = IccProfile();
        return named + " for CMYK inks, which are read again to apply it only from a file given by name: "
                       "written as FFmpeg converts CMYK, without the profile";
    }
    if (space != cmsSigRgbData && space != cmsSigGrayData) {
        embedded = IccProfile();
        return named + " for other samples than the RGB it decodes to; written as sRGB without it";
    }
    const bool grey = space == cmsSigGrayData;
    if (!grey && gives_srgb(profile.get(), srgb.get())) {
        embedded = IccProfile();
        return "";
    }
    if (!grey && png_can_carry(embedded))
        return "";
    if (!convert_to_srgb(picture.image, profile.get(), grey, srgb.get()))
        refuse(input_name, profile.get(), embedded.bytes.size(), "cannot convert its colours");
    embedded = IccProfile();
    return named + ", which a PNG cannot carry for RGB samples: the colours are converted to sRGB";
}

std::string profile_description(const IccProfile& profile)
{
    ProfilePtr opened(cmsOpenProfileFromMem(profile.bytes.data(), static_cast<cmsUInt32Number>(profile.bytes.size())));
    return profile_title(opened.get(), profile.bytes.size());
}

bool is_cmyk_profile(const IccProfile& profile)
{
    ProfilePtr opened(cmsOpenProfileFromMem(profile.bytes.data(), static_cast<cmsUInt32Number>(profile.bytes.size())));
    return opened && cmsGetColorSpace(opened.get()) == cmsSigCmykData;
}

RgbaImage cmyk_to_srgb(const CmykSamples& samples, const IccProfile& profile, const std::string& input_name)
{
    ProfilePtr cmyk(cmsOpenProfileFromMem(profile.bytes.data(), static_cast<cmsUInt32Number>(profile.bytes.size())));
    ProfilePtr srgb(cmsCreate_sRGBProfile());
    TransformPtr transform(cmyk && srgb ? cmsCreateTransform(cmyk.get(), samples.inverted ? TYPE_CMYK_8_REV : TYPE_CMYK_8,
                                                             srgb.get(), TYPE_RGBA_8, INTENT_PERCEPTUAL, 0)
                                        : nullptr);
    if (!transform)
        refuse(input_name, cmyk.get(), profile.bytes.size(), "cannot convert its colours");
    RgbaImage image(samples.width, samples.height);
    std::fill(image.pixels.begin(), image.pixels.end(), 255);
    cmsDoTransform(transform.get(), samples.values.data(), image.pixels.data(),
                   static_cast<cmsUInt32Number>(size_t{static_cast<size_t>(samples.width)} * samples.height));
    return image;
}

} // namespace velmo_upscale
