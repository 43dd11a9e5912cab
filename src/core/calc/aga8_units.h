#pragma once

// Display units of the AGA8 screen. Internal units are mole fraction,
// Pa absolute, K, m/s, kg/m3, J/kg and J/(kg K).

#include <string_view>

namespace tarnlux {

// Indices into the name lists below (also what set-up files store).
enum Aga8PressureUnit : int {
  kAga8Psig,
  kAga8Psia,
  kAga8Barg,
  kAga8Bara,
  kAga8KpaGauge,
  kAga8KpaAbsolute,
  kAga8MpaGauge,
  kAga8MpaAbsolute
};
enum Aga8TemperatureUnit : int { kAga8Fahrenheit, kAga8Celsius, kAga8Rankine, kAga8Kelvin };
enum Aga8VelocityUnit : int { kAga8FeetPerSecond, kAga8MetresPerSecond };
enum Aga8DensityUnit : int { kAga8PoundsPerCubicFoot, kAga8KilogramsPerCubicMetre };
enum Aga8EnthalpyUnit : int { kAga8BtuPerPound, kAga8KilojoulesPerKilogram };

inline constexpr int kAga8PressureUnitCount = 8;
inline constexpr int kAga8TemperatureUnitCount = 4;
inline constexpr int kAga8VelocityUnitCount = 2;
inline constexpr int kAga8DensityUnitCount = 2;
inline constexpr int kAga8EnthalpyUnitCount = 2;

// Shown in the unit boxes and stored as the settings values.
inline constexpr const char* kAga8PressureUnitNames[kAga8PressureUnitCount] = {
    "PSIG",
    "PSIA",
    "BARG",
    "BARA",
    "kilopascal(manom)",
    "kilopascal(absolu)",
    "megapascal(manom)",
    "megapascal(absolu)"};
inline constexpr const char* kAga8TemperatureUnitNames[kAga8TemperatureUnitCount] = {
    "Fahrenheit", "Celsius", "Rankine", "Kelvin"};
inline constexpr const char* kAga8VelocityUnitNames[kAga8VelocityUnitCount] = {"pi/seconde",
                                                                               "m/seconde"};
inline constexpr const char* kAga8DensityUnitNames[kAga8DensityUnitCount] = {"lb/pi3", "kg/M3"};
inline constexpr const char* kAga8EnthalpyUnitNames[kAga8EnthalpyUnitCount] = {"Btu/lbm", "kJ/kg"};

// Index of a unit name, matched without regard to case; -1 when not listed.
int aga8FindUnitName(const char* const* names, int count, std::string_view name);

// Odd pressure indices are absolute units, even ones gauge units.
inline bool aga8IsAbsolutePressureUnit(int unit) { return unit % 2 == 1; }

double aga8PressureToDisplay(double pascals, int unit);
double aga8PressureFromDisplay(double value, int unit);
double aga8TemperatureToDisplay(double kelvin, int unit);
double aga8TemperatureFromDisplay(double value, int unit);

// The 27 screen entries: 0..20 composition (shown in percent), 21..23
// pressures, 24..26 temperatures. Converts the value in place; false (value
// untouched) for an unknown entry or unit. The screen passes its current unit
// where it has none of its own to give.
bool aga8EntryToDisplay(int entry, double& value, int pressureUnit, int temperatureUnit);
bool aga8EntryFromDisplay(int entry, double& value, int pressureUnit, int temperatureUnit);

// Result values.
double aga8VelocityToDisplay(double metresPerSecond, int unit);
double aga8DensityToDisplay(double kilogramsPerCubicMetre, int unit);
double aga8EnthalpyToDisplay(double joulesPerKilogram, int unit);  // kJ/kg or Btu/lbm
double aga8EntropyToDisplay(double joulesPerKilogramK, int unit);  // kJ/(kg K) or Btu/(lbm F)

}  // namespace tarnlux
