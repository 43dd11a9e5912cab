#pragma once

#include <QRect>
#include <array>
#include <QString>
#include <vector>

#include "reports/report_page.h"

class QPainter;
class QPaintDevice;
class QPagedPaintDevice;

namespace tarnlux::ui {

// Drawing of the report pages with a QPainter, on the screen, on paper and
// into PDF files. Needs Qt Gui only (no widgets), so tarnlux-cli can draw the
// pages too.

// Grid of a page on a device, from the width and height of "0" in the page's
// base font (Arial, 8.5 points): pages keep their proportions everywhere.
struct ReportGrid {
  int charWidth = 6;
  int charHeight = 12;
  int rowHeight = 15;
  // Right edge of every column: the label and unit columns are wider.
  std::array<int, kReportColumns> columnRights{};

  int columnLeft(int column) const { return column <= 0 ? 0 : columnRights[static_cast<std::size_t>(column - 1)]; }
  int columnRight(int column) const { return columnRights[static_cast<std::size_t>(column)]; }
  int width() const { return columnRights.back(); }
  int height() const { return kReportRows * rowHeight; }
  // The first column whose left edge is at least `x` from the page's left.
  int columnAt(int x) const;
};
ReportGrid reportGrid(const QPaintDevice* device);

// Draws `page` with its grid origin at `origin`, columns before `firstColumn`
// and rows before `firstRow` scrolled out of view, clipped to `area`.
// `penWidth` is 0 on the screen and 5 device units on paper.
void drawReportPage(QPainter& painter, const ReportPage& page, const ReportGrid& grid,
                    QPoint origin, int firstColumn, int firstRow, const QRect& area, int penWidth);

// Draws the whole page scaled into `area` (paper: the sheet, landscape).
void drawWholeReportPage(QPainter& painter, const ReportPage& page, const QRect& area,
                         int penWidth);

// Every page on its own sheet of `device` (a printer or a PDF writer), begun
// and ended here. False when the device could not be drawn on.
bool drawReportPages(QPagedPaintDevice& device, const std::vector<ReportPage>& pages);

// Pen width on paper, in device units.
inline constexpr int kReportPaperPen = 5;

// Writes the pages into a PDF file (landscape A4) under a temporary name
// renamed when complete. Empty on success, else the reason.
QString writeReportPdf(const QString& path, const std::vector<ReportPage>& pages);

}  // namespace tarnlux::ui
