#pragma once

#include "cli_options.h"
#include "common/op_context.h"
#include "link/link_settings.h"

namespace tarnlux::cli {

// "meter-info": prints the six meter information texts of the memory block
// or, given FIELD=TEXT, saves them as the meter information screen does.
// Exit status 0, 1 (the screen's message on stderr) or 2 (usage).
int runMeterInfo(const LinkSettings& settings, const Options& options, OperationContext& ctx);

}  // namespace tarnlux::cli
