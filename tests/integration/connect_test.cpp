// The connect sequence against the simulated meter: every shipped profile,
// the channel choice, cancel, and the meter's faults.

#include "link/connect.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "meter_process.h"
#include "test_context.h"

namespace tarnlux {
namespace {

using test::MeterProcess;
using test::RecordingContext;

// A profile file shipped with the simulated meter.
std::string shippedProfile(const std::string& name) {
  return (std::filesystem::path(__FILE__).parent_path() / "../../src/meter/profiles" /
          (name + ".ini"))
      .string();
}

enum class Over { Tcp, Pty };

LinkSettings settingsFor(const MeterProcess& meter, Over over) {
  LinkSettings settings;
  if (over == Over::Tcp) {
    settings.portName = kTcpPortName;
    settings.ipAddress = "127.0.0.1";
    settings.ipPort = static_cast<std::uint16_t>(meter.tcpPort());
    settings.portMissing = 0;
  } else {
    // Pseudo-terminals carry 8 data bits without parity whatever is asked.
    settings.portName = meter.ptyPath();
    settings.dataBits = 8;
    settings.parityCode = 0;
  }
  return settings;
}

class Connect : public ::testing::Test {
 protected:
  // Starts the meter with `args` (profile, faults) on `over`.
  void startMeter(const std::vector<std::string>& args, Over over = Over::Tcp) {
    const bool started = over == Over::Tcp ? meter.startTcp(args) : meter.startPty(args);
    ASSERT_TRUE(started) << meter.error();
    settings = settingsFor(meter, over);
  }

  int connect() { return connectToMeter(*link, settings, facts, block, choose, outcome, rc.ctx); }

  // Time-outs of tens of seconds pass in a fraction of a second.
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
  LinkSettings settings;
  std::unique_ptr<MeterLink> link = std::make_unique<MeterLink>();
  MeterFacts facts;
  MeterBlockStore block;
  ConnectOutcome outcome;
  RecordingContext rc;
  std::unique_ptr<ScaledClock> clock;
  std::vector<unsigned> offered;  // what the channel choice was asked with
  int answer = kCancelled;        // what the channel choice answers
  ChooseChannel choose = [this](unsigned selectable) {
    offered.push_back(selectable);
    return answer;
  };
};

class ConnectLiquid : public Connect, public ::testing::WithParamInterface<Over> {};

TEST_P(ConnectLiquid, SingleChannelMeterConnectsWithoutAskingAndReadsEverything) {
  startMeter({}, GetParam());
  ASSERT_EQ(connect(), 0) << rc.lastError();
  EXPECT_TRUE(rc.errors.empty()) << rc.lastError();
  EXPECT_TRUE(offered.empty());
  EXPECT_TRUE(link->isOpen());

  EXPECT_EQ(facts.meterFlags, 0x10010u);
  EXPECT_EQ(link->meterFlags, facts.meterFlags);
  EXPECT_TRUE(facts.memoryBlock);
  EXPECT_EQ(facts.queryTerminator, kEtx);
  EXPECT_FALSE(facts.multiPath);
  EXPECT_TRUE(facts.alarmStorage) << "3.04.02M has the block's head and tail";
  EXPECT_TRUE(facts.extendedDiagnostics);
  EXPECT_FALSE(facts.gasMeter);
  EXPECT_FALSE(facts.echofluxMode);
  EXPECT_EQ(facts.typeText, "7326L");
  EXPECT_EQ(facts.versionText, "3.04.02M");
  EXPECT_EQ(facts.selectedChannel, 0);
  EXPECT_EQ(facts.channelIdRaw[0], "LIQ01234");
  EXPECT_EQ(facts.channelFailures, 0u);

  ASSERT_TRUE(outcome.identityRead);
  EXPECT_EQ(outcome.identity.boreInches, 6.065);
  EXPECT_EQ(outcome.identity.kFactorVolumeUnit, "GAL");
  EXPECT_EQ(outcome.identity.temperatureUnit, 'F');
  ASSERT_TRUE(outcome.configurationRead);
  EXPECT_EQ(outcome.configuration.calibrationType, CalibrationType::Kc);
  EXPECT_DOUBLE_EQ(outcome.configuration.kcPercent, 100.25);
  ASSERT_EQ(outcome.configuration.calibrationTables.size(), 1u) << "the disabled table is skipped";
  EXPECT_EQ(outcome.configuration.calibrationTables[0].points.size(), 3u);
  EXPECT_EQ(outcome.configuration.reynolds.size(), 2u);

  // A block never written: read fine, no name, so the naming step follows.
  EXPECT_EQ(outcome.blockReadResult, 0);
  EXPECT_FALSE(outcome.nameInBlock);
  EXPECT_EQ(block.state.capacity, 512u);
  EXPECT_EQ(block.working.limits, PassFailLimits{}) << "liquid defaults";
}

INSTANTIATE_TEST_SUITE_P(Links, ConnectLiquid, ::testing::Values(Over::Tcp, Over::Pty),
                         [](const ::testing::TestParamInfo<Over>& param) {
                           return param.param == Over::Tcp ? "Tcp" : "Pty";
                         });

TEST_F(Connect, MultiPathGasMeterUsesTheSiteSlotWithoutAChoice) {
  startMeter({"--profile", "gas4"});
  ASSERT_EQ(connect(), 0) << rc.lastError();
  EXPECT_TRUE(rc.errors.empty()) << rc.lastError();
  EXPECT_TRUE(offered.empty()) << "the paths form one measurement: nothing to choose";
  EXPECT_TRUE(facts.multiPath);
  EXPECT_TRUE(facts.gasMeter);
  EXPECT_TRUE(facts.metricUnits);
  EXPECT_TRUE(facts.alarmStorage) << "3.04.02M has the block's head and tail";
  EXPECT_EQ(facts.selectedChannel, -1);
  EXPECT_EQ(facts.blockChannel(), 4);
  EXPECT_EQ(facts.siteIdRaw, "GAS4SITE");
  for (int n = 0; n < 4; ++n)
    EXPECT_EQ(facts.channelIdRaw[n], "GASP" + std::to_string(n + 1) + "A01");

  ASSERT_TRUE(outcome.configurationRead);
  const MeterConfiguration& config = outcome.configuration;
  EXPECT_EQ(config.calibrationType, CalibrationType::MultiPoint);
  EXPECT_EQ(config.multipoint.size(), 3u);
  ASSERT_TRUE(config.aga8Table);
  // The site shows bar: the psia axis is converted.
  EXPECT_NEAR(config.aga8.pressures[0], 100.0 / kPsiPerBar, 1e-9);
  EXPECT_EQ(config.aga8.temperatures[0], -10.0);

  // Gas defaults, the correlation pair included (extended diagnostics).
  EXPECT_EQ(block.working.limits.transitTime.alc, (IntLimitPair{45, 35}));
  EXPECT_EQ(block.working.limits.transitTime.nullTrackAlc, (IntLimitPair{50, 40}));
  EXPECT_EQ(outcome.blockReadResult, 0);
}

TEST_F(Connect, LegacyMeterHasNoBlockAndNeedsNoSiteQueries) {
  startMeter({"--profile", "legacy"});
  ASSERT_EQ(connect(), 0) << rc.lastError();
  EXPECT_TRUE(rc.errors.empty()) << rc.lastError();
  EXPECT_FALSE(facts.memoryBlock);
  EXPECT_TRUE(facts.oldVersion);
  EXPECT_FALSE(facts.extendedDiagnostics);
  EXPECT_EQ(facts.queryTerminator, '\r');
  EXPECT_EQ(facts.versionText, "3.01.06E");
  EXPECT_EQ(facts.selectedChannel, 0);
  EXPECT_EQ(facts.channelIdRaw[0], "OLD00001");
  EXPECT_FALSE(outcome.blockRead);
  EXPECT_FALSE(outcome.configurationRead);
}

TEST_F(Connect, SeveralChannelsAskTheUserAndTheEchofluxChannelSwitchesTheMode) {
  startMeter({"--profile", "dual2"});
  answer = 1;
  ASSERT_EQ(connect(), 0) << rc.lastError();
  EXPECT_EQ(offered, std::vector<unsigned>{0x3u});
  EXPECT_EQ(facts.selectedChannel, 1);
  EXPECT_TRUE(facts.echofluxMode);
  EXPECT_EQ(facts.channelIdRaw[1], "DUAL0002");
  EXPECT_EQ(outcome.blockReadResult, 0);

  // The transit-time channel of the same meter keeps the normal mode.
  answer = 0;
  ASSERT_EQ(connect(), 0) << rc.lastError();
  EXPECT_EQ(facts.selectedChannel, 0);
  EXPECT_FALSE(facts.echofluxMode);
}

TEST_F(Connect, ChannelChoiceCancelledEndsWithTheLinkClosedAndNothingKnown) {
  startMeter({"--profile", "dual2"});
  answer = kCancelled;
  EXPECT_EQ(connect(), kCancelled);
  EXPECT_TRUE(rc.errors.empty()) << "the screen shows the cancel";
  EXPECT_FALSE(link->isOpen());
  EXPECT_EQ(facts.meterFlags, 0u);
  EXPECT_EQ(link->meterFlags, 0u);
  EXPECT_FALSE(facts.memoryBlock);

  // A channel that was not offered counts as a cancel too.
  answer = 3;
  EXPECT_EQ(connect(), kCancelled);
  EXPECT_FALSE(link->isOpen());
}

TEST_F(Connect, CancelDuringTheFirstQueryIsQuickAndSilent) {
  startMeter({"--fault", "silent"});
  const auto start = std::chrono::steady_clock::now();
  rc.ctx.pump = [&] {
    if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(200)) rc.cancel = 1;
  };
  EXPECT_EQ(connect(), kCancelled);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  EXPECT_TRUE(rc.errors.empty());
  EXPECT_FALSE(link->isOpen());
}

TEST_F(Connect, SilentMeterEndsWithNoAnswer) {
  startMeter({"--fault", "silent"});
  accelerate(400.0);
  EXPECT_EQ(connect(), kTimeout);
  EXPECT_EQ(rc.errors, std::vector<std::string>{"Pas de reponse du compteur"});
  EXPECT_FALSE(link->isOpen());
  EXPECT_EQ(facts.meterFlags, 0u);
}

TEST_F(Connect, ChannelNotMeasuringIsReportedOnceAndTheConnectGoesOn) {
  startMeter({"--fault", "not-measuring=0"});
  accelerate(200.0);  // the identification waits 50 s for the channel
  ASSERT_EQ(connect(), 0) << rc.lastError();
  EXPECT_EQ(rc.errors, std::vector<std::string>{"Echec canal 1"});
  EXPECT_TRUE(facts.channelFailed(0));
  // Not identified by "qg 008": type and version come from the identity answer.
  EXPECT_EQ(facts.versionText, "3.04.02M");
  EXPECT_EQ(facts.selectedChannel, 0);
}

TEST_F(Connect, NullTrackFailureAndAFailedSecondChannel) {
  startMeter({"--profile", "dual2", "--fault", "nulltrack-fail=0,not-measuring=1"});
  answer = 0;
  ASSERT_EQ(connect(), 0) << rc.lastError();
  EXPECT_EQ(rc.errors, (std::vector<std::string>{"Echec canal 1 NullTrack ", "Echec canal 2"}));
  EXPECT_EQ(facts.channelFailures, 0x12u);
}

TEST_F(Connect, MultiPathMessagesNameThePath) {
  startMeter({"--profile", "gas4", "--fault", "not-measuring=2"});
  ASSERT_EQ(connect(), 0) << rc.lastError();
  EXPECT_EQ(rc.errors, std::vector<std::string>{"Echec chemin 3"});
  EXPECT_TRUE(facts.channelFailed(2));
}

TEST_F(Connect, CorruptBlockIsReportedButDoesNotStopTheConnect) {
  startMeter({"--fault", "short-block"});
  ASSERT_EQ(connect(), 0) << rc.lastError();
  EXPECT_EQ(outcome.blockReadResult, kBlockWrongLength);
  EXPECT_EQ(rc.errors, std::vector<std::string>{
                           "Memoire de configuration du compteur corrompue (reenregistrer) - "
                           "Code d'erreur: 21028"});
  EXPECT_FALSE(outcome.nameInBlock);
}

// A profile written for one test: the liquid meter with each `from` text
// replaced by its `to`.
std::string profileWith(const test::TempDir& dir,
                        const std::vector<std::pair<std::string, std::string>>& changes) {
  std::string text = test::readWholeFile(shippedProfile("liquid1"));
  for (const auto& [from, to] : changes) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
  }
  const std::string path = dir.file("meter.ini");
  test::writeWholeFile(path, text);
  return path;
}

TEST_F(Connect, MalformedSetupAnswerEndsTheConnectWithItsCode) {
  test::TempDir dir;
  startMeter({"--profile", profileWith(dir, {{"line = 3,1.250,17,", "line = 3,1.250,1X,"}})});
  EXPECT_EQ(connect(), 20512);
  EXPECT_EQ(rc.errors,
            std::vector<std::string>{"Donnees compt. non valables - Code d'erreur: 20512"});
  EXPECT_FALSE(link->isOpen());
}

TEST_F(Connect, WithoutChannelBitsTheIdentifiersNameThePresentChannels) {
  test::TempDir dir;
  // No measuring bits; site slot 3 (bits 0-1 = 2): channels 1 to 3 are looked at.
  startMeter({"--profile", profileWith(dir, {{"capabilities = 10010", "capabilities = 10002"},
                                             {"id@0 = LIQ01234", "id@2 = THIRD003"}})});
  ASSERT_EQ(connect(), 0) << rc.lastError();
  EXPECT_TRUE(offered.empty()) << "only channel 3 has an identifier";
  EXPECT_EQ(facts.selectedChannel, 2);
  EXPECT_EQ(facts.channelIdRaw[2], "THIRD003");
  EXPECT_EQ(outcome.blockReadResult, 0);
  EXPECT_EQ(facts.versionText, "3.04.02M");
}

}  // namespace
}  // namespace tarnlux
