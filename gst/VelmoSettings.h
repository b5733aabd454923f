// The element's properties as one value: what a velmo instance is created and sized with.
#pragma once

#include <string>

#include "client/Settings.h"

namespace velmo_gst {

// The player-side settings record, with velmo's defaults; `config_dir` empty: the per-user cache folder.
struct VelmoSettings : velmo_client::Settings {
};

// The folder velmo writes configure.ini into: the one given, else $XDG_CACHE_HOME/velmo (or
// ~/.cache/velmo), created when missing.
std::string config_folder(const std::string& requested);

} // namespace velmo_gst
