// Any-width wrappers that run the whole blocks of a row through a NEON kernel and finish the rest
// in a stack scratch area, so no row is read or written past its width; also the any-width 2x
// bilinear row kernels. Exported; the public header declares them with their contracts.
#pragma once

#include "velmo/velmo_cpu.h"
