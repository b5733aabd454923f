// Synthetic scenes: deterministic, small, and each rich in one kind of structure.
#include "shaders/SceneImages.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace velmo_test {

namespace {

void set(RgbaImage& image, int x, int y, int r, int g, int b, int a = 255)
{
    uint8_t* p = image.at(x, y);
    p[0] = static_cast<uint8_t>(std::clamp(r, 0, 255));
    p[1] = static_cast<uint8_t>(std::clamp(g, 0, 255));
    p[2] = static_cast<uint8_t>(std::clamp(b, 0, 255));
    p[3] = static_cast<uint8_t>(a);
}

// Large blocks of constant colour: their insides never reach the reconstruction.
RgbaImage flat_regions(int width, int height)
{
    RgbaImage image(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int block = (x * 3 / width) + 3 * (y * 2 / height);
            set(image, x, y, 30 + block * 37, 200 - block * 29, 90 + (block % 2) * 100);
        }
    return image;
}

// Two colours split by straight lines through the frame at several angles (each line flips the side).
RgbaImage step_edges(int width, int height)
{
    RgbaImage image(width, height);
    const double angles[] = {0.0, 0.35, 0.79, 1.22, 1.57};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            int side = 0;
            for (int i = 0; i < 5; ++i) {
                const double cx = width * (0.15 + 0.17 * i), cy = height * 0.5;
                side ^= (x - cx) * std::sin(angles[i]) - (y - cy) * std::cos(angles[i]) > 0.0 ? 1 : 0;
            }
            if (side)
                set(image, x, y, 220, 210, 40);
            else
                set(image, x, y, 20, 60, 120);
        }
    return image;
}

// One-texel lines (horizontal, vertical, both diagonals) of varying strength on a mid-grey field.
RgbaImage thin_lines(int width, int height)
{
    RgbaImage image(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            int level = 110;
            if (y == height / 3 || x == width / 4)
                level = 250;
            if (x - y == width / 2 || x + y == height)
                level = 10;
            if (x % 9 == 4 && y > height / 2)
                level = 140;
            set(image, x, y, level, level, level - 5);
        }
    return image;
}

// Textured skin-tone discs on a dark, non-skin background, with sharp borders.
RgbaImage skin_patches(int width, int height)
{
    RgbaImage image(width, height);
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> jitter(-6, 6);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double d1 = std::hypot(x - width * 0.3, y - height * 0.5);
            const double d2 = std::hypot(x - width * 0.75, y - height * 0.35);
            const int j = jitter(rng);
            if (d1 < height * 0.35 || d2 < height * 0.22)
                set(image, x, y, kSkinTone[0] + j, kSkinTone[1] + j, kSkinTone[2] + j / 2);
            else
                set(image, x, y, kNotSkin[0] + j, kNotSkin[1] + j, kNotSkin[2]);
        }
    return image;
}

// A smooth two-dimensional ramp: small, regular votes, many of them on the thresholds.
RgbaImage gradient(int width, int height)
{
    RgbaImage image(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            set(image, x, y, x * 255 / width, (x + y) * 255 / (width + height), 255 - y * 255 / height);
    return image;
}

// Bright frame and corner marks on the outermost texels: taps beyond the edge read the edge texel.
RgbaImage borders(int width, int height)
{
    RgbaImage image(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool edge = x == 0 || y == 0 || x == width - 1 || y == height - 1;
            const bool mark = (x < 3 && y < 3) || (x >= width - 2 && y >= height - 3);
            const int level = mark ? 0 : (edge ? 245 : 70);
            set(image, x, y, level, edge ? 255 - level : level, level / 2 + 60);
        }
    return image;
}

} // namespace

RgbaImage low_contrast_noise(int width, int height, int low, int high, uint32_t seed)
{
    RgbaImage image(width, height);
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> value(low, high);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            set(image, x, y, value(rng), value(rng), value(rng));
    return image;
}

std::vector<Scene> upscale_scenes(int width, int height)
{
    return {
        {"noise", random_image(width, height, 7)},
        {"flat", flat_regions(width, height)},
        {"edges", step_edges(width, height)},
        {"lines", thin_lines(width, height)},
        {"skin", skin_patches(width, height)},
        {"gradient", gradient(width, height)},
        {"borders", borders(width, height)},
    };
}

} // namespace velmo_test
