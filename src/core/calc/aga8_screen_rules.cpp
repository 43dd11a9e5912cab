#include "calc/aga8_screen_rules.h"

#include <cmath>

#include "calc/aga8_units.h"
#include "calc/entry_text.h"
#include "common/op_context.h"
#include "common/result.h"

namespace tarnlux {

namespace {

struct EntryInfo {
  const char* key;
  const char* label;
  const char* tableLabel;
  int component;          // -1 for the conditions
  const char* valueName;  // in the bad-value message of a composition entry
};

constexpr EntryInfo kEntries[kAga8EntryCount] = {
    {"HELIUM_PERCENTAGE", "Helium:", nullptr, kAga8Helium, "helium"},
    {"HYDROGEN_PERCENTAGE", "Hydrogene:", nullptr, kAga8Hydrogen, "hydrogene"},
    {"NITROGEN_PERCENTAGE", "Azote:", nullptr, kAga8Nitrogen, "azote"},
    {"CO2_PERCENTAGE", "CO2:", nullptr, kAga8CarbonDioxide, "CO2"},
    {"H2S_PERCENTAGE", "H2S:", nullptr, kAga8HydrogenSulphide, "H2S"},
    {"METHANE_PERCENTAGE", "Methane:", nullptr, kAga8Methane, "methane"},
    {"ETHANE_PERCENTAGE", "Ethane:", nullptr, kAga8Ethane, "ethane"},
    {"PROPANE_PERCENTAGE", "Propane:", nullptr, kAga8Propane, "propane"},
    {"IBUTANE_PERCENTAGE", "i-Butane:", nullptr, kAga8IButane, "i-Butane"},
    {"NBUTANE_PERCENTAGE", "n-Butane:", nullptr, kAga8NButane, "n-Butane"},
    {"IPENTANE_PERCENTAGE", "i-Pentane:", nullptr, kAga8IPentane, "i-Pentane"},
    {"NPENTANE_PERCENTAGE", "n-Pentane:", nullptr, kAga8NPentane, "n-Pentane"},
    {"NHEXANE_PERCENTAGE", "n-Hexane:", nullptr, kAga8NHexane, "n-Hexane"},
    {"NHEPTANE_PERCENTAGE", "n-Heptane:", nullptr, kAga8NHeptane, "n-Heptane"},
    {"NOCTANE_PERCENTAGE", "n-Octane:", nullptr, kAga8NOctane, "n-Octane"},
    {"NNONANE_PERCENTAGE", "n-Nonane:", nullptr, kAga8NNonane, "n-Nonane"},
    {"NDECANE_PERCENTAGE", "n-Decane:", nullptr, kAga8NDecane, "n-Decane"},
    {"ARGON_PERCENTAGE", "Argon:", nullptr, kAga8Argon, "Argon "},
    {"WATER_PERCENTAGE", "Eau:", nullptr, kAga8Water, "eau"},
    {"CO_PERCENTAGE", "C0:", nullptr, kAga8CarbonMonoxide, "C0"},
    {"O2_PERCENTAGE", "O2:", nullptr, kAga8Oxygen, "O2"},
    {"BASE_PRESSURE", "Pression base:", nullptr, -1, nullptr},
    {"PRESSURE", "Pression:", "Pression minimum:", -1, nullptr},
    {"MAXIMUM_PRESSURE", "Pression maximum:", nullptr, -1, nullptr},
    {"BASE_TEMPERATURE", "Temperature de base:", nullptr, -1, nullptr},
    {"TEMPERATURE", "Temperature:", "Temperature minimum:", -1, nullptr},
    {"MAXIMUM_TEMPERATURE", "Temperature maximum:", nullptr, -1, nullptr},
};

// What the condition messages name, by entry 21..26, in table mode; the
// single-point mode names the flowing pressure and temperature plainly.
constexpr const char* kConditionNames[6] = {"pression base",       "pression minimum",
                                            "pression maximum",    "temperature base",
                                            "temperature minimum", "temperature maximum"};
constexpr const char* kConditionBadNames[6] = {"pression de base",    "pression minimum",
                                               "pression maximum",    "temperature de base",
                                               "temperature minimum", "temperature maximum"};

const char* conditionName(const char* const* names, int entry, bool tableMode) {
  if (!tableMode && entry == kAga8PressureEntry) return "pression";
  if (!tableMode && entry == kAga8TemperatureEntry) return "temperature";
  return names[entry - kAga8BasePressureEntry];
}

bool validEntry(int entry) { return entry >= 0 && entry < kAga8EntryCount; }

// Limits that a value typed in another unit lands on may miss by a rounding.
bool withinLimits(double value, double low, double high) {
  const double slack = 1e-12 * std::max(std::fabs(low), std::fabs(high));
  return value >= low - slack && value <= high + slack;
}

bool negativeIsBad(int entry, const Aga8Units& units) {
  if (aga8IsCompositionEntry(entry)) return true;
  if (aga8IsPressureEntry(entry)) return aga8IsAbsolutePressureUnit(units.pressure);
  return units.temperature == kAga8Rankine || units.temperature == kAga8Kelvin;
}

}  // namespace

const char* aga8EntryKey(int entry) { return validEntry(entry) ? kEntries[entry].key : ""; }

const char* aga8EntryLabel(int entry, bool tableMode) {
  if (!validEntry(entry)) return "";
  const EntryInfo& info = kEntries[entry];
  return tableMode && info.tableLabel != nullptr ? info.tableLabel : info.label;
}

int aga8EntryComponent(int entry) { return validEntry(entry) ? kEntries[entry].component : -1; }

std::string aga8InputRequiredMessage(int entry, bool tableMode) {
  if (!validEntry(entry) || aga8IsCompositionEntry(entry)) return {};
  return std::string("Saisie requise pour ") + conditionName(kConditionNames, entry, tableMode);
}

std::string aga8BadValueMessage(int entry, bool tableMode) {
  if (!validEntry(entry)) return {};
  if (aga8IsCompositionEntry(entry)) {
    return std::string("Valeur incorrecte pour pourcentage ") + kEntries[entry].valueName;
  }
  return std::string("Valeur incorrecte pour ") +
         conditionName(kConditionBadNames, entry, tableMode);
}

std::string aga8OutOfRangeMessage(int entry) {
  return aga8IsPressureEntry(entry) ? " Pression hors limites" : " Temperature hors limites";
}

bool aga8WithinRange(int entry, double internalValue) {
  if (entry == kAga8PressureEntry || entry == kAga8MaxPressureEntry) {
    return withinLimits(internalValue, 0.0, kAga8MaxPressurePa);
  }
  if (entry == kAga8TemperatureEntry || entry == kAga8MaxTemperatureEntry) {
    return withinLimits(internalValue, kAga8MinTemperatureK, kAga8MaxTemperatureK);
  }
  return true;
}

std::string aga8DisplayText(int entry, double internalValue, const Aga8Units& units) {
  double value = internalValue;
  if (!aga8EntryToDisplay(entry, value, units.pressure, units.temperature)) return {};
  return formatEntryValue(value).value_or(std::string());
}

Aga8Validation aga8Validate(const std::array<std::string, kAga8EntryCount>& fieldTexts,
                            bool tableMode, const Aga8Units& units, bool compositionOnly) {
  Aga8Validation result;
  const int last = compositionOnly ? kAga8CompositionEntryCount : kAga8EntryCount;
  for (int entry = 0; entry < last; ++entry) {
    if (!aga8EntryActive(entry, tableMode)) continue;
    const std::size_t i = static_cast<std::size_t>(entry);
    auto fail = [&](std::string message) {
      result.failedEntry = entry;
      result.message = std::move(message);
      return result;
    };

    const std::string text = trimEntryText(fieldTexts[i]);
    if (text.empty()) {
      if (!aga8IsCompositionEntry(entry)) return fail(aga8InputRequiredMessage(entry, tableMode));
      result.empty[i] = true;
      result.values[i] = 0.0;
      result.texts[i] = "0.0";
      continue;
    }
    const std::optional<double> typed = parseEntryText(text);
    if (!typed) return fail(aga8BadValueMessage(entry, tableMode));
    if (*typed < 0.0 && negativeIsBad(entry, units)) {
      return fail(aga8BadValueMessage(entry, tableMode));
    }
    double value = *typed;
    aga8EntryFromDisplay(entry, value, units.pressure, units.temperature);

    if (!aga8WithinRange(entry, value)) return fail(aga8OutOfRangeMessage(entry));
    result.values[i] = value;
    // A value too wide for the field keeps the text as typed.
    result.texts[i] = formatEntryValue(*typed).value_or(text);
  }
  return result;
}

std::string aga8FieldTotalText(const std::array<std::string, kAga8EntryCount>& fieldTexts) {
  double percent = 0.0;
  for (int entry = 0; entry < kAga8CompositionEntryCount; ++entry) {
    if (auto value = parseEntryText(fieldTexts[static_cast<std::size_t>(entry)])) percent += *value;
  }
  return formatEntryValue(percent).value_or(std::string());
}

Aga8TotalCheck aga8CheckTotal(const std::array<double, kAga8EntryCount>& values) {
  double sum = 0.0;
  for (int entry = 0; entry < kAga8CompositionEntryCount; ++entry) {
    sum += values[static_cast<std::size_t>(entry)];
  }
  Aga8TotalCheck check;
  const std::optional<std::string> text = formatEntryValue(sum * 100.0);
  check.text = text.value_or(kAga8TotalUnshowable);
  check.ok =
      text.has_value() && withinLimits(sum, kAga8MinCompositionTotal, kAga8MaxCompositionTotal);
  return check;
}

bool aga8Normalise(std::array<double, kAga8EntryCount>& values) {
  double sum = 0.0;
  for (int entry = 0; entry < kAga8CompositionEntryCount; ++entry) {
    sum += values[static_cast<std::size_t>(entry)];
  }
  if (!(sum > 0.0) || !std::isfinite(sum)) return false;
  for (int entry = 0; entry < kAga8CompositionEntryCount; ++entry) {
    double& value = values[static_cast<std::size_t>(entry)];
    if (value > 0.0) value /= sum;
  }
  return true;
}

std::string aga8ConvertFieldText(const std::string& text, int entry, const Aga8Units& from,
                                 const Aga8Units& to) {
  std::optional<double> value = parseEntryText(text);
  if (!value || aga8IsCompositionEntry(entry)) return text;
  double converted = *value;
  if (!aga8EntryFromDisplay(entry, converted, from.pressure, from.temperature) ||
      !aga8EntryToDisplay(entry, converted, to.pressure, to.temperature)) {
    return text;
  }
  return formatEntryValue(converted).value_or(text);
}

Aga8FieldCheck aga8CheckField(const std::string& text, int entry, double storedValue,
                              const Aga8Units& units) {
  Aga8FieldCheck check;
  const std::optional<double> typed = parseEntryText(text);
  if (!typed) return check;
  check.standardText = formatEntryValue(*typed);
  double value = *typed;
  aga8EntryFromDisplay(entry, value, units.pressure, units.temperature);
  check.sameValue = std::fabs(value - storedValue) <= 1e-16;
  return check;
}

void aga8FillGasRecord(const Aga8Entries& entries, GasRecord& gas) {
  gas.mixture.fill(0.0);
  for (int entry = 0; entry < kAga8CompositionEntryCount; ++entry) {
    gas.mixture[static_cast<std::size_t>(aga8EntryComponent(entry))] =
        entries.values[static_cast<std::size_t>(entry)];
  }
  gas.Pb = entries.values[kAga8BasePressureEntry];
  gas.Pf = entries.values[kAga8PressureEntry];
  gas.Tb = entries.values[kAga8BaseTemperatureEntry];
  gas.Tf = entries.values[kAga8TemperatureEntry];
  gas.status = kAga8Normal;
  gas.forceUpdate = 1;
}

double aga8VolumeRatio(const GasRecord& gas) {
  if (gas.Pb == 0.0 || gas.Tf == 0.0 || gas.Zb == 0.0) return -1.0;
  return (gas.Zf / gas.Zb) * (gas.Pf / gas.Pb) * (gas.Tb / gas.Tf);
}

Aga8KeptResults& aga8KeptResults() {
  static Aga8KeptResults kept;
  return kept;
}

int aga8RunCalculation(const Aga8Entries& entries, bool tableMode, Aga8Results& results,
                       Aga8KeptResults& kept, const OperationContext* ctx) {
  results.valid = false;
  results.tableMode = tableMode;
  aga8FillGasRecord(entries, results.gas);
  results.minimumPressure = entries.values[kAga8PressureEntry];
  results.maximumPressure = entries.values[kAga8MaxPressureEntry];
  results.minimumTemperature = entries.values[kAga8TemperatureEntry];
  results.maximumTemperature = entries.values[kAga8MaxTemperatureEntry];

  int result;
  if (!tableMode) {
    aga8Calculate(results.gas, 0.0);
    result = results.gas.status;
  } else if (ctx != nullptr) {
    result = aga8ComputeTable(results.gas, results.maximumPressure, results.maximumTemperature,
                              results.table, *ctx);
  } else {
    result = aga8ComputeTable(results.gas, results.maximumPressure, results.maximumTemperature,
                              results.table);
  }

  if (result != kAga8Normal) {
    kept.speedOfSound = 0.0;
    return result;
  }
  if (tableMode) {
    kept.speedOfSound = 0.0;
  } else {
    kept.speedOfSound = results.gas.speedOfSound;
    kept.volumeRatio = aga8VolumeRatio(results.gas);
  }
  results.valid = true;
  return result;
}

std::string aga8CalculationStatus(int result) {
  if (result == kAga8Normal) return kAga8CalculationDone;
  if (result == kCancelled) return kAga8CalculationCancelled;
  return kAga8CalculationFailed + std::to_string(result);
}

void aga8ApplyRememberedChoices(Aga8Session& session) {
  auto apply = [](int& current, int remembered) {
    if (current < 0) current = remembered >= 0 ? remembered : 0;
  };
  const Aga8Units& remembered = session.settings.units;
  apply(session.units.pressure, remembered.pressure);
  apply(session.units.temperature, remembered.temperature);
  apply(session.units.velocity, remembered.velocity);
  apply(session.units.density, remembered.density);
  apply(session.units.enthalpy, remembered.enthalpy);
  apply(session.tableFlag, session.settings.tableFlag);
}

}  // namespace tarnlux
