#pragma once

#include <string>
#include <vector>

namespace tarnlux::cli {

// The calculators from the command line. Each takes the arguments after its
// verb and returns the exit status: 0 success, 1 failure (the message the
// screen would show on stderr unless quiet), 2 usage error or an input the
// screen would refuse.

// "aga8": one point, or the 10 x 10 table with --table.
int runAga8(const std::vector<std::string>& args, bool quiet);

// "energy": the energy flow calculator's results page as key=value lines.
int runEnergy(const std::vector<std::string>& args, bool quiet);

}  // namespace tarnlux::cli
