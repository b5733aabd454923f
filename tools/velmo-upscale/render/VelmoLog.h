// Where velmo's own log records go: off the user's terminal unless --verbose asks for them.
#pragma once

namespace velmo_upscale {

// Routes velmo's records (through velmo_set_log_callback, for the whole process) to standard
// error when `verbose`, and nowhere otherwise. Mesa's and FFmpeg's messages are not affected.
void route_velmo_log(bool verbose);

} // namespace velmo_upscale
