// Counts and times the EGL and GL calls that cost a renderer time beyond its shader passes, by
// standing in for them in the benchmark executable (the dynamic linker resolves libvelmo's calls
// to these first) and forwarding each to the real driver entry point.
#pragma once

#include <cstdint>

namespace velmo_bench {

enum class MeteredCall { MakeCurrent, UniformLocation, Finish, GetError, TexImage, FramebufferStatus, Count };

struct CallStats {
    uint64_t calls = 0;
    double seconds = 0;
};

// Calls are counted only while metering is on, so set-up and the benchmark's own work stay out.
void set_metering(bool on);
void reset_metering();
CallStats metered(MeteredCall call);
const char* call_name(MeteredCall call);

} // namespace velmo_bench
