// The memory block and the command block against the simulated meter: what
// the program writes is what the meter then lists, byte for byte, and reads
// back into the same fields.

#include "link/meter_block_io.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "link/connect.h"
#include "link/exchange.h"
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

class MeterBlockWithMeter : public ::testing::Test {
 protected:
  void start(const std::vector<std::string>& args = {}, int channel = 0) {
    ASSERT_TRUE(meter.startTcp(args)) << meter.error();
    settings.portName = kTcpPortName;
    settings.ipAddress = "127.0.0.1";
    settings.ipPort = static_cast<std::uint16_t>(meter.tcpPort());
    settings.portMissing = 0;
    // Every write waits for 3 s of quiet before reading back.
    rc.ctx.clock = &fast;
    connectAgain(channel);
  }

  // A fresh connect, as the program does before every set-up screen.
  void connectAgain(int channel = 0) {
    ConnectOutcome outcome;
    const ChooseChannel choose = [channel](unsigned) { return channel; };
    ASSERT_EQ(connectToMeter(*link, settings, facts, block, choose, outcome, rc.ctx), 0)
        << rc.lastError();
    blockRead = outcome.blockReadResult;
    nameInBlock = outcome.nameInBlock;
  }

  // The meter's listing of a variable, from "char" to the closing bar.
  std::string listing(const std::string& command) {
    EXPECT_EQ(sendCommand(*link, command, kSendBaseTimeoutMs, rc.ctx), 0);
    ReceivedText received;
    EXPECT_EQ(receiveUntil(*link, "char", "\r", 5000, rc.ctx, &received), 0);
    return std::string(link->receiveArea() + received.markerOffset,
                       received.length - received.markerOffset);
  }

  // Writes `text` into the channel's block the way a meter panel would:
  // without going through the program's encoder.
  void writeRaw(const std::string& text, int channel = 0) {
    ASSERT_EQ(sendCommand(*link, "cv " + std::to_string(channel) + " qmmem[0] " + text + "\r",
                          kSendBaseTimeoutMs, rc.ctx),
              0);
    ASSERT_EQ(purgeInput(*link, 5000, 100, rc.ctx), 0);
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
  RecordingContext rc;
  ScaledClock fast{20.0};
  int blockRead = -1;
  bool nameInBlock = false;
};

std::string filled(const std::string& text, std::size_t size) {
  return text + std::string(size - text.size(), '~');
}

// The liquid meter's own copy with the block shrunk to `size` characters.
std::string smallBlockProfile(const test::TempDir& dir, int size) {
  std::string text = test::readWholeFile(shippedProfile("liquid1"));
  const std::string from = "qmmem = char[512]";
  text.replace(text.find(from), from.size(), "qmmem = char[" + std::to_string(size) + "]");
  const std::string path = dir.file("small.ini");
  test::writeWholeFile(path, text);
  return path;
}

TEST_F(MeterBlockWithMeter, StoredNameIsListedByteForByteAndNamesTheSiteAtTheNextConnect) {
  start();
  ASSERT_FALSE(nameInBlock);
  ASSERT_EQ(storeSiteName(*link, "SITE_A", facts, block, rc.ctx), 0) << rc.lastError();
  EXPECT_TRUE(rc.errors.empty()) << rc.lastError();
  // Generation 0 after a block without head; EOT ends the stored text.
  const std::string written =
      "0,30,20,20,10,0.75,0.9,50,30,90,50,30,40,30,20,0.02,0.05,2,4,0.25,0.5,SITE_A,,,,,,,,64,0";
  EXPECT_EQ(listing("cv 0 qmmem\r"), "char qmmem[512] |" + filled(written, 512) + "|");
  EXPECT_EQ(block.state.generation, '0');
  EXPECT_EQ(block.working.info.location, "SITE_A");

  connectAgain();
  EXPECT_EQ(blockRead, 0);
  EXPECT_TRUE(nameInBlock);
  EXPECT_EQ(facts.locationName, "SITE_A");
  EXPECT_EQ(block.state.generation, '0');
}

TEST_F(MeterBlockWithMeter, LimitsAndTextsRoundTripAndEveryWriteTakesTheNextGeneration) {
  start();
  MeterBlockFields wanted = block.working;
  wanted.limits.transitTime.alc = {40, 25};
  wanted.limits.transitTime.flowVelocityDiff = {0.001, 4.0};
  wanted.info.location = "PUMP_7";
  wanted.info.spoolPartNumber = std::string(31, 'P');
  wanted.info.lastReportDate = "03-14-26";
  block.working = wanted;
  ASSERT_EQ(writeMeterBlock(*link, 0, facts, block, rc.ctx), 0) << rc.lastError();
  ASSERT_EQ(block.state.generation, '0');
  EXPECT_NE(listing("cv 0 qmmem\r").find(",40,25,"), std::string::npos);
  EXPECT_NE(listing("cv 0 qmmem\r").find(",0.001,4,"), std::string::npos) << "4.0 is written as 4";

  MeterBlockStore fresh;
  ASSERT_EQ(readMeterBlock(*link, 0, false, facts, fresh, rc.ctx), 0) << rc.lastError();
  EXPECT_EQ(fresh.state.block, wanted);
  EXPECT_EQ(fresh.working, MeterBlockFields{}) << "a read fills only the block fields";

  ASSERT_EQ(writeMeterBlock(*link, 0, facts, block, rc.ctx), 0) << rc.lastError();
  EXPECT_EQ(block.state.generation, '1');
  EXPECT_EQ(listing("cv 0 qmmem\r").substr(0, 19), "char qmmem[512] |1,");
}

TEST_F(MeterBlockWithMeter, NamingKeepsTheLimitsTheMeterHolds) {
  start();
  block.working.limits.transitTime.snr = {25.5, 12};
  ASSERT_EQ(writeMeterBlock(*link, 0, facts, block, rc.ctx), 0) << rc.lastError();
  // The next connect puts the meter's limits in force, unnamed as it is...
  connectAgain();
  ASSERT_EQ(block.working.limits.transitTime.snr, (RealLimitPair{25.5, 12}));
  ASSERT_FALSE(nameInBlock);
  // ...and naming the site keeps them in the meter.
  ASSERT_EQ(storeSiteName(*link, "NORTH", facts, block, rc.ctx), 0) << rc.lastError();
  MeterBlockStore fresh;
  ASSERT_EQ(readMeterBlock(*link, 0, false, facts, fresh, rc.ctx), 0);
  EXPECT_EQ(fresh.state.block.limits.transitTime.snr, (RealLimitPair{25.5, 12}));
  EXPECT_EQ(fresh.state.block.info.location, "NORTH");
}

TEST_F(MeterBlockWithMeter, AProgramStampKeepsTheMetersLimitsAndTheUsersEdits) {
  start();
  block.working.limits.transitTime.snr = {25.5, 12};
  ASSERT_EQ(writeMeterBlock(*link, 0, facts, block, rc.ctx), 0) << rc.lastError();
  // The user is editing other limits when a capture records its start.
  block.working.limits.transitTime.snr = {30, 15};
  const auto stamp = [](MeterBlockFields& fields) {
    fields.info.lastReportDate = "12-09-26";
    fields.info.lastReportTime = "00:34";
  };
  ASSERT_EQ(updateMeterBlock(*link, 0, facts, block, stamp, rc.ctx), 0) << rc.lastError();
  MeterBlockStore fresh;
  ASSERT_EQ(readMeterBlock(*link, 0, false, facts, fresh, rc.ctx), 0);
  EXPECT_EQ(fresh.state.block.limits.transitTime.snr, (RealLimitPair{25.5, 12}));
  EXPECT_EQ(fresh.state.block.info.lastReportDate, "12-09-26");
  EXPECT_EQ(fresh.state.block.info.lastReportTime, "00:34");
  // The edit is still there, with the stamp.
  EXPECT_EQ(block.working.limits.transitTime.snr, (RealLimitPair{30, 15}));
  EXPECT_EQ(block.working.info.lastReportTime, "00:34");
}

TEST_F(MeterBlockWithMeter, EchofluxChannelUsesItsOwnLayout) {
  start({"--profile", "dual2"}, 1);
  ASSERT_TRUE(facts.echofluxMode);
  block.working.limits.echoflux.fftPeak = {70, 20};
  block.working.limits.echoflux.flowVelocity = {1.5, 0.001};
  ASSERT_EQ(writeMeterBlock(*link, 1, facts, block, rc.ctx), 0) << rc.lastError();
  const std::string text = listing("cv 1 qmmem\r");
  EXPECT_NE(text.find(",70,20,1.5,0.001,"), std::string::npos) << text;
  // The transit-time channel's block is another variable.
  EXPECT_EQ(listing("cv 0 qmmem\r"), "char qmmem[512] |" + std::string(512, '~') + "|");

  MeterBlockStore fresh;
  ASSERT_EQ(readMeterBlock(*link, 1, false, facts, fresh, rc.ctx), 0) << rc.lastError();
  EXPECT_EQ(fresh.state.block.limits.echoflux, block.working.limits.echoflux);
}

TEST_F(MeterBlockWithMeter, CorruptedBlocksGiveTheirCodesAndChangeNothing) {
  start();
  const MeterBlockFields before = block.state.block;
  const struct {
    std::string value;
    int code;
  } cases[] = {
      {"0,3x,20", kBlockBadInteger},
      {"0,30,2.0.0", kBlockBadDecimal},
      // Head and tail with a check value that does not match.
      {"0,30,20,20,10,0.75,0.9,50,30,90,50,30,40,30,20,0.02,0.05,2,4,0.25,0.5,SITE_A,,,,,,,,65,0",
       kBlockBadCheckValue},
      {"30,20,20,10,0.75,0.9,50,30,90,50,30,40,30,20,0.02,0.05,2,4,0.25,0.5," +
           std::string(17, 'N'),
       kBlockFirstTextTooLong},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    rc.errors.clear();
    writeRaw(c.value);
    EXPECT_EQ(readMeterBlock(*link, 0, false, facts, block, rc.ctx), c.code);
    EXPECT_EQ(rc.errors, std::vector<std::string>{
                             "Memoire de configuration du compteur corrompue (reenregistrer) - "
                             "Code d'erreur: " +
                             std::to_string(c.code)});
    EXPECT_EQ(block.state.block, before);
  }
}

TEST_F(MeterBlockWithMeter, BlockLongerThanTheMeterHoldsIsNotSent) {
  test::TempDir dir;
  start({"--profile", smallBlockProfile(dir, 120)});
  ASSERT_EQ(block.state.capacity, 120u);
  block.working.info.spoolPartNumber = std::string(31, 'S');
  block.working.info.flowmeterPartNumber = std::string(31, 'F');
  EXPECT_EQ(writeMeterBlock(*link, 0, facts, block, rc.ctx), kBlockTooLong);
  EXPECT_EQ(rc.errors,
            std::vector<std::string>{"Trop de donnees pour memoire configuration du compteur"});
  EXPECT_EQ(listing("cv 0 qmmem\r"), "char qmmem[120] |" + std::string(120, '~') + "|");
}

TEST_F(MeterBlockWithMeter, WriteTheMeterDidNotKeepIsNotConfirmed) {
  test::TempDir dir;
  start({"--profile", smallBlockProfile(dir, 120)});
  // Believing the meter holds more than it does: the meter refuses the text.
  block.state.capacity = 1000;
  block.working.info.spoolPartNumber = std::string(31, 'S');
  block.working.info.flowmeterPartNumber = std::string(31, 'F');
  const std::string lastRead = block.state.lastReadText;
  EXPECT_EQ(writeMeterBlock(*link, 0, facts, block, rc.ctx), kBlockNotConfirmed);
  EXPECT_EQ(rc.errors,
            std::vector<std::string>{
                "Erreur de confirmation de memoire du compteur (reenregistrer les donnees)"});
  EXPECT_EQ(block.state.lastReadText, lastRead) << "only a confirmed write counts as read";
}

TEST_F(MeterBlockWithMeter, CommandBlockCarriesItsSequenceCharacter) {
  start();
  block.state.commandSequence = '5';
  ASSERT_EQ(readCommandBlock(*link, 0, 22000, block, rc.ctx), 0) << rc.lastError();
  EXPECT_EQ(block.state.commandSequence, 'z') << "never written";

  ASSERT_EQ(writeCommandBlock(*link, 0, {"20", ""}, block, rc.ctx), 0);
  ASSERT_EQ(purgeInput(*link, 5000, 100, rc.ctx), 0);
  EXPECT_EQ(listing("cv 0 qmcmd\r"), "char qmcmd[128] |" + filled("0,20,,E4,0", 128) + "|");
  block.state.commandSequence = 'x';
  ASSERT_EQ(readCommandBlock(*link, 0, 22000, block, rc.ctx), 0) << rc.lastError();
  EXPECT_EQ(block.state.commandSequence, '0');

  // A value that is not a framed command.
  ASSERT_EQ(sendCommand(*link, "cv 0 qmcmd[0] 0,20,,E4,1\r", kSendBaseTimeoutMs, rc.ctx), 0);
  ASSERT_EQ(purgeInput(*link, 5000, 100, rc.ctx), 0);
  EXPECT_EQ(readCommandBlock(*link, 0, 22000, block, rc.ctx), 22000 + kCommandBlockBadFrame);
}

}  // namespace
}  // namespace tarnlux
