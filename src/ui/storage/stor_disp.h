#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "app/layout_choice.h"
#include "app/operation_guard.h"
#include "common/progress_line.h"
#include "diag/stored_events.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tarnlux {
class Clock;
}

namespace tarnlux::ui {

struct AppState;
class Graph;
struct GraphCanvas;

inline constexpr const char* kStorageSiteChoiceKey = "SITE_CHOICE";
inline constexpr const char* kStorageSiteNameKey = "SITE_NAME";

// The stored events display: asks the meter for the events it stored for
// this site, all sites or a named site, lists them, and shows the selected
// event's figures graded with the event's own bits. `StorDisp` is the large
// layout, `LresStor` the small one.
class StorDisp : public QDialog {
  Q_OBJECT

 public:
  StorDisp(AppState& app, ScreenLayout layout = ScreenLayout::Large, QWidget* parent = nullptr);
  ~StorDisp() override;

  void setClock(const Clock* clock) { clock_ = clock; }
  Graph* graph() const { return graph_; }
  const std::vector<std::string>& records() const { return records_; }
  int selectedEvent() const { return selected_; }
  bool retrieving() const { return guard_.running(); }
  // Selects an event of the list as a click on its row does.
  void selectEvent(int index);

 public slots:
  void retrieve();
  void printPage();
  void exportPagePdf();
  void reject() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void chooseSite(EventSiteChoice choice);
  void siteNameLeft();
  void runRetrieval();
  void decodeSelected();
  int drawPage(GraphCanvas& canvas);
  int drawList(GraphCanvas& canvas, int top, int charWidth, int rowHeight);
  std::string settingsPath() const;

  AppState& app_;
  const Clock* clock_ = nullptr;
  OperationGuard guard_;
  ProgressLine progress_;
  EventSiteChoice choice_ = EventSiteChoice::ThisSite;
  std::string siteName_;  // as typed and kept, trimmed
  bool readBlockFirst_ = true;
  bool exitRequested_ = false;

  std::vector<std::string> records_;
  int selected_ = 0;
  bool decoded_ = false;
  StoredEvent event_;

  // Where the list lay on the screen at the last paint, for clicks.
  int listTop_ = 0;
  int listLeft_ = 0;
  int listRight_ = 0;
  int listRowHeight_ = 0;

  Graph* graph_ = nullptr;
  QLabel* status_ = nullptr;
  QRadioButton* thisSite_ = nullptr;
  QRadioButton* allSites_ = nullptr;
  QRadioButton* namedSite_ = nullptr;
  QLineEdit* nameEdit_ = nullptr;
  QCheckBox* clearMemory_ = nullptr;
  QPushButton* printButton_ = nullptr;
  QPushButton* pdfButton_ = nullptr;
};

class LresStor : public StorDisp {
  Q_OBJECT

 public:
  explicit LresStor(AppState& app, QWidget* parent = nullptr);
};

void openStoredEvents(AppState& app, QWidget* parent);

}  // namespace tarnlux::ui
