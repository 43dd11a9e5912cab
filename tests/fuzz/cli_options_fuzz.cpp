// The command line of tarnlux-cli: the arguments are the input split at NUL
// bytes. A refused line always says why.
#include <string>
#include <vector>

#include "cli_options.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarnlux;
  fuzz::Input in(data, size);
  const std::string_view text = in.text();
  std::vector<std::string> args;
  std::size_t start = 0;
  while (start <= text.size() && args.size() < 64) {
    const std::size_t end = text.find('\0', start);
    args.emplace_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos
                                                                       : end - start));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  cli::Options options;
  std::string error;
  if (!cli::parseOptions(args, options, error) && error.empty()) __builtin_trap();
  if (!args.empty()) {
    LinkSettings link;
    error.clear();
    if (!cli::parseLinkOption(args[0], link, error) && error.empty()) __builtin_trap();
  }
  return 0;
}
