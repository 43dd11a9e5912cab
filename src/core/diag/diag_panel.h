#pragma once

// The diagnostic data panel: the latest readings of every active path as a
// table of graded cells with a per-row summary, the deviation bars of a
// multipath site, and the Echoflux table. Built here as texts and grades so
// the rules are tested without fonts; the graph draws the result.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "diag/measurement_store.h"
#include "diag/pass_fail_limits.h"
#include "graph/grade_colour.h"

namespace tarnlux {

inline constexpr const char* kPanelSummaryHeading = "OK/Echec";
inline constexpr const char* kPanelUnitsHeading = "Unites";

struct PanelCell {
  std::string text;
  std::optional<GradeColour> grade;  // filled cells only
};

// One row: the label (column 0), a cell per path (columns 1 to 4, or the
// channel alone on the Echoflux table), the row summary and the unit.
struct PanelRow {
  std::string label;
  std::array<PanelCell, 4> cells;
  std::optional<GradeColour> summary;  // graded rows with at least one active path
  std::string summaryText;             // "OK", "Attention", "Echec" or a heading
  std::string unit;
  bool section = false;  // a section title: the label stands alone, bold
};

struct PanelFacts {
  unsigned activeMask = 0;
  std::uint32_t meterFlags = 0;  // NullTrack enabled: bit 8 + path
  bool multiPath = false;
  bool gasMeter = false;
  bool extendedDiagnostics = false;
  bool standardFlowOn = false;  // the meter computes standard volume flow
  int channel = 0;              // the Echoflux channel (0..3)
};

// Rows 0 to 19 of the transit-time table.
std::vector<PanelRow> transitTimePanelRows(const MeasurementStore& store, const PanelFacts& facts,
                                           const PassFailLimits& limits);
// Rows 0 to 15 of the Echoflux table (column 1 the channel).
std::vector<PanelRow> echofluxPanelRows(const MeasurementStore& store, const PanelFacts& facts,
                                        const PassFailLimits& limits);

// How far each path's flow velocity and sound speed lie from the site
// average, in per cent of |average| (never less than 0.1 ft/s).
struct PathDeviations {
  bool shown = false;  // multipath site with more than one active path
  std::array<double, 4> flow{};   // signed, per path
  std::array<double, 4> sound{};  // signed, per path
  double largestFlow = 0;
  double largestSound = 0;
};
PathDeviations pathDeviations(const MeasurementStore& store, const PanelFacts& facts);

inline constexpr double kDeviationAxisFloor = 0.2;
inline constexpr double kDeviationAxisCeiling = 9999999999999.9;

// The end of a deviation bar axis: the deviation rounded to one decimal,
// doubled, at least 0.2 (and capped where the labels would overflow).
double deviationAxisEnd(double deviation);

// One bar display's axis, kept from paint to paint: it changes only when the
// deviation reaches the end or falls below a quarter of it.
struct DeviationAxis {
  double end = 0;  // 0: not chosen yet
  std::array<std::string, 5> labels;  // end, end/2, "0.0%", -end/2, -end

  // True when the end changed.
  bool update(double deviation);
};

}  // namespace tarnlux
