#include "reports/meter_config.h"

#include <gtest/gtest.h>

#include <string>

using namespace tarnlux;

namespace {

constexpr std::uint32_t kFlags = 0x10312;
const std::string kHeader = "50003121\r\n";
const std::string kCalibration = "Calibrate Type,Kc,100.25%\r\n";

// Pressures 100 ... 1000 psia; temperatures 10 ... 100; density t + p/1000;
// Z 0.9 + t/1000.
std::string aga8Lines() {
  std::string text;
  for (int p = 1; p <= 10; ++p) text += std::to_string(p * 100) + (p < 10 ? "," : "\r\n");
  for (int table = 0; table < 2; ++table) {
    for (int t = 1; t <= 10; ++t) {
      text += std::to_string(t * 10);
      for (int p = 1; p <= 10; ++p) {
        char cell[32];
        if (table == 0) {
          std::snprintf(cell, sizeof cell, ",%.4f", t * 10 + p * 0.1);
        } else {
          std::snprintf(cell, sizeof cell, ",%.4f", 0.9 + t / 1000.0);
        }
        text += cell;
      }
      text += "\r\n";
    }
  }
  return text;
}

std::string fullAnswer() {
  return kHeader + kCalibration +
         "Calibration Table 3,Enabled,Flow Table 1\r\n"
         "1,0.1000,-0.2000\r\n"
         "2, 0.15%,-0.25%\n"
         "3.5,0,0\r\n"
         "\r\n"
         "Calibration Table 2,Disabled,Vs Table\r\n"
         "junk,lines\r\n"
         "x\r\n"
         "AGA8 Tables,Enabled,AGA8 Grid\r\n" +
         aga8Lines() +
         "Reynolds Table,Active,NR\r\n"
         "1000,0.5,-0.5\r\n"
         "200000,0.1,-0.1\r\n"
         "QM Liquid Table,Not Active,Liq\r\n"
         "Multi Point Calibration Table,Enabled,MP\r\n"
         "1.5%,100\r\n"
         "-0.5,200\r\n"
         "Meter Notes Table,Enabled,Other\r\n"
         "anything, at all\r\n"
         "\x03 after the end";
}

}  // namespace

TEST(MeterConfiguration, DecodesEveryBlock) {
  MeterConfiguration c;
  ASSERT_EQ(decodeMeterConfiguration(fullAnswer(), 0, false, kFlags, c), 0);
  EXPECT_EQ(c.calibrationType, CalibrationType::Kc);
  EXPECT_DOUBLE_EQ(c.kcPercent, 100.25);

  // The disabled table creates no entry and its lines are skipped.
  ASSERT_EQ(c.calibrationTables.size(), 1u);
  EXPECT_EQ(c.calibrationTables[0].name, "Flow Table 1");
  ASSERT_EQ(c.calibrationTables[0].points.size(), 3u);
  EXPECT_DOUBLE_EQ(c.calibrationTables[0].points[1].positiveCorrection, 0.15);
  EXPECT_DOUBLE_EQ(c.calibrationTables[0].points[1].negativeCorrection, -0.25);
  EXPECT_DOUBLE_EQ(c.calibrationTables[0].points[2].index, 3.5);

  ASSERT_TRUE(c.aga8Table);
  EXPECT_DOUBLE_EQ(c.aga8.pressures[0], 100);
  EXPECT_DOUBLE_EQ(c.aga8.pressures[9], 1000);
  EXPECT_DOUBLE_EQ(c.aga8.temperatures[9], 100);
  EXPECT_DOUBLE_EQ(c.aga8.density[2][4], 30.5);
  EXPECT_DOUBLE_EQ(c.aga8.compressibility[9][0], 0.91);

  ASSERT_TRUE(c.reynoldsTable);
  ASSERT_EQ(c.reynolds.size(), 2u);
  EXPECT_DOUBLE_EQ(c.reynolds[1].reynoldsNumber, 200000);
  EXPECT_FALSE(c.liquidTable);
  ASSERT_TRUE(c.multipointTable);
  ASSERT_EQ(c.multipoint.size(), 2u);
  EXPECT_DOUBLE_EQ(c.multipoint[0].correction, 1.5);
  EXPECT_DOUBLE_EQ(c.multipoint[1].flow, 200);

  // A meter showing bar: the pressure axis is converted from psi.
  MeterConfiguration bar;
  ASSERT_EQ(decodeMeterConfiguration(fullAnswer(), 0, true, kFlags, bar), 0);
  EXPECT_DOUBLE_EQ(bar.aga8.pressures[0], 100 / 14.50377);

  MeterConfiguration minimal;
  ASSERT_EQ(decodeMeterConfiguration("52003121\nCalibrate Type,Intrinsic,0%\n", 2, false, kFlags,
                                     minimal),
            0);
  EXPECT_EQ(minimal.calibrationType, CalibrationType::Intrinsic);
  EXPECT_TRUE(minimal.calibrationTables.empty());
  EXPECT_FALSE(minimal.aga8Table);
}

TEST(MeterConfiguration, HeaderMustRepeatTheQueryAndTheCapabilityWord) {
  MeterConfiguration c;
  const std::string good = "50003121";
  for (int i = 0; i < 8; ++i) {
    std::string header = good;
    header[static_cast<std::size_t>(i)] = header[static_cast<std::size_t>(i)] == '9' ? '8' : '9';
    EXPECT_EQ(decodeMeterConfiguration(header + "\r\n" + kCalibration, 0, false, kFlags, c),
              kConfigHeaderFirstMismatch + i)
        << header;
  }
  // The transit-time nibble of another meter is refused.
  EXPECT_EQ(decodeMeterConfiguration("50003221\r\n" + kCalibration, 0, false, kFlags, c), 20149);
  EXPECT_EQ(decodeMeterConfiguration("5000312\r\n" + kCalibration, 0, false, kFlags, c),
            kConfigHeaderNotHex);
  EXPECT_EQ(decodeMeterConfiguration("5000312G\r\n" + kCalibration, 0, false, kFlags, c),
            kConfigHeaderNotHex);
  EXPECT_EQ(decodeMeterConfiguration("\x03", 0, false, kFlags, c), kConfigHeaderNotHex);
  EXPECT_EQ(decodeMeterConfiguration(good, 0, false, kFlags, c), kConfigNoCalibrationLine);
}

TEST(MeterConfiguration, CalibrationLineFaults) {
  struct Case {
    const char* line;
    int code;
  } cases[] = {
      {"Calibration,Kc,1%", kConfigNotCalibrate},
      {"Calibrate Type", kConfigNoCalibrationType},
      {"Calibrate Type, ,1%", kConfigNoCalibrationType},
      {"Calibrate Type,KC,1%", kConfigBadCalibrationType},
      {"Calibrate Type,Kc", kConfigNoKcValue},
      {"Calibrate Type,Kc,1", kConfigKcWithoutPercent},
      {"Calibrate Type,Kc,1x%", kConfigBadKcValue},
      {"Calibrate Type,Kc,%", kConfigBadKcValue},
      {"Calibrate Type,Kc,1%,extra", kConfigCalibrationExtraField},
  };
  for (const auto& c : cases) {
    MeterConfiguration config;
    EXPECT_EQ(decodeMeterConfiguration(kHeader + c.line, 0, false, kFlags, config), c.code)
        << c.line;
  }
}

TEST(MeterConfiguration, TableFaults) {
  struct Case {
    std::string blocks;
    int code;
  } cases[] = {
      {"1,2,3\r\n", kConfigNotTableHeader},
      {"Calibration Table 1\r\n1,2,3\r\n", kConfigNoTableState},
      {"Calibration Table 1,On,T\r\n1,2,3\r\n", kConfigBadTableState},
      {"Calibration Table 1,Enabled\r\n1,2,3\r\n", kConfigNoTableName},
      {"Calibration Table 1,Enabled," + std::string(33, 'N') + "\r\n1,2,3\r\n",
       kConfigTableNameTooLong},
      {"Calibration Table 1,Enabled,T,x\r\n1,2,3\r\n", kConfigTableHeaderExtraField},
      {"Calibration Table x,Enabled,T\r\n1,2,3\r\n", kConfigBadPointCount},
      {"Calibration Table -1,Enabled,T\r\n", kConfigBadPointCount},
      {"Calibration Table 2,Enabled,T\r\n1,2,3\r\n", kConfigPointCountDiffers},
      {"AGA8 Tables,Enabled,G\r\n1,2,3,4,5,6,7,8,9,10\r\n", kConfigAga8LineCount},
      {"Calibration Table 1,Enabled,T\r\n1,2\r\n", kConfigPointFieldCount},
      {"Calibration Table 1,Enabled,T\r\nx,2,3\r\n", kConfigBadPointIndex},
      {"Calibration Table 1,Enabled,T\r\n1,2%%,3\r\n", kConfigBadPointPositive},
      {"Calibration Table 1,Enabled,T\r\n1,2,3.3.3\r\n", kConfigBadPointNegative},
      {"Reynolds Table,Enabled,R\r\n1,2\r\n", kConfigReynoldsFieldCount},
      {"Reynolds Table,Enabled,R\r\n1%,2,3\r\n", kConfigBadReynoldsNumber},
      {"Reynolds Table,Enabled,R\r\n1,,3\r\n", kConfigBadReynoldsPositive},
      {"Reynolds Table,Enabled,R\r\n1,2,-\r\n", kConfigBadReynoldsNegative},
      {"QM Liquid Table,Enabled,L\r\n1,2,x\r\n", kConfigBadLiquidValue + 2},
      {"Multi Point Calibration Table,Enabled,M\r\n1,2,3\r\n", kConfigMultipointFieldCount},
      {"Multi Point Calibration Table,Enabled,M\r\n1e2,2\r\n", kConfigBadMultipointCorrection},
      {"Multi Point Calibration Table,Enabled,M\r\n1,2%\r\n", kConfigBadMultipointFlow},
  };
  for (const auto& c : cases) {
    MeterConfiguration config;
    config.kcPercent = 7;
    EXPECT_EQ(decodeMeterConfiguration(kHeader + kCalibration + c.blocks, 0, false, kFlags, config),
              c.code)
        << c.blocks;
    EXPECT_EQ(config.kcPercent, 7);  // nothing taken from a refused answer
  }
}

TEST(MeterConfiguration, Aga8NumberFaultsNameTheGridAndValue) {
  const std::string good = aga8Lines();
  auto withLine = [&](std::size_t line, const std::string& text) {
    std::string lines = good;
    std::size_t start = 0;
    for (std::size_t i = 0; i < line; ++i) start = lines.find("\r\n", start) + 2;
    const std::size_t end = lines.find("\r\n", start);
    return lines.replace(start, end - start, text);
  };
  struct Case {
    std::size_t line;
    std::string text;
    int code;
  } cases[] = {
      {0, "1,2,3,4,5,6,7,8,9,x", kConfigBadAga8Pressure},
      {0, "1,2,3,4,5,6,7,8,9", kConfigAga8FieldCount},
      {1, "t,1,2,3,4,5,6,7,8,9,10", kConfigBadAga8DensityTemperature},
      {5, "1,1,2,3,4,5,6,7,8,9,y", kConfigBadAga8Density},
      {11, "?,1,2,3,4,5,6,7,8,9,10", kConfigBadAga8ZTemperature},
      {20, "1,1,2,3,4,5,6,7,8,9,1%", kConfigBadAga8Z},
      {20, "1,1,2,3,4,5,6,7,8,9,10,11", kConfigAga8FieldCount},
  };
  for (const auto& c : cases) {
    MeterConfiguration config;
    EXPECT_EQ(decodeMeterConfiguration(kHeader + kCalibration + "AGA8 Tables,Enabled,G\r\n" +
                                           withLine(c.line, c.text),
                                       0, false, kFlags, config),
              c.code)
        << c.line << ": " << c.text;
  }
}
