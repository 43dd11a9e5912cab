#pragma once

// Reading and writing the calculators' fixed-size set-up files, and the
// messages their failures show.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tarnlux {

inline constexpr const char* kSetupNoResults = "Pas de calcul effectue";
inline constexpr const char* kSetupCannotOpen = "Impossible ouvrir fichier: ";
inline constexpr const char* kSetupWriteError = "Erreur d'ecriture de fichier, code d'erreur: ";
// A short write always reported this number.
inline constexpr const char* kSetupWriteErrorNumber = "28";
inline constexpr const char* kSetupCorrupt = "Fichier incorrect ou corrompu";
inline constexpr const char* kSetupReadError = "Erreur de lecture de fichier";

// A failure to show in an error box: message + extra, then the code when it is
// 0 or more. An empty message is success.
struct SetupFileError {
  std::string message;
  std::string extra;
  int code = -1;
  bool failed() const { return !message.empty(); }
};

inline SetupFileError setupFileCorrupt(int code) { return {kSetupCorrupt, {}, code}; }

// Writes the whole record through a temporary file and a rename, so a failed
// save leaves the previous file whole. An existing file that may not be
// written is refused as it always was ("Impossible ouvrir fichier: "); a
// failure while writing shows the write message.
SetupFileError writeSetupFile(const std::string& path, std::span<const std::uint8_t> bytes);

// Reads at most `size` bytes; fewer come back when the file is shorter (a
// missing file reads as empty, which the caller's length check refuses).
SetupFileError readSetupFile(const std::string& path, std::size_t size,
                             std::vector<std::uint8_t>& bytes);

// Wrapping 16-bit sum of bytes[first..last].
std::uint16_t setupFileChecksum(std::span<const std::uint8_t> bytes, std::size_t first,
                                std::size_t last);

// Little-endian fields.
void putSetupDouble(std::span<std::uint8_t> bytes, std::size_t offset, double value);
double getSetupDouble(std::span<const std::uint8_t> bytes, std::size_t offset);
void putSetupWord(std::span<std::uint8_t> bytes, std::size_t offset, std::uint16_t value);
std::uint16_t getSetupWord(std::span<const std::uint8_t> bytes, std::size_t offset);

// The name a save dialog returned, with the default extension added when the
// user typed none.
std::string withDefaultExtension(const std::string& path, const std::string& extension);

}  // namespace tarnlux
