// The AGA8 table written into the simulated gas meter and read back.

#include "calc/aga8_meter_table.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "link/typed_read.h"
#include "meter_process.h"
#include "test_context.h"

namespace tarnlux {
namespace {

constexpr int kSite = 4;  // the four-path gas meter's table lives in its site slot

// Shaped like a natural gas table: 253.15..333.15 K, 100..1000 psia.
Aga8Results gasTable() {
  Aga8Results results;
  results.minimumTemperature = 253.15;
  results.maximumTemperature = 333.15;
  results.minimumPressure = 100.0 * 6894.75729;
  results.maximumPressure = 1000.0 * 6894.75729;
  for (std::size_t i = 0; i < 100; ++i) {
    results.table.Rhof[i] = 5.59946 * static_cast<double>(i % 10 + 1) * (1.0 - 0.0261 * (i / 10));
    results.table.Zf[i] = 0.981071 - 0.0189 * static_cast<double>(i % 10) + 0.0015 * (i / 10);
  }
  return results;
}

class Aga8TableToMeter : public ::testing::TestWithParam<bool> {
 protected:
  // Over TCP, or over the pseudo-terminal when the parameter is set.
  void start(const std::string& faults = {}) {
    std::vector<std::string> args = {"--profile", "gas4"};
    if (!faults.empty()) args.insert(args.end(), {"--fault", faults});
    const bool pty = GetParam();
    ASSERT_TRUE(pty ? meter.startPty(args) : meter.startTcp(args)) << meter.error();
    LinkSettings settings;
    settings.portName = pty ? meter.ptyPath() : kTcpPortName;
    settings.dataBits = 8;
    settings.parityCode = 0;
    settings.ipAddress = "127.0.0.1";
    settings.ipPort = static_cast<std::uint16_t>(meter.tcpPort());
    settings.portMissing = 0;
    ASSERT_EQ(link->openLink(settings, false, 5000, rc.ctx), 0) << rc.lastError();
    // As the connect step leaves it: this meter takes its input at line speed.
    link->meterFlags = 0x403FF;
    rc.ctx.clock = &fast;  // twenty-one drains wait 3 s of quiet each
    rc.ctx.progress = &progress;
    rc.ctx.pump = [this] {
      if (stopAt > 0 && ++pumps >= stopAt) rc.cancel = 1;
    };
  }

  Aga8TableSendOutcome send() {
    ChannelFacts facts;
    facts.multiPath = true;
    const PasswordDialog dialog = [this](std::string_view meterPassword, std::string&) {
      shownPassword = std::string(meterPassword);
      return cancelDialog ? static_cast<int>(kCancelled) : 0;
    };
    return sendAga8TableToMeter(*link, table, facts, dialog, rc.ctx);
  }

  double meterValue(const char* element) {
    double value = -1.0;
    EXPECT_EQ(readDouble(*link, element, kSite, value, rc.ctx), 0) << rc.lastError();
    return value;
  }

  void TearDown() override {
    OperationContext closing;
    closing.quiet = true;
    link->closeLink(false, closing);
    meter.stop();
  }

  test::MeterProcess meter;
  std::unique_ptr<MeterLink> link = std::make_unique<MeterLink>();
  test::RecordingContext rc;
  ScaledClock fast{20.0};
  ProgressLine progress{[this](const std::string& text) {
    if (firstStatus.empty()) firstStatus = text;
  }};
  std::string firstStatus;
  Aga8MeterTable table = buildAga8MeterTable(gasTable(), kSite);
  int pumps = 0;
  int stopAt = 0;
  bool cancelDialog = false;
  std::string shownPassword;
};

TEST_P(Aga8TableToMeter, WholeTableIsWrittenAndVerified) {
  start();
  const Aga8TableSendOutcome outcome = send();
  EXPECT_EQ(outcome.end, Aga8TableSendEnd::Verified) << rc.lastError();
  EXPECT_EQ(outcome.status, "Enreg donnees OK");
  EXPECT_TRUE(rc.errors.empty()) << rc.lastError();
  EXPECT_EQ(shownPassword, "GAS4PASS");
  EXPECT_EQ(firstStatus, "Enreg tableau AGA8 vers compteur. Patientez....|");
  // The meter now holds what was sent, as six-digit figures.
  EXPECT_EQ(meterValue("temp_grid[9]"), 333.15);
  EXPECT_EQ(meterValue("dens_grid[57]"), table.densities[57]);
  EXPECT_EQ(meterValue("z_grid[99]"), table.compressibilities[99]);
}

INSTANTIATE_TEST_SUITE_P(TcpAndPty, Aga8TableToMeter, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& param) {
                           return param.param ? "Pty" : "Tcp";
                         });

// Faults and outcomes that do not depend on the line.
class Aga8TableOverTcp : public Aga8TableToMeter {};

TEST_P(Aga8TableOverTcp, ListingOneValueShortIsACorruptMemory) {
  start("table-short=dens_grid");
  const Aga8TableSendOutcome outcome = send();
  EXPECT_EQ(outcome.end, Aga8TableSendEnd::ListingCorrupt);
  EXPECT_STREQ(outcome.array, "dens_grid");
  EXPECT_EQ(outcome.status, "");
  EXPECT_EQ(rc.errors,
            std::vector<std::string>{
                "Memoire tableau AGA8 compteur corrompue(reerengistrer) - Code d'erreur: 21027"});
}

TEST_P(Aga8TableOverTcp, DifferingValueEndsTheVerificationAtItsArray) {
  // The pressure axis differs: the density grid, listed short, is never read.
  start("table-off=pres_grid,table-short=dens_grid");
  const Aga8TableSendOutcome outcome = send();
  EXPECT_EQ(outcome.end, Aga8TableSendEnd::ValueDiffers);
  EXPECT_STREQ(outcome.array, "pres_grid");
  EXPECT_EQ(outcome.status, "");
  EXPECT_EQ(rc.errors, std::vector<std::string>{"Erreur de confirmation de memoire du tableau "
                                                "AGA8 du compteur (reenregistrer les donnees)"});
}

TEST_P(Aga8TableOverTcp, StopAndACancelledPasswordEndWithTheirStatus) {
  start();
  cancelDialog = true;
  Aga8TableSendOutcome outcome = send();
  EXPECT_EQ(outcome.end, Aga8TableSendEnd::PasswordCancelled);
  EXPECT_EQ(outcome.status, "Enreg donnees arr.");
  ASSERT_EQ(purgeInput(*link, 5000, 100, rc.ctx), 0);
  EXPECT_EQ(meterValue("temp_grid[0]"), 0.0) << "nothing sent";

  cancelDialog = false;
  stopAt = 100;  // some passes into the lines
  outcome = send();
  EXPECT_EQ(outcome.end, Aga8TableSendEnd::Stopped);
  EXPECT_EQ(outcome.status, "Enreg donnees interr - Impossible conf enreg");
  EXPECT_FALSE(outcome.disconnect());
  EXPECT_TRUE(rc.errors.empty()) << rc.lastError();
}

TEST_P(Aga8TableOverTcp, OneDroppedConnectionIsMendedAndALaterOneEndsTheLink) {
  start("drop=1");  // right after the probe: the password step reconnects
  EXPECT_EQ(send().end, Aga8TableSendEnd::Verified) << rc.lastError();
  TearDown();
  start("drop=6");  // in the middle of the lines
  const Aga8TableSendOutcome outcome = send();
  EXPECT_TRUE(outcome.disconnect());
  EXPECT_EQ(outcome.status, "");
  EXPECT_FALSE(rc.errors.empty());
}

INSTANTIATE_TEST_SUITE_P(Tcp, Aga8TableOverTcp, ::testing::Values(false),
                         [](const ::testing::TestParamInfo<bool>&) { return "Tcp"; });

}  // namespace
}  // namespace tarnlux
