#include <gtest/gtest.h>

#include "calc/aga8_results_page.h"
#include "calc/aga8_units.h"
#include "calc/entry_text.h"

using namespace tarnlux;

namespace {

GasRecord sampleGas() {
  GasRecord gas;
  gas.speedOfSound = 406.0;
  gas.Cstar = 0.6934123456;
  gas.kappa = 1.3;
  gas.H = 23260.0;
  gas.S = -4186.8;
  gas.Df = 2.0;
  gas.Rhof = 0.45359237 / (0.3048 * 0.3048 * 0.3048);  // 1 lb/ft3
  gas.RDideal = 0.58;
  gas.RDreal = 0.581;
  gas.Zb = 0.998;
  gas.Zf = 0.9;
  gas.Fpv = 1.05;
  gas.molarMass = 16.8;
  gas.Cpi = 2100.0;
  gas.Cp = 2500.0;
  gas.Cv = 1700.0;
  gas.k = 1.47;
  gas.Ho = 500000.0;
  return gas;
}

}  // namespace

TEST(ResultsFormat, ShorterOfFixedAndNineDigits) {
  EXPECT_EQ(formatResultNumber(0.9), "0.9");
  EXPECT_EQ(formatResultNumber(406.0), "406");
  EXPECT_EQ(formatResultNumber(406.123456789), "406.1235");
  EXPECT_EQ(formatResultNumber(0.00012345678), "0.0001");
  EXPECT_EQ(formatResultNumber(-4.1868), "-4.1868");  // equal lengths: the fixed form
  EXPECT_EQ(formatResultNumber(123456789012.5), "1.23456789e+11");
  EXPECT_EQ(formatResultNumber(-0.5), "-0.5");
}

TEST(Aga8ResultsPage, SinglePointPageInMetricUnits) {
  Aga8Units units{kAga8Bara, kAga8Celsius, kAga8MetresPerSecond, kAga8KilogramsPerCubicMetre,
                  kAga8KilojoulesPerKilogram};
  const ResultsPage page = aga8SinglePointPage(sampleGas(), units);
  ASSERT_EQ(page.grids.size(), 1u);
  const ResultsGrid& g = page.grids[0];
  ASSERT_EQ(g.rows.size(), 10u);
  for (int c : {0, 3}) {
    EXPECT_EQ(g.text(0, c), "Champ");
    EXPECT_TRUE(g.cell(0, c)->bold);
  }
  EXPECT_EQ(g.text(0, 1), "Valeur");
  EXPECT_EQ(g.text(0, 5), "Unites");
  EXPECT_FALSE(g.cell(1, 0)->bold);

  const char* left[9] = {"Vitesse du son:",    "C*:",
                         "Exposant isentrop:", "Enthalpie spec:",
                         "Entropie spec:",     "Densite\xC2\xA0molaire:",
                         "Masse vol:",         "RD(gaz ideal):",
                         "RD(gaz reel):"};
  const char* right[9] = {
      "Zb:",           "Zf:",           "Fpv:",   "Masse molaire:",       "Pc(gaz ideal):",
      "Pc(gaz reel):", "Vc(gaz reel):", "Pc/Vc:", "Enthalpie(gaz ideal):"};
  for (int r = 0; r < 9; ++r) {
    EXPECT_EQ(g.text(r + 1, 0), left[r]);
    EXPECT_EQ(g.text(r + 1, 3), right[r]);
  }
  EXPECT_EQ(g.text(1, 1), "406");
  EXPECT_EQ(g.text(1, 2), "M/SEC");
  EXPECT_EQ(g.text(2, 1), "0.6934");
  EXPECT_EQ(g.text(4, 1), "23.26");
  EXPECT_EQ(g.text(4, 2), "kJ/kg");
  EXPECT_EQ(g.text(5, 1), "-4.1868");
  EXPECT_EQ(g.text(5, 2), "kJ/kg-K");
  EXPECT_EQ(g.text(6, 2), "moles/dm3");
  EXPECT_EQ(g.text(7, 2), "kg/M3");
  EXPECT_EQ(g.text(5, 4), "2.1");
  EXPECT_EQ(g.text(5, 5), "kJ/kg-K");
  EXPECT_EQ(g.text(9, 4), "500");
  EXPECT_EQ(g.text(9, 5), "kJ/kg");
  // Every text fits its column.
  for (const auto& row : g.rows) {
    for (std::size_t c = 0; c < row.size(); ++c) {
      EXPECT_LT(static_cast<int>(row[c].text.size()), g.columnWidths[c]) << row[c].text;
    }
  }
}

TEST(Aga8ResultsPage, SinglePointPageInEnglishUnitsAndAnUnsolvedCstar) {
  Aga8Units units{kAga8Psig, kAga8Fahrenheit, kAga8FeetPerSecond, kAga8PoundsPerCubicFoot,
                  kAga8BtuPerPound};
  GasRecord gas = sampleGas();
  gas.Cstar = 1.3;
  const ResultsGrid g = aga8SinglePointPage(gas, units).grids[0];
  EXPECT_EQ(g.text(1, 1), formatResultNumber(406.0 / 0.3048));
  EXPECT_EQ(g.text(1, 2), "PI/SEC");
  EXPECT_EQ(g.text(2, 1), "Resol impos!");
  EXPECT_EQ(g.text(4, 1), "10");  // 23260 J/kg / 2326
  EXPECT_EQ(g.text(4, 2), "Btu/lbm");
  EXPECT_EQ(g.text(5, 1), "-1");
  EXPECT_EQ(g.text(5, 2), "Btu/lbm-F");
  EXPECT_EQ(g.text(7, 1), "1");
  EXPECT_EQ(g.text(7, 2), "lb/pi3");
  gas.Cstar = 0.3;
  EXPECT_EQ(aga8SinglePointPage(gas, units).grids[0].text(2, 1), "Resol impos!");
}

TEST(Aga8ResultsPage, TablePageAxesAndCells) {
  Aga8Results results;
  results.valid = true;
  results.tableMode = true;
  results.minimumPressure = 14.7 * 6894.75729;  // 0 PSIG
  results.maximumPressure = (900 + 14.7) * 6894.75729;
  results.minimumTemperature = 273.15;
  results.maximumTemperature = 273.15;  // equal ends: ten equal values
  for (int i = 0; i < 100; ++i) {
    results.table.Zf[static_cast<std::size_t>(i)] = 0.9 + i * 0.001;
    results.table.Rhof[static_cast<std::size_t>(i)] = 16.018463 * (i + 1);
  }
  Aga8Units units{kAga8Psig, kAga8Celsius, kAga8MetresPerSecond, kAga8PoundsPerCubicFoot,
                  kAga8KilojoulesPerKilogram};
  const ResultsPage page = aga8ResultsPage(results, units);
  ASSERT_EQ(page.grids.size(), 2u);
  const ResultsGrid& density = page.grids[0];
  const ResultsGrid& z = page.grids[1];
  ASSERT_EQ(density.rows.size(), 12u);
  ASSERT_EQ(z.rows.size(), 12u);
  EXPECT_EQ(density.text(0, 0), "Densite (lbm/pi3)");
  EXPECT_EQ(z.text(0, 0), "Facteur-Z");
  EXPECT_EQ(density.text(0, 1), "Pression (PSIG)");
  EXPECT_EQ(density.cell(0, 1)->span, 10);
  EXPECT_EQ(density.text(1, 0), "Temperature (deg C )");
  EXPECT_EQ(density.text(1, 1), "0.0000");
  EXPECT_EQ(density.text(1, 2), "100.0000");
  EXPECT_EQ(density.text(1, 10), "900.0000");
  for (int t = 0; t < 10; ++t) EXPECT_EQ(density.text(t + 2, 0), "0.0000");
  EXPECT_EQ(density.text(2, 1), "1.0000");
  EXPECT_EQ(density.text(3, 2), "12.0000");  // element [10 * 1 + 1]
  EXPECT_EQ(z.text(11, 10), "0.9990");
  EXPECT_EQ(page.rowCount(), 25);

  units.density = kAga8KilogramsPerCubicMetre;
  units.temperature = kAga8Fahrenheit;
  units.pressure = kAga8KpaGauge;
  const ResultsPage metric = aga8ResultsPage(results, units);
  EXPECT_EQ(metric.grids[0].text(0, 0), "Densite (kg/M3)");
  EXPECT_EQ(metric.grids[0].text(1, 0), "Temperature (deg F)");
  EXPECT_EQ(metric.grids[0].text(0, 1), "Pression (kilopascal(manom))");
  EXPECT_EQ(metric.grids[0].text(2, 0), "32.0000");
  units.temperature = kAga8Kelvin;
  EXPECT_EQ(aga8ResultsPage(results, units).grids[1].text(1, 0), "Temperature (deg K )");
  units.temperature = kAga8Rankine;
  EXPECT_EQ(aga8ResultsPage(results, units).grids[1].text(1, 0), "Temperature (deg R )");
}
