#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "variables.h"

namespace tarnlux::meter {

// The meter's alarm storage of one channel (or site slot): whether it stores
// events, the memory set aside for them and how much the events use.
struct StorageState {
  bool enabled = false;
  std::uint32_t allocatedBytes = 0;
  std::uint32_t usedBytes = 0;
  std::uint32_t limitsError = 0;  // 0: the limits in the memory block are usable
  bool siteEnabled = true;
  // The events recorded, oldest first.
  std::vector<std::string> events;
};

// The warning and fail limits of the service program's memory block that the
// meter grades its own readings with (transit-time layout, after the head).
struct BlockLimits {
  double alcWarning = 0, alcFail = 0, snrWarning = 0, snrFail = 0;
  double correlationWarning = 0, correlationFail = 0, adcWarning = 0, adcFail = 0;
  double acceptedWarning = 0, acceptedFail = 0, envelopeWarning = 0, envelopeFail = 0;
  double nullTrackAlcWarning = 0, nullTrackAlcFail = 0;
};
// From the block text "G,alcW,alcF,snrW,snrF,..." (head first, as meters
// with alarm storage hold it). False when the block holds no limits.
bool parseBlockLimits(std::string_view block, BlockLimits& out);

// One path's readings from the extended diagnostic answer's field line,
// graded against `limits`: the stored-event record when a reading crossed a
// limit, else an empty text. `site` names the site, `path` is 0..3. A path
// with `nullTrack` also carries its NullTrack gain and time difference.
std::string transitEventRecord(std::string_view fieldLine, int path, const BlockLimits& limits,
                               const std::string& site, bool gas, bool metric,
                               bool nullTrack = false);

// The Echoflux limits of the block (its Echoflux layout, after the head), in
// the block's order: warning then fail of each.
struct EchofluxBlockLimits {
  double signal[2]{}, lowDoppler[2]{}, lowRangeHigh[2]{}, highRangeHigh[2]{};
  double liquidLow[2]{}, liquidHigh[2]{}, slurryLow[2]{}, slurryHigh[2]{};
  double noiseLow[2]{}, noiseHigh[2]{}, fftPeak[2]{}, velocity[2]{};
};
bool parseEchofluxBlockLimits(std::string_view block, EchofluxBlockLimits& out);

// What an Echoflux channel measured at one diagnostic query.
struct EchofluxReading {
  std::uint32_t statusWord = 0;
  int signal = 0, doppler = 0, noise = 0, fftPeak = 0;
  bool highRange = false;
  double deviation = 0, fluidType = 1.0;
  double velocity = 0;  // in the meter's velocity unit
  double temperature = 0;
};
// The Echoflux-form record of a channel whose reading crossed a limit, else
// an empty text. Velocity limits are in feet per second.
std::string echofluxEventRecord(const EchofluxReading& reading, int path,
                                const EchofluxBlockLimits& limits, const std::string& site,
                                const std::string& date, const std::string& time, bool metric);

// The listing of a stored-events request: one line per event, "NNN " and the
// record, each ended by "\r\n". `malformed` leaves each record's last field out.
std::string eventListing(const std::vector<std::string>& records, bool malformed);

// The largest allocation the command value can ask for.
inline constexpr std::uint32_t kStorageMaxKilobytes = 4095;

// Command bits of the storage command (the value also carries 0x20).
inline constexpr unsigned kStorageCommand = 0x20;
inline constexpr unsigned kStorageEnable = 0x01;
inline constexpr unsigned kStorageDisable = 0x02;
inline constexpr unsigned kStorageFree = 0x04;
inline constexpr unsigned kStorageClear = 0x08;
// The stored-events request (0x18: and clear what was listed).
inline constexpr unsigned kEventRequest = 0x10;

// The 8-bit check value of the command and storage texts: the first
// character's code, then for each following one shift left by one (8 bits
// kept) and exclusive-or its code.
std::uint8_t textCheckValue(std::string_view text);

// A command written into the command block, "S,CODE,ARG,CK,S" (the EOT that
// ends it is not stored): the sequence character, the code (lower-case or
// upper-case hexadecimal), the argument and whether the check value matches.
struct BlockCommand {
  char sequence = 0;
  unsigned code = 0;
  std::string argument;
  bool checkGood = false;
};
// False when the text is not framed as a command at all.
bool parseBlockCommand(std::string_view text, BlockCommand& out);

// Applies a storage command value: enable, disable, free, clear, and an
// allocation in bits 8 to 19 (kilobytes) when nothing is allocated.
void applyStorageCommand(StorageState& state, unsigned value);

// "|allocated,used,full,status,match,error,site,CK|": status bit 0 storage
// enabled, bit 1 limits set up; CK over everything between the first bar and
// the comma before it. `badCheck` sends a check value that is off by one.
std::string storageAnswer(const StorageState& state, bool limitsSetUp, bool badCheck);

}  // namespace tarnlux::meter
