// The CPU upscaling pass and stretch of whole RGBA frames, band by band. Exported; the public
// header declares them with their contracts.
#pragma once

#include "velmo/velmo_cpu.h"
