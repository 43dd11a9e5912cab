// The AGA8 table as it goes to a gas meter: its lines, the values the meter
// must list back, the reading of the listings and the copy into the meter
// configuration.

#include "calc/aga8_meter_table.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace tarnlux {
namespace {

// 250..340 K, 0..900 psia; density 10 t + p, Zf 1 - (10 t + p) / 1000.
Aga8Results sampleResults() {
  Aga8Results results;
  results.minimumTemperature = 250.0;
  results.maximumTemperature = 340.0;
  results.maximumPressure = 900.0 * 6894.75729;
  for (std::size_t i = 0; i < 100; ++i) {
    results.table.Rhof[i] = static_cast<double>(i);
    results.table.Zf[i] = 1.0 - static_cast<double>(i) / 1000.0;
  }
  results.table.Rhof[0] = 0.03125;   // half-way in binary: printf keeps the even digit
  results.table.Rhof[1] = 100.9995;  // just below a six-digit edge: the meter shows 101
  return results;
}

TEST(Aga8MeterTable, LinesAndTheValuesTheMeterMustListBack) {
  const Aga8MeterTable table = buildAga8MeterTable(sampleResults(), 4);
  ASSERT_EQ(table.lines.size(), 22u);
  EXPECT_EQ(table.lines[0],
            "cv 4 temp_grid[0] 250.000,260.000,270.000,280.000,290.000,300.000,310.000,320.000,"
            "330.000,340.000\r");
  EXPECT_EQ(table.lines[1].substr(0, 42), "cv 4 pres_grid[0] 0.000,100.000,200.000,30");
  EXPECT_EQ(table.lines[2].substr(0, 45), "cv 4 dens_grid[0] 0.0312,100.9995,2.0000,3.00");
  EXPECT_EQ(table.lines[11].substr(0, 27), "cv 4 dens_grid[90] 90.0000,");
  EXPECT_EQ(table.lines[21],
            "cv 4 z_grid[90] 0.9100,0.9090,0.9080,0.9070,0.9060,0.9050,0.9040,"
            "0.9030,0.9020,0.9010\r");
  EXPECT_EQ(table.pressuresPsia[9], 900.0);
  EXPECT_EQ(table.densities[0], 0.0312);
  EXPECT_EQ(table.densities[1], 101.0);

  const struct {
    const char* sent;
    double shown;
  } readBacks[] = {{"143.150", 143.15}, {"1000.005", 1000.01}, {"20000.712", 20000.7},
                   {"0.0000", 0.0},     {"99.99995", 100.0},   {"473.149", 473.149}};
  for (const auto& c : readBacks) EXPECT_EQ(aga8MeterReadBack(c.sent), c.shown) << c.sent;
  for (double value : {0.0, 101.0, 0.000123456789, -2.5, 6.02e23}) {
    char printed[64];
    std::snprintf(printed, sizeof printed, "%12.5e", value);
    EXPECT_EQ(aga8ReadBackText(value), printed);
  }
}

TEST(Aga8MeterTable, ListingFaultsHaveTheirCodes) {
  const std::string head = "cv 0 temp_grid\r\ndouble temp_grid[0] 1 2 3 4 \r\n";
  const struct {
    std::string reply;
    int code;
  } cases[] = {
      {head + "[4] 5 6 7 8 \r\n[8] 9 10 ", 0},
      {"cv 0 temp_grid\r\ndouble temp_grd[0] 1 2 3", 21021},
      {"double temp_grid[1] 1 2 3 4 \r\n[4] 5 6 7 8 \r\n[8] 9 1 ", 21022},
      {head + "[4 5 6 7 8 ", 21023},
      {head + "[4] 5 6 7 8 \r\n[8] 9 10 11 ", 21024},
      {head + "[4] 5 6 7 8 \r\n[8] 9 1.0E1 ", 21025},
      {head + "[4] 5 6 7 8 \r\n[8] 9 " + std::string(33, '1') + " ", 21026},
      {head + "[4] 5 6 7 8 \r\n[8] 9 ", 21027},
      {head + "[4] 5 6 7 8 \r\n[8] 9 10", 21028},
      {head + "[4] 5 6 7 8 \r\n[8] 9 10\n", 21028},
      // Line feeds are skipped wherever they stand, after a number too.
      {head + "[4] 5 6 7\n8\n\r\n[8]\n9 10 ", 0},
      {"double temp_grid[0]\n1 2 3 4\n[4] 5 6 7 8\n[8] 9 10\n ", 0},
  };
  std::vector<double> values;
  for (const auto& c : cases) {
    EXPECT_EQ(parseAga8Listing(c.reply, kAga8MeterArrays[0], values), c.code) << c.reply;
  }
  ASSERT_EQ(parseAga8Listing(head + "[4] 5 6 7 8 \r\n[8] 9 20000.7 ", kAga8MeterArrays[0], values),
            0);
  EXPECT_EQ(values.back(), 20000.7);
}

TEST(Aga8MeterTable, VerifiedTableGoesIntoTheConfigurationInTheMetersUnits) {
  const Aga8MeterTable table = buildAga8MeterTable(sampleResults(), 4);
  ConnectOutcome outcome;
  outcome.configurationRead = true;
  outcome.configuration.aga8Table = true;
  outcome.identityRead = true;
  outcome.identity.pressureUnit = "BARA";
  outcome.identity.temperatureUnit = 'C';
  ASSERT_TRUE(copyAga8TableToConfiguration(table, outcome));
  const Aga8Grid& grid = outcome.configuration.aga8;
  EXPECT_DOUBLE_EQ(grid.pressures[9], 900.0 / 14.50377);
  EXPECT_DOUBLE_EQ(grid.temperatures[0], 250.0 - 273.15);
  EXPECT_EQ(grid.density[0][1], 101.0);
  EXPECT_EQ(grid.compressibility[2][3], 0.977);

  // Without the identity: psia and Fahrenheit.
  outcome.identityRead = false;
  ASSERT_TRUE(copyAga8TableToConfiguration(table, outcome));
  EXPECT_EQ(grid.pressures[9], 900.0);
  EXPECT_DOUBLE_EQ(grid.temperatures[0], 250.0 * 1.8 - 459.67);

  outcome.configuration.aga8Table = false;
  EXPECT_FALSE(copyAga8TableToConfiguration(table, outcome));
}

}  // namespace
}  // namespace tarnlux
