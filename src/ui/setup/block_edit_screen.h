#pragma once

#include <QDialog>
#include <vector>

#include "app/operation_guard.h"
#include "link/meter_block.h"

class QGridLayout;
class QLabel;
class QLineEdit;

namespace tarnlux::ui {

struct AppState;

inline constexpr const char* kBlockSaveNotConnectedText = "Non connecte au compteur";
inline constexpr const char* kBlockSaveNoChannelText = "Pas de canal selectionne";

// What the limits and meter information screens share: a staging copy of the
// memory block loaded from the program's working values, edits checked when
// they are left, the status line "Etat enreg:", the buttons "Enregistrer",
// "Afficher manuel", "Annuler" and "Quitter", and the save into the meter.
// The working values change only when the meter confirmed the save.
class BlockEditScreen : public QDialog {
  Q_OBJECT

 public:
  const MeterBlockFields& staging() const { return staging_; }
  bool saving() const { return guard_.running(); }
  QString statusText() const;

 public slots:
  void save();
  // Quitter: during a save the screen closes once the save has ended.
  void exitScreen();
  // Annuler and the window's close: during a save they only interrupt it.
  void reject() override;

 protected:
  BlockEditScreen(AppState& app, const char* title, QWidget* parent);

  // Lays out the edits above the status line and the buttons.
  void finishLayout(QLayout* fields);
  // Registers an edit: checked by checkEdit(index) when it is left.
  QLineEdit* addEdit(const char* name, const QString& text);
  const std::vector<QLineEdit*>& edits() const { return edits_; }

  // Checks edit `index` and, when accepted, stores it into the staging copy
  // and shows its canonical text. False leaves the text as typed.
  virtual bool checkEdit(std::size_t index) = 0;
  // The message of a refused edit, shown at Save.
  virtual const char* editMessage(std::size_t index) const = 0;
  // After the field checks, a further refusal of the staging copy (null when
  // none), with the edit to focus (may be null).
  virtual const char* stagingFault(QLineEdit*& focus) const;
  // The location edit, when the screen has one.
  virtual QLineEdit* locationEdit() const { return nullptr; }

  AppState& app_;
  MeterBlockFields staging_;

 private:
  void leaveEdit(std::size_t index);
  void showStatus(const char* text);

  std::vector<QLineEdit*> edits_;
  std::vector<bool> inError_;
  QLabel* status_ = nullptr;
  OperationGuard guard_;
  bool exitRequested_ = false;
};

}  // namespace tarnlux::ui
