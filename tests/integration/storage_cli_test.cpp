// "tarnlux-cli storage" against the simulated meter: the state read through
// the command block, Apply's commands, the remembered request and a bad check.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "cli_process.h"
#include "meter_process.h"
#include "test_context.h"

namespace tarnlux {
namespace {

using test::MeterProcess;

struct StorageRun {
  int status = -1;
  std::string err;
  std::map<std::string, std::string> keys;
};

StorageRun storage(const MeterProcess& meter, const std::string& dir, std::vector<std::string> args) {
  std::vector<std::string> all = {"--dir", dir, "--link",
                                  "tcp:127.0.0.1:" + std::to_string(meter.tcpPort()), "storage"};
  all.insert(all.end(), args.begin(), args.end());
  const test::CliRun cli = test::runCli(all);
  StorageRun run{cli.status, cli.err, {}};
  run.keys = test::keyValueLines(cli.out);
  return run;
}

TEST(StorageVerb, EnableSizeClearAndFree) {
  MeterProcess meter;
  ASSERT_TRUE(meter.startTcp()) << meter.error();
  test::TempDir dir;

  StorageRun run = storage(meter, dir.path(), {});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::map<std::string, std::string> fresh{
      {"enabled", "0"},       {"limits_set_up", "0"},  {"allocated_kb", "0"},
      {"percent_full", ""},   {"limits_correct", "Non"}, {"limits_match", "Non"},
      {"site_enabled", "Oui"}, {"storage_active", "Non"}};
  EXPECT_EQ(run.keys, fresh);

  ASSERT_EQ(test::runCli({"--link", "tcp:127.0.0.1:" + std::to_string(meter.tcpPort()), "block",
                          "write", "location=A1"})
                .status,
            0);
  run = storage(meter, dir.path(), {"--enable", "--memory", "64"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.keys["allocated_kb"], "64");
  EXPECT_EQ(run.keys["percent_full"], "0");
  EXPECT_EQ(run.keys["storage_active"], "Oui");

  // The request is remembered: another amount needs the memory freed first.
  run = storage(meter, dir.path(), {"--memory", "128"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Impossible de demander une quantite de memoire differente sans liberer "
                         "de la memoire"),
            std::string::npos)
      << run.err;
  run = storage(meter, dir.path(), {"--memory", "128", "--free"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.keys["allocated_kb"], "128");
  run = storage(meter, dir.path(), {"--clear"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.keys["allocated_kb"], "128");

  run = storage(meter, dir.path(), {"--disable", "--memory", "0", "--free"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.keys["enabled"], "0");
  EXPECT_EQ(run.keys["allocated_kb"], "0");
}

TEST(StorageVerb, BadCheckValueIsReportedWithItsCode) {
  MeterProcess meter;
  ASSERT_TRUE(meter.startTcp({"--fault", "storage-bad-check"})) << meter.error();
  test::TempDir dir;
  const StorageRun run = storage(meter, dir.path(), {});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(run.keys.empty());
  EXPECT_NE(run.err.find("Donnees compt. non valables - Code d'erreur: 20212"), std::string::npos)
      << run.err;
}

}  // namespace
}  // namespace tarnlux
