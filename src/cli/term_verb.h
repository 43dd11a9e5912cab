#pragma once

#include "cli_options.h"
#include "common/op_context.h"
#include "link/link_settings.h"

namespace tarnlux::cli {

// "term [--capture FILE]": the meter's own text interface. On a terminal the
// keys go to the meter with the terminal screen's key mapping and the meter's
// screen is drawn through the same interpreter; Ctrl-] ends. With standard
// input not a terminal each input line is sent (with "\r") and what arrives
// is printed as it comes; the end of input ends the run once the meter has
// been quiet for --quiet-ms. Exit status 0, 1 (the message on stderr).
int runTerm(const LinkSettings& settings, const Options& options, OperationContext& ctx);

}  // namespace tarnlux::cli
