#include "app/message_pump.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>

namespace tarnlux::ui {

void MessagePump::pump() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

EnterKeyFields::EnterKeyFields(QObject* parent) : QObject(parent) {}

int EnterKeyFields::addField(QLineEdit* field, std::function<void()> apply) {
  field->installEventFilter(this);
  fields_.push_back({field, std::move(apply), field->hasFocus() ? 1 : 0});
  return static_cast<int>(fields_.size()) - 1;
}

int EnterKeyFields::flag(int index) const {
  if (index < 0 || index >= static_cast<int>(fields_.size())) return 0;
  return fields_[static_cast<std::size_t>(index)].flag;
}

void EnterKeyFields::clearFlags() {
  for (Field& field : fields_) field.flag = 0;
}

bool EnterKeyFields::eventFilter(QObject* watched, QEvent* event) {
  for (Field& field : fields_) {
    if (field.edit != watched) continue;
    switch (event->type()) {
      case QEvent::FocusIn:
        field.flag = 1;
        break;
      case QEvent::FocusOut:
        field.flag = 0;
        break;
      case QEvent::KeyPress: {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && field.flag != 0 && switch_) {
          if (field.apply) field.apply();
          return true;
        }
        break;
      }
      default:
        break;
    }
    break;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace tarnlux::ui
