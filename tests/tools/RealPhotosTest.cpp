// velmo-upscale on pictures nobody here made: icons that Debian packages ship with the widespread
// "sRGB IEC61966-2.1" profile; the profiles of colord-data, icc-profiles-free and Ghostscript
// embedded with exiftool; EXIF orientations as phones write them; animated (PNG, GIF, WebP) and
// 16-bit pictures. Each output is compared with what PIL (ImageOps.exif_transpose, ImageCms) shows
// for the input at the output's size.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "DecodedVideo.h"
#include "PngColourLabels.h"
#include "PngIo.h"
#include "ToolError.h"
#include "ToolInFolderTest.h"
#include "ToolRun.h"

using namespace velmo_upscale;
using velmo_upscale_test::colour_labels;
using velmo_upscale_test::decode_video;
using velmo_upscale_test::shell_quoted;
using velmo_upscale_test::ToolRun;

namespace {

const bool kQuietFfmpeg = (set_ffmpeg_verbosity(false), true);

// The picture as a colour-managed viewer shows it (upright, in sRGB, over mid grey), the input's
// resized to the output's size; printed: the mean difference of the two in 8-bit steps, at a
// third of the size, where velmo's sharpening hardly counts but colours and layout do.
const char kShownDifference[] = R"(import io, sys
from PIL import Image, ImageCms, ImageOps

def shown(path, size=None):
    image = ImageOps.exif_transpose(Image.open(path))
    alpha = image.getchannel('A') if image.mode in ('RGBA', 'LA', 'PA') else None
    colour = image if image.mode == 'CMYK' else image.convert('L' if image.mode in ('L', 'LA') else 'RGB')
    icc = image.info.get('icc_profile')
    if icc:
        colour = ImageCms.profileToProfile(colour, ImageCms.ImageCmsProfile(io.BytesIO(icc)),
                                           ImageCms.createProfile('sRGB'), outputMode='RGB')
    colour = colour.convert('RGB')
    if alpha is not None:
        colour = Image.composite(colour, Image.new('RGB', colour.size, (128, 128, 128)), alpha)
    return colour.resize(size, Image.LANCZOS) if size and size != colour.size else colour

output = shown(sys.argv[2])
reference = shown(sys.argv[1], output.size)
small = (max(1, output.width // 3), max(1, output.height // 3))
a, b = output.resize(small, Image.BOX).tobytes(), reference.resize(small, Image.BOX).tobytes()
print('%.2f' % (sum(abs(x - y) for x, y in zip(a, b)) / len(a)))
)";

// Velmo's result against a plain resize differs by about 4 to 6 steps here; a picture shown
// sideways, or grey values taken in the wrong encoding, by 30 and more.
constexpr double kSameShown = 10.0;

// The 3144-byte profile of the icons that openjdk-17-jre installs (Photoshop's "sRGB
// IEC61966-2.1"), the size libpng knows it by.
constexpr size_t kWidespreadSrgbSize = 3144;

// The largest installed icon that carries the widespread sRGB profile.
std::string icon_with_widespread_srgb_profile()
{
    std::string best;
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator("/usr/share/icons/hicolor", error)) {
        const std::string path = entry.path().string();
        if (entry.path().extension() == ".png" && colour_labels(path).profile.size() == kWidespreadSrgbSize &&
            (best.empty() || entry.file_size() > std::filesystem::file_size(best)))
            best = path;
    }
    return best;
}

class RealPhotosTest : public velmo_upscale_test::ToolInFolderTest {
protected:
    void SetUp() override
    {
        icon = icon_with_widespread_srgb_profile();
        ASSERT_FALSE(icon.empty()) << "no icon with the 3144-byte sRGB profile; scripts/install-deps.sh installs "
                                      "openjdk-17-jre, whose icons carry it";
        folder.write("shown.py", kShownDifference);
    }

    // A command of the trusted tools, run in the scratch folder; true when it succeeded.
    bool shell(const std::string& command)
    {
        return std::system(("cd " + shell_quoted(folder.path()) + " && " + command + " >/dev/null 2>&1").c_str()) == 0;
    }

    // How far the output shows from what PIL shows for the input; a large number when PIL fails.
    double shown_difference(const std::string& input, const std::string& output)
    {
        const std::string command = "cd " + shell_quoted(folder.path()) + " && /usr/bin/python3 shown.py " +
                                    shell_quoted(input) + " " + shell_quoted(output);
        std::FILE* pipe = ::popen(command.c_str(), "r");
        double difference = 1e9;
        if (pipe) {
            if (std::fscanf(pipe, "%lf", &difference) != 1)
                difference = 1e9;
            ::pclose(pipe);
        }
        return difference;
    }

    // The icon made into a non-square picture of another kind with ImageMagick ("photo.jpg").
    bool icon_as(const std::string& name, const std::string& options = "")
    {
        return shell("/usr/bin/convert " + shell_quoted(icon) + " -background white -flatten -resize 60x36! " +
                     options + " " + shell_quoted(name));
    }

    std::string icon;
};

} // namespace

TEST_F(RealPhotosTest, EmbeddedProfilesNeverFailAReadablePicture)
{
    // The widespread sRGB profile, which libpng refuses to write: the output says sRGB instead.
    std::filesystem::copy_file(icon, folder.path("icon.png"));
    ToolRun srgb = run({"icon.png", "icon-out.png"});
    ASSERT_EQ(srgb.status, 0) << srgb.err;
    EXPECT_EQ(srgb.err, "");
    EXPECT_EQ(colour_labels(folder.path("icon-out.png")).profile.size(), 0u);
    EXPECT_LT(shown_difference("icon.png", "icon-out.png"), kSameShown);

    // A grey picture with a linear grey profile: converted to sRGB, so mid greys come out as PIL shows them.
    ASSERT_TRUE(shell("/usr/bin/convert " + shell_quoted(icon) + " -colorspace Gray -strip grey.png && "
                      "exiftool -q -overwrite_original '-icc_profile<=/usr/share/color/icc/Gray.icc' grey.png"));
    ToolRun grey = run({"grey.png", "grey-out.png"});
    ASSERT_EQ(grey.status, 0) << grey.err;
    EXPECT_NE(grey.err.find("note: 'grey.png' carries the colour profile 'Gray', which a PNG cannot carry for RGB "
                            "samples: the colours are converted to sRGB"),
              std::string::npos)
        << grey.err;
    EXPECT_LT(shown_difference("grey.png", "grey-out.png"), kSameShown);

    // Wide RGB profiles stay with the samples they describe.
    for (const char* profile : {"AdobeRGB1998", "ProPhotoRGB", "WideGamutRGB"}) {
        const std::string name = std::string(profile) + ".png";
        ASSERT_TRUE(shell("/usr/bin/convert " + shell_quoted(icon) + " -strip " + name + " && exiftool -q "
                          "-overwrite_original '-icc_profile<=/usr/share/color/icc/colord/" + profile + ".icc' " + name));
        ToolRun wide = run({name, "out-" + name});
        ASSERT_EQ(wide.status, 0) << wide.err;
        EXPECT_GT(colour_labels(folder.path("out-" + name)).profile.size(), 0u) << profile;
        EXPECT_LT(shown_difference(name, "out-" + name), kSameShown) << profile;
    }

    // A CMYK photo with Ghostscript's press profile: its inks converted through it, not by FFmpeg's formula.
    ASSERT_TRUE(icon_as("cmyk.jpg", "-modulate 100,250 -profile /usr/share/color/icc/colord/sRGB.icc -profile "
                                    "\"$(ls /usr/share/ghostscript/*/iccprofiles/default_cmyk.icc | head -n 1)\""));
    ToolRun cmyk = run({"cmyk.jpg", "cmyk.png"});
    ASSERT_EQ(cmyk.status, 0) << cmyk.err;
    EXPECT_NE(cmyk.err.find("note: 'cmyk.jpg' holds CMYK inks: converted to sRGB with the colour profile 'Artifex "
                            "CMYK SWOP Profile'"),
              std::string::npos)
        << cmyk.err;
    EXPECT_LT(shown_difference("cmyk.jpg", "cmyk.png"), kSameShown);

    // A photo whose profile is cut short cannot be shown in its colours: refused, the profile named.
    ASSERT_TRUE(icon_as("cut.jpg"));
    ASSERT_TRUE(shell("head -c 700 /usr/share/color/icc/colord/AdobeRGB1998.icc > cut.icc && "
                      "exiftool -q -overwrite_original '-icc_profile<=cut.icc' cut.jpg"));
    ToolRun cut = run({"cut.jpg", "cut.png"});
    EXPECT_EQ(cut.status, kExitInput);
    EXPECT_NE(cut.err.find("'cut.jpg' carries a colour profile of 700 bytes, which cannot convert its colours"),
              std::string::npos)
        << cut.err;
    EXPECT_FALSE(std::filesystem::exists(folder.path("cut.png")));
}

TEST_F(RealPhotosTest, ExifOrientationShowsPhotosUpright)
{
    ASSERT_TRUE(icon_as("photo.jpg", "-quality 95"));
    for (int orientation = 1; orientation <= 8; ++orientation) {
        const std::string name = "photo" + std::to_string(orientation) + ".jpg";
        ASSERT_TRUE(shell("exiftool -q -Orientation#=" + std::to_string(orientation) + " -o " + name + " photo.jpg"));
        ToolRun turned = run({name, name + ".png"});
        ASSERT_EQ(turned.status, 0) << turned.err;
        PngPicture output = read_png(folder.path(name + ".png"));
        EXPECT_EQ(output.image.width, orientation >= 5 ? 54 : 90) << name;
        EXPECT_LT(shown_difference(name, name + ".png"), kSameShown) << name;
        EXPECT_EQ(turned.err.find("EXIF orientation") == std::string::npos, orientation == 1) << turned.err;
    }
    ToolRun sideways = run({"photo6.jpg", "photo6.png"});
    EXPECT_NE(sideways.err.find("note: 'photo6.jpg' is stored otherwise than shown (EXIF orientation 6): turned 90 "
                                "degrees clockwise to show it upright"),
              std::string::npos)
        << sideways.err;

    // PNG's eXIf chunk and WebP's EXIF chunk the same.
    ASSERT_TRUE(icon_as("photo.png"));
    ASSERT_TRUE(icon_as("photo.webp", "-quality 95"));
    ASSERT_TRUE(shell("exiftool -q -overwrite_original -Orientation#=6 photo.png"));
    ASSERT_TRUE(shell("exiftool -q -overwrite_original -Orientation#=8 photo.webp"));
    for (const char* name : {"photo.png", "photo.webp"}) {
        const std::string output = std::string("out-") + name + ".png";
        ToolRun turned = run({name, output});
        ASSERT_EQ(turned.status, 0) << turned.err;
        EXPECT_EQ(read_png(folder.path(output)).image.width, 54) << name;
        EXPECT_LT(shown_difference(name, output), kSameShown) << name;
    }
}

TEST_F(RealPhotosTest, AnimatedPicturesAreVideosWithEveryFrame)
{
    // Four frames of the icon, a red bar growing 0.1 s apart, as an animated PNG, GIF and WebP.
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(shell("/usr/bin/convert " + shell_quoted(icon) + " -background white -flatten -fill red -draw "
                          "'rectangle 0,0," + std::to_string(10 * i + 10) + ",10' frame" + std::to_string(i) + ".png"));
    ASSERT_TRUE(shell("ffmpeg -framerate 10 -i frame%d.png -plays 0 -f apng animated.png"));
    ASSERT_TRUE(shell("/usr/bin/convert -delay 10 frame0.png frame1.png frame2.png frame3.png animated.gif"));
    ASSERT_TRUE(shell("img2webp -lossless -d 100 frame0.png frame1.png frame2.png frame3.png -o animated.webp"));

    for (const char* name : {"animated.png", "animated.gif", "animated.webp"}) {
        const std::string video = std::string(name) + ".mkv";
        ToolRun all = run({"--scale", "1", name, video});
        ASSERT_EQ(all.status, 0) << all.err;
        // RGB frames are written as limited-range YUV: there is no full-range mark to miss.
        EXPECT_EQ(all.err, "") << name;
        velmo_upscale_test::DecodedVideo frames = decode_video(folder.path(video));
        ASSERT_EQ(frames.frames.size(), 4u) << name;
        EXPECT_NEAR(frames.seconds(3), 0.3, 0.01) << name;
        // The bar reaches x = 40 in the last frame only.
        EXPECT_GT(frames.frames[3].at(35, 4)[0], 200) << name;
        EXPECT_LT(frames.frames[0].at(35, 4)[0] - frames.frames[0].at(35, 4)[1], 100) << name;

        const std::string picture = std::string("first-") + name + ".png";
        ToolRun first = run({name, picture});
        ASSERT_EQ(first.status, 0) << first.err;
        EXPECT_NE(first.err.find("note: '" + std::string(name) + "' is animated"), std::string::npos) << first.err;
        EXPECT_NE(first.err.find("only its first frame is written to '" + picture + "'"), std::string::npos)
            << first.err;
        EXPECT_LT(shown_difference("frame0.png", picture), kSameShown) << name;
    }
}

TEST_F(RealPhotosTest, SixteenBitPngSaysWhatWasReduced)
{
    ASSERT_TRUE(shell("/usr/bin/convert " + shell_quoted(icon) + " -depth 16 PNG64:deep.png"));
    ToolRun deep = run({"deep.png", "deep-out.png"});
    ASSERT_EQ(deep.status, 0) << deep.err;
    EXPECT_NE(deep.err.find("note: 'deep.png' has 16 bits per channel; velmo works in 8, so 'deep-out.png' is "
                            "written with 8"),
              std::string::npos)
        << deep.err;
    EXPECT_LT(shown_difference("deep.png", "deep-out.png"), kSameShown);
}
