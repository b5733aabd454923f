// Marks the library's external interfaces; everything else stays hidden in libvelmo.so.
#pragma once

#define GRF_EXPORT __attribute__((visibility("default")))
