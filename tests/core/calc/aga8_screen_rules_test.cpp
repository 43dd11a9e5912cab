#include "calc/aga8_screen_rules.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>

#include "calc/aga8_units.h"
#include "common/op_context.h"
#include "common/result.h"

using namespace tarnlux;

namespace {

using Texts = std::array<std::string, kAga8EntryCount>;

// A Gulf Coast gas, helium first as on the screen, at 500 psia and 50 F.
Texts gulfCoastTexts() {
  Texts t;
  t[2] = "0.2595";
  t[3] = "0.5956";
  t[5] = "96.5222";
  t[6] = "1.8186";
  t[7] = "0.4596";
  t[8] = "0.0977";
  t[9] = "0.1007";
  t[10] = "0.0473";
  t[11] = "0.0324";
  t[12] = "0.0664";
  t[kAga8BasePressureEntry] = "14.73";
  t[kAga8PressureEntry] = "500";
  t[kAga8MaxPressureEntry] = "1000";
  t[kAga8BaseTemperatureEntry] = "60";
  t[kAga8TemperatureEntry] = "50";
  t[kAga8MaxTemperatureEntry] = "100";
  return t;
}

Aga8Units psiaFahrenheit() {
  Aga8Units units;
  units.pressure = kAga8Psia;
  units.temperature = kAga8Fahrenheit;
  units.velocity = kAga8MetresPerSecond;
  units.density = kAga8KilogramsPerCubicMetre;
  units.enthalpy = kAga8KilojoulesPerKilogram;
  return units;
}

std::string firstFailure(const Texts& texts, bool tableMode, Aga8Units units = psiaFahrenheit()) {
  return aga8Validate(texts, tableMode, units, false).message;
}

Aga8Entries validEntries(bool tableMode) {
  const Aga8Validation v = aga8Validate(gulfCoastTexts(), tableMode, psiaFahrenheit(), false);
  EXPECT_TRUE(v.ok()) << v.message;
  Aga8Entries entries;
  entries.values = v.values;
  entries.set.fill(true);
  return entries;
}

}  // namespace

TEST(Aga8Validation, AcceptsAGasAndRewritesEveryActiveField) {
  const Aga8Validation v = aga8Validate(gulfCoastTexts(), false, psiaFahrenheit(), false);
  ASSERT_TRUE(v.ok()) << v.message;
  EXPECT_DOUBLE_EQ(v.values[5], 0.965222);
  EXPECT_NEAR(v.values[kAga8PressureEntry], 500 * 6894.75729, 1e-6);
  EXPECT_NEAR(v.values[kAga8TemperatureEntry], 283.15, 1e-9);
  // Empty composition fields count as 0 and read "0.0"; typed ones take the display form.
  EXPECT_TRUE(v.empty[0]);
  EXPECT_EQ(v.texts[0], "0.0");
  EXPECT_EQ(v.values[0], 0.0);
  EXPECT_FALSE(v.empty[5]);
  EXPECT_EQ(v.texts[kAga8PressureEntry], "500.0");
  // The maxima are not looked at outside table mode.
  Texts texts = gulfCoastTexts();
  texts[kAga8MaxPressureEntry] = "junk";
  EXPECT_TRUE(aga8Validate(texts, false, psiaFahrenheit(), false).ok());
  EXPECT_EQ(aga8Validate(texts, true, psiaFahrenheit(), false).message,
            "Valeur incorrecte pour pression maximum");
}

TEST(Aga8Validation, ReportsTheFirstInvalidFieldInEntryOrder) {
  Texts texts = gulfCoastTexts();
  texts[kAga8PressureEntry] = "";
  texts[17] = "x";  // argon comes before the conditions
  texts[19] = "-1";
  const Aga8Validation v = aga8Validate(texts, false, psiaFahrenheit(), false);
  EXPECT_EQ(v.failedEntry, 17);
  EXPECT_EQ(v.message, "Valeur incorrecte pour pourcentage Argon ");
  texts[17] = "";
  EXPECT_EQ(firstFailure(texts, false), "Valeur incorrecte pour pourcentage C0");
  texts[19] = "";
  EXPECT_EQ(firstFailure(texts, false), "Saisie requise pour pression");
  EXPECT_EQ(firstFailure(texts, true), "Saisie requise pour pression minimum");
  texts[kAga8BasePressureEntry] = "";
  EXPECT_EQ(firstFailure(texts, true), "Saisie requise pour pression base");
}

TEST(Aga8Validation, ConditionMessagesNameTheMinimaOnlyInTableMode) {
  struct Case {
    int entry;
    bool tableMode;
    const char* required;
    const char* bad;
  };
  const Case cases[] = {
      {kAga8BasePressureEntry, false, "Saisie requise pour pression base",
       "Valeur incorrecte pour pression de base"},
      {kAga8PressureEntry, false, "Saisie requise pour pression",
       "Valeur incorrecte pour pression"},
      {kAga8PressureEntry, true, "Saisie requise pour pression minimum",
       "Valeur incorrecte pour pression minimum"},
      {kAga8MaxPressureEntry, true, "Saisie requise pour pression maximum",
       "Valeur incorrecte pour pression maximum"},
      {kAga8BaseTemperatureEntry, true, "Saisie requise pour temperature base",
       "Valeur incorrecte pour temperature de base"},
      {kAga8TemperatureEntry, false, "Saisie requise pour temperature",
       "Valeur incorrecte pour temperature"},
      {kAga8MaxTemperatureEntry, true, "Saisie requise pour temperature maximum",
       "Valeur incorrecte pour temperature maximum"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.required);
    Texts texts = gulfCoastTexts();
    texts[static_cast<std::size_t>(c.entry)] = "";
    EXPECT_EQ(firstFailure(texts, c.tableMode), c.required);
    texts[static_cast<std::size_t>(c.entry)] = "1..";
    EXPECT_EQ(firstFailure(texts, c.tableMode), c.bad);
  }
}

TEST(Aga8Validation, NegativeValuesDependOnTheUnit) {
  Texts texts = gulfCoastTexts();
  Aga8Units units = psiaFahrenheit();
  units.pressure = kAga8Psig;
  texts[kAga8PressureEntry] = "-5";
  EXPECT_TRUE(aga8Validate(texts, false, units, false).ok());  // above absolute zero
  units.pressure = kAga8Psia;
  EXPECT_EQ(firstFailure(texts, false, units), "Valeur incorrecte pour pression");
  // Gauge below vacuum passes as a number but is out of range.
  units.pressure = kAga8Barg;
  texts[kAga8PressureEntry] = "-2";
  EXPECT_EQ(firstFailure(texts, false, units), " Pression hors limites");

  texts = gulfCoastTexts();
  units = psiaFahrenheit();
  units.temperature = kAga8Celsius;
  texts[kAga8TemperatureEntry] = "-10";
  texts[kAga8BaseTemperatureEntry] = "15";
  EXPECT_TRUE(aga8Validate(texts, false, units, false).ok());
  units.temperature = kAga8Kelvin;
  texts[kAga8TemperatureEntry] = "-10";
  EXPECT_EQ(firstFailure(texts, false, units), "Valeur incorrecte pour temperature");

  texts = gulfCoastTexts();
  texts[4] = "-0.1";
  EXPECT_EQ(firstFailure(texts, false), "Valeur incorrecte pour pourcentage H2S");
}

TEST(Aga8Validation, RangesOfTheFlowingConditions) {
  Texts texts = gulfCoastTexts();
  Aga8Units units = psiaFahrenheit();
  units.temperature = kAga8Kelvin;
  texts[kAga8BaseTemperatureEntry] = "288.15";
  for (const char* accepted : {"473.15", "143", "300"}) {
    texts[kAga8TemperatureEntry] = accepted;
    EXPECT_TRUE(aga8Validate(texts, false, units, false).ok()) << accepted;
  }
  for (const char* refused : {"473.16", "142.99"}) {
    texts[kAga8TemperatureEntry] = refused;
    EXPECT_EQ(firstFailure(texts, false, units), " Temperature hors limites") << refused;
  }
  // 200 C and 392 F are 473.15 K, whatever rounding the conversion brings.
  units.temperature = kAga8Celsius;
  texts[kAga8BaseTemperatureEntry] = "15";
  texts[kAga8TemperatureEntry] = "200";
  EXPECT_TRUE(aga8Validate(texts, false, units, false).ok());
  units.temperature = kAga8Fahrenheit;
  texts[kAga8BaseTemperatureEntry] = "60";
  texts[kAga8TemperatureEntry] = "392";
  EXPECT_TRUE(aga8Validate(texts, false, units, false).ok());

  units = psiaFahrenheit();
  units.pressure = kAga8MpaAbsolute;
  texts = gulfCoastTexts();
  texts[kAga8BasePressureEntry] = "1000";  // the base conditions have no range
  texts[kAga8PressureEntry] = "137.9";
  EXPECT_TRUE(aga8Validate(texts, false, units, false).ok());
  texts[kAga8PressureEntry] = "138";
  EXPECT_EQ(firstFailure(texts, false, units), " Pression hors limites");
  texts[kAga8PressureEntry] = "1";
  texts[kAga8MaxPressureEntry] = "138";
  EXPECT_EQ(firstFailure(texts, true, units), " Pression hors limites");
}

TEST(Aga8Validation, CompositionOnlyLeavesTheConditionsAlone) {
  Texts texts = gulfCoastTexts();
  texts[kAga8PressureEntry] = "";
  const Aga8Validation v = aga8Validate(texts, false, psiaFahrenheit(), true);
  EXPECT_TRUE(v.ok());
  EXPECT_TRUE(v.texts[kAga8PressureEntry].empty());
}

TEST(Aga8Total, AHundredPercentWithinOneHundredthOfAPercent) {
  auto check = [](double percent) {
    std::array<double, kAga8EntryCount> values{};
    values[5] = percent / 100.0;
    return aga8CheckTotal(values);
  };
  EXPECT_TRUE(check(100.005).ok);
  EXPECT_TRUE(check(99.99).ok);
  EXPECT_TRUE(check(100.01).ok);
  EXPECT_FALSE(check(100.02).ok);
  EXPECT_FALSE(check(99.98).ok);
  EXPECT_EQ(check(100.005).text, "100.005");
  const Aga8TotalCheck huge = check(1e15);
  EXPECT_FALSE(huge.ok);
  EXPECT_EQ(huge.text, "ERR.");

  Texts texts;
  texts[0] = "50";
  texts[1] = "x";  // not a number: left out of the running total
  texts[2] = "25.5";
  texts[kAga8PressureEntry] = "1000";
  EXPECT_EQ(aga8FieldTotalText(texts), "75.5");
}

TEST(Aga8Total, NormalisingScalesThePositiveFractions) {
  std::array<double, kAga8EntryCount> values{};
  values[5] = 0.9;
  values[2] = 0.3;
  values[kAga8PressureEntry] = 5e6;
  ASSERT_TRUE(aga8Normalise(values));
  EXPECT_DOUBLE_EQ(values[5], 0.75);
  EXPECT_DOUBLE_EQ(values[2], 0.25);
  EXPECT_EQ(values[0], 0.0);
  EXPECT_EQ(values[kAga8PressureEntry], 5e6);
  EXPECT_EQ(aga8CheckTotal(values).text, "100.0");

  std::array<double, kAga8EntryCount> none{};
  EXPECT_FALSE(aga8Normalise(none));  // nothing to divide by
}

TEST(Aga8Fields, UnitChangesRewriteTheFieldsThatHoldNumbers) {
  Aga8Units from = psiaFahrenheit();
  from.pressure = kAga8Psig;
  Aga8Units to = from;
  to.pressure = kAga8Barg;
  // 14.7 psi is a little more than 1.01325 bar.
  EXPECT_EQ(aga8ConvertFieldText("0", kAga8PressureEntry, from, to), "0.0003");
  to.pressure = kAga8KpaGauge;
  from.pressure = kAga8KpaAbsolute;
  EXPECT_EQ(aga8ConvertFieldText("101.35", kAga8PressureEntry, from, to), "0.0");
  to.temperature = kAga8Celsius;
  EXPECT_EQ(aga8ConvertFieldText("212", kAga8TemperatureEntry, from, to), "100.0");
  EXPECT_EQ(aga8ConvertFieldText("abc", kAga8TemperatureEntry, from, to), "abc");
  EXPECT_EQ(aga8ConvertFieldText("", kAga8BasePressureEntry, from, to), "");
  EXPECT_EQ(aga8ConvertFieldText("12", 3, from, to), "12");
}

TEST(Aga8Fields, LeavingAFieldComparesWithTheStoredValue) {
  const Aga8Units units = psiaFahrenheit();
  const double stored = 500 * 6894.75729;
  Aga8FieldCheck same = aga8CheckField(" 0500.000", kAga8PressureEntry, stored, units);
  EXPECT_EQ(same.standardText, "500.0");
  EXPECT_TRUE(same.sameValue);
  EXPECT_FALSE(aga8CheckField("500.0001", kAga8PressureEntry, stored, units).sameValue);
  const Aga8FieldCheck junk = aga8CheckField("5OO", kAga8PressureEntry, stored, units);
  EXPECT_FALSE(junk.standardText.has_value());
  EXPECT_FALSE(junk.sameValue);
  EXPECT_TRUE(aga8CheckField("96.5222", 5, 0.965222, units).sameValue);
}

TEST(Aga8Entries, EveryComponentIsFedByExactlyOneEntry) {
  std::array<int, kAga8ComponentCount> fed{};
  for (int entry = 0; entry < kAga8CompositionEntryCount; ++entry) {
    ++fed[static_cast<std::size_t>(aga8EntryComponent(entry))];
  }
  for (int count : fed) EXPECT_EQ(count, 1);
  EXPECT_EQ(aga8EntryComponent(0), kAga8Helium);
  EXPECT_EQ(aga8EntryComponent(19), kAga8CarbonMonoxide);
}

TEST(Aga8Run, SinglePointKeepsTheSpeedOfSoundAndTheVolumeRatio) {
  const Aga8Entries entries = validEntries(false);
  Aga8Results results;
  Aga8KeptResults kept;
  ASSERT_EQ(aga8RunCalculation(entries, false, results, kept, nullptr), kAga8Normal);
  EXPECT_TRUE(results.valid);
  EXPECT_FALSE(results.tableMode);
  EXPECT_DOUBLE_EQ(results.gas.mixture[kAga8Methane], 0.965222);
  EXPECT_GT(results.gas.speedOfSound, 300.0);
  EXPECT_EQ(kept.speedOfSound, results.gas.speedOfSound);
  const GasRecord& g = results.gas;
  EXPECT_DOUBLE_EQ(kept.volumeRatio, (g.Zf / g.Zb) * (g.Pf / g.Pb) * (g.Tb / g.Tf));
  EXPECT_EQ(aga8CalculationStatus(kAga8Normal), "Calcul termine OK");

  GasRecord noBase = g;
  noBase.Pb = 0;
  EXPECT_EQ(aga8VolumeRatio(noBase), -1.0);
}

TEST(Aga8Run, TableFillsTheGridAndForgetsTheSpeedOfSound) {
  const Aga8Entries entries = validEntries(true);
  Aga8Results results;
  Aga8KeptResults kept{340.0, 2.0};
  ASSERT_EQ(aga8RunCalculation(entries, true, results, kept, nullptr), kAga8Normal);
  EXPECT_TRUE(results.valid);
  EXPECT_EQ(kept.speedOfSound, 0.0);
  EXPECT_EQ(kept.volumeRatio, 2.0);
  EXPECT_EQ(results.gas.Pf, entries.values[kAga8PressureEntry]);  // back at the minima
  EXPECT_EQ(results.maximumTemperature, entries.values[kAga8MaxTemperatureEntry]);
  for (double z : results.table.Zf) EXPECT_GT(z, 0.8);
  // Density rises with pressure along each row.
  EXPECT_LT(results.table.Rhof[0], results.table.Rhof[9]);
}

TEST(Aga8Run, StopEndsTheTableAsCancelled) {
  const Aga8Entries entries = validEntries(true);
  std::atomic<int> cancel{0};
  int cells = 0;
  OperationContext ctx;
  ctx.cancelFlag = &cancel;
  ctx.pump = [&] {
    if (++cells == 7) cancel = 1;
  };
  Aga8Results results;
  results.valid = true;
  Aga8KeptResults kept{340.0, 1.0};
  EXPECT_EQ(aga8RunCalculation(entries, true, results, kept, &ctx), kCancelled);
  EXPECT_EQ(cells, 7);
  EXPECT_FALSE(results.valid);
  EXPECT_EQ(kept.speedOfSound, 0.0);
  EXPECT_EQ(aga8CalculationStatus(kCancelled), "Calcul annule");
}

TEST(Aga8Run, AFailingComputationReportsItsCode) {
  Aga8Entries entries = validEntries(false);
  entries.values.fill(0.0);  // no gas, no pressure
  entries.values[kAga8TemperatureEntry] = 300.0;
  Aga8Results results;
  Aga8KeptResults kept{340.0, 1.0};
  const int result = aga8RunCalculation(entries, false, results, kept, nullptr);
  EXPECT_NE(result, kAga8Normal);
  EXPECT_FALSE(results.valid);
  EXPECT_EQ(kept.speedOfSound, 0.0);
  EXPECT_EQ(aga8CalculationStatus(9003), "Echec calcul. Code erreur - 9003");
}

TEST(Aga8Session, RememberedChoicesFillOnlyWhatIsUnset) {
  Aga8Session session;
  session.settings.units.pressure = kAga8Bara;
  session.settings.tableFlag = 1;
  session.units.temperature = kAga8Kelvin;
  aga8ApplyRememberedChoices(session);
  EXPECT_EQ(session.units.pressure, kAga8Bara);
  EXPECT_EQ(session.units.temperature, kAga8Kelvin);
  EXPECT_EQ(session.units.velocity, 0);
  EXPECT_TRUE(aga8TableMode(session));
}
