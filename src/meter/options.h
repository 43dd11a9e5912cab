#pragma once

#include <optional>
#include <string>
#include <vector>

#include "io_loop.h"

namespace tarnlux::meter {

struct Options {
  RunConfig run;
  std::string profile;  // name or path; empty: the default profile
  std::optional<std::string> identifier;  // --id: replaces the profile's identifiers
  bool help = false;
};

// Parses the command line (without the program name). False with a message
// in `error` on a bad option; the caller exits with status 2.
bool parseOptions(const std::vector<std::string>& args, Options& out, std::string& error);

// The --help text.
std::string helpText();

}  // namespace tarnlux::meter
