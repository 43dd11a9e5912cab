#pragma once

#include <QDialog>
#include <memory>

#include "diag/screen_query_loop.h"

class QLabel;
class QPushButton;

namespace tarnlux {
class Clock;
}

namespace tarnlux::ui {

struct AppState;
class Graph;
class TrendLineControls;

// The trend graph screen: one quantity of every active path against time of
// day over 1 to 30 minutes, sampled by the periodic query loop.
class TrendGrf : public QDialog {
  Q_OBJECT

 public:
  explicit TrendGrf(AppState& app, QWidget* parent = nullptr);
  ~TrendGrf() override;

  void setClock(const Clock* clock, double factor = 1.0) { loop_->setClock(clock, factor); }
  Graph* graph() const { return graph_; }
  ScreenQueryLoop& queryLoop() { return *loop_; }
  int periodsDrawn() const { return periodsDrawn_; }

 public slots:
  void query();
  void stopQuery();
  void exportGraph();
  void reject() override;

 private:
  AppState& app_;
  std::unique_ptr<ScreenQueryLoop> loop_;
  TrendLineControls* trend_ = nullptr;
  Graph* graph_ = nullptr;
  QLabel* status_ = nullptr;
  QPushButton* pdfButton_ = nullptr;
  int periodsDrawn_ = 0;
};

void openTrendGraph(AppState& app, QWidget* parent);

}  // namespace tarnlux::ui
