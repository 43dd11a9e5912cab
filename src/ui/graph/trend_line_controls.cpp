#include "graph/trend_line_controls.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <algorithm>
#include <bit>

#include "app/app_state.h"
#include "app/message_pump.h"
#include "app/qt_text.h"
#include "calc/calc_sessions.h"
#include "diag/measurement_store.h"
#include "diag/query_loop.h"
#include "graph/graph.h"

namespace tarnlux::ui {

TrendLineControls::TrendLineControls(AppState& app, Graph* graph, QLabel* status, QWidget* parent)
    : QObject(parent), app_(app), graph_(graph), status_(status) {
  dataLabel_ = new QLabel(QStringLiteral("Donnees graphe:"), parent);
  dataLabel_->setObjectName(QStringLiteral("trendDataLabel"));
  data_ = new QComboBox(parent);
  data_->setObjectName(QStringLiteral("trendData"));
  // The long multipath names would otherwise widen every screen that shows them.
  data_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  data_->setMinimumContentsLength(16);
  spanLabel_ = new QLabel(QStringLiteral("Duree graphe:"), parent);
  spanLabel_->setObjectName(QStringLiteral("timeSpanLabel"));
  span_ = new QComboBox(parent);
  span_->setObjectName(QStringLiteral("timeSpan"));
  for (const char* name : kTrendSpanNames) span_->addItem(QString::fromLatin1(name));

  scaling_ = new QGroupBox(QStringLiteral("Mise a echelle"), parent);
  scaling_->setObjectName(QStringLiteral("scalingGroup"));
  auto_ = new QRadioButton(QStringLiteral("M. echelle \"Y\" auto"), scaling_);
  auto_->setObjectName(QStringLiteral("autoScale"));
  manual_ = new QRadioButton(QStringLiteral("M. echelle \"Y\" man."), scaling_);
  manual_->setObjectName(QStringLiteral("manualScale"));
  maximum_ = new QLineEdit(scaling_);
  maximum_->setObjectName(QStringLiteral("maximumY"));
  minimum_ = new QLineEdit(scaling_);
  minimum_->setObjectName(QStringLiteral("minimumY"));
  auto* maxLabel = new QLabel(QStringLiteral("Y maximum ="), scaling_);
  maxLabel->setObjectName(QStringLiteral("maximumLabel"));
  auto* minLabel = new QLabel(QStringLiteral("Y minimum ="), scaling_);
  minLabel->setObjectName(QStringLiteral("minimumLabel"));
  // Two rows, so the group stays low on the small layouts.
  auto* grid = new QGridLayout(scaling_);
  grid->setContentsMargins(6, 4, 6, 4);
  grid->setVerticalSpacing(2);
  grid->addWidget(auto_, 0, 0);
  grid->addWidget(manual_, 1, 0);
  grid->addWidget(maxLabel, 0, 1);
  grid->addWidget(maximum_, 0, 2);
  grid->addWidget(minLabel, 1, 1);
  grid->addWidget(minimum_, 1, 2);
  maximum_->setMaximumWidth(80);
  maximum_->setMinimumWidth(50);
  minimum_->setMinimumWidth(50);
  minimum_->setMaximumWidth(80);

  connect(data_, &QComboBox::activated, this, &TrendLineControls::quantityChosen);
  connect(span_, &QComboBox::activated, this, &TrendLineControls::spanChosen);
  connect(auto_, &QRadioButton::clicked, this, [this] { manualChosen(false); });
  connect(manual_, &QRadioButton::clicked, this, [this] { manualChosen(true); });
  connect(maximum_, &QLineEdit::editingFinished, this, &TrendLineControls::applyMaximum);
  connect(minimum_, &QLineEdit::editingFinished, this, &TrendLineControls::applyMinimum);
  // Enter in an edit applies it at once while the loop runs, instead of
  // reaching the screen's default button.
  enterKeys_ = new EnterKeyFields(this);
  enterKeys_->addField(maximum_, [this] { applyMaximum(); });
  enterKeys_->addField(minimum_, [this] { applyMinimum(); });
}

bool TrendLineControls::echoflux() const { return app_.connected && app_.meter.echofluxMode; }

void TrendLineControls::fillForMeter() {
  const MeterFacts& m = app_.meter;
  const unsigned working = configuredQueryPaths(m) & ~(m.channelFailures & 0xFu);
  list_ = trendDataList(echoflux(), app_.connected && m.gasMeter,
                        app_.connected && m.multiPath && std::popcount(working) > 1);
  const QSignalBlocker block(data_);
  data_->clear();
  for (const std::string& name : list_.names) data_->addItem(qtText(name));
  TrendChoices& choices = programTrendChoices();
  int& remembered = echoflux() ? choices.echofluxPosition : choices.transitTimePosition;
  if (remembered < 0 || remembered >= data_->count()) remembered = 0;
  data_->setCurrentIndex(remembered);
  const QSignalBlocker blockSpan(span_);
  span_->setCurrentIndex(std::clamp(choices.spanEntry, 0, span_->count() - 1));
  graph_->setGraphType(quantity() + 2);
  loadScaling();
  syncView();
}

void TrendLineControls::setQuerying(bool querying) {
  querying_ = querying;
  enterKeys_->setSwitch(querying);
}

int TrendLineControls::quantity() const {
  const int position = data_->currentIndex();
  if (position < 0 || position >= static_cast<int>(list_.quantities.size())) return 0;
  return list_.quantities[static_cast<std::size_t>(position)];
}

TrendScaling& TrendLineControls::scaling() {
  return programTrendScalings()[static_cast<std::size_t>(quantity())];
}

TrendQuantityFacts TrendLineControls::quantityFacts() const {
  TrendQuantityFacts f;
  f.gasMeter = app_.meter.gasMeter;
  f.standardFlowOn = measurementStore().site.standardFlow != 0;
  const Aga8Results& aga8 = aga8ProgramSession().results;
  f.aga8Computed = aga8.valid;
  f.aga8SoundSpeed = aga8.valid ? aga8.gas.speedOfSound : 0.0;
  return f;
}

void TrendLineControls::syncView() {
  const TrendScaling& s = programTrendScalings()[static_cast<std::size_t>(quantity())];
  view_.spanMinutes = spanMinutesOf(stdText(span_->currentText()));
  view_.automaticScale = !s.usesManualRange();
  view_.manualMax = s.maximum;
  view_.manualMin = s.minimum;
  view_.echoflux = echoflux();
  view_.gasMeter = app_.meter.gasMeter;
  const TrendQuantityFacts facts = quantityFacts();
  view_.aga8SoundSpeed = facts.aga8SoundSpeed;
  view_.quantityDrawable = trendQuantityProblem(quantity(), facts).empty();
}

void TrendLineControls::updateFromReadings(const MeasurementStore& store) {
  view_.metricUnits = store.site.metricVelocity;
  view_.flowUnit = store.site.flowUnitsText;
  syncView();
}

void TrendLineControls::loadScaling() {
  // The gain level is always drawn 0 to 100: nothing to scale.
  const bool scalable = quantity() != kTrendIntegerQuantity;
  for (QWidget* w : {static_cast<QWidget*>(auto_), static_cast<QWidget*>(manual_),
                     static_cast<QWidget*>(maximum_), static_cast<QWidget*>(minimum_)}) {
    w->setEnabled(scalable);
  }
  const TrendScaling& s = scaling();
  (s.manual ? manual_ : auto_)->setChecked(true);
  maximum_->setText(qtText(scaleFieldText(s.maximumValid, s.maximum)));
  minimum_->setText(qtText(scaleFieldText(s.minimumValid, s.minimum)));
}

void TrendLineControls::quantityChosen(int position) {
  TrendChoices& choices = programTrendChoices();
  (echoflux() ? choices.echofluxPosition : choices.transitTimePosition) = position;
  graph_->setGraphType(quantity() + 2);
  loadScaling();
  syncView();
  if (querying_) {
    std::string problem = trendQuantityProblem(quantity(), quantityFacts());
    const TrendScaling& s = scaling();
    if (problem.empty() && s.manual && (s.errors & TrendScaling::kRangeTooNarrow)) {
      problem = scaleGapMessage();
    }
    if (!problem.empty()) status_->setText(qtText(problem));
  }
  graph_->requestRelayout();
}

void TrendLineControls::spanChosen(int entry) {
  programTrendChoices().spanEntry = entry;
  syncView();
  graph_->requestRelayout();
}

void TrendLineControls::showOutcome(const ScaleEditOutcome& outcome) {
  if (querying_ && !outcome.message.empty()) status_->setText(qtText(outcome.message));
  syncView();
  if (outcome.scaleChanged) graph_->requestRelayout();
}

void TrendLineControls::applyMaximum() {
  const ScaleEditOutcome outcome = applyScaleMaximum(scaling(), stdText(maximum_->text()));
  if (!outcome.shownText.empty()) maximum_->setText(qtText(outcome.shownText));
  showOutcome(outcome);
}

void TrendLineControls::applyMinimum() {
  const ScaleEditOutcome outcome = applyScaleMinimum(scaling(), stdText(minimum_->text()));
  if (!outcome.shownText.empty()) minimum_->setText(qtText(outcome.shownText));
  showOutcome(outcome);
}

void TrendLineControls::manualChosen(bool manual) {
  const ScaleEditOutcome outcome = chooseManualScale(scaling(), manual);
  showOutcome(outcome);
  if (!manual) graph_->requestRelayout();
}

std::string TrendLineControls::checkBeforeQuery() {
  syncView();
  std::string problem = trendQuantityProblem(quantity(), quantityFacts());
  if (!problem.empty()) return problem;
  const ScaleRefusal refusal = scaleRefusal(scaling());
  if (refusal.focusMaximum) maximum_->setFocus(Qt::OtherFocusReason);
  if (refusal.focusMinimum) minimum_->setFocus(Qt::OtherFocusReason);
  return refusal.message;
}

}  // namespace tarnlux::ui
