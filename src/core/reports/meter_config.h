#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>


namespace tarnlux {

// The meter's configuration as its configuration answer ("qg 500" for a
// channel, kind 5) lists it: calibration type, calibration tables, the AGA8
// density and compressibility grids, the Reynolds-number table, the liquid
// table and the multipoint calibration points.
//
// Answer layout (plain text lines ended by CR, LF or both, empty lines
// skipped, fields separated by ",", blanks before a field skipped; the answer
// ends at NUL or ETX):
//
//   5<c><s><E><N><T><S><K>                header: 8 hexadecimal digits
//   Calibrate Type,<type>,<kc>%           type "Kc", "MultiPoint" or "Intrinsic"
//   <table header>                        any number of blocks, each a header
//   <data lines>                          line and its data lines
//
// A table header line is "<title>,<state>,<name>": the title contains "Table",
// the state is one of the on words ("Enabled", "Active", "Constant Temp",
// "Constant Vs", "Constant Temp & Vs", "Changing Temp & Vs") or off words
// ("Not Enabled", "Disabled", "Not Active"), the name is at most 32
// characters. A block's data lines run up to the next line whose first field
// contains "Table", or the end. The data lines of an off block, and of a block
// with an unknown title, are skipped unread. On blocks:
//
//   "Calibration Table <n>"      exactly n lines "index,positive,negative"
//   "AGA8 Tables"                21 lines: "p1,...,p10" (pressures in psia);
//                                10 density rows "t,d1,...,d10"; 10
//                                compressibility rows "t,z1,...,z10" (t in the
//                                meter's temperature unit; the axis is taken
//                                from the density rows)
//   "Reynolds Table"             lines "reynolds,positive,negative"
//   "QM Liquid Table"            lines "a,b,c" (three numbers)
//   "Multi Point Calibration Table"  lines "correction,flow"
//
// Numbers: an optional "-", digits, at most one "."; the correction values of
// the calibration, Reynolds and multipoint lines may end with "%". The full
// description with an example is in docs/meter-answers.md.

// Header faults, by position of the digit that differs (kind, channel,
// sub-code, then the capability nibbles 12-15, 8-11, 4-7, 0-3, 16-19).
inline constexpr int kConfigHeaderNotHex = 20143;  // shorter than 8 or not hexadecimal
inline constexpr int kConfigHeaderFirstMismatch = 20144;  // + position 0..7

// Calibration line.
inline constexpr int kConfigNoCalibrationLine = 20701;
inline constexpr int kConfigNotCalibrate = 20702;        // first field not "Calibrate ..."
inline constexpr int kConfigNoCalibrationType = 20703;
inline constexpr int kConfigBadCalibrationType = 20704;
inline constexpr int kConfigNoKcValue = 20705;
inline constexpr int kConfigKcWithoutPercent = 20706;
inline constexpr int kConfigBadKcValue = 20707;
inline constexpr int kConfigCalibrationExtraField = 20708;

// Table header lines and block shapes.
inline constexpr int kConfigNotTableHeader = 20801;  // a line where a block must start
inline constexpr int kConfigNoTableState = 20802;
inline constexpr int kConfigBadTableState = 20803;
inline constexpr int kConfigNoTableName = 20804;
inline constexpr int kConfigTableNameTooLong = 20805;
inline constexpr int kConfigTableHeaderExtraField = 20806;
inline constexpr int kConfigBadPointCount = 20807;   // "Calibration Table " + not a count
inline constexpr int kConfigPointCountDiffers = 20808;
inline constexpr int kConfigAga8LineCount = 20809;
// 20810 and 20811 are not used.

// Numbers: which value of which block is malformed or missing.
inline constexpr int kConfigBadPointIndex = 20901;
inline constexpr int kConfigBadPointPositive = 20902;
inline constexpr int kConfigBadPointNegative = 20903;
inline constexpr int kConfigBadAga8Pressure = 20904;
inline constexpr int kConfigBadAga8DensityTemperature = 20905;
inline constexpr int kConfigBadAga8Density = 20906;
inline constexpr int kConfigBadAga8ZTemperature = 20907;
inline constexpr int kConfigBadAga8Z = 20908;
inline constexpr int kConfigBadReynoldsNumber = 20909;
inline constexpr int kConfigBadReynoldsPositive = 20910;
inline constexpr int kConfigBadReynoldsNegative = 20911;
inline constexpr int kConfigBadLiquidValue = 20912;  // + 0..2 by position
inline constexpr int kConfigBadMultipointCorrection = 20915;
inline constexpr int kConfigBadMultipointFlow = 20916;
inline constexpr int kConfigPointFieldCount = 20917;   // calibration point line
inline constexpr int kConfigAga8FieldCount = 20918;
inline constexpr int kConfigReynoldsFieldCount = 20919;  // Reynolds or liquid line
inline constexpr int kConfigMultipointFieldCount = 20920;

// Shown by the connect step for any of the faults above.
inline constexpr const char* kMeterDataInvalidText = "Donnees compt. non valables";

enum class CalibrationType { Kc, MultiPoint, Intrinsic };

struct CalibrationPoint {
  double index = 0;
  double positiveCorrection = 0;
  double negativeCorrection = 0;
};

struct CalibrationTable {
  std::string name;
  std::vector<CalibrationPoint> points;
};

inline constexpr std::size_t kAga8GridSize = 10;
inline constexpr double kPsiPerBar = 14.50377;

struct Aga8Grid {
  // Pressures in the meter's pressure unit (psia, or bar when it shows bar).
  std::array<double, kAga8GridSize> pressures{};
  // Temperatures in the meter's temperature unit.
  std::array<double, kAga8GridSize> temperatures{};
  // [temperature][pressure]
  std::array<std::array<double, kAga8GridSize>, kAga8GridSize> density{};
  std::array<std::array<double, kAga8GridSize>, kAga8GridSize> compressibility{};
};

struct ReynoldsPoint {
  double reynoldsNumber = 0;
  double positiveCorrection = 0;
  double negativeCorrection = 0;
};

struct LiquidTablePoint {
  std::array<double, 3> values{};
};

struct MultipointPoint {
  double correction = 0;
  double flow = 0;
};

struct MeterConfiguration {
  CalibrationType calibrationType = CalibrationType::Intrinsic;
  double kcPercent = 0;
  // The tables that are on, in the meter's order.
  std::vector<CalibrationTable> calibrationTables;
  // AGA8 tables present and enabled.
  bool aga8Table = false;
  Aga8Grid aga8;
  bool reynoldsTable = false;
  std::vector<ReynoldsPoint> reynolds;
  bool liquidTable = false;
  std::vector<LiquidTablePoint> liquid;
  // Multipoint calibration table present and enabled.
  bool multipointTable = false;
  std::vector<MultipointPoint> multipoint;
};

// Decodes the configuration answer of `channel` (the text from the header line
// on; an echo of the query before it is skipped by the caller, see
// answerAfterEcho). The header must repeat the capability word `meterFlags`
// nibble by nibble, the transit-time nibble included, so the word needs no
// update afterwards. `pressureInBar`: the meter shows pressures in bar, so the
// AGA8 pressure axis is converted from psi. On a fault `out` is unchanged.
int decodeMeterConfiguration(std::string_view answer, int channel, bool pressureInBar,
                             std::uint32_t meterFlags, MeterConfiguration& out);

}  // namespace tarnlux
