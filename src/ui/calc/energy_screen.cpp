#include "calc/energy_screen.h"

#include <QComboBox>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "app/app_state.h"
#include "app/error_box.h"
#include "app/file_chooser.h"
#include "app/manual.h"
#include "app/pdf_export.h"
#include "app/qt_text.h"
#include "calc/aga8_disp.h"
#include "calc/calc_sessions.h"
#include "calc/energy_setup_file.h"
#include "calc/entry_text.h"
#include "calc/setup_file_saving.h"

namespace tarnlux::ui {

namespace {

constexpr const char* kSelectionNames[kEnergySelectionCount] = {
    "temperatureUnits", "energyRateUnits", "volumeUnits", "timeUnits",
    "liquid",           "meterLocation",   "service"};
constexpr const char* kFieldNames[kEnergyEntryCount] = {"flowRate", "supplyTemperature",
                                                        "returnTemperature"};

SetupFileSaving setupFileSaving(EnrgCalc& screen, const AppState& app,
                                const EnergySession& session) {
  return {&screen,
          session.results.valid,
          session.setupFilePath,
          app.programDirectory,
          kEnergySetupFilter,
          kEnergySetupExtension,
          [&screen](const QString& path) { return screen.saveSetupFile(path); }};
}

}  // namespace

EnrgCalc::EnrgCalc(AppState& app, QWidget* parent)
    : EnrgCalc(app, energyProgramSession(), parent) {}

EnrgCalc::EnrgCalc(AppState& app, EnergySession& session, QWidget* parent)
    : QDialog(parent), app_(app), session_(session) {
  setObjectName(QStringLiteral("EnrgCalc"));
  setWindowTitle(QString::fromLatin1(kEnergyTitle));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  build();
  energyApplyRememberedChoices(session_);
  session_.results.valid = false;
  showSession();
  invalidateResults();
}

void EnrgCalc::build() {
  const int fieldWidth = fontMetrics().horizontalAdvance(QStringLiteral("-0000000000000.0"));
  // One grid, so entries and selections line up.
  auto* inputs = new QGridLayout;
  inputs->setHorizontalSpacing(8);
  inputs->setColumnStretch(2, 1);
  for (int entry = 0; entry < kEnergyEntryCount; ++entry) {
    const std::size_t i = static_cast<std::size_t>(entry);
    auto* field = new QLineEdit(this);
    field->setObjectName(QString::fromLatin1(kFieldNames[i]));
    field->setFixedWidth(fieldWidth);
    field->setAlignment(Qt::AlignRight);
    auto* label = new QLabel(QString::fromLatin1(kEnergyEntryLabels[i]), this);
    label->setBuddy(field);
    auto* unit = new QLabel(this);
    unit->setObjectName(QString::fromLatin1(kFieldNames[i]) + QStringLiteral("Unit"));
    unit->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("Mega Metres cube/MIN")));
    inputs->addWidget(label, entry, 0);
    inputs->addWidget(field, entry, 1);
    inputs->addWidget(unit, entry, 2);
    fields_[i] = field;
    unitLabels_[i] = unit;
    connect(field, &QLineEdit::editingFinished, this, [this, entry] { fieldLeft(entry); });
  }
  inputs->setRowMinimumHeight(kEnergyEntryCount, 10);
  for (int s = 0; s < kEnergySelectionCount; ++s) {
    const EnergySelectionInfo& info = kEnergySelections[s];
    auto* box = new QComboBox(this);
    box->setObjectName(QString::fromLatin1(kSelectionNames[s]));
    for (int i = 0; i < info.count; ++i) box->addItem(qtText(info.names[i]));
    auto* label = new QLabel(QString::fromLatin1(info.label), this);
    label->setBuddy(box);
    const int row = kEnergyEntryCount + 1 + s;
    inputs->addWidget(label, row, 0);
    inputs->addWidget(box, row, 1, 1, 2, Qt::AlignLeft);
    boxes_[static_cast<std::size_t>(s)] = box;
    connect(box, &QComboBox::currentIndexChanged, this,
            [this, s](int index) { selectionChosen(s, index); });
  }
  int boxWidth = fieldWidth;
  for (QComboBox* box : boxes_) boxWidth = std::max(boxWidth, box->sizeHint().width());
  for (QComboBox* box : boxes_) box->setFixedWidth(boxWidth);

  auto* buttons = new QVBoxLayout;
  auto addButton = [&](const char* name, const char* text, auto handler) {
    auto* button = new QPushButton(QString::fromLatin1(text), this);
    button->setObjectName(QString::fromLatin1(name));
    // Enter in a field applies the field; it never presses a button.
    button->setAutoDefault(false);
    buttons->addWidget(button);
    connect(button, &QPushButton::clicked, this, handler);
    return button;
  };
  addButton("calculate", "Calculer", [this] { calculate(); });
  print_ = addButton("print", "Imprimer", [this] { print(); });
  exportPdf_ = addButton("exportPdf", kExportPdfText, [this] { exportResultsPdf(); });
  addButton("open", "Ouvrir", [this] { openSetup(); });
  addButton("save", "Enregistrer", [this] { save(); });
  addButton("saveAs", "Enregistrer sous", [this] { saveAs(); });
  addButton("manual", "Afficher manuel", [this] { showManual(this); });
  addButton("quit", "Quitter", [this] { reject(); });
  buttons->addStretch();

  auto* top = new QHBoxLayout;
  top->addLayout(inputs, 1);
  top->addSpacing(16);
  top->addLayout(buttons);

  auto* frame = new QFrame(this);
  frame->setFrameShape(QFrame::StyledPanel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(frame, 1);

  display_ = new AGA8Disp(CalcOwner::Energy, this);
  display_->setMinimumSize(520, display_->heightForRows(7) + 4);
  display_->setPageSource([this] { return energyResultsPage(session_.results, session_.choices); });
  if (!display_->attach(frame)) {
    ErrorBox(kResultsAttachFailed, -1, this);
    QMetaObject::invokeMethod(this, &QDialog::reject, Qt::QueuedConnection);
  }
}

void EnrgCalc::showSession() {
  for (int s = 0; s < kEnergySelectionCount; ++s) {
    QComboBox* box = boxes_[static_cast<std::size_t>(s)];
    const QSignalBlocker blocker(box);
    box->setCurrentIndex(session_.choices.at(s));
  }
  if (session_.entries.set[kEnergyFlowEntry]) {
    showFlow(session_.entries.values[kEnergyFlowEntry]);
  } else {
    fields_[kEnergyFlowEntry]->clear();
    session_.flowPrefix = kEnergyNoPrefix;
  }
  for (int entry : {kEnergySupplyEntry, kEnergyReturnEntry}) {
    const std::size_t i = static_cast<std::size_t>(entry);
    fields_[i]->setText(session_.entries.set[i]
                            ? qtText(energyTemperatureText(session_.entries.values[i],
                                                           session_.choices.temperatureUnit()))
                            : QString());
  }
  showUnitLabels();
}

void EnrgCalc::showUnitLabels() {
  unitLabels_[kEnergyFlowEntry]->setText(qtText(energyFlowUnitText(
      session_.flowPrefix, session_.choices.volumeUnit(), session_.choices.timeUnit())));
  const QString temperature = QString::fromLatin1(
      kEnergyTemperatureUnitNames[session_.choices.temperatureUnit() == kEnergyFahrenheit ? 1 : 0]);
  unitLabels_[kEnergySupplyEntry]->setText(temperature);
  unitLabels_[kEnergyReturnEntry]->setText(temperature);
}

void EnrgCalc::showFlow(double cubicInchesPerSecond) {
  const EnergyFlowDisplay shown = energyFlowDisplay(
      cubicInchesPerSecond, session_.choices.volumeUnit(), session_.choices.timeUnit());
  session_.flowPrefix = shown.prefix;
  fields_[kEnergyFlowEntry]->setText(qtText(shown.text));
  showUnitLabels();
}

std::array<std::string, kEnergyEntryCount> EnrgCalc::fieldTexts() const {
  std::array<std::string, kEnergyEntryCount> texts;
  for (std::size_t i = 0; i < texts.size(); ++i) texts[i] = stdText(fields_[i]->text());
  return texts;
}

void EnrgCalc::invalidateResults() {
  session_.results.valid = false;
  display_->setValid(false);
  print_->setEnabled(false);
  exportPdf_->setEnabled(false);
}

void EnrgCalc::fieldLeft(int entry) {
  const std::size_t i = static_cast<std::size_t>(entry);
  const std::optional<double> typed = parseEntryText(stdText(fields_[i]->text()));
  if (!typed) {
    invalidateResults();
    return;
  }
  double value;
  if (entry == kEnergyFlowEntry) {
    value = energyFlowFromDisplay(*typed * energyFlowPrefixFactor(session_.flowPrefix),
                                  session_.choices.volumeUnit(), session_.choices.timeUnit());
    showFlow(value);
  } else {
    value = energyTemperatureFromDisplay(*typed, session_.choices.temperatureUnit());
    if (auto text = formatEntryValue(*typed)) fields_[i]->setText(qtText(*text));
  }
  if (std::fabs(value - session_.entries.values[i]) > 1e-16) invalidateResults();
}

void EnrgCalc::selectionChosen(int selection, int index) {
  if (index < 0) return;
  const EnergyChoices before = session_.choices;
  session_.choices.index[static_cast<std::size_t>(selection)] = index;
  switch (selection) {
    case kEnergyTemperatureSelection:
      for (int entry : {kEnergySupplyEntry, kEnergyReturnEntry}) {
        QLineEdit* field = fields_[static_cast<std::size_t>(entry)];
        if (auto typed = parseEntryText(stdText(field->text()))) {
          const double kelvin = energyTemperatureFromDisplay(*typed, before.temperatureUnit());
          field->setText(qtText(energyTemperatureText(kelvin, session_.choices.temperatureUnit())));
        }
      }
      break;
    case kEnergyVolumeSelection:
    case kEnergyTimeSelection:
      if (auto typed = parseEntryText(stdText(fields_[kEnergyFlowEntry]->text()))) {
        showFlow(energyFlowFromDisplay(*typed * energyFlowPrefixFactor(session_.flowPrefix),
                                       before.volumeUnit(), before.timeUnit()));
      }
      break;
    case kEnergyLiquidSelection:
    case kEnergyLocationSelection:
    case kEnergyServiceSelection:
      // The results shown were computed for the other liquid, sensor place or service.
      invalidateResults();
      break;
    default:
      break;
  }
  showUnitLabels();
  if (session_.results.valid) display_->refresh();
}

void EnrgCalc::calculate() {
  const EnergyValidation validation =
      energyValidate(fieldTexts(), session_.choices, session_.flowPrefix);
  if (!validation.ok()) {
    ErrorBox(validation.message, -1, this);
    fields_[static_cast<std::size_t>(validation.failedEntry)]->setFocus();
    return;
  }
  session_.entries.values = validation.values;
  session_.entries.set.fill(true);
  showFlow(session_.entries.values[kEnergyFlowEntry]);
  for (int entry : {kEnergySupplyEntry, kEnergyReturnEntry}) {
    fields_[static_cast<std::size_t>(entry)]->setText(
        qtText(energyTemperatureText(session_.entries.values[static_cast<std::size_t>(entry)],
                                     session_.choices.temperatureUnit())));
  }
  session_.results = energyCalculate(session_.entries, session_.choices);
  display_->setValid(true);
  print_->setEnabled(true);
  exportPdf_->setEnabled(true);
  writeEnergySettings(app_.settingsPath(), session_);
}

void EnrgCalc::openSetup() {
  const QString path = chooseSetupFileToOpen(setupFileSaving(*this, app_, session_));
  if (!path.isEmpty()) openSetupFile(path);
}

bool EnrgCalc::openSetupFile(const QString& path) {
  if (!setupFileSucceeded(openEnergySetupFile(stdText(path), session_), this)) return false;
  showSession();
  invalidateResults();
  writeEnergySettings(app_.settingsPath(), session_);
  return true;
}

void EnrgCalc::save() { saveSetup(setupFileSaving(*this, app_, session_)); }

void EnrgCalc::saveAs() { saveSetupAs(setupFileSaving(*this, app_, session_)); }

bool EnrgCalc::saveSetupFile(const QString& path) {
  return setupFileSucceeded(saveEnergySetupFile(stdText(path), session_), this);
}

void EnrgCalc::print() {
  if (!session_.results.valid) return;
  display_->print(this, QString::fromLatin1(kEnergyPrintDocumentName));
}

void EnrgCalc::exportResultsPdf() {
  if (!session_.results.valid) return;
  display_->exportPdfFile(this, QString::fromStdString(app_.programDirectory),
                          QString::fromLatin1(kEnergyPrintDocumentName));
}

}  // namespace tarnlux::ui
