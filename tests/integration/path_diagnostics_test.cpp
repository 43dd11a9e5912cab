// The per-path diagnostic query and reads against the simulated meter: a meter
// with extended diagnostics (liquid1, gas4), an Echoflux channel, an old meter
// whose readings are read variable by variable, failed paths, NullTrack, a
// value out of range and a change of units in the middle of a run.

#include "diag/path_diagnostics.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "diag/status_codes.h"
#include "link/connect.h"
#include "link/exchange.h"
#include "meter_process.h"
#include "test_context.h"

namespace tarnlux {
namespace {

using test::MeterProcess;
using test::RecordingContext;

class PathDiagnostics : public ::testing::Test {
 protected:
  // Starts the meter with `args` and connects to it (choosing `channel` when
  // the meter asks).
  void connectTo(const std::vector<std::string>& args, int channel = 0) {
    ASSERT_TRUE(meter.startTcp(args)) << meter.error();
    LinkSettings settings;
    settings.portName = kTcpPortName;
    settings.ipAddress = "127.0.0.1";
    settings.ipPort = static_cast<std::uint16_t>(meter.tcpPort());
    settings.portMissing = 0;
    MeterBlockStore block;
    ConnectOutcome outcome;
    const ChooseChannel choose = [channel](unsigned) { return channel; };
    ASSERT_EQ(connectToMeter(*link, settings, facts, block, choose, outcome, rc.ctx), 0)
        << rc.lastError();
    rc.errors.clear();
  }

  int query(int path) { return queryPathDiagnostics(*link, path, facts, store, rc.ctx); }
  int reads(int path, bool captureRow = false, bool lastPathOfPass = true) {
    return readPathDiagnostics(*link, diagnosticQueryText(facts.extendedDiagnostics, path), path,
                               false, captureRow, lastPathOfPass, facts, store, rc.ctx);
  }

  // Time-outs of tens of seconds (a path that never measures) pass quickly.
  void accelerate(double factor) {
    clock = std::make_unique<ScaledClock>(factor);
    rc.ctx.clock = clock.get();
  }

  void TearDown() override {
    OperationContext closing;
    closing.quiet = true;
    link->closeLink(false, closing);
    meter.stop();
  }

  MeterProcess meter;
  std::unique_ptr<MeterLink> link = std::make_unique<MeterLink>();
  MeterFacts facts;
  MeasurementStore store;
  RecordingContext rc;
  std::unique_ptr<ScaledClock> clock;
};

TEST_F(PathDiagnostics, ExtendedAnswerOfASingleLiquidPath) {
  connectTo({"--profile", "liquid1"});
  ASSERT_TRUE(facts.extendedDiagnostics);
  ASSERT_EQ(query(0), 0) << rc.lastError();
  // The reads have nothing to add on a meter with extended diagnostics.
  ASSERT_EQ(reads(0), 0) << rc.lastError();
  EXPECT_TRUE(rc.errors.empty()) << rc.lastError();

  const PathReadings& p = store.paths[0];
  EXPECT_EQ(p.statusWord, 0x3FFu);
  EXPECT_TRUE(isMeasuring(p, true)) << p.searchStateText;
  EXPECT_NEAR(p.alcUp, 50, 8);
  EXPECT_NEAR(p.flowVelocity, 2.35, 0.2);
  EXPECT_NEAR(p.soundSpeed, 4862, 20);
  EXPECT_GT(p.deltaTime, 50.0);  // nanoseconds
  EXPECT_GT(p.snrUp, 10.0);
  EXPECT_GT(p.flow, 100.0);
  EXPECT_NEAR(p.transmitRate, 40, 1);
  EXPECT_FALSE(p.nullTrackActive);
  EXPECT_FALSE(store.site.metricVelocity);
  EXPECT_TRUE(store.site.nanoseconds);
  EXPECT_EQ(store.site.flowUnitsText, "GAL/MIN");
  EXPECT_EQ(store.site.totalUnitsText, "GAL");
  EXPECT_EQ(store.site.temperatureUnit, 'F');
  EXPECT_EQ(store.site.meterDateText.size(), 8u);
  EXPECT_GT(store.site.meterTime.stamp, 1700000000);
}

TEST_F(PathDiagnostics, GasMultiPathWithNullTrackAndAFailedPath) {
  connectTo({"--profile", "gas4", "--fault", "not-measuring=2,nulltrack-fail=1"});
  ASSERT_TRUE(facts.multiPath);
  for (int path = 0; path < 4; ++path) {
    SCOPED_TRACE(path);
    ASSERT_EQ(query(path), 0) << rc.lastError();
    ASSERT_EQ(reads(path, false, path == 3), 0) << rc.lastError();
  }
  EXPECT_TRUE(store.site.metricVelocity);
  EXPECT_FALSE(store.site.nanoseconds) << "gas meters count microseconds";
  EXPECT_GT(store.site.pressure, 50.0);
  EXPECT_GT(store.site.compressibility, 0.8);
  EXPECT_EQ(store.site.temperatureUnit, 'C');
  EXPECT_EQ(store.site.flowUnitsText, "M3/HR");

  // Path 1 has NullTrack (its readings come from index 5); path 2's NullTrack
  // reports a failure; path 3 does not measure.
  EXPECT_TRUE(store.paths[0].nullTrackActive);
  EXPECT_NEAR(store.paths[0].nullTrackAlc, 55, 10);
  EXPECT_NEAR(store.paths[0].nullTrackDeltaTime, 0.055, 0.031);  // microseconds, near zero
  EXPECT_FALSE(store.paths[1].nullTrackActive);
  EXPECT_EQ(store.paths[1].statusWord & 0x02u, 0u);
  EXPECT_FALSE(store.paths[3].nullTrackActive);
  EXPECT_EQ(store.paths[2].statusWord & 0x10u, 0u);
  EXPECT_FALSE(isMeasuring(store.paths[2], true)) << store.paths[2].searchStateText;
  EXPECT_EQ(store.paths[2].accepted, 0);
  EXPECT_TRUE(isMeasuring(store.paths[3], true));
  EXPECT_EQ(store.paths[3].statusWord, 0x3FFu);
}

TEST_F(PathDiagnostics, EchofluxChannelAnswersWithItsSpectrum) {
  connectTo({"--profile", "echoflux"});
  ASSERT_TRUE(facts.echofluxMode);
  ASSERT_EQ(query(0), 0) << rc.lastError();
  ASSERT_EQ(reads(0), 0) << rc.lastError();
  const EchofluxReadings& e = store.echoflux[0];
  EXPECT_EQ(e.spectrumBins, 64u);
  EXPECT_GT(e.fftPeak, 0u);
  EXPECT_GT(e.signalStrength, 0);
  EXPECT_GT(e.dopplerFrequency, 0);
  EXPECT_LT(e.lowMarkerBin, e.highMarkerBin);
  EXPECT_TRUE(e.liquid());
  EXPECT_EQ(store.paths[0].statusWord, 0x3FFu);
  EXPECT_GT(store.paths[0].flow, 0.0);
}

TEST_F(PathDiagnostics, OldMeterReadsEachVariableAndTheNullTrackSignal) {
  connectTo({"--profile", "oldnulltrack"});
  ASSERT_FALSE(facts.extendedDiagnostics);
  ASSERT_TRUE(meter_flags::nullTrackAvailable(facts.meterFlags, 0));
  ASSERT_EQ(reads(0, false, false), 0) << rc.lastError();
  ASSERT_EQ(query(0), 0) << rc.lastError();
  EXPECT_TRUE(rc.errors.empty()) << rc.lastError();

  const PathReadings& p = store.paths[0];
  EXPECT_TRUE(p.nullTrackActive);
  EXPECT_NEAR(p.nullTrackAlc, 47, 6);
  EXPECT_NEAR(p.nullTrackDeltaTime, 12.0, 2.0);  // index 2: 1.2e-8 s in nanoseconds
  EXPECT_EQ(p.referenceCount, 96);
  EXPECT_NEAR(p.accepted, 96, 4);
  EXPECT_NEAR(p.transmitRate, 40, 1);
  EXPECT_EQ(p.searchStateCode, 6);
  // The kind-0 answer's figures and the status word of the channel wait.
  EXPECT_NEAR(p.alcUp, 50, 8);
  EXPECT_NEAR(p.deltaTime, 85.3, 10);
  EXPECT_EQ(p.statusWord, 0x3FFu);
  EXPECT_TRUE(isMeasuring(p, false));
  EXPECT_TRUE(store.site.nanoseconds);

  // A capture row leaves the path's own reads out.
  store.paths[0].accepted = -1;
  ASSERT_EQ(reads(0, true, false), 0) << rc.lastError();
  EXPECT_EQ(store.paths[0].accepted, -1);
}

TEST_F(PathDiagnostics, OldMeterNullTrackFailureSkipsItsSignal) {
  connectTo({"--profile", "oldnulltrack", "--fault", "nulltrack-fail=0"});
  ASSERT_EQ(reads(0), 0) << rc.lastError();
  EXPECT_TRUE(facts.nullTrackFailed(0));
  EXPECT_TRUE(store.paths[0].nullTrackFailed);
  EXPECT_FALSE(store.paths[0].nullTrackActive);
  EXPECT_DOUBLE_EQ(store.paths[0].nullTrackDeltaTime, 0);
}

TEST_F(PathDiagnostics, OldMeterReadsTheFailedPathsOncePerPass) {
  connectTo({"--profile", "oldnulltrack", "--fault", "not-measuring=0"}, 1);
  ASSERT_TRUE(facts.channelFailed(0));
  // Not the last path of the pass: the failed path waits.
  ASSERT_EQ(reads(1, false, false), 0) << rc.lastError();
  EXPECT_EQ(store.paths[0].statusWord, 0u);
  // The last path: path 1 (failed, with NullTrack) is read.
  ASSERT_EQ(reads(1, false, true), 0) << rc.lastError();
  const PathReadings& failed = store.paths[0];
  EXPECT_EQ(failed.statusWord & 0x10u, 0u);
  EXPECT_NE(failed.statusWord, 0u);
  EXPECT_EQ(failed.searchStateCode, 3);
  EXPECT_GE(failed.alcUp, 0);
  EXPECT_LE(failed.alcUp, 100);
  EXPECT_TRUE(failed.nullTrackActive);
  EXPECT_NEAR(failed.nullTrackSignal, 0x3E8, 40);
  EXPECT_NEAR(failed.nullTrackDeltaTime, 12.0, 2.0);
  EXPECT_EQ(failed.referenceCount, 96);
  EXPECT_TRUE(facts.channelFailed(0));

  // Once the path measures again its failure is cleared.
  ASSERT_EQ(sendCommand(*link, "cv 0 abar 3FF\r", kSendBaseTimeoutMs, rc.ctx), 0);
  ASSERT_EQ(purgeInput(*link, 5000, 200, rc.ctx), 0);
  ASSERT_EQ(reads(1, false, true), 0) << rc.lastError();
  EXPECT_FALSE(facts.channelFailed(0));
  EXPECT_EQ(store.paths[0].statusWord, 0x3FFu);
}

TEST_F(PathDiagnostics, FailedPathOfTheQueryGivesChannelNotReady) {
  connectTo({"--profile", "oldnulltrack", "--fault", "not-measuring=1"});
  accelerate(500);
  EXPECT_EQ(query(1), kChannelNotReady);
  EXPECT_EQ(rc.lastError(), "Echec canal 2");
  EXPECT_TRUE(facts.channelFailed(1));
}

TEST_F(PathDiagnostics, SearchStateOutOfRangeIsAnAnswerFault) {
  connectTo({"--profile", "oldnulltrack"});
  ASSERT_EQ(sendCommand(*link, "cv 0 make_state 30\r", kSendBaseTimeoutMs, rc.ctx), 0);
  ASSERT_EQ(purgeInput(*link, 5000, 200, rc.ctx), 0);
  EXPECT_EQ(reads(0, false, false), 21021);
  EXPECT_EQ(rc.lastError(), "Donnees compt. non valables - Code d'erreur: 21021");
  // Quiet: the code alone.
  rc.errors.clear();
  rc.ctx.quiet = true;
  EXPECT_EQ(reads(0, false, false), 21021);
  EXPECT_TRUE(rc.errors.empty());
}

TEST_F(PathDiagnostics, UnitsChangeInTheMiddleOfARun) {
  // The identification at connect is the first diagnostic query.
  connectTo({"--profile", "liquid1", "--fault", "units-change=3"});
  ASSERT_EQ(query(0), 0) << rc.lastError();
  ASSERT_EQ(query(0), 0) << rc.lastError();
  EXPECT_FALSE(store.site.metricVelocity);
  EXPECT_EQ(store.site.flowUnitsText, "GAL/MIN");
  const double feetPerSecond = store.paths[0].flowVelocity;
  const double soundFeet = store.paths[0].soundSpeed;
  ASSERT_EQ(query(0), 0) << rc.lastError();
  EXPECT_TRUE(store.site.metricVelocity);
  EXPECT_EQ(store.site.flowUnitsText, "L/MIN");
  EXPECT_NEAR(store.paths[0].flowVelocity, feetPerSecond / 3.28084, 0.1);
  EXPECT_NEAR(store.paths[0].soundSpeed, soundFeet / 3.28084, 5);
}

}  // namespace
}  // namespace tarnlux
