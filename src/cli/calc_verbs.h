#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "calc/aga8_screen_rules.h"

namespace tarnlux::cli {

// The calculators from the command line. Each takes the arguments after its
// verb and returns the exit status: 0 success, 1 failure (the message the
// screen would show on stderr unless quiet), 2 usage error or an input the
// screen would refuse.

// "aga8": one point, or the 10 x 10 table with --table.
int runAga8(const std::vector<std::string>& args, bool quiet);

// "--comp NAME=PERCENT,...": the texts by composition entry (helium first).
bool parseCompositionList(const std::string& list,
                          std::array<std::optional<std::string>, kAga8CompositionEntryCount>& texts,
                          std::string& error);

// "energy": the energy flow calculator's results page as key=value lines.
int runEnergy(const std::vector<std::string>& args, bool quiet);

}  // namespace tarnlux::cli
