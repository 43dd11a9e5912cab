// "tarnlux-cli site" against the simulated meter: list, save and restore as a
// script uses them, and the meter's refusals and faults as the user meets them.

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

struct SiteRun {
  int status = -1;
  std::string out;
  std::string err;
  std::map<std::string, std::string> keys;
};

SiteRun site(const MeterProcess& meter, std::vector<std::string> args) {
  std::vector<std::string> all = {"--link", "tcp:127.0.0.1:" + std::to_string(meter.tcpPort()), "site"};
  all.insert(all.end(), args.begin(), args.end());
  const test::CliRun cli = test::runCli(all);
  SiteRun run{cli.status, cli.out, cli.err, {}};
  run.keys = test::keyValueLines(cli.out);
  return run;
}

TEST(SiteVerb, ListSaveRestoreRoundTrip) {
  MeterProcess meter;
  ASSERT_TRUE(meter.startTcp()) << meter.error();
  test::TempDir dir;

  SiteRun run = site(meter, {"list"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "site=5 name=PUMP12\nsite=12 name=TANK 3\n");

  run = site(meter, {"save", "12", "--dir", dir.path() + "sub/dir"});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string saved = dir.path() + "sub/dir/TANK 3.012";
  EXPECT_EQ(run.keys["file"], saved);
  EXPECT_EQ(run.keys["packets"], "7");
  EXPECT_EQ(run.keys["retries"], "0");

  // An edited copy goes into slot 7 and comes back as it was sent.
  std::string text = test::readWholeFile(saved);
  text.replace(text.find("\r\n") + 2, 2, "99");
  test::writeWholeFile(dir.file("NEW.007"), text);
  run = site(meter, {"restore", dir.file("NEW.007")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.keys["packets"], "7");
  run = site(meter, {"save", "7", "--dir", dir.path(), "--name", "BACK.007"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(test::readWholeFile(dir.file("BACK.007")), text);
}

TEST(SiteVerb, RefusalsAndQuestions) {
  MeterProcess meter;
  ASSERT_TRUE(meter.startTcp({"--profile", "legacy", "--fault", "site-disable"})) << meter.error();
  test::TempDir dir;
  SiteRun run = site(meter, {"save", "5", "--dir", dir.path()});
  ASSERT_EQ(run.status, 0) << run.err;
  std::string text = test::readWholeFile(run.keys["file"]);

  // Site numbers stop at 19; the file is refused before the meter is asked.
  test::writeWholeFile(dir.file("PUMP12.020"), text);
  run = site(meter, {"restore", dir.file("PUMP12.020")});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Impossible obtenir numero type site"), std::string::npos) << run.err;

  // Another version asks first: no --yes is Cancel, --yes is OK.
  const std::size_t dash = text.find('-');
  text.replace(dash + 1, 1, "9");
  test::writeWholeFile(dir.file("PUMP12.005"), text);
  run = site(meter, {"restore", dir.file("PUMP12.005")});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("La version ne correspond pas."), std::string::npos) << run.err;
  run = site(meter, {"restore", dir.file("PUMP12.005"), "--yes"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("Envoi infos site OK. Compteur desactive. Reactiver."), std::string::npos) << run.err;
}

TEST(SiteVerb, MeterFaultsEndWithTheScreensMessage) {
  const struct {
    std::vector<std::string> meterArgs;
    std::vector<std::string> siteArgs;
    const char* message;
  } cases[] = {
      {{"--fault", "no-sites"}, {"list"}, "Pas de sites indiques par compteur"},
      {{"--fault", "site-refuse"}, {"restore", "FILE"}, "Transfert des infos du site annule par compteur - Site actif protege"},
      {{"--fault", "site-nak=4"}, {"restore", "FILE"}, "Erreur transfert infos site - Trop de tentatives "},
  };
  test::TempDir dir;
  test::writeWholeFile(dir.file("PUMP12.005"), "7326L-3.04.02M PUMP12 4E (05)\r\nLINE\r\n");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    MeterProcess meter;
    ASSERT_TRUE(meter.startTcp(c.meterArgs)) << meter.error();
    std::vector<std::string> args = c.siteArgs;
    if (args.back() == "FILE") args.back() = dir.file("PUMP12.005");
    const SiteRun run = site(meter, args);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
  }
}

}  // namespace
}  // namespace tarnlux
