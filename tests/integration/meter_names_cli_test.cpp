// tarnlux-cli against the simulated meter where names get in the way: variable
// names that hold their own type word, variables the meter does not know, and
// short identifiers or identifiers with a blank at connect and in the name of
// a capture log. Over TCP, and over the pseudo-terminal for identifiers.

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "cli_process.h"
#include "meter_process.h"
#include "test_context.h"

namespace tarnlux {
namespace {

using test::CliRun;
using test::MeterProcess;

std::map<std::string, std::string> keysOf(const std::string& out) {
  std::map<std::string, std::string> keys;
  std::size_t start = 0;
  for (std::size_t end; (end = out.find('\n', start)) != std::string::npos; start = end + 1) {
    const std::string line = out.substr(start, end - start);
    const std::size_t equals = line.find('=');
    if (equals != std::string::npos) keys[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return keys;
}

CliRun cli(const std::string& link, std::vector<std::string> args, const test::TempDir* dir = nullptr) {
  args.insert(args.begin(), {"--link", link});
  test::CliOptions options;
  options.limitMs = 60000;
  if (dir != nullptr) options.environment = {{"XDG_CONFIG_HOME", dir->file("config")}};
  return test::runCli(args, options);
}

TEST(MeterNames, NamesHoldingTheirTypeWordReadWholeAndSplit) {
  for (const std::vector<std::string>& faults : {std::vector<std::string>{},
                                                std::vector<std::string>{"--fault", "split"}}) {
    MeterProcess meter;
    ASSERT_TRUE(meter.startTcp(faults)) << meter.error();
    const std::string link = "tcp:127.0.0.1:" + std::to_string(meter.tcpPort());
    const struct {
      std::vector<std::string> args;
      std::string out;
    } cases[] = {
        {{"read", "int", "setpoint", "0"}, "250\n"},
        {{"read", "int", "bigint", "0"}, "2147483647\n"},
        {{"read", "short", "shortcut", "0"}, "-12\n"},
        {{"read", "double", "doublepulse", "0"}, "0.125\n"},
        {{"read", "text", "charset", "0"}, "LATIN1\n"},
        {{"read", "unsigned", "unsignedmask", "0"}, "31\n"},
    };
    for (const auto& c : cases) {
      const CliRun run = cli(link, c.args);
      EXPECT_EQ(run.status, 0) << c.args[2] << faults.size() << ": " << run.err;
      EXPECT_EQ(run.out, c.out) << c.args[2] << faults.size();
    }
  }
}

TEST(MeterNames, AVariableTheMeterDoesNotKnowFailsAtOnce) {
  for (const std::vector<std::string>& faults : {std::vector<std::string>{},
                                                std::vector<std::string>{"--fault", "split"}}) {
    MeterProcess meter;
    ASSERT_TRUE(meter.startTcp(faults)) << meter.error();
    const std::string link = "tcp:127.0.0.1:" + std::to_string(meter.tcpPort());
    // Unknown, or known under another type word: the awaited word never comes.
    for (const std::vector<std::string>& args : {std::vector<std::string>{"read", "int", "nosuch", "0"},
                                                std::vector<std::string>{"read", "int", "shortcut", "0"},
                                                std::vector<std::string>{"read", "text", "accept", "0"}}) {
      const auto begin = std::chrono::steady_clock::now();
      const CliRun run = cli(link, args);
      EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(10)) << args[2];
      EXPECT_EQ(run.status, 1) << args[2];
      EXPECT_EQ(run.err, "Donnees anticipees non recues\n") << args[2];
    }
  }
}

struct IdentifierCase {
  const char* profile;
  const char* id;
  const char* key;    // what identify prints it under
  const char* shown;  // and how
};

TEST(MeterNames, ShortIdentifiersAndBlanksConnectOverTcpAndThePseudoTerminal) {
  const IdentifierCase cases[] = {
      {"liquid1", "LIQ01", "id", "LIQ01"},
      {"liquid1", "GAS 7", "id", "GAS_7"},
      {"old", "LIQ01", "id", "LIQ01"},  // without the memory block: the fill comes with the read
      {"old", "GAS 7", "id", "GAS_7"},
      {"gas4", "GAS 7", "site_id", "GAS 7"},  // a multi-path site shows its blanks
      {"gas4", "LIQ01", "site_id", "LIQ01"},
  };
  for (const bool pty : {false, true}) {
    for (const IdentifierCase& c : cases) {
      const std::vector<std::string> args = {"--profile", c.profile, "--id", c.id};
      MeterProcess meter;
      ASSERT_TRUE(pty ? meter.startPty(args) : meter.startTcp(args)) << meter.error();
      const std::string link =
          pty ? "serial:" + meter.ptyPath() : "tcp:127.0.0.1:" + std::to_string(meter.tcpPort());
      const CliRun run = cli(link, {"identify"});
      EXPECT_EQ(run.status, 0) << c.profile << " " << c.id << " pty=" << pty << ": " << run.err;
      EXPECT_EQ(keysOf(run.out)[c.key], c.shown) << c.profile << " " << c.id << " pty=" << pty;
    }
  }
}

TEST(MeterNames, ACaptureOfASiteWithABlankInItsIdentifierNamesItsLogWithout) {
  for (const bool pty : {false, true}) {
    const std::vector<std::string> args = {"--profile", "gas4", "--id", "GAS 7"};
    MeterProcess meter;
    ASSERT_TRUE(pty ? meter.startPty(args) : meter.startTcp(args)) << meter.error();
    const std::string link =
        pty ? "serial:" + meter.ptyPath() : "tcp:127.0.0.1:" + std::to_string(meter.tcpPort());
    test::TempDir dir;
    const CliRun run =
        cli(link, {"--dir", dir.path(), "capture", "--clock", "fast", "--seconds", "12"}, &dir);
    ASSERT_EQ(run.status, 0) << "pty=" << pty << ": " << run.err;
    const std::string log = keysOf(run.out)["log"];
    const std::string name = log.substr(log.find_last_of('/') + 1);
    EXPECT_EQ(name.rfind("GAS_7", 0), 0u) << name;
    EXPECT_EQ(name.find(' '), std::string::npos) << name;
    // The log itself still names the site as the meter does.
    EXPECT_NE(test::readWholeFile(log).find("GAS 7"), std::string::npos);
  }
}

}  // namespace
}  // namespace tarnlux
