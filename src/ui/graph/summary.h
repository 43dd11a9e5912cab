#pragma once

#include <QDialog>
#include <memory>

#include "app/layout_choice.h"
#include "diag/screen_query_loop.h"
#include "diag/summary_page.h"

class QLabel;
class QPushButton;

namespace tarnlux {
class Clock;
}

namespace tarnlux::ui {

struct AppState;
class Graph;
struct GraphCanvas;

// The system summary: flow, totalizer, the primary diagnostic figures and one
// status lamp for every active path, kept current by the query loop in its
// summary form. `LresSumm` is the same screen in the narrower layout.
class Summary : public QDialog {
  Q_OBJECT

 public:
  Summary(AppState& app, ScreenLayout layout = ScreenLayout::Large, QWidget* parent = nullptr);
  ~Summary() override;

  void setClock(const Clock* clock, double factor = 1.0) { loop_->setClock(clock, factor); }
  Graph* graph() const { return graph_; }
  ScreenQueryLoop& queryLoop() { return *loop_; }
  int periodsDrawn() const { return periodsDrawn_; }
  const SummaryPage& page() const { return page_; }

 public slots:
  void query();
  void stopQuery();
  void printPage();
  void exportPage();
  void reject() override;

 private:
  int drawPage(GraphCanvas& canvas);

  AppState& app_;
  std::unique_ptr<ScreenQueryLoop> loop_;
  SummaryPage page_;
  bool hasPage_ = false;
  int periodsDrawn_ = 0;
  Graph* graph_ = nullptr;
  QLabel* status_ = nullptr;
  QPushButton* printButton_ = nullptr;
  QPushButton* pdfButton_ = nullptr;
};

class LresSumm : public Summary {
  Q_OBJECT

 public:
  explicit LresSumm(AppState& app, QWidget* parent = nullptr);
};

void openSystemSummary(AppState& app, QWidget* parent);

}  // namespace tarnlux::ui
