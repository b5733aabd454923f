// Where the HiLog stand-in's lines go: a sink the layer above may install instead of standard error.
#pragma once

#include "hilog/log.h"

// Receives one finished line with its HiLog level and returns true when it took it; false sends
// the line to standard error. It may be called from any thread, several at once.
using HiLogStandInSink = bool (*)(LogLevel level, const char* line);

// Installs the sink for every later line; nullptr leaves lines on standard error.
void hilog_stand_in_set_sink(HiLogStandInSink sink);
