// "tarnlux-cli identify" against the simulated meter: the lines scripts read
// and the exit status when a channel has to be chosen.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "meter_process.h"
#include "test_context.h"

namespace tarnlux {
namespace {

using test::MeterProcess;

struct Identify {
  int status = -1;
  std::string out;
  std::string err;
};

Identify identify(const MeterProcess& meter, const std::string& extra = {}) {
  test::TempDir dir;
  const std::string command = std::string(TARNLUX_CLI_BINARY) +
                              " --link tcp:127.0.0.1:" + std::to_string(meter.tcpPort()) +
                              " identify " + extra + " 2>" + dir.file("err");
  Identify run;
  FILE* pipe = ::popen(command.c_str(), "r");
  char buffer[512];
  while (pipe != nullptr && std::fgets(buffer, sizeof buffer, pipe) != nullptr) run.out += buffer;
  const int status = pipe == nullptr ? -1 : ::pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.err = test::readWholeFile(dir.file("err"));
  return run;
}

TEST(IdentifyVerb, PrintsTheMeterFactsAsKeyValueLines) {
  MeterProcess meter;
  ASSERT_TRUE(meter.startTcp()) << meter.error();
  const Identify run = identify(meter);
  ASSERT_EQ(run.status, 0) << run.err;
  for (const char* line :
       {"meter_flags=0x10010\n", "version=3.04.02M\n", "memory_block=1\n", "multi_path=0\n",
        "alarm_storage=1\n", "channel=1\n", "id=LIQ01234\n", "block=0\n", "site_name=\n",
        "limit.alc=30,20\n", "limit.sound_speed_diff=0.25,0.5\n"}) {
    EXPECT_NE(run.out.find(line), std::string::npos) << line << run.out;
  }
}

TEST(IdentifyVerb, MeterWithSeveralChannelsNeedsTheChannelOption) {
  MeterProcess meter;
  ASSERT_TRUE(meter.startTcp({"--profile", "dual2"})) << meter.error();
  Identify run = identify(meter);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("choose a channel with --channel (1,2)"), std::string::npos) << run.err;

  run = identify(meter, "--channel 2");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("channel=2\nid=DUAL0002\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("echoflux=1\n"), std::string::npos);
  EXPECT_NE(run.out.find("limit.fft_peak=64,16\n"), std::string::npos) << "the Echoflux layout";

  run = identify(meter, "--channel 4");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("channel 4 is not available (1,2)"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace tarnlux
