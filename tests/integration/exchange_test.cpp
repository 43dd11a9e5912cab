// The command exchange against the simulated meter, over loopback TCP and over
// a pseudo-terminal.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "link/exchange.h"
#include "link/transport.h"
#include "link/typed_read.h"
#include "meter_process.h"
#include "stepping_clock.h"
#include "test_context.h"

namespace tarnlux {
namespace {

using test::MeterProcess;
using test::RecordingContext;

enum class Over { Tcp, Pty };

class ExchangeWithMeter : public ::testing::TestWithParam<Over> {
 protected:
  // Starts the meter with `extra` options and opens the link to it.
  void connect(const std::vector<std::string>& extra = {}) {
    const bool started = GetParam() == Over::Tcp ? meter.startTcp(extra) : meter.startPty(extra);
    ASSERT_TRUE(started) << meter.error();
    LinkSettings settings;
    if (GetParam() == Over::Tcp) {
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
    ASSERT_EQ(link->openLink(settings, false, 5000, rc.ctx), 0) << rc.lastError();
  }

  void TearDown() override {
    OperationContext closing;
    closing.quiet = true;
    link->closeLink(false, closing);
    meter.stop();
  }

  // Long time-outs (50 s answers, 3 s quiet times) pass quickly. A serial line
  // paces commands at 5 ms a character in real time, so its send time-out
  // (2 s + 5 ms a character) must not shrink below that.
  void accelerate(double factor) {
    if (GetParam() == Over::Pty) factor = std::min(factor, 20.0);
    clock = std::make_unique<ScaledClock>(factor);
    rc.ctx.clock = clock.get();
  }

  MeterProcess meter;
  std::unique_ptr<MeterLink> link = std::make_unique<MeterLink>();
  RecordingContext rc;
  std::unique_ptr<ScaledClock> clock;
};

TEST_P(ExchangeWithMeter, ProbeThenEveryTypedRead) {
  connect();
  ASSERT_EQ(resyncPrompt(*link, 0, true, true, ChannelFacts{}, rc.ctx), 0) << rc.lastError();

  std::uint32_t status = 0;
  EXPECT_EQ(readUnsigned(*link, "abar", "unsigned", 0, status, false, rc.ctx), 0);
  EXPECT_EQ(status, 0x3FFu);
  std::int32_t state = 0;
  EXPECT_EQ(readIntInRange(*link, "cv", "make_state", "short", 0, kMakeStateRange, state, rc.ctx), 0);
  EXPECT_EQ(state, 6);
  std::int32_t fx = 0;
  EXPECT_EQ(readIntInRange(*link, "cv", "fx", "int", 0, kFxRange, fx, rc.ctx), 0);
  EXPECT_EQ(fx, 64);
  double total = 0;
  EXPECT_EQ(readDouble(*link, "mtotal", 0, total, rc.ctx), 0);
  EXPECT_EQ(total, 1234567.8);
  std::string legend;
  EXPECT_EQ(readText(*link, "flegend", 0, legend, false, rc.ctx), 0);
  EXPECT_EQ(legend, "GAL/MIN");
  std::string raw;
  std::string display;
  EXPECT_EQ(readMeterId(*link, 0, raw, display, rc.ctx), 0);
  EXPECT_EQ(raw, "LIQ01234");
  EXPECT_TRUE(rc.errors.empty()) << rc.lastError();
}

TEST_P(ExchangeWithMeter, ChannelWaitSeesAMeasuringChannel) {
  connect();
  ChannelStateWords words;
  words.failedMask = 0x1;
  EXPECT_EQ(resyncPrompt(*link, 0, false, false, ChannelFacts{false, &words}, rc.ctx), 0) << rc.lastError();
  EXPECT_EQ(words.failedMask, 0);
}

TEST_P(ExchangeWithMeter, SplitAnswersAreStillRead) {
  connect({"--fault", "split"});
  ASSERT_EQ(purgeInput(*link, 5000, 50, rc.ctx), 0);
  for (int i = 0; i < 3; ++i) {
    std::uint32_t status = 0;
    EXPECT_EQ(readUnsigned(*link, "abar", "unsigned", 0, status, false, rc.ctx), 0) << rc.lastError();
    EXPECT_EQ(status, 0x3FFu);
    std::string legend;
    EXPECT_EQ(readText(*link, "flegend", 0, legend, false, rc.ctx), 0) << rc.lastError();
    EXPECT_EQ(legend, "GAL/MIN");
  }
}

TEST_P(ExchangeWithMeter, MenuScreenIsLeftAndTheSecondProbeSucceeds) {
  connect({"--fault", "menu"});
  accelerate(200.0);
  EXPECT_EQ(resyncPrompt(*link, 0, true, false, ChannelFacts{}, rc.ctx), 0) << rc.lastError();
  EXPECT_TRUE(rc.errors.empty());
  // Back at the prompt, reads work again.
  std::uint32_t status = 0;
  EXPECT_EQ(readUnsigned(*link, "abar", "unsigned", 0, status, false, rc.ctx), 0) << rc.lastError();
}

TEST_P(ExchangeWithMeter, NeverQuietMeterMakesThePurgeFail) {
  connect({"--fault", "continuous"});
  // The meter's lines come 20 ms apart. Time counts the purge's passes (each
  // waits at most 10 ms), so the quiet of 100 passes never comes unless the
  // meter stalls for a second, which a loaded machine does not make it do.
  test::SteppingClock passes(1);
  rc.ctx.clock = &passes;
  EXPECT_EQ(purgeInput(*link, 400, 100, rc.ctx), kTimeout);
  EXPECT_EQ(rc.errors, std::vector<std::string>{"Impossible de purger le tampon - Donnees continues recues"});
}

TEST_P(ExchangeWithMeter, SilentMeterTimesOutWithNoAnswer) {
  connect({"--fault", "silent"});
  // The command goes out at real speed (a serial line paces it in real time
  // against its send time-out), then the 50 s answer wait passes quickly.
  test::LateFastClock late(2500, 100.0);
  if (GetParam() == Over::Pty)
    rc.ctx.clock = &late;
  else
    accelerate(100.0);
  std::uint32_t status = 0;
  EXPECT_EQ(readUnsigned(*link, "abar", "unsigned", 0, status, false, rc.ctx), kTimeout);
  EXPECT_EQ(rc.errors, std::vector<std::string>{"Pas de reponse du compteur"});
}

TEST_P(ExchangeWithMeter, EchoWithoutTheAnswerTimesOutAsUnexpectedData) {
  connect({"--fault", "delay=5000"});
  accelerate(100.0);  // the 50 s answer time-out passes before the answer
  std::uint32_t status = 0;
  EXPECT_EQ(readUnsigned(*link, "abar", "unsigned", 0, status, false, rc.ctx), kTimeout);
  EXPECT_EQ(rc.errors, std::vector<std::string>{"Donnees anticipees non recues"});
}

TEST_P(ExchangeWithMeter, NoiseBeforeTheAnswersIsSkipped) {
  connect({"--fault", "garbage"});
  for (int i = 0; i < 5; ++i) {
    std::int32_t state = 0;
    EXPECT_EQ(readInt(*link, "cv", "make_state", "short", 0, state, 10, rc.ctx), 0) << rc.lastError();
    EXPECT_EQ(state, 6);
  }
}

TEST_P(ExchangeWithMeter, DroppedLineFailsAtOnceWithTheTransportCode) {
  connect({"--fault", "drop=1"});
  std::int32_t state = 0;
  ASSERT_EQ(readInt(*link, "cv", "make_state", "short", 0, state, 10, rc.ctx), 0) << rc.lastError();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the meter hangs up after its answer
  const auto start = std::chrono::steady_clock::now();
  const int result = readInt(*link, "cv", "make_state", "short", 0, state, 10, rc.ctx);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  EXPECT_GT(result, 0);
  ASSERT_EQ(rc.errors.size(), 1u);
  // TCP sees the hang-up on the receive, a pseudo-terminal already on the send.
  EXPECT_EQ(rc.errors[0], (result == kSockNotConnected ? "Impossible de recevoir des donnees"
                                                        : "Impossible d'envoyer commande") +
                              std::string(" - Code d'erreur: ") + std::to_string(result));
}

TEST_P(ExchangeWithMeter, CancelDuringAWaitIsSilent) {
  connect({"--fault", "silent"});
  const auto start = std::chrono::steady_clock::now();
  rc.ctx.pump = [&] {
    if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(200)) rc.cancel = 1;
  };
  std::uint32_t status = 0;
  EXPECT_EQ(readUnsigned(*link, "abar", "unsigned", 0, status, false, rc.ctx), kCancelled);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  EXPECT_TRUE(rc.errors.empty());
}

TEST_P(ExchangeWithMeter, CollectedAnswerLinesComeNewestFirstWithoutTheEcho) {
  connect();
  ASSERT_EQ(resyncPrompt(*link, 0, true, false, ChannelFacts{}, rc.ctx), 0) << rc.lastError();
  // The memory-block meter ends its query answers with ETX.
  ASSERT_EQ(sendCommand(*link, "qg 400\r", kSendBaseTimeoutMs, rc.ctx), 0);
  CollectedLines out;
  ASSERT_EQ(collectLines(*link, "qg 400\r", kAnswerTimeoutMs, out, rc.ctx), 0) << rc.lastError();
  ASSERT_GE(out.lines.size(), 2u);
  EXPECT_EQ(out.lines.front().rfind("LIQ01234,", 0), 0u) << out.lines.front();
  for (const std::string& line : out.lines) {
    EXPECT_EQ(line.find("qg 400"), std::string::npos);
    EXPECT_LE(line.size(), out.longest);
  }
}

INSTANTIATE_TEST_SUITE_P(Links, ExchangeWithMeter, ::testing::Values(Over::Tcp, Over::Pty),
                         [](const ::testing::TestParamInfo<Over>& param) {
                           return param.param == Over::Tcp ? "Tcp" : "Pty";
                         });

// Only a serial line has XON/XOFF: a meter that holds it makes the send fail in time.
TEST(ExchangeOverPty, MeterHoldingXoffMakesTheSendFail) {
  MeterProcess meter;
  ASSERT_TRUE(meter.startPty({"--fault", "xoff-hold"})) << meter.error();
  RecordingContext rc;
  auto link = std::make_unique<MeterLink>();
  LinkSettings settings;
  settings.portName = meter.ptyPath();
  settings.dataBits = 8;
  settings.parityCode = 0;
  settings.flowControl = 1;
  ASSERT_EQ(link->openLink(settings, false, 5000, rc.ctx), 0) << rc.lastError();
  // The hold comes with the meter's first output; let it arrive.
  rc.ctx.quiet = true;
  purgeInput(*link, 1000, 200, rc.ctx);
  rc.ctx.quiet = false;
  ScaledClock fast(10.0);
  rc.ctx.clock = &fast;
  EXPECT_EQ(sendCommand(*link, "cv 0 abar\r", kSendBaseTimeoutMs, rc.ctx), kTimeout);
  EXPECT_EQ(rc.errors, std::vector<std::string>{"Impossible d'envoyer commande"});
  OperationContext closing;
  closing.quiet = true;
  link->closeLink(false, closing);
}

}  // namespace
}  // namespace tarnlux
