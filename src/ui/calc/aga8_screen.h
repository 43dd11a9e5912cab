#pragma once

#include <QDialog>
#include <QSize>
#include <array>
#include <functional>
#include <string>

#include "app/operation_guard.h"
#include "calc/aga8_screen_rules.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tarnlux {
struct OperationContext;
}

namespace tarnlux::ui {

struct AppState;
class AGA8Disp;

// The AGA8 calculation screen: composition, conditions and units in; the
// single-point properties or the 10 x 10 density and compressibility table out,
// on the results window and on paper; set-up files; the table sent to a gas
// meter.
class AGA8 : public QDialog {
  Q_OBJECT

 public:
  // The screen edits `session`, the program-wide record by default.
  explicit AGA8(AppState& app, QWidget* parent = nullptr);
  AGA8(AppState& app, Aga8Session& session, QWidget* parent = nullptr);

  // "Env tableau": writes the table into the connected gas meter and checks
  // it; returns the status line to show. `screen` owns the password dialog and
  // the messages. Installed by the program (sendAga8TableFromScreen below);
  // without one the button does nothing.
  using TableSender = std::function<std::string(AppState& app, const Aga8Results& results,
                                                QWidget* screen, const OperationContext& ctx)>;
  static void setTableSender(TableSender sender);

  Aga8Session& session() { return session_; }
  QLineEdit* entryField(int entry) const { return fields_[static_cast<std::size_t>(entry)]; }
  QLabel* entryLabel(int entry) const { return labels_[static_cast<std::size_t>(entry)]; }
  // 0 pressure, 1 temperature, 2 velocity, 3 density, 4 enthalpy.
  QComboBox* unitBox(int which) const { return unitBoxes_[static_cast<std::size_t>(which)]; }
  QCheckBox* tableBox() const { return table_; }
  QLineEdit* totalField() const { return total_; }
  QLabel* statusLine() const { return status_; }
  AGA8Disp* display() const { return display_; }
  bool running() const { return guard_.running(); }
  // Sizes the results area so the table page needs no scroll bars, when a
  // screen of `available` size has room for it (called with the screen's
  // available size on opening).
  void fitResultsArea(QSize available);

  // The buttons.
  void calculate();
  void normalise();
  void clearEntries();
  void openSetup();
  void save();
  void saveAs();
  void sendTable();
  void stop();
  void print();
  void exportResultsPdf();

  // After the file chooser: false when the file was refused.
  bool openSetupFile(const QString& path);
  bool saveSetupFile(const QString& path);

 public slots:
  // Quitter, Escape and the close box: while a calculation or a send runs,
  // only asks it to stop; it closes the screen when it has.
  void reject() override;

 private:
  void build();
  void showSession();
  void applyTableMode(bool tableMode);
  void fieldLeft(int entry);
  void unitChosen(int which, int index);
  void invalidateResults();
  void runCalculation();
  void finishOperation();
  void setInputsEnabled(bool enabled);
  void updateButtons();
  bool tableSendPossible() const;
  std::array<std::string, kAga8EntryCount> fieldTexts() const;
  Aga8Units unitsShown() const;
  bool closeIfRequested();

  AppState& app_;
  Aga8Session& session_;
  OperationGuard guard_;
  bool closeRequested_ = false;

  std::array<QLineEdit*, kAga8EntryCount> fields_{};
  std::array<QLabel*, kAga8EntryCount> labels_{};
  std::array<QComboBox*, 5> unitBoxes_{};
  QCheckBox* table_ = nullptr;
  QLineEdit* total_ = nullptr;
  QLabel* status_ = nullptr;
  AGA8Disp* display_ = nullptr;
  QPushButton* sendTable_ = nullptr;
  QPushButton* print_ = nullptr;
  QPushButton* exportPdf_ = nullptr;
};

// The table transfer as the program runs it: the results' table into the
// connected meter's channel (the site on a multi-path meter) over the record's
// link, the password asked with the program's dialog owned by `screen`, then,
// once verified, copied into the configuration kept from the connect. A link
// failure calls `disconnect` (the main window's disconnect). The status line.
std::string sendAga8TableFromScreen(AppState& app, const Aga8Results& results, QWidget* screen,
                                    const OperationContext& ctx,
                                    const std::function<void()>& disconnect);

}  // namespace tarnlux::ui
