#include "calc/aga8_screen.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <cmath>

#include "app/app_state.h"
#include "app/error_box.h"
#include "app/file_chooser.h"
#include "app/manual.h"
#include "app/pdf_export.h"
#include "app/password_dialog.h"
#include "app/qt_text.h"
#include "app/screen_context.h"
#include "calc/aga8_disp.h"
#include "calc/aga8_meter_table.h"
#include "calc/aga8_results_page.h"
#include "calc/aga8_settings.h"
#include "calc/aga8_setup_file.h"
#include "calc/aga8_units.h"
#include "calc/calc_sessions.h"
#include "calc/setup_file_saving.h"
#include "common/op_context.h"

namespace tarnlux::ui {

namespace {

constexpr const char* kTitle = "Calculs AGA8";
constexpr const char* kUnitsGroup = "Unites";
constexpr const char* kCompositionGroup = "Composition du gaz et fraction molaire en %";
constexpr const char* kConditionsGroup =
    "Pression et temperature\xC2\xA0"
    "du gaz:";
constexpr const char* kTableCheck = "Creer tableau AGA8";
constexpr const char* kNotConnected = "Non connecte au compteur";
constexpr const char* kNoChannel = "Pas de canal selectionne";
constexpr const char* kLiquidMeter = "Impossible d'envoyer le tableau AGA8 au compteur de liquide";

struct UnitBoxInfo {
  const char* name;
  const char* label;
  const char* const* names;
  int count;
};
constexpr UnitBoxInfo kUnitBoxes[5] = {
    {"pressureUnits", "Pression:", kAga8PressureUnitNames, kAga8PressureUnitCount},
    {"temperatureUnits", "Temperature:", kAga8TemperatureUnitNames, kAga8TemperatureUnitCount},
    {"velocityUnits", "Vitesse:", kAga8VelocityUnitNames, kAga8VelocityUnitCount},
    {"densityUnits", "Densite:", kAga8DensityUnitNames, kAga8DensityUnitCount},
    {"enthalpyUnits", "Enthalpie:", kAga8EnthalpyUnitNames, kAga8EnthalpyUnitCount},
};

SetupFileSaving setupFileSaving(AGA8& screen, const AppState& app, const Aga8Session& session) {
  return {&screen,
          session.results.valid,
          session.setupFilePath,
          app.programDirectory,
          kAga8SetupFilter,
          kAga8SetupExtension,
          [&screen](const QString& path) { return screen.saveSetupFile(path); }};
}

AGA8::TableSender& tableSender() {
  static AGA8::TableSender sender;
  return sender;
}

int& unitOf(Aga8Units& units, int which) {
  int* members[5] = {&units.pressure, &units.temperature, &units.velocity, &units.density,
                     &units.enthalpy};
  return *members[which];
}

}  // namespace

void AGA8::setTableSender(TableSender sender) { tableSender() = std::move(sender); }

AGA8::AGA8(AppState& app, QWidget* parent) : AGA8(app, aga8ProgramSession(), parent) {}

AGA8::AGA8(AppState& app, Aga8Session& session, QWidget* parent)
    : QDialog(parent), app_(app), session_(session) {
  setObjectName(QStringLiteral("AGA8"));
  setWindowTitle(QString::fromLatin1(kTitle));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  build();

  session_.results.valid = false;
  aga8ApplyRememberedChoices(session_);
  showSession();
  invalidateResults();
}

void AGA8::build() {
  const int fieldWidth = fontMetrics().horizontalAdvance(QStringLiteral("-0000000.00000"));
  auto makeField = [&](int entry) {
    auto* field = new QLineEdit(this);
    field->setObjectName(QString::fromLatin1(aga8EntryKey(entry)));
    field->setFixedWidth(fieldWidth);
    field->setAlignment(Qt::AlignRight);
    auto* label = new QLabel(QString::fromLatin1(aga8EntryLabel(entry, false)), this);
    label->setObjectName(QString::fromLatin1(aga8EntryKey(entry)) + QStringLiteral("_label"));
    label->setBuddy(field);
    fields_[static_cast<std::size_t>(entry)] = field;
    labels_[static_cast<std::size_t>(entry)] = label;
    connect(field, &QLineEdit::editingFinished, this, [this, entry] { fieldLeft(entry); });
  };
  for (int entry = 0; entry < kAga8EntryCount; ++entry) makeField(entry);
  // The maxima keep their place while hidden, so switching the table mode on
  // does not change the screen's size.
  for (int entry : {kAga8MaxPressureEntry, kAga8MaxTemperatureEntry}) {
    for (QWidget* widget : {static_cast<QWidget*>(fields_[static_cast<std::size_t>(entry)]),
                            static_cast<QWidget*>(labels_[static_cast<std::size_t>(entry)])}) {
      QSizePolicy policy = widget->sizePolicy();
      policy.setRetainSizeWhenHidden(true);
      widget->setSizePolicy(policy);
    }
  }

  // Composition: three columns of seven, helium first.
  auto* composition = new QGroupBox(qtText(kCompositionGroup), this);
  composition->setObjectName(QStringLiteral("compositionGroup"));
  auto* compositionGrid = new QGridLayout(composition);
  compositionGrid->setHorizontalSpacing(8);
  for (int entry = 0; entry < kAga8CompositionEntryCount; ++entry) {
    const int row = entry % 7;
    const int column = 2 * (entry / 7);
    compositionGrid->addWidget(labels_[static_cast<std::size_t>(entry)], row, column);
    compositionGrid->addWidget(fields_[static_cast<std::size_t>(entry)], row, column + 1);
  }
  total_ = new QLineEdit(this);
  total_->setObjectName(QStringLiteral("total"));
  total_->setReadOnly(true);
  total_->setFocusPolicy(Qt::NoFocus);
  total_->setFixedWidth(fieldWidth);
  total_->setAlignment(Qt::AlignRight);
  auto* totalLabel = new QLabel(QStringLiteral("Total:"), this);
  totalLabel->setObjectName(QStringLiteral("totalLabel"));
  compositionGrid->addWidget(totalLabel, 7, 4);
  compositionGrid->addWidget(total_, 7, 5);

  auto* conditions = new QGroupBox(qtText(kConditionsGroup), this);
  conditions->setObjectName(QStringLiteral("conditionsGroup"));
  auto* conditionsGrid = new QGridLayout(conditions);
  for (int entry = kAga8BasePressureEntry; entry < kAga8EntryCount; ++entry) {
    const int row = entry - kAga8BasePressureEntry;
    conditionsGrid->addWidget(labels_[static_cast<std::size_t>(entry)], row, 0);
    conditionsGrid->addWidget(fields_[static_cast<std::size_t>(entry)], row, 1);
  }
  table_ = new QCheckBox(QString::fromLatin1(kTableCheck), this);
  table_->setObjectName(QStringLiteral("aga8Table"));
  conditionsGrid->addWidget(table_, 6, 0, 1, 2);
  connect(table_, &QCheckBox::toggled, this, [this](bool on) {
    session_.tableFlag = on ? 1 : 0;
    applyTableMode(on);
    invalidateResults();
  });

  auto* units = new QGroupBox(QString::fromLatin1(kUnitsGroup), this);
  units->setObjectName(QStringLiteral("unitsGroup"));
  auto* unitsGrid = new QGridLayout(units);
  for (int which = 0; which < 5; ++which) {
    auto* box = new QComboBox(this);
    box->setObjectName(QString::fromLatin1(kUnitBoxes[which].name));
    for (int i = 0; i < kUnitBoxes[which].count; ++i)
      box->addItem(QString::fromLatin1(kUnitBoxes[which].names[i]));
    auto* label = new QLabel(QString::fromLatin1(kUnitBoxes[which].label), this);
    label->setBuddy(box);
    unitsGrid->addWidget(label, which, 0);
    unitsGrid->addWidget(box, which, 1);
    unitBoxes_[static_cast<std::size_t>(which)] = box;
    connect(box, &QComboBox::currentIndexChanged, this,
            [this, which](int index) { unitChosen(which, index); });
  }

  auto* buttons = new QVBoxLayout;
  auto addButton = [&](const char* name, const char* text, void (AGA8::*handler)()) {
    auto* button = new QPushButton(QString::fromLatin1(text), this);
    button->setObjectName(QString::fromLatin1(name));
    // Enter in a field applies the field; it never presses a button.
    button->setAutoDefault(false);
    buttons->addWidget(button);
    connect(button, &QPushButton::clicked, this, handler);
    return button;
  };
  addButton("calculate", "Calculer", &AGA8::calculate);
  addButton("normalise", "Normaliser", &AGA8::normalise);
  addButton("clear", "Effacer", &AGA8::clearEntries);
  addButton("open", "Ouvrir", &AGA8::openSetup);
  addButton("save", "Enregistrer", &AGA8::save);
  addButton("saveAs", "Enregistrer sous", &AGA8::saveAs);
  sendTable_ = addButton("sendTable", "Env tableau", &AGA8::sendTable);
  addButton("stop", "Stop", &AGA8::stop);
  print_ = addButton("print", "Imprimer", &AGA8::print);
  exportPdf_ = addButton("exportPdf", kExportPdfText, &AGA8::exportResultsPdf);
  auto* manual = new QPushButton(QStringLiteral("Afficher manuel"), this);
  manual->setObjectName(QStringLiteral("manual"));
  manual->setAutoDefault(false);
  buttons->addWidget(manual);
  connect(manual, &QPushButton::clicked, this, [this] { showManual(this); });
  addButton("quit", "Quitter", &AGA8::reject);
  buttons->addStretch();

  auto* middle = new QVBoxLayout;
  middle->addWidget(conditions);
  middle->addWidget(units);
  middle->addStretch();

  auto* top = new QHBoxLayout;
  top->addWidget(composition, 0, Qt::AlignTop);
  top->addLayout(middle);
  top->addLayout(buttons);

  auto* frame = new QFrame(this);
  frame->setObjectName(QStringLiteral("resultsFrame"));
  frame->setFrameShape(QFrame::StyledPanel);

  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("status"));
  status_->setFrameShape(QFrame::Panel);
  status_->setFrameShadow(QFrame::Sunken);
  status_->setMinimumWidth(300);
  auto* statusRow = new QHBoxLayout;
  auto* statusLabel = new QLabel(QStringLiteral("Etat:"), this);
  statusLabel->setObjectName(QStringLiteral("statusLabel"));
  statusRow->addWidget(statusLabel);
  statusRow->addWidget(status_, 1);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(frame, 1);
  layout->addLayout(statusRow);

  display_ = new AGA8Disp(CalcOwner::Aga8, this);
  // The single-point page without scrolling; the table page too where the
  // screen has room.
  display_->setMinimumHeight(display_->heightForRows(10) + 4);
  if (const QScreen* shown = screen()) fitResultsArea(shown->availableGeometry().size());
  display_->setPageSource([this] { return aga8ResultsPage(session_.results, session_.units); });
  if (!display_->attach(frame)) {
    ErrorBox(kResultsAttachFailed, -1, this);
    QMetaObject::invokeMethod(this, &QDialog::reject, Qt::QueuedConnection);
  }
}

void AGA8::fitResultsArea(QSize available) {
  Aga8Results sample;
  sample.valid = true;
  sample.tableMode = true;
  // The largest page any choice of units gives, so a unit change keeps it whole.
  QSize page;
  Aga8Units units;
  units.velocity = kAga8MetresPerSecond;
  units.enthalpy = kAga8KilojoulesPerKilogram;
  for (units.pressure = 0; units.pressure < kAga8PressureUnitCount; ++units.pressure) {
    for (units.temperature = 0; units.temperature < kAga8TemperatureUnitCount; ++units.temperature) {
      for (units.density = 0; units.density < kAga8DensityUnitCount; ++units.density) {
        page = page.expandedTo(
            AGA8Disp::pageSize(aga8ResultsPage(sample, units), display_, logicalDpiY()));
      }
    }
  }
  const QSize wanted(page.width() + 4, page.height() + 4);
  const QSize current = display_->minimumSize();
  // The rest of the screen (fields, buttons, status line, margins) as laid out now.
  const QSize rest = layout()->totalMinimumSize() - current;
  // Room for the window's frame and title bar (the available size leaves the
  // desktop's panels out already).
  const QSize room = available - QSize(20, 40);
  if (rest.height() + wanted.height() <= room.height()) {
    display_->setMinimumHeight(std::max(current.height(), wanted.height()));
  }
  if (rest.width() + wanted.width() <= room.width()) {
    display_->setMinimumWidth(std::max(current.width(), wanted.width()));
  }
}

void AGA8::showSession() {
  for (int which = 0; which < 5; ++which) {
    QComboBox* box = unitBoxes_[static_cast<std::size_t>(which)];
    const QSignalBlocker blocker(box);
    box->setCurrentIndex(unitOf(session_.units, which));
  }
  {
    const QSignalBlocker blocker(table_);
    table_->setChecked(aga8TableMode(session_));
  }
  applyTableMode(aga8TableMode(session_));
  for (int entry = 0; entry < kAga8EntryCount; ++entry) {
    const std::size_t i = static_cast<std::size_t>(entry);
    fields_[i]->setText(
        session_.entries.set[i]
            ? qtText(aga8DisplayText(entry, session_.entries.values[i], session_.units))
            : QString());
  }
  total_->setText(qtText(aga8FieldTotalText(fieldTexts())));
}

void AGA8::applyTableMode(bool tableMode) {
  for (int entry : {kAga8PressureEntry, kAga8TemperatureEntry}) {
    labels_[static_cast<std::size_t>(entry)]->setText(
        QString::fromLatin1(aga8EntryLabel(entry, tableMode)));
  }
  for (int entry : {kAga8MaxPressureEntry, kAga8MaxTemperatureEntry}) {
    labels_[static_cast<std::size_t>(entry)]->setVisible(tableMode);
    fields_[static_cast<std::size_t>(entry)]->setVisible(tableMode);
  }
}

std::array<std::string, kAga8EntryCount> AGA8::fieldTexts() const {
  std::array<std::string, kAga8EntryCount> texts;
  for (std::size_t i = 0; i < texts.size(); ++i) texts[i] = stdText(fields_[i]->text());
  return texts;
}

void AGA8::fieldLeft(int entry) {
  // A field disabled under the focus while a calculation starts is not an edit.
  if (guard_.running()) return;
  const std::size_t i = static_cast<std::size_t>(entry);
  const Aga8FieldCheck check = aga8CheckField(stdText(fields_[i]->text()), entry,
                                              session_.entries.values[i], session_.units);
  if (check.standardText) fields_[i]->setText(qtText(*check.standardText));
  if (!check.sameValue) invalidateResults();
  if (aga8IsCompositionEntry(entry)) total_->setText(qtText(aga8FieldTotalText(fieldTexts())));
}

void AGA8::unitChosen(int which, int index) {
  if (index < 0) return;
  const Aga8Units from = session_.units;
  Aga8Units to = from;
  unitOf(to, which) = index;
  const int first = which == 0   ? kAga8BasePressureEntry
                    : which == 1 ? kAga8BaseTemperatureEntry
                                 : -1;
  if (first >= 0) {
    for (int entry = first; entry < first + 3; ++entry) {
      QLineEdit* field = fields_[static_cast<std::size_t>(entry)];
      field->setText(qtText(aga8ConvertFieldText(stdText(field->text()), entry, from, to)));
    }
  }
  session_.units = to;
  if (session_.results.valid) {
    display_->refresh();
    writeAga8Settings(app_.settingsPath(), session_);
  }
}

void AGA8::invalidateResults() {
  session_.results.valid = false;
  display_->setValid(false);
  status_->clear();
  updateButtons();
}

// Enabled by valid table results alone: a missing connection, channel or gas
// meter is said by the button, not hidden behind a greyed one.
bool AGA8::tableSendPossible() const {
  return session_.results.valid && session_.results.tableMode;
}

void AGA8::updateButtons() {
  sendTable_->setEnabled(tableSendPossible());
  print_->setEnabled(session_.results.valid);
  exportPdf_->setEnabled(session_.results.valid);
}

void AGA8::setInputsEnabled(bool enabled) {
  for (QLineEdit* field : fields_) field->setEnabled(enabled);
  for (QComboBox* box : unitBoxes_) box->setEnabled(enabled);
  table_->setEnabled(enabled);
}

void AGA8::calculate() {
  if (BusyFlag::isSet()) return;
  const bool tableMode = aga8TableMode(session_);
  const Aga8Validation validation = aga8Validate(fieldTexts(), tableMode, session_.units, false);
  if (!validation.ok()) {
    ErrorBox(validation.message, -1, this);
    fields_[static_cast<std::size_t>(validation.failedEntry)]->setFocus();
    return;
  }
  for (int entry = 0; entry < kAga8EntryCount; ++entry) {
    if (!aga8EntryActive(entry, tableMode)) continue;
    const std::size_t i = static_cast<std::size_t>(entry);
    session_.entries.values[i] = validation.values[i];
    session_.entries.set[i] = true;
    fields_[i]->setText(qtText(validation.texts[i]));
  }
  const Aga8TotalCheck total = aga8CheckTotal(session_.entries.values);
  total_->setText(qtText(total.text));
  if (!total.ok) {
    ErrorBox(kAga8TotalMessage, -1, this);
    return;
  }
  runCalculation();
}

void AGA8::runCalculation() {
  guard_.start([this] {
    setInputsEnabled(false);
    invalidateResults();
    const bool tableMode = aga8TableMode(session_);
    ProgressLine progress = progressLineFor(status_);
    if (tableMode) {
      progress.start(kAga8Calculating);
    } else {
      status_->setText(QString::fromLatin1(kAga8Calculating));
    }
    const OperationContext ctx = screenContext(this, &guard_.cancelFlag, &progress);
    const int result =
        aga8RunCalculation(session_.entries, tableMode, session_.results, aga8KeptResults(), &ctx);
    if (result == kAga8Normal) {
      display_->setValid(true);
      writeAga8Settings(app_.settingsPath(), session_);
    }
    status_->setText(qtText(aga8CalculationStatus(result)));
    setInputsEnabled(true);
    updateButtons();
  });
  closeIfRequested();
}

bool AGA8::closeIfRequested() {
  if (!closeRequested_) return false;
  closeRequested_ = false;
  done(QDialog::Rejected);
  return true;
}

void AGA8::normalise() {
  if (BusyFlag::isSet()) return;
  const Aga8Validation validation =
      aga8Validate(fieldTexts(), aga8TableMode(session_), session_.units, true);
  if (!validation.ok()) {
    ErrorBox(validation.message, -1, this);
    fields_[static_cast<std::size_t>(validation.failedEntry)]->setFocus();
    return;
  }
  std::array<double, kAga8EntryCount> values = session_.entries.values;
  for (int entry = 0; entry < kAga8CompositionEntryCount; ++entry) {
    values[static_cast<std::size_t>(entry)] = validation.values[static_cast<std::size_t>(entry)];
  }
  // An all-zero composition has nothing to scale.
  if (!aga8Normalise(values)) {
    ErrorBox(kAga8TotalMessage, -1, this);
    return;
  }
  bool changed = false;
  for (int entry = 0; entry < kAga8CompositionEntryCount; ++entry) {
    const std::size_t i = static_cast<std::size_t>(entry);
    changed = changed || !session_.entries.set[i] ||
              std::fabs(values[i] - session_.entries.values[i]) > 1e-16;
    session_.entries.values[i] = values[i];
    session_.entries.set[i] = true;
    fields_[i]->setText(qtText(aga8DisplayText(entry, values[i], session_.units)));
  }
  total_->setText(qtText(aga8CheckTotal(session_.entries.values).text));
  // The results no longer belong to the composition shown.
  if (changed && session_.results.valid) invalidateResults();
}

void AGA8::clearEntries() {
  if (BusyFlag::isSet()) return;
  for (QLineEdit* field : fields_) field->clear();
  total_->clear();
  invalidateResults();
}

void AGA8::openSetup() {
  if (BusyFlag::isSet()) return;
  const QString path =
      chooseFileToOpen(this, QString::fromLatin1(kAga8SetupFilter), QStringLiteral("Ouvrir"),
                       setupFileFolder(session_.setupFilePath, app_.programDirectory),
                       QFileInfo(qtText(session_.setupFilePath)).fileName());
  if (!path.isEmpty()) openSetupFile(path);
}

bool AGA8::openSetupFile(const QString& path) {
  if (BusyFlag::isSet()) return false;
  const SetupFileError error = openAga8SetupFile(stdText(path), session_);
  if (error.failed()) {
    ErrorBox(error.message, error.extra, {}, error.code, this);
    return false;
  }
  showSession();
  runCalculation();
  return true;
}

void AGA8::save() {
  if (BusyFlag::isSet()) return;
  saveSetup(setupFileSaving(*this, app_, session_));
}

void AGA8::saveAs() {
  if (BusyFlag::isSet()) return;
  saveSetupAs(setupFileSaving(*this, app_, session_));
}

bool AGA8::saveSetupFile(const QString& path) {
  if (BusyFlag::isSet()) return false;
  const SetupFileError error = saveAga8SetupFile(stdText(path), session_);
  if (error.failed()) {
    ErrorBox(error.message, error.extra, {}, error.code, this);
    return false;
  }
  return true;
}

void AGA8::sendTable() {
  if (BusyFlag::isSet()) return;
  if (!app_.connected) {
    ErrorBox(kNotConnected, -1, this);
    return;
  }
  // A multi-path meter has no selected channel: its table belongs to the site.
  if (app_.meter.blockChannel() < 0) {
    ErrorBox(kNoChannel, -1, this);
    return;
  }
  if (!app_.meter.gasMeter) {
    ErrorBox(kLiquidMeter, -1, this);
    return;
  }
  if (!tableSendPossible() || !tableSender()) return;
  guard_.start([this] {
    setInputsEnabled(false);
    ProgressLine progress = progressLineFor(status_);
    const OperationContext ctx = screenContext(this, &guard_.cancelFlag, &progress);
    const std::string status = tableSender()(app_, session_.results, this, ctx);
    status_->setText(qtText(status));
    setInputsEnabled(true);
    updateButtons();
  });
  closeIfRequested();
}

void AGA8::stop() { guard_.requestCancel(); }

std::string sendAga8TableFromScreen(AppState& app, const Aga8Results& results, QWidget* screen,
                                    const OperationContext& ctx,
                                    const std::function<void()>& disconnect) {
  const Aga8MeterTable table = buildAga8MeterTable(results, app.meter.blockChannel());
  ChannelFacts facts;
  facts.multiPath = app.meter.multiPath;
  OperationContext sendCtx = ctx;
  const Aga8TableSendOutcome outcome =
      sendAga8TableToMeter(app.link, table, facts, passwordDialog(screen), sendCtx);
  if (outcome.end == Aga8TableSendEnd::Verified) {
    copyAga8TableToConfiguration(table, app.connectOutcome);
  }
  if (outcome.disconnect() && disconnect) disconnect();
  return outcome.status;
}

void AGA8::print() {
  if (BusyFlag::isSet() || !session_.results.valid) return;
  display_->print(this, QString::fromLatin1(kAga8PrintDocumentName));
}

void AGA8::exportResultsPdf() {
  if (BusyFlag::isSet() || !session_.results.valid) return;
  display_->exportPdfFile(this, QString::fromStdString(app_.programDirectory),
                          QString::fromLatin1(kAga8PrintDocumentName));
}

void AGA8::reject() {
  if (guard_.running()) {
    closeRequested_ = true;
    guard_.requestCancel();
    return;
  }
  QDialog::reject();
}

}  // namespace tarnlux::ui
