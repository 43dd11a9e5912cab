#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarnlux {

// The connected meter's 20-bit capability word, as the first query answer
// reports it:
//   bits 0-1   multi-path site slot minus one
//   bit  2     the meter can report whether its paths form one measurement
//   bit  3     extended channel state available
//   bits 4-7   channel n measures in transit time (bit 4 + n)
//   bits 8-11  channel n has NullTrack enabled (bit 8 + n)
//   bits 12-15 channel n runs in the Echoflux mode (bit 12 + n)
//   bits 16-19 meter kind (4: multi-path meter)
namespace meter_flags {

inline constexpr std::uint32_t kMultiPathQuery = 0x4;
inline constexpr std::uint32_t kExtendedChannelState = 0x8;
inline constexpr unsigned kMultiPathMeterKind = 4;

// The channel index of the multi-path site (1..4): the slot bits plus one.
inline int siteSlot(std::uint32_t flags) { return static_cast<int>(flags & 0x3u) + 1; }
inline unsigned transitTimeChannels(std::uint32_t flags) { return (flags >> 4) & 0xFu; }
inline unsigned nullTrackChannels(std::uint32_t flags) { return (flags >> 8) & 0xFu; }
inline unsigned echofluxChannels(std::uint32_t flags) { return (flags >> 12) & 0xFu; }
inline unsigned meterKind(std::uint32_t flags) { return (flags >> 16) & 0xFu; }
// One bit per channel that measures at all, in either mode.
inline unsigned channelWord(std::uint32_t flags) {
  return transitTimeChannels(flags) | echofluxChannels(flags);
}

inline bool isTransitTimeChannel(std::uint32_t flags, int channel) {
  return channel >= 0 && channel < 4 && (transitTimeChannels(flags) >> channel & 1u) != 0;
}
inline bool isEchofluxChannel(std::uint32_t flags, int channel) {
  return channel >= 0 && channel < 4 && (echofluxChannels(flags) >> channel & 1u) != 0;
}
inline bool isNullTrackChannel(std::uint32_t flags, int channel) {
  return channel >= 0 && channel < 4 && (nullTrackChannels(flags) >> channel & 1u) != 0;
}
// NullTrack readings exist only when the meter also reports extended channel state.
inline bool nullTrackAvailable(std::uint32_t flags, int channel) {
  return isNullTrackChannel(flags, channel) && (flags & kExtendedChannelState) != 0;
}

// The channel to select without asking: the only bit set in the transit-time
// and Echoflux nibbles together, or -1 when none or several are set.
int onlyChannel(std::uint32_t flags);

}  // namespace meter_flags

// Everything the connect step learns about the meter and the program's screens
// test afterwards. Reset at every connect.
struct MeterFacts {
  // The owner of the capability word: the connect step writes it here and
  // copies it to MeterLink::meterFlags, which the exchange layer reads.
  std::uint32_t meterFlags = 0;
  // The first answer carried the meter-kind digit (newer meters).
  bool meterKindReported = false;
  // The meter keeps the program's memory block and ends its query answers with ETX.
  bool memoryBlock = false;
  // One of the versions known to predate the memory block.
  bool oldVersion = false;
  // "\r", or ETX on memory-block meters.
  char queryTerminator = '\r';
  // The channels are paths of one measurement ("chemin" in messages).
  bool multiPath = false;
  bool alarmStorage = false;
  bool gasMeter = false;
  bool extendedDiagnostics = false;
  // The selected channel runs in the Echoflux mode and the version allows it.
  bool echofluxMode = false;
  bool metricUnits = false;
  // Version checks run once per connect.
  bool versionChecked = false;
  int selectedChannel = -1;
  // Bit n: channel n failed to measure; bit 4 + n: its NullTrack reports a failure.
  std::uint32_t channelFailures = 0;
  std::string versionText;  // such as "3.02.00M"
  std::string typeText;     // the meter's type ("7326G" marks a gas meter)
  std::array<std::string, 4> channelIdRaw;      // 8 characters as read
  std::array<std::string, 4> channelIdDisplay;  // spaces shown as "_"
  std::string siteIdRaw;
  std::string siteIdDisplay;
  std::string locationName;  // at most 15 characters

  // The state at the start of a connect: no Echoflux mode, no memory block,
  // "\r" as terminator, nothing known about the previous meter.
  void resetForConnect();

  // The channel index the memory block and site queries address: the site
  // slot on a multi-path meter, else the selected channel (-1 when none).
  int blockChannel() const;

  void markChannelFailed(int channel);
  void markNullTrackFailed(int channel);
  bool channelFailed(int channel) const;
  bool nullTrackFailed(int channel) const;
};

inline constexpr char kEtx = '\x03';

// Sets the memory-block flag, the ETX terminator and the multi-path mode from
// the capability word of the first answer.
void applyCapabilityWord(MeterFacts& facts, std::uint32_t meterFlags, bool meterKindReported);

// Versions that predate the memory block.
bool isOldMeterVersion(std::string_view version);
// Alarm storage and the block's head and tail exist from version x.04.00 on.
bool versionSupportsAlarmStorage(std::string_view version);
// Byte-by-byte comparison of the first 9 bytes, the shorter text padded with
// NUL bytes: <0, 0 or >0.
int compareVersionText(std::string_view a, std::string_view b);
// The version allows the Echoflux mode: at or above "3.02.00M", or a "1"
// version at or above "1.02.00M".
bool versionAllowsEchoflux(std::string_view version);

// The once-per-connect version checks on the type and version texts: gas-meter
// flag, old-version rule (which also clears the memory block, the ETX
// terminator and the extended diagnostics), alarm-storage flag.
void applyVersionChecks(MeterFacts& facts);

// Whether the connection runs in the Echoflux mode on `channel`: a memory-block
// meter, not multi-path, the channel's Echoflux bit set and a version that allows it.
bool echofluxModeFor(const MeterFacts& facts, int channel);

// The identifier as shown: spaces become "_" except on multi-path meters. The
// meter's fill ("~") after a short identifier is not part of it.
std::string displayIdentifier(std::string_view raw, bool multiPath);

// The identifier as the meter prints it at the head of its identification
// answer: without its fill and trailing blanks, blanks shown as "_".
std::string printedIdentifier(std::string_view raw);

// "Echec canal 1" ... "Echec canal 4", or "Echec chemin n" on multi-path meters.
std::string channelFailureMessage(int channel, bool multiPath);
// "Echec canal 1 NullTrack " ... (with the trailing blank).
std::string nullTrackFailureMessage(int channel, bool multiPath);

}  // namespace tarnlux
