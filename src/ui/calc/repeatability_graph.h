#pragma once

#include <QWidget>

#include "calc/sizing.h"

class QPainter;

namespace tarnlux::ui {

inline constexpr const char* kGraphMemoryError =
    "Erreur de memoire, ne peut pas tracer le graphique";

// Draws the liquid tool's "Repetabilite vs. debit" graph into `area`: the
// repeatability band (+ and -) against flow, the transition zone shaded and
// its start marked. The same drawing serves the screen and the printer.
void drawRepeatabilityGraph(QPainter& painter, const QRect& area, const SizingGraph& graph,
                            int dpiY);

// The graph page of the liquid tool.
class RepeatabilityGraph : public QWidget {
  Q_OBJECT

 public:
  explicit RepeatabilityGraph(QWidget* parent = nullptr);
  void setGraph(SizingGraph graph, bool valid);
  const SizingGraph& graph() const { return graph_; }
  bool valid() const { return valid_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  SizingGraph graph_;
  bool valid_ = false;
};

}  // namespace tarnlux::ui
