#include "pages/report_painter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/qt_text.h"

namespace tarnlux::ui {

namespace {

QColor qColour(RgbColour c) { return QColor(c.red, c.green, c.blue); }

QFont reportFont(ReportFont kind) {
  QFont font;
  switch (kind) {
    case ReportFont::Header:
      font = QFont(QStringLiteral("Norvane Sans Black"));
      font.setPointSizeF(14);
      font.setWeight(QFont::Black);
      break;
    case ReportFont::Title:
      font = QFont(QStringLiteral("Microsoft Sans Serif"));
      font.setPointSizeF(10);
      font.setBold(true);
      font.setItalic(true);
      break;
    case ReportFont::Section:
      font = QFont(QStringLiteral("Microsoft Sans Serif"));
      font.setPointSizeF(10);
      font.setBold(true);
      break;
    case ReportFont::Text:
      font = QFont(QStringLiteral("Arial"));
      font.setPointSizeF(8.5);
      break;
    case ReportFont::SignOff:
      font = QFont(QStringLiteral("Arial"));
      font.setPointSizeF(8.5);
      font.setBold(true);
      break;
    case ReportFont::PageNumber:
      font = QFont(QStringLiteral("Arial"));
      font.setPointSizeF(12);
      break;
  }
  font.setStyleHint(QFont::SansSerif);
  return font;
}

QColor inkOf(ReportFont kind) {
  switch (kind) {
    case ReportFont::Header:
      return qColour(kReportHeaderColour);
    case ReportFont::Title:
      return qColour(kReportTitleColour);
    default:
      return Qt::black;
  }
}

QPen pen(const QColor& colour, int width, Qt::PenStyle style = Qt::SolidLine) {
  QPen p(colour);
  p.setWidth(width);
  p.setStyle(style);
  return p;
}

void drawCell(QPainter& painter, const ReportCell& cell, const ReportGrid& grid, int penWidth) {
  const QRect rect(QPoint(grid.columnLeft(cell.firstColumn), cell.row * grid.rowHeight),
                   QPoint(grid.columnRight(cell.lastCol()), (cell.row + 1) * grid.rowHeight));
  if (cell.fill) {
    // Inside the frame, so it stays visible.
    painter.fillRect(rect.adjusted(1, 1, -1, -1), qColour(*cell.fill));
  }
  if (cell.frame) {
    painter.setPen(pen(Qt::black, penWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect);
  }
  if (cell.text.empty()) return;
  const QFont font = reportFont(cell.font);
  painter.setFont(font);
  const QFontMetrics metrics(font, painter.device());
  const TextWidthMeasure measure = [&](std::string_view t) {
    return metrics.horizontalAdvance(qtText(t));
  };
  const int room = cellTextRoom(cell.align, rect.width(), grid.charWidth);
  const std::string text = fitCellText(cell.text, cell.kind, room, measure, true).text;
  const QString shown = qtText(text);
  const int textWidth = metrics.horizontalAdvance(shown);
  const CellRect r{rect.left(), rect.top(), rect.right(), rect.bottom()};
  const int x = textWidth > rect.width() ? rect.left() + 1
                                         : cellTextLeft(cell.align, r, textWidth, grid.charWidth);
  painter.setPen(inkOf(cell.font));
  // A large font (header, page number) takes more than its row: the top row
  // grows downwards, the others upwards.
  const int height = std::max(rect.height(), metrics.height());
  const int top = cell.row == 0 ? rect.top() : rect.bottom() - height + 1;
  painter.drawText(QRect(x, top, textWidth + 1, height),
                   Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip, shown);
}

double valueY(const YAxis& axis, const QRect& plot, double value) {
  const double span = axis.top - axis.bottom;
  if (span == 0) return plot.center().y();
  const double clamped = std::clamp(value, std::min(axis.bottom, axis.top), std::max(axis.bottom, axis.top));
  return plot.bottom() - (clamped - axis.bottom) / span * plot.height();
}

void drawChart(QPainter& painter, const ReportChart& chart, const ReportGrid& grid, int penWidth) {
  const QRect area(QPoint(grid.columnLeft(chart.firstColumn), chart.firstRow * grid.rowHeight),
                   QPoint(grid.columnRight(chart.lastColumn), (chart.lastRow + 1) * grid.rowHeight - 1));
  const QFont text = reportFont(ReportFont::Text);
  const QFontMetrics metrics(text, painter.device());
  painter.setFont(text);

  // Title, written upwards beside the plot, made smaller when the chart is short.
  const int titleWidth = metrics.height() + grid.charWidth / 2;
  painter.save();
  const QString title = qtText(chart.title);
  QFont titleFont = text;
  const int titleRoom = area.height() - grid.rowHeight;
  if (const int w = metrics.horizontalAdvance(title); w > titleRoom && titleRoom > 0) {
    titleFont.setPointSizeF(std::max(4.0, text.pointSizeF() * titleRoom / w));
  }
  painter.setFont(titleFont);
  const QFontMetrics titleMetrics(titleFont, painter.device());
  painter.setPen(Qt::black);
  painter.translate(area.left() + metrics.ascent(), area.top() + titleRoom / 2);
  painter.rotate(-90);
  painter.drawText(-titleMetrics.horizontalAdvance(title) / 2, 0, title);
  painter.restore();

  int labelWidth = 0;
  for (const std::string& label : chart.axis.labels) {
    labelWidth = std::max(labelWidth, metrics.horizontalAdvance(qtText(label)));
  }
  const int bottomStrip = grid.rowHeight * (chart.bars ? 1 : 2);
  QRect plot(area.left() + titleWidth + labelWidth + grid.charWidth, area.top() + metrics.height() / 2,
             0, 0);
  plot.setRight(area.right() - grid.charWidth);
  plot.setBottom(area.bottom() - bottomStrip);
  if (plot.width() < 4 || plot.height() < 4) return;

  // Plot area: grey with a darker shadow, framed.
  const int shadow = std::max(2, grid.charWidth / 3);
  painter.fillRect(plot.translated(shadow, shadow), QColor(96, 96, 96));
  painter.fillRect(plot, QColor(192, 192, 192));
  painter.setPen(pen(Qt::black, penWidth));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(plot);

  // Dotted lines at the five label heights, the labels left of the plot.
  for (int i = 0; i < 5; ++i) {
    const int y = plot.top() + i * plot.height() / 4;
    if (i > 0 && i < 4) {
      painter.setPen(pen(Qt::black, penWidth, Qt::DotLine));
      painter.drawLine(plot.left(), y, plot.right(), y);
    }
    painter.setPen(Qt::black);
    const QString label = qtText(chart.axis.labels[static_cast<std::size_t>(i)]);
    painter.drawText(QRect(plot.left() - labelWidth - grid.charWidth / 2, y - metrics.height() / 2,
                           labelWidth, metrics.height()),
                     Qt::AlignRight | Qt::AlignVCenter, label);
  }

  const double baseline =
      chart.axis.bottom <= 0 && chart.axis.top >= 0 ? 0.0 : std::min(chart.axis.bottom, chart.axis.top);
  const int slotCount = std::max(1, chart.slotCount);
  const double slotWidth = static_cast<double>(plot.width()) / slotCount;
  painter.setPen(pen(Qt::black, penWidth));
  if (chart.bars) {
    const int count = static_cast<int>(chart.marks.size());
    const double width = static_cast<double>(plot.width()) / std::max(1, count);
    for (int i = 0; i < count; ++i) {
      const ReportChart::Mark& mark = chart.marks[static_cast<std::size_t>(i)];
      const double y0 = valueY(chart.axis, plot, baseline);
      const double y1 = valueY(chart.axis, plot, mark.value);
      const QRectF bar(plot.left() + width * (i + 0.2), std::min(y0, y1), width * 0.6,
                       std::max(1.0, std::fabs(y1 - y0)));
      painter.setBrush(qColour(reportPathColour(mark.path)));
      painter.drawRect(bar);
    }
  } else {
    const double size = std::max(3.0, grid.charWidth * 0.8);
    for (const ReportChart::Mark& mark : chart.marks) {
      const double x = plot.left() + slotWidth * (mark.slot + 0.5) + (mark.path - 1.5) * size * 0.5;
      const double y = valueY(chart.axis, plot, mark.value);
      painter.setBrush(qColour(reportPathColour(mark.path)));
      painter.drawRect(QRectF(x - size / 2, y - size / 2, size, size));
    }
    // The reports' dates under the plot, as many as fit side by side.
    painter.setPen(Qt::black);
    int lastRight = plot.left() - grid.charWidth;
    for (int i = 0; i < static_cast<int>(chart.slotLabels.size()); ++i) {
      const QString label = qtText(chart.slotLabels[static_cast<std::size_t>(i)]);
      const int w = metrics.horizontalAdvance(label);
      const int x = static_cast<int>(plot.left() + slotWidth * (i + 0.5)) - w / 2;
      if (x <= lastRight + grid.charWidth / 2) continue;
      painter.drawText(x, plot.bottom() + shadow + metrics.ascent(), label);
      lastRight = x + w;
    }
  }
  painter.setBrush(Qt::NoBrush);

  // Legend: the paths shown, each with its colour square.
  int legendWidth = 0;
  const int square = metrics.ascent() * 2 / 3;
  for (int p = 0; p < 4; ++p) {
    if ((chart.legendPaths & (1u << p)) == 0) continue;
    legendWidth += square + grid.charWidth / 2 +
                   metrics.horizontalAdvance(QStringLiteral("Chem %1").arg(p + 1)) + grid.charWidth;
  }
  int x = plot.left() + (plot.width() - legendWidth) / 2;
  const int baselineY = area.bottom() - metrics.descent();
  for (int p = 0; p < 4; ++p) {
    if ((chart.legendPaths & (1u << p)) == 0) continue;
    painter.setPen(pen(Qt::black, penWidth));
    painter.setBrush(qColour(reportPathColour(p)));
    painter.drawRect(x, baselineY - square, square, square);
    painter.setBrush(Qt::NoBrush);
    x += square + grid.charWidth / 2;
    const QString name = QStringLiteral("Chem %1").arg(p + 1);
    painter.setPen(Qt::black);
    painter.drawText(x, baselineY, name);
    x += metrics.horizontalAdvance(name) + grid.charWidth;
  }
}

}  // namespace

ReportGrid reportGrid(const QPaintDevice* device) {
  const QFont base = reportFont(ReportFont::Text);
  const QFontMetrics metrics(base, const_cast<QPaintDevice*>(device));
  ReportGrid grid;
  grid.charWidth = std::max(1, metrics.horizontalAdvance(QLatin1Char('0')));
  grid.charHeight = std::max(1, metrics.height());
  // Nine figures to a column, more for the labels of the first column and the
  // units of the last; rows half a line apart, so the page fills a landscape sheet.
  int right = 0;
  for (int c = 0; c < kReportColumns; ++c) {
    const int figures = c == 0 ? 15 : c == kReportColumns - 1 ? 12 : 9;
    right += grid.charWidth * figures;
    grid.columnRights[static_cast<std::size_t>(c)] = right;
  }
  grid.rowHeight = grid.charHeight + grid.charHeight / 2;
  return grid;
}

int ReportGrid::columnAt(int x) const {
  for (int c = 0; c < kReportColumns; ++c) {
    if (columnLeft(c) >= x) return c;
  }
  return kReportColumns - 1;
}

void drawReportPage(QPainter& painter, const ReportPage& page, const ReportGrid& grid,
                    QPoint origin, int firstColumn, int firstRow, const QRect& area, int penWidth) {
  painter.save();
  painter.setClipRect(area);
  painter.translate(origin.x() - grid.columnLeft(firstColumn), origin.y() - firstRow * grid.rowHeight);
  for (const ReportCell& cell : page.cells) drawCell(painter, cell, grid, penWidth);
  for (const ReportChart& chart : page.charts) drawChart(painter, chart, grid, penWidth);
  painter.restore();
}

void drawWholeReportPage(QPainter& painter, const ReportPage& page, const QRect& area,
                         int penWidth) {
  const ReportGrid grid = reportGrid(painter.device());
  const double scale = std::min(static_cast<double>(area.width()) / grid.width(),
                                static_cast<double>(area.height()) / grid.height());
  painter.save();
  painter.translate(area.left() + (area.width() - grid.width() * scale) / 2, area.top());
  painter.scale(scale, scale);
  drawReportPage(painter, page, grid, QPoint(0, 0), 0, 0, QRect(0, 0, grid.width(), grid.height()),
                 penWidth);
  painter.restore();
}

bool drawReportPages(QPagedPaintDevice& device, const std::vector<ReportPage>& pages) {
  if (pages.empty()) return false;
  QPainter painter;
  if (!painter.begin(&device)) return false;
  for (std::size_t i = 0; i < pages.size(); ++i) {
    if (i > 0) device.newPage();
    drawWholeReportPage(painter, pages[i], QRect(0, 0, device.width(), device.height()),
                        kReportPaperPen);
  }
  painter.end();
  return true;
}

QString writeReportPdf(const QString& path, const std::vector<ReportPage>& pages) {
  const QFileInfo target(path);
  if (!target.dir().exists()) return QStringLiteral("Repertoire introuvable: ") + target.absolutePath();
  const QString temporary = target.absoluteFilePath() + QStringLiteral(".part");
  QFile::remove(temporary);
  bool drawn = false;
  {
    QPdfWriter writer(temporary);
    writer.setResolution(600);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                     QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter));
    writer.setTitle(target.completeBaseName());
    drawn = drawReportPages(writer, pages);
  }  // the writer finishes the file when it goes
  if (!drawn || !QFileInfo::exists(temporary) || QFileInfo(temporary).size() == 0) {
    QFile::remove(temporary);
    return drawn ? QStringLiteral("Impossible d'ecrire ") + temporary : QStringLiteral("Rien a exporter");
  }
  if (std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path).constData()) != 0) {
    QFile::remove(temporary);
    return QStringLiteral("Impossible d'ecrire ") + path;
  }
  return {};
}

}  // namespace tarnlux::ui
