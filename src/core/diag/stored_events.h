#pragma once

// Stored alarm and warning events: the request that asks the meter for them
// and the decoder of one stored-event record.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/op_context.h"
#include "link/meter_block_io.h"
#include "link/meter_facts.h"
#include "link/transport.h"

namespace tarnlux {

// Record faults.
inline constexpr int kEventBadSite = 22001;
inline constexpr int kEventBadFlags = 22002;
inline constexpr int kEventBadDate = 22003;
inline constexpr int kEventBadTime = 22004;
inline constexpr int kEventFirstFieldFault = 22005;  // + the group's offset (see decodeStoredEvent)
inline constexpr int kEventTemperatureFault = 22061;
inline constexpr int kEventSearchStateFault = 22062;  // 22062 to 22065 by path
inline constexpr int kEventNotEnded = 22066;
inline constexpr int kEventBadRealCharacter = 22067;
inline constexpr int kEventBadIntegerCharacter = 22068;
inline constexpr int kEventBadDateCharacter = 22070;

// Which sites' events are asked for.
enum class EventSiteChoice { ThisSite = 0, AllSites = 1, NamedSite = 2 };

inline constexpr unsigned kEventRequestCode = 0x10;
inline constexpr unsigned kEventRequestClearBit = 0x08;
inline constexpr std::size_t kEventSiteNameMaxLength = 16;

// The site name as the meter compares it: blanks around it removed, upper
// case. 0 good (or empty), 1 too long, 2 a character other than letters,
// digits, blank, double quote and "#".
int checkEventSiteName(std::string_view typed, std::string& validated);

// The request's command fields for the command block: the code in lower-case
// hexadecimal (0x10, 0x18 with `clear`) and the site argument ("" this site,
// "*" all sites, the validated name).
std::array<std::string, 2> eventRequestFields(EventSiteChoice choice, std::string_view name,
                                              bool clear);

// Warning and fail bits of a transit-time event, as the panel colours them.
namespace event_bits {
inline constexpr unsigned kAlcUp = 0x1, kAlcDown = 0x2, kSnrUp = 0x4, kSnrDown = 0x8,
                          kCorrelation = 0x10, kAdc = 0x20, kAccepted = 0x40, kEnvelope = 0x80,
                          kNullTrackAlc = 0x100, kNullTrackDeltaTime = 0x200,
                          kFlowVelocity = 0x800, kSoundSpeed = 0x1000;
}

struct StoredEventPath {
  bool present = false;
  std::uint32_t statusWord = 0;  // the complement of the value sent, 10 bits
  bool measuring() const { return (statusWord & 0x10u) != 0; }
  std::int32_t alcUp = 0, alcDown = 0;
  double snrUp = 0, snrDown = 0;
  std::optional<double> correlation;  // an empty field shows "-"
  std::int32_t adcBuffer = 0, accepted = 0, envelopeChange = 0;
  double flowVelocity = 0, soundSpeed = 0;
  bool nullTrack = false;
  std::int32_t nullTrackAlc = 0;
  double nullTrackDeltaTime = 0;
  std::uint32_t failBits = 0, warningBits = 0;
  std::string searchState;
};

struct StoredEchofluxFigures {
  int path = 0;  // 0..3
  std::int32_t signalStrength = 0, dopplerFrequency = 0;
  bool highFlowRange = false;
  double deviation = 0, fluidType = 0;
  std::int32_t noiseLevel = 0, fftPeak = 0;
  double flowVelocity = 0;
};

struct StoredEvent {
  std::string siteId;
  std::uint32_t flags = 0;  // bits 0-3 paths, 8-11 NullTrack, 0x10 gas, 0x20 metric, 0x40 Echoflux, 0x80 temperature
  std::string date;
  std::string time;
  bool gasMeter() const { return (flags & 0x10u) != 0; }
  bool metric() const { return (flags & 0x20u) != 0; }
  bool echoflux() const { return (flags & 0x40u) != 0; }
  std::optional<double> temperature;
  std::array<StoredEventPath, 4> paths{};  // transit-time form
  StoredEchofluxFigures echofluxFigures;   // Echoflux form (its status and bits in paths[path])
};

inline constexpr const char* kNoStoredEventsText =
    "Aucun message evenement memorise pour ce(s) site(s)";
inline constexpr const char* kEventsNotSupportedText =
    "Le compteur ne supporte pas les evenements memorises";
inline constexpr int kEventListingTimeoutMs = 50000;
inline constexpr std::size_t kEventLinePrefixLength = 4;

// Asks the meter for its stored events: checks the link (one reconnection
// over TCP), reads the command block when `readBlockFirst`, sends the request
// and collects the listing up to ETX. `records` gets the records in the
// meter's order, each without its four-character prefix. 0 or the code
// (reported unless quiet).
int retrieveStoredEvents(MeterLink& link, const MeterFacts& facts, MeterBlockStore& block,
                         EventSiteChoice choice, std::string_view validatedName, bool clear,
                         bool readBlockFirst, std::vector<std::string>& records,
                         OperationContext& ctx);

// A figure's grade from an event's bits: 2 fail, 1 warning, 0 ok.
inline int eventGrade(std::uint32_t failBits, std::uint32_t warningBits, std::uint32_t mask) {
  return (failBits & mask) != 0 ? 2 : (warningBits & mask) != 0 ? 1 : 0;
}

// Decodes one record (the text after the listed line's four-character
// prefix, up to the line's end or ETX). 0 or a fault 22001 to 22070; `out`
// changes only on success.
int decodeStoredEvent(std::string_view record, StoredEvent& out);

}  // namespace tarnlux
