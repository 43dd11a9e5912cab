#include "graph/trend_settings.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "common/profile_file.h"

namespace tarnlux {

namespace {

struct ListEntry {
  int quantity;
  const char* single;
  const char* average;
};

constexpr ListEntry kTransitTimeEntries[] = {
    {0, "Vit debit chemin", "Vit. flux chemin (a/c vit. moy)"},
    {1, "ViS chemin", "VitS chem (a/c VitS moy)"},
    {2, "ALC chem", "ALC chem"},
    {3, "Debit chemin", "Debit chemin (a/c debit moy)"},
    {4, "Diff % VitS chem", "Diff % VitS chem (a/c diff % moy)"},
    {5, "Debit-volume standard du chemin", "Debit-vol. stand. chemin (av. moy.)"},
};

std::string formatTwoDecimals(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.2f", value);
  return buffer;
}

// A number as the scaling edits take it: at most 15 characters, a whole real.
bool parseScaleNumber(const std::string& text, double& value) {
  if (text.size() > 15) return false;
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  const double parsed = std::strtod(begin, &end);
  if (end == begin || *end != '\0' || errno == ERANGE || !std::isfinite(parsed)) return false;
  value = parsed;
  return true;
}

bool pairAccepted(const TrendScaling& s) { return s.minimum + kScaleMinimumGap <= s.maximum; }

// The pair test a manual range gets after one of its ends changed.
void retestPair(TrendScaling& s, ScaleEditOutcome& out) {
  if (!s.manual || !s.maximumValid || !s.minimumValid) return;
  if (pairAccepted(s)) {
    s.errors = 0;
  } else {
    s.errors |= TrendScaling::kRangeTooNarrow;
    out.message = scaleGapMessage();
  }
}

ScaleEditOutcome applyScaleEnd(TrendScaling& s, const std::string& rawText, bool maximum) {
  const bool before = s.usesManualRange();
  bool& valid = maximum ? s.maximumValid : s.minimumValid;
  double& value = maximum ? s.maximum : s.minimum;
  const unsigned invalidBit = maximum ? TrendScaling::kMaximumInvalid : TrendScaling::kMinimumInvalid;
  ScaleEditOutcome out;
  const std::string text = trimmed(rawText);
  double parsed = 0;
  if (text.empty()) {
    valid = false;
    s.errors &= ~(invalidBit | TrendScaling::kRangeTooNarrow);
  } else if (parseScaleNumber(text, parsed)) {
    value = parsed;
    valid = true;
    s.errors &= ~invalidBit;
    out.shownText = formatTwoDecimals(parsed);
    retestPair(s, out);
  } else {
    valid = false;
    s.errors |= invalidBit;
    out.shownText = rawText;
    if (s.manual) out.message = maximum ? kScaleMaximumInvalidText : kScaleMinimumInvalidText;
  }
  out.scaleChanged = before != s.usesManualRange();
  return out;
}

}  // namespace

TrendDataList trendDataList(bool echoflux, bool gasMeter, bool averageNames) {
  TrendDataList list;
  if (echoflux) {
    list.names = {"Vit debit chemin", "Signal chemin(mV)", "Debit chemin"};
    list.quantities = {0, 2, 3};
    return list;
  }
  const int count = gasMeter ? 6 : 4;
  for (int i = 0; i < count; ++i) {
    list.names.emplace_back(averageNames ? kTransitTimeEntries[i].average
                                         : kTransitTimeEntries[i].single);
    list.quantities.push_back(kTransitTimeEntries[i].quantity);
  }
  return list;
}

int trendListPosition(const TrendDataList& list, int quantity) {
  for (std::size_t i = 0; i < list.quantities.size(); ++i) {
    if (list.quantities[i] == quantity) return static_cast<int>(i);
  }
  return 0;
}

int spanMinutesOf(const std::string& text) {
  const int minutes = std::atoi(text.c_str());
  return minutes > 0 ? minutes : 1;
}

std::string scaleGapMessage() {
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, "%s %.2f", kScaleGapText, kScaleMinimumGap);
  return buffer;
}

bool TrendScaling::usesManualRange() const {
  return manual && maximumValid && minimumValid && pairAccepted(*this);
}

ScaleEditOutcome applyScaleMaximum(TrendScaling& scaling, const std::string& text) {
  return applyScaleEnd(scaling, text, true);
}

ScaleEditOutcome applyScaleMinimum(TrendScaling& scaling, const std::string& text) {
  return applyScaleEnd(scaling, text, false);
}

ScaleEditOutcome chooseManualScale(TrendScaling& scaling, bool manual) {
  const bool before = scaling.usesManualRange();
  ScaleEditOutcome out;
  scaling.manual = manual;
  if (manual) retestPair(scaling, out);
  out.scaleChanged = before != scaling.usesManualRange();
  return out;
}

std::string scaleFieldText(bool valid, double value) {
  if (!valid) return {};
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.1f", value);
  return buffer;
}

ScaleRefusal scaleRefusal(const TrendScaling& s) {
  ScaleRefusal refusal;
  if (!s.manual) return refusal;
  if (s.errors & TrendScaling::kMinimumInvalid) {
    refusal.message = kScaleMinimumInvalidText;
    refusal.focusMinimum = true;
  } else if (s.errors & TrendScaling::kMaximumInvalid) {
    refusal.message = kScaleMaximumInvalidText;
    refusal.focusMaximum = true;
  } else if (s.errors & TrendScaling::kRangeTooNarrow) {
    refusal.message = scaleGapMessage();
    refusal.focusMaximum = true;
  }
  return refusal;
}

TrendScalings& programTrendScalings() {
  static TrendScalings scalings;
  return scalings;
}

std::string trendQuantityProblem(int quantity, const TrendQuantityFacts& f) {
  switch (static_cast<TrendQuantity>(quantity)) {
    case TrendQuantity::Flow:
      if (f.gasMeter && !f.actualVolumeSupported && f.standardFlowOn) return kNoActualVolumeText;
      break;
    case TrendQuantity::SoundSpeedDifference:
      if (!(f.aga8SoundSpeed > 1.0)) return kNoSoundSpeedDifferenceText;
      break;
    case TrendQuantity::StandardVolumeFlow:
      if (!f.standardFlowOn) {
        if (!f.aga8Computed) return kNoStandardFlowText;
        if (!f.aga8InputValid) return kStandardFlowInputText;
      }
      break;
    default:
      break;
  }
  return {};
}

TrendChoices& programTrendChoices() {
  static TrendChoices choices;
  return choices;
}

}  // namespace tarnlux
