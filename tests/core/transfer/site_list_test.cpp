#include "transfer/site_list.h"

#include <gtest/gtest.h>

namespace tarnlux {
namespace {

TEST(MeterInfo, ModelVersionAndCounterVariant) {
  MeterDescription d;
  ASSERT_EQ(parseMeterInfo("info\r\nUltrasonic flow meter\r\n7326L-3.04.02M", d), 0);
  EXPECT_EQ(d.model, "7326L");
  EXPECT_EQ(d.version, "3.04.02M");
  EXPECT_FALSE(d.numbered);
  EXPECT_EQ(d.fileHeader(), "7326L-3.04.02M");

  ASSERT_EQ(parseMeterInfo("1010DP-V5.04 *3c", d), 0);
  EXPECT_EQ(d.version, "V5.04");
  EXPECT_TRUE(d.numbered);
  EXPECT_EQ(d.counterStart, 0x3C);

  EXPECT_EQ(parseMeterInfo("no dash here", d), kInfoNoDash);
  EXPECT_EQ(parseMeterInfo("-3.04", d), kInfoEmptyModel);
  EXPECT_EQ(parseMeterInfo("7326L- x", d), kInfoEmptyVersion);
  EXPECT_EQ(parseMeterInfo("7326L-3.04 *", d), kInfoBadCounter);
  EXPECT_EQ(parseMeterInfo("7326L-3.04 *1234", d), kInfoBadCounter);
}

TEST(SiteList, EntriesBetweenHeadersEchoAndPrompt) {
  std::vector<SiteEntry> sites;
  // On a slow line the prompt that ended "info" arrives ahead of the echo.
  ASSERT_EQ(parseSiteList("\n> ls\r\n7326L sites\r\nPUMP12   [5]\r\nTANK 3   [12]\r\n7326L sites\r\n"
                          "A\"#9     [0]\r\n> ",
                          "7326L", sites),
            0);
  ASSERT_EQ(sites.size(), 3u);
  EXPECT_EQ(sites[0].name, "PUMP12");
  EXPECT_EQ(sites[0].number, 5);
  EXPECT_EQ(sites[1].name, "TANK 3");
  EXPECT_EQ(sites[1].number, 12);
  EXPECT_EQ(sites[2].name, "A\"#9");
}

TEST(SiteList, FaultsOfAnEntry) {
  const struct {
    const char* line;
    int code;
  } cases[] = {
      {"pump12   [5]", kSiteBadNameCharacter}, {"PUMP1234[5]", kSiteNoSpaceAfterName},
      {"PUMP", kSiteNoSpaceAfterName},         {"         [5]", kSiteEmptyName},
      {"PUMP12   [x]", kSiteBadNumber},        {"PUMP12   5]", kSiteBadNumber},
      {"PUMP12   [123]", kSiteBadNumber},      {"PUMP12   [5", kSiteNoClosingBracket},
      {"PUMP12   [5)", kSiteNoClosingBracket},
  };
  for (const auto& c : cases) {
    std::vector<SiteEntry> sites{{"KEPT", 1}};
    std::string line;
    EXPECT_EQ(parseSiteList(std::string(c.line) + "\r\n", "7326L", sites, &line), c.code) << c.line;
    EXPECT_EQ(line, c.line);
    EXPECT_EQ(sites.size(), 1u) << "a faulty listing leaves the list as it was";
  }
}

TEST(SiteFileNames, ExtensionCarriesTheSiteNumber) {
  EXPECT_EQ(siteFileName("PUMP12", 5), "PUMP12.005");
  EXPECT_EQ(siteFileName("TANK 3", 19), "TANK 3.019");
  const struct {
    const char* name;
    int number;
  } cases[] = {{"PUMP12.005", 5}, {"/a/b.c/X.019", 19}, {"X.000", 0}, {"X.020", -1},
               {"X.105", -1},     {"X.05", -1},         {"X", -1},     {"X.0a5", -1}};
  for (const auto& c : cases) EXPECT_EQ(siteNumberOfFileName(c.name), c.number) << c.name;
  EXPECT_EQ(siteNameOfFileName("/tmp/dir.x/TANK 3.012"), "TANK 3");
}

}  // namespace
}  // namespace tarnlux
