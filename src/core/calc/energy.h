#pragma once

// The energy flow calculator: the heat rate carried by a water or
// glycol/brine loop from its volume flow and its supply and return
// temperatures. Internal units: in3/s, K, BTU/s, lb/in3.

#include <array>
#include <string>

#include "calc/results_format.h"

namespace tarnlux {

inline constexpr int kEnergyTemperatureUnitCount = 2;
inline constexpr int kEnergyRateUnitCount = 7;
inline constexpr int kEnergyVolumeUnitCount = 5;
inline constexpr int kEnergyTimeUnitCount = 4;
inline constexpr int kEnergyLiquidCount = 7;
inline constexpr int kEnergyMeterLocationCount = 2;
inline constexpr int kEnergyServiceCount = 2;

enum EnergyTemperatureUnit : int { kEnergyCelsius, kEnergyFahrenheit };
enum EnergyVolumeUnit : int {
  kEnergyGallons,
  kEnergyLitres,
  kEnergyCubicFeet,
  kEnergyCubicMetres,
  kEnergyCubicInches
};
enum EnergyLiquid : int { kEnergyWater = 0, kEnergyCalciumChloride = 6 };
enum EnergyMeterLocation : int { kEnergySupply, kEnergyReturn };
enum EnergyService : int { kEnergyHeating, kEnergyCooling };

inline constexpr const char* kEnergyTemperatureUnitNames[kEnergyTemperatureUnitCount] = {"deg C",
                                                                                         "deg F"};
inline constexpr const char* kEnergyRateUnitNames[kEnergyRateUnitCount] = {
    "BTU / h", "BTU / min", "BTU / j", "Tonnes", "Watts", "Kilowatts", "Calories / min"};
inline constexpr const char* kEnergyVolumeUnitNames[kEnergyVolumeUnitCount] = {
    "Gallons", "Litres", "Pieds cube", "Metres cube", "Pouces cube"};
inline constexpr const char* kEnergyTimeUnitNames[kEnergyTimeUnitCount] = {"S", "MIN", "H", "J"};
inline constexpr const char* kEnergyLiquidNames[kEnergyLiquidCount] = {"Eau",
                                                                       "10 % d'ethylene glycol",
                                                                       "20 % d'ethylene glycol",
                                                                       "30 % d'ethylene glycol",
                                                                       "40 % d'ethylene glycol",
                                                                       "50 % d'ethylene glycol",
                                                                       "Chlorure de calcium"};
inline constexpr const char* kEnergyMeterLocationNames[kEnergyMeterLocationCount] = {"Aller",
                                                                                     "Retour"};
inline constexpr const char* kEnergyServiceNames[kEnergyServiceCount] = {"Chauffage",
                                                                         "Refroidissement"};

// The seven selections, in settings and set-up file order.
inline constexpr int kEnergySelectionCount = 7;
struct EnergySelectionInfo {
  const char* key;
  const char* label;
  const char* const* names;
  int count;
};
inline constexpr EnergySelectionInfo kEnergySelections[kEnergySelectionCount] = {
    {"TEMPERATURE_UNITS", "Temperature:", kEnergyTemperatureUnitNames, kEnergyTemperatureUnitCount},
    {"ENERGY_RATE_UNITS", "Taux energ.:", kEnergyRateUnitNames, kEnergyRateUnitCount},
    {"VOLUME_UNITS", "Volume:", kEnergyVolumeUnitNames, kEnergyVolumeUnitCount},
    {"TIME_UNITS", "Tps:", kEnergyTimeUnitNames, kEnergyTimeUnitCount},
    {"LIQUID_NAME", "Selection du liquide:", kEnergyLiquidNames, kEnergyLiquidCount},
    {"METER_LOCATION", "Emplacement capt. debit:", kEnergyMeterLocationNames,
     kEnergyMeterLocationCount},
    {"SERVICE", "Entretien:", kEnergyServiceNames, kEnergyServiceCount},
};
enum EnergySelectionIndex : int {
  kEnergyTemperatureSelection,
  kEnergyRateSelection,
  kEnergyVolumeSelection,
  kEnergyTimeSelection,
  kEnergyLiquidSelection,
  kEnergyLocationSelection,
  kEnergyServiceSelection,
};

// Selection indices; -1 until chosen.
struct EnergyChoices {
  std::array<int, kEnergySelectionCount> index{-1, -1, -1, -1, -1, -1, -1};
  int at(int selection) const { return index[static_cast<std::size_t>(selection)]; }
  int temperatureUnit() const { return at(kEnergyTemperatureSelection); }
  int rateUnit() const { return at(kEnergyRateSelection); }
  int volumeUnit() const { return at(kEnergyVolumeSelection); }
  int timeUnit() const { return at(kEnergyTimeSelection); }
  int liquid() const { return at(kEnergyLiquidSelection); }
  int meterLocation() const { return at(kEnergyLocationSelection); }
  int service() const { return at(kEnergyServiceSelection); }
};

inline constexpr int kEnergyEntryCount = 3;
enum EnergyEntryIndex : int { kEnergyFlowEntry, kEnergySupplyEntry, kEnergyReturnEntry };
inline constexpr const char* kEnergyEntryKeys[kEnergyEntryCount] = {
    "FLOWRATE", "SUPPLY_TEMPERATURE", "RETURN_TEMPERATURE"};
inline constexpr const char* kEnergyEntryLabels[kEnergyEntryCount] = {
    "Debit:", "Temperature aller:", "Temp. retour:"};

// -200 F to 1000 F.
inline constexpr double kEnergyMinTemperatureK = 144.2611;
inline constexpr double kEnergyMaxTemperatureK = 810.9278;
inline bool energyTemperatureInRange(double kelvin) {
  return kelvin >= kEnergyMinTemperatureK && kelvin <= kEnergyMaxTemperatureK;
}

inline constexpr const char* kEnergyTitle = "Calculateur de flux energetiques";
inline constexpr const char* kEnergyPrintDocumentName = "Ecran outil energetique";

// Liquid properties, T in F.
double energyWaterDensity(double fahrenheit);              // lb/in3
double energyHeatCapacity(int liquid, double fahrenheit);  // BTU/(in3 F)
// Pt1000 by Callendar-Van Dusen, T in C.
double pt1000Resistance(double celsius);

// Units.
double energyTemperatureToDisplay(double kelvin, int unit);
double energyTemperatureFromDisplay(double value, int unit);
double energyFlowToDisplay(double cubicInchesPerSecond, int volumeUnit, int timeUnit);
double energyFlowFromDisplay(double value, int volumeUnit, int timeUnit);
double energyRateToDisplay(double btuPerSecond, int unit);

// The flow field may stand for thousands or millions of the unit ("Kilo",
// "Mega"): the prefix multiplies what the field holds.
enum EnergyFlowPrefix : int { kEnergyNoPrefix, kEnergyKilo, kEnergyMega };
double energyFlowPrefixFactor(int prefix);
// "Kilo Gallons/MIN" or "Gallons/MIN".
std::string energyFlowUnitText(int prefix, int volumeUnit, int timeUnit);
// The flow as the field shows it (13 digits in all), with the prefix it needs:
// none unless the number would be too wide.
struct EnergyFlowDisplay {
  std::string text;
  int prefix = kEnergyNoPrefix;
};
EnergyFlowDisplay energyFlowDisplay(double cubicInchesPerSecond, int volumeUnit, int timeUnit);
std::string energyTemperatureText(double kelvin, int unit);

// Values in internal units; an entry not set shows an empty field.
struct EnergyEntries {
  std::array<double, kEnergyEntryCount> values{};
  std::array<bool, kEnergyEntryCount> set{};
};

inline constexpr const char* kEnergyTemperatureOutOfRange = "Temperature en-dehors de la plage";

struct EnergyValidation {
  int failedEntry = -1;
  std::string message;
  std::array<double, kEnergyEntryCount> values{};
  bool ok() const { return failedEntry < 0; }
};
// The three fields in order; the first failure stops it.
EnergyValidation energyValidate(const std::array<std::string, kEnergyEntryCount>& fieldTexts,
                                const EnergyChoices& choices, int flowPrefix);

struct EnergyResults {
  bool valid = false;
  bool water = false;
  int meterLocation = kEnergySupply;
  double supplyK = 0.0;
  double returnK = 0.0;
  double densityAtSensor = 0.0;   // lb/in3, water only
  double massFlow = 0.0;          // lb/s, water only
  double energyRate = 0.0;        // BTU/s, negative for cooling
  double supplyResistance = 0.0;  // Ohms
  double returnResistance = 0.0;
};
EnergyResults energyCalculate(const EnergyEntries& entries, const EnergyChoices& choices);

// Label column, "Valeur" and "Unites".
ResultsPage energyResultsPage(const EnergyResults& results, const EnergyChoices& choices);

}  // namespace tarnlux
