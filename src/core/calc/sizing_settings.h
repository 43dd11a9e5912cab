#pragma once

// The sizing tools' program-wide records, their settings file sections
// ("XSELECT_GAS", "XSELECT_LIQUID") and their set-up files.
//
// Gas tool file, 314 bytes, little-endian:
//   0   35  header text and its zero
//   35   5  not written (0)
//   40 256  the 32 entries as doubles, internal units
//   296  7  length, temperature, pressure, velocity, density, volume/mass, time unit
//   303  3  pipe material, liner material, gas
//   306  4  chosen type, size, mount, spacing
//   310  1  S filter
//   311  1  not written
//   312  2  wrapping 16-bit sum of bytes 36..311
// Liquid tool file, 136 bytes: header (38), 2 not written, 10 entries at 40,
// six units at 120 (no pressure), pipe, liner, liquid at 126, type, size,
// mount, spacing at 129, S filter at 133, sum of bytes 39..133 at 134.

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "calc/setup_file_io.h"
#include "calc/sizing.h"

namespace tarnlux {

class ProfileFile;

const char* sizingSettingsSection(SizingMode mode);

struct SizingSettingsMemory {
  std::array<std::string, kSizingSelectionCount> selections;
  std::string sFilter;
  std::vector<std::string> entries;
  SizingChoices remembered;  // read at start-up; -1 when the file had none
  int rememberedFilter = -1;
};

struct SizingSession {
  SizingMode mode;
  SizingChoices choices;  // -1 until the screen first opens
  bool sFilter = false;
  SizingEntries entries;
  SizingUserChoices user;
  SizingResults results;
  SizingSettingsMemory settings;
  std::string setupFilePath;
  explicit SizingSession(SizingMode m = SizingMode::Gas) : mode(m), entries(m) {
    settings.entries.assign(entries.values.size(), std::string());
  }
};

// Opening the screen: an unchosen selection takes the remembered one, else
// the first of its list (the fluid: the tool's default fluid, whose
// properties then fill the entries not yet set).
void sizingApplyRememberedChoices(SizingSession& session);

// Start-up. Entries that are no number, or fall outside their accepted range,
// are left unset.
void readSizingSettings(const ProfileFile& file, SizingSession& session);
std::vector<std::pair<std::string, std::string>> sizingSettingsChanges(
    const SizingSession& session);
// Writes the changed keys and remembers them; a file that cannot be read is
// left alone. Returns 0 or errno.
int writeSizingSettings(const std::string& path, SizingSession& session);

// Set-up files.
inline constexpr std::size_t kSizingGasSetupFileSize = 314;
inline constexpr std::size_t kSizingLiquidSetupFileSize = 136;
inline constexpr char kSizingGasSetupHeader[] = "norvane gas tool calculation setup";
inline constexpr char kSizingLiquidSetupHeader[] = "norvane liquid tool calculation setup";
inline constexpr const char* kSizingGasSetupFilter =
    "Fichiers de programme d'installation pour le calcul d'outil pour les gaz (*.gas)";
inline constexpr const char* kSizingLiquidSetupFilter =
    "Fichiers de programme d'installation pour le calcul d'outil pour les liquides (*.gas)";
inline constexpr const char* kSizingSetupExtension = "gas";
std::size_t sizingSetupFileSize(SizingMode mode);
const char* sizingSetupFilter(SizingMode mode);

struct SizingSetupFile {
  SizingChoices choices;
  SizingUserChoices user;
  bool sFilter = false;
  std::vector<double> values;
};

std::vector<std::uint8_t> encodeSizingSetupFile(SizingMode mode, const SizingSetupFile& setup);
// 0, or the code of the first failure: 1 short, 2 header, 3 checksum, 4 + n
// for the n-th selection index (units, materials, fluid, then the chosen
// type) outside its list, 100 + entry for a stored value its entry refuses.
int decodeSizingSetupFile(SizingMode mode, std::span<const std::uint8_t> bytes,
                          SizingSetupFile& setup);

// Needs valid results ("Pas de calcul effectue").
SetupFileError saveSizingSetupFile(const std::string& path, SizingSession& session);
// A file that passes replaces the selections, entries and choices; the
// results they no longer match are dropped.
SetupFileError openSizingSetupFile(const std::string& path, SizingSession& session);

}  // namespace tarnlux
