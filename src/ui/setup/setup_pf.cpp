#include "setup/setup_pf.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include "app/app_state.h"
#include "app/qt_text.h"

namespace tarnlux::ui {

namespace {

constexpr const char* kTransitTimeTitle = "Config criteres ok/echec";
constexpr const char* kEchofluxTitle = "Reglage criteres Echoflux valides/panne";

}  // namespace

setup_pf::setup_pf(AppState& app, MeterBlockLayout layout, QWidget* parent)
    : BlockEditScreen(app,
                      layout == MeterBlockLayout::Echoflux ? kEchofluxTitle : kTransitTimeTitle,
                      parent),
      layout_(layout) {
  auto* grid = new QGridLayout;
  int row = 0;
  for (const LimitFieldPair& pair : limitFieldPairs(layout)) {
    for (const bool warning : {true, false}) {
      const int column = warning ? 0 : 2;
      auto* label = new QLabel(qtText(warning ? pair.warningLabel : pair.failLabel), this);
      const std::string name = std::string(pair.key) + (warning ? "_warning" : "_fail");
      const double value = limitFieldValue(pair, warning, staging_.limits);
      QLineEdit* edit = addEdit(name.c_str(), qtText(limitFieldText(pair, value)));
      // Wide enough for a real limit with its six decimals.
      edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("0000.000000")) +
                            12);
      label->setBuddy(edit);
      grid->addWidget(label, row, column);
      grid->addWidget(edit, row, column + 1);
      fields_.push_back({&pair, warning});
    }
    ++row;
  }
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(3, 1);
  finishLayout(grid);
}

bool setup_pf::checkEdit(std::size_t index) {
  const Field& field = fields_[index];
  QLineEdit* edit = edits()[index];
  const LimitFieldCheck check =
      checkLimitField(*field.pair, field.warning, stdText(edit->text()), app_.meter.gasMeter);
  if (!check.ok) return false;
  setLimitField(*field.pair, field.warning, check.value, staging_.limits);
  edit->setText(qtText(check.text));
  return true;
}

const char* setup_pf::editMessage(std::size_t index) const {
  const Field& field = fields_[index];
  return field.warning ? field.pair->warningMessage : field.pair->failMessage;
}

const char* setup_pf::stagingFault(QLineEdit*& focus) const {
  // Only a pair the user changed: limits the meter already held out of
  // order must not block saving the others.
  for (std::size_t i = 0; i < fields_.size(); i += 2) {
    const LimitFieldPair& pair = *fields_[i].pair;
    const PassFailLimits& before = app_.block.working.limits;
    const bool changed = limitFieldValue(pair, true, before) !=
                             limitFieldValue(pair, true, staging_.limits) ||
                         limitFieldValue(pair, false, before) !=
                             limitFieldValue(pair, false, staging_.limits);
    if (changed && !limitPairInOrder(pair, staging_.limits)) {
      orderMessage_ = limitOrderMessage(pair);
      focus = edits()[i];
      return orderMessage_.c_str();
    }
  }
  return nullptr;
}

void openLimitsScreen(AppState& app, QWidget* parent) {
  if (app.meter.echofluxMode) {
    rflex_pf screen(app, parent);
    screen.exec();
  } else {
    setup_pf screen(app, parent);
    screen.exec();
  }
}

}  // namespace tarnlux::ui
