#include <cstdio>
#include <string>
#include <vector>

#include "meter.h"
#include "options.h"
#include "profile.h"

// tarnlux-meter: the simulated meter. Options and behaviour: --help.
int main(int argc, char** argv) {
  using namespace tarnlux::meter;
  const std::vector<std::string> args(argv + 1, argv + argc);
  Options options;
  std::string error;
  if (!parseOptions(args, options, error)) {
    std::fprintf(stderr, "tarnlux-meter: %s\nTry 'tarnlux-meter --help'.\n", error.c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(helpText().c_str(), stdout);
    return 0;
  }
  Profile profile;
  if (!loadProfile(options.profile.empty() ? kDefaultProfile : options.profile, profile, error)) {
    std::fprintf(stderr, "tarnlux-meter: %s\n", error.c_str());
    return 2;
  }
  if (options.identifier && !setProfileIdentifier(profile, *options.identifier, error)) {
    std::fprintf(stderr, "tarnlux-meter: %s\nTry 'tarnlux-meter --help'.\n", error.c_str());
    return 2;
  }
  Meter meter(profile, options.run.seed);
  meter.applyStateFaults(options.run.faults);
  return runMeter(meter, options.run, stdout);
}
