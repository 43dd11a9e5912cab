#pragma once

#include <QDialog>

#include "link/link_settings.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace tarnlux::ui {

struct AppState;

// The communication set-up screen: serial port or TCP/IP and the line
// parameters. It edits a copy of the record's settings; OK makes the copy live
// and writes it to the settings file when anything changed.
class SETUPCOM : public QDialog {
  Q_OBJECT

 public:
  // Lists the ports through the record's port scanner.
  explicit SETUPCOM(AppState& app, QWidget* parent = nullptr);

  const LinkSettings& copy() const { return copy_; }
  // Set when the configured port was not in the list and the first entry was
  // taken instead: OK then writes even without an edit.
  bool countsAsChanged() const { return changed_; }

 public slots:
  void accept() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  enum class Field { IpAddress, IpPort };

  void fillLists();
  void portChosen(int index);
  // The handlers a field runs when it loses the focus. False when its text is
  // refused (the copy stays as it was).
  bool applyIpAddress();
  bool applyIpPort();
  bool applyField(Field field);
  void fieldLeft(Field field);
  void reportFieldError();
  void showFieldError(Field field);
  QLineEdit* edit(Field field) const;

  AppState& app_;
  LinkSettings copy_;
  bool changed_ = false;
  bool errorPending_ = false;
  Field errorField_ = Field::IpAddress;

  QComboBox* port_;
  QComboBox* baudRate_;
  QComboBox* dataBits_;
  QComboBox* stopBits_;
  QComboBox* parity_;
  QComboBox* flowControl_;
  QLineEdit* ipAddress_;
  QLineEdit* ipPort_;
};

}  // namespace tarnlux::ui
