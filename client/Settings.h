// What a player creates and sizes a velmo instance with, as one value whose defaults are velmo's
// own (velmo_default_params), and the output-size rule of velmo_process.
#pragma once

#include <string>

#include "velmo/velmo_api.h"

namespace velmo_client {

struct Settings {
    // velmo's documented defaults; the scale is the players' usual 1.5.
    Settings();

    float scale = 1.5f;
    int level;             // 1..3, or 0 when `sharpness` gives the strength
    float sharpness;       // read only at level 0
    bool smooth;
    float sigma_s;
    float sigma_r;
    int priority;
    bool edge_adaptive;
    bool face_protection;
    std::string config_dir; // empty: the player's own default folder

    // Whether an instance made with `other` draws the same as one made with these settings.
    bool draws_like(const Settings& other) const;

    // The init record; `config_dir` must outlive the call of velmo_init.
    velmo_init_params init_params(const char* config_dir) const;
};

// The output size velmo_process draws a width x height frame at with `scale` (at most 2): each
// side times the scale in single precision, truncated. False when velmo would draw nothing.
bool output_size(int width, int height, float scale, int& output_width, int& output_height);

} // namespace velmo_client
