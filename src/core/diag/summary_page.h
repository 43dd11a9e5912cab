#pragma once

// The system summary's page "Donnees diagnostic primaire": the figures of the
// flow, diagnostic and status groups as texts, and the colour of the status
// lamp. Built here so the rules are tested without a window.

#include <array>
#include <cstdint>
#include <string>

#include "diag/measurement_store.h"
#include "diag/pass_fail_limits.h"
#include "graph/grade_colour.h"
#include "link/meter_facts.h"

namespace tarnlux {

inline constexpr const char* kSummaryTitle = "Sommaire systeme";
inline constexpr const char* kSummaryPageHeading = "Donnees diagnostic primaire";
inline constexpr const char* kSummaryPrintTitle = "Ecran sommaire systeme";

struct SummaryInput {
  unsigned activeMask = 0;
  // The multipath channel's status word ("abar"), read on multipath sites.
  std::uint32_t siteStatusWord = 0;
  // A gas meter whose operating system cannot show actual volume while
  // standard flow is on: the flow is not shown.
  bool flowHidden = false;
};

struct SummaryPage {
  std::string flow, flowUnit;
  std::string total, totalUnit;
  std::string gainLabel;  // "ALC", or "Signal(mV)" on Echoflux channels
  std::string gain;
  bool soundSpeedShown = false;  // transit time only
  std::string soundSpeedLabel, soundSpeed, soundSpeedUnit;
  std::string aeration;
  std::string statusCode;
  GradeColour lamp = GradeColour::Green;
};

SummaryPage buildSummaryPage(const MeasurementStore& store, const MeterFacts& facts,
                             const PassFailLimits& limits, const SummaryInput& input);

}  // namespace tarnlux
