// Portable row kernels for plane copy, chroma split/merge and RGBA to RGB24; any width.
// Exported; the public header declares them with their contracts.
#pragma once

#include "velmo/velmo_cpu.h"
