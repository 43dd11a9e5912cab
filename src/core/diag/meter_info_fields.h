#pragma once

// The fields of the meter information screen (location/tag, spool and
// flowmeter part and serial numbers, date of manufacture), kept in the
// meter's memory block: their labels, lengths, and the rules and messages of
// a field that is left. The command line's block write and meter-info verbs
// apply the same rules.

#include <string>
#include <string_view>
#include <vector>

#include "link/meter_block.h"

namespace tarnlux {

struct MeterInfoFieldRule {
  const char* key;  // the name scripts use: "location", "spool_part_number", ...
  const char* label;
  std::size_t maxLength;
  const char* tooLongMessage;
  const char* badCharacterMessage;
  std::string MeterInfoTexts::*text;
};

// In the screen's order, which is also the order Save reports them in.
const std::vector<MeterInfoFieldRule>& meterInfoFieldRules();
const MeterInfoFieldRule* findMeterInfoField(std::string_view key);

inline constexpr const char* kMeterInfoLocationCharacters =
    "Car non valide, utiliser lettres, chiffres et car soulignement pour empl/N\xB0 pt mesure ";
inline constexpr const char* kMeterInfoLocationRequired = "Empl. compteur doit contenir 1 car. minimum";
inline constexpr const char* kMeterInfoDateMessage = "Date non valide pour date du fabricant";

struct MeterInfoFieldCheck {
  bool ok = false;
  std::string text;               // leading blanks removed; the location in upper case
  const char* message = nullptr;  // when refused
};
// Leading blanks are removed; too long a text is refused first, then
// characters: the location takes letters, digits and "_" only; the other
// texts anything printable but the block's separators ",", "|" and "~". A
// date of manufacture, when given, is 2 or 3 groups of digits separated by
// "-", "/" or "." (12-03-2019, 2019/03, ...). An empty field is accepted here;
// Save requires a location (kMeterInfoLocationRequired).
MeterInfoFieldCheck checkMeterInfoField(const MeterInfoFieldRule& rule, std::string_view text);

}  // namespace tarnlux
