#include "calc/aga8_settings.h"

#include <charconv>
#include <cmath>

#include "calc/aga8_units.h"
#include "calc/calc_settings.h"
#include "common/profile_file.h"

namespace tarnlux {

namespace {

struct UnitList {
  const char* const* names;
  int count;
};

constexpr UnitList kUnitLists[5] = {
    {kAga8PressureUnitNames, kAga8PressureUnitCount},
    {kAga8TemperatureUnitNames, kAga8TemperatureUnitCount},
    {kAga8VelocityUnitNames, kAga8VelocityUnitCount},
    {kAga8DensityUnitNames, kAga8DensityUnitCount},
    {kAga8EnthalpyUnitNames, kAga8EnthalpyUnitCount},
};

int* unitSlot(Aga8Units& units, int i) {
  int* slots[5] = {&units.pressure, &units.temperature, &units.velocity, &units.density,
                   &units.enthalpy};
  return slots[i];
}

int unitAt(const Aga8Units& units, int i) {
  const int values[5] = {units.pressure, units.temperature, units.velocity, units.density,
                         units.enthalpy};
  return values[i];
}

// "0" or "1"; anything else leaves the flag unset.
int parseTableFlag(const std::string& text) {
  int value = -1;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return -1;
  return value == 0 || value == 1 ? value : -1;
}

bool isMaximum(int entry) {
  return entry == kAga8MaxPressureEntry || entry == kAga8MaxTemperatureEntry;
}

std::string entryText(const Aga8Session& session, int entry) {
  const std::size_t i = static_cast<std::size_t>(entry);
  return session.entries.set[i] ? hexDouble(session.entries.values[i]) : std::string();
}

}  // namespace

void readAga8Settings(const ProfileFile& file, Aga8Session& session) {
  Aga8SettingsMemory& memory = session.settings;
  for (int i = 0; i < 5; ++i) {
    memory.unitNames[static_cast<std::size_t>(i)] =
        file.getString(kAga8SettingsSection, kAga8UnitKeys[i]);
    *unitSlot(memory.units, i) = findListText(kUnitLists[i].names, kUnitLists[i].count,
                                              memory.unitNames[static_cast<std::size_t>(i)]);
  }
  memory.table = file.getString(kAga8SettingsSection, kAga8TableKey);
  memory.tableFlag = parseTableFlag(memory.table);

  for (int entry = 0; entry < kAga8EntryCount; ++entry) {
    const std::size_t i = static_cast<std::size_t>(entry);
    memory.entries[i] = file.getString(kAga8SettingsSection, aga8EntryKey(entry));
    if (isMaximum(entry) && memory.tableFlag != 1) continue;
    const std::optional<double> value = parseHexDouble(memory.entries[i]);
    // A pattern that is no number at all would reach the calculation unseen.
    if (!value || !std::isfinite(*value)) continue;
    if (*value < 0.0) {
      if (aga8IsCompositionEntry(entry)) continue;
      if (aga8IsPressureEntry(entry) && aga8IsAbsolutePressureUnit(memory.units.pressure)) continue;
      if (aga8IsTemperatureEntry(entry) &&
          (memory.units.temperature == kAga8Rankine || memory.units.temperature == kAga8Kelvin)) {
        continue;
      }
    }
    session.entries.values[i] = *value;
    session.entries.set[i] = true;
  }
}

int loadAga8Settings(const std::string& path, Aga8Session& session) {
  ProfileFile file(path);
  const int rc = file.load();
  readAga8Settings(file, session);
  return rc;
}

std::vector<std::pair<std::string, std::string>> aga8SettingsChanges(const Aga8Session& session) {
  const Aga8SettingsMemory& memory = session.settings;
  std::vector<std::pair<std::string, std::string>> changes;
  for (int i = 0; i < 5; ++i) {
    const int unit = unitAt(session.units, i);
    if (unit < 0 || unit >= kUnitLists[i].count) continue;
    const std::string name = kUnitLists[i].names[unit];
    if (name != memory.unitNames[static_cast<std::size_t>(i)])
      changes.emplace_back(kAga8UnitKeys[i], name);
  }
  const bool tableOn = aga8TableMode(session);
  const std::string table = tableOn ? "1" : "0";
  if (table != memory.table) changes.emplace_back(kAga8TableKey, table);

  const bool fileTableOn = parseTableFlag(memory.table) == 1;
  const bool switchedOn = tableOn && !fileTableOn;
  const bool switchedOff = !tableOn && fileTableOn;
  for (int entry = 0; entry < kAga8EntryCount; ++entry) {
    if (!aga8EntryActive(entry, tableOn)) continue;
    const std::string text = entryText(session, entry);
    if (text != memory.entries[static_cast<std::size_t>(entry)] ||
        (switchedOn && isMaximum(entry))) {
      changes.emplace_back(aga8EntryKey(entry), text);
    }
  }
  if (switchedOff) {
    changes.emplace_back(aga8EntryKey(kAga8MaxPressureEntry), std::string());
    changes.emplace_back(aga8EntryKey(kAga8MaxTemperatureEntry), std::string());
  }
  return changes;
}

int writeAga8Settings(const std::string& path, Aga8Session& session) {
  const auto changes = aga8SettingsChanges(session);
  if (changes.empty()) return 0;
  ProfileFile file(path);
  // Rewriting a file we could not read would lose every other section.
  if (const int rc = file.load(); rc != 0) return rc;
  for (const auto& [key, value] : changes) file.set(kAga8SettingsSection, key, value);
  if (const int rc = file.save(); rc != 0) return rc;

  Aga8SettingsMemory& memory = session.settings;
  for (const auto& [key, value] : changes) {
    for (int i = 0; i < 5; ++i) {
      if (key == kAga8UnitKeys[i]) memory.unitNames[static_cast<std::size_t>(i)] = value;
    }
    if (key == kAga8TableKey) memory.table = value;
    for (int entry = 0; entry < kAga8EntryCount; ++entry) {
      if (key == aga8EntryKey(entry)) memory.entries[static_cast<std::size_t>(entry)] = value;
    }
  }
  return 0;
}

}  // namespace tarnlux
