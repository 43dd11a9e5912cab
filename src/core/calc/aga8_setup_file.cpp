#include "calc/aga8_setup_file.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "calc/aga8_units.h"

namespace tarnlux {

namespace {

constexpr std::size_t kHeaderSize = sizeof kAga8SetupHeader;  // with its zero
constexpr std::size_t kValuesOffset = 32;
constexpr std::size_t kUnitsOffset = 248;
constexpr std::size_t kTableOffset = 253;
constexpr std::size_t kChecksumOffset = 254;

std::uint8_t indexByte(int index) { return static_cast<std::uint8_t>(index < 0 ? 0 : index); }

bool negativeRefused(int entry, const Aga8Units& units) {
  if (aga8IsCompositionEntry(entry)) return true;
  if (aga8IsPressureEntry(entry)) return aga8IsAbsolutePressureUnit(units.pressure);
  return units.temperature == kAga8Rankine || units.temperature == kAga8Kelvin;
}

}  // namespace

std::array<std::uint8_t, kAga8SetupFileSize> encodeAga8SetupFile(const Aga8SetupFile& setup) {
  std::array<std::uint8_t, kAga8SetupFileSize> bytes{};
  std::memcpy(bytes.data(), kAga8SetupHeader, kHeaderSize);
  for (int entry = 0; entry < kAga8EntryCount; ++entry) {
    putSetupDouble(bytes, kValuesOffset + 8 * static_cast<std::size_t>(entry),
                   setup.values[static_cast<std::size_t>(entry)]);
  }
  bytes[kUnitsOffset + 0] = indexByte(setup.units.pressure);
  bytes[kUnitsOffset + 1] = indexByte(setup.units.temperature);
  bytes[kUnitsOffset + 2] = indexByte(setup.units.velocity);
  bytes[kUnitsOffset + 3] = indexByte(setup.units.density);
  bytes[kUnitsOffset + 4] = indexByte(setup.units.enthalpy);
  bytes[kTableOffset] = setup.tableFlag == 1 ? 1 : 0;
  putSetupWord(bytes, kChecksumOffset, setupFileChecksum(bytes, kValuesOffset, kTableOffset));
  return bytes;
}

int decodeAga8SetupFile(std::span<const std::uint8_t> bytes, Aga8SetupFile& setup) {
  if (bytes.size() < kAga8SetupFileSize) return 1;
  if (std::memcmp(bytes.data(), kAga8SetupHeader, kHeaderSize) != 0) return 2;
  if (setupFileChecksum(bytes, kValuesOffset, kTableOffset) !=
      getSetupWord(bytes, kChecksumOffset)) {
    return 3;
  }
  Aga8SetupFile read;
  read.units.pressure = bytes[kUnitsOffset + 0];
  read.units.temperature = bytes[kUnitsOffset + 1];
  read.units.velocity = bytes[kUnitsOffset + 2];
  read.units.density = bytes[kUnitsOffset + 3];
  read.units.enthalpy = bytes[kUnitsOffset + 4];
  read.tableFlag = bytes[kTableOffset];
  if (read.units.pressure >= kAga8PressureUnitCount) return kAga8SetupBadPressureUnit;
  if (read.units.temperature >= kAga8TemperatureUnitCount) return kAga8SetupBadTemperatureUnit;
  if (read.units.velocity >= kAga8VelocityUnitCount) return kAga8SetupBadVelocityUnit;
  if (read.units.density >= kAga8DensityUnitCount) return kAga8SetupBadDensityUnit;
  if (read.units.enthalpy >= kAga8EnthalpyUnitCount) return kAga8SetupBadEnthalpyUnit;
  if (read.tableFlag != 0 && read.tableFlag != 1) return kAga8SetupBadTableFlag;

  const bool tableMode = read.tableFlag == 1;
  double total = 0.0;
  for (int entry = 0; entry < kAga8EntryCount; ++entry) {
    const double value = getSetupDouble(bytes, kValuesOffset + 8 * static_cast<std::size_t>(entry));
    read.values[static_cast<std::size_t>(entry)] = value;
    if (!aga8EntryActive(entry, tableMode)) continue;
    // A value that is no number would only fail later, inside the calculation.
    if (!std::isfinite(value) || (value < 0.0 && negativeRefused(entry, read.units))) {
      return kAga8SetupBadValueBase + entry;
    }
    if (aga8IsCompositionEntry(entry)) total += value;
  }
  const double slack = 1e-12;
  if (!(total >= kAga8MinCompositionTotal - slack && total <= kAga8MaxCompositionTotal + slack)) {
    return kAga8SetupBadTotal;
  }
  setup = read;
  return 0;
}

Aga8SetupFile aga8SetupFromSession(const Aga8Session& session) {
  Aga8SetupFile setup;
  setup.values = session.entries.values;
  setup.units = session.units;
  setup.tableFlag = aga8TableMode(session) ? 1 : 0;
  return setup;
}

void aga8ApplySetupFile(const Aga8SetupFile& setup, Aga8Session& session) {
  session.units = setup.units;
  session.tableFlag = setup.tableFlag;
  for (int entry = 0; entry < kAga8EntryCount; ++entry) {
    if (!aga8EntryActive(entry, setup.tableFlag == 1)) continue;
    session.entries.values[static_cast<std::size_t>(entry)] =
        setup.values[static_cast<std::size_t>(entry)];
    session.entries.set[static_cast<std::size_t>(entry)] = true;
  }
}

SetupFileError saveAga8SetupFile(const std::string& path, Aga8Session& session) {
  if (!session.results.valid) return {kSetupNoResults, {}, -1};
  session.setupFilePath = path;
  const auto bytes = encodeAga8SetupFile(aga8SetupFromSession(session));
  return writeSetupFile(path, bytes);
}

SetupFileError openAga8SetupFile(const std::string& path, Aga8Session& session) {
  session.setupFilePath = path;
  std::vector<std::uint8_t> bytes;
  if (SetupFileError error = readSetupFile(path, kAga8SetupFileSize, bytes); error.failed()) {
    return error;
  }
  Aga8SetupFile setup;
  if (const int code = decodeAga8SetupFile(bytes, setup); code != 0) return setupFileCorrupt(code);
  aga8ApplySetupFile(setup, session);
  return {};
}

}  // namespace tarnlux
