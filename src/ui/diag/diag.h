#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <string>

#include "app/layout_choice.h"
#include "diag/screen_query_loop.h"
#include "graph/diag_panel_draw.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tarnlux {
class Clock;
}

namespace tarnlux::ui {

struct AppState;
class Graph;
class TrendLineControls;

// The diagnostic screen: queries the connected meter every period, draws the
// diagnostic data panel and the trend of the chosen quantity, and captures
// the readings to a log. `layout` sets sizes and fonts; `hresdiag` is the
// same screen in the large layout.
class diag : public QDialog {
  Q_OBJECT

 public:
  diag(AppState& app, ScreenLayout layout = ScreenLayout::Small, QWidget* parent = nullptr);
  ~diag() override;

  // The clock of the loop and how much faster than real time it runs (tests).
  void setClock(const Clock* clock, double factor = 1.0);
  // What "Rapport" does (opens the report generator); the button is disabled
  // without it.
  void setReportOpener(std::function<void()> opener);
  // Where the capture log remembered for the report generator is written
  // (quillmap.ini by default; tests point it elsewhere).
  void setLastLogIni(std::string path) { lastLogIni_ = std::move(path); }

  Graph* graph() const { return graph_; }
  ScreenQueryLoop& queryLoop() { return *loop_; }
  const DiagPanelDrawer& panel() const { return panel_; }
  int periodsDrawn() const { return periodsDrawn_; }
  const CaptureEndReport& lastCapture() const { return lastCapture_; }

 public slots:
  void query();
  void stopQuery();
  void pressCapture();
  void printGraph();
  void exportGraph();
  void reject() override;

 private:
  void buildControls(ScreenLayout layout);
  void directoryEdited();
  void lengthChosen(int entry);
  void loopStarted(unsigned activeMask);
  void periodDone(const QueryPeriodReport& report);
  void captureEnded(const CaptureEndReport& report);
  void proposeFileName();
  int drawPanel(GraphCanvas& canvas);

  AppState& app_;
  ScreenLayout layout_;
  std::unique_ptr<ScreenQueryLoop> loop_;
  TrendLineControls* trend_ = nullptr;
  DiagPanelDrawer panel_;
  DiagPanelSource source_;
  const Clock* clock_ = nullptr;
  std::string storedDirectory_;
  std::string lastLogIni_;
  std::function<void()> reportOpener_;
  int periodsDrawn_ = 0;
  CaptureEndReport lastCapture_;

  Graph* graph_ = nullptr;
  QLabel* status_ = nullptr;
  QComboBox* length_ = nullptr;
  QLineEdit* directory_ = nullptr;
  QLineEdit* fileName_ = nullptr;
  QPushButton* captureButton_ = nullptr;
  QPushButton* queryButton_ = nullptr;
  QPushButton* printButton_ = nullptr;
  QPushButton* pdfButton_ = nullptr;
  QPushButton* reportButton_ = nullptr;
};

// The same screen in the large layout.
class hresdiag : public diag {
  Q_OBJECT

 public:
  explicit hresdiag(AppState& app, QWidget* parent = nullptr);
};

// Opens the diagnostic screen over `parent` in the layout the desktop calls
// for and returns when it is closed.
void openDiagnosticScreen(AppState& app, QWidget* parent, std::function<void()> reportOpener);

}  // namespace tarnlux::ui
