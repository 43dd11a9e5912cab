// tarnlux-cli as a new user meets it: file names that must not lose a log,
// the settings file it must not touch, signals, input rules shared with the
// screens, and the form of its messages.

#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "cli_process.h"
#include "meter_process.h"
#include "test_context.h"

namespace tarnlux {
namespace {

using test::CliRun;
using test::MeterProcess;
using test::TempDir;

std::map<std::string, std::string> keysOf(const std::string& out) {
  std::map<std::string, std::string> keys;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    if (const std::size_t eq = line.find('='); eq != std::string::npos) {
      keys[line.substr(0, eq)] = line.substr(eq + 1);
    }
  }
  return keys;
}

CliRun cli(const std::vector<std::string>& args, const TempDir* config = nullptr, int signal = 0,
           const std::string& interruptOn = {}, int interruptAfterMs = -1) {
  test::CliOptions options;
  options.limitMs = 60000;
  if (config != nullptr) options.environment = {{"XDG_CONFIG_HOME", config->file("config")}};
  options.interruptSignal = signal;
  options.interruptOn = interruptOn;
  options.interruptAfterMs = interruptAfterMs;
  return test::runCli(args, options);
}

std::string tcpLink(const MeterProcess& meter) {
  return "tcp:127.0.0.1:" + std::to_string(meter.tcpPort());
}

std::string joined(const std::vector<std::string>& args) {
  std::string text;
  for (const std::string& a : args) text += a + " ";
  return text;
}

TEST(CliFirstUse, CaptureNeverReplacesAFileSilently) {
  MeterProcess meter;
  ASSERT_TRUE(meter.startTcp()) << meter.error();
  TempDir dir;
  test::writeWholeFile(dir.file("LOG.CSV"), "an earlier log");
  test::writeWholeFile(dir.file("qm.cfg"), "[DIRECTORIES]\r\n");
  const std::vector<std::string> base = {"--link", tcpLink(meter), "--dir", dir.path(),
                                         "capture", "--clock", "fast", "--seconds", "3"};
  for (const char* name : {"LOG.CSV", "qm.cfg"}) {
    std::vector<std::string> args = base;
    args.insert(args.end(), {"--name", name});
    const CliRun run = cli(args, &dir);
    EXPECT_EQ(run.status, 1) << name;
    EXPECT_NE(run.err.find(dir.file(name) + " existe deja.\nVoulez-vous le remplacer ?"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("--overwrite"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "") << "refused before connecting";
  }
  EXPECT_EQ(test::readWholeFile(dir.file("LOG.CSV")), "an earlier log");
  EXPECT_EQ(test::readWholeFile(dir.file("qm.cfg")), "[DIRECTORIES]\r\n");

  std::vector<std::string> args = base;
  args.insert(args.end(), {"--name", "LOG.CSV", "--overwrite"});
  CliRun run = cli(args, &dir);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(test::readWholeFile(dir.file("LOG.CSV")), "an earlier log");

  // Two default names within one minute: both logs kept, named absolutely,
  // even when --dir is relative.
  const std::string relative =
      std::filesystem::relative(dir.path(), std::filesystem::current_path()).string();
  std::vector<std::string> defaults = base;
  defaults[3] = relative;
  const std::string first = keysOf(cli(defaults, &dir).out)["log"];
  const std::string second = keysOf(cli(defaults, &dir).out)["log"];
  ASSERT_FALSE(first.empty());
  EXPECT_NE(first, second);
  EXPECT_EQ(first.rfind(dir.path(), 0), 0u) << first;
  EXPECT_EQ(second.rfind(dir.path(), 0), 0u) << second;
  EXPECT_TRUE(std::filesystem::exists(first) && std::filesystem::exists(second));
}

TEST(CliFirstUse, UsageErrorsHaveOneFormAndQuietSilencesThem) {
  TempDir dir;
  // Nothing listens: every case must be refused before the link is tried.
  const std::string link = "tcp:127.0.0.1:1";
  const std::vector<std::vector<std::string>> bad = {
      {"--link", link, "capture", "--seconds", "3", "--name", "../x.CSV"},
      {"--link", link, "capture", "--seconds", "3", "--name", "sub/x.CSV"},
      {"--link", link, "capture", "--seconds", "3", "--name", "x\ny.CSV"},
      {"--link", link, "capture", "--seconds", "3", "--name", std::string(300, 'x')},
      {"--link", link, "--dir", dir.path(), "capture", "--seconds", "3", "--name",
       std::string(250, 'x')},
      {"--link", link, "capture", "--seconds", "3", "--seconds", "4"},
      {"--link", link, "--channel", "1", "--channel", "2", "identify"},
      {"--link", link, "--link", link, "probe"},
      {"--link", "serial:/dev/null:abc", "probe"},
      {"--link", "serial:/dev/null:9600-9-A-1", "probe"},
      {"aga8", "--comp", "methane=100", "--comp", "ethane=100"},
      {"energy", "--flow", "1", "--flow", "2"},
      {"--dir", dir.file("missing"), "probe"},
  };
  for (const auto& args : bad) {
    SCOPED_TRACE(joined(args));
    const CliRun run = cli(args);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err.rfind("tarnlux-cli: ", 0), 0u) << run.err;
    EXPECT_GE(run.err.size(), 23u);
    EXPECT_EQ(run.err.substr(run.err.size() - 23), "see tarnlux-cli --help\n") << run.err;
    EXPECT_EQ(run.out, "");
    std::vector<std::string> quiet = args;
    quiet.insert(quiet.begin(), "--quiet");
    EXPECT_EQ(cli(quiet).err, "");
  }
  // The part of the line settings that is wrong is named.
  EXPECT_NE(cli(bad[8]).err.find("\"abc\""), std::string::npos);
  EXPECT_NE(cli(bad[9]).err.find("data bits \"9\""), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.file("x")));
}

TEST(CliFirstUse, MeterVerbsOnlyReadTheSettingsFile) {
  TempDir dir;
  // No settings file: said at once, naming --link and the file; none created.
  for (const char* verb : {"probe", "identify"}) {
    const auto begin = std::chrono::steady_clock::now();
    const CliRun run = cli({"--dir", dir.path(), verb});
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(5));
    EXPECT_EQ(run.status, 2) << verb;
    EXPECT_NE(run.err.find("--link"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(dir.file("qm.cfg")), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("qm.cfg")));
  }
  // A file without a port is no link either; a file with a missing device
  // fails on opening it and stays as it was, byte for byte.
  test::writeWholeFile(dir.file("qm.cfg"), "[DIRECTORIES]\r\nDATA_CAPTURE=x\r\n");
  EXPECT_EQ(cli({"--dir", dir.path(), "probe"}).status, 2);
  const std::string damaged = "[COMMUNICATIONS]\nPORT=/dev/tarnlux-no-such-tty\nBAUD_RATE=fast\n";
  test::writeWholeFile(dir.file("qm.cfg"), damaged);
  for (const char* verb : {"probe", "identify"}) {
    EXPECT_EQ(cli({"--dir", dir.path(), verb}).status, 1) << verb;
    EXPECT_EQ(test::readWholeFile(dir.file("qm.cfg")), damaged) << verb;
  }
}

TEST(CliFirstUse, TermAndHangupEndACaptureWithItsSummary) {
  for (const int signal : {SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal);
    MeterProcess meter;
    ASSERT_TRUE(meter.startTcp()) << meter.error();
    TempDir dir;
    const CliRun run = cli({"--link", tcpLink(meter), "--dir", dir.path(), "capture", "--clock",
                            "fast", "--unlimited", "--name", "S.CSV"},
                           &dir, signal, "row=2 ");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(keysOf(run.out)["summary"], "1");
    EXPECT_NE(test::readWholeFile(dir.file("S.CSV")).find("Valeur moyenne"), std::string::npos);
  }
}

TEST(CliFirstUse, InterruptedBlockWriteSaysWhetherTheMeterTookIt) {
  MeterProcess meter;
  ASSERT_TRUE(meter.startTcp()) << meter.error();
  // The write waits 3 s for the meter to go quiet after sending the block:
  // the interrupt lands there, once the connect (timed here) is over.
  const auto begin = std::chrono::steady_clock::now();
  ASSERT_EQ(cli({"--link", tcpLink(meter), "block", "read"}).status, 0);
  const auto connectMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now() - begin)
                             .count();
  const CliRun run = cli({"--link", tcpLink(meter), "block", "write", "location=TAKEN"}, nullptr,
                         SIGINT, {}, static_cast<int>(connectMs) + 1500);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("interrupted, but the meter took the block"), std::string::npos) << run.err;
  EXPECT_EQ(run.out.rfind("sent=", 0), 0u) << run.out;
  EXPECT_EQ(keysOf(cli({"--link", tcpLink(meter), "block", "read"}).out)["location"], "TAKEN");
}

TEST(CliFirstUse, BlockWriteAppliesTheSetUpScreensFieldRules) {
  MeterProcess meter;
  ASSERT_TRUE(meter.startTcp()) << meter.error();
  const struct {
    std::vector<std::string> fields;
    const char* message;
    const char* detail;
  } refused[] = {
      {{"limit.correlation_quality.warning=5"},
       "Valeur incorrecte pour limite avertissement Q correlation", "from 0 to 1"},
      {{"limit.alc.warning=0"}, "Numero incorrect pour limite avertissement ALC", "from 1 to 100"},
      {{"limit.accepted.fail=101"}, "Valeur incorrecte pour limite echec % valide", "to 100"},
      {{"limit.alc.warning=10"}, "Limite avertissement au-dela de limite echec pour ALC",
       "limit.alc.warning >= limit.alc.fail (now 10 and 20)"},
      {{"limit.envelope.warning=45", "limit.envelope.fail=41"},
       "au-dela de limite echec pour % modif enveloppe", "<="},
      {{"manufacture_date=notadate"}, "Date non valide pour date du fabricant", ""},
      {{"spool_part_number=" + std::string(32, 'P')}, "Trop de caracteres pour ref pt de mesure",
       "at most 31"},
      {{"location=A-B"}, "Car non valide, utiliser lettres, chiffres et car soulignement pour empl",
       ""},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(c.message);
    std::vector<std::string> args = {"--link", tcpLink(meter), "block", "write"};
    args.insert(args.end(), c.fields.begin(), c.fields.end());
    const CliRun run = cli(args);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(c.detail), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
  }
  EXPECT_EQ(keysOf(cli({"--link", tcpLink(meter), "block", "read"}).out)["generation"], "z")
      << "nothing refused reached the meter";

  const CliRun run = cli({"--link", tcpLink(meter), "block", "write",
                          "limit.correlation_quality.warning=0.9", "manufacture_date=12-03-2019",
                          "limit.slurry_low.warning=10"});
  EXPECT_EQ(run.status, 2) << "an Echoflux key on a transit-time channel";
  ASSERT_EQ(cli({"--link", tcpLink(meter), "block", "write", "limit.correlation_quality.warning=0.9",
                 "manufacture_date=12-03-2019"})
                .status,
            0);
}

TEST(CliFirstUse, CalculatorsFollowTheScreensRulesAndNeverPrintInfinities) {
  const std::vector<std::string> base = {"--temperature", "300", "--base-pressure", "101325",
                                         "--base-temperature", "288.15"};
  // The base conditions, unless the case gives its own.
  auto aga8 = [&](std::vector<std::string> extra) {
    std::vector<std::string> args = {"aga8"};
    args.insert(args.end(), extra.begin(), extra.end());
    for (std::size_t i = 0; i < base.size(); i += 2) {
      if (std::find(extra.begin(), extra.end(), base[i]) == extra.end()) {
        args.insert(args.end(), {base[i], base[i + 1]});
      }
    }
    return cli(args);
  };
  const struct {
    std::vector<std::string> args;
    const char* message;
    const char* detail;
  } refused[] = {
      {{"--comp", "methane=100", "--pressure", "0"}, " Pression hors limites", "more than 0"},
      {{"--comp", "methane=100", "--pressure", "2e8"}, " Pression hors limites", "1.379e8 Pa"},
      {{"--comp", "methane=100", "--pressure", "1e6", "--base-pressure", "0"},
       "Valeur incorrecte pour pression de base", "more than 0 Pa"},
      {{"--comp", "methane=90", "--pressure", "1e6"}, "Le total de composition du gaz doit etre 100%",
       "total: 90"},
      {{"--comp", "meth=100", "--pressure", "1e6"}, "unknown component \"meth\"",
       "methane, ethane, propane"},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(c.message);
    const CliRun run = aga8(c.args);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(c.detail), std::string::npos) << run.err;
  }
  const CliRun run = aga8({"--comp", "Methane=95,ETHANE=5", "--pressure", "1e6"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.find("inf"), std::string::npos);
  EXPECT_EQ(run.out.find("nan"), std::string::npos);
  EXPECT_EQ(cli({"energy", "--flow", "10", "--supply", "180", "--return", "160", "--liquid", "eau",
                 "--service", "CHAUFFAGE"})
                .status,
            0);
}

TEST(CliFirstUse, LinkMessagesAndNotices) {
  // A serial device named relative to the working directory.
  MeterProcess pty;
  ASSERT_TRUE(pty.startPty()) << pty.error();
  const std::string relative =
      std::filesystem::relative(pty.ptyPath(), std::filesystem::current_path()).string();
  CliRun run = cli({"--link", "serial:" + relative, "probe"});
  EXPECT_EQ(run.status, 0) << run.err;

  // A system code gets the system's description on a second line.
  MeterProcess meter;
  ASSERT_TRUE(meter.startTcp({"--fault", "drop=18"})) << meter.error();
  const std::string link = tcpLink(meter);
  TempDir dir;
  // A dropped link mended by the one reconnection is a notice, not a failure.
  run = cli({"--link", link, "--dir", dir.path(), "capture", "--clock", "fast", "--seconds", "30",
             "--name", "R.CSV"},
            &dir);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err.rfind("reconnected=127.0.0.1:" + std::to_string(meter.tcpPort()), 0), 0u)
      << run.err;
  EXPECT_NE(run.err.find("notice"), std::string::npos) << run.err;

  // send ends its output with a line end, even after the meter's prompt.
  run = cli({"--link", link, "--quiet-ms", "200", "send", "cv 0 make_state"});
  ASSERT_EQ(run.status, 0) << run.err;
  ASSERT_FALSE(run.out.empty());
  EXPECT_EQ(run.out.back(), '\n');

  meter.stop();
  run = cli({"--link", link, "probe"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Code d'erreur: 111\n(Connection refused)\n"), std::string::npos)
      << run.err;
}

}  // namespace
}  // namespace tarnlux
