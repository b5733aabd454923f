// velmo's log records dropped through its log callback instead of silencing standard error, which
// would also hide the driver's and the tool's own messages.
#include "VelmoLog.h"

#include "velmo/velmo_api.h"

namespace velmo_upscale {
namespace {

void drop_record(const char*, void*) {}

} // namespace

void route_velmo_log(bool verbose)
{
    velmo_set_log_callback(verbose ? nullptr : drop_record, nullptr);
}

} // namespace velmo_upscale
