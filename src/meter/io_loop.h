#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "faults.h"
#include "line_settings.h"

namespace tarnlux::meter {

class Meter;

struct RunConfig {
  int tcpPort = -1;     // -1: no TCP port; 0: any free port
  std::string ptyPath;  // empty: no pseudo-terminal
  std::optional<LineSettings> line;
  FaultSet faults;
  // The pseudo-terminal carries bytes at the line's speed (--line-rate).
  bool lineRate = false;
  std::uint32_t seed = 1;
};

// Opens the ports, prints "tcp PORT", "pty PATH" and "ready" (one a line,
// flushed) on `announce`, then serves until SIGTERM or SIGINT. Returns the
// exit status: 0 after a signal, 1 when a port cannot be set up or fails.
int runMeter(Meter& meter, const RunConfig& config, std::FILE* announce);

}  // namespace tarnlux::meter
