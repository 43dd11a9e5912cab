#pragma once

#include <array>
#include <atomic>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "diag/capture_columns.h"
#include "graph/grade_colour.h"

namespace tarnlux {

// Reading a data capture log back for the report pages. The log is read as a
// stream, line by line, so its size does not matter: only the header, the
// heading row, the first and last time stamps and the summary block are kept.

inline constexpr const char* kBadLogText = "Fichier incorrect ou corrompu";
inline constexpr const char* kIniPathTooLongText =
    "Lect fichier d'initialis Tarnlux imposs, chem trop long";

// First lines a capture log may open with (the second from older programs),
// and the start of its version line.
inline constexpr std::string_view kCaptureLogFirstLine = "Journal de capture de donnees Norvane";
inline constexpr std::string_view kOlderCaptureLogFirstLine = "Halvorstrand Data Capture Log";

// One column of the log after its date and time, as the heading row names it,
// with its figures from the summary block.
struct ReportColumn {
  std::string label;  // heading row text, units included
  std::optional<CaptureQuantity> quantity;  // none for a label this program does not know
  int path = -1;                            // 0 to 3 for path columns
  std::string unit;                         // the text in brackets, if any
  std::string average;                      // "Valeur moyenne" cell as written
  int warnings = 0;
  int fails = 0;

  std::optional<double> averageValue() const;
  // The page's cell colour: red after any failure, yellow after warnings only.
  GradeColour grade() const {
    return fails > 0 ? GradeColour::Red : warnings > 0 ? GradeColour::Yellow : GradeColour::Green;
  }
};

// Quantity, path and unit of a heading-row label.
struct HeadingLabel {
  std::optional<CaptureQuantity> quantity;
  int path = -1;
  std::string unit;
};
HeadingLabel classifyHeadingLabel(std::string_view label);

struct ReportCalibrationTable {
  std::string title;
  struct Point {
    double index = 0;
    double positive = 0;
    double negative = 0;
  };
  std::vector<Point> points;
};

// Per-path set-up rows of the log's path table, one text per path (empty when
// the path is not in the table).
struct PathParameters {
  std::array<std::string, 4> wallThickness, innerDiameter, transducerSize, mountMode,
      spacingIndex, ltnSpacing, soundSpeedMin, soundSpeedMax, transmitCode, hfFactor,
      digitalDamping;
  std::string lengthUnit;    // "Millimetres" or "pouces"
  std::string velocityUnit;  // "mps" or "pps"
};

struct ReportData {
  std::string path;      // the file read
  std::string fileName;  // its last component

  // Identity (header block).
  std::string osReference, site, meterPart, meterSerial, spoolPart, spoolSerial, manufactureDate;
  std::string lastReportDate, lastReportTime;  // empty for "N/D"
  std::string comms, location;
  std::optional<double> bore;
  std::string boreUnit;  // "Millimetres" or "pouces"
  std::optional<double> kFactor;
  std::string kFactorUnit;

  // Configuration (extended diagnostics only).
  std::vector<ReportCalibrationTable> calibrationTables;
  bool aga8Table = false;
  std::optional<double> damping;  // "Facteur amortissement macro", seconds
  std::optional<double> basePressure, baseTemperature;
  std::string basePressureUnit, baseTemperatureUnit;
  std::string calibrationType;  // "Kc", "Intrinseque" or "Multipoint"
  std::optional<double> kc;     // per cent
  std::vector<std::pair<double, double>> multipoint;  // correction, flow
  PathParameters pathParameters;
  unsigned tablePaths = 0;  // bit n: path n + 1 is in the path table

  // Data.
  std::vector<ReportColumn> columns;  // after date and time, in file order
  std::string firstDate, firstTime, lastDate, lastTime;
  int samples = 0;

  // Paths that have columns in the log, bit n = path n + 1.
  unsigned paths() const;
  int pathCount() const;
  const ReportColumn* column(CaptureQuantity quantity, int pathIndex = -1) const;
  // The velocity unit of the log's flow velocity columns ("M/SEC" or "PI/SEC").
  std::string velocityUnit() const;
  bool metric() const { return velocityUnit() == "M/SEC"; }
  // A gas meter's log: compressibility column or AGA8 table.
  bool gasMeter() const;
  // The per-path columns are compared with the site average.
  bool comparesPaths() const;
};

// Reads the log at `path` into `data`. 0, or -1 with `message` set
// ("Fichier incorrect ou corrompu" for anything that is not a whole log), or
// -2 when `cancel` was set while reading.
int readCaptureLog(const std::string& path, ReportData& data, std::string& message,
                   const std::atomic<int>* cancel = nullptr);

// Reads a log already in memory (tests).
int readCaptureLogText(std::string_view text, ReportData& data, std::string& message);

// The log the report generator opens with: FILENAME of section LAST_REPORT in
// quillmap.ini. Empty when none is recorded.
std::string lastReportPath(const std::string& iniPath);

// A capture log's last-report date, written with dashes by the meter block
// ("02-28-24") or with slashes by older programs: month, day, year.
struct ReportDate {
  int month = 0;
  int day = 0;
  int year = 0;
};
std::optional<ReportDate> parseReportDate(std::string_view text);

}  // namespace tarnlux
