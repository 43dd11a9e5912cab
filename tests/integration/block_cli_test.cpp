// "tarnlux-cli block read" and "block write" against the simulated meter: the
// keys scripts read, the text sent, and what stops a write.

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "cli_process.h"
#include "meter_process.h"

namespace tarnlux {
namespace {

using test::MeterProcess;

struct CliRun {
  int status = -1;
  std::string out;
  std::string err;
  std::map<std::string, std::string> keys;
};

CliRun runCli(const MeterProcess& meter, const std::vector<std::string>& args) {
  std::vector<std::string> all = {"--link", "tcp:127.0.0.1:" + std::to_string(meter.tcpPort())};
  all.insert(all.end(), args.begin(), args.end());
  test::CliRun cli = test::runCli(all);
  CliRun run;
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

TEST(BlockVerb, WrittenFieldsReadBackAndEachWriteTakesTheNextGeneration) {
  MeterProcess meter;
  ASSERT_TRUE(meter.startTcp()) << meter.error();

  CliRun run = runCli(meter, {"block", "read"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.keys["layout"], "transit_time");
  EXPECT_EQ(run.keys["capacity"], "512");
  EXPECT_EQ(run.keys["generation"], "z") << "never written: no head";
  EXPECT_EQ(run.keys["limit.snr.warning"], "20");
  EXPECT_EQ(run.keys["location"], "");
  for (const char* key : {"spool_part_number", "spool_serial_number", "manufacture_date",
                          "flowmeter_part_number", "flowmeter_serial_number", "last_report_date",
                          "last_report_time", "limit.sound_speed_diff.fail"}) {
    EXPECT_EQ(run.keys.count(key), 1u) << key;
  }

  run = runCli(meter, {"block", "write", "limit.snr.warning=12.5", "limit.alc.fail=15",
                       "location=site_b", "spool_serial_number=SN 42"});
  ASSERT_EQ(run.status, 0) << run.err;
  // Head "0," (the first generation after none), the fields, then the tail
  // with its check value, the generation again and EOT.
  EXPECT_TRUE(std::regex_match(
      run.out,
      std::regex("sent=0,30,15,12\\.5,10,[0-9.,]*,SITE_B,,SN 42,,,,,,[0-9A-F]{2},0\\\\x04\n")))
      << run.out;

  run = runCli(meter, {"block", "read"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.keys["generation"], "0");
  EXPECT_EQ(run.keys["limit.snr.warning"], "12.5");
  EXPECT_EQ(run.keys["limit.alc.fail"], "15");
  EXPECT_EQ(run.keys["limit.alc.warning"], "30") << "untouched fields keep the meter's values";
  EXPECT_EQ(run.keys["location"], "SITE_B");
  EXPECT_EQ(run.keys["spool_serial_number"], "SN 42");

  // The block now names the site, and identify reports its limits.
  CliRun facts = runCli(meter, {"identify"});
  EXPECT_EQ(facts.keys["location"], "SITE_B");
  EXPECT_EQ(facts.keys["limit.snr.warning"], "12.5");

  run = runCli(meter, {"block", "write", "location="});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.rfind("sent=1,30,15,12.5,", 0), 0u) << run.out;
  EXPECT_NE(run.out.find(",,,SN 42,"), std::string::npos) << "cleared location, kept texts";
}

TEST(BlockVerb, BadKeysAndValuesAreUsageErrors) {
  MeterProcess meter;
  ASSERT_TRUE(meter.startTcp()) << meter.error();
  const std::vector<std::pair<std::string, std::string>> bad = {
      {"limit.bogus.warning=1", "unknown key"},
      {"limit.alc=30", "unknown key"},
      {"site_name=X", "unknown key"},
      {"limit.alc.warning=-3", "whole number"},
      {"limit.alc.warning=2.5", "whole number"},
      {"limit.snr.warning=1e3", "one point"},
      {"limit.snr.warning=1.2.3", "one point"},
      {"limit.snr.warning=0.0000001", "six decimals"},
      {"location=BAD NAME", "location"},
      {"location=SIXTEEN_CHARS_AB", "location"},
      {"spool_part_number=A,B", "spool_part_number"},
      {"flowmeter_serial_number=12345678901234567", "at most 16"},
      {"nokey", "KEY=VALUE"},
  };
  for (const auto& [arg, message] : bad) {
    const CliRun run = runCli(meter, {"block", "write", arg});
    EXPECT_EQ(run.status, 2) << arg;
    EXPECT_NE(run.err.find(message), std::string::npos) << arg << ": " << run.err;
    EXPECT_EQ(run.out, "") << arg;
  }
  EXPECT_EQ(runCli(meter, {"block", "write", "location=A", "location=B"}).status, 2);
  EXPECT_EQ(runCli(meter, {"block", "read", "--password", "X"}).status, 2);

  // Known, but not in the layout of this channel: found once connected.
  CliRun run = runCli(meter, {"block", "write", "limit.fft_peak.warning=70"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("transit_time"), std::string::npos) << run.err;
  run = runCli(meter, {"block", "read"});
  EXPECT_EQ(run.keys["generation"], "z") << "nothing was written";
}

TEST(BlockVerb, ProtectedMeterWritesOnlyWithItsPassword) {
  MeterProcess meter;
  ASSERT_TRUE(meter.startTcp({"--profile", "gas4"})) << meter.error();

  CliRun run = runCli(meter, {"block", "write", "location=SITE_B"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Saisir mot de passe"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("--password"), std::string::npos) << run.err;
  EXPECT_EQ(run.out, "");

  run = runCli(meter, {"block", "write", "--password", "WRONG", "location=SITE_B"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("M. de p. incorrect"), std::string::npos) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(runCli(meter, {"block", "read"}).keys["location"], "") << "refused writes send nothing";

  // Lower case is taken as upper case, as the meter stores it.
  run = runCli(meter, {"block", "write", "--password", "gas4pass", "location=SITE_B",
                       "limit.nulltrack_alc.fail=44"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(
      std::regex_match(run.out, std::regex("sent=0,45,35,.*,SITE_B,,,,,,,,[0-9A-F]{2},0\\\\x04\n")))
      << run.out;
  run = runCli(meter, {"block", "read"});
  EXPECT_EQ(run.keys["location"], "SITE_B");
  EXPECT_EQ(run.keys["limit.nulltrack_alc.fail"], "44");
  EXPECT_EQ(run.keys["channel"], "") << "the block of a multi-path meter is the site's";
}

TEST(BlockVerb, AReadLostAtConnectIsReadAgain) {
  MeterProcess meter;
  ASSERT_TRUE(meter.startTcp({"--fault", "block-drop"})) << meter.error();
  const CliRun run = runCli(meter, {"block", "read"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.keys.count("limit.alc.warning"), 1u) << run.out;
}

TEST(BlockVerb, EchofluxChannelWritesTheEchofluxLayout) {
  MeterProcess meter;
  ASSERT_TRUE(meter.startTcp({"--profile", "echoflux"})) << meter.error();
  EXPECT_EQ(runCli(meter, {"block", "write", "limit.alc.warning=40"}).status, 2);

  CliRun run = runCli(
      meter, {"block", "write", "limit.fft_peak.warning=70", "limit.flow_velocity.fail=0.002"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.rfind("sent=0,250,100,125,1,", 0), 0u) << run.out;
  run = runCli(meter, {"block", "read"});
  EXPECT_EQ(run.keys["layout"], "echoflux");
  EXPECT_EQ(run.keys["limit.fft_peak.warning"], "70");
  EXPECT_EQ(run.keys["limit.flow_velocity.fail"], "0.002");
}

TEST(BlockVerb, MeterWithoutTheBlockRefusesBothVerbs) {
  MeterProcess meter;
  ASSERT_TRUE(meter.startTcp({"--profile", "old"})) << meter.error();
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"block", "read"}, {"block", "write", "location=SITE_B"}}) {
    const CliRun run = runCli(meter, args);
    EXPECT_EQ(run.status, 1) << args[1];
    EXPECT_NE(run.err.find("no memory block"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
  }
}

}  // namespace
}  // namespace tarnlux
