#pragma once

#include <optional>
#include <string>
#include <vector>

#include "graph/grade_colour.h"
#include "graph/table_cell.h"
#include "graph/y_axis.h"
#include "reports/capture_log_reader.h"

namespace tarnlux {

// The report pages as cells of a grid and charts, so what a page says is
// decided here and the drawing only places it. A page is 43 rows by 20
// columns; the drawing sizes the grid from its base font.

inline constexpr int kReportRows = 43;
inline constexpr int kReportColumns = 20;

enum class ReportFont { Header, Title, Section, Text, SignOff, PageNumber };

inline constexpr RgbColour kReportHeaderColour{0, 128, 127};
inline constexpr RgbColour kReportTitleColour{127, 0, 127};

// Report chart colours of paths 1 to 4.
inline constexpr RgbColour reportPathColour(int path) {
  switch (path) {
    case 0:
      return {0, 0, 128};
    case 1:
      return {255, 0, 255};
    case 2:
      return {255, 255, 0};
    default:
      return {0, 255, 255};
  }
}

struct ReportCell {
  int row = 0;
  int firstColumn = 0;
  int lastColumn = -1;  // -1: the cell is one column wide
  CellAlign align = CellAlign::Left;
  ReportFont font = ReportFont::Text;
  CellKind kind = CellKind::Text;
  std::string text;
  std::optional<RgbColour> fill;
  bool frame = false;
  int lastCol() const { return lastColumn < 0 ? firstColumn : lastColumn; }
};

struct ReportChart {
  std::string title;  // written vertically beside the plot
  int firstRow = 0, lastRow = 0, firstColumn = 0, lastColumn = 0;
  YAxis axis;
  // Bars: one per path (single page). Marks: one per path and report, the
  // reports in order along the horizontal axis (multi-report page).
  bool bars = true;
  struct Mark {
    int slot = 0;  // report index on the multi-report page; 0 for bars
    int path = 0;
    double value = 0;
  };
  int slotCount = 1;
  std::vector<Mark> marks;
  std::vector<std::string> slotLabels;
  unsigned legendPaths = 0;  // bit n: "Chem n+1" in the legend
};

struct ReportPage {
  std::vector<ReportCell> cells;
  std::vector<ReportChart> charts;
  const ReportCell* find(std::string_view text) const;
  const ReportCell* at(int row, int column) const;
};

// A value for a page cell; huge numbers in "%.1E".
std::string reportNumber(double value, int decimals);

// The page of one capture log.
ReportPage singleReportPage(const ReportData& log);

// The pages that follow a meter over several logs (at least one page).
std::vector<ReportPage> multiReportPages(const std::vector<ReportData>& logs);

// The two deviation charts' figure: the largest gap between a path and the
// mean of the paths, in per cent of the mean (of at least 0.1 ft/s), and its
// axis. Fewer than two values give the axis 2, 1, "", -1, -2.
YAxis deviationAxis(const std::vector<double>& values, bool metric);
std::vector<double> deviationsPercent(const std::vector<double>& values, bool metric);

}  // namespace tarnlux
