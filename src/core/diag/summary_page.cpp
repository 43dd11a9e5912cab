#include "diag/summary_page.h"

#include <bit>

#include "diag/query_loop.h"
#include "diag/status_codes.h"
#include "diag/text_format.h"
#include "graph/trend_layout.h"

namespace tarnlux {

SummaryPage buildSummaryPage(const MeasurementStore& store, const MeterFacts& facts,
                             const PassFailLimits& limits, const SummaryInput& input) {
  SummaryPage page;
  const unsigned mask = input.activeMask & 0xFu;
  const int count = std::popcount(mask);
  const bool echoflux = facts.echofluxMode;
  page.gainLabel = echoflux ? "Signal(mV)" : "ALC";
  page.soundSpeedShown = !echoflux;
  page.soundSpeedLabel = formatText("%s:", "VitS");
  page.soundSpeedUnit = std::string(velocityUnit(store.site.metricVelocity));
  page.flowUnit = store.site.flowUnitsText;
  page.totalUnit = store.site.totalUnitsText;
  page.total = formatText("%.2f", store.site.total);
  if (count == 0) {
    page.flow = page.gain = page.soundSpeed = page.aeration = page.statusCode = "-";
    return page;
  }
  const int last = 31 - std::countl_zero(mask);
  const PathReadings& lastPath = store.paths[static_cast<std::size_t>(last)];

  double flowSum = 0;
  long long gainSum = 0;
  long long aerationSum = 0;
  for (int p = 0; p < 4; ++p) {
    if ((mask >> p & 1u) == 0) continue;
    const PathReadings& r = store.paths[static_cast<std::size_t>(p)];
    flowSum += r.flow;
    gainSum += static_cast<long long>(r.alcUp) + r.alcDown;
    aerationSum += r.envelopeChange;
    // A red path decides the lamp; the others can only make it yellow.
    if (page.lamp != GradeColour::Red) {
      page.lamp = worstOf(page.lamp, pathGrade(store, p, mask, limits, facts));
    }
  }
  const bool averaged = facts.multiPath && count > 1;
  page.flow = input.flowHidden ? "-" : formatText("%.3f", averaged ? flowSum / count : lastPath.flow);
  if (echoflux) {
    page.gain = formatText("%d", store.echoflux[static_cast<std::size_t>(last)].signalStrength);
  } else {
    page.gain = formatText("%lld", gainSum / (2LL * count));
  }
  page.soundSpeed = formatText("%.2f", lastPath.soundSpeed);
  page.aeration = formatText("%lld", aerationSum / count);
  const std::uint32_t word = facts.multiPath ? input.siteStatusWord : lastPath.statusWord;
  page.statusCode = statusLetters(word, facts.gasMeter).substr(0, 20);
  return page;
}

}  // namespace tarnlux
