// "tarnlux-cli report" and "trend" over logs captured from every simulated
// meter profile: whatever the capture writes, the report reads back.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "cli_process.h"
#include "meter_process.h"
#include "test_context.h"
#include "test_paths.h"

namespace tarnlux {
namespace {

using test::MeterProcess;
using test::TempDir;

struct CliResult {
  int status = -1;
  std::string err;
  std::map<std::string, std::string> values;
};

CliResult cli(const std::vector<std::string>& args, const TempDir& dir) {
  test::CliOptions options;
  options.environment = {{"XDG_CONFIG_HOME", dir.file("config")}};
  const test::CliRun r = test::runCli(args, options);
  CliResult run;
  run.status = r.status;
  run.err = r.err;
  std::istringstream lines(r.out);
  std::string line;
  while (std::getline(lines, line)) {
    if (const std::size_t eq = line.find('='); eq != std::string::npos) {
      run.values[line.substr(0, eq)] = line.substr(eq + 1);
    }
  }
  return run;
}

// Captures 30 seconds (accelerated) into dir/name; the first channel when the
// meter asks for one.
bool capture(const MeterProcess& meter, const TempDir& dir, const std::string& name) {
  std::vector<std::string> args = {"--link", "tcp:127.0.0.1:" + std::to_string(meter.tcpPort()),
                                   "--dir",  dir.path(), "capture", "--clock", "fast",
                                   "--name", name,       "--seconds", "30"};
  CliResult run = cli(args, dir);
  if (run.status == 2) {
    args.insert(args.begin() + 5, {"--channel", "1"});
    run = cli(args, dir);
  }
  EXPECT_EQ(run.status, 0) << run.err;
  return run.status == 0;
}

std::vector<std::string> fields(const std::string& line) {
  std::vector<std::string> out;
  std::string cell;
  std::istringstream in(line);
  while (std::getline(in, cell, ',')) out.push_back(cell);
  if (!line.empty() && line.back() == ',') out.emplace_back();
  return out;
}

// The heading row and one summary row of a log, read here independently.
std::vector<std::string> logLine(const std::string& text, const std::string& start) {
  const std::size_t at = text.find("\r\n" + start);
  if (at == std::string::npos) return {};
  const std::size_t end = text.find("\r\n", at + 2);
  return fields(text.substr(at + 2, end - at - 2));
}

TEST(ReportVerb, ReadsBackLogsCapturedFromEveryProfile) {
  for (const char* profile :
       {"liquid1", "gas4", "echoflux", "dual2", "legacy", "old", "oldnulltrack", "twochannel"}) {
    SCOPED_TRACE(profile);
    MeterProcess meter;
    ASSERT_TRUE(meter.startTcp({"--profile", profile})) << meter.error();
    TempDir dir;
    if (!capture(meter, dir, "LOG.CSV")) continue;
    const std::string text = test::readWholeFile(dir.file("LOG.CSV"));

    const CliResult run = cli({"report", dir.file("LOG.CSV")}, dir);
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<std::string> heading = logLine(text, "Date,Heure");
    const std::vector<std::string> averages = logLine(text, "Valeur moyenne,");
    const std::vector<std::string> fails = logLine(text, "Nbre d'echecs,");
    ASSERT_GT(heading.size(), 3u);
    EXPECT_EQ(run.values.at("samples"), logLine(text, "Nbre d'echantillons,").at(1));
    EXPECT_EQ(run.values.at("first").size(), 17u) << run.values.at("first");
    for (std::size_t i = 2; i < heading.size(); ++i) {
      const std::string key = "col." + heading[i];
      ASSERT_TRUE(run.values.count(key + ".average")) << key;
      EXPECT_EQ(run.values.at(key + ".average"), i < averages.size() ? averages[i] : "") << key;
      EXPECT_EQ(run.values.at(key + ".fails"), i < fails.size() && !fails[i].empty() ? fails[i] : "0")
          << key;
      const std::string grade = run.values.at(key + ".grade");
      EXPECT_TRUE(grade == "ok" || grade == "warning" || grade == "fail") << grade;
    }
  }
}

TEST(ReportVerb, TrendOfAFolderAndItsFailures) {
  MeterProcess meter;
  ASSERT_TRUE(meter.startTcp({"--profile", "gas4"})) << meter.error();
  TempDir dir;
  ASSERT_TRUE(capture(meter, dir, "A.CSV"));

  CliResult run = cli({"trend", dir.path()}, dir);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "Requiert au moins deux fichiers de rapport pour rapport de tendance\n");

  ASSERT_TRUE(capture(meter, dir, "B.CSV"));
  for (int round = 0; round < 2; ++round) {
    run = cli({"trend", dir.path()}, dir);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.values.at("logs"), "2");
    const std::string trend = test::readWholeFile(run.values.at("trend_log"));
    EXPECT_EQ(trend.rfind("Journal tend. Norvane\r\n", 0), 0u);
    EXPECT_NE(trend.find("\r\nNbre d'echantillons,2\r\n"), std::string::npos);
  }

  test::writeWholeFile(dir.file("BAD.CSV"), "Journal de capture de donnees Norvane\r\n");
  run = cli({"report", dir.file("BAD.CSV")}, dir);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "Fichier incorrect ou corrompu\n");
  EXPECT_TRUE(run.values.empty());
  run = cli({"trend", dir.path()}, dir);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "Erreur de collecte donnees\nFichier: BAD.CSV\n");
  EXPECT_EQ(cli({"report"}, dir).status, 2);
}

TEST(ReportVerb, WritesThePagesAsPdf) {
  // The page drawing is built with the program only.
  struct stat st {};
  const std::string cliPath = test::cliBinary();
  if (::stat((cliPath.substr(0, cliPath.rfind('/') + 1) + "tarnlux-cli-pdf.so").c_str(), &st) != 0) {
    GTEST_SKIP() << "built without the page drawing";
  }
  TempDir dir;
  const std::string log = test::testDataDir() + "/capture/multipath_gas_extended.csv";
  test::writeWholeFile(dir.file("A.CSV"), test::readWholeFile(log));
  test::writeWholeFile(dir.file("B.CSV"), test::readWholeFile(log));
  CliResult run = cli({"report", dir.file("A.CSV"), "--pdf", dir.file("a.pdf")}, dir);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.values.at("site"), "GAS SITE");
  EXPECT_EQ(test::readWholeFile(dir.file("a.pdf")).rfind("%PDF", 0), 0u);
  run = cli({"trend", dir.path(), "--pdf", dir.file("t.pdf")}, dir);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(test::readWholeFile(dir.file("t.pdf")).rfind("%PDF", 0), 0u);
  run = cli({"report", dir.file("A.CSV"), "--pdf", dir.file("missing/a.pdf")}, dir);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err, "");
}

}  // namespace
}  // namespace tarnlux
