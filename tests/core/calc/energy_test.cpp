#include "calc/energy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "calc/calc_settings.h"
#include "calc/energy_settings.h"
#include "calc/energy_setup_file.h"
#include "calc/entry_text.h"
#include "common/profile_file.h"
#include "test_context.h"

using namespace tarnlux;
using tarnlux::test::readWholeFile;
using tarnlux::test::TempDir;
using tarnlux::test::writeWholeFile;

namespace {

constexpr double kGallon = 231.0;  // in3

double kelvinFromF(double f) { return (f + 459.67) / 1.8; }

// 100 gallons a minute of water, 180 F out and 160 F back, the flow sensor on
// the return line, heating, BTU per hour.
EnergyChoices hotWaterChoices() {
  EnergyChoices c;
  c.index = {kEnergyFahrenheit, 0, kEnergyGallons, 1, kEnergyWater, kEnergyReturn, kEnergyHeating};
  return c;
}

EnergyEntries hotWaterEntries() {
  EnergyEntries e;
  e.values = {100 * kGallon / 60, kelvinFromF(180), kelvinFromF(160)};
  e.set.fill(true);
  return e;
}

using Bytes = std::vector<std::uint8_t>;

void fixChecksum(Bytes& bytes) {
  std::uint16_t sum = 0;
  for (std::size_t i = 39; i <= 71; ++i) sum = static_cast<std::uint16_t>(sum + bytes[i]);
  bytes[72] = static_cast<std::uint8_t>(sum & 0xFF);
  bytes[73] = static_cast<std::uint8_t>(sum >> 8);
}

int check(const Bytes& bytes) {
  EnergySetupFile out;
  return decodeEnergySetupFile(bytes, out);
}

Bytes encoded() {
  EnergySetupFile setup;
  setup.values = hotWaterEntries().values;
  setup.choices = hotWaterChoices();
  const auto bytes = encodeEnergySetupFile(setup);
  return Bytes(bytes.begin(), bytes.end());
}

}  // namespace

TEST(EnergyProperties, HandComputedValues) {
  // Water density: the polynomial gives pounds per gallon.
  EXPECT_NEAR(energyWaterDensity(160) * kGallon, 8.157672, 1e-6);
  // h(170 F) for water, e = 0.66.
  EXPECT_NEAR(energyHeatCapacity(kEnergyWater, 170), 0.0351615, 1e-7);
  // Glycols and brine use e = 1 - T/1000 and five coefficients: at 0 F, e = 1.
  EXPECT_NEAR(energyHeatCapacity(1, 0),
              (0.162013 - 0.426117 - 0.304587 + 0.937256 + 3.081102) / 100, 1e-12);
  EXPECT_NEAR(energyHeatCapacity(kEnergyCalciumChloride, 1000), 0.28132255685, 1e-12);  // e = 0
  EXPECT_NEAR(pt1000Resistance(0), 1000.0, 1e-9);
  EXPECT_NEAR(pt1000Resistance(100), 1385.055, 1e-6);
  EXPECT_NEAR(pt1000Resistance(-100), 602.5584, 1e-6);  // the C term below 0 C
}

TEST(EnergyCalculation, HotWaterHeatingOnTheReturnLine) {
  const EnergyResults r = energyCalculate(hotWaterEntries(), hotWaterChoices());
  ASSERT_TRUE(r.valid);
  EXPECT_TRUE(r.water);
  // k = (rho(160)/rho(180) + 1)/2 = 1.003473; rate = h(170) x 20 x 385 x k.
  EXPECT_NEAR(r.energyRate * 3600, 978061.80, 0.05);
  EXPECT_NEAR(r.densityAtSensor, energyWaterDensity(160), 1e-15);
  EXPECT_NEAR(r.massFlow * 60, 815.76722, 1e-4);  // pounds per minute

  const ResultsPage page = energyResultsPage(r, hotWaterChoices());
  const ResultsGrid& g = page.grids[0];
  ASSERT_EQ(g.rows.size(), 7u);
  EXPECT_EQ(g.text(0, 1), "Valeur");
  EXPECT_EQ(g.text(0, 2), "Unites");
  EXPECT_EQ(g.text(1, 0), "Difference de temp.:");
  EXPECT_EQ(g.text(1, 1), "20.00");
  EXPECT_EQ(g.text(1, 2), "deg F");
  EXPECT_EQ(g.text(2, 0), "Densite au retour:");
  EXPECT_EQ(g.text(2, 1), "8.1577");
  EXPECT_EQ(g.text(2, 2), "lbs/gal");
  EXPECT_EQ(g.text(3, 0), "Debit massique:");
  EXPECT_EQ(g.text(3, 1), "815.767");
  EXPECT_EQ(g.text(3, 2), "lbs/MIN");
  EXPECT_EQ(g.text(4, 0), "Debit energie 7326:");
  EXPECT_EQ(g.text(4, 1), "978061.804");
  EXPECT_EQ(g.text(4, 2), "BTU / h");
  EXPECT_EQ(g.text(5, 0), "Resist. RTD a l'aller:");
  EXPECT_EQ(g.text(5, 1), "1317.4");  // 82.22 C
  EXPECT_EQ(g.text(6, 0), "Resist. RTD retour:");
  EXPECT_EQ(g.text(6, 2), "Ohms");
}

TEST(EnergyCalculation, CoolingSupplySideAndGlycol) {
  EnergyChoices cooling = hotWaterChoices();
  cooling.index[kEnergyServiceSelection] = kEnergyCooling;
  const EnergyResults heat = energyCalculate(hotWaterEntries(), hotWaterChoices());
  const EnergyResults cold = energyCalculate(hotWaterEntries(), cooling);
  EXPECT_DOUBLE_EQ(cold.energyRate, -heat.energyRate);

  EnergyChoices supply = hotWaterChoices();
  supply.index[kEnergyLocationSelection] = kEnergySupply;
  const EnergyResults onSupply = energyCalculate(hotWaterEntries(), supply);
  EXPECT_NEAR(onSupply.densityAtSensor, energyWaterDensity(180), 1e-15);
  EXPECT_EQ(energyResultsPage(onSupply, supply).grids[0].text(2, 0), "Masse vol. a l'aller:");
  // Sensor on the hot side: k below 1.
  EXPECT_LT(onSupply.energyRate, heat.energyRate);

  EnergyChoices glycol = hotWaterChoices();
  glycol.index[kEnergyLiquidSelection] = 3;
  const EnergyResults g = energyCalculate(hotWaterEntries(), glycol);
  EXPECT_FALSE(g.water);
  EXPECT_NEAR(g.energyRate, energyHeatCapacity(3, 170) * 20 * 385, 1e-9);
  const ResultsGrid page = energyResultsPage(g, glycol).grids[0];
  EXPECT_EQ(page.text(2, 1), "");
  EXPECT_EQ(page.text(3, 1), "");
  EXPECT_EQ(page.text(3, 2), "");
}

TEST(EnergyCalculation, DisplayUnits) {
  const EnergyResults r = energyCalculate(hotWaterEntries(), hotWaterChoices());
  EnergyChoices metric = hotWaterChoices();
  metric.index[kEnergyTemperatureSelection] = kEnergyCelsius;
  metric.index[kEnergyVolumeSelection] = kEnergyLitres;
  metric.index[kEnergyTimeSelection] = 2;  // H
  metric.index[kEnergyRateSelection] = 5;  // Kilowatts
  const ResultsGrid g = energyResultsPage(r, metric).grids[0];
  EXPECT_EQ(g.text(1, 1), "11.11");  // 20 F as a difference in C
  EXPECT_EQ(g.text(1, 2), "deg C");
  EXPECT_EQ(g.text(2, 2), "kg/l");
  EXPECT_EQ(g.text(2, 1), fixedNumberText(r.densityAtSensor * 61.0237441 / 2.20462, 4));
  EXPECT_EQ(g.text(3, 2), "kg/H");
  EXPECT_EQ(g.text(4, 1), fixedNumberText(r.energyRate * 1.05418, 3));
  EXPECT_EQ(g.text(4, 2), "Kilowatts");
  EXPECT_NEAR(
      energyFlowFromDisplay(energyFlowToDisplay(385, kEnergyCubicMetres, 3), kEnergyCubicMetres, 3),
      385, 1e-9);
}

TEST(EnergyEntries, ValidationOrderAndMessages) {
  const EnergyChoices c = hotWaterChoices();
  auto first = [&](std::array<std::string, 3> texts) {
    return energyValidate(texts, c, kEnergyNoPrefix);
  };
  EXPECT_EQ(first({"", "", ""}).message, "Entree requise pour le debit");
  EXPECT_EQ(first({"1", "", "x"}).message, "Entree requise pour la temperature allee");
  EXPECT_EQ(first({"1", "70", ""}).message, "Entree requise pour la temperature retour");
  EXPECT_EQ(first({"1,5", "", ""}).message, "Nombre invalide pour le debit");
  EXPECT_EQ(first({"1", "7O", ""}).message, "Nombre invalide pour la temperature aller");
  EXPECT_EQ(first({"1", "70", "--"}).message, "Nombre invalide pour la temperature retour");
  EXPECT_EQ(first({"1", "-201", "70"}).message, "Temperature en-dehors de la plage");
  EXPECT_EQ(first({"1", "70", "1001"}).failedEntry, kEnergyReturnEntry);
  const EnergyValidation ok = first({"-5", "-200", "1000"});
  ASSERT_TRUE(ok.ok());  // a negative flow is a number like any other
  EXPECT_NEAR(ok.values[0], -5 * kGallon / 60, 1e-12);
  // The prefix multiplies what the field holds.
  EXPECT_NEAR(energyValidate({"2", "70", "60"}, c, kEnergyKilo).values[0], 2000 * kGallon / 60,
              1e-9);
}

TEST(EnergyEntries, FlowTextAndItsUnit) {
  EXPECT_EQ(energyFlowUnitText(kEnergyNoPrefix, kEnergyGallons, 1), "Gallons/MIN");
  EXPECT_EQ(energyFlowUnitText(kEnergyMega, kEnergyCubicMetres, 3), "Mega Metres cube/J");
  const EnergyFlowDisplay small = energyFlowDisplay(385, kEnergyGallons, 1);
  EXPECT_EQ(small.text, "100.0");
  EXPECT_EQ(small.prefix, kEnergyNoPrefix);
  // Thirteen digits in all, decimals included.
  EXPECT_EQ(energyFlowDisplay(1.0 / 3.0, kEnergyCubicInches, 0).text, ".3333333333333");
  // Too wide for the field: shown in thousands.
  const EnergyFlowDisplay huge = energyFlowDisplay(2.5e14, kEnergyCubicInches, 0);
  EXPECT_EQ(huge.text, "250000000000.0");
  EXPECT_EQ(huge.prefix, kEnergyKilo);
}

TEST(EnergySettings, ReadsSelectionsByTextAndWritesOnlyChanges) {
  TempDir dir;
  const std::string path = dir.file("qm.cfg");
  writeWholeFile(path, "[ENERGY]\r\nTEMPERATURE_UNITS=deg f\r\nLIQUID_NAME=Huile\r\nFLOWRATE=" +
                           hexDouble(385.0) + "\r\nSUPPLY_TEMPERATURE=" + hexDouble(100.0) +
                           "\r\nRETURN_TEMPERATURE=" + hexDouble(kelvinFromF(160)) + "\r\n");
  EnergySession session;
  ASSERT_EQ(loadEnergySettings(path, session), 0);
  EXPECT_EQ(session.settings.remembered.temperatureUnit(), kEnergyFahrenheit);
  EXPECT_EQ(session.settings.remembered.liquid(), -1);
  EXPECT_TRUE(session.entries.set[kEnergyFlowEntry]);
  EXPECT_FALSE(session.entries.set[kEnergySupplyEntry]);  // 100 K is out of range
  EXPECT_TRUE(session.entries.set[kEnergyReturnEntry]);
  energyApplyRememberedChoices(session);
  EXPECT_EQ(session.choices.temperatureUnit(), kEnergyFahrenheit);
  EXPECT_EQ(session.choices.liquid(), 0);

  session.entries.values[kEnergySupplyEntry] = kelvinFromF(180);
  session.entries.set[kEnergySupplyEntry] = true;
  const auto changes = energySettingsChanges(session);
  // Every selection differs from the file's text ("deg f" is not "deg F"),
  // the supply temperature is new; the flow and return are as the file holds them.
  EXPECT_EQ(changes.size(), 7u + 1u);
  ASSERT_EQ(writeEnergySettings(path, session), 0);
  EXPECT_TRUE(energySettingsChanges(session).empty());
  const std::string text = readWholeFile(path);
  EXPECT_NE(text.find("LIQUID_NAME=Eau\r\n"), std::string::npos);
  EXPECT_NE(text.find("SERVICE=Chauffage\r\n"), std::string::npos);
  EXPECT_NE(text.find("ENERGY_RATE_UNITS=BTU / h\r\n"), std::string::npos);
}

TEST(EnergySetupFile, ByteLayoutAndRoundTrip) {
  const Bytes bytes = encoded();
  ASSERT_EQ(bytes.size(), 74u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data()), 38),
            std::string("norvane energy tool calculation setup\0", 38));
  EXPECT_EQ(bytes[38], 0);
  EXPECT_EQ(bytes[39], 0);
  double flow = 0;
  std::memcpy(&flow, &bytes[40], 8);
  EXPECT_EQ(flow, 385.0);
  EXPECT_EQ((Bytes(bytes.begin() + 64, bytes.begin() + 72)), (Bytes{1, 0, 0, 1, 0, 1, 0, 0}));
  std::uint32_t sum = 0;
  for (std::size_t i = 39; i <= 71; ++i) sum += bytes[i];
  EXPECT_EQ(bytes[72] | bytes[73] << 8, static_cast<int>(sum & 0xFFFF));

  TempDir dir;
  const std::string path = dir.file("loop.gas");
  EnergySession saved;
  saved.choices = hotWaterChoices();
  saved.entries = hotWaterEntries();
  EXPECT_EQ(saveEnergySetupFile(path, saved).message, "Pas de calcul effectue");
  saved.results = energyCalculate(saved.entries, saved.choices);
  ASSERT_FALSE(saveEnergySetupFile(path, saved).failed());
  EXPECT_EQ(readWholeFile(path), std::string(bytes.begin(), bytes.end()));

  EnergySession opened;
  opened.results.valid = true;
  ASSERT_FALSE(openEnergySetupFile(path, opened).failed());
  EXPECT_EQ(opened.entries.values, saved.entries.values);
  EXPECT_EQ(opened.choices.index, saved.choices.index);
  EXPECT_FALSE(opened.results.valid);  // computed for other values
}

TEST(EnergySetupFile, OpenChecks) {
  const Bytes good = encoded();
  EXPECT_EQ(check(good), 0);
  EXPECT_EQ(check(Bytes(good.begin(), good.begin() + 73)), 1);
  Bytes bad = good;
  bad[5] = 'X';
  EXPECT_EQ(check(bad), 2);
  // Byte 38 lies outside both the header and the sum; 39 is inside the sum.
  bad = good;
  bad[38] = 7;
  EXPECT_EQ(check(bad), 0);
  bad = good;
  bad[39] = 7;
  EXPECT_EQ(check(bad), 3);
  bad = good;
  bad[71] = 7;
  EXPECT_EQ(check(bad), 3);

  const int counts[7] = {2, 7, 5, 4, 7, 2, 2};
  for (int s = 0; s < 7; ++s) {
    bad = good;
    bad[64 + static_cast<std::size_t>(s)] = static_cast<std::uint8_t>(counts[s]);
    fixChecksum(bad);
    EXPECT_EQ(check(bad), 4 + s) << s;
  }
  auto withValue = [&](int entry, double value) {
    Bytes b = good;
    std::memcpy(&b[40 + 8 * static_cast<std::size_t>(entry)], &value, 8);
    fixChecksum(b);
    return check(b);
  };
  EXPECT_EQ(withValue(kEnergyReturnEntry, 100.0), 102);
  EXPECT_EQ(withValue(kEnergySupplyEntry, 811.0), 101);
  EXPECT_EQ(withValue(kEnergyFlowEntry, -1e9), 0);
  EXPECT_EQ(withValue(kEnergyFlowEntry, std::numeric_limits<double>::infinity()), 100);
}
