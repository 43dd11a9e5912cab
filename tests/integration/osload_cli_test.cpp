// "tarnlux-cli osload" against the simulated meter's boot loader: the two
// handshakes, retries, refusals, too many attempts, Ctrl-C, the speed question.

#include <gtest/gtest.h>

#include <csignal>
#include <map>
#include <string>
#include <vector>

#include "cli_process.h"
#include "meter_process.h"
#include "test_context.h"

namespace tarnlux {
namespace {

using test::MeterProcess;

struct LoadRun {
  int status = -1;
  std::string err;
  std::map<std::string, std::string> keys;
};

LoadRun osload(const std::string& link, const std::string& file, std::vector<std::string> extra,
               const test::CliOptions& options = {}) {
  std::vector<std::string> args = {"--link", link, "osload", file};
  args.insert(args.end(), extra.begin(), extra.end());
  const test::CliRun cli = test::runCli(args, options);
  LoadRun run{cli.status, cli.err, {}};
  run.keys = test::keyValueLines(cli.out);
  return run;
}

std::string image(std::size_t size) {
  std::string data(size, '\0');
  for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<char>(i * 31 + (i >> 8));
  return data;
}

TEST(OsLoadVerb, LoadsThroughRetriesAndEndsAsTheMeterSays) {
  struct Case {
    const char* fault;
    int status;
    const char* blocks;
    const char* retries;
    std::string statusText;
  } cases[] = {
      {"", 0, "3", "0", "Env fichier syst exploit OK"},
      {"boot-confirm", 0, "3", "0", "Env fichier syst exploit OK"},
      {"boot-corrupt=2", 0, "3", "1", "Env fichier syst exploit OK"},
      {"boot-drop=3", 0, "3", "1", "Env fichier syst exploit OK"},
      {"boot-refuse", 1, "0", "0", "Envoi fichier annule par compteur - Image rejected"},
      {"boot-refuse=bare", 1, "0", "0", "Envoi fichier annule par compteur"},
      {"boot-nak", 1, "0", "9", "Erreur envoi fichier systeme d'exploitation. Trop de tentatives "},
  };
  test::TempDir dir;
  const std::string file = dir.file("image.fsh");
  test::writeWholeFile(file, image(300));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    MeterProcess meter;
    std::vector<std::string> faults;
    if (*c.fault != '\0') faults = {"--fault", c.fault};
    ASSERT_TRUE(meter.startTcp(faults)) << meter.error();
    LoadRun run = osload("tcp:127.0.0.1:" + std::to_string(meter.tcpPort()), file, {"--clock", "fast"});
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_EQ(run.keys["blocks"], c.blocks);
    EXPECT_EQ(run.keys["bytes"], c.status == 0 ? "300" : "0");
    EXPECT_EQ(run.keys["retries"], c.retries);
    EXPECT_EQ(run.keys["status"], c.statusText);
    if (c.status != 0) {
      EXPECT_NE(run.err.find(c.statusText), std::string::npos) << run.err;
    }
  }
}

TEST(OsLoadVerb, SlowSerialLineAsksAndCtrlCStops) {
  MeterProcess meter;
  ASSERT_TRUE(meter.startPty({"--line", "9600-8-A-1", "--line-rate"})) << meter.error();
  const std::string link = "serial:" + meter.ptyPath() + ":9600-8-A-1";
  test::TempDir dir;
  const std::string file = dir.file("image.fsh");
  test::writeWholeFile(file, image(130));

  // Without --yes the question is answered Cancel: nothing is sent.
  // Real time: at 9600 baud a block takes 137 ms, longer than a fast reply time-out.
  LoadRun run = osload(link, file, {});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Vitesse transmission inferieure a 38400"), std::string::npos) << run.err;
  EXPECT_TRUE(run.keys.empty());

  run = osload(link, file, {"--yes"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.keys["blocks"], "2");
  EXPECT_EQ(run.keys["bytes"], "130");

  // 20 kB take about 23 s at 9600 baud: Ctrl-C stops the load with CAN CAN,
  // and the meter takes the next load from its prompt.
  test::writeWholeFile(file, image(20000));
  test::CliOptions interrupt;
  interrupt.interruptAfterMs = 5000;
  run = osload(link, file, {"--yes"}, interrupt);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.keys["status"], "Envoi fichier annule");
  EXPECT_NE(run.err.find("Envoi fichier annule"), std::string::npos);
  test::writeWholeFile(file, image(1));
  run = osload(link, file, {"--yes"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.keys["blocks"], "1");
}

TEST(OsLoadVerb, FileFaultsAndUsage) {
  MeterProcess meter;
  ASSERT_TRUE(meter.startTcp()) << meter.error();
  const std::string link = "tcp:127.0.0.1:" + std::to_string(meter.tcpPort());
  test::TempDir dir;
  LoadRun run = osload(link, dir.file("missing.fsh"), {});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Impossible ouvrir fichier: "), std::string::npos) << run.err;
  run = osload(link, dir.path().substr(0, dir.path().size() - 1), {});  // a directory is no file
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Impossible ouvrir fichier: "), std::string::npos) << run.err;
  EXPECT_EQ(osload(link, "a.fsh", {"b.fsh"}).status, 2);
  EXPECT_EQ(osload(link, "a.fsh", {"--yes", "--yes"}).status, 2);
}

}  // namespace
}  // namespace tarnlux
