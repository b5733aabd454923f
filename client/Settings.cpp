// The settings record over velmo's init record, and the output size through velmo itself.
#include "client/Settings.h"

namespace velmo_client {

Settings::Settings()
{
    velmo_init_params defaults;
    velmo_default_params(&defaults);
    level = defaults.sr_level;
    sharpness = defaults.custom_sharpness;
    smooth = defaults.enable_fast_sr_smooth;
    sigma_s = defaults.sigma_s;
    sigma_r = defaults.sigma_r;
    priority = defaults.priority;
    edge_adaptive = defaults.enable_edge_adaptive;
    face_protection = defaults.enable_face_protection;
}

bool Settings::draws_like(const Settings& other) const
{
    return scale == other.scale && level == other.level && (level != 0 || sharpness == other.sharpness) &&
           smooth == other.smooth && sigma_s == other.sigma_s && sigma_r == other.sigma_r &&
           priority == other.priority && edge_adaptive == other.edge_adaptive &&
           face_protection == other.face_protection && config_dir == other.config_dir;
}

velmo_init_params Settings::init_params(const char* folder) const
{
    velmo_init_params params;
    velmo_default_params(&params);
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

bool output_size(int width, int height, float scale, int& output_width, int& output_height)
{
    int32_t w = 0;
    int32_t h = 0;
    if (velmo_output_size(width, height, scale, &w, &h) != VELMO_OK)
        return false;
    output_width = w;
    output_height = h;
    return true;
}

} // namespace velmo_client
