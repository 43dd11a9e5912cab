#pragma once

#include <QObject>
#include <functional>
#include <vector>

class QLineEdit;

namespace tarnlux::ui {

// Keeps the windows alive inside a long operation: dispatches every pending
// event of the GUI thread and returns. Only call it from the GUI thread; it
// re-enters the screens' handlers, which is why the busy flag exists.
struct MessagePump {
  static void pump();
};

// Enter in a numeric entry field applies the field at once, with the action the
// screen runs when the field loses the focus, instead of reaching the dialog's
// default button. Each field's flag is set while the field holds the focus; the
// screen's switch turns the behaviour on (the capture screens turn it on while
// their query loop runs). Works in every event loop, MessagePump's included.
class EnterKeyFields : public QObject {
  Q_OBJECT

 public:
  explicit EnterKeyFields(QObject* parent = nullptr);

  // Returns the field's index (its flag).
  int addField(QLineEdit* field, std::function<void()> apply);
  void setSwitch(bool on) { switch_ = on; }
  bool switchOn() const { return switch_; }
  // 1 while field `index` holds the focus.
  int flag(int index) const;
  // Clears every flag (the program's start-up state).
  void clearFlags();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Field {
    QLineEdit* edit;
    std::function<void()> apply;
    int flag = 0;
  };
  std::vector<Field> fields_;
  bool switch_ = false;
};

}  // namespace tarnlux::ui
