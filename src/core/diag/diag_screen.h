#pragma once

// The diagnostic screen's choices and texts that do not need a window.

#include <array>
#include <string>

#include "link/meter_facts.h"

namespace tarnlux {

struct CaptureLengthChoice {
  const char* text;
  int seconds;  // 0: unlimited
};

inline constexpr std::array<CaptureLengthChoice, 8> kCaptureLengths = {{{"30 sec", 30},
                                                                        {"1 minute", 60},
                                                                        {"5 Minutes", 300},
                                                                        {"10 min", 600},
                                                                        {"15 Minutes", 900},
                                                                        {"30 Minutes", 1800},
                                                                        {"1 heure", 3600},
                                                                        {"Illimite", 0}}};

inline constexpr const char* kCaptureStartText = "Debut";
inline constexpr const char* kCaptureEndText = "Fin";

// "Diag pr empl/No pt mesure LOCATION -  ID site ID" while connected to a
// named site (without the identifier when no channel is chosen), else
// "Diagnostic" (`fallback`, "Graphe tendance" on the trend graph).
std::string diagnosticScreenTitle(bool connected, const MeterFacts& facts,
                                  const char* fallback = "Diagnostic");

// The choices the diagnostic screen remembers while the program runs.
struct DiagnosticChoices {
  int captureLengthEntry = 0;
};
DiagnosticChoices& programDiagnosticChoices();

}  // namespace tarnlux
