// The settings view's page: the capture log's identity texts with "N/A", one
// cell per field, and the configuration only with extended diagnostics.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "../diag/capture_scenarios.h"
#include "reports/settings_page.h"

namespace tarnlux {
namespace {

std::vector<std::string> pageOf(const CaptureHeaderFacts& facts) {
  MeasurementStore readings;
  readings.site.flowUnitsText = "GAL/MIN";
  return buildSettingsPage(facts, captureLayout(facts, readings.site), readings).lines;
}

TEST(SettingsPage, IdentityLinesSayNotAvailableWhereTheLogSaysNotGiven) {
  const CaptureHeaderFacts facts = test::singlePathLiquid().facts;
  const std::vector<std::string> expected{
      "Donnees compteur",
      "Ref. systeme op debitmetre,7326-2.01.06",
      "Nom du site,PLANT__A",
      "Ref. debitmetre,FM-100",
      "No serie debitmetre,N/A",
      "Ref. tiroir,N/A",
      "No serie tiroir,N/A",
      "Date de fabrication,01-15-2020",
      "Date/heure dernier rapport,N/A",
      "Parametres COMS,Baud:9600,Parite:IMPAIR,Bits de donnees:7,Bits d'arret:2",
      "Identificateur de l'emplacement,PUMP7",
      "ID alesage compteur,6.065,pouces",
  };
  EXPECT_EQ(pageOf(facts), expected) << "no extended diagnostics: no K factor, no configuration";
  // The log keeps its own texts.
  const std::string log = captureHeaderIdentity(facts);
  EXPECT_NE(log.find("No serie tiroir,N/D\n"), std::string::npos);
  EXPECT_NE(log.find("Date/heure dernier rapport, N/D\n"), std::string::npos);
}

TEST(SettingsPage, LinesFollowTheMeterAndTheLink) {
  CaptureHeaderFacts facts = test::singlePathLiquid().facts;
  facts.siteIdentifier.reset();
  facts.link.portName = "TCP/IP";
  facts.link.ipAddress = "10.0.0.7";
  facts.link.ipPort = 4001;
  facts.info.lastReportDate = "03-14-24";
  facts.info.lastReportTime = "23:59";
  facts.extendedDiagnostics = true;
  facts.identity.lengthUnits = 1;
  facts.identity.boreInches = 10;
  facts.configuration.calibrationType = CalibrationType::Kc;
  facts.configuration.kcPercent = 100.25;

  SettingsPage page;
  MeasurementStore readings;
  page = buildSettingsPage(facts, captureLayout(facts, readings.site), readings);
  const auto has = [&](const std::string& line) {
    return std::find(page.lines.begin(), page.lines.end(), line) != page.lines.end();
  };
  EXPECT_FALSE(has("Nom du site,PLANT__A")) << "no site and no channel";
  EXPECT_TRUE(has("Parametres COMS,Adresse IP:10.0.0.7,No port IP:4001"));
  EXPECT_TRUE(has("Date/heure dernier rapport,03-14-24,23:59"));
  EXPECT_TRUE(has("ID alesage compteur,254.000,Millimetres"));
  EXPECT_TRUE(has("Type de calibration,Kc,100.25%"));
  EXPECT_TRUE(has("Parametre,Canal 2,Unites"));
  for (const std::string& line : page.lines) {
    EXPECT_EQ(line.rfind("FacteurK", 0), std::string::npos) << "a meter without K factor";
  }
  facts.identity.hasKFactor = true;
  facts.identity.kFactor = 12.5;
  facts.identity.kFactorVolumeUnit = "M3";
  page = buildSettingsPage(facts, captureLayout(facts, readings.site), readings);
  EXPECT_EQ(page.lines[11], "FacteurK,12.500,Impuls/M3");

  std::size_t longest = 0;
  for (const std::string& line : page.lines) longest = std::max(longest, line.size());
  EXPECT_EQ(page.longestLine, longest);
}

TEST(SettingsPage, CellsAreTheTextsBetweenCommas) {
  const std::vector<std::pair<std::string, std::vector<std::string_view>>> cases{
      {"Donnees compteur", {"Donnees compteur"}},
      {"", {""}},
      {",,,,Pression (BARA)", {"", "", "", "", "Pression (BARA)"}},
      {"Identificateur de l'emplacement,", {"Identificateur de l'emplacement", ""}},
  };
  for (const auto& [line, cells] : cases) EXPECT_EQ(pageCells(line), cells) << line;
}

}  // namespace
}  // namespace tarnlux
