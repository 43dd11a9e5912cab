#include "calc/aga8_settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "calc/aga8_units.h"
#include "calc/calc_settings.h"
#include "common/paths.h"
#include "common/profile_file.h"
#include "test_context.h"

using namespace tarnlux;
using tarnlux::test::readWholeFile;
using tarnlux::test::TempDir;
using tarnlux::test::writeWholeFile;

namespace {

Aga8Session readFrom(const std::string& text) {
  ProfileFile file;
  file.parse(text);
  Aga8Session session;
  readAga8Settings(file, session);
  return session;
}

bool hasKey(const std::vector<std::pair<std::string, std::string>>& changes, const std::string& key,
            const std::string& value) {
  return std::find(changes.begin(), changes.end(), std::make_pair(key, value)) != changes.end();
}

// A session as the screen leaves it after a successful single-point calculation.
Aga8Session calculated() {
  Aga8Session session;
  aga8ApplyRememberedChoices(session);
  session.units.pressure = kAga8Psia;
  for (int entry = 0; entry < kAga8EntryCount; ++entry) {
    if (!aga8EntryActive(entry, false)) continue;
    session.entries.set[static_cast<std::size_t>(entry)] = true;
  }
  session.entries.values[5] = 1.0;
  session.entries.values[kAga8PressureEntry] = 3.5e6;
  session.entries.values[kAga8TemperatureEntry] = 288.15;
  return session;
}

}  // namespace

TEST(CalcSettingsValues, SixteenHexDigitsOfTheDouble) {
  EXPECT_EQ(hexDouble(1.0), "3FF0000000000000");
  EXPECT_EQ(hexDouble(-2.5), "C004000000000000");
  EXPECT_EQ(hexDouble(0.0), "0000000000000000");
  EXPECT_EQ(parseHexDouble("3FF0000000000000"), 1.0);
  EXPECT_EQ(parseHexDouble("3ff0000000000000"), 1.0);
  for (const char* bad : {"", "3FF", "3FF00000000000000", "3FF000000000000G", " 3FF000000000000"}) {
    EXPECT_FALSE(parseHexDouble(bad).has_value()) << bad;
  }
  const double awkward = 0.1 + 0.2;
  EXPECT_EQ(parseHexDouble(hexDouble(awkward)), awkward);  // bit for bit
}

TEST(Aga8Settings, ReadsUnitsAndTableFlag) {
  Aga8Session s = readFrom(
      "[AGA8]\r\nPRESSURE_UNITS=barg\r\nTEMPERATURE_UNITS=Celsius\r\nVELOCITY_UNITS=km/h\r\n"
      "ENTHALPY_UNITS=KJ/KG\r\nAGA8_TABLE=1\r\n");
  EXPECT_EQ(s.settings.units.pressure, kAga8Barg);  // names match without regard to case
  EXPECT_EQ(s.settings.units.temperature, kAga8Celsius);
  EXPECT_EQ(s.settings.units.velocity, -1);  // not listed: unset
  EXPECT_EQ(s.settings.units.density, -1);
  EXPECT_EQ(s.settings.units.enthalpy, kAga8KilojoulesPerKilogram);
  EXPECT_EQ(s.settings.tableFlag, 1);
  // The screen's choices stay unset until it opens.
  EXPECT_EQ(s.units.pressure, -1);

  for (const char* flag : {"2", "-1", "yes", "", "1x"}) {
    EXPECT_EQ(readFrom(std::string("[AGA8]\r\nAGA8_TABLE=") + flag + "\r\n").settings.tableFlag, -1)
        << flag;
  }
  Aga8Session opened = readFrom("[AGA8]\r\nAGA8_TABLE=2\r\n");
  aga8ApplyRememberedChoices(opened);
  EXPECT_FALSE(aga8TableMode(opened));
}

TEST(Aga8Settings, ReadsEntriesAndDropsValuesTheSavedUnitsCannotGive) {
  const std::string minusOne = hexDouble(-1.0);
  const std::string text =
      "[AGA8]\r\nPRESSURE_UNITS=PSIA\r\nTEMPERATURE_UNITS=Kelvin\r\n"
      "METHANE_PERCENTAGE=3FF0000000000000\r\n"
      "ETHANE_PERCENTAGE=" +
      minusOne +
      "\r\n"
      "PRESSURE=" +
      minusOne +
      "\r\n"
      "BASE_PRESSURE=" +
      hexDouble(101325.0) +
      "\r\n"
      "TEMPERATURE=" +
      minusOne +
      "\r\n"
      "BASE_TEMPERATURE=3FF000000000000\r\n"
      "HELIUM_PERCENTAGE=7FF8000000000000\r\n"
      "MAXIMUM_PRESSURE=" +
      hexDouble(7e6) + "\r\n";
  const Aga8Session s = readFrom(text);
  EXPECT_TRUE(s.entries.set[5]);
  EXPECT_EQ(s.entries.values[5], 1.0);
  EXPECT_FALSE(s.entries.set[6]);                   // negative fraction
  EXPECT_FALSE(s.entries.set[kAga8PressureEntry]);  // negative in an absolute unit
  EXPECT_TRUE(s.entries.set[kAga8BasePressureEntry]);
  EXPECT_FALSE(s.entries.set[kAga8TemperatureEntry]);      // negative kelvin
  EXPECT_FALSE(s.entries.set[kAga8BaseTemperatureEntry]);  // 15 digits
  EXPECT_FALSE(s.entries.set[0]);                          // not a number at all
  EXPECT_FALSE(s.entries.set[kAga8MaxPressureEntry]);      // table off: maxima not read

  // With gauge and Celsius units a negative saved value is a real one.
  const Aga8Session gauge = readFrom(
      "[AGA8]\r\nPRESSURE_UNITS=PSIG\r\nTEMPERATURE_UNITS=Celsius\r\n"
      "AGA8_TABLE=1\r\nPRESSURE=" +
      minusOne + "\r\nTEMPERATURE=" + minusOne + "\r\nMAXIMUM_PRESSURE=" + hexDouble(7e6) + "\r\n");
  EXPECT_TRUE(gauge.entries.set[kAga8PressureEntry]);
  EXPECT_TRUE(gauge.entries.set[kAga8TemperatureEntry]);
  EXPECT_TRUE(gauge.entries.set[kAga8MaxPressureEntry]);
  EXPECT_EQ(gauge.entries.values[kAga8MaxPressureEntry], 7e6);
}

TEST(Aga8Settings, FirstWriteStoresEverythingThenOnlyWhatChanged) {
  TempDir dir;
  const std::string path = dir.file("qm.cfg");
  writeWholeFile(path, "[COMMUNICATIONS]\r\nPORT=TCP/IP\r\n");
  Aga8Session session = calculated();
  loadAga8Settings(path, session);
  session.units.pressure = kAga8Psia;  // the screen's current choice

  const auto first = aga8SettingsChanges(session);
  EXPECT_TRUE(hasKey(first, "PRESSURE_UNITS", "PSIA"));
  EXPECT_TRUE(hasKey(first, "TEMPERATURE_UNITS", "Fahrenheit"));
  EXPECT_TRUE(hasKey(first, "AGA8_TABLE", "0"));
  EXPECT_TRUE(hasKey(first, "METHANE_PERCENTAGE", "3FF0000000000000"));
  EXPECT_TRUE(hasKey(first, "HELIUM_PERCENTAGE", "0000000000000000"));
  EXPECT_EQ(first.size(), 5u + 1u + 25u);  // no maxima outside table mode
  ASSERT_EQ(writeAga8Settings(path, session), 0);

  const std::string written = readWholeFile(path);
  EXPECT_NE(written.find("[COMMUNICATIONS]\r\nPORT=TCP/IP\r\n"), std::string::npos);
  EXPECT_NE(written.find("METHANE_PERCENTAGE=3FF0000000000000\r\n"), std::string::npos);
  EXPECT_EQ(written.find("MAXIMUM_PRESSURE"), std::string::npos);

  EXPECT_TRUE(aga8SettingsChanges(session).empty());
  // Nothing to write leaves the file alone, even when it changed meanwhile.
  writeWholeFile(path, written + "[OTHER]\r\nX=1\r\n");
  ASSERT_EQ(writeAga8Settings(path, session), 0);
  EXPECT_EQ(readWholeFile(path), written + "[OTHER]\r\nX=1\r\n");

  session.entries.values[kAga8PressureEntry] = 4e6;
  session.units.density = kAga8KilogramsPerCubicMetre;
  const auto next = aga8SettingsChanges(session);
  ASSERT_EQ(next.size(), 2u);
  EXPECT_TRUE(hasKey(next, "PRESSURE", hexDouble(4e6)));
  EXPECT_TRUE(hasKey(next, "DENSITY_UNITS", "kg/M3"));

  // A later run starts from what this one wrote.
  ASSERT_EQ(writeAga8Settings(path, session), 0);
  Aga8Session nextRun;
  loadAga8Settings(path, nextRun);
  EXPECT_EQ(nextRun.entries.values[kAga8PressureEntry], 4e6);
  EXPECT_EQ(nextRun.settings.units.density, kAga8KilogramsPerCubicMetre);
}

TEST(Aga8Settings, TableSwitchesWriteOrEmptyTheMaxima) {
  Aga8Session session = calculated();
  session.settings.table = "0";
  session.settings.entries[kAga8MaxPressureEntry] = hexDouble(7e6);
  session.entries.values[kAga8MaxPressureEntry] = 7e6;
  session.entries.set[kAga8MaxPressureEntry] = true;
  session.entries.values[kAga8MaxTemperatureEntry] = 300;
  session.entries.set[kAga8MaxTemperatureEntry] = true;
  session.tableFlag = 1;
  // Switched on: the maxima are written even where the file already holds them.
  auto changes = aga8SettingsChanges(session);
  EXPECT_TRUE(hasKey(changes, "AGA8_TABLE", "1"));
  EXPECT_TRUE(hasKey(changes, "MAXIMUM_PRESSURE", hexDouble(7e6)));
  EXPECT_TRUE(hasKey(changes, "MAXIMUM_TEMPERATURE", hexDouble(300)));

  // Switched off while the file says on: the maxima are emptied.
  session.settings.table = "1";
  session.tableFlag = 0;
  changes = aga8SettingsChanges(session);
  EXPECT_TRUE(hasKey(changes, "AGA8_TABLE", "0"));
  EXPECT_TRUE(hasKey(changes, "MAXIMUM_PRESSURE", ""));
  EXPECT_TRUE(hasKey(changes, "MAXIMUM_TEMPERATURE", ""));
}

TEST(Aga8Settings, AFailedWriteKeepsTheChangesPending) {
  TempDir dir;
  // A folder where the file should be.
  const std::string path = dir.file("qm.cfg");
  ASSERT_EQ(ensureParentDirectory(path + "/x"), 0);
  Aga8Session session = calculated();
  EXPECT_NE(writeAga8Settings(path, session), 0);
  EXPECT_FALSE(aga8SettingsChanges(session).empty());  // still to be written
}
