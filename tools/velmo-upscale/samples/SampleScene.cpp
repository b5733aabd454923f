// The synthetic scene, drawn per pixel with 3x3 supersampling so its edges look like those of a
// downscaled camera picture rather than aliased vector art.
#include "SampleScene.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

namespace velmo_upscale {
namespace {

constexpr double kPi = 3.14159265358979323846;

struct Color {
    double r, g, b;
};

Color mix(Color a, Color b, double t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// A repeatable pseudo-random value in [0, 1) per integer cell, for skin and water texture.
double hash(int x, int y)
{
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return static_cast<double>((h ^ (h >> 16)) & 0xFFFF) / 65536.0;
}

// 5 x 7 glyphs of the word on the sign.
constexpr std::array<std::array<const char*, 7>, 5> kGlyphs = {{
    {".....", ".....", "#...#", "#...#", "#...#", ".#.#.", "..#.."}, // v
    {".....", ".....", ".###.", "#...#", "#####", "#....", ".###."}, // e
    {".##..", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."}, // l
    {".....", ".....", "##.#.", "#.#.#", "#.#.#", "#.#.#", "#.#.#"}, // m
    {".....", ".....", ".###.", "#...#", "#...#", "#...#", ".###."}, // o
}};

bool on_lettering(double u, double v)
{
    constexpr double left = 0.08, top = 0.07, cell = 0.022;
    int column = static_cast<int>(std::floor((u - left) / cell));
    int row = static_cast<int>(std::floor((v - top) / cell));
    if (column < 0 || row < 0 || row >= 7 || column >= 6 * 5)
        return false;
    int glyph = column / 6;
    int x = column % 6;
    return x < 5 && kGlyphs[static_cast<size_t>(glyph)][static_cast<size_t>(row)][x] == '#';
}

// u runs 0..16/9 left to right, v 0..1 top to bottom.
Color scene(double u, double v, double seconds)
{
    Color color = mix(Color{0.10, 0.22, 0.55}, Color{0.98, 0.72, 0.45}, std::clamp(v / 0.6, 0.0, 1.0));

    double sun = std::hypot(u - 1.30, v - 0.28);
    if (sun < 0.09)
        color = Color{1.0, 0.96, 0.80};
    else if (sun < 0.16)
        color = mix(Color{1.0, 0.90, 0.65}, color, (sun - 0.09) / 0.07);

    double ridge = 0.55 + 0.08 * std::sin(3.0 * u) + 0.04 * std::sin(7.3 * u + 1.0);
    if (v > ridge)
        color = mix(Color{0.16, 0.26, 0.30}, Color{0.08, 0.14, 0.16}, std::clamp((v - ridge) / 0.2, 0.0, 1.0));

    if (v > 0.78) {
        double wave = std::sin(v * 160.0 - seconds * 6.0 + 2.0 * std::sin(u * 9.0));
        color = mix(Color{0.05, 0.25, 0.32}, Color{0.35, 0.60, 0.66}, wave > 0.7 ? 0.8 : 0.15);
    }

    // A face: skin with fine mottling for the smoothing to work on, dark eyes, a mouth.
    double fx = (u - 0.40) / 0.13, fy = (v - 0.55) / 0.17;
    if (fx * fx + fy * fy < 1.0) {
        double mottle = hash(static_cast<int>(u * 900.0), static_cast<int>(v * 900.0)) - 0.5;
        color = Color{0.88 + 0.06 * mottle, 0.66 + 0.06 * mottle, 0.54 + 0.05 * mottle};
        if (std::hypot(u - 0.355, v - 0.50) < 0.016 || std::hypot(u - 0.445, v - 0.50) < 0.016)
            color = Color{0.12, 0.08, 0.06};
        double smile = std::hypot(u - 0.40, (v - 0.56) * 1.4);
        if (v > 0.60 && smile > 0.062 && smile < 0.074)
            color = Color{0.55, 0.18, 0.18};
    }

    // A wheel of thin spokes: the hardest case for any upscaler.
    double wx = u - 1.45, wy = v - 0.80, radius = std::hypot(wx, wy);
    if (radius < 0.16) {
        color = Color{0.92, 0.92, 0.88};
        double angle = std::atan2(wy, wx) + seconds * 0.8;
        double spoke = std::fmod(angle * 24.0 / (2.0 * kPi) + 1000.0, 1.0);
        if (radius > 0.012 && spoke < 0.18)
            color = Color{0.10, 0.10, 0.14};
        if (radius > 0.15)
            color = Color{0.30, 0.12, 0.10};
    }

    // The sign with the lettering, a dark plate with a light rim.
    if (u > 0.06 && u < 0.76 && v > 0.05 && v < 0.24) {
        bool rim = u < 0.07 || u > 0.75 || v < 0.06 || v > 0.23;
        color = rim ? Color{0.85, 0.85, 0.80} : Color{0.10, 0.12, 0.18};
        if (on_lettering(u, v))
            color = Color{1.0, 0.85, 0.25};
    }
    return color;
}

} // namespace

RgbaImage render_sample_scene(int width, int height, double seconds)
{
    constexpr int kSub = 3;
    RgbaImage image(width, height);
    double unit = 1.0 / height;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            Color sum{0, 0, 0};
            for (int sy = 0; sy < kSub; ++sy) {
                for (int sx = 0; sx < kSub; ++sx) {
                    Color c = scene((x + (sx + 0.5) / kSub) * unit, (y + (sy + 0.5) / kSub) * unit, seconds);
                    sum = Color{sum.r + c.r, sum.g + c.g, sum.b + c.b};
                }
            }
            uint8_t* pixel = image.at(x, y);
            const double samples = kSub * kSub;
            pixel[0] = static_cast<uint8_t>(std::lround(std::clamp(sum.r / samples, 0.0, 1.0) * 255.0));
            pixel[1] = static_cast<uint8_t>(std::lround(std::clamp(sum.g / samples, 0.0, 1.0) * 255.0));
            pixel[2] = static_cast<uint8_t>(std::lround(std::clamp(sum.b / samples, 0.0, 1.0) * 255.0));
            pixel[3] = 255;
        }
    }
    return image;
}

} // namespace velmo_upscale
