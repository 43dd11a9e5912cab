#pragma once

#include "block_verb.h"
#include "cli_options.h"
#include "common/op_context.h"
#include "link/link_settings.h"

namespace tarnlux::cli {

// "limits write": the limits screen's Save from a script. Exit status 0, 1
// (a refused field, the password step or the save failed: the screen's
// message on stderr) or 2 (usage).
int runLimitsWrite(const LinkSettings& settings, const Options& options, OperationContext& ctx);

// The screens' shared Save of `staging` after their field checks: the
// location the block must name, the password step with --password, the
// write and its read-back. Prints "status=" with the screen's final status
// text and, when the block went out, "sent=" as block write does. 0 or 1.
int saveBlockForVerb(Connection& c, const Options& options, const MeterBlockFields& staging,
                     OperationContext& ctx);

}  // namespace tarnlux::cli
