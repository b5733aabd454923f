// Synthetic pictures and clips to try velmo on without downloading anything: a landscape with
// soft and hard edges, fine lines, lettering, a skin-toned face and a turning wheel.
#pragma once

#include <string>

#include "Options.h"
#include "RgbaImage.h"

namespace velmo_upscale {

// The scene at `seconds` into the clip (the wheel turns, the water moves).
RgbaImage render_sample_scene(int width, int height, double seconds);

struct SampleClip {
    int width = 512;
    int height = 288;
    int frames = 72;
    int frame_rate = 24;
    bool with_audio = true; // a quiet AAC tone, to show that audio is carried over
};

// Writes the clip as an MP4 or Y4M file; throws ToolError(kExitOutput).
void write_sample_clip(const std::string& path, OutputKind kind, const SampleClip& clip);

} // namespace velmo_upscale
