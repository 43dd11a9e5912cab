#pragma once

// Where the signal graph puts the two bursts of an answer: the plot under the
// figure table, the shift that lines the bursts up, the pixel step of a
// sample at the resolution and zoom, and the horizontal scrolling that keeps
// the centre sample in the middle across zoom changes.

#include <vector>

#include "graph/signal_answer.h"
#include "graph/trend_layout.h"

namespace tarnlux {

struct SignalPlotLayout {
  int tableRule = 0;  // the line across the area under the figure table
  int left = 0;
  int right = 0;
  int top = 0;
  int bottom = 0;
  int middle = 0;      // the zero line
  double scale = 0.0;  // pixels per sample count (128 counts fill the plot)
};

// The figure table takes four rows of `charHeight` from the area top.
SignalPlotLayout signalPlotLayout(const GraphArea& area, int charWidth, int charHeight);

// How many samples each burst is moved right.
struct SignalShifts {
  int a = 0;
  int b = 0;
  int larger() const { return a > b ? a : b; }
};

// By the alignment indexes (so both alignment points share a column) when
// `byAlignment` - the Correlated choice, or always on meters without extended
// diagnostics - else by the meter's waveform offset (A right when positive, B
// when negative).
SignalShifts signalShifts(const SignalAnswer& answer, bool byAlignment);

enum class SignalScroll { LineLeft, LineRight, PageLeft, PageRight, ThumbFinal, ThumbTracking };

// The horizontal placement of the trace and the state of its scroll bar.
class SignalTraceView {
 public:
  struct Input {
    int plotLeft = 0;
    int plotRight = 0;
    int length = 0;  // samples of waveform A
    int shift = 0;   // the larger of the two shifts
    int resolution = 1;
    int zoom = 1;
  };

  // Lays the trace out. With `keepCentre` (after a change of zoom or
  // resolution) the sample in the middle stays in the middle; otherwise the
  // scroll position is kept and the centre follows it.
  void layout(const Input& input, bool keepCentre);

  // On paper: the samples the screen showed, spread over the printed plot.
  SignalTraceView forPaper(int plotLeft, int plotRight) const;

  // A scroll bar message; ThumbFinal carries the position the thumb was let
  // go at. True when the trace moved (repaint).
  bool scroll(SignalScroll action, int thumbPosition = 0);

  int plotLeft() const { return plotLeft_; }
  // Pulled in to the end of the trace when the trace is narrower than the plot.
  int plotRight() const { return plotRight_; }
  int pixelsPerStep() const { return pixelsPerStep_; }
  double step() const { return step_; }  // pixels from one sample to the next
  int visibleSamples() const { return visible_; }
  bool scrollBarShown() const { return overflow_; }
  // Scroll positions run from 1 to scrollRange(); position p shows sample p - 1 first.
  int scrollRange() const { return range_; }
  int scrollPosition() const { return first_ + 1; }
  int firstSample() const { return first_; }
  double centreFraction() const { return centre_; }
  // Sample index (of the shifted trace) drawn in the middle of the plot.
  double centreSample() const { return first_ + visible_ / 2.0; }

  // x of sample k of a burst moved right by `shift`.
  int xOf(int k, int shift) const;
  // The x of a column of the shifted trace when it lies on the plot.
  bool visibleColumn(int k, int shift, int& x) const;

 private:
  void setFirst(int first);

  int plotLeft_ = 0;
  int plotRight_ = 0;
  int pixelsPerStep_ = 1;
  double step_ = 1.0;
  int visible_ = 0;
  int total_ = 1;  // M: samples of A plus the shift
  bool overflow_ = false;
  int range_ = 1;
  int first_ = 0;
  double centre_ = 0.5;
};

// The polyline of one burst on the plot: from the first visible sample to
// the plot's right edge, where the last segment is cut by linear
// interpolation. Positive samples lie below the zero line.
void signalTracePoints(const std::vector<int>& samples, int shift, const SignalTraceView& view,
                       const SignalPlotLayout& plot, std::vector<PixelPoint>& out);

}  // namespace tarnlux
