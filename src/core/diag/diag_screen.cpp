#include "diag/diag_screen.h"

namespace tarnlux {

std::string diagnosticScreenTitle(bool connected, const MeterFacts& facts, const char* fallback) {
  if (!connected || facts.locationName.empty()) return fallback;
  std::string title = "Diag pr empl/No pt mesure " + facts.locationName;
  if (facts.multiPath) return title + " -  ID site " + facts.siteIdDisplay;
  const int channel = facts.selectedChannel;
  if (channel < 0 || channel > 3) return title;
  return title + " -  ID site " + facts.channelIdDisplay[static_cast<std::size_t>(channel)];
}

DiagnosticChoices& programDiagnosticChoices() {
  static DiagnosticChoices choices;
  return choices;
}

}  // namespace tarnlux
