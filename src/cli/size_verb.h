#pragma once

#include <string>
#include <vector>

namespace tarnlux::cli {

// "size gas|liquid": the sensor sizing tools. Prints the entries as the screen
// shows them, the recommendation, the problems and the results pages as
// key=value lines. 0 success, 1 an entry refused or a failed calculation (the
// screen's message on stderr), 2 usage error.
int runSize(const std::vector<std::string>& args, bool quiet);

}  // namespace tarnlux::cli
