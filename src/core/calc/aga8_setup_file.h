#pragma once

// The AGA8 screen's set-up file (".cpf"): 256 bytes, little-endian.
//   0   31  header text and its zero
//   31   1  not written (0)
//   32 216  the 27 entry values as doubles, entry order, internal units
//   248  6  pressure, temperature, velocity, density, enthalpy unit, table flag
//   254  2  wrapping 16-bit sum of bytes 32..253

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "calc/aga8_screen_rules.h"
#include "calc/setup_file_io.h"

namespace tarnlux {

inline constexpr std::size_t kAga8SetupFileSize = 256;
inline constexpr char kAga8SetupHeader[] = "norvane aga8 calculation setup";
inline constexpr const char* kAga8SetupFilter = "Fichiers configuration calcul Aga8 (*.cpf)";
inline constexpr const char* kAga8SetupExtension = "cpf";

// Open-check codes beyond 1 (short), 2 (header) and 3 (checksum).
inline constexpr int kAga8SetupBadPressureUnit = 4;
inline constexpr int kAga8SetupBadTemperatureUnit = 5;
inline constexpr int kAga8SetupBadVelocityUnit = 6;
inline constexpr int kAga8SetupBadDensityUnit = 7;
inline constexpr int kAga8SetupBadEnthalpyUnit = 8;
inline constexpr int kAga8SetupBadTableFlag = 9;
inline constexpr int kAga8SetupBadValueBase = 10;  // + entry index
inline constexpr int kAga8SetupBadTotal = 100;

struct Aga8SetupFile {
  std::array<double, kAga8EntryCount> values{};
  Aga8Units units;
  int tableFlag = 0;
};

std::array<std::uint8_t, kAga8SetupFileSize> encodeAga8SetupFile(const Aga8SetupFile& setup);

// 0 when the bytes pass every check (and `setup` is filled), else the first
// failing check's code.
int decodeAga8SetupFile(std::span<const std::uint8_t> bytes, Aga8SetupFile& setup);

// What the screen saves: its entries (maxima included whatever the mode),
// units and table flag.
Aga8SetupFile aga8SetupFromSession(const Aga8Session& session);
// A file that passed: units, table flag and the active entries.
void aga8ApplySetupFile(const Aga8SetupFile& setup, Aga8Session& session);

// "Enregistrer": needs valid results. Remembers the path on success.
SetupFileError saveAga8SetupFile(const std::string& path, Aga8Session& session);
// "Ouvrir": the session changes only when the file passes; the path is
// remembered either way (it is the name chosen last).
SetupFileError openAga8SetupFile(const std::string& path, Aga8Session& session);

}  // namespace tarnlux
