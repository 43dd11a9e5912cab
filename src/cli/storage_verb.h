#pragma once

#include "cli_options.h"
#include "common/op_context.h"
#include "link/link_settings.h"

namespace tarnlux::cli {

// "storage": the meter's alarm storage state, changed as asked first. Exit
// status 0, 1 (failure or refusal, its text on stderr) or 2 (usage).
int runStorage(const LinkSettings& settings, const Options& options, OperationContext& ctx);

}  // namespace tarnlux::cli
