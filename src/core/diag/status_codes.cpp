#include "diag/status_codes.h"

#include <array>

#include "diag/measurement_store.h"

namespace tarnlux {

namespace {

constexpr std::array<std::string_view, 21> kSearchStateNames = {
    "PALC",   "ELSRCH",  "TNSRCH",   "BALC",    "CORREL",  "MEASURE",  "DAMPLO",
    "DAMPHI", "DAMPSET", "BUFRANGE", "ENV_ERR", "TN_ERR",  "TN_EARLY", "TN_LATE",
    "ENVSIG", "NOCOR",   "ZDT_ERR",  "CORSET",  "WINDSET", "EMPTYMON", "CORQ"};

constexpr std::array<std::string_view, 5> kMeasuringWords = {"Measurement", "Mesure", "Misura",
                                                             "Messung", "Medida"};

}  // namespace

std::string statusLetters(std::uint32_t statusWord, bool gasMeter) {
  const char* letters = gasMeter ? "SZERFTMKIW" : "SZERFAMKIP";
  std::string text(10, '_');
  for (int bit = 0; bit < 10; ++bit) {
    if ((statusWord & (1u << bit)) == 0) text[static_cast<std::size_t>(bit)] = letters[bit];
  }
  return text;
}

std::string_view searchStateName(int code) {
  if (code < 1 || code > static_cast<int>(kSearchStateNames.size())) return {};
  return kSearchStateNames[static_cast<std::size_t>(code - 1)];
}

bool isMeasuringText(std::string_view stateText) {
  for (std::string_view word : kMeasuringWords) {
    if (stateText == word) return true;
  }
  return false;
}

bool isMeasuring(const PathReadings& path, bool extendedDiagnostics) {
  return extendedDiagnostics ? isMeasuringText(path.searchStateText)
                             : path.searchStateCode == kMeasuringSearchState;
}

std::string searchStateText(const PathReadings& path, bool extendedDiagnostics) {
  return extendedDiagnostics ? path.searchStateText
                             : std::string(searchStateName(path.searchStateCode));
}

}  // namespace tarnlux
