#pragma once

#include "cli_options.h"
#include "common/op_context.h"
#include "link/link_settings.h"

namespace tarnlux::cli {

// How much faster than real time "--clock fast" runs the loop (a 3-second
// period passes in 30 ms). Only the simulated meter keeps up with it.
inline constexpr double kFastClockFactor = 100.0;

// "capture": connects as the program does, runs the diagnostic screen's query
// loop without a screen and writes a data capture log. Prints "period=S",
// then one line per row written, "row=N pathP=ok|warning|fail ..." (P the path
// or channel number, the grade the worst of the path's graded readings), and
// at the end "rows=N", "summary=0|1" and "log=PATH" (empty when no log was
// opened). Ctrl-C ends the capture with its summary, as Stop does.
// Exit status 0 (the capture ended with its summary), 1 (failure, its text on
// stderr) or 2 (usage: a channel the meter does not offer).
int runCapture(const LinkSettings& settings, const Options& options, OperationContext& ctx);

}  // namespace tarnlux::cli
