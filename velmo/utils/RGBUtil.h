// Plane copy, chroma split and merge, NV12 <-> I420 conversion and RGBA to RGB24 on the CPU.
// Every routine is exported; the public header declares them with their contracts.
#pragma once

#include "velmo/velmo_cpu.h"
