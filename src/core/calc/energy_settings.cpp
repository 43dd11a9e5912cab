#include "calc/energy_settings.h"

#include <cmath>

#include "calc/calc_settings.h"
#include "common/profile_file.h"

namespace tarnlux {

namespace {

bool acceptable(int entry, double value) {
  if (!std::isfinite(value)) return false;
  return entry == kEnergyFlowEntry || energyTemperatureInRange(value);
}

}  // namespace

void energyApplyRememberedChoices(EnergySession& session) {
  for (int s = 0; s < kEnergySelectionCount; ++s) {
    int& current = session.choices.index[static_cast<std::size_t>(s)];
    const int remembered = session.settings.remembered.at(s);
    if (current < 0) current = remembered >= 0 ? remembered : 0;
  }
}

void readEnergySettings(const ProfileFile& file, EnergySession& session) {
  EnergySettingsMemory& memory = session.settings;
  for (int s = 0; s < kEnergySelectionCount; ++s) {
    const EnergySelectionInfo& info = kEnergySelections[s];
    const std::size_t i = static_cast<std::size_t>(s);
    memory.selections[i] = file.getString(kEnergySettingsSection, info.key);
    memory.remembered.index[i] = findListText(info.names, info.count, memory.selections[i]);
  }
  for (int entry = 0; entry < kEnergyEntryCount; ++entry) {
    const std::size_t i = static_cast<std::size_t>(entry);
    memory.entries[i] = file.getString(kEnergySettingsSection, kEnergyEntryKeys[i]);
    const std::optional<double> value = parseHexDouble(memory.entries[i]);
    if (!value || !acceptable(entry, *value)) continue;
    session.entries.values[i] = *value;
    session.entries.set[i] = true;
  }
}

int loadEnergySettings(const std::string& path, EnergySession& session) {
  ProfileFile file(path);
  const int rc = file.load();
  readEnergySettings(file, session);
  return rc;
}

std::vector<std::pair<std::string, std::string>> energySettingsChanges(
    const EnergySession& session) {
  std::vector<std::pair<std::string, std::string>> changes;
  for (int s = 0; s < kEnergySelectionCount; ++s) {
    const EnergySelectionInfo& info = kEnergySelections[s];
    const int index = session.choices.at(s);
    if (index < 0 || index >= info.count) continue;
    if (session.settings.selections[static_cast<std::size_t>(s)] != info.names[index]) {
      changes.emplace_back(info.key, info.names[index]);
    }
  }
  for (int entry = 0; entry < kEnergyEntryCount; ++entry) {
    const std::size_t i = static_cast<std::size_t>(entry);
    const std::string text =
        session.entries.set[i] ? hexDouble(session.entries.values[i]) : std::string();
    if (text != session.settings.entries[i]) changes.emplace_back(kEnergyEntryKeys[i], text);
  }
  return changes;
}

int writeEnergySettings(const std::string& path, EnergySession& session) {
  const auto changes = energySettingsChanges(session);
  if (changes.empty()) return 0;
  ProfileFile file(path);
  // Rewriting a file we could not read would lose every other section.
  if (const int rc = file.load(); rc != 0) return rc;
  for (const auto& [key, value] : changes) file.set(kEnergySettingsSection, key, value);
  if (const int rc = file.save(); rc != 0) return rc;

  EnergySettingsMemory& memory = session.settings;
  for (const auto& [key, value] : changes) {
    for (int s = 0; s < kEnergySelectionCount; ++s) {
      if (key == kEnergySelections[s].key) memory.selections[static_cast<std::size_t>(s)] = value;
    }
    for (int entry = 0; entry < kEnergyEntryCount; ++entry) {
      if (key == kEnergyEntryKeys[entry]) memory.entries[static_cast<std::size_t>(entry)] = value;
    }
  }
  return 0;
}

}  // namespace tarnlux
