#pragma once

#include <string>
#include <vector>

#include "diag/diag_panel.h"

class QPainter;

namespace tarnlux::ui {

class Graph;
struct GraphCanvas;

// What the panel shows: the readings, which paths, and against which limits.
struct DiagPanelSource {
  const MeasurementStore* store = nullptr;
  const PassFailLimits* limits = nullptr;
  PanelFacts facts;
  bool echoflux = false;
  bool hasData = false;  // nothing is drawn before the first period
};

// Draws the diagnostic data panel (transit-time table with its deviation
// bars, or the Echoflux table with its spectrum) at the top of the canvas
// and keeps the bar axes from paint to paint. Returns the row under the panel.
// Character width, text height and table row height of the painter's font.
struct PanelMetrics {
  int w = 8;
  int h = 12;
  int row = 14;
};
PanelMetrics panelMetrics(QPainter& painter);

// One table of panel rows (label column, `valueColumns` value columns, the
// summary and units columns) at (left, top) in the painter's current font.
// Returns the row under the table.
int drawPanelTable(Graph& graph, GraphCanvas& canvas, const std::vector<PanelRow>& rows,
                   const std::vector<int>& rights, int valueColumns, int left, int top,
                   int limitRight);
// A deviation bar display: title, axis with its labels, one bar per path of `mask`.
void drawDeviationBars(GraphCanvas& canvas, const std::string& title, const DeviationAxis& axis,
                       const std::array<double, 4>& values, unsigned mask, int left, int top,
                       int width, int height);

class DiagPanelDrawer {
 public:
  int draw(Graph& graph, GraphCanvas& canvas, const DiagPanelSource& source);
  const DeviationAxis& flowAxis() const { return flowAxis_; }
  const DeviationAxis& soundAxis() const { return soundAxis_; }

 private:
  int drawTransitTime(Graph& graph, GraphCanvas& canvas, const DiagPanelSource& source);
  int drawEchoflux(Graph& graph, GraphCanvas& canvas, const DiagPanelSource& source);

  DeviationAxis flowAxis_;
  DeviationAxis soundAxis_;
};

}  // namespace tarnlux::ui
