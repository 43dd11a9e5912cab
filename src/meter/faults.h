#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "boot_loader.h"
#include "signal_burst.h"
#include "sites.h"

namespace tarnlux::meter {

// Misbehaviours switched on with --fault, to prove the service program copes.
struct FaultSet {
  bool xoffHold = false;    // hold the client off: XOFF on a pty, no reading on TCP
  int dropAfter = 0;        // close the connection after this many answers (once); 0 = never
  bool silent = false;      // never send anything
  bool split = false;       // answers in small pieces with short gaps
  bool continuous = false;  // a data line every 20 ms, never quiet
  enum class Garbage { None, Before, Into } garbage = Garbage::None;
  int delayMs = 0;    // wait before each answer
  bool menu = false;  // start in the menu screen
  // Meter state faults, one bit per variable index (channel, path, site slot):
  unsigned notMeasuring = 0;      // status word "abar" without its measuring bit 0x10
  unsigned nullTrackFailing = 0;  // status word "abar" without its NullTrack bit 0x02
  bool shortBlock = false;        // the memory block is listed one character short
  int silentBlockReads = 0;       // this many reads of the memory block go unanswered
  bool dropBlockRead = false;     // the first read of the memory block closes the line
  SignalFaults signal;            // signal answers without data, or malformed
  // After this many diagnostic queries ("qg" kinds 0 and 2 with sub-code 8)
  // the meter switches its velocity units (metric <-> English); 0 = never.
  int unitsChangeAfter = 0;
  // Numeric arrays (the AGA8 table's temp_grid, dens_grid...) whose whole
  // listing omits its last value, or shows its first value off in the sixth
  // significant digit.
  std::vector<std::string> tableShort;
  std::vector<std::string> tableOff;
  // The storage answer to a command block write carries a wrong check value.
  bool storageBadCheck = false;
  // Stored events are listed with their last field left out.
  bool eventBadRecord = false;
  SiteFaults sites;               // site transfer faults (sites.h)
  // The boot loader's variant and faults.
  BootFaults boot;
};

// Adds the comma-separated fault names of `list` to `faults`. False with a
// message on an unknown name or a bad argument.
bool parseFaults(std::string_view list, FaultSet& faults, std::string& error);

}  // namespace tarnlux::meter
