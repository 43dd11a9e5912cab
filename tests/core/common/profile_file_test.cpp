#include "common/profile_file.h"

#include <gtest/gtest.h>

#include "test_context.h"

using namespace tarnlux;
using tarnlux::test::readWholeFile;
using tarnlux::test::TempDir;
using tarnlux::test::writeWholeFile;

TEST(ProfileFile, MissingFileReadsAsDefaults) {
  TempDir dir;
  ProfileFile file(dir.file("absent.cfg"));
  EXPECT_EQ(file.load(), 0);
  EXPECT_EQ(file.getString("COMMUNICATIONS", "PORT", "fallback"), "fallback");
  EXPECT_EQ(readProfileString(dir.file("absent.cfg"), "A", "B", "x"), "x");
}

TEST(ProfileFile, NamesMatchWithoutCaseAndValuesAreTrimmed) {
  TempDir dir;
  writeWholeFile(dir.file("qm.cfg"), "[Communications]\nPort = COM3  \n; a comment\nbaudrate=9600\n");
  ProfileFile file(dir.file("qm.cfg"));
  ASSERT_EQ(file.load(), 0);
  EXPECT_EQ(file.getString("COMMUNICATIONS", "PORT"), "COM3");
  EXPECT_EQ(file.getString("communications", "BAUDRATE"), "9600");
  EXPECT_FALSE(file.get("COMMUNICATIONS", "PARITY").has_value());
}

TEST(ProfileFile, RewriteKeepsOtherLinesUsesCrLfAndPlacesNewKeysInTheirSection) {
  TempDir dir;
  const std::string path = dir.file("qm.cfg");
  writeWholeFile(path, "; kept\n[AGA8]\nA=1\n\n[COMMUNICATIONS]\nPORT=COM1\n");
  ASSERT_EQ(writeProfileString(path, "aga8", "B", "2"), 0);
  ASSERT_EQ(writeProfileString(path, "COMMUNICATIONS", "port", "TCP/IP"), 0);
  ASSERT_EQ(writeProfileString(path, "ENERGY", "X", "y"), 0);
  EXPECT_EQ(readWholeFile(path),
            "; kept\r\n[AGA8]\r\nA=1\r\nB=2\r\n\r\n[COMMUNICATIONS]\r\nPORT=TCP/IP\r\n\r\n[ENERGY]\r\nX=y\r\n");
  // Round trip: reading it back gives the same values.
  EXPECT_EQ(readProfileString(path, "AGA8", "b"), "2");
  EXPECT_EQ(readProfileString(path, "energy", "x"), "y");
}

TEST(ProfileFile, FailedSaveLeavesThePreviousFileWhole) {
  TempDir dir;
  const std::string path = dir.file("sub/qm.cfg");  // folder missing: the temporary file cannot be made
  EXPECT_NE(writeProfileString(path, "A", "B", "C"), 0);
  EXPECT_EQ(readWholeFile(path), "");
}
