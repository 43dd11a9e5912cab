#pragma once

#include "diag/diag_panel.h"

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
