#include "signal_verb.h"

#include <charconv>
#include <cstdio>
#include <string>

#include "cli_messages.h"
#include "common/result.h"
#include "graph/signal_query.h"
#include "link/connect.h"

namespace tarnlux::cli {

namespace {

// The shortest text that reads back as the same number.
std::string number(double value) {
  char buffer[64];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return error == std::errc() ? std::string(buffer, end) : std::string();
}

void line(const char* key, const std::string& value) { std::printf("%s=%s\n", key, value.c_str()); }
void line(const char* key, int value) { std::printf("%s=%d\n", key, value); }

int firstSignalChannel(std::uint32_t meterFlags) {
  for (int n = 0; n < 4; ++n) {
    if (signalChannelSelectable(meterFlags, n)) return n;
  }
  return kNoSignalChannel;
}

void printAnswer(const SignalAnswer& a, const SignalSettings& s) {
  static const char* const kResolutions[] = {"haut", "moyen", "bas"};
  const SignalFigures& f = a.figures;
  line("channel", s.channel + 1);
  line("graph", a.graphType == 1 ? "envelope" : "signal");
  line("resolution", kResolutions[(a.resolution - 1) % 3]);
  line("nulltrack", s.nullTrackOffset != 0 ? 1 : 0);
  line("site", f.siteName);
  line("system", f.systemName);
  line("version", f.versionText);
  line("date", f.dateText);
  line("time", f.timeText);
  line("flow_velocity", number(f.flowVelocity));
  line("sound_speed", number(f.soundSpeed));
  line("metric", f.metric ? 1 : 0);
  line("time_difference", number(f.timeDifference));
  line("time_difference_unit", f.nanoseconds ? "ns" : "us");
  line("arrival_up", number(f.arrivalUp));
  line("arrival_down", number(f.arrivalDown));
  line("gain_up", f.gainUp);
  line("gain_down", f.gainDown);
  line("search_state",
       f.searchStateText.empty() ? std::to_string(f.searchStateCode) : f.searchStateText);
  line("adc_fill", f.adcFill);
  line("snr_up", number(f.snrUp));
  line("snr_down", number(f.snrDown));
  line("envelope_change", f.envelopeChange);
  line("frequency_code", f.frequencyCode);
  line("waveform_offset", f.hasWaveformOffset ? std::to_string(f.waveformOffset) : std::string());
  line("samples", static_cast<int>(a.a.samples.size()));
  line("marker_a", a.a.marker);
  line("alignment_a", a.a.alignment);
  line("marker_b", a.b.marker);
  line("alignment_b", a.b.alignment);
  std::printf("index,a,b\n");
  for (std::size_t i = 0; i < a.a.samples.size(); ++i) {
    std::printf("%zu,%d,%d\n", i, a.a.samples[i], a.b.samples[i]);
  }
}

}  // namespace

int runSignal(const LinkSettings& linkSettings, const Options& options, OperationContext& ctx) {
  MeterLink link;
  MeterFacts facts;
  MeterBlockStore block;
  ConnectOutcome outcome;
  bool usageProblem = false;
  // A meter with several channels asks which one to connect to: the one
  // asked for, else the first.
  const ChooseChannel choose = [&](unsigned selectable) {
    if (options.channel < 0) {
      for (int n = 0; n < 4; ++n) {
        if ((selectable >> n & 1u) != 0) return n;
      }
    } else if ((selectable >> options.channel & 1u) != 0) {
      return options.channel;
    }
    usageError("channel " + std::to_string(options.channel + 1) + " is not available");
    usageProblem = true;
    return static_cast<int>(kCancelled);
  };
  int result = connectToMeter(link, linkSettings, facts, block, choose, outcome, ctx);
  if (result != kOk) return usageProblem ? 2 : 1;

  SignalSettings settings;
  settings.graphType = options.envelope ? 1 : 0;
  settings.resolution = options.resolution;
  settings.nullTrackChosen = options.nullTrack;
  if (options.channel >= 0) {
    settings.channel = options.channel;
  } else if (signalChannelSelectable(facts.meterFlags, facts.selectedChannel)) {
    settings.channel = facts.selectedChannel;
  } else {
    settings.channel = firstSignalChannel(facts.meterFlags);
  }
  const int asked = settings.channel;
  fitSignalSettings(settings, facts.meterFlags);

  int status = 0;
  if (settings.channel == kNoSignalChannel && options.channel >= 0) {
    status = usageError("channel " + std::to_string(asked + 1) + " has no transit-time signal");
  } else if (settings.channel == kNoSignalChannel) {
    ctx.report(kSignalNoChannel);
    status = 1;
  } else if (options.nullTrack && !settings.nullTrackChosen) {
    status =
        usageError("channel " + std::to_string(settings.channel + 1) + " has no NullTrack signal");
  } else {
    SignalAnswer answer;
    result = querySignal(link, settings, facts, answer, ctx);
    if (result == kOk) {
      printAnswer(answer, settings);
    } else {
      status = 1;
    }
  }
  std::fflush(stdout);

  OperationContext closing = ctx;
  closing.quiet = true;
  closing.cancelFlag = nullptr;
  link.closeLink(false, closing);
  return status;
}

}  // namespace tarnlux::cli
