#pragma once

#include <QDialog>

#include "app/operation_guard.h"
#include "common/progress_line.h"
#include "diag/alarm_storage.h"

class QCheckBox;
class QLabel;
class QLineEdit;

namespace tarnlux {
class Clock;
}

namespace tarnlux::ui {

struct AppState;

// The alarm storage set-up: reads the meter's storage state through the
// command block when it opens, and on Apply enables or disables the storage,
// asks for memory, clears the stored events or frees the memory by the
// rules of decideStorageApply.
class SET_STOR : public QDialog {
  Q_OBJECT

 public:
  explicit SET_STOR(AppState& app, QWidget* parent = nullptr);
  ~SET_STOR() override;

  void setClock(const Clock* clock) { clock_ = clock; }
  const AlarmStorageState& state() const { return state_; }
  bool stateKnown() const { return stateKnown_; }
  bool busy() const { return guard_.running(); }

 public slots:
  // Reads the state (posted when the screen opens).
  void readState();
  void apply();
  void reject() override;

 private:
  void showState();
  OperationContext context();

  AppState& app_;
  const Clock* clock_ = nullptr;
  OperationGuard guard_;
  ProgressLine progress_;
  AlarmStorageState state_;
  bool stateKnown_ = false;
  bool blockRead_ = false;
  unsigned rememberedKb_ = 0;
  bool exitRequested_ = false;

  QLabel* status_ = nullptr;
  QCheckBox* enable_ = nullptr;
  QLineEdit* requested_ = nullptr;
  QLineEdit* allocated_ = nullptr;
  QLineEdit* percentFull_ = nullptr;
  QCheckBox* clear_ = nullptr;
  QCheckBox* free_ = nullptr;
  QLineEdit* limitsCorrect_ = nullptr;
  QLineEdit* limitsMatch_ = nullptr;
  QLineEdit* siteEnabled_ = nullptr;
  QLineEdit* storageActive_ = nullptr;
};

void openAlarmStorage(AppState& app, QWidget* parent);

// The refusals the storage screens start with: not connected, or no channel
// selected. Shows the message and returns false.
bool storageMeterReady(const AppState& app, QWidget* owner);

}  // namespace tarnlux::ui
