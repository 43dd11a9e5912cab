// "tarnlux-cli identify" against every simulated meter: the keys scripts read
// and the exit status when a channel has to be chosen.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "cli_process.h"
#include "meter_process.h"

namespace tarnlux {
namespace {

using test::MeterProcess;

struct Identify {
  int status = -1;
  std::string out;
  std::string err;
  std::map<std::string, std::string> keys;
};

Identify identify(const MeterProcess& meter, const std::vector<std::string>& extra = {}) {
  std::vector<std::string> args = {"--link", "tcp:127.0.0.1:" + std::to_string(meter.tcpPort()),
                                   "identify"};
  args.insert(args.end(), extra.begin(), extra.end());
  test::CliRun cli = test::runCli(args);
  Identify run;
  run.status = cli.status;
  run.out = std::move(cli.out);
  run.err = std::move(cli.err);
  std::size_t start = 0;
  for (std::size_t end; (end = run.out.find('\n', start)) != std::string::npos; start = end + 1) {
    const std::string line = run.out.substr(start, end - start);
    const std::size_t equals = line.find('=');
    if (equals != std::string::npos) run.keys[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return run;
}

struct ProfileCase {
  const char* profile;
  std::vector<std::string> extra;
  std::vector<std::pair<const char*, const char*>> expected;
};

TEST(IdentifyVerb, EveryProfileGivesTheKeysScriptsRead) {
  const std::vector<ProfileCase> cases = {
      {"liquid1",
       {},
       {{"meter_flags", "0x10010"},
        {"version", "3.04.02M"},
        {"type", "7326L"},
        {"gas", "0"},
        {"memory_block", "1"},
        {"multipath", "0"},
        {"alarm_storage", "1"},
        {"echoflux", "0"},
        {"extended_diagnostics", "1"},
        {"channel", "1"},
        {"id", "LIQ01234"},
        {"location", ""},
        {"block", "0"},
        {"limit.alc.warning", "30"},
        {"limit.alc.fail", "20"},
        {"limit.sound_speed_diff.warning", "0.25"},
        {"limit.sound_speed_diff.fail", "0.5"}}},
      {"gas4",
       {},
       {{"meter_flags", "0x403FF"},
        {"gas", "1"},
        {"memory_block", "1"},
        {"multipath", "1"},
        {"alarm_storage", "1"},
        {"echoflux", "0"},
        {"channel", ""},
        {"site_id", "GAS4SITE"},
        {"channel_failures", "0x00"},
        {"block", "0"},
        // gas defaults
        {"limit.alc.warning", "45"},
        {"limit.alc.fail", "35"},
        {"limit.nulltrack_alc.warning", "50"}}},
      {"echoflux",
       {},
       {{"meter_flags", "0x11000"},
        {"echoflux", "1"},
        {"channel", "1"},
        {"id", "ECHO0001"},
        {"limit.fft_peak.warning", "64"},
        {"limit.fft_peak.fail", "16"},
        {"limit.flow_velocity.fail", "0.001"}}},
      {"old",
       {},
       {{"version", "3.01.06E"},
        {"memory_block", "0"},
        {"alarm_storage", "0"},
        {"extended_diagnostics", "0"},
        {"channel", "1"},
        {"id", "OLD00001"},
        {"block", ""}}},
      {"twochannel",
       {"--channel", "2"},
       {{"meter_flags", "0x10030"},
        {"memory_block", "1"},
        {"channel", "2"},
        {"id", "TWO00002"},
        {"block", "0"}}},
  };
  for (const ProfileCase& c : cases) {
    SCOPED_TRACE(c.profile);
    MeterProcess meter;
    ASSERT_TRUE(meter.startTcp({"--profile", c.profile})) << meter.error();
    const Identify run = identify(meter, c.extra);
    ASSERT_EQ(run.status, 0) << run.err;
    for (const char* key :
         {"meter_flags", "version", "type", "gas", "memory_block", "multipath", "alarm_storage",
          "echoflux", "extended_diagnostics", "channel", "site_id", "location"}) {
      EXPECT_EQ(run.keys.count(key), 1u) << key << "\n" << run.out;
    }
    for (const auto& [key, value] : c.expected) {
      const auto found = run.keys.find(key);
      ASSERT_NE(found, run.keys.end()) << key << "\n" << run.out;
      EXPECT_EQ(found->second, value) << key;
    }
    // Every limit comes as a warning and fail pair, and nothing else is a limit.
    int limits = 0;
    for (const auto& [key, value] : run.keys) {
      if (key.rfind("limit.", 0) != 0) continue;
      ++limits;
      const bool warning = key.ends_with(".warning");
      EXPECT_TRUE(warning || key.ends_with(".fail")) << key;
      const std::string stem = key.substr(0, key.rfind('.'));
      EXPECT_EQ(run.keys.count(stem + (warning ? ".fail" : ".warning")), 1u) << key;
      EXPECT_FALSE(value.empty()) << key;
    }
    EXPECT_GE(limits, 20);
  }
}

TEST(IdentifyVerb, MeterWithSeveralChannelsNeedsTheChannelOption) {
  MeterProcess meter;
  ASSERT_TRUE(meter.startTcp({"--profile", "twochannel"})) << meter.error();
  Identify run = identify(meter);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("choose a channel with --channel (1,2)"), std::string::npos) << run.err;

  run = identify(meter, {"--channel", "1"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.keys["channel"], "1");
  EXPECT_EQ(run.keys["id"], "TWO00001");

  run = identify(meter, {"--channel", "4"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("channel 4 is not available (1,2)"), std::string::npos) << run.err;
}

TEST(IdentifyVerb, EchofluxChannelOfAMixedMeterUsesTheEchofluxLimits) {
  MeterProcess meter;
  ASSERT_TRUE(meter.startTcp({"--profile", "dual2"})) << meter.error();
  Identify run = identify(meter, {"--channel", "2"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.keys["echoflux"], "1");
  EXPECT_EQ(run.keys.count("limit.fft_peak.warning"), 1u);
  EXPECT_EQ(run.keys.count("limit.alc.warning"), 0u);

  run = identify(meter, {"--channel", "1"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.keys["echoflux"], "0");
  EXPECT_EQ(run.keys.count("limit.alc.warning"), 1u);
}

}  // namespace
}  // namespace tarnlux
