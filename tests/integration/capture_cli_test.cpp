// "tarnlux-cli capture" against the simulated meter on the accelerated clock:
// the log it writes (one header, one row per period, the summary), the grades
// it prints, and how a capture ends on a units change and on Ctrl-C.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cli_process.h"
#include "common/profile_file.h"
#include "meter_process.h"
#include "test_context.h"

namespace tarnlux {
namespace {

using test::MeterProcess;
using test::TempDir;

struct CaptureRun {
  int status = -1;  // exit status, -1 when it had to be killed
  std::string out;
  std::string err;
  std::vector<std::string> rowLines;
  std::map<std::string, std::string> values;  // period, rows, summary, log
};

// Runs tarnlux-cli with `args`, its settings folder in `dir`. With
// `interruptOn` it gets SIGINT once that text has appeared on its output.
CaptureRun runCli(const std::vector<std::string>& args, const TempDir& dir,
                  const std::string& interruptOn = {}) {
  test::CliOptions options;
  options.environment = {{"XDG_CONFIG_HOME", dir.file("config")}};
  options.interruptOn = interruptOn;
  test::CliRun cli = test::runCli(args, options);
  CaptureRun run;
  run.status = cli.status;
  run.out = std::move(cli.out);
  run.err = std::move(cli.err);

  std::istringstream lines(run.out);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("row=", 0) == 0) {
      run.rowLines.push_back(line);
    } else if (const std::size_t eq = line.find('='); eq != std::string::npos) {
      run.values[line.substr(0, eq)] = line.substr(eq + 1);
    }
  }
  return run;
}

std::vector<std::string> captureArgs(const MeterProcess& meter, const TempDir& dir,
                                     std::vector<std::string> extra) {
  std::vector<std::string> args = {"--link",  "tcp:127.0.0.1:" + std::to_string(meter.tcpPort()),
                                   "--dir",   dir.path(),
                                   "capture", "--clock",
                                   "fast",    "--name",
                                   "LOG.CSV"};
  args.insert(args.end(), extra.begin(), extra.end());
  return args;
}

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> out;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find("\r\n", at);
    if (end == std::string::npos) end = text.size();
    out.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  return out;
}

std::size_t fieldCount(const std::string& line) {
  return static_cast<std::size_t>(std::count(line.begin(), line.end(), ',')) + 1;
}

// The parts of a capture log a reader relies on.
struct ParsedLog {
  int headers = 0;      // "Journal de capture ..." lines
  std::string heading;  // the heading row
  std::vector<std::string> rows;
  bool summary = false;
  std::string sampleCount;
  bool crlfOnly = true;
};

ParsedLog parseLog(const std::string& text) {
  ParsedLog log;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) log.crlfOnly = false;
  }
  const std::vector<std::string> lines = splitLines(text);
  bool inRows = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line.rfind("Journal de capture de donnees", 0) == 0) ++log.headers;
    if (line.rfind("Date,Heure", 0) == 0) {
      log.heading = line;
      inRows = true;
      continue;
    }
    if (inRows && line.empty()) inRows = false;
    if (inRows) log.rows.push_back(line);
    if (line == "Valeur moyenne" || line.rfind("Valeur moyenne,", 0) == 0) log.summary = true;
    if (line.rfind("Nbre d'echantillons,", 0) == 0) log.sampleCount = line.substr(20);
  }
  return log;
}

TEST(CaptureVerb, WritesOneHeaderOneRowPerPeriodAndTheSummaryOnEveryProfile) {
  struct Case {
    const char* profile;
    int period;
    int paths;
  };
  for (const Case c : {Case{"liquid1", 3, 1}, Case{"gas4", 6, 4}, Case{"echoflux", 3, 1}}) {
    SCOPED_TRACE(c.profile);
    MeterProcess meter;
    ASSERT_TRUE(meter.startTcp({"--profile", c.profile})) << meter.error();
    TempDir dir;
    const CaptureRun run = runCli(captureArgs(meter, dir, {"--seconds", "30"}), dir);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const int rows = 30 / c.period;
    EXPECT_EQ(run.values.at("period"), std::to_string(c.period));
    EXPECT_EQ(run.values.at("rows"), std::to_string(rows));
    EXPECT_EQ(run.values.at("summary"), "1");
    EXPECT_EQ(run.values.at("log"), dir.file("LOG.CSV"));

    // One line per row, every path graded.
    ASSERT_EQ(run.rowLines.size(), static_cast<std::size_t>(rows));
    std::string grades;
    for (int p = 1; p <= c.paths; ++p) grades += " path" + std::to_string(p) + "=(ok|warning|fail)";
    const std::regex rowLine("row=([0-9]+)" + grades);
    for (int i = 0; i < rows; ++i) {
      std::smatch m;
      ASSERT_TRUE(std::regex_match(run.rowLines[static_cast<std::size_t>(i)], m, rowLine))
          << run.rowLines[static_cast<std::size_t>(i)];
      EXPECT_EQ(m[1], std::to_string(i + 1));
    }

    const ParsedLog log = parseLog(test::readWholeFile(dir.file("LOG.CSV")));
    EXPECT_TRUE(log.crlfOnly);
    EXPECT_EQ(log.headers, 1);
    ASSERT_FALSE(log.heading.empty());
    ASSERT_EQ(log.rows.size(), static_cast<std::size_t>(rows));
    for (const std::string& row : log.rows) {
      EXPECT_EQ(fieldCount(row), fieldCount(log.heading)) << row;
    }
    EXPECT_TRUE(log.summary);
    EXPECT_EQ(log.sampleCount, std::to_string(rows));

    // Remembered for the report generator (these meters have extended diagnostics).
    EXPECT_EQ(readProfileString(dir.file("config/tarnlux/quillmap.ini"), "LAST_REPORT", "FILENAME"),
              dir.file("LOG.CSV"));
  }
}

TEST(CaptureVerb, TheCaptureStartIsKeptInTheMetersMemoryBlock) {
  MeterProcess meter;
  ASSERT_TRUE(meter.startTcp()) << meter.error();
  TempDir dir;
  ASSERT_EQ(runCli(captureArgs(meter, dir, {"--seconds", "6"}), dir).status, 0);
  // The next capture's header names the previous one.
  const CaptureRun second = runCli(captureArgs(meter, dir, {"--seconds", "6", "--overwrite"}), dir);
  ASSERT_EQ(second.status, 0) << second.err;
  const std::string text = test::readWholeFile(dir.file("LOG.CSV"));
  EXPECT_TRUE(std::regex_search(
      text, std::regex(
                "\r\nDate/heure dernier rapport,[0-9]{2}-[0-9]{2}-[0-9]{2},[0-9]{2}:[0-9]{2}\r\n")))
      << text.substr(0, 600);
}

TEST(CaptureVerb, ChangedMeterUnitsEndTheCaptureWithoutSummary) {
  MeterProcess meter;
  ASSERT_TRUE(meter.startTcp({"--fault", "units-change=3"})) << meter.error();
  TempDir dir;
  const CaptureRun run = runCli(captureArgs(meter, dir, {"--unlimited"}), dir);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Err capt donnees, param comptr changes pendant capt donnees"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(run.values.at("summary"), "0");
  const ParsedLog log = parseLog(test::readWholeFile(dir.file("LOG.CSV")));
  EXPECT_EQ(log.headers, 1);
  EXPECT_FALSE(log.summary);
  EXPECT_EQ(std::to_string(log.rows.size()), run.values.at("rows"));
  EXPECT_FALSE(log.rows.empty());
}

TEST(CaptureVerb, CtrlCEndsAnUnlimitedCaptureWithItsSummary) {
  MeterProcess meter;
  ASSERT_TRUE(meter.startTcp()) << meter.error();
  TempDir dir;
  const CaptureRun run = runCli(captureArgs(meter, dir, {"--unlimited"}), dir, "row=3 ");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.values.at("summary"), "1");
  const ParsedLog log = parseLog(test::readWholeFile(dir.file("LOG.CSV")));
  EXPECT_TRUE(log.summary);
  EXPECT_GE(log.rows.size(), 3u);
  EXPECT_EQ(log.sampleCount, run.values.at("rows"));
  EXPECT_EQ(std::to_string(run.rowLines.size()), run.values.at("rows"));
}

}  // namespace
}  // namespace tarnlux
