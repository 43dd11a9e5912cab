#pragma once

#include <QDialog>
#include <QString>
#include <vector>

#include "app/layout_choice.h"
#include "app/operation_guard.h"
#include "common/progress_line.h"
#include "reports/settings_page.h"

class QLabel;
class QPainter;
class QPrinter;
class QPushButton;

namespace tarnlux {
class Clock;
}

namespace tarnlux::ui {

struct AppState;
class Graph;
struct GraphCanvas;

// Column widths of a settings page in characters. Each table (a run of lines
// of several cells between one-cell lines, which are titles and rules) has its
// own columns, each as wide as its widest cell; the last cell of a line may
// run on to the right and does not widen its column.
struct SettingsPageColumns {
  std::vector<int> tableOfLine;            // -1 for a one-cell line
  std::vector<std::vector<int>> tables;    // widths per table
  int widthInChars = 0;                    // the widest line as drawn
};
SettingsPageColumns settingsPageColumns(const SettingsPage& page);

// Draws the page's lines from `firstLine` and character column `firstChar`
// into `area` in Courier New 10 points: one fixed-pitch column per cell,
// numbers right-aligned in theirs, titles in bold. Returns the number of lines
// that fit.
int drawSettingsPage(QPainter& painter, const SettingsPage& page,
                     const SettingsPageColumns& columns, const QRect& area, int firstLine,
                     int firstChar, int dpiY);

// Prints the whole page on `printer`, as many sheets as its lines need, each
// as wide as the paper (a wider page is drawn smaller). False when there is
// nothing to print or the printer cannot start.
bool printSettingsPage(QPrinter& printer, const SettingsPage& page);

// The meter settings view ("Parametres compteur"): the connected meter's
// identity, connection and configuration on one page scrolled by line and by
// character, printed or saved as a PDF file. `MSetView` is the large layout,
// `LresView` the small one.
class MSetView : public QDialog {
  Q_OBJECT

 public:
  MSetView(AppState& app, ScreenLayout layout = ScreenLayout::Large, QWidget* parent = nullptr);
  ~MSetView() override;

  void setClock(const Clock* clock) { clock_ = clock; }
  const SettingsPage& page() const { return page_; }
  Graph* graph() const { return graph_; }
  bool building() const { return guard_.running(); }

 public slots:
  // Gathers the page from the meter (posted when the screen opens).
  void buildPage();
  void printPage();
  void exportPagePdf();
  void reject() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void buildControls(ScreenLayout layout);
  void readPage();
  void placeScrollBars();
  int drawOnScreen(GraphCanvas& canvas);

  AppState& app_;
  const Clock* clock_ = nullptr;
  OperationGuard guard_;
  bool exitRequested_ = false;
  ProgressLine progress_;
  SettingsPage page_;
  SettingsPageColumns columns_;

  Graph* graph_ = nullptr;
  QPushButton* printButton_ = nullptr;
  QPushButton* pdfButton_ = nullptr;
  QLabel* status_ = nullptr;
};

// The same screen in the small layout.
class LresView : public MSetView {
  Q_OBJECT

 public:
  explicit LresView(AppState& app, QWidget* parent = nullptr);
};

// Opens the settings view over `parent` in the layout the desktop calls for
// and returns when it is closed.
void openSettingsView(AppState& app, QWidget* parent);

}  // namespace tarnlux::ui
