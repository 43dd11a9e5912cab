// "tarnlux-cli events" against the simulated meter: events the meter records
// while its drifting readings cross the limits of its block, retrieved and
// decoded, and a malformed record.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli_process.h"
#include "meter_process.h"
#include "test_context.h"

namespace tarnlux {
namespace {

using test::MeterProcess;

test::CliRun cli(const MeterProcess& meter, const std::string& dir, std::vector<std::string> args) {
  std::vector<std::string> all = {"--dir", dir, "--link",
                                  "tcp:127.0.0.1:" + std::to_string(meter.tcpPort())};
  all.insert(all.end(), args.begin(), args.end());
  return test::runCli(all);
}

// Limits in the block, storage on with 64 KB, then two minutes of queries.
void recordEvents(const MeterProcess& meter, const std::string& dir) {
  ASSERT_EQ(cli(meter, dir, {"block", "write", "location=A1"}).status, 0);
  ASSERT_EQ(cli(meter, dir, {"storage", "--enable", "--memory", "64"}).status, 0);
  const test::CliRun capture = cli(meter, dir, {"capture", "--seconds", "120", "--clock", "fast"});
  ASSERT_EQ(capture.status, 0) << capture.err;
}

TEST(EventsVerb, RecordedEventsAreRetrievedAsCsv) {
  MeterProcess meter;
  ASSERT_TRUE(meter.startTcp()) << meter.error();
  test::TempDir dir;
  recordEvents(meter, dir.path());

  const std::string file = dir.path() + "/events.csv";
  const test::CliRun run = cli(meter, dir.path(), {"events", "--this-site", "--csv", file});
  ASSERT_EQ(run.status, 0) << run.err;
  std::istringstream lines(run.out);
  std::string heading;
  std::getline(lines, heading);
  EXPECT_EQ(heading.rfind("event,site,date,time,temperature,path1.status,path1.alc_up,"
                          "path1.alc_up.grade,",
                          0),
            0u)
      << heading;
  std::string first;
  ASSERT_TRUE(std::getline(lines, first)) << "the drift crossed a limit: " << run.out;
  EXPECT_EQ(first.rfind("1,LIQ01234,", 0), 0u) << first;
  EXPECT_TRUE(first.find("warning") != std::string::npos || first.find("fail") != std::string::npos)
      << "an event holds a graded figure: " << first;

  // The file holds the same text with CR LF line ends.
  std::ifstream in(file, std::ios::binary);
  std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string expected;
  for (char c : run.out) {
    if (c == '\n') expected += '\r';
    expected += c;
  }
  EXPECT_EQ(written, expected);

  // Another site's name finds none; all sites finds the same events.
  test::CliRun other = cli(meter, dir.path(), {"events", "--site", "other"});
  EXPECT_EQ(other.status, 0);
  EXPECT_EQ(other.out, "event,site,date,time,temperature\n");
  EXPECT_NE(other.err.find("Aucun message evenement memorise pour ce(s) site(s)"), std::string::npos);
  EXPECT_EQ(cli(meter, dir.path(), {"events", "--all"}).out, run.out);
  EXPECT_EQ(cli(meter, dir.path(), {"events", "--site", "PUMP-7"}).status, 2);
}

// An Echoflux channel stores its events in the Echoflux form; a path with
// NullTrack carries its NullTrack figures.
TEST(EventsVerb, EchofluxAndNullTrackForms) {
  struct Case {
    const char* profile;
    std::vector<std::string> password;
    const char* column;  // a heading that must be there
  };
  const Case cases[] = {{"echoflux", {}, ",echoflux.signal,echoflux.signal.grade,"},
                        {"gas4", {"--password", "GAS4PASS"}, ",path1.nulltrack_alc,"}};
  for (const Case& c : cases) {
    MeterProcess meter;
    ASSERT_TRUE(meter.startTcp({"--profile", c.profile})) << meter.error();
    test::TempDir dir;
    std::vector<std::string> write = {"block", "write"};
    write.insert(write.end(), c.password.begin(), c.password.end());
    write.push_back("location=A1");
    ASSERT_EQ(cli(meter, dir.path(), write).status, 0) << c.profile;
    std::vector<std::string> enable = {"storage"};
    enable.insert(enable.end(), c.password.begin(), c.password.end());
    enable.insert(enable.end(), {"--enable", "--memory", "64"});
    ASSERT_EQ(cli(meter, dir.path(), enable).status, 0) << c.profile;
    const test::CliRun capture = cli(meter, dir.path(), {"capture", "--seconds", "120", "--clock", "fast"});
    ASSERT_EQ(capture.status, 0) << capture.err;

    const test::CliRun run = cli(meter, dir.path(), {"events", "--all"});
    ASSERT_EQ(run.status, 0) << c.profile << ": " << run.err;
    std::istringstream lines(run.out);
    std::string heading;
    std::getline(lines, heading);
    EXPECT_NE(heading.find(c.column), std::string::npos) << heading;
    std::string first;
    ASSERT_TRUE(std::getline(lines, first)) << c.profile << ": no event recorded";
    EXPECT_TRUE(first.find("warning") != std::string::npos || first.find("fail") != std::string::npos)
        << first;
    // The Echoflux channel's events are all in the Echoflux form.
    if (std::string(c.profile) == "echoflux") {
      EXPECT_EQ(heading.find("path1."), std::string::npos);
    }
  }
}

TEST(EventsVerb, MalformedRecordIsNamedWithItsCode) {
  MeterProcess meter;
  ASSERT_TRUE(meter.startTcp({"--fault", "event-bad-record"})) << meter.error();
  test::TempDir dir;
  recordEvents(meter, dir.path());
  const test::CliRun run = cli(meter, dir.path(), {"events", "--this-site"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("event 1: Donnees compt. non valables - Code d'erreur: 22062"),
            std::string::npos)
      << run.err;
}

}  // namespace
}  // namespace tarnlux
