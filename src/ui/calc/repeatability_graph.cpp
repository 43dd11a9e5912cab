#include "calc/repeatability_graph.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "app/qt_text.h"
#include "calc/entry_text.h"

namespace tarnlux::ui {

namespace {

QFont graphFont(int dpiY, bool bold) {
  QFont font(QStringLiteral("Courier New"));
  font.setStyleHint(QFont::TypeWriter);
  font.setPixelSize(std::max(1, 9 * dpiY / 72));
  font.setWeight(bold ? QFont::Bold : QFont::Normal);
  return font;
}

QString percentLabel(double value) {
  std::string text = fixedNumberText(value, value == std::floor(value) ? 0 : 1);
  return qtText(text + "%");
}

}  // namespace

void drawRepeatabilityGraph(QPainter& painter, const QRect& area, const SizingGraph& graph,
                            int dpiY) {
  painter.save();
  const QFont regular = graphFont(dpiY, false);
  const QFont bold = graphFont(dpiY, true);
  const QFontMetrics metrics(regular, painter.device());
  const int line = metrics.lineSpacing();
  const int labelWidth = metrics.horizontalAdvance(QStringLiteral("-100.0%")) + line / 2;
  const QRect plot = area.adjusted(labelWidth + line, 2 * line, -2 * line, -3 * line);
  if (plot.width() < 10 || plot.height() < 10) {
    painter.restore();
    return;
  }
  painter.setFont(bold);
  painter.drawText(QRect(area.left(), area.top(), area.width(), 2 * line), Qt::AlignCenter,
                   qtText(graph.title));
  painter.setFont(regular);

  const double span = graph.flowTo - graph.flowFrom;
  const double top = graph.percentMax > 0.0 ? graph.percentMax : 1.0;
  auto xOf = [&](double flow) {
    return plot.left() + (span > 0.0 ? (flow - graph.flowFrom) / span : 0.0) * plot.width();
  };
  auto yOf = [&](double percent) {
    return plot.center().y() - percent / top * plot.height() / 2.0;
  };

  // The transition zone.
  const double t0 =
      std::clamp(xOf(graph.transitionStartFlow), double(plot.left()), double(plot.right()));
  const double t1 =
      std::clamp(xOf(graph.transitionEndFlow), double(plot.left()), double(plot.right()));
  if (t1 > t0)
    painter.fillRect(QRectF(t0, plot.top(), t1 - t0, plot.height()), QColor(255, 240, 200));

  const int pen = std::max(1, dpiY / 96);
  painter.setPen(QPen(Qt::lightGray, pen, Qt::DotLine));
  for (double tick : graph.flowTicks)
    painter.drawLine(QPointF(xOf(tick), plot.top()), QPointF(xOf(tick), plot.bottom()));
  for (int i = -2; i <= 2; ++i) {
    const double y = yOf(top * i / 2.0);
    painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
  }
  painter.setPen(QPen(Qt::black, pen));
  painter.drawRect(plot);
  painter.drawLine(QPointF(plot.left(), yOf(0)), QPointF(plot.right(), yOf(0)));

  // Axes.
  for (std::size_t i = 0; i < graph.flowTicks.size(); ++i) {
    const QString text = qtText(graph.flowLabels[i]);
    const int w = metrics.horizontalAdvance(text);
    painter.drawText(QPointF(xOf(graph.flowTicks[i]) - w / 2.0, plot.bottom() + line), text);
  }
  painter.drawText(QRect(plot.left(), plot.bottom() + line + line / 4, plot.width(), line * 2),
                   Qt::AlignHCenter | Qt::AlignTop, qtText(graph.flowAxisLabel));
  for (int i = -2; i <= 2; ++i) {
    const double value = top * i / 2.0;
    const QString text = i == 0 ? QStringLiteral("0%") : percentLabel(std::fabs(value));
    painter.drawText(QRect(area.left(), static_cast<int>(yOf(value)) - line / 2, labelWidth, line),
                     Qt::AlignRight | Qt::AlignVCenter, text);
  }
  painter.save();
  painter.translate(area.left() + line / 2, plot.center().y());
  painter.rotate(-90);
  painter.drawText(QRect(-plot.height() / 2, -line / 2, plot.height(), line), Qt::AlignCenter,
                   QStringLiteral("%Repetabilite"));
  painter.restore();

  // The band.
  painter.setClipRect(plot);
  QPainterPath upper;
  QPainterPath lower;
  bool first = true;
  for (const auto& [flow, percent] : graph.curve) {
    const QPointF up(xOf(flow), yOf(percent));
    const QPointF down(xOf(flow), yOf(-percent));
    if (first) {
      upper.moveTo(up);
      lower.moveTo(down);
      first = false;
    } else {
      upper.lineTo(up);
      lower.lineTo(down);
    }
  }
  painter.setPen(QPen(QColor(0, 0, 200), 2 * pen));
  painter.drawPath(upper);
  painter.drawPath(lower);
  painter.setClipping(false);
  if (graph.transitionStartFlow >= graph.flowFrom && graph.transitionStartFlow <= graph.flowTo) {
    painter.setPen(QPen(QColor(200, 0, 0), pen, Qt::DashLine));
    painter.drawLine(QPointF(t0, plot.top()), QPointF(t0, plot.bottom()));
    painter.setPen(QColor(200, 0, 0));
    painter.drawText(QPointF(t0 + line / 3.0, plot.top() + line), qtText(graph.transitionText));
  }
  painter.restore();
}

RepeatabilityGraph::RepeatabilityGraph(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("repeatabilityGraph"));
  setMinimumSize(300, 200);
}

void RepeatabilityGraph::setGraph(SizingGraph graph, bool valid) {
  graph_ = std::move(graph);
  valid_ = valid;
  update();
}

void RepeatabilityGraph::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  painter.setRenderHint(QPainter::Antialiasing);
  if (valid_) drawRepeatabilityGraph(painter, rect(), graph_, logicalDpiY());
}

}  // namespace tarnlux::ui
