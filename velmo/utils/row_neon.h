// NEON row kernels for plane copy, chroma split/merge and RGBA to RGB24; whole blocks only (32
// bytes for the copy, 16 pixels or pairs for the others). The Any wrappers of row_any.h accept
// every width. Exported; the public header declares them with their contracts.
#pragma once

#include "velmo/velmo_cpu.h"
