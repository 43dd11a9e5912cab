#pragma once

#include "cli_options.h"
#include "common/op_context.h"
#include "link/link_settings.h"

namespace tarnlux::cli {

// "signal": connects as the program does, asks once for the received signal
// and prints its figures as key=value lines, then "index,a,b" and one line
// per sample. Exit status 0, 1 (failure, its text on stderr) or 2 (a channel
// or NullTrack signal the meter does not have).
int runSignal(const LinkSettings& settings, const Options& options, OperationContext& ctx);

}  // namespace tarnlux::cli
