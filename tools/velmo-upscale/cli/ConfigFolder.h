// Where velmo writes configure.ini for the tool.
#pragma once

#include <string>

namespace velmo_upscale {

// `requested` when given: it must be an existing folder, else ToolError(kExitUsage). Otherwise
// $XDG_CACHE_HOME/velmo or ~/.cache/velmo, created when missing; the temporary folder where
// neither can be made (velmo then still works, only its file goes elsewhere).
std::string config_folder(const std::string& requested);

} // namespace velmo_upscale
