#include "calc/energy_setup_file.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace tarnlux {

namespace {

constexpr std::size_t kHeaderSize = sizeof kEnergySetupHeader;  // with its zero
constexpr std::size_t kValuesOffset = 40;
constexpr std::size_t kSelectionsOffset = 64;
constexpr std::size_t kChecksumFirst = 39;
constexpr std::size_t kChecksumLast = 71;
constexpr std::size_t kChecksumOffset = 72;

}  // namespace

std::array<std::uint8_t, kEnergySetupFileSize> encodeEnergySetupFile(const EnergySetupFile& setup) {
  std::array<std::uint8_t, kEnergySetupFileSize> bytes{};
  std::memcpy(bytes.data(), kEnergySetupHeader, kHeaderSize);
  for (int entry = 0; entry < kEnergyEntryCount; ++entry) {
    putSetupDouble(bytes, kValuesOffset + 8 * static_cast<std::size_t>(entry),
                   setup.values[static_cast<std::size_t>(entry)]);
  }
  for (int s = 0; s < kEnergySelectionCount; ++s) {
    const int index = setup.choices.at(s);
    bytes[kSelectionsOffset + static_cast<std::size_t>(s)] =
        static_cast<std::uint8_t>(index < 0 ? 0 : index);
  }
  putSetupWord(bytes, kChecksumOffset, setupFileChecksum(bytes, kChecksumFirst, kChecksumLast));
  return bytes;
}

int decodeEnergySetupFile(std::span<const std::uint8_t> bytes, EnergySetupFile& setup) {
  if (bytes.size() < kEnergySetupFileSize) return 1;
  if (std::memcmp(bytes.data(), kEnergySetupHeader, kHeaderSize) != 0) return 2;
  if (setupFileChecksum(bytes, kChecksumFirst, kChecksumLast) !=
      getSetupWord(bytes, kChecksumOffset)) {
    return 3;
  }
  EnergySetupFile read;
  for (int s = 0; s < kEnergySelectionCount; ++s) {
    const int index = bytes[kSelectionsOffset + static_cast<std::size_t>(s)];
    if (index >= kEnergySelections[s].count) return kEnergySetupBadSelectionBase + s;
    read.choices.index[static_cast<std::size_t>(s)] = index;
  }
  for (int entry = 0; entry < kEnergyEntryCount; ++entry) {
    const double value = getSetupDouble(bytes, kValuesOffset + 8 * static_cast<std::size_t>(entry));
    read.values[static_cast<std::size_t>(entry)] = value;
    // The flow takes any number, but a pattern that is no number at all is refused too.
    const bool ok =
        std::isfinite(value) && (entry == kEnergyFlowEntry || energyTemperatureInRange(value));
    if (!ok) return kEnergySetupBadValueBase + entry;
  }
  setup = read;
  return 0;
}

SetupFileError saveEnergySetupFile(const std::string& path, EnergySession& session) {
  if (!session.results.valid) return {kSetupNoResults, {}, -1};
  session.setupFilePath = path;
  EnergySetupFile setup;
  setup.values = session.entries.values;
  setup.choices = session.choices;
  const auto bytes = encodeEnergySetupFile(setup);
  return writeSetupFile(path, bytes);
}

SetupFileError openEnergySetupFile(const std::string& path, EnergySession& session) {
  session.setupFilePath = path;
  std::vector<std::uint8_t> bytes;
  if (SetupFileError error = readSetupFile(path, kEnergySetupFileSize, bytes); error.failed()) {
    return error;
  }
  EnergySetupFile setup;
  if (const int code = decodeEnergySetupFile(bytes, setup); code != 0)
    return setupFileCorrupt(code);
  session.choices = setup.choices;
  session.entries.values = setup.values;
  session.entries.set.fill(true);
  session.flowPrefix = kEnergyNoPrefix;
  session.results.valid = false;
  return {};
}

}  // namespace tarnlux
