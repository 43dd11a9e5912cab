#pragma once

#include "cli_options.h"
#include "common/op_context.h"
#include "link/link_settings.h"

namespace tarnlux::cli {

// "settings": the meter settings page, one page line per output line. Exit
// status 0, 1 (failure, its text on stderr) or 2 (usage).
int runSettings(const LinkSettings& settings, const Options& options, OperationContext& ctx);

}  // namespace tarnlux::cli
