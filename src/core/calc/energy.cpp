#include "calc/energy.h"

#include <cmath>

#include "calc/entry_text.h"

namespace tarnlux {

namespace {

constexpr double kPoundsPerKilogram = 2.20462;
constexpr double kCubicInchesPerVolume[kEnergyVolumeUnitCount] = {231.0, 61.0237441, 1728.0,
                                                                  61023.7441, 1.0};
constexpr double kSecondsPerTime[kEnergyTimeUnitCount] = {1.0, 60.0, 3600.0, 86400.0};
constexpr double kRateFactors[kEnergyRateUnitCount] = {3600.0,  60.0,    86400.0, 0.3,
                                                       1054.18, 1.05418, 15.1197};
constexpr const char* kDensityUnitTexts[kEnergyVolumeUnitCount] = {"lbs/gal", "kg/l", "lbs/cu ft",
                                                                   "kg/m3", "lbs/cu in"};

// Volumetric heat capacity polynomials, highest power first; h = P(e) / 100.
struct HeatCapacity {
  double temperatureScale;  // e = 1 - T / scale
  std::array<double, 7> coefficients;
  int count;
};
constexpr HeatCapacity kHeatCapacities[kEnergyLiquidCount] = {
    {500.0,
     {3.141759964, -11.304817798, 15.919749669, -11.593786978, 4.839074419, -0.734647628,
      3.361613758},
     7},
    {1000.0, {0.162013, -0.426117, -0.304587, 0.937256, 3.081102}, 5},
    {1000.0, {2.055803, -5.790579, 5.260124, -1.691295, 3.51858}, 5},
    {1000.0, {-0.352998, 1.094671, -1.965309, 1.470861, 2.980984}, 5},
    {1000.0, {-0.072944, 0.407586, -1.373356, 1.132795, 3.001294}, 5},
    {1000.0, {-0.202706, 0.894072, -2.029938, 1.374994, 2.907231}, 5},
    {1000.0, {27.396344882, -108.35217149, 158.97292092, -103.10716541, 28.132255685}, 5},
};

template <typename T>
T clampedIndex(int index, int count, T fallback) {
  return index >= 0 && index < count ? static_cast<T>(index) : fallback;
}
std::size_t volumeIndex(int unit) {
  return clampedIndex<std::size_t>(unit, kEnergyVolumeUnitCount, 0);
}
std::size_t timeIndex(int unit) { return clampedIndex<std::size_t>(unit, kEnergyTimeUnitCount, 0); }

double fahrenheit(double kelvin) { return kelvin * 1.8 - 459.67; }

bool metricVolume(int unit) { return unit == kEnergyLitres || unit == kEnergyCubicMetres; }

constexpr const char* kRequired[kEnergyEntryCount] = {"Entree requise pour le debit",
                                                      "Entree requise pour la temperature allee",
                                                      "Entree requise pour la temperature retour"};
constexpr const char* kInvalid[kEnergyEntryCount] = {"Nombre invalide pour le debit",
                                                     "Nombre invalide pour la temperature aller",
                                                     "Nombre invalide pour la temperature retour"};

}  // namespace

double energyWaterDensity(double fahrenheitT) {
  const double e = 1.0 - fahrenheitT / 500.0;
  const double poundsPerGallon =
      (((-1.504085481 * e + 2.666196941) * e - 3.062728117) * e + 3.695613851) * e + 6.544116818;
  return poundsPerGallon / 231.0;
}

double energyHeatCapacity(int liquid, double fahrenheitT) {
  const HeatCapacity& h = kHeatCapacities[clampedIndex<std::size_t>(liquid, kEnergyLiquidCount, 0)];
  const double e = 1.0 - fahrenheitT / h.temperatureScale;
  double p = 0.0;
  for (int i = 0; i < h.count; ++i) p = p * e + h.coefficients[static_cast<std::size_t>(i)];
  return p / 100.0;
}

double pt1000Resistance(double celsius) {
  constexpr double A = 0.0039083;
  constexpr double B = -5.775e-7;
  constexpr double C = -4.183e-12;
  const double t = celsius;
  double ratio = 1.0 + A * t + B * t * t;
  if (t < 0.0) ratio += C * (t - 100.0) * t * t * t;
  return 1000.0 * ratio;
}

double energyTemperatureToDisplay(double kelvin, int unit) {
  return unit == kEnergyFahrenheit ? fahrenheit(kelvin) : kelvin - 273.15;
}

double energyTemperatureFromDisplay(double value, int unit) {
  return unit == kEnergyFahrenheit ? (value + 459.67) / 1.8 : value + 273.15;
}

double energyFlowToDisplay(double cubicInchesPerSecond, int volumeUnit, int timeUnit) {
  return cubicInchesPerSecond / kCubicInchesPerVolume[volumeIndex(volumeUnit)] *
         kSecondsPerTime[timeIndex(timeUnit)];
}

double energyFlowFromDisplay(double value, int volumeUnit, int timeUnit) {
  return value * kCubicInchesPerVolume[volumeIndex(volumeUnit)] /
         kSecondsPerTime[timeIndex(timeUnit)];
}

double energyRateToDisplay(double btuPerSecond, int unit) {
  return btuPerSecond * kRateFactors[clampedIndex<std::size_t>(unit, kEnergyRateUnitCount, 0)];
}

double energyFlowPrefixFactor(int prefix) {
  return prefix == kEnergyMega ? 1e6 : prefix == kEnergyKilo ? 1e3 : 1.0;
}

std::string energyFlowUnitText(int prefix, int volumeUnit, int timeUnit) {
  std::string text;
  if (prefix == kEnergyKilo) text = "Kilo ";
  if (prefix == kEnergyMega) text = "Mega ";
  return text + kEnergyVolumeUnitNames[volumeIndex(volumeUnit)] + "/" +
         kEnergyTimeUnitNames[timeIndex(timeUnit)];
}

EnergyFlowDisplay energyFlowDisplay(double cubicInchesPerSecond, int volumeUnit, int timeUnit) {
  const double value = energyFlowToDisplay(cubicInchesPerSecond, volumeUnit, timeUnit);
  for (int prefix : {kEnergyNoPrefix, kEnergyKilo, kEnergyMega}) {
    if (auto text = formatEntryValue(value / energyFlowPrefixFactor(prefix), kEntryMaxDigits)) {
      return {*text, prefix};
    }
  }
  return {};
}

std::string energyTemperatureText(double kelvin, int unit) {
  return formatEntryValue(energyTemperatureToDisplay(kelvin, unit)).value_or(std::string());
}

EnergyValidation energyValidate(const std::array<std::string, kEnergyEntryCount>& fieldTexts,
                                const EnergyChoices& choices, int flowPrefix) {
  EnergyValidation result;
  for (int entry = 0; entry < kEnergyEntryCount; ++entry) {
    const std::size_t i = static_cast<std::size_t>(entry);
    const std::string text = trimEntryText(fieldTexts[i]);
    if (text.empty()) {
      result.failedEntry = entry;
      result.message = kRequired[i];
      return result;
    }
    const std::optional<double> typed = parseEntryText(text);
    if (!typed) {
      result.failedEntry = entry;
      result.message = kInvalid[i];
      return result;
    }
    if (entry == kEnergyFlowEntry) {
      result.values[i] = energyFlowFromDisplay(*typed * energyFlowPrefixFactor(flowPrefix),
                                               choices.volumeUnit(), choices.timeUnit());
      continue;
    }
    const double kelvin = energyTemperatureFromDisplay(*typed, choices.temperatureUnit());
    if (!energyTemperatureInRange(kelvin)) {
      result.failedEntry = entry;
      result.message = kEnergyTemperatureOutOfRange;
      return result;
    }
    result.values[i] = kelvin;
  }
  return result;
}

EnergyResults energyCalculate(const EnergyEntries& entries, const EnergyChoices& choices) {
  EnergyResults r;
  r.supplyK = entries.values[kEnergySupplyEntry];
  r.returnK = entries.values[kEnergyReturnEntry];
  r.meterLocation = choices.meterLocation() == kEnergyReturn ? kEnergyReturn : kEnergySupply;
  const double flow = entries.values[kEnergyFlowEntry];
  const double ts = fahrenheit(r.supplyK);
  const double tr = fahrenheit(r.returnK);
  const double sign = choices.service() == kEnergyCooling ? -1.0 : 1.0;
  const double deltaT = ts - tr;
  const double mean = (ts + tr) / 2.0;

  double k = sign;
  r.water = choices.liquid() == kEnergyWater || choices.liquid() < 0;
  if (r.water) {
    const bool onSupply = r.meterLocation == kEnergySupply;
    const double atSensor = onSupply ? ts : tr;
    const double other = onSupply ? tr : ts;
    r.densityAtSensor = energyWaterDensity(atSensor);
    r.massFlow = r.densityAtSensor * flow;
    k = sign * (r.densityAtSensor / energyWaterDensity(other) + 1.0) / 2.0;
  }
  r.energyRate = energyHeatCapacity(choices.liquid(), mean) * deltaT * flow * k;
  r.supplyResistance = pt1000Resistance(r.supplyK - 273.15);
  r.returnResistance = pt1000Resistance(r.returnK - 273.15);
  r.valid = true;
  return r;
}

ResultsPage energyResultsPage(const EnergyResults& results, const EnergyChoices& choices) {
  const int temperatureUnit =
      choices.temperatureUnit() == kEnergyFahrenheit ? kEnergyFahrenheit : kEnergyCelsius;
  const std::size_t volume = volumeIndex(choices.volumeUnit());
  const std::size_t time = timeIndex(choices.timeUnit());
  const bool metric = metricVolume(static_cast<int>(volume));
  const double massScale = metric ? 1.0 / kPoundsPerKilogram : 1.0;

  auto value = [](std::string text) {
    return ResultsCell{std::move(text), false, ResultsAlign::Right, 1};
  };
  auto text = [](std::string t) { return ResultsCell{std::move(t), false, ResultsAlign::Left, 1}; };
  auto bold = [](std::string t) { return ResultsCell{std::move(t), true, ResultsAlign::Left, 1}; };

  ResultsGrid grid;
  grid.rows.push_back({bold(""), bold("Valeur"), bold("Unites")});
  const double deltaT = energyTemperatureToDisplay(results.supplyK, temperatureUnit) -
                        energyTemperatureToDisplay(results.returnK, temperatureUnit);
  grid.rows.push_back({text("Difference de temp.:"), value(fixedNumberText(deltaT, 2)),
                       text(kEnergyTemperatureUnitNames[temperatureUnit])});

  const char* densityLabel =
      results.meterLocation == kEnergyReturn ? "Densite au retour:" : "Masse vol. a l'aller:";
  if (results.water) {
    const double density = results.densityAtSensor * kCubicInchesPerVolume[volume] * massScale;
    const double massFlow = results.massFlow * kSecondsPerTime[time] * massScale;
    grid.rows.push_back(
        {text(densityLabel), value(fixedNumberText(density, 4)), text(kDensityUnitTexts[volume])});
    grid.rows.push_back({text("Debit massique:"), value(fixedNumberText(massFlow, 3)),
                         text(std::string(metric ? "kg/" : "lbs/") + kEnergyTimeUnitNames[time])});
  } else {
    // No density figures for the glycols and the brine.
    grid.rows.push_back({text(densityLabel), value(""), text("")});
    grid.rows.push_back({text("Debit massique:"), value(""), text("")});
  }
  grid.rows.push_back(
      {text("Debit energie 7326:"),
       value(fixedNumberText(energyRateToDisplay(results.energyRate, choices.rateUnit()), 3)),
       text(kEnergyRateUnitNames[clampedIndex<std::size_t>(choices.rateUnit(), kEnergyRateUnitCount,
                                                           0)])});
  grid.rows.push_back({text("Resist. RTD a l'aller:"),
                       value(fixedNumberText(results.supplyResistance, 1)), text("Ohms")});
  grid.rows.push_back({text("Resist. RTD retour:"),
                       value(fixedNumberText(results.returnResistance, 1)), text("Ohms")});
  fitColumns(grid, 8);
  ResultsPage page;
  page.grids.push_back(std::move(grid));
  return page;
}

}  // namespace tarnlux
