#pragma once

#include <cstdint>

namespace tarnlux {

// What the last channel status word ("abar") said about each channel, kept for
// the grading and the query loop. One bit per channel (bit n = channel n).
struct ChannelStateWords {
  // Set while the channel is not measuring (status bit 0x10 clear).
  std::uint8_t failedMask = 0;
  // Set while the channel's status bit 0x40 is clear.
  std::uint8_t secondStateMask = 0;
  // Set while a NullTrack channel reports a failure (status bit 0x02 clear);
  // only tracked when the meter reports extended channel state.
  std::uint8_t nullTrackFailedMask = 0;
  // The last status word recorded for each channel (the path status word of
  // meters that do not send one in their diagnostic answer).
  std::uint32_t lastWord[4] = {};

  // Records one status word of `channel` (0..3; others are ignored).
  void record(int channel, std::uint32_t statusWord, std::uint32_t meterFlags) {
    if (channel < 0 || channel > 3) return;
    const auto bit = static_cast<std::uint8_t>(1u << channel);
    lastWord[channel] = statusWord;
    assign(failedMask, bit, (statusWord & 0x10u) == 0);
    assign(secondStateMask, bit, (statusWord & 0x40u) == 0);
    const bool nullTrackEnabled = (meterFlags & (1u << (8 + channel))) != 0 && (meterFlags & 0x8u) != 0;
    if (nullTrackEnabled) assign(nullTrackFailedMask, bit, (statusWord & 0x02u) == 0);
  }

  // The channel failure word of the meter facts: bit n channel n failed to
  // measure, bit 4 + n its NullTrack reports a failure.
  std::uint32_t failureWord() const {
    return static_cast<std::uint32_t>(failedMask) | (static_cast<std::uint32_t>(nullTrackFailedMask) << 4);
  }

 private:
  static void assign(std::uint8_t& mask, std::uint8_t bit, bool set) {
    mask = static_cast<std::uint8_t>(set ? (mask | bit) : (mask & ~bit));
  }
};

}  // namespace tarnlux
