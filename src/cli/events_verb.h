#pragma once

#include <string>
#include <vector>

#include "cli_options.h"
#include "common/op_context.h"
#include "diag/stored_events.h"
#include "link/link_settings.h"

namespace tarnlux::cli {

// The CSV text of decoded events: a heading row, then one row per event
// (event number, site, date, time, then for each path any event has, each
// figure followed by its grade: ok, warning or fail). Lines end with `lineEnd`.
std::string eventsCsv(const std::vector<StoredEvent>& events, const char* lineEnd);

// "events": the stored events as CSV on stdout (and in --csv FILE). Exit
// status 0, 1 (failure, its text on stderr) or 2 (usage).
int runEvents(const LinkSettings& settings, const Options& options, OperationContext& ctx);

}  // namespace tarnlux::cli
