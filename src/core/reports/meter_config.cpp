#include "reports/meter_config.h"

#include "common/hex.h"
#include "link/site_answers_fields.h"

namespace tarnlux {

using answer_fields::readReal;
using answer_fields::splitFields;
using answer_fields::trimBlanks;

namespace {

constexpr int kConfigKind = 5;
constexpr int kConfigSubCode = 0;

std::vector<std::string_view> answerLines(std::string_view answer) {
  const std::size_t end = answer.find_first_of(std::string_view("\0\x03", 2));
  if (end != std::string_view::npos) answer = answer.substr(0, end);
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < answer.size()) {
    std::size_t stop = answer.find_first_of("\r\n", start);
    if (stop == std::string_view::npos) stop = answer.size();
    if (stop > start) lines.push_back(answer.substr(start, stop - start));
    start = stop + 1;
  }
  return lines;
}

int checkConfigHeader(std::string_view line, int channel, std::uint32_t flags) {
  if (line.size() < 8) return kConfigHeaderNotHex;
  const int expected[8] = {kConfigKind,
                           channel & 0xF,
                           kConfigSubCode,
                           static_cast<int>(flags >> 12 & 0xF),
                           static_cast<int>(flags >> 8 & 0xF),
                           static_cast<int>(flags >> 4 & 0xF),
                           static_cast<int>(flags & 0xF),
                           static_cast<int>(flags >> 16 & 0xF)};
  int got[8] = {};
  for (int i = 0; i < 8; ++i) {
    got[i] = hexValue(line[static_cast<std::size_t>(i)]);
    if (got[i] < 0) return kConfigHeaderNotHex;
  }
  for (int i = 0; i < 8; ++i) {
    if (got[i] != expected[i]) return kConfigHeaderFirstMismatch + i;
  }
  return 0;
}

// A number of the configuration answer; corrections may carry a trailing "%".
bool readConfigNumber(std::string_view field, bool percentAllowed, double& value) {
  field = trimBlanks(field);
  if (percentAllowed && !field.empty() && field.back() == '%') field.remove_suffix(1);
  return readReal(field, value);
}

bool isTableHeader(std::string_view line) {
  const auto comma = line.find(',');
  return line.substr(0, comma).find("Table") != std::string_view::npos;
}

int tableState(std::string_view word, bool& on) {
  for (const char* w : {"Not Enabled", "Disabled", "Not Active"}) {
    if (word == w) {
      on = false;
      return 0;
    }
  }
  for (const char* w : {"Enabled", "Active", "Constant Temp", "Constant Vs", "Constant Temp & Vs",
                        "Changing Temp & Vs"}) {
    if (word == w) {
      on = true;
      return 0;
    }
  }
  return kConfigBadTableState;
}

int readCalibrationLine(std::string_view line, MeterConfiguration& config) {
  const auto fields = splitFields(line);
  if (answer_fields::skipBlanks(fields[0]).substr(0, 10) != "Calibrate ") return kConfigNotCalibrate;
  if (fields.size() < 2 || trimBlanks(fields[1]).empty()) return kConfigNoCalibrationType;
  const std::string_view type = trimBlanks(fields[1]);
  if (type == "Kc") {
    config.calibrationType = CalibrationType::Kc;
  } else if (type == "MultiPoint") {
    config.calibrationType = CalibrationType::MultiPoint;
  } else if (type == "Intrinsic") {
    config.calibrationType = CalibrationType::Intrinsic;
  } else {
    return kConfigBadCalibrationType;
  }
  if (fields.size() < 3 || trimBlanks(fields[2]).empty()) return kConfigNoKcValue;
  if (fields.size() > 3) return kConfigCalibrationExtraField;
  std::string_view kc = trimBlanks(fields[2]);
  if (kc.back() != '%') return kConfigKcWithoutPercent;
  kc.remove_suffix(1);
  if (!readReal(kc, config.kcPercent)) return kConfigBadKcValue;
  return 0;
}

int readCalibrationPoints(const std::vector<std::string_view>& data, CalibrationTable& table) {
  for (std::string_view line : data) {
    const auto f = splitFields(line);
    if (f.size() != 3) return kConfigPointFieldCount;
    CalibrationPoint p;
    if (!readConfigNumber(f[0], false, p.index)) return kConfigBadPointIndex;
    if (!readConfigNumber(f[1], true, p.positiveCorrection)) return kConfigBadPointPositive;
    if (!readConfigNumber(f[2], true, p.negativeCorrection)) return kConfigBadPointNegative;
    table.points.push_back(p);
  }
  return 0;
}

int readAga8(const std::vector<std::string_view>& data, bool pressureInBar, Aga8Grid& grid) {
  constexpr std::size_t n = kAga8GridSize;
  if (data.size() != 1 + 2 * n) return kConfigAga8LineCount;
  const auto pressures = splitFields(data[0]);
  if (pressures.size() != n) return kConfigAga8FieldCount;
  for (std::size_t i = 0; i < n; ++i) {
    if (!readConfigNumber(pressures[i], false, grid.pressures[i])) return kConfigBadAga8Pressure;
    if (pressureInBar) grid.pressures[i] /= kPsiPerBar;
  }
  for (std::size_t row = 0; row < 2 * n; ++row) {
    const bool density = row < n;
    const std::size_t t = density ? row : row - n;
    const auto f = splitFields(data[1 + row]);
    if (f.size() != n + 1) return kConfigAga8FieldCount;
    double temperature = 0;
    if (!readConfigNumber(f[0], false, temperature)) {
      return density ? kConfigBadAga8DensityTemperature : kConfigBadAga8ZTemperature;
    }
    if (density) grid.temperatures[t] = temperature;
    auto& values = density ? grid.density[t] : grid.compressibility[t];
    for (std::size_t i = 0; i < n; ++i) {
      if (!readConfigNumber(f[1 + i], false, values[i])) {
        return density ? kConfigBadAga8Density : kConfigBadAga8Z;
      }
    }
  }
  return 0;
}

int readReynolds(const std::vector<std::string_view>& data, std::vector<ReynoldsPoint>& out) {
  for (std::string_view line : data) {
    const auto f = splitFields(line);
    if (f.size() != 3) return kConfigReynoldsFieldCount;
    ReynoldsPoint p;
    if (!readConfigNumber(f[0], false, p.reynoldsNumber)) return kConfigBadReynoldsNumber;
    if (!readConfigNumber(f[1], true, p.positiveCorrection)) return kConfigBadReynoldsPositive;
    if (!readConfigNumber(f[2], true, p.negativeCorrection)) return kConfigBadReynoldsNegative;
    out.push_back(p);
  }
  return 0;
}

int readLiquid(const std::vector<std::string_view>& data, std::vector<LiquidTablePoint>& out) {
  for (std::string_view line : data) {
    const auto f = splitFields(line);
    if (f.size() != 3) return kConfigReynoldsFieldCount;
    LiquidTablePoint p;
    for (std::size_t i = 0; i < 3; ++i) {
      if (!readConfigNumber(f[i], false, p.values[i])) {
        return kConfigBadLiquidValue + static_cast<int>(i);
      }
    }
    out.push_back(p);
  }
  return 0;
}

int readMultipoint(const std::vector<std::string_view>& data, std::vector<MultipointPoint>& out) {
  for (std::string_view line : data) {
    const auto f = splitFields(line);
    if (f.size() != 2) return kConfigMultipointFieldCount;
    MultipointPoint p;
    if (!readConfigNumber(f[0], true, p.correction)) return kConfigBadMultipointCorrection;
    if (!readConfigNumber(f[1], false, p.flow)) return kConfigBadMultipointFlow;
    out.push_back(p);
  }
  return 0;
}

// One block: its header line and data lines.
int readBlock(std::string_view headerLine, const std::vector<std::string_view>& data,
              bool pressureInBar, MeterConfiguration& config) {
  const auto fields = splitFields(headerLine);
  if (fields.size() < 2) return kConfigNoTableState;
  const std::string_view title = trimBlanks(fields[0]);
  bool on = false;
  if (const int rc = tableState(trimBlanks(fields[1]), on); rc != 0) return rc;
  if (fields.size() < 3) return kConfigNoTableName;
  if (fields.size() > 3) return kConfigTableHeaderExtraField;
  const std::string_view name = trimBlanks(fields[2]);
  if (name.size() > 32) return kConfigTableNameTooLong;

  constexpr std::string_view kCalibration = "Calibration Table ";
  if (title.substr(0, kCalibration.size()) == kCalibration) {
    std::string_view count = trimBlanks(title.substr(kCalibration.size()));
    std::int32_t points = 0;
    if (count.empty() || count.size() > 6 || count[0] == '-' ||
        !answer_fields::readInteger(count, points)) {
      return kConfigBadPointCount;
    }
    if (!on) return 0;
    if (data.size() != static_cast<std::size_t>(points)) return kConfigPointCountDiffers;
    CalibrationTable table;
    table.name = std::string(name);
    if (const int rc = readCalibrationPoints(data, table); rc != 0) return rc;
    config.calibrationTables.push_back(std::move(table));
    return 0;
  }
  if (!on) return 0;
  if (title == "AGA8 Tables") {
    if (const int rc = readAga8(data, pressureInBar, config.aga8); rc != 0) return rc;
    config.aga8Table = true;
  } else if (title == "Reynolds Table") {
    config.reynolds.clear();
    if (const int rc = readReynolds(data, config.reynolds); rc != 0) return rc;
    config.reynoldsTable = true;
  } else if (title == "QM Liquid Table") {
    config.liquid.clear();
    if (const int rc = readLiquid(data, config.liquid); rc != 0) return rc;
    config.liquidTable = true;
  } else if (title == "Multi Point Calibration Table") {
    config.multipoint.clear();
    if (const int rc = readMultipoint(data, config.multipoint); rc != 0) return rc;
    config.multipointTable = true;
  }
  // Any other title: a block this program does not show.
  return 0;
}

}  // namespace

int decodeMeterConfiguration(std::string_view answer, int channel, bool pressureInBar,
                             std::uint32_t meterFlags, MeterConfiguration& out) {
  const std::vector<std::string_view> lines = answerLines(answer);
  if (lines.empty()) return kConfigHeaderNotHex;
  if (const int rc = checkConfigHeader(lines[0], channel, meterFlags); rc != 0) return rc;
  if (lines.size() < 2) return kConfigNoCalibrationLine;

  MeterConfiguration config;
  if (const int rc = readCalibrationLine(lines[1], config); rc != 0) return rc;

  std::size_t i = 2;
  while (i < lines.size()) {
    if (!isTableHeader(lines[i])) return kConfigNotTableHeader;
    std::size_t next = i + 1;
    std::vector<std::string_view> data;
    while (next < lines.size() && !isTableHeader(lines[next])) data.push_back(lines[next++]);
    if (const int rc = readBlock(lines[i], data, pressureInBar, config); rc != 0) return rc;
    i = next;
  }

  out = std::move(config);
  return 0;
}

}  // namespace tarnlux
