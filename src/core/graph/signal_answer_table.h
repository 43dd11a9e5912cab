#pragma once

// The texts the signal graph shows for an answer: the figure table above the
// trace (labels, values and the grade of the graded cells) and the plot title.

#include <array>
#include <optional>
#include <string>

#include "diag/pass_fail_limits.h"
#include "graph/grade_colour.h"
#include "graph/signal_answer.h"

namespace tarnlux {

struct SignalTableCell {
  std::string text;
  bool number = false;               // fitted as a number (decimals dropped first)
  std::optional<GradeColour> grade;  // filled cells only
};

inline constexpr int kSignalTableRows = 4;
inline constexpr int kSignalTableColumns = 6;
using SignalFigureTable =
    std::array<std::array<SignalTableCell, kSignalTableColumns>, kSignalTableRows>;

// Column widths in character widths; the last column is cut at the area's edge.
inline constexpr std::array<int, kSignalTableColumns> kSignalTableColumnChars = {15, 17, 13,
                                                                                 17, 17, 17};

// The four rows of labels and figures. The gains, signal-to-noise ratios, ADC
// buffer fill and envelope change are graded against `limits`; on the
// NullTrack signal the time difference is graded instead of showing flow
// velocity and sound speed ("-").
SignalFigureTable signalFigureTable(const SignalFigures& figures, const TransitTimeLimits& limits,
                                    bool nullTrack);

// The NullTrack time-difference limits in the unit the figures give it in:
// the stored coefficient x the path's reference count / 32,000,000 seconds.
// The reference count is the frequency code the answer carries.
RealLimitPair nullTrackTimeDifferenceLimits(const TransitTimeLimits& limits, int referenceCount,
                                            bool nanoseconds);

// The title over the plot, one of 24: "Signal reception liquide-Canal 1",
// "Signal reception gaz-Chemin 3", "Signal reception NullTrack-Canal 2"...
std::string signalGraphTitle(bool nullTrack, bool gasMeter, bool multiPath, int channel);

// The screen's caption: with a meter "Graphe signal pour syst op  <name> Version  <version>".
std::string signalScreenTitle(bool connected, const std::string& systemName,
                              const std::string& versionText);

}  // namespace tarnlux
