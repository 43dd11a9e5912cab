#pragma once

#include <QDialog>
#include <atomic>

class QLabel;
class QPushButton;

namespace tarnlux::ui {

// The please-wait dialog: a message while a slow step runs, and with a cancel
// flag an "Annuler" button that sets the flag and leaves the dialog open (the
// running loop sees the flag and ends; its caller then closes the dialog).
class WAIT : public QDialog {
  Q_OBJECT

 public:
  WAIT(const QString& text, std::atomic<int>* cancelFlag, QWidget* parent);

  QLabel* messageLabel() const { return message_; }
  QPushButton* cancelButton() const { return cancel_; }

 protected:
  // Escape and the window's close box act as the Cancel button: the dialog
  // belongs to the running step and only goes when the step ends.
  void reject() override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void requestCancel();

  QLabel* message_;
  QPushButton* cancel_;
  std::atomic<int>* cancelFlag_;
};

// Shows the please-wait dialog (parent null: the main window). 1 when shown or
// already shown (a second request changes nothing), 0 when it could not be made
// ("IMPOSSIBLE CREER DIALOGUE ATTENTE" is shown then).
int showPleaseWait(const QString& text, std::atomic<int>* cancelFlag, QWidget* parent);
// Destroys the dialog when one is shown.
void closePleaseWait();
// The dialog while shown, else null.
WAIT* pleaseWaitDialog();

// The window please-wait and other parentless messages belong to.
void setMainWindow(QWidget* window);
QWidget* mainWindow();

}  // namespace tarnlux::ui
