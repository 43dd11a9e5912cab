#pragma once

// The energy calculator's set-up file: 74 bytes, little-endian.
//   0  38  header text and its zero
//   38  2  not written (0)
//   40 24  flow (in3/s), supply and return temperature (K) as doubles
//   64  7  temperature unit, energy rate unit, volume unit, time unit, liquid,
//          flow sensor location, service
//   71  1  not written (0)
//   72  2  wrapping 16-bit sum of bytes 39..71

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "calc/energy_settings.h"
#include "calc/setup_file_io.h"

namespace tarnlux {

inline constexpr std::size_t kEnergySetupFileSize = 74;
inline constexpr char kEnergySetupHeader[] = "norvane energy tool calculation setup";
inline constexpr const char* kEnergySetupFilter =
    "Fichiers de programme d'installation pour le calcul d'outil energetique (*.gas)";
inline constexpr const char* kEnergySetupExtension = "gas";

// Beyond 1 (short), 2 (header) and 3 (checksum): 4 + selection for an index
// outside its list, 100 + entry for a value outside its entry's range.
inline constexpr int kEnergySetupBadSelectionBase = 4;
inline constexpr int kEnergySetupBadValueBase = 100;

struct EnergySetupFile {
  std::array<double, kEnergyEntryCount> values{};
  EnergyChoices choices;
};

std::array<std::uint8_t, kEnergySetupFileSize> encodeEnergySetupFile(const EnergySetupFile& setup);
int decodeEnergySetupFile(std::span<const std::uint8_t> bytes, EnergySetupFile& setup);

// Needs valid results ("Pas de calcul effectue").
SetupFileError saveEnergySetupFile(const std::string& path, EnergySession& session);
// A file that passes replaces the selections and entries; the results they
// no longer match are dropped.
SetupFileError openEnergySetupFile(const std::string& path, EnergySession& session);

}  // namespace tarnlux
