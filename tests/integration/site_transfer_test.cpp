// Site transfers against the simulated meter through the core: Stop, faults
// that must leave the site file as it was, and the serial line.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/clock.h"
#include "common/result.h"
#include "link/transport.h"
#include "meter_process.h"
#include "test_context.h"
#include "transfer/site_session.h"

namespace tarnlux {
namespace {

using test::MeterProcess;
using test::RecordingContext;

class SiteTransferWithMeter : public ::testing::Test {
 protected:
  void connect(const std::vector<std::string>& extra, bool overPty = false) {
    ASSERT_TRUE(overPty ? meter.startPty(extra) : meter.startTcp(extra)) << meter.error();
    LinkSettings settings;
    if (overPty) {
      settings.portName = meter.ptyPath();
      settings.dataBits = 8;
      settings.parityCode = 0;
    } else {
      settings.portName = kTcpPortName;
      settings.ipAddress = "127.0.0.1";
      settings.ipPort = static_cast<std::uint16_t>(meter.tcpPort());
      settings.portMissing = 0;
    }
    // A serial line paces commands in real time: its send time-outs must not shrink as much.
    rc.ctx.clock = overPty ? &serialClock : &clock;
    ASSERT_EQ(link.openLink(settings, false, 5000, rc.ctx), 0) << rc.lastError();
    std::string status;
    ASSERT_EQ(readSiteCatalogue(link, catalogue, status, rc.ctx), 0) << rc.lastError();
  }
  void TearDown() override {
    OperationContext closing;
    closing.quiet = true;
    link.closeLink(false, closing);
    meter.stop();
  }

  // The quiet times of the transfer (3 s, 0.5 s) pass quickly.
  ScaledClock clock{20.0};
  ScaledClock serialClock{4.0};
  MeterProcess meter;
  MeterLink link;
  RecordingContext rc;
  SiteCatalogue catalogue;
  test::TempDir dir;
};

TEST_F(SiteTransferWithMeter, StopDuringDataSendsEtxAndTheMeterCarriesOn) {
  connect({});
  SiteTransferHooks hooks;
  hooks.progress = [this](const SiteProgress& p) {
    if (p.packet == 3) rc.cancel = 1;
  };
  const SiteTransferOutcome outcome = receiveSite(link, catalogue.meter, 5, "PUMP12", dir.path(), "", hooks, rc.ctx);
  EXPECT_EQ(outcome.result, kCancelled);
  EXPECT_EQ(outcome.status, kSiteCancelledText);
  EXPECT_TRUE(rc.errors.empty()) << rc.lastError();
  EXPECT_TRUE(test::filesIn(dir.path()).empty());
  // The meter left its transfer: the next one works from the start.
  rc.cancel = 0;
  const SiteTransferOutcome again = receiveSite(link, catalogue.meter, 5, "PUMP12", dir.path(), "", {}, rc.ctx);
  EXPECT_EQ(again.result, 0) << rc.lastError();
  EXPECT_EQ(again.status, kReceiveOkText);
  EXPECT_EQ(test::filesIn(dir.path()), std::vector<std::string>{"PUMP12.005"});
}

TEST_F(SiteTransferWithMeter, FailuresLeaveAnEarlierFileWhole) {
  const struct {
    const char* fault;
    const char* profile;
    std::string error;
  } cases[] = {
      // Four bad check values on one packet: the transfer stops.
      {"site-bad-check=4", "liquid1", "Erreur paquet - Code d'erreur: 20106"},
      // A lost acknowledgement on a meter that does not number its packets: the
      // repeat reads as a new line, and the verification pass catches it.
      {"site-lose=1", "legacy",
       "Erreur de confirmation des infos du site (reenregistrer les infos du site)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fault);
    meter.stop();
    link.closeLink(false, rc.ctx);
    rc.errors.clear();
    connect({"--profile", c.profile, "--fault", c.fault});
    test::writeWholeFile(dir.file("PUMP12.005"), "GOOD\r\n");
    const SiteTransferOutcome outcome =
        receiveSite(link, catalogue.meter, 5, "PUMP12", dir.path(), "", {}, rc.ctx);
    EXPECT_NE(outcome.result, 0);
    EXPECT_EQ(rc.lastError(), c.error);
    EXPECT_EQ(test::readWholeFile(dir.file("PUMP12.005")), "GOOD\r\n");
    EXPECT_EQ(test::filesIn(dir.path()), std::vector<std::string>{"PUMP12.005"});
  }
}

TEST_F(SiteTransferWithMeter, AFileThatCannotBeWrittenEndsTheTransferButKeepsTheLink) {
  connect({});
  test::writeWholeFile(dir.file("PLAIN"), "x");
  const SiteTransferOutcome failed =
      receiveSite(link, catalogue.meter, 5, "PUMP12", dir.file("PLAIN"), "", {}, rc.ctx);
  EXPECT_NE(failed.result, 0);
  EXPECT_FALSE(failed.transportFailed) << "a local fault does not disconnect";
  EXPECT_EQ(rc.lastError().rfind("Impossible de creer le repertoire, code d'erreur: ", 0), 0u) << rc.lastError();
  rc.errors.clear();
  EXPECT_EQ(receiveSite(link, catalogue.meter, 5, "PUMP12", dir.path(), "", {}, rc.ctx).result, 0)
      << rc.lastError();
}

TEST_F(SiteTransferWithMeter, RoundTripOverSerialLineWithRetries) {
  connect({"--fault", "site-bad-check=2,site-lose=1"}, true);
  ASSERT_EQ(catalogue.sites.size(), 2u);
  const SiteTransferOutcome saved =
      receiveSite(link, catalogue.meter, 12, "TANK 3", dir.path(), "T.012", {}, rc.ctx);
  ASSERT_EQ(saved.result, 0) << rc.lastError();
  EXPECT_EQ(saved.retries, 3);
  EXPECT_EQ(saved.packets, 7);
  const std::string text = test::readWholeFile(saved.filePath);
  EXPECT_EQ(text.rfind("7326L-3.04.02M TANK 3 ", 0), 0u) << text;

  // The site goes back into slot 12 under the file's name.
  const std::string copy = dir.file("COPY.012");
  test::writeWholeFile(copy, text);
  const SiteTransferOutcome sent = sendSite(link, catalogue.meter, copy, {}, rc.ctx);
  EXPECT_EQ(sent.result, 0) << rc.lastError();
  EXPECT_EQ(sent.status, kSendOkText);
  EXPECT_EQ(sent.packets, 7);
}

}  // namespace
}  // namespace tarnlux
