// "tarnlux-cli settings" against the simulated meter's profiles: the page of
// the settings view, one page line per output line and nothing else.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cli_process.h"
#include "meter_process.h"

namespace tarnlux {
namespace {

using test::MeterProcess;

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  EXPECT_EQ(start, text.size()) << "every line ends with a line end";
  return lines;
}

bool contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

struct ProfileCase {
  const char* profile;
  std::vector<std::string> channel;
  std::vector<std::string> present;
  std::vector<std::string> absent;
};

TEST(SettingsVerb, PrintsThePageOfEveryKindOfMeter) {
  const std::vector<ProfileCase> cases{
      {"liquid1",
       {},
       {"Nom du site,LIQ01234", "ID alesage compteur,6.065,pouces", "FacteurK,1000.500,Impuls/GAL",
        "Flow Table 1(GAL/MIN) Tableau de calibration 3", "Parametre,Canal 1,Unites",
        "Type de calibration,Kc,100.25%", "Code Ftrans,17"},
       {}},
      {"gas4",
       {},
       {"ID alesage compteur,303.225,Millimetres", "Tableau consultation AGA8", "Facteur-Z",
        ",,,,Pression (BARA)", "Type de calibration,Multipoint",
        "Parametre,Chem 1,Chem 2,Chem 3,Chem 4,Unites"},
       {}},
      {"echoflux",
       {},
       {"Freq. porteuse freq. envoi,17", "Plage debit,8.000(Bas),PI/SEC",
        "Compos. liquide,Liquide"},
       {"Code Ftrans,17"}},
      {"dual2", {"--channel", "2"}, {"Parametre,Canal 2,Unites"}, {"Parametre,Canal 1,Unites"}},
      // Without extended diagnostics: the bore from the pipe settings, no configuration.
      {"legacy",
       {},
       {"ID alesage compteur,6.065,pouces"},
       {"Parametres configuration chemin"}},
  };
  for (const ProfileCase& c : cases) {
    SCOPED_TRACE(c.profile);
    MeterProcess meter;
    ASSERT_TRUE(meter.startTcp({"--profile", c.profile})) << meter.error();
    std::vector<std::string> args{"--link", "tcp:127.0.0.1:" + std::to_string(meter.tcpPort()),
                                  "settings"};
    args.insert(args.end(), c.channel.begin(), c.channel.end());
    const test::CliRun run = test::runCli(args);
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<std::string> lines = linesOf(run.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "Donnees compteur");
    EXPECT_TRUE(contains(lines, "Ref. tiroir,N/A"));
    EXPECT_TRUE(contains(lines, "Parametres COMS,Adresse IP:127.0.0.1,No port IP:" +
                                    std::to_string(meter.tcpPort())));
    for (const std::string& line : c.present) EXPECT_TRUE(contains(lines, line)) << line;
    for (const std::string& line : c.absent) EXPECT_FALSE(contains(lines, line)) << line;
  }
}

TEST(SettingsVerb, SerialLinkAndMeterInformationShowOnThePage) {
  MeterProcess meter;
  ASSERT_TRUE(meter.startPty()) << meter.error();
  const std::string link = "serial:" + meter.ptyPath() + ":9600-8-A-2";
  test::CliRun run = test::runCli({"--link", link, "block", "write", "spool_serial_number=SN 42"});
  ASSERT_EQ(run.status, 0) << run.err;
  run = test::runCli({"--link", link, "settings"});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<std::string> lines = linesOf(run.out);
  EXPECT_TRUE(contains(lines, "No serie tiroir,SN 42"));
  EXPECT_TRUE(contains(lines, "Parametres COMS,Baud:9600,Parite:AUCUN,Bits de donnees:8,Bits d'arret:2"));
}

TEST(SettingsVerb, SeveralChannelsWithoutChoiceIsAUsageError) {
  MeterProcess meter;
  ASSERT_TRUE(meter.startTcp({"--profile", "dual2"})) << meter.error();
  const test::CliRun run =
      test::runCli({"--link", "tcp:127.0.0.1:" + std::to_string(meter.tcpPort()), "settings"});
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(run.out.empty()) << run.out;
}

}  // namespace
}  // namespace tarnlux
