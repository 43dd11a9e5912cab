#include "reports/settings_page.h"

#include <algorithm>

#include "common/result.h"
#include "diag/path_diagnostics.h"
#include "link/exchange.h"
#include "link/link_reopen.h"
#include "link/typed_read.h"

namespace tarnlux {

namespace {

constexpr int kPurgeTotalMs = 5000;
constexpr int kPurgeQuietMs = 50;
constexpr double kMillimetresPerInch = 25.4;
constexpr ReadingRange kLengthUnitsRange{0, 1};

// What the view reads itself, on top of what the connect step kept.
struct ViewReads {
  double pipeDiameter = 0;  // "p_d", in the meter's length unit
  std::int32_t lengthUnits = 0;
  std::string flowUnits;
  std::int32_t standardFlow = 0;
};

int readViewValues(MeterLink& link, MeterFacts& meter, int channel, unsigned paths,
                   ViewReads& reads, CaptureHeaderFacts& facts, MeasurementStore& store,
                   OperationContext& ctx) {
  int rc = purgeInput(link, kPurgeTotalMs, kPurgeQuietMs, ctx);
  if (rc != kOk && rc != kTimeout) return rc;
  if (!meter.extendedDiagnostics) {
    rc = readDouble(link, "p_d", channel, reads.pipeDiameter, ctx);
    if (rc != kOk) return rc;
    return readIntInRange(link, "cv", "p_units", "int", channel, kLengthUnitsRange,
                          reads.lengthUnits, ctx);
  }
  rc = readText(link, "flegend", channel, reads.flowUnits, false, ctx);
  if (rc != kOk) return rc;
  if (meter.gasMeter) {
    rc = readInt(link, "cv", "stdflow", "int", channel, reads.standardFlow, 10, ctx);
    if (rc != kOk) return rc;
  }
  for (int path = 0; path < kMeasuredPaths; ++path) {
    if ((paths >> path & 1u) == 0) continue;
    rc = readChannelSetup(link, meter, path, facts.pathSetup[static_cast<std::size_t>(path)], ctx);
    if (rc != kOk) return rc;
  }
  // The Echoflux lines name the channel's flow range and fluid, which only
  // its readings carry.
  if (meter.echofluxMode && meter.selectedChannel >= 0) {
    rc = readPathDiagnostics(link, diagnosticQueryText(true, meter.selectedChannel),
                             meter.selectedChannel, false, false, false, meter, store, ctx);
    if (rc != kOk) return rc;
  }
  return kOk;
}

}  // namespace

void SettingsPage::add(std::string line) {
  longestLine = std::max(longestLine, line.size());
  lines.push_back(std::move(line));
}

void SettingsPage::addText(std::string_view text) {
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    add(std::string(text.substr(0, end)));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
}

std::vector<std::string_view> pageCells(std::string_view line) {
  std::vector<std::string_view> cells;
  for (;;) {
    const std::size_t comma = line.find(',');
    cells.push_back(line.substr(0, comma));
    if (comma == std::string_view::npos) return cells;
    line.remove_prefix(comma + 1);
  }
}

SettingsPage buildSettingsPage(const CaptureHeaderFacts& facts, const CaptureLayout& layout,
                               const MeasurementStore& readings) {
  SettingsPage page;
  page.add(kSettingsPageTitle);
  page.addText(captureIdentityLines(facts, IdentityUse::SettingsView));
  page.addText(captureBoreLines(facts));
  if (facts.extendedDiagnostics) page.addText(captureConfigurationDump(facts, layout, readings));
  return page;
}

unsigned settingsViewPaths(const MeterFacts& meter) {
  if (meter.multiPath) return meter_flags::channelWord(meter.meterFlags);
  if (meter.selectedChannel >= 0 && meter.selectedChannel < kMeasuredPaths) {
    return 1u << meter.selectedChannel;
  }
  return 0;
}

int readSettingsPage(MeterLink& link, MeterFacts& meter, const MeterBlockStore& block,
                     const ConnectOutcome& outcome, SettingsPage& page, OperationContext& ctx) {
  page = SettingsPage{};
  if (!link.isOpen() || meter.meterFlags == 0) {
    ctx.report(kSettingsNotConnectedText);
    return kSettingsViewUnavailable;
  }
  const int channel = meter.blockChannel();
  if (channel < 0) {
    ctx.report(kSettingsNoChannelText);
    return kSettingsViewUnavailable;
  }
  if (ctx.progress != nullptr) ctx.progress->start(kSettingsCollectingText);

  CaptureHeaderFacts facts;
  fillCaptureFacts(facts, meter);
  facts.info = block.state.block.info;
  facts.link = link.settings();
  facts.capturedPaths = settingsViewPaths(meter);
  facts.limits = block.working.limits;
  if (outcome.identityRead) facts.identity = outcome.identity;
  if (outcome.configurationRead) facts.configuration = outcome.configuration;

  MeasurementStore readings;
  // The Echoflux readings, when read, say which velocity unit the meter shows.
  readings.site.metricVelocity = meter.metricUnits;
  ViewReads reads;
  const ChannelFacts channelFacts{meter.multiPath, nullptr};
  // The link check and the reads are one exchange: a TCP link that dropped
  // meanwhile gets its one reconnection.
  const int rc = withTcpRetry(link, ctx, [&](OperationContext& attempt) {
    int result = resyncPrompt(link, channel, true, false, channelFacts, attempt);
    if (result != kOk) return result;
    return readViewValues(link, meter, channel, facts.capturedPaths, reads, facts, readings,
                          attempt);
  });
  if (rc != kOk) return rc;

  if (!meter.extendedDiagnostics) {
    facts.identity.lengthUnits = reads.lengthUnits;
    // The page holds the bore in inches, as the identity answer gives it.
    facts.identity.boreInches =
        reads.lengthUnits == 1 ? reads.pipeDiameter / kMillimetresPerInch : reads.pipeDiameter;
  }
  readings.site.flowUnitsText = reads.flowUnits;
  readings.site.standardFlow = reads.standardFlow;
  const CaptureLayout layout = captureLayout(facts, readings.site);
  page = buildSettingsPage(facts, layout, readings);
  return kOk;
}

}  // namespace tarnlux
