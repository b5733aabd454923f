// The element's properties as one value: what a velmo instance is created and sized with.
#pragma once

#include <string>

#include "velmo/velmo_api.h"

namespace velmo_gst {

struct VelmoSettings {
    float scale = 1.5f;
    int level = 2;           // 1..3, or 0 when `sharpness` gives the strength
    float sharpness = 1.5f;  // read only at level 0
    bool smooth = false;
    float sigma_s = 0.8f;
    float sigma_r = 1.0f;
    int priority = 2;
    bool edge_adaptive = true;
    bool face_protection = false;
    std::string config_dir;  // empty: the per-user cache folder

    // Whether an instance made with `other` draws the same as one made with these settings.
    bool draws_like(const VelmoSettings& other) const;

    // The init record; `config_dir` must outlive the call of velmo_init.
    velmo_init_params init_params(const char* config_dir) const;
};

// The folder velmo writes configure.ini into: the one given, else $XDG_CACHE_HOME/velmo (or
// ~/.cache/velmo), created when missing.
std::string config_folder(const std::string& requested);

} // namespace velmo_gst
