#include "setup/setminfo.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

#include "app/app_state.h"
#include "app/qt_text.h"
#include "diag/meter_info_fields.h"

namespace tarnlux::ui {

SetMInfo::SetMInfo(AppState& app, QWidget* parent)
    : BlockEditScreen(app, "Config infos comptr", parent) {
  auto* form = new QFormLayout;
  for (const MeterInfoFieldRule& rule : meterInfoFieldRules()) {
    QLineEdit* edit = addEdit(rule.key, qtText(staging_.info.*rule.text));
    form->addRow(qtText(rule.label), edit);
    messages_.push_back(nullptr);
  }
  finishLayout(form);
}

bool SetMInfo::checkEdit(std::size_t index) {
  const MeterInfoFieldRule& rule = meterInfoFieldRules()[index];
  QLineEdit* edit = edits()[index];
  const MeterInfoFieldCheck check = checkMeterInfoField(rule, stdText(edit->text()));
  messages_[index] = check.message;
  if (!check.ok) return false;
  staging_.info.*rule.text = check.text;
  edit->setText(qtText(check.text));
  return true;
}

const char* SetMInfo::editMessage(std::size_t index) const { return messages_[index]; }

}  // namespace tarnlux::ui
