#pragma once

#include <QDialog>
#include <array>
#include <string>

#include "app/operation_guard.h"
#include "common/clock.h"
#include "common/progress_line.h"
#include "link/connect.h"
#include "link/site_names.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace tarnlux::ui {

struct AppState;

// The connect screen: opens the link, identifies the meter, lets the user pick
// the channel when there is a choice and name the site. Ends with OK when the
// meter is connected and named, the link left open and the record's meter facts
// filled; otherwise with Cancel and the link closed.
class connect2 : public QDialog {
  Q_OBJECT

 public:
  enum class Step { Connect, Naming };

  explicit connect2(AppState& app, QWidget* parent = nullptr);
  ~connect2() override;

  Step step() const { return step_; }
  // The name the user gave in this screen (empty until the naming OK).
  const std::string& currentName() const { return currentName_; }
  const ConnectOutcome& outcome() const { return outcome_; }
  bool operationRunning() const { return guard_.running(); }
  bool choosingChannel() const { return choosing_; }
  const std::string& nameListPath() const { return listPath_; }
  // The clock the exchanges measure their time-outs with (tests speed it up).
  void setClock(const Clock* clock) { clock_ = clock; }

 public slots:
  // OK: connects, answers the channel question, or takes the name, by step.
  void accept() override;
  // Cancel and Escape: while an operation runs only its cancel flag is set.
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  enum class ChannelAnswer { Waiting, Chosen, Cancelled };

  void loadNameList();
  void connectStep();
  void namingStep();
  void removeName();
  // The channel question of the connect sequence: -2 when cancelled.
  int askForChannel(unsigned selectable);
  int checkedChannel() const;
  void setChannelButtonsEnabled(unsigned mask);
  void enterNaming();
  void leaveNaming();
  // Writes the list; false (after its message) when that failed.
  bool saveNameList();
  // Ends as Cancel: the link closed, nothing of the meter kept.
  void finishCancelled();
  // A close asked while the operation ran is carried out once it ended.
  bool closeIfAsked();
  void setStatus(const char* text);

  AppState& app_;
  OperationGuard guard_;
  ProgressLine progress_;
  ConnectOutcome outcome_;
  Step step_ = Step::Connect;
  std::string currentName_;
  SiteNameList names_;
  std::string listPath_;
  // A list that exists but could not be read is never rewritten: that would
  // drop the names it holds.
  bool listWritable_ = true;
  bool choosing_ = false;
  ChannelAnswer channelAnswer_ = ChannelAnswer::Waiting;
  bool closeAsked_ = false;
  const Clock* clock_ = nullptr;

  QLabel* status_;
  QGroupBox* channelGroup_;
  std::array<QRadioButton*, 4> channels_{};
  QComboBox* siteName_;
  QPushButton* remove_;
  QPushButton* ok_;
};

}  // namespace tarnlux::ui
