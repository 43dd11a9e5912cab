#include "link/site_names.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>

#include "test_context.h"

using namespace tarnlux;
using tarnlux::test::readWholeFile;
using tarnlux::test::TempDir;
using tarnlux::test::writeWholeFile;

TEST(SiteName, RuleAndMessages) {
  std::string name = "unchanged";
  EXPECT_EQ(checkSiteName("pump_7b", name), SiteNameFault::None);
  EXPECT_EQ(name, "PUMP_7B");
  EXPECT_EQ(checkSiteName(std::string(15, 'a'), name), SiteNameFault::None);

  name = "unchanged";
  EXPECT_EQ(checkSiteName("", name), SiteNameFault::Empty);
  EXPECT_EQ(checkSiteName(std::string(16, 'A'), name), SiteNameFault::TooLong);
  EXPECT_EQ(checkSiteName("PUMP 7", name), SiteNameFault::BadCharacter);
  EXPECT_EQ(checkSiteName("PUMP-7", name), SiteNameFault::BadCharacter);
  EXPECT_EQ(checkSiteName("\xC9TANG", name), SiteNameFault::BadCharacter);
  EXPECT_EQ(name, "unchanged");

  EXPECT_STREQ(siteNameMessage(SiteNameFault::Empty), "Empl. compteur doit contenir 1 car. minimum");
  EXPECT_STREQ(siteNameMessage(SiteNameFault::TooLong), "Empl. compteur trop long, 15 car maximum");
  EXPECT_STREQ(siteNameMessage(SiteNameFault::BadCharacter),
               "Car non valide, utiliser lettres, chiffres et car soulignement");
  EXPECT_STREQ(siteNameMessage(SiteNameFault::None), "");
  EXPECT_EQ(siteListOpenFailedText("/x/namelist.ini"), "Impossible ouvrir fichier: /x/namelist.ini");
  EXPECT_EQ(siteListWriteFailedText("/x/namelist.ini"),
            "Impossible d'ecrire vers fichier: /x/namelist.ini");
  EXPECT_TRUE(isSiteListOpenFailure(EACCES));
  EXPECT_FALSE(isSiteListOpenFailure(ENOSPC));
}

TEST(SiteNameList, ReadsAnyLineEndDropsBadNamesAndSorts) {
  SiteNameList list;
  list.parse("zeta\r\nALPHA\rBETA\n\n\r\nbad name\r\n" + std::string(16, 'L') + "\nALPHA\nB_1");
  const std::vector<std::string> expected = {"ALPHA", "BETA", "B_1", "ZETA"};
  EXPECT_EQ(list.names(), expected);
  EXPECT_EQ(list.serialize(), "ALPHA\r\nBETA\r\nB_1\r\nZETA\r\n");
}

TEST(SiteNameList, InsertsAtTheSortedPositionAndRemoves) {
  SiteNameList list;
  list.parse("B\nD\n");
  EXPECT_TRUE(list.insert("C"));
  EXPECT_TRUE(list.insert("A"));
  EXPECT_TRUE(list.insert("E"));
  EXPECT_TRUE(list.insert("_"));  // after the letters by byte value
  EXPECT_TRUE(list.insert("9"));  // before them
  EXPECT_FALSE(list.insert("C"));
  EXPECT_EQ(list.serialize(), "9\r\nA\r\nB\r\nC\r\nD\r\nE\r\n_\r\n");
  EXPECT_TRUE(list.contains("D"));
  EXPECT_TRUE(list.remove("D"));
  EXPECT_FALSE(list.remove("D"));
  EXPECT_FALSE(list.contains("D"));
  EXPECT_EQ(list.serialize(), "9\r\nA\r\nB\r\nC\r\nE\r\n_\r\n");
}

TEST(SiteNameList, FileRoundTripAndFailures) {
  TempDir dir;
  const std::string path = dir.file(SiteNameList::kFileName);
  SiteNameList list;
  EXPECT_EQ(list.load(path), 0);  // no file yet: empty list
  EXPECT_TRUE(list.names().empty());

  writeWholeFile(path, "north\r\nsouth\r\n");
  ASSERT_EQ(list.load(path), 0);
  ASSERT_TRUE(list.insert("MIDDLE"));
  ASSERT_EQ(list.save(path), 0);
  EXPECT_EQ(readWholeFile(path), "MIDDLE\r\nNORTH\r\nSOUTH\r\n");

  // A long list crosses the 2048-byte read blocks without losing a name.
  SiteNameList many;
  for (int i = 0; i < 400; ++i) many.insert("SITE_" + std::to_string(1000 + i));
  ASSERT_EQ(many.save(path), 0);
  SiteNameList reread;
  ASSERT_EQ(reread.load(path), 0);
  EXPECT_EQ(reread.names(), many.names());

  // Saving into a folder that does not exist leaves nothing behind.
  const int rc = list.save(dir.file("missing/") + SiteNameList::kFileName);
  EXPECT_NE(rc, 0);
  EXPECT_TRUE(isSiteListOpenFailure(rc));
}
