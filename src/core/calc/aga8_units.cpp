#include "calc/aga8_units.h"

#include <cctype>

namespace tarnlux {

namespace {

constexpr double kPascalsPerPsi = 6894.75729;
constexpr double kFoot = 0.3048;       // m
constexpr double kPound = 0.45359237;  // kg
constexpr double kJoulesPerKgPerBtuPerLb = 2326.0;
constexpr double kJoulesPerKgKPerBtuPerLbF = 4186.8;

// Display = internal / scale - offset, for every pressure unit. The gauge
// offsets are the atmospheres the program has always used (14.7 psi and
// 101.35 kPa are not quite 1.01325 bar).
struct PressureScale {
  double scale;
  double offset;
};
constexpr PressureScale kPressureScales[kAga8PressureUnitCount] = {
    {kPascalsPerPsi, 14.7}, {kPascalsPerPsi, 0.0}, {100000.0, 1.01325}, {100000.0, 0.0},
    {1000.0, 101.35},       {1000.0, 0.0},         {1e6, 0.101325},     {1e6, 0.0},
};

bool validIndex(int unit, int count) { return unit >= 0 && unit < count; }

}  // namespace

int aga8FindUnitName(const char* const* names, int count, std::string_view name) {
  for (int i = 0; i < count; ++i) {
    const std::string_view candidate(names[i]);
    if (candidate.size() != name.size()) continue;
    bool same = true;
    for (std::size_t c = 0; c < name.size() && same; ++c) {
      same = std::tolower(static_cast<unsigned char>(candidate[c])) ==
             std::tolower(static_cast<unsigned char>(name[c]));
    }
    if (same) return i;
  }
  return -1;
}

double aga8PressureToDisplay(double pascals, int unit) {
  if (!validIndex(unit, kAga8PressureUnitCount)) return pascals;
  return pascals / kPressureScales[unit].scale - kPressureScales[unit].offset;
}

double aga8PressureFromDisplay(double value, int unit) {
  if (!validIndex(unit, kAga8PressureUnitCount)) return value;
  return (value + kPressureScales[unit].offset) * kPressureScales[unit].scale;
}

double aga8TemperatureToDisplay(double kelvin, int unit) {
  switch (unit) {
    case kAga8Fahrenheit:
      return kelvin * 1.8 - 459.67;
    case kAga8Celsius:
      return kelvin - 273.15;
    case kAga8Rankine:
      return kelvin * 1.8;
    default:
      return kelvin;
  }
}

double aga8TemperatureFromDisplay(double value, int unit) {
  switch (unit) {
    case kAga8Fahrenheit:
      return (value + 459.67) / 1.8;
    case kAga8Celsius:
      return value + 273.15;
    case kAga8Rankine:
      return value / 1.8;
    default:
      return value;
  }
}

bool aga8EntryToDisplay(int entry, double& value, int pressureUnit, int temperatureUnit) {
  if (entry >= 0 && entry <= 20) {
    value *= 100.0;
    return true;
  }
  if (entry >= 21 && entry <= 23 && validIndex(pressureUnit, kAga8PressureUnitCount)) {
    value = aga8PressureToDisplay(value, pressureUnit);
    return true;
  }
  if (entry >= 24 && entry <= 26 && validIndex(temperatureUnit, kAga8TemperatureUnitCount)) {
    value = aga8TemperatureToDisplay(value, temperatureUnit);
    return true;
  }
  return false;
}

bool aga8EntryFromDisplay(int entry, double& value, int pressureUnit, int temperatureUnit) {
  if (entry >= 0 && entry <= 20) {
    value /= 100.0;
    return true;
  }
  if (entry >= 21 && entry <= 23 && validIndex(pressureUnit, kAga8PressureUnitCount)) {
    value = aga8PressureFromDisplay(value, pressureUnit);
    return true;
  }
  if (entry >= 24 && entry <= 26 && validIndex(temperatureUnit, kAga8TemperatureUnitCount)) {
    value = aga8TemperatureFromDisplay(value, temperatureUnit);
    return true;
  }
  return false;
}

double aga8VelocityToDisplay(double metresPerSecond, int unit) {
  return unit == kAga8FeetPerSecond ? metresPerSecond / kFoot : metresPerSecond;
}

double aga8DensityToDisplay(double kilogramsPerCubicMetre, int unit) {
  return unit == kAga8PoundsPerCubicFoot ? kilogramsPerCubicMetre * kFoot * kFoot * kFoot / kPound
                                         : kilogramsPerCubicMetre;
}

double aga8EnthalpyToDisplay(double joulesPerKilogram, int unit) {
  return unit == kAga8BtuPerPound ? joulesPerKilogram / kJoulesPerKgPerBtuPerLb
                                  : joulesPerKilogram * 0.001;
}

double aga8EntropyToDisplay(double joulesPerKilogramK, int unit) {
  return unit == kAga8BtuPerPound ? joulesPerKilogramK / kJoulesPerKgKPerBtuPerLbF
                                  : joulesPerKilogramK * 0.001;
}

}  // namespace tarnlux
