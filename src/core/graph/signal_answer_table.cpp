#include "graph/signal_answer_table.h"

#include <cmath>
#include <cstdio>

#include "diag/grading.h"
#include "graph/value_rounding.h"

namespace tarnlux {

namespace {

// "%d" and "%.Nf" as the table prints them.
std::string whole(int value) { return std::to_string(value); }
std::string decimals(double value, int count) { return formatFixed(value, count); }

SignalTableCell label(const char* text) { return {text, false, std::nullopt}; }

SignalTableCell figure(std::string text, std::optional<GradeColour> grade = std::nullopt) {
  return {std::move(text), true, grade};
}

}  // namespace

RealLimitPair nullTrackTimeDifferenceLimits(const TransitTimeLimits& limits, int referenceCount,
                                            bool nanoseconds) {
  return nullTrackDeltaTimeLimits(limits.nullTrackDeltaTime, referenceCount, nanoseconds);
}

SignalFigureTable signalFigureTable(const SignalFigures& f, const TransitTimeLimits& limits,
                                    bool nullTrack) {
  const auto low = [](int value, IntLimitPair pair) {
    return gradeCellColour(value, pair.warning, pair.fail, BadSide::Low);
  };
  const auto lowReal = [](double value, RealLimitPair pair) {
    return gradeCellColour(value, pair.warning, pair.fail, BadSide::Low);
  };
  const auto high = [](int value, IntLimitPair pair) {
    return gradeCellColour(value, pair.warning, pair.fail, BadSide::High);
  };

  SignalFigureTable t;
  t[0] = {label("ALC(up)"), figure(whole(f.gainUp), low(f.gainUp, limits.alc)), label("ALC(dn)"),
          figure(whole(f.gainDown), low(f.gainDown, limits.alc)), label("Tamp CAN%:"),
          // A nearly empty buffer is the problem: the limits rank low as bad.
          figure(whole(f.adcFill), low(f.adcFill, limits.adcBuffer))};
  t[1] = {label("SNR(up)"),
          figure(decimals(f.snrUp, 0), lowReal(f.snrUp, limits.snr)),
          label("SNR(dn)"),
          figure(decimals(f.snrDown, 0), lowReal(f.snrDown, limits.snr)),
          label("Chang. env:"),
          figure(whole(f.envelopeChange) + "%", high(f.envelopeChange, limits.envelopeChange))};

  std::optional<GradeColour> deltaGrade;
  if (nullTrack) {
    // A NullTrack path sees no flow: a time difference of either sign is the fault.
    const RealLimitPair pair =
        nullTrackTimeDifferenceLimits(limits, f.frequencyCode, f.nanoseconds);
    deltaGrade =
        gradeCellColour(std::fabs(f.timeDifference), pair.warning, pair.fail, BadSide::High);
  }
  t[2] = {label("TN(up) misec:"),
          figure(decimals(f.arrivalUp, 2)),
          label("TN(dn) msec:"),
          figure(decimals(f.arrivalDown, 2)),
          label(f.nanoseconds ? "T delta nanosec:" : "T delta misec:"),
          figure(decimals(f.timeDifference, 3), deltaGrade)};
  t[3] = {label(f.metric ? "Vit flux M/S:" : "Vit flux P/S:"),
          nullTrack ? label("-") : figure(decimals(f.flowVelocity, 3)),
          label(f.metric ? "ViS M/S:" : "ViS P/S:"),
          nullTrack ? label("-") : figure(decimals(f.soundSpeed, 3)),
          label("Code freq:"),
          figure(whole(f.frequencyCode))};
  return t;
}

std::string signalGraphTitle(bool nullTrack, bool gasMeter, bool multiPath, int channel) {
  std::string title = "Signal reception ";
  title += nullTrack ? "NullTrack" : gasMeter ? "gaz" : "liquide";
  title += multiPath ? "-Chemin " : "-Canal ";
  title += std::to_string(channel + 1);
  return title;
}

std::string signalScreenTitle(bool connected, const std::string& systemName,
                              const std::string& versionText) {
  if (!connected) return "Graphe signal";
  char buffer[160];
  std::snprintf(buffer, sizeof buffer, "%s %s %s %s", "Graphe signal pour syst op ",
                systemName.c_str(), "Version ", versionText.c_str());
  return buffer;
}

}  // namespace tarnlux
