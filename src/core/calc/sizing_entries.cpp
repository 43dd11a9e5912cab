// The sizing tools' selections, entries, units and validation.

#include <algorithm>
#include <cmath>

#include "calc/aga8_screen_rules.h"
#include "calc/entry_text.h"
#include "calc/sizing.h"

namespace tarnlux {

namespace {

constexpr double kAtmospherePa = 101325.0;
constexpr double kPoundsPerCubicFootPerKgPerCubicMetre = 0.0624279606;
constexpr double kPoundsPerKilogram = 2.20462262185;
constexpr double kCubicInchesPerCubicMetre = 61023.7440947;
constexpr double kCubicInchesPerCubicFoot = 1728.0;

constexpr const char* kLengthUnits[] = {"mm", "pouces"};
constexpr const char* kTemperatureUnits[] = {"deg C", "deg F"};
constexpr const char* kPressureUnits[] = {"BARA",
                                          "BARG",
                                          "PSIA",
                                          "PSIG",
                                          "kg/cm2(absolue)",
                                          "kg/cm2(relative)",
                                          "megapascal(absolu)",
                                          "megapascal(manom)"};
constexpr const char* kVelocityUnits[] = {"metres/s", "pieds/s"};
constexpr const char* kGasDensityUnits[] = {"Densite", "lbs/ft3", "kg/M3", "g/cm3"};
constexpr const char* kLiquidDensityUnits[] = {"Densite", "API", "lbs/ft3", "kg/M3", "g/cm3"};
constexpr const char* kGasVolumeUnits[] = {"Pieds cube std", "Metres cube std", "Livres",
                                           "Kilogrammes",    "Tonnes",          "Tonnes metriques",
                                           "Pieds cube",     "Metres cube",     "Vitesse flux"};
constexpr const char* kLiquidVolumeUnits[] = {
    "Gallons",      "Litres",           "Pieds cube",        "Metres cube",  "Pouces cube",
    "Cm cube",      "Onces(US)",        "Gallons imperiaux", "31,0 GAL BBL", "31,5 GAL BBL",
    "42,0 GAL BBL", "tambour 55 GAL",   "Acres-pieds",       "Livres",       "Kilogrammes",
    "Tonnes",       "Tonnes metriques", "Vitesse flux"};

// Pa per display unit, and whether the unit is gauge (atmosphere added).
struct PressureScale {
  double pascals;
  bool gauge;
};
constexpr PressureScale kPressureScales[] = {
    {1e5, false},     {1e5, true},     {6894.75729, false}, {6894.75729, true},
    {98066.5, false}, {98066.5, true}, {1e6, false},        {1e6, true}};

// What a flow in a volume/mass unit measures, and how much of it one unit is.
enum class FlowKind { Standard, Actual, Mass, Velocity };
struct FlowUnit {
  FlowKind kind;
  double amount;  // in3 (standard or actual) or lb
};
constexpr FlowUnit kGasFlowUnits[] = {
    {FlowKind::Standard, kCubicInchesPerCubicFoot},
    {FlowKind::Standard, kCubicInchesPerCubicMetre},
    {FlowKind::Mass, 1.0},
    {FlowKind::Mass, kPoundsPerKilogram},
    {FlowKind::Mass, 2000.0},
    {FlowKind::Mass, 1000.0 * kPoundsPerKilogram},
    {FlowKind::Actual, kCubicInchesPerCubicFoot},
    {FlowKind::Actual, kCubicInchesPerCubicMetre},
    {FlowKind::Velocity, 1.0},
};
constexpr FlowUnit kLiquidFlowUnits[] = {
    {FlowKind::Actual, 231.0},
    {FlowKind::Actual, kCubicInchesPerCubicMetre / 1000.0},
    {FlowKind::Actual, kCubicInchesPerCubicFoot},
    {FlowKind::Actual, kCubicInchesPerCubicMetre},
    {FlowKind::Actual, 1.0},
    {FlowKind::Actual, kCubicInchesPerCubicMetre / 1e6},
    {FlowKind::Actual, 231.0 / 128.0},
    {FlowKind::Actual, 277.4194327916},
    {FlowKind::Actual, 31.0 * 231.0},
    {FlowKind::Actual, 31.5 * 231.0},
    {FlowKind::Actual, 42.0 * 231.0},
    {FlowKind::Actual, 55.0 * 231.0},
    {FlowKind::Actual, 43560.0 * kCubicInchesPerCubicFoot},
    {FlowKind::Mass, 1.0},
    {FlowKind::Mass, kPoundsPerKilogram},
    {FlowKind::Mass, 2000.0},
    {FlowKind::Mass, 1000.0 * kPoundsPerKilogram},
    {FlowKind::Velocity, 1.0},
};
constexpr double kSecondsPerTime[kSizingTimeUnitCount] = {1.0, 60.0, 3600.0, 86400.0};

constexpr const char* kPipeNames[kSizingPipeMaterialCount] = {
    "Acier",           "ABS",          "Aluminium",    "Fer noir",      "Laiton", "Fonte",
    "CuNi (70/30)",    "CuNi (90/10)", "Cuivre",       "Fonte ductile", "PRV",    "Verre",
    "Hastelloy",       "Inconel",      "Kynar (PVDF)", "Monel",         "Nickel", "Polyethylene",
    "PVC (plastique)", "Teflon",       "Titane"};
constexpr const char* kLinerNames[kSizingLinerMaterialCount] = {
    "Aucun",  "Ciment", "Goudr. de houille", "Email", "Verre", "Plastique", "PEHD",
    "Teflon", "Gomme"};

const char* const* gasNames() {
  static const auto names = [] {
    std::array<const char*, kSizingGasCount> list{};
    for (int i = 0; i < kSizingGasCount; ++i)
      list[static_cast<std::size_t>(i)] = kSizingGases[i].name;
    return list;
  }();
  return names.data();
}

const char* const* liquidNames() {
  static const auto names = [] {
    std::array<const char*, kSizingLiquidCount> list{};
    for (int i = 0; i < kSizingLiquidCount; ++i)
      list[static_cast<std::size_t>(i)] = kSizingLiquids[i].name;
    return list;
  }();
  return names.data();
}

constexpr const char* kDiameterRange = "Diametre exterieur en-dehors de la plage";
constexpr const char* kWallRange = "Epaisseur de la paroi en-dehors de la plage";
constexpr const char* kLinerRange = "Epaisseur du revetement interieur en-dehors de la plage";
constexpr const char* kViscosityRange = "Viscosite en-dehors de la plage";
constexpr const char* kDensityRange = "Masse volumique en-dehors de la plage";
constexpr const char* kTemperatureRange = "Temperature en-dehors de la plage";
constexpr const char* kPressureRange = "Pression en-dehors de la plage";
constexpr const char* kMinimumFlowNegative = "Le debit minimum ne peut pas etre negatif";
constexpr const char* kMaximumFlowNegative = "Le debit maximum ne peut pas etre negatif";

constexpr double kMinTemperatureK = 144.2611;
constexpr double kMaxTemperatureK = 810.9278;
constexpr double kMinPressurePa = 6894.75729;
constexpr double kMaxPressurePa = 6894757290.0;
constexpr double kHuge = 1e300;

const std::array<SizingEntryInfo, kSizingGasEntryCount> kGasEntries = [] {
  std::array<SizingEntryInfo, kSizingGasEntryCount> e{{
      {"OUTSIDE_DIAMETER", "Diam. ext.:", SizingQuantity::Length, 0.25, 360, kDiameterRange},
      {"WALL_THICKNESS", "Epaisseur paroi:", SizingQuantity::Length, 0.01, 120, kWallRange},
      {"LINER_THICKNESS", "Ep. revet. int.:", SizingQuantity::Length, 0.0, 60, kLinerRange},
      {"ESTIMATED_VS", "Vs estimees:", SizingQuantity::Velocity, 3937.007874, 59055.11811,
       kSizingSoundSpeedMessage},
      {"ABSOLUTE_VISCOSITY", "Visc. abs. (cP):", SizingQuantity::AbsoluteViscosity, 0.001, 100,
       kViscosityRange},
      {"MINIMUM_FLOWRATE", "Debit (Q):", SizingQuantity::Flow, 0.0, kHuge, kMinimumFlowNegative},
      {"MAXIMUM_FLOWRATE", "Debit (Q):", SizingQuantity::Flow, 0.0, kHuge, kMaximumFlowNegative},
      {"MINIMUM_TEMPERATURE", "Temp. @ Q:", SizingQuantity::Temperature, kMinTemperatureK,
       kMaxTemperatureK, kTemperatureRange},
      {"MAXIMUM_TEMPERATURE", "Temp. @ Q:", SizingQuantity::Temperature, kMinTemperatureK,
       kMaxTemperatureK, kTemperatureRange},
      {"MINIMUM_PRESSURE", "Pression @ Q:", SizingQuantity::Pressure, kMinPressurePa,
       kMaxPressurePa, kPressureRange},
      {"MAXIMUM_PRESSURE", "Pression @ Q:", SizingQuantity::Pressure, kMinPressurePa,
       kMaxPressurePa, kPressureRange},
  }};
  for (int c = 0; c < kAga8CompositionEntryCount; ++c) {
    e[static_cast<std::size_t>(kSizingGasCompositionFirst + c)] = {
        aga8EntryKey(c), aga8EntryLabel(c, false), SizingQuantity::Fraction, 0.0, 1.0, ""};
  }
  return e;
}();

constexpr SizingEntryInfo kLiquidEntries[kSizingLiquidEntryCount] = {
    {"OUTSIDE_DIAMETER", "Diam. ext.:", SizingQuantity::Length, 0.25, 360, kDiameterRange},
    {"WALL_THICKNESS", "Epaisseur paroi:", SizingQuantity::Length, 0.01, 120, kWallRange},
    {"LINER_THICKNESS", "Ep. revet. int.:", SizingQuantity::Length, 0.0, 60, kLinerRange},
    {"ESTIMATED_VS", "Vs estimees:", SizingQuantity::Velocity, 15748.0314, 118110.2362,
     kSizingSoundSpeedMessage},
    {"KINEMATIC_VISCOSITY", "Visc. cinem. (cS):", SizingQuantity::KinematicViscosity, 0.01, 1e6,
     kViscosityRange},
    {"DENSITY", "Densite:", SizingQuantity::Density, 0.1, 100, kDensityRange},
    {"MINIMUM_FLOWRATE", "Debit:", SizingQuantity::Flow, 0.0, kHuge, kMinimumFlowNegative},
    {"MAXIMUM_FLOWRATE", "Debit:", SizingQuantity::Flow, 0.0, kHuge, kMaximumFlowNegative},
    {"MINIMUM_TEMPERATURE", "Temperature:", SizingQuantity::Temperature, kMinTemperatureK,
     kMaxTemperatureK, kTemperatureRange},
    {"MAXIMUM_TEMPERATURE", "Temperature:", SizingQuantity::Temperature, kMinTemperatureK,
     kMaxTemperatureK, kTemperatureRange},
};

// Limits that a value typed in another unit lands on may miss by a rounding.
bool withinLimits(double value, double low, double high) {
  return value >= low - 1e-9 * std::fabs(low) && value <= high + 1e-9 * std::fabs(high);
}

const FlowUnit* flowUnit(SizingMode mode, int index) {
  if (mode == SizingMode::Gas) {
    if (index < 0 || index >= static_cast<int>(std::size(kGasFlowUnits))) return nullptr;
    return &kGasFlowUnits[index];
  }
  if (index < 0 || index >= static_cast<int>(std::size(kLiquidFlowUnits))) return nullptr;
  return &kLiquidFlowUnits[index];
}

double velocityScale(int unit) {  // in/s per display unit
  return unit == kSizingFeetPerSecond ? 12.0 : kSizingInchesPerMetre;
}

}  // namespace

SizingSelectionInfo sizingSelectionInfo(SizingMode mode, int selection) {
  const bool gas = mode == SizingMode::Gas;
  switch (selection) {
    case kSizingLengthUnit:
      return {"DIMENSION_UNITS", kLengthUnits, 2};
    case kSizingTemperatureUnit:
      return {"TEMPERATURE_UNITS", kTemperatureUnits, 2};
    case kSizingPressureUnit:
      return {"PRESSURE_UNITS", kPressureUnits, gas ? 8 : 0};
    case kSizingVelocityUnit:
      return {"VELOCITY_UNITS", kVelocityUnits, 2};
    case kSizingDensityUnit:
      return gas ? SizingSelectionInfo{"DENSITY_UNITS", kGasDensityUnits, 4}
                 : SizingSelectionInfo{"DENSITY_UNITS", kLiquidDensityUnits, 5};
    case kSizingVolumeMassUnit:
      return gas ? SizingSelectionInfo{"VOLUME_MASS_UNITS", kGasVolumeUnits, 9}
                 : SizingSelectionInfo{"VOLUME_MASS_UNITS", kLiquidVolumeUnits, 18};
    case kSizingTimeUnit:
      return {"TIME_UNITS", kSizingTimeUnitNames, kSizingTimeUnitCount};
    case kSizingPipeMaterial:
      return {"PIPE_MATERIAL", kPipeNames, kSizingPipeMaterialCount};
    case kSizingLinerMaterial:
      return {"LINER_MATERIAL", kLinerNames, kSizingLinerMaterialCount};
    case kSizingFluid:
      return gas ? SizingSelectionInfo{"GAS_NAME", gasNames(), kSizingGasCount}
                 : SizingSelectionInfo{"LIQUID_NAME", liquidNames(), kSizingLiquidCount};
    default:
      return {"", nullptr, 0};
  }
}

int sizingFlowVelocityUnit(SizingMode mode) { return mode == SizingMode::Gas ? 8 : 17; }

int sizingDefaultFluid(SizingMode mode) {
  return mode == SizingMode::Gas ? kNaturalGas : kSizingDefaultLiquid;
}

int SizingChoices::safe(SizingMode mode, int selection) const {
  const int count = sizingSelectionInfo(mode, selection).count;
  const int i = at(selection);
  if (i >= 0 && i < count) return i;
  return selection == kSizingFluid ? sizingDefaultFluid(mode) : 0;
}

int sizingEntryCount(SizingMode mode) {
  return mode == SizingMode::Gas ? kSizingGasEntryCount : kSizingLiquidEntryCount;
}

const SizingEntryInfo& sizingEntryInfo(SizingMode mode, int entry) {
  const int count = sizingEntryCount(mode);
  if (entry < 0 || entry >= count) entry = 0;
  return mode == SizingMode::Gas ? kGasEntries[static_cast<std::size_t>(entry)]
                                 : kLiquidEntries[entry];
}

int sizingEntry(SizingMode mode, SizingRole role) {
  static constexpr int kGas[] = {0, 1, 2, 3, 4, -1, 5, 6, 7, 8, 9, 10};
  static constexpr int kLiquid[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, -1, -1};
  const auto i = static_cast<std::size_t>(role);
  return mode == SizingMode::Gas ? kGas[i] : kLiquid[i];
}

void sizingFillFluid(SizingMode mode, int fluid, SizingEntries& entries) {
  auto put = [&](SizingRole role, double value) {
    const int entry = sizingEntry(mode, role);
    if (entry < 0) return;
    entries.values[static_cast<std::size_t>(entry)] = value;
    entries.set[static_cast<std::size_t>(entry)] = true;
  };
  if (mode == SizingMode::Gas) {
    if (fluid < 0 || fluid >= kSizingGasCount) return;
    put(SizingRole::SoundSpeed, kSizingGases[fluid].soundSpeed * kSizingInchesPerMetre);
    put(SizingRole::Viscosity, kSizingGases[fluid].viscosity);
  } else {
    if (fluid < 0 || fluid >= kSizingLiquidCount) return;
    put(SizingRole::SoundSpeed, kSizingLiquids[fluid].soundSpeed * kSizingInchesPerMetre);
    put(SizingRole::Viscosity, kSizingLiquids[fluid].viscosity);
    put(SizingRole::Density, kSizingLiquids[fluid].relativeDensity);
  }
}

double sizingToDisplay(SizingMode mode, SizingQuantity quantity, double value,
                       const SizingChoices& choices) {
  switch (quantity) {
    case SizingQuantity::Length:
      return choices.safe(mode, kSizingLengthUnit) == kSizingMillimetres ? value * 25.4 : value;
    case SizingQuantity::Velocity:
      return value / velocityScale(choices.safe(mode, kSizingVelocityUnit));
    case SizingQuantity::Temperature:
      return choices.safe(mode, kSizingTemperatureUnit) == kSizingFahrenheit ? value * 1.8 - 459.67
                                                                             : value - 273.15;
    case SizingQuantity::Pressure: {
      const PressureScale& s = kPressureScales[choices.safe(mode, kSizingPressureUnit)];
      return (value - (s.gauge ? kAtmospherePa : 0.0)) / s.pascals;
    }
    case SizingQuantity::Density: {
      if (mode == SizingMode::Gas) {
        // The gas tool's densities are relative to air at the base conditions.
        switch (choices.safe(mode, kSizingDensityUnit)) {
          case 1:
            return value * kSizingAirBaseDensity * kPoundsPerCubicFootPerKgPerCubicMetre;
          case 2:
            return value * kSizingAirBaseDensity;
          case 3:
            return value * kSizingAirBaseDensity / 1000.0;
          default:
            return value;
        }
      }
      switch (choices.safe(mode, kSizingDensityUnit)) {
        case 1:
          return 141.5 / value - 131.5;
        case 2:
          return value * kSizingWaterDensity * kPoundsPerCubicFootPerKgPerCubicMetre;
        case 3:
          return value * kSizingWaterDensity;
        case 4:
          return value * kSizingWaterDensity / 1000.0;
        default:
          return value;
      }
    }
    case SizingQuantity::Fraction:
      return value * 100.0;
    default:
      return value;
  }
}

double sizingFromDisplay(SizingMode mode, SizingQuantity quantity, double value,
                         const SizingChoices& choices) {
  switch (quantity) {
    case SizingQuantity::Length:
      return choices.safe(mode, kSizingLengthUnit) == kSizingMillimetres ? value / 25.4 : value;
    case SizingQuantity::Velocity:
      return value * velocityScale(choices.safe(mode, kSizingVelocityUnit));
    case SizingQuantity::Temperature:
      return choices.safe(mode, kSizingTemperatureUnit) == kSizingFahrenheit
                 ? (value + 459.67) / 1.8
                 : value + 273.15;
    case SizingQuantity::Pressure: {
      const PressureScale& s = kPressureScales[choices.safe(mode, kSizingPressureUnit)];
      return value * s.pascals + (s.gauge ? kAtmospherePa : 0.0);
    }
    case SizingQuantity::Density: {
      const double unit = sizingToDisplay(mode, quantity, 1.0, choices);
      if (mode == SizingMode::Liquid && choices.safe(mode, kSizingDensityUnit) == 1) {
        return 141.5 / (value + 131.5);
      }
      return value / unit;
    }
    case SizingQuantity::Fraction:
      return value / 100.0;
    default:
      return value;
  }
}

std::string sizingFlowUnitText(SizingMode mode, const SizingChoices& choices, const char* prefix) {
  const int volume = choices.safe(mode, kSizingVolumeMassUnit);
  if (volume == sizingFlowVelocityUnit(mode)) {
    return kVelocityUnits[choices.safe(mode, kSizingVelocityUnit)];
  }
  const std::string name = sizingSelectionInfo(mode, kSizingVolumeMassUnit).names[volume];
  const std::string time = kSizingTimeUnitNames[choices.safe(mode, kSizingTimeUnit)];
  if (prefix != nullptr && *prefix != '\0') return std::string(prefix) + " " + name + "/" + time;
  return name + "/" + time;
}

std::string sizingUnitText(SizingMode mode, SizingQuantity quantity, const SizingChoices& choices) {
  switch (quantity) {
    case SizingQuantity::Length:
      return kLengthUnits[choices.safe(mode, kSizingLengthUnit)];
    case SizingQuantity::Velocity:
      return kVelocityUnits[choices.safe(mode, kSizingVelocityUnit)];
    case SizingQuantity::Temperature:
      return kTemperatureUnits[choices.safe(mode, kSizingTemperatureUnit)];
    case SizingQuantity::Pressure:
      return kPressureUnits[choices.safe(mode, kSizingPressureUnit)];
    case SizingQuantity::Density:
      return sizingSelectionInfo(mode, kSizingDensityUnit)
          .names[choices.safe(mode, kSizingDensityUnit)];
    case SizingQuantity::Flow:
      return sizingFlowUnitText(mode, choices);
    case SizingQuantity::AbsoluteViscosity:
      return "cP";
    case SizingQuantity::KinematicViscosity:
      return "cS";
    case SizingQuantity::Fraction:
      return "%";
  }
  return {};
}

std::optional<double> sizingFlowToActual(SizingMode mode, double flow, int volumeMassUnit,
                                         int timeUnit, const SizingFlowBasis& basis) {
  const FlowUnit* unit = flowUnit(mode, volumeMassUnit);
  if (unit == nullptr) return std::nullopt;
  const double perSecond =
      unit->kind == FlowKind::Velocity
          ? flow
          : flow / kSecondsPerTime[std::clamp(timeUnit, 0, kSizingTimeUnitCount - 1)];
  switch (unit->kind) {
    case FlowKind::Actual:
      return perSecond * unit->amount;
    case FlowKind::Standard:
      if (!(basis.standardVolumeFactor > 0.0)) return std::nullopt;
      return perSecond * unit->amount / basis.standardVolumeFactor;
    case FlowKind::Mass:
      if (!(basis.densityLbPerCubicInch > 0.0)) return std::nullopt;
      return perSecond * unit->amount / basis.densityLbPerCubicInch;
    case FlowKind::Velocity:
      if (!(basis.areaSquareInches > 0.0)) return std::nullopt;
      return perSecond * basis.areaSquareInches;  // flow given in in/s
  }
  return std::nullopt;
}

std::optional<double> sizingFlowFromActual(SizingMode mode, double actual, int volumeMassUnit,
                                           int timeUnit, const SizingFlowBasis& basis) {
  const std::optional<double> one = sizingFlowToActual(mode, 1.0, volumeMassUnit, timeUnit, basis);
  if (!one || !(*one > 0.0)) return std::nullopt;
  return actual / *one;
}

std::string sizingDisplayText(SizingMode mode, int entry, double internalValue,
                              const SizingChoices& choices) {
  const SizingEntryInfo& info = sizingEntryInfo(mode, entry);
  double shown = sizingToDisplay(mode, info.quantity, internalValue, choices);
  // A flow velocity is held in in/s like every velocity.
  if (info.quantity == SizingQuantity::Flow &&
      choices.safe(mode, kSizingVolumeMassUnit) == sizingFlowVelocityUnit(mode)) {
    shown = sizingToDisplay(mode, SizingQuantity::Velocity, internalValue, choices);
  }
  return formatEntryValue(shown).value_or(std::string());
}

SizingValidation sizingValidate(SizingMode mode, const std::vector<std::string>& fieldTexts,
                                const SizingChoices& choices) {
  const int count = sizingEntryCount(mode);
  SizingValidation result;
  result.values.assign(static_cast<std::size_t>(count), 0.0);
  result.empty.assign(static_cast<std::size_t>(count), false);
  const bool noLiner = choices.safe(mode, kSizingLinerMaterial) == 0;
  const bool composition =
      mode == SizingMode::Gas && choices.safe(mode, kSizingFluid) == kAga8CompositionGas;
  const bool flowVelocity =
      choices.safe(mode, kSizingVolumeMassUnit) == sizingFlowVelocityUnit(mode);
  const int lastEntry =
      mode == SizingMode::Gas && !composition ? kSizingGasCompositionFirst : count;

  auto text = [&](int entry) {
    const auto i = static_cast<std::size_t>(entry);
    return i < fieldTexts.size() ? trimEntryText(fieldTexts[i]) : std::string();
  };
  auto fail = [&](int entry, std::string message) {
    result.failedEntry = entry;
    result.message = std::move(message);
    return result;
  };

  const int diameterEntry = sizingEntry(mode, SizingRole::OutsideDiameter);
  const int wallEntry = sizingEntry(mode, SizingRole::Wall);
  const int linerEntry = sizingEntry(mode, SizingRole::Liner);
  for (int entry = 0; entry < lastEntry; ++entry) {
    const SizingEntryInfo& info = sizingEntryInfo(mode, entry);
    const auto i = static_cast<std::size_t>(entry);
    const std::string typed = text(entry);

    if (info.quantity == SizingQuantity::Fraction) {
      // The composition reads as the AGA8 screen reads it: empty counts 0.
      const int component = entry - kSizingGasCompositionFirst;
      if (typed.empty()) {
        result.empty[i] = true;
        continue;
      }
      const std::optional<double> value = parseEntryText(typed);
      if (!value || *value < 0.0) return fail(entry, aga8BadValueMessage(component, false));
      result.values[i] = *value / 100.0;
      continue;
    }
    if (entry == linerEntry && noLiner) {
      // No liner: the field is disabled and the thickness is 0.
      result.empty[i] = typed.empty();
      continue;
    }
    const std::optional<double> value = parseEntryText(typed);
    if (!value) return fail(entry, info.rangeMessage);
    const bool mustBePositive = info.quantity == SizingQuantity::Length ||
                                info.quantity == SizingQuantity::Velocity ||
                                info.quantity == SizingQuantity::AbsoluteViscosity ||
                                info.quantity == SizingQuantity::KinematicViscosity;
    if (mustBePositive && !(*value > 0.0)) return fail(entry, info.rangeMessage);
    double internal = sizingFromDisplay(mode, info.quantity, *value, choices);
    if (info.quantity == SizingQuantity::Flow && flowVelocity) {
      internal = sizingFromDisplay(mode, SizingQuantity::Velocity, *value, choices);
    }
    if (!withinLimits(internal, info.minimum, info.maximum) || !std::isfinite(internal)) {
      return fail(entry, info.rangeMessage);
    }
    result.values[i] = internal;
    if (entry == wallEntry) {
      const double d = result.values[static_cast<std::size_t>(diameterEntry)];
      if (d / internal < 3.0) return fail(entry, kSizingWallRatioMessage);
    }
    if (entry == linerEntry) {
      const double d = result.values[static_cast<std::size_t>(diameterEntry)];
      const double w = result.values[static_cast<std::size_t>(wallEntry)];
      if (d / (w + internal) < 3.0) return fail(entry, kSizingLinerRatioMessage);
    }
  }
  if (composition) {
    std::array<double, kAga8EntryCount> fractions{};
    for (int c = 0; c < kAga8CompositionEntryCount; ++c) {
      fractions[static_cast<std::size_t>(c)] =
          result.values[static_cast<std::size_t>(kSizingGasCompositionFirst + c)];
    }
    if (!aga8CheckTotal(fractions).ok) return fail(kSizingGasCompositionFirst, kAga8TotalMessage);
  }
  return result;
}

}  // namespace tarnlux
