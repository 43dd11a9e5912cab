#include "graph/diag_panel_draw.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <vector>

#include "app/qt_text.h"
#include "diag/text_format.h"
#include "graph/graph.h"
#include "graph/graph_colours.h"

namespace tarnlux::ui {

namespace {

QColor qColour(RgbColour c) { return QColor(c.red, c.green, c.blue); }

using Metrics = PanelMetrics;

Metrics metricsOf(QPainter& p) { return panelMetrics(p); }

void textAt(QPainter& p, int x, int centreY, int height, const std::string& text) {
  const QString shown = qtText(text);
  const QFontMetrics fm(p.font(), p.device());
  p.drawText(QRect(x, centreY - height / 2, fm.horizontalAdvance(shown) + 1, height),
             Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip, shown);
}

// The rows as a grid of cells: the label column, `valueColumns` value
// columns, the summary column and the units column.
void drawRows(Graph& graph, GraphCanvas& c, const std::vector<PanelRow>& rows,
              const std::vector<int>& rights, int valueColumns, int left, int top, int limitRight,
              const Metrics& m) {
  QPainter& p = *c.painter;
  TableGrid grid;
  grid.columnRights = rights;
  grid.rowHeight = m.row;
  grid.originX = left;
  grid.originY = top;
  grid.limitRight = limitRight;
  grid.limitBottom = top + m.row * static_cast<int>(rows.size()) + 1;
  grid.charWidth = m.w;
  const int summaryColumn = valueColumns + 1;
  const int unitColumn = valueColumns + 2;
  QFont plain = p.font();
  QFont bold = plain;
  bold.setBold(true);
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    const PanelRow& row = rows[static_cast<std::size_t>(r)];
    std::string label = row.label;
    p.setFont(row.section || r == 0 ? bold : plain);
    graph.tableCell(c, grid, label, CellKind::Text, r, 0, CellAlign::Left);
    p.setFont(r == 0 ? bold : plain);
    for (int v = 0; v < valueColumns; ++v) {
      const PanelCell& cell = row.cells[static_cast<std::size_t>(v)];
      if (cell.text.empty()) continue;
      std::string text = cell.text;
      const CellKind kind = r == 0 ? CellKind::Text : CellKind::Number;
      if (cell.grade) {
        graph.gradedCell(c, grid, text, kind, r, v + 1, CellAlign::Centre, *cell.grade);
      } else {
        graph.tableCell(c, grid, text, kind, r, v + 1, CellAlign::Centre);
      }
    }
    if (!row.summaryText.empty()) {
      std::string text = row.summaryText;
      std::optional<QColor> fill;
      if (row.summary) fill = qColour(rgbOf(*row.summary));
      graph.tableCell(c, grid, text, CellKind::Text, r, summaryColumn, CellAlign::Centre, fill);
    }
    if (!row.unit.empty()) {
      std::string text = row.unit;
      graph.tableCell(c, grid, text, CellKind::Text, r, unitColumn, CellAlign::Left);
    }
  }
  p.setFont(plain);
  // Grid lines: under the heading and around the value columns.
  p.setPen(c.pen(qColour(kGraphInk)));
  const int bottom = top + m.row * static_cast<int>(rows.size());
  const int right = std::min(limitRight, left + rights.back());
  p.drawRect(left, top, right - left, bottom - top);
  p.drawLine(left, top + m.row, right, top + m.row);
  for (std::size_t col = 0; col + 1 < rights.size(); ++col) {
    const int x = left + rights[col];
    if (x < right) p.drawLine(x, top, x, bottom);
  }
}

// A bar display: title, axis with its five labels, one bar per active path
// from the zero line to its signed deviation.
void drawBars(GraphCanvas& c, const std::string& title, const DeviationAxis& axis,
              const std::array<double, 4>& values, unsigned mask, int left, int top, int width,
              int height, const Metrics& m) {
  QPainter& p = *c.painter;
  const QColor ink = qColour(kGraphInk);
  p.setPen(c.pen(ink));
  const QFontMetrics fm(p.font(), p.device());
  textAt(p, left + std::max(0, (width - fm.horizontalAdvance(qtText(title))) / 2), top + m.h / 2,
         m.h, title);
  int labelWidth = 0;
  for (const std::string& label : axis.labels) {
    labelWidth = std::max(labelWidth, fm.horizontalAdvance(qtText(label)));
  }
  const int plotLeft = left + labelWidth + m.w;
  const int plotRight = left + width - m.w / 2;
  const int plotTop = top + m.h * 2;
  const int plotBottom = top + height - m.h / 2;
  if (plotRight - plotLeft < m.w * 4 || plotBottom - plotTop < m.h * 2) return;
  const int zero = (plotTop + plotBottom) / 2;
  p.drawRect(plotLeft, plotTop, plotRight - plotLeft, plotBottom - plotTop);
  p.drawLine(plotLeft, zero, plotRight, zero);
  for (int i = 0; i < 5; ++i) {
    const int y = plotTop + (plotBottom - plotTop) * i / 4;
    p.drawLine(plotLeft - m.w / 3, y, plotLeft, y);
    const std::string& label = axis.labels[static_cast<std::size_t>(i)];
    textAt(p, plotLeft - m.w / 2 - fm.horizontalAdvance(qtText(label)), y, m.h, label);
  }
  const int barSlots = 4;
  const int slot = (plotRight - plotLeft) / barSlots;
  const double scale = axis.end > 0 ? (zero - plotTop) / axis.end : 0;
  for (int path = 0; path < 4; ++path) {
    if ((mask >> path & 1u) == 0) continue;
    const double value = std::clamp(values[static_cast<std::size_t>(path)], -axis.end, axis.end);
    const int y = zero - static_cast<int>(std::lround(value * scale));
    const int x = plotLeft + slot * path + slot / 4;
    const QColor colour = qColour(trendLineColour(path));
    p.fillRect(QRect(QPoint(x, std::min(y, zero)), QPoint(x + slot / 2, std::max(y, zero))),
               colour);
  }
}

}  // namespace

PanelMetrics panelMetrics(QPainter& p) {
  const QFontMetrics fm(p.font(), p.device());
  PanelMetrics m;
  m.w = std::max(1, fm.horizontalAdvance(QLatin1Char('0')));
  m.h = std::max(1, fm.height());
  m.row = m.h + std::max(3, m.h / 3);
  return m;
}

int drawPanelTable(Graph& graph, GraphCanvas& canvas, const std::vector<PanelRow>& rows,
                   const std::vector<int>& rights, int valueColumns, int left, int top,
                   int limitRight) {
  const Metrics m = metricsOf(*canvas.painter);
  drawRows(graph, canvas, rows, rights, valueColumns, left, top, limitRight, m);
  return top + m.row * static_cast<int>(rows.size());
}

void drawDeviationBars(GraphCanvas& canvas, const std::string& title, const DeviationAxis& axis,
                       const std::array<double, 4>& values, unsigned mask, int left, int top,
                       int width, int height) {
  drawBars(canvas, title, axis, values, mask, left, top, width, height, metricsOf(*canvas.painter));
}

int DiagPanelDrawer::draw(Graph& graph, GraphCanvas& canvas, const DiagPanelSource& source) {
  if (!source.hasData || source.store == nullptr || source.limits == nullptr) {
    return canvas.area.top;
  }
  QPainter& p = *canvas.painter;
  // Smaller type on the crowded screen, the normal size on paper.
  p.setFont(canvas.courier(canvas.printing ? 10 : 8));
  return source.echoflux ? drawEchoflux(graph, canvas, source)
                         : drawTransitTime(graph, canvas, source);
}

int DiagPanelDrawer::drawTransitTime(Graph& graph, GraphCanvas& c, const DiagPanelSource& s) {
  QPainter& p = *c.painter;
  const Metrics m = metricsOf(p);
  const std::vector<PanelRow> rows = transitTimePanelRows(*s.store, s.facts, *s.limits);
  const PathDeviations deviations = pathDeviations(*s.store, s.facts);
  const int left = c.area.left + m.w / 2;
  const int top = c.area.top + m.h / 2;
  const int areaWidth = c.area.right - c.area.left - m.w;
  const int tableWidth = deviations.shown ? areaWidth * 64 / 100 : areaWidth;
  // Columns of at most 17 characters, narrower when the area is small.
  const int labelWidth = 17 * m.w;
  const int column = std::clamp((tableWidth - labelWidth) / 6, 6 * m.w, 17 * m.w);
  std::vector<int> rights;
  for (int i = 0; i < 7; ++i) rights.push_back(labelWidth + column * i);
  drawRows(graph, c, rows, rights, 4, left, top, left + tableWidth, m);
  const int bottom = top + m.row * static_cast<int>(rows.size());

  if (deviations.shown) {
    flowAxis_.update(deviations.largestFlow);
    soundAxis_.update(deviations.largestSound);
    const int barsLeft = left + std::min(tableWidth, rights.back()) + m.w * 2;
    const int barsWidth = c.area.right - barsLeft - m.w;
    const int half = (bottom - top) / 2;
    drawBars(c, "Ecart debit chemin", flowAxis_, deviations.flow, s.facts.activeMask, barsLeft,
             top, barsWidth, half - m.h / 2, m);
    drawBars(c, "Ecart ViS chemin", soundAxis_, deviations.sound, s.facts.activeMask, barsLeft,
             top + half, barsWidth, half, m);
  }
  return bottom + m.h;
}

int DiagPanelDrawer::drawEchoflux(Graph& graph, GraphCanvas& c, const DiagPanelSource& s) {
  QPainter& p = *c.painter;
  const Metrics m = metricsOf(p);
  const std::vector<PanelRow> rows = echofluxPanelRows(*s.store, s.facts, *s.limits);
  const int left = c.area.left + m.w / 2;
  const int top = c.area.top + m.h / 2;
  const std::vector<int> rights = {19 * m.w, 31 * m.w, 42 * m.w, 52 * m.w};
  drawRows(graph, c, rows, rights, 1, left, top, c.area.right, m);
  const int bottom = top + m.row * static_cast<int>(rows.size());

  // The spectrum to the right of the table.
  const int channel = std::clamp(s.facts.channel, 0, 3);
  const EchofluxReadings& e = s.store->echoflux[static_cast<std::size_t>(channel)];
  const QFontMetrics fm(p.font(), p.device());
  const int plotLeft = left + rights.back() + m.w * 8;
  const int plotRight = c.area.right - m.w * 2;
  const int plotTop = top + m.h * 2;
  const int plotBottom = bottom - m.h * 2;
  if (plotRight - plotLeft < m.w * 10 || plotBottom - plotTop < m.h * 3) return bottom + m.h;
  const QColor ink = qColour(kGraphInk);
  p.setPen(c.pen(ink));
  const std::string title = "Courbe Echoflux";
  textAt(p, (plotLeft + plotRight - fm.horizontalAdvance(qtText(title))) / 2, top + m.h / 2, m.h,
         title);
  p.drawRect(plotLeft, plotTop, plotRight - plotLeft, plotBottom - plotTop);
  const std::size_t bins = std::min<std::size_t>(e.spectrumBins, kSpectrumBinsMax);
  int peak = 1;
  for (std::size_t i = 0; i < bins; ++i) peak = std::max<int>(peak, e.spectrum[i]);
  const int scaleTop = std::max(peak, static_cast<int>(e.noiseReading));
  const double yScale = static_cast<double>(plotBottom - plotTop) / std::max(1, scaleTop);
  for (int i = 0; i <= 3; ++i) {
    const int level = scaleTop * (4 - i) / 4;
    const int y = plotTop + (plotBottom - plotTop) * i / 4;
    const std::string label = formatText("%d", level);
    textAt(p, plotLeft - m.w / 2 - fm.horizontalAdvance(qtText(label)), y, m.h, label);
  }
  if (bins > 0) {
    // Bins spread evenly with gaps of half a bin.
    const double pitch = static_cast<double>(plotRight - plotLeft) / static_cast<double>(bins);
    const double barWidth = pitch * 2.0 / 3.0;
    const QColor blue(0, 0, 255);
    for (std::size_t i = 0; i < bins; ++i) {
      const int x = plotLeft + static_cast<int>(pitch * static_cast<double>(i) + pitch / 6.0);
      const int h = static_cast<int>(std::lround(e.spectrum[i] * yScale));
      p.fillRect(QRect(x, plotBottom - h, std::max(1, static_cast<int>(barWidth)), h), blue);
      p.drawLine(x, plotBottom, x, plotBottom + m.w / 4);
    }
    QPen marker = c.pen(QColor(0, 255, 0));
    if (c.printing) marker.setWidth(5);
    p.setPen(marker);
    for (const std::int32_t bin : {e.lowMarkerBin, e.highMarkerBin}) {
      if (bin < 0 || static_cast<std::size_t>(bin) >= bins) continue;
      const int x = plotLeft + static_cast<int>(pitch * (bin + 0.5));
      p.drawLine(x, plotTop, x, plotBottom);
    }
    const int noiseY = plotBottom - static_cast<int>(std::lround(e.noiseReading * yScale));
    p.drawLine(plotLeft, noiseY, plotRight, noiseY);
    p.setPen(c.pen(ink));
  }
  textAt(p, plotLeft, plotBottom + m.h, m.h,
         formatText("%s = %u", "Freq. doppler(Hz)", static_cast<unsigned>(e.dopplerFrequency)));
  return bottom + m.h;
}

}  // namespace tarnlux::ui
