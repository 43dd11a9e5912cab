#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace tarnlux::test {

// What one run of tarnlux-cli printed and how it ended.
struct CliRun {
  int status = -1;        // exit status; -1 when it was killed or ended by a signal
  bool timedOut = false;  // killed at the wall-time limit
  std::string out;
  std::string err;
};

struct CliOptions {
  // Set in the child's environment on top of the test's own (XDG_CONFIG_HOME, ...).
  std::vector<std::pair<std::string, std::string>> environment;
  // Wall time after which the child is killed (SIGKILL) and the run ends.
  int limitMs = 60000;
  // Ctrl-C (SIGINT, once): after this many milliseconds when >= 0, or as soon
  // as `interruptOn` has appeared on its standard output when that is not empty.
  int interruptAfterMs = -1;
  std::string interruptOn;
  // The signal the interrupt sends (SIGINT unless set: SIGTERM, SIGHUP, ...).
  int interruptSignal = 0;
};

// Runs tarnlux-cli with `args` and collects its standard output and error
// (both read as they come, so neither pipe can fill and stall the child). Its
// standard input and working folder are the test's.
CliRun runCli(const std::vector<std::string>& args, const CliOptions& options = {});

// The KEY=VALUE lines of an output, the last one of a key winning.
std::map<std::string, std::string> keyValueLines(const std::string& out);

}  // namespace tarnlux::test
