#pragma once

#include "calc/aga8_screen_rules.h"
#include "calc/results_format.h"

namespace tarnlux {

inline constexpr const char* kAga8PrintDocumentName = "Ecran AGA8";
inline constexpr const char* kAga8CstarUnsolved = "Resol impos!";

// Single point: ten rows (a header row, then nine) in two halves of "Champ",
// "Valeur", "Unites".
ResultsPage aga8SinglePointPage(const GasRecord& gas, const Aga8Units& units);

// Table: the density table above the compressibility table, each with a title
// row, a header row of the ten pressures and ten rows of temperatures.
ResultsPage aga8TablePage(const Aga8Results& results, const Aga8Units& units);

// The page of the results' mode.
ResultsPage aga8ResultsPage(const Aga8Results& results, const Aga8Units& units);

}  // namespace tarnlux
