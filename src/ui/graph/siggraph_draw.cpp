// The signal graph's picture: figure table, plot frame, title, zero line,
// the two bursts with their arrival markers and alignment crosses. The same
// code draws on the window and on paper.

#include <QFontMetrics>
#include <QPainter>
#include <QPolygon>
#include <algorithm>
#include <array>
#include <vector>

#include "app/app_state.h"
#include "app/qt_text.h"
#include "graph/graph.h"
#include "graph/graph_colours.h"
#include "graph/siggraph.h"
#include "graph/signal_answer_table.h"
#include "graph/value_rounding.h"

namespace tarnlux::ui {

namespace {

const QColor kInk(0, 0, 0);
const QColor kUpstream(255, 0, 0);    // burst A
const QColor kDownstream(0, 0, 255);  // burst B
const QColor kZeroLine(0, 255, 0);

struct Fonts {
  QFont main;
  QFont small;  // "H." and "B." beside "TN"
  int charWidth = 8;
  int charHeight = 16;
};

Fonts fontsFor(const GraphCanvas& canvas) {
  Fonts f;
  f.main = canvas.courier(10);
  const QFontMetrics metrics(f.main, canvas.painter->device());
  f.charWidth = std::max(1, metrics.horizontalAdvance(QLatin1Char('0')));
  f.charHeight = std::max(1, metrics.height());
  f.small = f.main;
  f.small.setPixelSize(f.main.pixelSize() / 2 + 2);
  return f;
}

}  // namespace

int Siggraph::drawSignal(GraphCanvas& canvas) {
  if (!hasShown_) return canvas.area.top;
  QPainter& p = *canvas.painter;
  const Fonts fonts = fontsFor(canvas);
  p.setFont(fonts.main);
  const QFontMetrics metrics(fonts.main, p.device());
  const QFontMetrics smallMetrics(fonts.small, p.device());
  const int w = fonts.charWidth;
  const int h = fonts.charHeight;
  const GraphArea& area = canvas.area;
  const SignalPlotLayout plot = signalPlotLayout(area, w, h);
  const SignalShifts shifts = signalShifts(shown_, alignByCorrelation());
  const SignalTraceView view = canvas.printing ? view_.forPaper(plot.left, plot.right) : view_;
  const bool nullTrack = shownSettings_.nullTrackOffset != 0;

  // The figure table.
  drawnTable_ = signalFigureTable(shown_.figures, effectiveLimits(), nullTrack);
  const SignalFigureTable& table = drawnTable_;
  std::array<int, kSignalTableColumns> rights{};
  int edge = 0;
  for (int c = 0; c < kSignalTableColumns; ++c) {
    edge += kSignalTableColumnChars[static_cast<std::size_t>(c)] * w;
    rights[static_cast<std::size_t>(c)] = edge;
  }
  rights.back() = std::min(rights.back(), area.right - area.left - 1);
  const TableGrid grid{rights, h, area.left, area.top, area.right, plot.tableRule, w};
  p.setPen(canvas.pen(kInk));
  for (int r = 0; r < kSignalTableRows; ++r) {
    for (int c = 0; c < kSignalTableColumns; ++c) {
      const SignalTableCell& cell = table[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)];
      std::string text = cell.text;
      const CellKind kind = cell.number ? CellKind::Number : CellKind::Text;
      const CellAlign align = c % 2 == 0 ? CellAlign::Left : CellAlign::Centre;
      if (cell.grade) {
        graph_->gradedCell(canvas, grid, text, kind, r, c, align, *cell.grade);
      } else {
        graph_->tableCell(canvas, grid, text, kind, r, c, align);
      }
    }
  }
  p.setPen(canvas.pen(kInk));
  const int tableRight = area.left + rights.back();
  for (int r = 1; r < kSignalTableRows; ++r)
    p.drawLine(area.left, area.top + r * h, tableRight, area.top + r * h);
  for (int right : rights)
    p.drawLine(area.left + right, area.top, area.left + right, plot.tableRule);
  p.drawLine(area.left, plot.tableRule, area.right - 1, plot.tableRule);

  // Frame, zero tick and title.
  const int plotRight = view.plotRight();
  p.drawLine(plot.left, plot.top, plot.left, plot.bottom);
  p.drawLine(plot.left, plot.bottom, plotRight, plot.bottom);
  p.drawLine(plotRight, plot.bottom, plotRight, plot.top);
  p.drawLine(plot.left - w / 2, plot.middle, plot.left, plot.middle);
  p.drawText(QRect(area.left, plot.middle - h / 2, plot.left - w / 2 - area.left, h),
             Qt::AlignRight | Qt::AlignVCenter | Qt::TextDontClip, QStringLiteral("0"));
  const QString title = qtText(signalGraphTitle(nullTrack, app_.meter.gasMeter,
                                                app_.meter.multiPath, shownSettings_.channel));
  const int titleWidth = metrics.horizontalAdvance(title);
  if (titleWidth < plotRight - plot.left) {
    p.drawText(QRect(plot.left + (plotRight - plot.left - titleWidth) / 2, plot.tableRule,
                     titleWidth + 1, plot.top - plot.tableRule),
               Qt::AlignLeft | Qt::AlignVCenter, title);
  }
  p.setPen(canvas.pen(kZeroLine));
  p.drawLine(plot.left + 1, plot.middle, plotRight - 1, plot.middle);

  // Everything from here stays on the plot.
  p.save();
  p.setClipRect(QRect(QPoint(plot.left, plot.top), QPoint(plotRight, plot.bottom)));
  std::vector<PixelPoint> points;
  const auto burst = [&](const SignalWaveform& wave, int shift, const QColor& colour) {
    signalTracePoints(wave.samples, shift, view, plot, points);
    QPolygon line;
    line.reserve(static_cast<int>(points.size()));
    for (const PixelPoint& pt : points) line << QPoint(pt.x, pt.y);
    p.setPen(canvas.pen(colour));
    p.drawPolyline(line);
  };
  const auto marker = [&](const SignalWaveform& wave, int shift, const QColor& colour, bool upward,
                          const QString& side) {
    int x = 0;
    const int count = static_cast<int>(wave.samples.size());
    if (wave.marker >= count || !view.visibleColumn(wave.marker, shift, x)) return;
    const int y = std::clamp(
        plot.middle +
            roundToPixel(wave.samples[static_cast<std::size_t>(wave.marker)] * plot.scale),
        plot.top, plot.bottom);
    p.setPen(canvas.pen(colour));
    p.drawLine(x, y, x, upward ? plot.top : plot.bottom);
    // "TN" and the small "H." (upstream) or "B." (downstream), left of the line when there is room.
    const int tnWidth = metrics.horizontalAdvance(QStringLiteral("TN"));
    const int labelWidth = tnWidth + smallMetrics.horizontalAdvance(side);
    const int gap = std::max(2, w / 4);
    const int left = x - gap - labelWidth >= plot.left ? x - gap - labelWidth : x + gap;
    const int baseline =
        upward ? plot.top + metrics.ascent() + gap : plot.bottom - metrics.descent() - gap;
    p.setFont(fonts.main);
    p.drawText(left, baseline, QStringLiteral("TN"));
    p.setFont(fonts.small);
    p.drawText(left + tnWidth, baseline + smallMetrics.ascent() / 2, side);
    p.setFont(fonts.main);
  };
  const auto cross = [&](const SignalWaveform& wave, int shift, const QColor& colour) {
    int x = 0;
    if (!view.visibleColumn(wave.alignment, shift, x)) return;
    const int half = (plot.bottom - plot.top) / (canvas.printing ? 64 : 32);
    p.setPen(canvas.pen(colour));
    p.drawLine(x - half, plot.middle - half, x + half, plot.middle + half);
    p.drawLine(x - half, plot.middle + half, x + half, plot.middle - half);
  };

  burst(shown_.a, shifts.a, kUpstream);
  marker(shown_.a, shifts.a, kUpstream, true, QStringLiteral("H."));
  cross(shown_.a, shifts.a, kUpstream);
  burst(shown_.b, shifts.b, kDownstream);
  marker(shown_.b, shifts.b, kDownstream, false, QStringLiteral("B."));
  cross(shown_.b, shifts.b, kDownstream);
  p.restore();
  return plot.bottom;
}

}  // namespace tarnlux::ui
