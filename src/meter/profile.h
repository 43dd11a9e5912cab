#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "variables.h"

namespace tarnlux::meter {

// Figures of the signal answer that no variable carries.
struct SignalFigures {
  double soundSpeed = 1482.0;  // m/s or ft/s, per the unit letter
  double arrivalUp = 112.5;    // microseconds
  double arrivalDown = 112.4;
  int adcFill = 72;
  double snrUp = 38.5;
  double snrDown = 38.1;
  int envelope = 6;
  int frequencyCode = 3;
};

// What makes one simulated meter: identity, capabilities, variables and the
// fixed lines of the query answers it gives. Loaded from an INI-style file
// (see profiles/README.md).
struct Profile {
  std::string name;
  std::string description;
  std::string typeText = "7326L";
  std::string versionText = "3.04.02M";
  std::uint32_t capabilities = 0x10;  // the 20-bit capability word
  bool memoryBlock = false;           // query headers carry bits 16-19; query answers end with ETX
  bool metric = true;
  SignalFigures signal;
  std::vector<Variable> cvVariables;                   // read with "cv"
  std::vector<Variable> qmVariables;                   // read with "qm"
  std::map<int, std::vector<std::string>> queryLines;  // by query kind 0-15

  // The type text marks a gas meter with a "G".
  bool gas() const { return typeText.find('G') != std::string::npos; }
};

// Parses a profile text. False with a message naming `origin` and the line.
bool parseProfile(std::string_view text, std::string_view origin, Profile& out, std::string& error);

// Loads a profile given by name (NAME.ini in the profile folder) or by path
// (anything with a "/" or ending in ".ini").
bool loadProfile(std::string_view nameOrPath, Profile& out, std::string& error);

// The folder the named profiles are looked up in.
std::string profileDirectory();

inline constexpr std::string_view kDefaultProfile = "liquid1";

// The longest identifier a meter holds ("id" is a char variable of 8).
inline constexpr std::size_t kIdentifierLength = 8;

// Gives every index that carries an identifier (a non-blank "id": the
// channels, the multi-path site) the identifier `text` instead: 1 to 8
// printable characters, blanks allowed, filled with "~" as the meter fills
// any char variable. False with a message when the text or the profile
// does not allow it.
bool setProfileIdentifier(Profile& profile, std::string_view text, std::string& error);

}  // namespace tarnlux::meter
