#pragma once

// The AGA8 screen's section of the settings file: display units, table flag
// and the 27 entries, kept from one run of the program to the next.

#include <string>
#include <utility>
#include <vector>

#include "calc/aga8_screen_rules.h"

namespace tarnlux {

class ProfileFile;

inline constexpr const char* kAga8SettingsSection = "AGA8";
inline constexpr const char* kAga8UnitKeys[5] = {
    "PRESSURE_UNITS", "TEMPERATURE_UNITS", "VELOCITY_UNITS", "DENSITY_UNITS", "ENTHALPY_UNITS"};
inline constexpr const char* kAga8TableKey = "AGA8_TABLE";

// Start-up: the remembered units and table flag, the entry values the file
// holds (16 hexadecimal digits each; a negative value is dropped where the
// saved unit cannot give one, the maxima are read only with the table on), and
// what the file held, so later writes skip what did not change.
void readAga8Settings(const ProfileFile& file, Aga8Session& session);
int loadAga8Settings(const std::string& path, Aga8Session& session);

// The keys to write after a calculation or a unit change: each unit and the
// table flag when they differ from what the file held, each active entry when
// its text differs (the maxima also when the table was just switched on), and
// the maxima emptied when the table was just switched off.
std::vector<std::pair<std::string, std::string>> aga8SettingsChanges(const Aga8Session& session);

// Writes those keys (nothing when there are none) and remembers them. A file
// that cannot be read is left alone. Returns 0 or errno.
int writeAga8Settings(const std::string& path, Aga8Session& session);

}  // namespace tarnlux
