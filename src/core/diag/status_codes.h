#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnlux {

struct PathReadings;

// The ten-letter text of a path status word: one character per bit 0 to 9,
// the bit's letter while the bit is clear (the condition is not in order) and
// "_" while it is set, so a healthy path reads "__________". Bits 5 and 9 have
// other letters on gas meters.
std::string statusLetters(std::uint32_t statusWord, bool gasMeter);

// The name of a numeric search state (1 to 21), or an empty text.
std::string_view searchStateName(int code);

inline constexpr int kMeasuringSearchState = 6;

// The meter's own word for "measuring" in each of its languages; the
// comparison is on the whole text and case-sensitive.
bool isMeasuringText(std::string_view stateText);

// Whether a path is measuring: by its search-state text with extended
// diagnostics (the meter then sends text), by its code otherwise.
bool isMeasuring(const PathReadings& path, bool extendedDiagnostics);

// The search state as written and shown: the meter's text with extended
// diagnostics, the code's name otherwise.
std::string searchStateText(const PathReadings& path, bool extendedDiagnostics);

}  // namespace tarnlux
