#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "app/operation_guard.h"
#include "common/progress_line.h"
#include "transfer/site_session.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tarnlux {
class Clock;
}

namespace tarnlux::ui {

struct AppState;

inline constexpr const char* kSitesTitle = "Enreg/Restaurer sites";

// The site screen: copies one of the meter's sites into a site file, or a
// site file back into the meter, through the core's site transfer.
class Sites : public QDialog {
  Q_OBJECT

 public:
  explicit Sites(AppState& app, QWidget* parent = nullptr);
  ~Sites() override;

  void setClock(const Clock* clock) { clock_ = clock; }
  // The version question (OK: true). A message box unless replaced (tests).
  void setConfirm(std::function<bool(const std::string& text, const std::string& caption)> confirm) {
    confirm_ = std::move(confirm);
  }
  // What the program does when a transfer lost the link: disconnect.
  static void setDisconnect(std::function<void()> disconnect);

  const SiteCatalogue& catalogue() const { return catalogue_; }
  const SiteTransferOutcome& lastOutcome() const { return outcome_; }
  bool busy() const { return guard_.running(); }

 public slots:
  // Reads the meter's description and site list (posted when the screen opens).
  void readSites();
  void startTransfer();
  void stop();
  void browse();
  void reject() override;

 private:
  void buildControls();
  void transfer();
  void showProgress(const SiteProgress& progress);
  void directionChanged();
  void proposeFileName();
  OperationContext context();

  AppState& app_;
  const Clock* clock_ = nullptr;
  OperationGuard guard_;
  ProgressLine progress_;
  bool openedLink_ = false;
  bool exitRequested_ = false;
  SiteCatalogue catalogue_;
  SiteTransferOutcome outcome_;
  std::function<bool(const std::string&, const std::string&)> confirm_;

  QLabel* status_ = nullptr;
  QRadioButton* receive_ = nullptr;
  QRadioButton* send_ = nullptr;
  QComboBox* siteName_ = nullptr;
  QLineEdit* directory_ = nullptr;
  QLineEdit* fileName_ = nullptr;
  QPushButton* browse_ = nullptr;
  QLabel* packet_ = nullptr;
  QLabel* characters_ = nullptr;
  QLabel* retries_ = nullptr;
  QLabel* totalRetries_ = nullptr;
  QPushButton* start_ = nullptr;
  QPushButton* stop_ = nullptr;
};

// Opens the site screen over `parent` and returns when it is closed.
void openSitesScreen(AppState& app, QWidget* parent);

}  // namespace tarnlux::ui
