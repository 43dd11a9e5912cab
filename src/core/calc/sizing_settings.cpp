#include "calc/sizing_settings.h"

#include <cmath>
#include <cstring>

#include "calc/calc_settings.h"
#include "common/profile_file.h"

namespace tarnlux {

namespace {

constexpr const char* kFilterKey = "XDCR_FILTER";

// A stored value its entry would refuse: the ranges of the validation (the
// liner may be 0, a flow any non-negative number, a fraction 0..1).
bool acceptable(SizingMode mode, int entry, double value) {
  if (!std::isfinite(value)) return false;
  const SizingEntryInfo& info = sizingEntryInfo(mode, entry);
  const double slack = 1e-9 * std::max(std::fabs(info.minimum), 1.0);
  if (entry == sizingEntry(mode, SizingRole::Liner)) return value >= 0.0 && value <= info.maximum;
  return value >= info.minimum - slack && value <= info.maximum * (1.0 + 1e-12);
}

std::vector<int> selectionSlots(SizingMode mode) {
  std::vector<int> slots;
  for (int s = 0; s < kSizingSelectionCount; ++s) {
    if (sizingHasSelection(mode, s)) slots.push_back(s);
  }
  return slots;
}

}  // namespace

const char* sizingSettingsSection(SizingMode mode) {
  return mode == SizingMode::Gas ? "XSELECT_GAS" : "XSELECT_LIQUID";
}

void sizingApplyRememberedChoices(SizingSession& session) {
  const SizingMode mode = session.mode;
  const bool fluidUnset = session.choices.at(kSizingFluid) < 0;
  for (int s = 0; s < kSizingSelectionCount; ++s) {
    int& current = session.choices.index[static_cast<std::size_t>(s)];
    if (current >= 0) continue;
    const int remembered = session.settings.remembered.at(s);
    current = remembered >= 0 ? remembered : s == kSizingFluid ? sizingDefaultFluid(mode) : 0;
  }
  if (session.settings.rememberedFilter >= 0 && fluidUnset) {
    session.sFilter = session.settings.rememberedFilter != 0;
  }
  if (fluidUnset) {
    // The fluid's figures fill what nothing else has set.
    SizingEntries filled(mode);
    sizingFillFluid(mode, session.choices.at(kSizingFluid), filled);
    for (std::size_t i = 0; i < filled.values.size(); ++i) {
      if (filled.set[i] && !session.entries.set[i]) {
        session.entries.values[i] = filled.values[i];
        session.entries.set[i] = true;
      }
    }
  }
}

void readSizingSettings(const ProfileFile& file, SizingSession& session) {
  const SizingMode mode = session.mode;
  const char* section = sizingSettingsSection(mode);
  SizingSettingsMemory& memory = session.settings;
  for (int s : selectionSlots(mode)) {
    const SizingSelectionInfo info = sizingSelectionInfo(mode, s);
    const auto i = static_cast<std::size_t>(s);
    memory.selections[i] = file.getString(section, info.key);
    memory.remembered.index[i] = findListText(info.names, info.count, memory.selections[i]);
  }
  memory.sFilter = file.getString(section, kFilterKey);
  if (memory.sFilter == "0" || memory.sFilter == "1")
    memory.rememberedFilter = memory.sFilter[0] - '0';
  const int count = sizingEntryCount(mode);
  memory.entries.assign(static_cast<std::size_t>(count), std::string());
  for (int entry = 0; entry < count; ++entry) {
    const auto i = static_cast<std::size_t>(entry);
    memory.entries[i] = file.getString(section, sizingEntryInfo(mode, entry).key);
    const std::optional<double> value = parseHexDouble(memory.entries[i]);
    if (!value || !acceptable(mode, entry, *value)) continue;
    session.entries.values[i] = *value;
    session.entries.set[i] = true;
  }
}

std::vector<std::pair<std::string, std::string>> sizingSettingsChanges(
    const SizingSession& session) {
  const SizingMode mode = session.mode;
  std::vector<std::pair<std::string, std::string>> changes;
  for (int s : selectionSlots(mode)) {
    const SizingSelectionInfo info = sizingSelectionInfo(mode, s);
    const int index = session.choices.at(s);
    if (index < 0 || index >= info.count) continue;
    if (session.settings.selections[static_cast<std::size_t>(s)] != info.names[index]) {
      changes.emplace_back(info.key, info.names[index]);
    }
  }
  const std::string filter = session.sFilter ? "1" : "0";
  if (filter != session.settings.sFilter) changes.emplace_back(kFilterKey, filter);
  for (int entry = 0; entry < sizingEntryCount(mode); ++entry) {
    const auto i = static_cast<std::size_t>(entry);
    const std::string text =
        session.entries.set[i] ? hexDouble(session.entries.values[i]) : std::string();
    const std::string& held =
        i < session.settings.entries.size() ? session.settings.entries[i] : text;
    if (text != held) changes.emplace_back(sizingEntryInfo(mode, entry).key, text);
  }
  return changes;
}

int writeSizingSettings(const std::string& path, SizingSession& session) {
  const auto changes = sizingSettingsChanges(session);
  if (changes.empty()) return 0;
  ProfileFile file(path);
  // Rewriting a file we could not read would lose every other section.
  if (const int rc = file.load(); rc != 0) return rc;
  const char* section = sizingSettingsSection(session.mode);
  for (const auto& [key, value] : changes) file.set(section, key, value);
  if (const int rc = file.save(); rc != 0) return rc;

  SizingSettingsMemory& memory = session.settings;
  memory.entries.resize(session.entries.values.size());
  for (const auto& [key, value] : changes) {
    if (key == kFilterKey) memory.sFilter = value;
    for (int s = 0; s < kSizingSelectionCount; ++s) {
      if (sizingHasSelection(session.mode, s) && key == sizingSelectionInfo(session.mode, s).key)
        memory.selections[static_cast<std::size_t>(s)] = value;
    }
    for (int entry = 0; entry < sizingEntryCount(session.mode); ++entry) {
      if (key == sizingEntryInfo(session.mode, entry).key)
        memory.entries[static_cast<std::size_t>(entry)] = value;
    }
  }
  return 0;
}

// ---- set-up files ------------------------------------------------------------

namespace {

struct FileLayout {
  const char* header;
  std::size_t headerSize;  // with its zero
  std::size_t size;
  std::size_t selections;  // first selection byte
  std::size_t chosen;      // type, size, mount, spacing
  std::size_t filter;
  std::size_t checksumFirst;
  std::size_t checksumLast;
  std::size_t checksum;
};

FileLayout layoutOf(SizingMode mode) {
  if (mode == SizingMode::Gas) {
    return {kSizingGasSetupHeader,
            sizeof kSizingGasSetupHeader,
            kSizingGasSetupFileSize,
            296,
            306,
            310,
            36,
            311,
            312};
  }
  return {kSizingLiquidSetupHeader,
          sizeof kSizingLiquidSetupHeader,
          kSizingLiquidSetupFileSize,
          120,
          129,
          133,
          39,
          133,
          134};
}

constexpr std::size_t kValuesOffset = 40;

}  // namespace

std::size_t sizingSetupFileSize(SizingMode mode) { return layoutOf(mode).size; }

const char* sizingSetupFilter(SizingMode mode) {
  return mode == SizingMode::Gas ? kSizingGasSetupFilter : kSizingLiquidSetupFilter;
}

std::vector<std::uint8_t> encodeSizingSetupFile(SizingMode mode, const SizingSetupFile& setup) {
  const FileLayout l = layoutOf(mode);
  std::vector<std::uint8_t> bytes(l.size, 0);
  std::memcpy(bytes.data(), l.header, l.headerSize);
  for (int entry = 0; entry < sizingEntryCount(mode); ++entry) {
    const auto i = static_cast<std::size_t>(entry);
    putSetupDouble(bytes, kValuesOffset + 8 * i, i < setup.values.size() ? setup.values[i] : 0.0);
  }
  std::size_t at = l.selections;
  for (int s : selectionSlots(mode)) {
    const int index = setup.choices.at(s);
    bytes[at++] = static_cast<std::uint8_t>(index < 0 ? 0 : index);
  }
  const int chosen[4] = {setup.user.type, setup.user.size, setup.user.mount, setup.user.spacing};
  for (int c = 0; c < 4; ++c) {
    // 255 keeps "the tool's own choice".
    bytes[l.chosen + static_cast<std::size_t>(c)] =
        static_cast<std::uint8_t>(chosen[c] < 0 ? 255 : chosen[c]);
  }
  bytes[l.filter] = setup.sFilter ? 1 : 0;
  putSetupWord(bytes, l.checksum, setupFileChecksum(bytes, l.checksumFirst, l.checksumLast));
  return bytes;
}

int decodeSizingSetupFile(SizingMode mode, std::span<const std::uint8_t> bytes,
                          SizingSetupFile& setup) {
  const FileLayout l = layoutOf(mode);
  if (bytes.size() < l.size) return 1;
  if (std::memcmp(bytes.data(), l.header, l.headerSize) != 0) return 2;
  if (setupFileChecksum(bytes, l.checksumFirst, l.checksumLast) != getSetupWord(bytes, l.checksum))
    return 3;
  SizingSetupFile read;
  int code = 4;
  std::size_t at = l.selections;
  for (int s : selectionSlots(mode)) {
    const int index = bytes[at++];
    if (index >= sizingSelectionInfo(mode, s).count) return code;
    read.choices.index[static_cast<std::size_t>(s)] = index;
    ++code;
  }
  const int type = bytes[l.chosen];
  const int typeCount = static_cast<int>(sensorTypes(mode).size());
  if (type != 255 && type >= typeCount) return code;
  read.user.type = type == 255 ? -1 : type;
  // Size, mount and spacing depend on the type; one that no longer fits is
  // left to the tool.
  auto chosen = [&](std::size_t offset, int count) {
    const int v = bytes[offset];
    return v < count ? v : -1;
  };
  const SensorFamily family =
      read.user.type >= 0 ? sensorTypes(mode)[static_cast<std::size_t>(read.user.type)].family
                          : SensorFamily::Universal7327;
  read.user.size = read.user.type >= 0
                       ? chosen(l.chosen + 1, static_cast<int>(sensorSizes(mode, family).size()))
                       : -1;
  read.user.mount = chosen(l.chosen + 2, static_cast<int>(sizingMounts(mode).size()));
  read.user.spacing = chosen(l.chosen + 3, 4);
  read.sFilter = bytes[l.filter] != 0;
  const int count = sizingEntryCount(mode);
  read.values.assign(static_cast<std::size_t>(count), 0.0);
  const bool noLiner = read.choices.at(kSizingLinerMaterial) == 0;
  for (int entry = 0; entry < count; ++entry) {
    const double value = getSetupDouble(bytes, kValuesOffset + 8 * static_cast<std::size_t>(entry));
    read.values[static_cast<std::size_t>(entry)] = value;
    const bool linerSkipped = noLiner && entry == sizingEntry(mode, SizingRole::Liner);
    if (!(linerSkipped && std::isfinite(value)) && !acceptable(mode, entry, value))
      return 100 + entry;
  }
  setup = read;
  return 0;
}

SetupFileError saveSizingSetupFile(const std::string& path, SizingSession& session) {
  if (!session.results.valid) return {kSetupNoResults, {}, -1};
  session.setupFilePath = path;
  SizingSetupFile setup;
  setup.choices = session.choices;
  setup.user = session.user;
  setup.sFilter = session.sFilter;
  setup.values = session.entries.values;
  return writeSetupFile(path, encodeSizingSetupFile(session.mode, setup));
}

SetupFileError openSizingSetupFile(const std::string& path, SizingSession& session) {
  session.setupFilePath = path;
  std::vector<std::uint8_t> bytes;
  if (SetupFileError error = readSetupFile(path, sizingSetupFileSize(session.mode), bytes);
      error.failed()) {
    return error;
  }
  SizingSetupFile setup;
  if (const int code = decodeSizingSetupFile(session.mode, bytes, setup); code != 0)
    return setupFileCorrupt(code);
  session.choices = setup.choices;
  session.user = setup.user;
  session.sFilter = setup.sFilter;
  session.entries.values = setup.values;
  session.entries.set.assign(setup.values.size(), true);
  if (session.mode == SizingMode::Gas && setup.choices.at(kSizingFluid) != kAga8CompositionGas) {
    // A composition the file holds for another gas is no input of it.
    for (int c = kSizingGasCompositionFirst; c < kSizingGasEntryCount; ++c) {
      session.entries.set[static_cast<std::size_t>(c)] =
          setup.values[static_cast<std::size_t>(c)] != 0.0;
    }
  }
  session.results.valid = false;
  return {};
}

}  // namespace tarnlux
