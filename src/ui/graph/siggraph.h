#pragma once

#include <QDialog>
#include <QString>
#include <functional>

#include "app/layout_choice.h"
#include "app/operation_guard.h"
#include "common/progress_line.h"
#include "diag/pass_fail_limits.h"
#include "graph/signal_answer.h"
#include "graph/signal_answer_table.h"
#include "graph/signal_answer_trace.h"
#include "graph/signal_query.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QScrollBar;

namespace tarnlux {
class Clock;
}

namespace tarnlux::ui {

struct AppState;
class Graph;
struct GraphCanvas;

// The signal graph's choices, kept for the program's whole run.
SignalSettings& signalGraphSettings();

// The Yes/No box of the query loop ("ERR." caption). Tests answer it
// themselves; returns the presenter it replaces.
using SignalRetryPresenter = std::function<bool(QWidget* parent, const QString& text)>;
SignalRetryPresenter setSignalRetryPresenter(SignalRetryPresenter presenter);

// The signal graph screen: the received bursts of one channel with their
// figures, once or continuously, zoomed and scrolled. `layout` sets sizes
// and fonts; `hres_sig` is the same screen in the large layout.
class Siggraph : public QDialog {
  Q_OBJECT

 public:
  Siggraph(AppState& app, ScreenLayout layout = ScreenLayout::Small, QWidget* parent = nullptr);
  ~Siggraph() override;

  // The clock the exchanges measure their time-outs with (tests speed it up).
  void setClock(const Clock* clock) { clock_ = clock; }
  // The grading limits; without them the defaults of the connected meter's kind.
  void setLimits(const TransitTimeLimits* limits) { limits_ = limits; }

  Graph* graph() const { return graph_; }
  const SignalTraceView& traceView() const { return view_; }
  bool querying() const { return guard_.running(); }
  // The answer on show, null before the first good one.
  const SignalAnswer* shownAnswer() const { return hasShown_ ? &shown_ : nullptr; }
  // The figure table of the last picture drawn.
  const SignalFigureTable& shownTable() const { return drawnTable_; }

 public slots:
  void query();
  void stopQuery();
  void zoomIn();
  void zoomOut();
  void printGraph();
  void exportGraphPdf();
  void reject() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  class LoopHost;
  friend class LoopHost;

  void buildControls(ScreenLayout layout);
  void applyMeterToControls();
  void showSettings();
  void channelChosen(int channel);
  void nullTrackChosen(bool nullTrack);
  void runLoop();
  void answerArrived();
  void relayoutTrace(bool keepCentre);
  void syncScrollBar();
  void scrollAction(int action);
  void scrollReleased();
  void updateZoomButtons();
  bool alignByCorrelation() const;
  TransitTimeLimits effectiveLimits() const;
  int drawSignal(GraphCanvas& canvas);

  AppState& app_;
  const Clock* clock_ = nullptr;
  const TransitTimeLimits* limits_ = nullptr;
  OperationGuard guard_;
  bool exitRequested_ = false;
  ProgressLine progress_;

  // The parser's store, and the copy the painting reads after a good answer.
  SignalAnswer received_;
  SignalAnswer shown_;
  SignalSettings shownSettings_;
  bool hasShown_ = false;
  SignalTraceView view_;
  SignalFigureTable drawnTable_;

  Graph* graph_ = nullptr;
  QScrollBar* scroll_ = nullptr;
  QRadioButton* channels_[4] = {};
  QRadioButton* fluid_ = nullptr;
  QRadioButton* nullTrack_ = nullptr;
  QRadioButton* signal_ = nullptr;
  QRadioButton* envelope_ = nullptr;
  QRadioButton* continuous_ = nullptr;
  QRadioButton* once_ = nullptr;
  QCheckBox* correlated_ = nullptr;
  QComboBox* resolution_ = nullptr;
  QPushButton* queryButton_ = nullptr;
  QPushButton* stopButton_ = nullptr;
  QPushButton* printButton_ = nullptr;
  QPushButton* pdfButton_ = nullptr;
  QPushButton* zoomInButton_ = nullptr;
  QPushButton* zoomOutButton_ = nullptr;
  QLabel* status_ = nullptr;
};

// The same screen in the large layout.
class hres_sig : public Siggraph {
  Q_OBJECT

 public:
  explicit hres_sig(AppState& app, QWidget* parent = nullptr);
};

// Opens the signal graph over `parent` in the layout the desktop calls for
// and returns when it is closed.
void openSignalGraph(AppState& app, QWidget* parent);

}  // namespace tarnlux::ui
