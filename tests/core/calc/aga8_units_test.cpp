#include "calc/aga8_units.h"

#include <gtest/gtest.h>

using namespace tarnlux;

TEST(Aga8Units, PressureUnitsUseTheProgramsAtmospheres) {
  const double zeroPsig = aga8PressureFromDisplay(0.0, kAga8Psig);
  EXPECT_NEAR(zeroPsig, 14.7 * 6894.75729, 1e-9);
  // 14.7 psi is 1.0135293 bar against the 1.01325 of BARG.
  EXPECT_NEAR(aga8PressureToDisplay(zeroPsig, kAga8Barg), 0.00027932, 1e-8);
  EXPECT_NEAR(aga8PressureToDisplay(101325.0, kAga8KpaGauge), -0.025,
              1e-12);  // 101.35, not 101.325
  EXPECT_NEAR(aga8PressureToDisplay(101325.0, kAga8MpaGauge), 0.0, 1e-15);
  EXPECT_NEAR(aga8PressureToDisplay(101325.0, kAga8Barg), 0.0, 1e-15);
  EXPECT_NEAR(aga8PressureToDisplay(6894.75729, kAga8Psia), 1.0, 1e-15);
  EXPECT_NEAR(aga8PressureToDisplay(2.5e6, kAga8Bara), 25.0, 1e-12);
  EXPECT_NEAR(aga8PressureToDisplay(2.5e6, kAga8KpaAbsolute), 2500.0, 1e-9);
  EXPECT_NEAR(aga8PressureToDisplay(2.5e6, kAga8MpaAbsolute), 2.5, 1e-15);
  // -5 PSIG is still above absolute zero.
  EXPECT_GT(aga8PressureFromDisplay(-5.0, kAga8Psig), 0.0);

  for (int unit = 0; unit < kAga8PressureUnitCount; ++unit) {
    SCOPED_TRACE(kAga8PressureUnitNames[unit]);
    EXPECT_EQ(aga8IsAbsolutePressureUnit(unit), unit % 2 == 1);
    for (double pa : {0.0, 101325.0, 7.3e6, 1.379e8}) {
      EXPECT_NEAR(aga8PressureFromDisplay(aga8PressureToDisplay(pa, unit), unit), pa,
                  1e-9 * (pa + 1e5));
    }
  }
}

TEST(Aga8Units, TemperatureUnits) {
  EXPECT_NEAR(aga8TemperatureToDisplay(273.15, kAga8Fahrenheit), 32.0, 1e-12);
  EXPECT_NEAR(aga8TemperatureToDisplay(373.15, kAga8Celsius), 100.0, 1e-12);
  EXPECT_NEAR(aga8TemperatureToDisplay(100.0, kAga8Rankine), 180.0, 1e-12);
  EXPECT_EQ(aga8TemperatureToDisplay(288.15, kAga8Kelvin), 288.15);
  EXPECT_NEAR(aga8TemperatureFromDisplay(60.0, kAga8Fahrenheit), 288.705556, 1e-6);
  for (int unit = 0; unit < kAga8TemperatureUnitCount; ++unit) {
    for (double k : {143.0, 288.15, 473.15}) {
      EXPECT_NEAR(aga8TemperatureFromDisplay(aga8TemperatureToDisplay(k, unit), unit), k, 1e-12);
    }
  }
}

TEST(Aga8Units, EntriesConvertByTheirKind) {
  double v = 0.0125;
  EXPECT_TRUE(aga8EntryToDisplay(20, v, -1, -1));  // composition needs no unit
  EXPECT_DOUBLE_EQ(v, 1.25);
  EXPECT_TRUE(aga8EntryFromDisplay(0, v, -1, -1));
  EXPECT_DOUBLE_EQ(v, 0.0125);

  v = 200000.0;
  EXPECT_TRUE(aga8EntryToDisplay(23, v, kAga8Bara, kAga8Celsius));
  EXPECT_DOUBLE_EQ(v, 2.0);
  EXPECT_TRUE(aga8EntryFromDisplay(21, v, kAga8Bara, kAga8Celsius));
  EXPECT_DOUBLE_EQ(v, 200000.0);

  v = 300.0;
  EXPECT_TRUE(aga8EntryToDisplay(26, v, kAga8Bara, kAga8Celsius));
  EXPECT_NEAR(v, 26.85, 1e-12);
  EXPECT_TRUE(aga8EntryFromDisplay(24, v, kAga8Bara, kAga8Celsius));
  EXPECT_NEAR(v, 300.0, 1e-12);

  // Unknown entries and units leave the value alone.
  v = 5.0;
  EXPECT_FALSE(aga8EntryToDisplay(27, v, kAga8Bara, kAga8Celsius));
  EXPECT_FALSE(aga8EntryToDisplay(-1, v, kAga8Bara, kAga8Celsius));
  EXPECT_FALSE(aga8EntryToDisplay(22, v, 8, kAga8Celsius));
  EXPECT_FALSE(aga8EntryFromDisplay(25, v, kAga8Bara, -1));
  EXPECT_EQ(v, 5.0);
}

TEST(Aga8Units, ResultUnitsAndNames) {
  EXPECT_NEAR(aga8VelocityToDisplay(0.3048, kAga8FeetPerSecond), 1.0, 1e-15);
  EXPECT_EQ(aga8VelocityToDisplay(412.0, kAga8MetresPerSecond), 412.0);
  EXPECT_NEAR(aga8DensityToDisplay(16.01846337, kAga8PoundsPerCubicFoot), 1.0, 1e-9);
  EXPECT_EQ(aga8DensityToDisplay(50.0, kAga8KilogramsPerCubicMetre), 50.0);
  EXPECT_NEAR(aga8EnthalpyToDisplay(2326.0, kAga8BtuPerPound), 1.0, 1e-15);
  EXPECT_NEAR(aga8EnthalpyToDisplay(2326.0, kAga8KilojoulesPerKilogram), 2.326, 1e-15);
  EXPECT_NEAR(aga8EntropyToDisplay(4186.8, kAga8BtuPerPound), 1.0, 1e-15);
  EXPECT_NEAR(aga8EntropyToDisplay(4186.8, kAga8KilojoulesPerKilogram), 4.1868, 1e-15);

  EXPECT_EQ(aga8FindUnitName(kAga8PressureUnitNames, kAga8PressureUnitCount, "KILOPASCAL(MANOM)"),
            kAga8KpaGauge);
  EXPECT_EQ(aga8FindUnitName(kAga8TemperatureUnitNames, kAga8TemperatureUnitCount, "kelvin"),
            kAga8Kelvin);
  EXPECT_EQ(aga8FindUnitName(kAga8DensityUnitNames, kAga8DensityUnitCount, "kg/m3"),
            kAga8KilogramsPerCubicMetre);
  EXPECT_EQ(aga8FindUnitName(kAga8PressureUnitNames, kAga8PressureUnitCount, "PSI"), -1);
  EXPECT_EQ(aga8FindUnitName(kAga8VelocityUnitNames, kAga8VelocityUnitCount, ""), -1);
}
