#pragma once

#include <string>
#include <vector>

#include "common/op_context.h"
#include "link/link_settings.h"

namespace tarnlux::cli {

// "osload FILE [--yes] [--clock fast]": sends FILE to the meter's boot loader
// as the Load screen does and prints blocks=N, bytes=N, retries=N and
// status=TEXT. Exit status 0, 1 (the screen's message on stderr) or 2 (usage).
int runOsLoadVerb(const LinkSettings& settings, const std::vector<std::string>& args,
                  OperationContext& ctx);

}  // namespace tarnlux::cli
