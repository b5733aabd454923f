// Plane and image scaling on the CPU: 2x bilinear upsampling and the fixed-point scaler helpers.
// Exported; the public header declares them with their contracts.
#pragma once

#include "velmo/velmo_cpu.h"
