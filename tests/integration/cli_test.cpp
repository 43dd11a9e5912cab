// tarnlux-cli against the simulated meter: the output forms and exit statuses
// scripts rely on.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "cli_process.h"
#include "common/version.h"
#include "meter_process.h"
#include "test_context.h"

namespace tarnlux {
namespace {

using test::CliRun;
using test::MeterProcess;

// Runs tarnlux-cli with `args`; sends SIGINT after `interruptAfterMs` when >= 0.
CliRun runCli(const std::vector<std::string>& args, int interruptAfterMs = -1) {
  test::CliOptions options;
  options.interruptAfterMs = interruptAfterMs;
  options.limitMs = 30000;
  return test::runCli(args, options);
}

class CliWithMeter : public ::testing::Test {
 protected:
  void start(const std::vector<std::string>& extra = {}) {
    ASSERT_TRUE(meter.startTcp(extra)) << meter.error();
    link = "tcp:127.0.0.1:" + std::to_string(meter.tcpPort());
  }
  CliRun cli(std::vector<std::string> args, int interruptAfterMs = -1) {
    args.insert(args.begin(), {"--link", link});
    return runCli(args, interruptAfterMs);
  }

  MeterProcess meter;
  std::string link;
};

TEST_F(CliWithMeter, ProbeSucceedsSilently) {
  start();
  const CliRun run = cli({"probe"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "");
}

TEST_F(CliWithMeter, ReadPrintsTheValueAloneForEveryType) {
  start();
  const struct {
    std::vector<std::string> args;
    std::string out;
  } cases[] = {
      {{"read", "unsigned", "abar", "0"}, "1023\n"},
      {{"read", "short", "make_state", "0"}, "6\n"},
      {{"read", "int", "fx", "0"}, "64\n"},
      {{"read", "double", "mtotal", "0"}, "1234567.8\n"},
      {{"read", "text", "flegend", "0"}, "GAL/MIN\n"},
      {{"read", "id", "id", "0"}, "LIQ01234\n"},
  };
  for (const auto& c : cases) {
    const CliRun run = cli(c.args);
    EXPECT_EQ(run.status, 0) << c.args[1] << ": " << run.err;
    EXPECT_EQ(run.out, c.out) << c.args[1];
    EXPECT_EQ(run.err, "");
  }
}

TEST_F(CliWithMeter, SendPrintsWhatTheMeterAnswers) {
  start();
  const CliRun run = cli({"--quiet-ms", "300", "send", "cv 0 make_state"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("make_state"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("6"), std::string::npos) << run.out;
}

TEST_F(CliWithMeter, SettingsFileOfTheProgramDirectoryIsUsed) {
  start();
  test::TempDir dir;
  test::writeWholeFile(dir.file("qm.cfg"), "[COMMUNICATIONS]\r\nPORT=TCP/IP\r\nIP_ADDRESS=127.0.0.1\r\nIP_PORT=" +
                                              std::to_string(meter.tcpPort()) + "\r\n");
  const CliRun run = runCli({"--dir", dir.path(), "read", "short", "make_state", "0"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "6\n");
}

TEST_F(CliWithMeter, FailurePrintsTheErrorBoxTextAndExitsOne) {
  start();
  // A blank text value is refused by the text rule.
  CliRun run = cli({"read", "text", "id", "1"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "Donnees compt. non valables - Code d'erreur: 21010\n");

  run = cli({"--quiet", "read", "text", "id", "1"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "");
}

TEST_F(CliWithMeter, NoMeterListeningFailsWithTheConnectMessage) {
  start();
  const std::string port = std::to_string(meter.tcpPort());
  meter.stop();
  const CliRun run = runCli({"--link", "tcp:127.0.0.1:" + port, "probe"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err.rfind("Impossible d'etablir connexion au debitmetre", 0), 0u) << run.err;
}

TEST_F(CliWithMeter, CtrlCCancelsWithoutAMessage) {
  start({"--fault", "silent"});
  const auto begin = std::chrono::steady_clock::now();
  const CliRun run = cli({"read", "unsigned", "abar", "0"}, 500);
  EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(10));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "");
}

// The runner the CLI tests share: a child still running at its limit is
// killed rather than left to hang the test.
TEST_F(CliWithMeter, RunnerKillsACliStillRunningAtItsLimit) {
  start({"--fault", "silent"});
  test::CliOptions options;
  options.limitMs = 300;
  const auto begin = std::chrono::steady_clock::now();
  const CliRun run = test::runCli({"--link", link, "read", "unsigned", "abar", "0"}, options);
  EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(5));
  EXPECT_TRUE(run.timedOut);
  EXPECT_EQ(run.status, -1);
}

TEST(Cli, UsageErrorsExitTwoWithTheUsageLine) {
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"fly"},
      {"read", "float", "abar", "0"},
      {"read", "int", "abar"},
      {"read", "int", "abar", "x"},
      {"read", "int", "ab ar", "0"},
      {"send"},
      {"--link", "udp:1.2.3.4:5", "probe"},
      {"--link", "tcp:1.2.3.4", "probe"},
      {"--link", "serial:/dev/ttyS0:9600-9-I-1", "probe"},
      {"--link", "serial:/dev/ttyS0:9601-7-I-1", "probe"},
      {"--quiet-ms", "soon", "send", "x"},
      {"--bogus", "probe"},
  };
  for (const auto& args : bad) {
    const CliRun run = runCli(args);
    std::string joined;
    for (const auto& a : args) joined += a + " ";
    EXPECT_EQ(run.status, 2) << joined;
    EXPECT_NE(run.err.find("see tarnlux-cli --help"), std::string::npos) << joined << run.err;
    EXPECT_EQ(run.out, "") << joined;
  }
}

TEST(Cli, HelpAndVersion) {
  CliRun run = runCli({"--version"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, std::string("tarnlux-cli ") + kProgramVersion + "\n");
  run = runCli({"--help"});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("read TYPE NAME INDEX"), std::string::npos);
}

}  // namespace
}  // namespace tarnlux
