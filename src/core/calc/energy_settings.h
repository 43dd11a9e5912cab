#pragma once

// The energy calculator's program-wide record and its "ENERGY" section of the
// settings file: selections by their list text, entries as 16 hexadecimal
// digits, each written only when it differs from what the file last held.

#include <string>
#include <utility>
#include <vector>

#include "calc/energy.h"

namespace tarnlux {

class ProfileFile;

inline constexpr const char* kEnergySettingsSection = "ENERGY";

struct EnergySettingsMemory {
  std::array<std::string, kEnergySelectionCount> selections;
  std::array<std::string, kEnergyEntryCount> entries;
  EnergyChoices remembered;  // read at start-up; -1 when the file had none
};

struct EnergySession {
  EnergyChoices choices;  // -1 until the screen first opens
  EnergyEntries entries;
  EnergyResults results;
  int flowPrefix = kEnergyNoPrefix;
  EnergySettingsMemory settings;
  std::string setupFilePath;
};

// Opening the screen: an unchosen selection takes the remembered one, else 0.
void energyApplyRememberedChoices(EnergySession& session);

// Start-up. Entries that are no number, and temperatures outside the accepted
// range, are left unset.
void readEnergySettings(const ProfileFile& file, EnergySession& session);
int loadEnergySettings(const std::string& path, EnergySession& session);

std::vector<std::pair<std::string, std::string>> energySettingsChanges(
    const EnergySession& session);
// Writes the changed keys and remembers them; a file that cannot be read is
// left alone. Returns 0 or errno.
int writeEnergySettings(const std::string& path, EnergySession& session);

}  // namespace tarnlux
