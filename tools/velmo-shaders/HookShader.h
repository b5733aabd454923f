// Turns the library's upscaling shader texts into a user-shader file in the hook format of
// libplacebo-based players (mpv, FFmpeg's libplacebo filter).
#pragma once

#include <string>

namespace velmo_shaders {

// The settings a player passes to velmo_init, baked into the file as constants: the hook format
// of the players this is written for has no run-time parameters.
struct HookSettings {
    std::string title;        // what the file is, for its header and the players' pass list
    float usm_sharpness = 0;  // strength of the unsharp mask (0: no sharpening)
    bool edge_adaptive = true;
    bool face_protection = false;
};

// The whole file. Throws std::runtime_error when a library text no longer has the form the
// conversion expects, so that a changed text stops the build instead of yielding a wrong shader.
std::string make_hook_shader(const HookSettings& settings);

} // namespace velmo_shaders
