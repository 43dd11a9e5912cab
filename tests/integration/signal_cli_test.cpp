// The signal query against the simulated meter: "tarnlux-cli signal" as
// scripts read it, and the failures the meter's faults provoke.

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cli_process.h"
#include "common/clock.h"
#include "common/result.h"
#include "graph/signal_query.h"
#include "link/link_settings.h"
#include "meter_process.h"
#include "test_context.h"

namespace tarnlux {
namespace {

using test::MeterProcess;

struct SignalRun {
  int status = -1;
  std::map<std::string, std::string> figures;
  std::vector<std::vector<int>> rows;  // index, a, b
  bool csvHeader = false;
  std::string out;
  std::string err;
};

SignalRun runSignal(const MeterProcess& meter, const std::vector<std::string>& extra = {}) {
  std::vector<std::string> args = {"--link", "tcp:127.0.0.1:" + std::to_string(meter.tcpPort()),
                                   "signal"};
  args.insert(args.end(), extra.begin(), extra.end());
  test::CliRun cli = test::runCli(args);
  SignalRun run;
  run.status = cli.status;
  run.out = std::move(cli.out);
  run.err = std::move(cli.err);

  std::istringstream lines(run.out);
  std::string line;
  while (std::getline(lines, line)) {
    if (line == "index,a,b") {
      run.csvHeader = true;
    } else if (run.csvHeader) {
      std::vector<int> row;
      std::istringstream fields(line);
      std::string field;
      while (std::getline(fields, field, ',')) row.push_back(std::stoi(field));
      run.rows.push_back(row);
    } else if (const std::size_t eq = line.find('='); eq != std::string::npos) {
      run.figures[line.substr(0, eq)] = line.substr(eq + 1);
    }
  }
  return run;
}

TEST(SignalVerb, PrintsTheFiguresThenBothBurstsAsCsv) {
  MeterProcess meter;
  ASSERT_TRUE(meter.startTcp()) << meter.error();
  SignalRun run = runSignal(meter);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  const std::map<std::string, std::string> expected = {{"channel", "1"},
                                                       {"graph", "signal"},
                                                       {"resolution", "haut"},
                                                       {"nulltrack", "0"},
                                                       {"site", "LIQ01234"},
                                                       {"system", "7326L"},
                                                       {"version", "3.04.02M"},
                                                       {"sound_speed", "4862.2"},
                                                       {"metric", "0"},
                                                       {"time_difference_unit", "ns"},
                                                       {"arrival_up", "112.54"},
                                                       {"gain_up", "50"},
                                                       {"search_state", "Measurement"},
                                                       {"adc_fill", "72"},
                                                       {"frequency_code", "64"},
                                                       {"samples", "1024"}};
  for (const auto& [key, value] : expected) EXPECT_EQ(run.figures[key], value) << key;
  EXPECT_FALSE(run.figures["waveform_offset"].empty());
  ASSERT_TRUE(run.csvHeader) << run.out;
  ASSERT_EQ(run.rows.size(), 1024u);
  for (std::size_t i = 0; i < run.rows.size(); ++i) {
    ASSERT_EQ(run.rows[i].size(), 3u);
    ASSERT_EQ(run.rows[i][0], static_cast<int>(i));
  }
  // A burst after noise: the marker lies where the upstream trace wakes up.
  const int marker = std::stoi(run.figures["marker_a"]);
  int before = 0;
  int after = 0;
  for (int i = 0; i < marker - 10; ++i)
    before = std::max(before, std::abs(run.rows[static_cast<std::size_t>(i)][1]));
  for (int i = marker; i < marker + 100; ++i)
    after = std::max(after, std::abs(run.rows[static_cast<std::size_t>(i)][1]));
  EXPECT_LT(before, 10);
  EXPECT_GT(after, 30);

  run = runSignal(meter, {"--envelope", "--resolution", "moyen"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.figures["graph"], "envelope");
  EXPECT_EQ(run.figures["resolution"], "moyen");
  ASSERT_EQ(run.rows.size(), 512u);
  for (const auto& row : run.rows) ASSERT_GE(std::min(row[1], row[2]), 0) << "an envelope";
}

TEST(SignalVerb, OlderMeterAnswersEndingWithACarriageReturn) {
  MeterProcess meter;
  ASSERT_TRUE(meter.startTcp({"--profile", "legacy"})) << meter.error();
  SignalRun run = runSignal(meter, {"--resolution", "bas"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.figures["site"], "OLD00001");
  EXPECT_EQ(run.figures["search_state"], "6");
  EXPECT_EQ(run.figures["waveform_offset"], "");
  EXPECT_EQ(run.rows.size(), 341u);
}

TEST(SignalVerb, NullTrackSignalOfItsChannel) {
  MeterProcess meter;
  ASSERT_TRUE(meter.startTcp({"--profile", "dual2"})) << meter.error();
  SignalRun run = runSignal(meter, {"--channel", "1", "--nulltrack"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.figures["nulltrack"], "1");
  EXPECT_EQ(run.rows.size(), 1024u);
  // Channel 2 measures in the Echoflux mode: no signal to show.
  run = runSignal(meter, {"--channel", "2"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("channel 2 has no transit-time signal"), std::string::npos) << run.err;
}

TEST(SignalVerb, FaultsEndWithTheirMessageAndStatusOne) {
  MeterProcess silent;
  ASSERT_TRUE(silent.startTcp({"--fault", "no-signal=0"})) << silent.error();
  SignalRun run = runSignal(silent);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("Pas de reponse du compteur"), std::string::npos) << run.err;

  MeterProcess malformed;
  ASSERT_TRUE(malformed.startTcp({"--fault", "bad-signal=length"})) << malformed.error();
  run = runSignal(malformed);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Donnees compt. non valables - Code d'erreur: 20304"), std::string::npos)
      << run.err;

  MeterProcess figures;
  ASSERT_TRUE(figures.startTcp({"--fault", "bad-signal=figures"})) << figures.error();
  run = runSignal(figures);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Code d'erreur: 20305"), std::string::npos) << run.err;

  // The search state is kept, never checked: whatever stands there, the
  // signal is shown.
  for (const char* profile : {"liquid1", "legacy"}) {
    MeterProcess state;
    ASSERT_TRUE(state.startTcp({"--profile", profile, "--fault", "bad-signal=state"})) << state.error();
    run = runSignal(state);
    EXPECT_EQ(run.status, 0) << profile << ": " << run.err;
    EXPECT_EQ(run.rows.size(), 1024u) << profile;
  }
}

TEST(SignalVerb, UsageErrors) {
  MeterProcess meter;
  ASSERT_TRUE(meter.startTcp()) << meter.error();
  EXPECT_EQ(runSignal(meter, {"--resolution", "fine"}).status, 2);
  EXPECT_EQ(runSignal(meter, {"extra"}).status, 2);
  EXPECT_EQ(runSignal(meter, {"--channel", "5"}).status, 2);
  EXPECT_EQ(runSignal(meter, {"--nulltrack"}).status, 2) << "the default meter has no NullTrack";
}

// A failed path: the channel never reports that it measures, so the query
// ends with -3 and "Echec canal 1" after the 50 s channel wait (run here on a
// fast clock).
TEST(SignalQueryOverTcp, FailedPathEndsWithItsChannelMessage) {
  MeterProcess meter;
  ASSERT_TRUE(meter.startTcp({"--fault", "not-measuring=0"})) << meter.error();
  test::RecordingContext recording;
  const ScaledClock fast(1000.0);
  recording.ctx.clock = &fast;
  LinkSettings settings;
  settings.portName = kTcpPortName;
  settings.ipAddress = "127.0.0.1";
  settings.ipPort = static_cast<std::uint16_t>(meter.tcpPort());
  settings.portMissing = 0;
  MeterLink link;
  ASSERT_EQ(link.openLink(settings, false, 5000, recording.ctx), kOk);
  MeterFacts facts;
  applyCapabilityWord(facts, 0x10010, true);
  facts.extendedDiagnostics = true;
  link.meterFlags = facts.meterFlags;

  SignalSettings signal;
  signal.channel = 0;
  SignalAnswer answer;
  EXPECT_EQ(querySignal(link, signal, facts, answer, recording.ctx), kChannelNotReady);
  EXPECT_EQ(recording.errors, std::vector<std::string>{"Echec canal 1"});

  link.closeLink(false, recording.ctx);
}

}  // namespace
}  // namespace tarnlux
