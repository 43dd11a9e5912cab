#include "graph/signal_answer_trace.h"

#include <algorithm>
#include <cmath>

#include "graph/value_rounding.h"

namespace tarnlux {

SignalPlotLayout signalPlotLayout(const GraphArea& area, int charWidth, int charHeight) {
  SignalPlotLayout p;
  p.tableRule = area.top + 4 * charHeight;
  p.bottom = area.bottom - roundToPixel(1.25 * charHeight);
  p.top = p.tableRule + roundToPixel(2.25 * charHeight);
  p.left = area.left + roundToPixel(1.5 * charWidth);
  p.right = area.right - static_cast<int>(area.right * 0.0125);
  const int height = p.bottom - p.top;
  p.middle = p.top + (height + 1) / 2;
  p.scale = height * 0.0078125;
  return p;
}

SignalShifts signalShifts(const SignalAnswer& answer, bool byAlignment) {
  SignalShifts s;
  if (byAlignment) {
    s.a = std::max(0, answer.b.alignment - answer.a.alignment);
    s.b = std::max(0, answer.a.alignment - answer.b.alignment);
  } else {
    const int offset = answer.figures.waveformOffset;
    s.a = std::max(0, offset);
    s.b = std::max(0, -offset);
  }
  return s;
}

void SignalTraceView::layout(const Input& in, bool keepCentre) {
  const int perSample = std::max(1, in.resolution) * std::max(1, in.zoom);
  const int steps = std::max(1, in.length + in.shift - 1);
  plotLeft_ = in.plotLeft;
  plotRight_ = in.plotRight;
  const int plotWidth = std::max(0, plotRight_ - plotLeft_);
  pixelsPerStep_ = std::max(1, plotWidth / (steps * perSample));
  const int sampleStep = pixelsPerStep_ * perSample;
  step_ = sampleStep;
  const long long traceWidth = static_cast<long long>(steps) * sampleStep;
  if (plotLeft_ + traceWidth < plotRight_) plotRight_ = plotLeft_ + static_cast<int>(traceWidth);

  total_ = std::max(1, in.length + in.shift);
  const int width = plotRight_ - plotLeft_;
  visible_ = width / perSample;
  const long long overflowPixels = traceWidth - width;
  overflow_ = overflowPixels > 0;
  if (!overflow_) {
    range_ = 1;
    first_ = 0;
    centre_ = visible_ / 2.0 / total_;
    return;
  }
  range_ = static_cast<int>((overflowPixels + perSample - 1) / perSample) + 1;
  if (keepCentre) {
    first_ = std::clamp(roundToPixel(total_ * centre_ - visible_ / 2.0), 0, range_ - 1);
  } else {
    setFirst(first_);
  }
}

SignalTraceView SignalTraceView::forPaper(int plotLeft, int plotRight) const {
  SignalTraceView paper = *this;
  paper.plotLeft_ = plotLeft;
  paper.plotRight_ = plotRight;
  // Only what the screen showed, stretched over the paper's width.
  const int shown =
      std::max(1, overflow_ ? visible_ : static_cast<int>((plotRight_ - plotLeft_) / step_));
  paper.step_ = static_cast<double>(plotRight - plotLeft) / shown;
  paper.pixelsPerStep_ = std::max(1, static_cast<int>(paper.step_));
  return paper;
}

void SignalTraceView::setFirst(int first) {
  first_ = std::clamp(first, 0, range_ - 1);
  centre_ = (visible_ / 2.0 + first_) / total_;
}

bool SignalTraceView::scroll(SignalScroll action, int thumbPosition) {
  if (!overflow_) return false;
  const int now = scrollPosition();
  int wanted = now;
  switch (action) {
    case SignalScroll::LineLeft:
      wanted = now - 1;
      break;
    case SignalScroll::LineRight:
      wanted = now + 1;
      break;
    case SignalScroll::PageLeft:
      wanted = std::clamp(now - visible_, 1, range_);
      break;
    case SignalScroll::PageRight:
      wanted = std::clamp(now + visible_, 1, range_);
      break;
    case SignalScroll::ThumbFinal:
      wanted = thumbPosition;
      break;
    case SignalScroll::ThumbTracking:
      return false;
  }
  if (wanted < 1 || wanted > range_ || wanted == now) return false;
  setFirst(wanted - 1);
  return true;
}

int SignalTraceView::xOf(int k, int shift) const {
  return plotLeft_ + roundToPixel((k + shift - first_) * step_);
}

bool SignalTraceView::visibleColumn(int k, int shift, int& x) const {
  if (k + shift < first_) return false;
  x = xOf(k, shift);
  return x <= plotRight_;
}

void signalTracePoints(const std::vector<int>& samples, int shift, const SignalTraceView& view,
                       const SignalPlotLayout& plot, std::vector<PixelPoint>& out) {
  out.clear();
  const int count = static_cast<int>(samples.size());
  const auto yOf = [&](int k) {
    return plot.middle + roundToPixel(samples[static_cast<std::size_t>(k)] * plot.scale);
  };
  for (int k = std::max(0, view.firstSample() - shift); k < count; ++k) {
    const int x = view.xOf(k, shift);
    if (x <= view.plotRight()) {
      out.push_back({x, yOf(k)});
      continue;
    }
    // The segment that crosses the right edge ends on it.
    if (k > 0 && !out.empty()) {
      const PixelPoint from = out.back();
      const int y = yOf(k);
      const double t = static_cast<double>(view.plotRight() - from.x) / (x - from.x);
      if (view.plotRight() > from.x)
        out.push_back({view.plotRight(), from.y + roundToPixel((y - from.y) * t)});
    }
    break;
  }
}

}  // namespace tarnlux
