#pragma once

#include "cli_options.h"
#include "common/op_context.h"
#include "link/link_settings.h"

namespace tarnlux::cli {

// "site list", "site save N", "site restore FILE": the site screen from the
// command line. Exit status 0, or 1 with the screen's message on stderr.
int runSite(const LinkSettings& settings, const Options& options, OperationContext& ctx);

}  // namespace tarnlux::cli
