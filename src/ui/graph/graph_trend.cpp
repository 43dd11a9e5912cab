#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <climits>

#include "app/qt_text.h"
#include "graph/graph.h"
#include "graph/graph_colours.h"
#include "graph/time_of_day.h"
#include "graph/value_rounding.h"

namespace tarnlux::ui {

namespace {

QColor qColour(RgbColour c) { return QColor(c.red, c.green, c.blue); }

// Text of one line centred vertically on `centreY`, starting at `left`.
void drawTextAt(QPainter& p, int left, int centreY, int height, const QString& text) {
  const QFontMetrics fm(p.font(), p.device());
  p.drawText(QRect(left, centreY - height / 2, fm.horizontalAdvance(text) + 1, height),
             Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip, text);
}

}  // namespace

void Graph::drawTrend(GraphCanvas& c) {
  if (store_ == nullptr || !modes_.isTrend()) return;
  const int quantity = modes_.graphType - 2;
  static const TrendView kDefaultView;
  const TrendView& view = view_ ? *view_ : kDefaultView;
  const TrendStore& store = *store_;
  const int period = store.periodSeconds();

  QPainter& p = *c.painter;
  p.save();
  // The diagnostic screen is crowded: smaller type there, but not on paper.
  p.setFont(c.courier(modes_.inDiagnostic() && !c.printing ? 8 : 10));
  const QFontMetrics fm(p.font(), p.device());
  const int w = std::max(1, fm.horizontalAdvance(QLatin1Char('0')));
  const int h = std::max(1, fm.height());
  const TextWidthMeasure measure = [&](std::string_view t) {
    return fm.horizontalAdvance(qtText(t));
  };

  const bool areaChanged = c.area.left != layoutArea_.left || c.area.top != layoutArea_.top ||
                           c.area.right != layoutArea_.right || c.area.bottom != layoutArea_.bottom;
  if (relayout_ || areaChanged || layoutForPrinter_ != c.printing) {
    TrendLayoutInput in;
    in.area = c.area;
    in.charWidth = w;
    in.charHeight = h;
    in.spanMinutes = view.spanMinutes;
    in.periodSeconds = period;
    in.validCount = store.validCount();
    in.writeIndex = store.writeIndex();
    in.visibleLimit = c.printing ? c.visibleLimit : 0;
    in.firstTimeLabelWidth = measure(timeOfDayText(store.startSeconds()));
    const bool extending = extending_ && !c.printing;
    layout_ = layoutTrend(
        in,
        [&](int first, int count, int plotHeight) {
          return chooseTrendAxis(store, quantity, first, count, plotHeight, view, keptAxis_,
                                 extending);
        },
        measure);
    layoutArea_ = c.area;
    layoutForPrinter_ = c.printing;
    relayout_ = false;
    if (!c.printing) {
      extending_ = false;
      screenSamples_ = layout_.visibleCount;
    }
  }
  const TrendLayout& l = layout_;
  const QColor ink = qColour(kGraphInk);
  p.setPen(c.pen(ink));
  p.setBrush(Qt::NoBrush);
  p.setBackgroundMode(Qt::TransparentMode);

  // Axes: left, bottom, and right back up to the top.
  p.drawLine(l.plotLeft, l.plotTop, l.plotLeft, l.plotBottom);
  p.drawLine(l.plotLeft, l.plotBottom, l.plotRight, l.plotBottom);
  p.drawLine(l.plotRight, l.plotBottom, l.plotRight, l.plotTop);

  const int yTick = std::max(1, w / 4);
  for (int i = 0; i < 5; ++i) {
    const int y = l.yOfValue(l.axis.valueOfLabel(i));
    p.drawLine(l.plotLeft - yTick, y, l.plotLeft, y);
    const QString label = qtText(l.axis.labels[i]);
    drawTextAt(p, l.plotLeft - yTick - fm.horizontalAdvance(label), y, h, label);
  }

  const int plotWidth = l.plotRight - l.plotLeft;
  const int plotCentre = l.plotLeft + plotWidth / 2;
  const QString title =
      qtText(trendAxisTitle(quantity, view.metricUnits, view.echoflux, view.flowUnit));
  const int titleWidth = fm.horizontalAdvance(title);
  drawTextAt(p, titleWidth <= plotWidth ? plotCentre - titleWidth / 2 : c.area.left + w / 2,
             l.plotTop - h * 5 / 4, h, title);

  // Time axis. The three text lines under the plot share the room left there.
  const int xTick = std::max(1, w / 2);
  const int textTop = l.plotBottom + xTick;
  const int step = std::clamp((c.area.bottom - textTop) / 3, 1, h);
  auto rowCentre = [&](int row) { return textTop + step * row + step / 2; };
  const TimeDivisions divisions = timeDivisionsFor(view.spanMinutes);
  const std::int64_t oldestShown =
      store.startSeconds() + static_cast<std::int64_t>(l.skippedSamples) * period;
  int previousRight = INT_MIN / 2;
  for (int i = 0; i <= divisions.count; ++i) {
    const int offset = i * divisions.seconds;
    const int x = l.plotLeft + roundToPixel(static_cast<double>(offset) * l.pixelsPerStep / period);
    if (x > l.plotRight) break;
    p.drawLine(x, l.plotBottom, x, l.plotBottom + xTick);
    const QString label = qtText(timeOfDayText(oldestShown + offset));
    const int labelWidth = fm.horizontalAdvance(label);
    const int left =
        std::max(c.area.left + 1, std::min(x - labelWidth / 2, c.area.right - labelWidth - 1));
    if (left < previousRight + w / 2) continue;
    drawTextAt(p, left, rowCentre(0), h, label);
    previousRight = left + labelWidth;
  }
  const QString axisLegend = qtText(timeAxisLegend(divisions));
  drawTextAt(p, plotCentre - fm.horizontalAdvance(axisLegend) / 2, rowCentre(1), h, axisLegend);

  // Lines, paths first, then the average.
  const bool averageLine = store.hasAverageLine() && quantity != kTrendIntegerQuantity;
  for (int line = 0; line < kTrendLines; ++line) {
    if (line == kAverageLine ? !averageLine : !store.isLineActive(line)) continue;
    points_.clear();
    for (int k = 0; k < l.visibleCount; ++k) {
      points_.push_back(
          {l.xOfSample(k), l.yOfValue(store.sample(quantity, line, l.slotOfSample(k)))});
    }
    segments_.clear();
    clipTrendLine(points_, l.plotTop, l.plotBottom, segments_);
    p.setPen(c.pen(qColour(trendLineColour(line))));
    for (const PixelSegment& s : segments_) p.drawLine(s.from.x, s.from.y, s.to.x, s.to.y);
  }

  // Legend line, each name in its line's colour.
  TrendLegendInput legend;
  legend.quantity = quantity;
  legend.activeMask = store.activeMask();
  legend.averageLine = averageLine;
  legend.averageMean = store.lineMean(quantity);
  legend.haveAverageMean = store.samplesSummed(quantity) > 0;
  legend.gasMeter = view.gasMeter;
  legend.metricUnits = view.metricUnits;
  legend.aga8SoundSpeed = view.aga8SoundSpeed;
  const std::vector<LegendItem> items = trendLegend(legend);
  int total = 0;
  for (const LegendItem& item : items) total += measure(item.text);
  int x = total <= c.area.right - c.area.left
              ? std::clamp(plotCentre - total / 2, c.area.left, c.area.right - total)
              : c.area.left + w / 2;
  for (const LegendItem& item : items) {
    p.setPen(c.pen(item.line < 0 ? ink : qColour(trendLineColour(item.line))));
    const QString text = qtText(item.text);
    drawTextAt(p, x, rowCentre(2), h, text);
    x += fm.horizontalAdvance(text);
  }
  p.restore();
}

}  // namespace tarnlux::ui
