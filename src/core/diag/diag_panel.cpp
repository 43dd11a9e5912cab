#include "diag/diag_panel.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>

#include "diag/grading.h"
#include "diag/status_codes.h"
#include "diag/text_format.h"
#include "graph/trend_layout.h"
#include "link/meter_facts.h"

namespace tarnlux {

namespace {

bool active(const PanelFacts& f, int path) { return (f.activeMask >> path & 1u) != 0; }

// The worst grade among the row's graded cells.
void summarise(PanelRow& row) {
  for (const PanelCell& cell : row.cells) {
    if (!cell.grade) continue;
    row.summary = row.summary ? worstOf(*row.summary, *cell.grade) : *cell.grade;
  }
  if (row.summary) row.summaryText = gradeWord(*row.summary);
}

std::string deltaLabel(bool nanoseconds) {
  return nanoseconds ? "T delta nanosec:" : "T delta misec:";
}

double roundedToOneDecimal(double value) {
  return std::strtod(formatText("%.1f", value).c_str(), nullptr);
}

}  // namespace

std::vector<PanelRow> transitTimePanelRows(const MeasurementStore& store, const PanelFacts& f,
                                           const PassFailLimits& limits) {
  const TransitTimeLimits& l = limits.transitTime;
  const bool metric = store.site.metricVelocity;
  std::vector<PanelRow> rows(20);
  rows[0].label = f.gasMeter ? "Signal gaz" : "Signal fluide";
  rows[0].summaryText = kPanelSummaryHeading;
  const char* labels[20] = {nullptr,        "ALC(up)",        "ALC(dn)",    "SNR(up)",
                            "SNR(dn)",      "Q correlation:", "Tamp CAN%:", "%Accepte",
                            "Chang. env:",  "Etat",           "Etat recherche", "Bursts/sec",
                            nullptr,        "NullTrack",      "ALC moy",    nullptr,
                            "Flux et ViS",  nullptr,          nullptr,      nullptr};
  for (int r = 1; r < 20; ++r) {
    if (labels[r] != nullptr) rows[static_cast<std::size_t>(r)].label = labels[r];
  }
  rows[12].label = rows[15].label = deltaLabel(store.site.nanoseconds);
  rows[13].section = rows[16].section = true;
  rows[16].unit = kPanelUnitsHeading;
  rows[17].label = f.standardFlowOn ? "Debit standard:" : "Debit:";
  rows[18].label = "Vitesse flux:";
  rows[19].label = "VitS:";
  rows[17].unit = store.site.flowUnitsText;
  rows[18].unit = rows[19].unit = std::string(velocityUnit(metric));

  const bool compared = f.multiPath && std::popcount(f.activeMask & 0xFu) > 1;
  const SiteAverages averages = siteAverages(store, f.activeMask);
  for (int p = 0; p < 4; ++p) {
    const auto i = static_cast<std::size_t>(p);
    rows[0].cells[i].text = formatText("%s%d", f.multiPath ? "Chem " : "Canal ", p + 1);
    if (!active(f, p)) continue;
    const PathReadings& r = store.paths[i];
    auto set = [&](int row, std::string text, std::optional<GradeColour> grade = {}) {
      rows[static_cast<std::size_t>(row)].cells[i] = {std::move(text), grade};
    };
    set(1, formatText("%d", r.alcUp), gradeValue(r.alcUp, l.alc.fail, l.alc.warning, BadSide::Low));
    set(2, formatText("%d", r.alcDown),
        gradeValue(r.alcDown, l.alc.fail, l.alc.warning, BadSide::Low));
    set(3, formatText("%.0f", r.snrUp), gradeValue(r.snrUp, l.snr.fail, l.snr.warning, BadSide::Low));
    set(4, formatText("%.0f", r.snrDown),
        gradeValue(r.snrDown, l.snr.fail, l.snr.warning, BadSide::Low));
    // Only the extended answer carries the correlation quality.
    if (f.extendedDiagnostics) {
      set(5, formatText("%.2f", r.correlationQuality),
          gradeValue(r.correlationQuality, l.correlationQuality.fail, l.correlationQuality.warning,
                     BadSide::High));
    }
    set(6, formatText("%d", r.adcBuffer),
        gradeValue(r.adcBuffer, l.adcBuffer.fail, l.adcBuffer.warning, BadSide::Low));
    set(7, formatText("%d", r.accepted),
        gradeValue(r.accepted, l.accepted.fail, l.accepted.warning, BadSide::Low));
    set(8, formatText("%d%%", r.envelopeChange),
        gradeValue(r.envelopeChange, l.envelopeChange.fail, l.envelopeChange.warning,
                   BadSide::High));
    set(9, statusLetters(r.statusWord, f.gasMeter), gradeStatusWord(r.statusWord, false));
    set(10, searchStateText(r, f.extendedDiagnostics),
        isMeasuring(r, f.extendedDiagnostics) ? GradeColour::Green : GradeColour::Red);
    set(11, formatText("%d", r.transmitRate));
    set(12, formatText("%.3f", r.deltaTime));
    if (meter_flags::isNullTrackChannel(f.meterFlags, p)) {
      set(13, r.nullTrackActive ? "Active" : "Desactive");
      set(14, formatText("%d", r.nullTrackAlc),
          gradeValue(r.nullTrackAlc, l.nullTrackAlc.fail, l.nullTrackAlc.warning, BadSide::Low));
      const RealLimitPair delta =
          nullTrackDeltaTimeLimits(l.nullTrackDeltaTime, r.referenceCount, store.site.nanoseconds);
      set(15, formatText("%.3f", r.nullTrackDeltaTime),
          gradeValue(std::fabs(r.nullTrackDeltaTime), delta.fail, delta.warning, BadSide::High));
    }
    set(17, formatText("%.3f", f.standardFlowOn ? r.standardFlow : r.flow));
    std::optional<GradeColour> velocityGrade;
    std::optional<GradeColour> soundGrade;
    if (compared) {
      velocityGrade = GradeColour::Green;
      if (flowVelocityTestApplies(r.flowVelocity, metric)) {
        velocityGrade =
            gradeValue(velocityPercentDifference(r.flowVelocity, averages.flowVelocity, metric),
                       l.flowVelocityDiff.fail, l.flowVelocityDiff.warning, BadSide::High);
      }
      soundGrade = gradeValue(velocityPercentDifference(r.soundSpeed, averages.soundSpeed, metric),
                              l.soundSpeedDiff.fail, l.soundSpeedDiff.warning, BadSide::High);
    }
    set(18, formatText("%.3f", r.flowVelocity), velocityGrade);
    set(19, formatText("%.2f", r.soundSpeed), soundGrade);
  }
  for (std::size_t r = 1; r < rows.size(); ++r) summarise(rows[r]);
  return rows;
}

std::vector<PanelRow> echofluxPanelRows(const MeasurementStore& store, const PanelFacts& f,
                                        const PassFailLimits& limits) {
  const EchofluxLimits& l = limits.echoflux;
  const int c = f.channel >= 0 && f.channel < 4 ? f.channel : 0;
  const PathReadings& path = store.paths[static_cast<std::size_t>(c)];
  const EchofluxReadings& r = store.echoflux[static_cast<std::size_t>(c)];
  const bool metric = store.site.metricVelocity;
  const RealLimitPair velocity = echofluxVelocityLimits(l, metric);
  auto twoSided = [](double value, const TwoSidedLimits& t) {
    return gradeTwoSided(value, t.lowFail, t.lowWarning, t.highFail, t.highWarning);
  };

  std::vector<PanelRow> rows(16);
  auto set = [&](int row, const char* label, std::string text,
                 std::optional<GradeColour> grade = {}) {
    PanelRow& out = rows[static_cast<std::size_t>(row)];
    out.label = label;
    out.cells[0] = {std::move(text), grade};
  };
  rows[0].label = "Signal fluide";
  rows[0].cells[0].text = formatText("%s%d", "Canal ", c + 1);
  rows[0].summaryText = kPanelSummaryHeading;
  set(1, "Signal(mV)", formatText("%d", r.signalStrength),
      gradeValue(r.signalStrength, l.signalStrength.fail, l.signalStrength.warning, BadSide::Low));
  set(2, "Freq. doppler(Hz)", formatText("%d", r.dopplerFrequency),
      twoSided(static_cast<double>(r.dopplerFrequency), dopplerLimits(l, r.highFlowRange)));
  set(3, "Ecart %", formatText("%.2f", r.deviation),
      twoSided(r.deviation, deviationLimits(l, r.liquid())));
  // A peak of 0 leaves no noise ratio to judge: that is a failure in itself.
  set(4, "Regl.niveau bruit", formatText("%u", r.noiseReading),
      r.fftPeak == 0 ? GradeColour::Red
                     : twoSided(static_cast<double>(noiseLevelPercent(r)), noiseLimits(l)));
  set(5, "Etat:", statusLetters(path.statusWord, false), gradeStatusWord(path.statusWord, true));
  const auto peak =
      static_cast<std::int32_t>(r.fftPeak > 0x7FFFFFFFu ? 0x7FFFFFFFu : r.fftPeak);
  set(6, "Pointe FFT", formatText("%u", r.fftPeak),
      gradeValue(peak, l.fftPeak.fail, l.fftPeak.warning, BadSide::Low));
  set(7, "FFTs/seconde", formatText("%d", r.fftsPerSecond));
  set(8, "Compos. liquide", r.liquid() ? "Liquide" : "Slurry");
  rows[9].label = "Debit & vitesse";
  rows[9].section = true;
  rows[9].unit = kPanelUnitsHeading;
  set(10, "Debit:", formatText("%.3f", path.flow));
  rows[10].unit = store.site.flowUnitsText;
  set(11, "Vitesse flux:", formatText("%.3f", path.flowVelocity),
      gradeValue(path.flowVelocity, velocity.fail, velocity.warning, BadSide::Low));
  rows[11].unit = std::string(velocityUnit(metric));
  set(12, "Limite faible", formatText("%.3f", printedVelocityLimit(velocity.fail)));
  set(13, "Limite elevee", formatText("%.3f", printedVelocityLimit(velocity.warning)));
  rows[12].unit = rows[13].unit = rows[11].unit;
  rows[14].summaryText = "Haut/Bas";
  set(15, "Plage debit", formatText("%.3f", path.flowVelocity));
  rows[15].summaryText = r.highFlowRange ? "Haut" : "Bas";
  rows[15].unit = rows[11].unit;
  for (std::size_t i = 1; i < 14; ++i) summarise(rows[i]);
  return rows;
}

PathDeviations pathDeviations(const MeasurementStore& store, const PanelFacts& f) {
  PathDeviations out;
  out.shown = f.multiPath && std::popcount(f.activeMask & 0xFu) > 1;
  if (!out.shown) return out;
  const bool metric = store.site.metricVelocity;
  const SiteAverages averages = siteAverages(store, f.activeMask);
  const double flowDivisor = velocityDivisor(averages.flowVelocity, metric);
  const double soundDivisor = velocityDivisor(averages.soundSpeed, metric);
  for (int p = 0; p < 4; ++p) {
    if (!active(f, p)) continue;
    const auto i = static_cast<std::size_t>(p);
    const PathReadings& r = store.paths[i];
    out.flow[i] = (r.flowVelocity - averages.flowVelocity) / flowDivisor * 100.0;
    out.sound[i] = (r.soundSpeed - averages.soundSpeed) / soundDivisor * 100.0;
    out.largestFlow = std::max(out.largestFlow, std::fabs(out.flow[i]));
    out.largestSound = std::max(out.largestSound, std::fabs(out.sound[i]));
  }
  return out;
}

double deviationAxisEnd(double deviation) {
  if (!(deviation < 4999999999999.95)) return kDeviationAxisCeiling;
  const double end = roundedToOneDecimal(std::fabs(deviation)) * 2.0;
  return end < kDeviationAxisFloor ? kDeviationAxisFloor : end;
}

bool DeviationAxis::update(double deviation) {
  const bool first = end <= 0;
  const bool reached = deviation >= end && end < kDeviationAxisCeiling;
  const bool small = deviation < end / 4 && end > kDeviationAxisFloor;
  if (!first && !reached && !small) return false;
  const double fresh = deviationAxisEnd(deviation);
  const bool changed = fresh != end;
  end = fresh;
  labels = {formatText("%-.1f%%", end), formatText("%-.1f%%", end / 2), "0.0%",
            formatText("%-.1f%%", -end / 2), formatText("%-.1f%%", -end)};
  return changed;
}

}  // namespace tarnlux
