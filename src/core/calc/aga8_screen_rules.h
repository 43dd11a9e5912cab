#pragma once

// The AGA8 screen's rules without the screen: its 27 entries and their
// messages, validation, the composition total, normalisation, unit changes of
// the fields, and the calculation run with its results.

#include <array>
#include <optional>
#include <string>

#include "calc/aga8.h"
#include "calc/aga8_table.h"

namespace tarnlux {

struct OperationContext;

inline constexpr int kAga8EntryCount = 27;
inline constexpr int kAga8CompositionEntryCount = 21;

// Entry indices after the composition (0..20, helium first).
enum Aga8EntryIndex : int {
  kAga8BasePressureEntry = 21,
  kAga8PressureEntry = 22,
  kAga8MaxPressureEntry = 23,
  kAga8BaseTemperatureEntry = 24,
  kAga8TemperatureEntry = 25,
  kAga8MaxTemperatureEntry = 26,
};

inline bool aga8IsCompositionEntry(int entry) { return entry >= 0 && entry < 21; }
inline bool aga8IsPressureEntry(int entry) { return entry >= 21 && entry <= 23; }
inline bool aga8IsTemperatureEntry(int entry) { return entry >= 24 && entry <= 26; }
// The maxima exist only in table mode.
inline bool aga8EntryActive(int entry, bool tableMode) {
  return tableMode || (entry != kAga8MaxPressureEntry && entry != kAga8MaxTemperatureEntry);
}

// Settings key (also the order of the set-up file).
const char* aga8EntryKey(int entry);
// Label beside the field; the flowing pressure and temperature read as minima
// in table mode.
const char* aga8EntryLabel(int entry, bool tableMode);
// Component of GasRecord::mixture fed by composition entry 0..20.
int aga8EntryComponent(int entry);

inline constexpr const char* kAga8TotalMessage =
    "Le total de composition du gaz doit etre 100%, +/- .01%";
inline constexpr const char* kAga8TotalUnshowable = "ERR.";
inline constexpr const char* kAga8Calculating = "Calcul en cours. Attendez s.v.p...";
inline constexpr const char* kAga8CalculationDone = "Calcul termine OK";
inline constexpr const char* kAga8CalculationCancelled = "Calcul annule";
inline constexpr const char* kAga8CalculationFailed = "Echec calcul. Code erreur - ";

std::string aga8InputRequiredMessage(int entry, bool tableMode);
std::string aga8BadValueMessage(int entry, bool tableMode);
std::string aga8OutOfRangeMessage(int entry);
// The range of the flowing (minimum) and maximum conditions, in internal
// units: pressures 0..kAga8MaxPressurePa, temperatures
// kAga8MinTemperatureK..kAga8MaxTemperatureK. Base conditions have none.
bool aga8WithinRange(int entry, double internalValue);

// The five display units; -1 is "not chosen yet".
struct Aga8Units {
  int pressure = -1;
  int temperature = -1;
  int velocity = -1;
  int density = -1;
  int enthalpy = -1;
};

// The values behind the entries, in internal units (mole fraction, Pa
// absolute, K). An entry that is not set shows an empty field.
struct Aga8Entries {
  std::array<double, kAga8EntryCount> values{};
  std::array<bool, kAga8EntryCount> set{};
};

// The field text of a value in the given units; empty when it cannot be shown.
std::string aga8DisplayText(int entry, double internalValue, const Aga8Units& units);

// Validation of the field texts in entry order ("Calculer": everything
// active; "Normaliser": the composition only). The first failure stops it.
struct Aga8Validation {
  int failedEntry = -1;  // -1: every entry passed
  std::string message;
  // For the entries validated: internal values and the texts to show
  // (an empty composition field becomes 0 and "0.0").
  std::array<double, kAga8EntryCount> values{};
  std::array<std::string, kAga8EntryCount> texts{};
  std::array<bool, kAga8EntryCount> empty{};
  bool ok() const { return failedEntry < 0; }
};
Aga8Validation aga8Validate(const std::array<std::string, kAga8EntryCount>& fieldTexts,
                            bool tableMode, const Aga8Units& units, bool compositionOnly);

// "Total:" while the fields are being edited: the sum in percent of the
// composition fields that hold a number; empty when it cannot be shown.
std::string aga8FieldTotalText(const std::array<std::string, kAga8EntryCount>& fieldTexts);

// The total check of a full validation: the total text to show (percent, or
// "ERR." when it cannot be shown) and whether 0.9999..1.0001 holds.
struct Aga8TotalCheck {
  bool ok = false;
  std::string text;
};
Aga8TotalCheck aga8CheckTotal(const std::array<double, kAga8EntryCount>& values);

// Divides every positive fraction by the sum of the 21; zeros stay zero.
// False (nothing changed) when the sum is not positive.
bool aga8Normalise(std::array<double, kAga8EntryCount>& values);

// A field holding a number, moved from one unit to another; other texts come
// back as they are.
std::string aga8ConvertFieldText(const std::string& text, int entry, const Aga8Units& from,
                                 const Aga8Units& to);

// Leaving a field: its standard form when it holds a number, and whether it
// still stands for the stored value (within 1e-16); a text that is not a number
// never does.
struct Aga8FieldCheck {
  std::optional<std::string> standardText;
  bool sameValue = false;
};
Aga8FieldCheck aga8CheckField(const std::string& text, int entry, double storedValue,
                              const Aga8Units& units);

// Composition and conditions of the entries into a gas record.
void aga8FillGasRecord(const Aga8Entries& entries, GasRecord& gas);

// (Zf / Zb) x (Pf / Pb) x (Tb / Tf), or -1 when Pb, Tf or Zb is 0.
double aga8VolumeRatio(const GasRecord& gas);

// What the diagnostic screen takes from the last AGA8 calculation.
struct Aga8KeptResults {
  double speedOfSound = 0.0;  // m/s; 0 without a valid single-point result
  double volumeRatio = 0.0;
};
Aga8KeptResults& aga8KeptResults();

// The results of the last calculation, with the axes the table was computed on.
struct Aga8Results {
  bool valid = false;
  bool tableMode = false;
  GasRecord gas;
  Aga8Table table;
  double minimumPressure = 0.0;  // Pa
  double maximumPressure = 0.0;
  double minimumTemperature = 0.0;  // K
  double maximumTemperature = 0.0;
};

// Runs the calculation on the entries: once, or over the 10 x 10 table with
// the context's spinner, pump and cancel flag (ctx may be null). Fills
// `results` (valid only on success) and the kept values. Returns kAga8Normal,
// the failing status, or kCancelled.
int aga8RunCalculation(const Aga8Entries& entries, bool tableMode, Aga8Results& results,
                       Aga8KeptResults& kept, const OperationContext* ctx);

// The status line after a run.
std::string aga8CalculationStatus(int result);

// What the settings file last held for the section (see aga8_settings.h).
struct Aga8SettingsMemory {
  std::array<std::string, 5> unitNames;
  std::string table;
  std::array<std::string, kAga8EntryCount> entries;
  // Choices read at start-up; -1 when the file had none.
  Aga8Units units;
  int tableFlag = -1;
};

// The AGA8 screen's program-wide record: it outlives the screen, so a screen
// opened again shows the values of the last one.
struct Aga8Session {
  Aga8Units units;     // -1 until the screen first opens
  int tableFlag = -1;  // same
  Aga8Entries entries;
  Aga8Results results;
  Aga8SettingsMemory settings;
  std::string setupFilePath;  // the set-up file chosen last
};

// Opening the screen: an unchosen unit or table flag takes the remembered
// one, else 0.
void aga8ApplyRememberedChoices(Aga8Session& session);
inline bool aga8TableMode(const Aga8Session& session) { return session.tableFlag == 1; }

}  // namespace tarnlux
