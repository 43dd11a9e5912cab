#include "link/meter_facts.h"

#include <gtest/gtest.h>

using namespace tarnlux;
namespace mf = tarnlux::meter_flags;

TEST(MeterFlags, ChannelChoiceAndNullTrack) {
  // Echoflux on channel 3, NullTrack on 0, transit time on 0 and 1, extended
  // channel state.
  const std::uint32_t flags = 0x4813A;
  EXPECT_FALSE(mf::isEchofluxChannel(flags, 4));  // the site slot is never a channel
  EXPECT_TRUE(mf::nullTrackAvailable(flags, 0));
  EXPECT_FALSE(mf::nullTrackAvailable(flags & ~mf::kExtendedChannelState, 0));
  // Only channel 3 measuring: selected without asking.
  EXPECT_EQ(mf::onlyChannel(0x0080), 3);
  EXPECT_EQ(mf::onlyChannel(0x4000), 2);
  EXPECT_EQ(mf::onlyChannel(0x1010), -1);  // two bits, even for the same channel
  EXPECT_EQ(mf::onlyChannel(0x0030), -1);
  EXPECT_EQ(mf::onlyChannel(0), -1);
}

TEST(MeterFacts, VersionChecks) {
  struct Case {
    const char* version;
    bool old;
    bool alarmStorage;
    bool echoflux;
  } cases[] = {
      {"3.01.06E", true, false, false}, {"3.01.06F", true, false, false},
      {"1.01.06E", true, false, false}, {"1.01.06F", true, false, false},
      {"3.01.06G", false, false, false}, {"3.04.00A", false, true, true},
      {"3.02.00M", false, false, true}, {"3.02.00L", false, false, false},
      {"1.02.00M", false, false, true}, {"1.04.00", false, true, true},
      {"2.09.00M", false, false, false}, {"6", false, true, true},
      {"0.09.00", false, false, false},  {"", false, false, false},
  };
  for (const auto& c : cases) {
    MeterFacts facts;
    applyCapabilityWord(facts, 0x01010, true);
    facts.versionText = c.version;
    facts.typeText = "7326";
    facts.extendedDiagnostics = true;
    applyVersionChecks(facts);
    EXPECT_EQ(facts.oldVersion, c.old) << c.version;
    EXPECT_EQ(facts.memoryBlock, !c.old) << c.version;
    EXPECT_EQ(facts.queryTerminator, c.old ? '\r' : kEtx) << c.version;
    EXPECT_EQ(facts.extendedDiagnostics, !c.old) << c.version;
    EXPECT_EQ(facts.alarmStorage, c.alarmStorage) << c.version;
    EXPECT_FALSE(facts.gasMeter);
    EXPECT_EQ(echofluxModeFor(facts, 0), c.echoflux) << c.version;
  }
  MeterFacts gas;
  gas.typeText = "7326G";
  applyVersionChecks(gas);
  EXPECT_TRUE(gas.gasMeter);
}

TEST(MeterFacts, EchofluxModeNeedsTheChannelBitAndASingleChannelBlockMeter) {
  MeterFacts facts;
  applyCapabilityWord(facts, 0x02020, true);  // channel 1 in both modes' nibbles
  facts.versionText = "3.02.00M";
  EXPECT_TRUE(echofluxModeFor(facts, 1));
  EXPECT_FALSE(echofluxModeFor(facts, 0));
  facts.multiPath = true;
  EXPECT_FALSE(echofluxModeFor(facts, 1));
  MeterFacts old;
  applyCapabilityWord(old, 0x2020, false);
  old.versionText = "3.02.00M";
  EXPECT_FALSE(echofluxModeFor(old, 1));
}

TEST(MeterFacts, FailureWordAndMessages) {
  MeterFacts facts;
  facts.markChannelFailed(2);
  facts.markNullTrackFailed(0);
  facts.markChannelFailed(7);
  EXPECT_EQ(facts.channelFailures, 0x14u);
  EXPECT_TRUE(facts.channelFailed(2));
  EXPECT_TRUE(facts.nullTrackFailed(0));
  EXPECT_FALSE(facts.channelFailed(0));
  EXPECT_EQ(channelFailureMessage(0, false), "Echec canal 1");
  EXPECT_EQ(channelFailureMessage(3, true), "Echec chemin 4");
  EXPECT_EQ(nullTrackFailureMessage(1, false), "Echec canal 2 NullTrack ");
  EXPECT_EQ(nullTrackFailureMessage(2, true), "Echec chemin 3 NullTrack ");
  EXPECT_EQ(displayIdentifier("AB CD  1", false), "AB_CD__1");
  EXPECT_EQ(displayIdentifier("AB CD  1", true), "AB CD  1");

  facts.selectedChannel = 2;
  EXPECT_EQ(facts.blockChannel(), 2);
  applyCapabilityWord(facts, 0x40001, true);
  EXPECT_TRUE(facts.multiPath);
  EXPECT_EQ(facts.blockChannel(), 2);  // slot bits 1 -> site slot 2
  facts.resetForConnect();
  EXPECT_EQ(facts.selectedChannel, -1);
  EXPECT_FALSE(facts.memoryBlock);
  EXPECT_EQ(facts.queryTerminator, '\r');
  EXPECT_EQ(facts.channelFailures, 0u);
}
