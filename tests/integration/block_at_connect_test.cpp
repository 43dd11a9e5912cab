// What the meter holds in its memory block survives the connect, the naming
// step and the program's own writes, whatever went wrong on the way: a lost
// read at connect, a refused or unconfirmed save.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "cli_process.h"
#include "diag/query_loop.h"
#include "link/connect.h"
#include "link/meter_block_save.h"
#include "meter_process.h"
#include "test_context.h"

namespace tarnlux {
namespace {

using test::MeterProcess;
using test::RecordingContext;

// A block a site has carried for a while: its own limits and every text but
// the name.
const std::string kSiteBlock =
    "35,25,25.5,12,0.75,0.9,50,30,90,50,30,40,30,20,0.02,0.05,2,4,0.25,0.5,"
    "{NAME},SP-1,SS-2,01-02-24,FP-3,FS-4,03-04-26,10:11";

// The liquid meter with `block` in its channel 1 block (and a password, and
// room for `capacity` characters).
std::string siteProfile(const test::TempDir& dir, const std::string& block,
                        const std::string& password = "", int capacity = 512) {
  std::string text = test::readWholeFile(
      (std::filesystem::path(__FILE__).parent_path() / "../../src/meter/profiles/liquid1.ini")
          .string());
  const auto replace = [&text](const std::string& from, const std::string& to) {
    text.replace(text.find(from), from.size(), to);
  };
  replace("qmmem = char[512]", "qmmem = char[" + std::to_string(capacity) + "] " + block);
  if (!password.empty()) replace("pw = char[8] \"        \"", "pw = char[8] \"" + password + "\"");
  const std::string path = dir.file("site.ini");
  test::writeWholeFile(path, text);
  return path;
}

std::string named(const std::string& name) {
  std::string block = kSiteBlock;
  block.replace(block.find("{NAME}"), 6, name);
  return block;
}

class BlockAtConnect : public ::testing::Test {
 protected:
  void start(const std::vector<std::string>& args) {
    ASSERT_TRUE(meter.startTcp(args)) << meter.error();
    settings.portName = kTcpPortName;
    settings.ipAddress = "127.0.0.1";
    settings.ipPort = static_cast<std::uint16_t>(meter.tcpPort());
    settings.portMissing = 0;
    rc.ctx.clock = &fast;  // the 50 s block wait and the 3 s purges
    const ChooseChannel choose = [](unsigned) { return 0; };
    ASSERT_EQ(connectToMeter(link, settings, facts, block, choose, outcome, rc.ctx), 0)
        << rc.lastError();
  }

  // What the meter holds, as a script sees it.
  std::map<std::string, std::string> meterHolds() {
    const test::CliRun run = test::runCli(
        {"--link", "tcp:127.0.0.1:" + std::to_string(meter.tcpPort()), "block", "read"});
    EXPECT_EQ(run.status, 0) << run.err;
    std::map<std::string, std::string> keys;
    std::size_t start = 0;
    for (std::size_t end; (end = run.out.find('\n', start)) != std::string::npos; start = end + 1) {
      const std::string line = run.out.substr(start, end - start);
      const std::size_t eq = line.find('=');
      if (eq != std::string::npos) keys[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return keys;
  }

  void TearDown() override {
    OperationContext closing;
    closing.quiet = true;
    link.closeLink(false, closing);
    meter.stop();
  }

  test::TempDir dir;
  MeterProcess meter;
  LinkSettings settings;
  MeterLink link;
  MeterFacts facts;
  MeterBlockStore block;
  ConnectOutcome outcome;
  RecordingContext rc;
  ScaledClock fast{20.0};
};

TEST_F(BlockAtConnect, NamingAfterALostReadKeepsWhatTheMeterHolds) {
  for (const char* fault : {"block-silent", "block-drop"}) {
    SCOPED_TRACE(fault);
    start({"--profile", siteProfile(dir, named("")), "--fault", fault});
    ASSERT_TRUE(outcome.blockRead);
    ASSERT_NE(outcome.blockReadResult, 0);
    ASSERT_FALSE(outcome.nameInBlock);
    // Nothing is known of the block yet: the defaults are in force.
    EXPECT_EQ(block.working.limits.transitTime.alc, (IntLimitPair{30, 20}));

    std::vector<std::string> shown;
    ProgressLine progress([&shown](const std::string& text) { shown.push_back(text); });
    rc.ctx.progress = &progress;
    ASSERT_EQ(storeSiteName(link, "NORTH", facts, block, rc.ctx), 0) << rc.lastError();
    for (const std::string& text : shown) {
      EXPECT_EQ(text.find("ecriture des valeurs"), std::string::npos) << text;
    }
    // From now on the meter's own limits grade.
    EXPECT_EQ(block.working.limits.transitTime.alc, (IntLimitPair{35, 25}));
    EXPECT_EQ(block.working.limits.transitTime.snr, (RealLimitPair{25.5, 12}));

    auto held = meterHolds();
    EXPECT_EQ(held["location"], "NORTH");
    EXPECT_EQ(held["limit.alc.warning"], "35");
    EXPECT_EQ(held["limit.snr.fail"], "12");
    EXPECT_EQ(held["spool_part_number"], "SP-1");
    EXPECT_EQ(held["flowmeter_serial_number"], "FS-4");
    EXPECT_EQ(held["manufacture_date"], "01-02-24");
    EXPECT_EQ(held["last_report_date"], "03-04-26");
    EXPECT_EQ(held["last_report_time"], "10:11");
    TearDown();
    rc.ctx.progress = nullptr;
  }
}

TEST_F(BlockAtConnect, LimitsInForceAreTheMetersWheneverTheBlockWasRead) {
  // Named already: no naming step, and still the meter's limits.
  start({"--profile", siteProfile(dir, named("SOUTH"))});
  ASSERT_TRUE(outcome.nameInBlock);
  EXPECT_EQ(block.working, block.state.block);
  EXPECT_EQ(block.working.limits.transitTime.alc, (IntLimitPair{35, 25}));
  EXPECT_EQ(block.working.info.spoolSerialNumber, "SS-2");
}

TEST_F(BlockAtConnect, OnlyAnEmptyOrUnreadableBlockIsReplacedAndTheUserIsTold) {
  const struct {
    const char* block;
    const char* status;
  } cases[] = {
      {"", kFreshBlockForEmptyText},
      {"35,2x,25.5", kFreshBlockForUnreadableText},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.block);
    start({"--profile", siteProfile(dir, c.block)});
    std::vector<std::string> shown;
    ProgressLine progress([&shown](const std::string& text) { shown.push_back(text); });
    rc.ctx.progress = &progress;
    rc.errors.clear();
    ASSERT_EQ(storeSiteName(link, "WEST", facts, block, rc.ctx), 0) << rc.lastError();
    EXPECT_TRUE(rc.errors.empty()) << "a corrupt block was reported by the connect already";
    EXPECT_TRUE(std::any_of(shown.begin(), shown.end(),
                            [&](const std::string& text) { return text.rfind(c.status, 0) == 0; }));
    auto held = meterHolds();
    EXPECT_EQ(held["location"], "WEST");
    EXPECT_EQ(held["limit.alc.fail"], "20");
    TearDown();
    rc.ctx.progress = nullptr;
    block = MeterBlockStore{};
  }
}

TEST_F(BlockAtConnect, ASaveTheMeterDidNotTakeLeavesTheStampWithTheMetersLimits) {
  start({"--profile", siteProfile(dir, named("EAST"), "SECRET12", 160)});
  const MeterBlockFields meters = block.state.block;
  MeterBlockFields staging = block.working;
  staging.limits.transitTime.snr = {40, 30};

  // Refused at the password, then sent but not confirmed (the meter holds
  // less than the program believes).
  int code = 0;
  const PasswordDialog refuse = [](std::string_view, std::string&) { return kCancelled; };
  EXPECT_EQ(saveMeterBlock(link, 0, facts, block, staging, refuse, rc.ctx, code),
            BlockSaveEnd::Refused);
  EXPECT_STREQ(blockSaveStatusText(BlockSaveEnd::Refused), "Enreg donnees arr.");
  const PasswordDialog accept = [](std::string_view, std::string& change) {
    change.clear();
    return 0;
  };
  staging.info.spoolPartNumber = std::string(31, 'S');
  staging.info.flowmeterPartNumber = std::string(31, 'F');
  staging.info.spoolSerialNumber = std::string(16, 'N');
  staging.info.flowmeterSerialNumber = std::string(16, 'N');
  const std::size_t capacity = block.state.capacity;
  block.state.capacity = 1000;
  EXPECT_EQ(saveMeterBlock(link, 0, facts, block, staging, accept, rc.ctx, code),
            BlockSaveEnd::Failed);
  EXPECT_EQ(code, kBlockNotConfirmed) << "the meter refuses a text longer than it holds";
  block.state.capacity = capacity;
  EXPECT_EQ(block.state.block, meters);
  EXPECT_EQ(block.working, meters);

  // The capture's stamp carries the meter's limits, not the edits.
  LinkQueryLoopMeter loopMeter(link, facts, block, outcome);
  ASSERT_EQ(loopMeter.recordCaptureStart({true, "12-09-26", "11:42"}, rc.ctx), 0) << rc.lastError();
  auto held = meterHolds();
  EXPECT_EQ(held["limit.snr.warning"], "25.5");
  EXPECT_EQ(held["spool_part_number"], "SP-1");
  EXPECT_EQ(held["last_report_time"], "11:42");

  // A confirmed save is what changes the live values.
  staging = block.working;
  staging.limits.transitTime.snr = {40, 30};
  EXPECT_EQ(saveMeterBlock(link, 0, facts, block, staging, accept, rc.ctx, code),
            BlockSaveEnd::Saved);
  EXPECT_EQ(block.working.limits.transitTime.snr, (RealLimitPair{40, 30}));
  EXPECT_EQ(meterHolds()["limit.snr.warning"], "40");
  EXPECT_EQ(saveMeterBlock(link, 0, facts, block, staging, accept, rc.ctx, code),
            BlockSaveEnd::NothingToSend);
}

}  // namespace
}  // namespace tarnlux
