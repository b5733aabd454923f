// The element's configure.ini folder.
#include "VelmoSettings.h"

#include <glib.h>
#include <glib/gstdio.h>

namespace velmo_gst {

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
