// The element's properties as one value: what a velmo instance is created and sized with.
#include "VelmoSettings.h"

#include <glib.h>
#include <glib/gstdio.h>

namespace velmo_gst {

bool VelmoSettings::draws_like(const VelmoSettings& other) const
{
    return scale == other.scale && level == other.level && (level != 0 || sharpness == other.sharpness) && smooth == other.smooth &&
           sigma_s == other.sigma_s && sigma_r == other.sigma_r && priority == other.priority &&
           edge_adaptive == other.edge_adaptive && face_protection == other.face_protection &&
           config_dir == other.config_dir;
}

velmo_init_params VelmoSettings::init_params(const char* folder) const
{
    velmo_init_params params = {};
    params.config_dir = folder;
    params.priority = priority;
    params.sr_level = level;
    params.custom_sharpness = sharpness;
    params.enable_edge_adaptive = edge_adaptive;
    params.enable_fast_sr_smooth = smooth;
    params.enable_face_protection = face_protection;
    params.sigma_s = sigma_s;
    params.sigma_r = sigma_r;
    return params;
}

std::string config_folder(const std::string& requested)
{
    if (!requested.empty())
        return requested;
    gchar* folder = g_build_filename(g_get_user_cache_dir(), "velmo", nullptr);
    // When the folder cannot be made velmo reports an unwritable file and works on without it.
    g_mkdir_with_parents(folder, 0755);
    std::string result = folder;
    g_free(folder);
    return result;
}

} // namespace velmo_gst
