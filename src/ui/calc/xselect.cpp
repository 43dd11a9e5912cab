#include "calc/xselect.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTabBar>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "app/app_state.h"
#include "app/error_box.h"
#include "app/file_chooser.h"
#include "app/manual.h"
#include "app/pdf_export.h"
#include "app/printer.h"
#include "app/qt_text.h"
#include "app/wait_dialog.h"
#include "calc/aga8_disp.h"
#include "calc/aga8comp.h"
#include "calc/calc_sessions.h"
#include "calc/entry_text.h"
#include "calc/repeatability_graph.h"
#include "calc/setup_file_saving.h"

namespace tarnlux::ui {

namespace {

constexpr const char* kSelectionObjectNames[kSizingSelectionCount] = {
    "lengthUnits",     "temperatureUnits", "pressureUnits", "velocityUnits", "densityUnits",
    "volumeMassUnits", "timeUnits",        "pipeMaterial",  "linerMaterial", "fluid"};
constexpr const char* kChoiceObjectNames[4] = {"sensorType", "sensorSize", "mount", "spacing"};
constexpr const char* kWaitText = "Calculs necessaires en cours, veuillez patienter...";

const char* selectionLabel(SizingMode mode, int selection) {
  switch (selection) {
    case kSizingLengthUnit:
      return "Dimensions:";
    case kSizingTemperatureUnit:
      return "Temperature:";
    case kSizingPressureUnit:
      return "Pression:";
    case kSizingVelocityUnit:
      return "Vitesse:";
    case kSizingDensityUnit:
      return "Densite:";
    case kSizingVolumeMassUnit:
      return "Volume/masse:";
    case kSizingTimeUnit:
      return "Temps:";
    case kSizingPipeMaterial:
      return "Mat. Conduite:";
    case kSizingLinerMaterial:
      return "Mat. revet. int.:";
    default:
      return mode == SizingMode::Gas ? "Selection du gaz:" : "Selection du liquide:";
  }
}

SizingSession& programSession(SizingMode mode) {
  return mode == SizingMode::Gas ? gasToolProgramSession() : liquidToolProgramSession();
}

SetupFileSaving setupFileSaving(XSelect& screen, const AppState& app,
                                const SizingSession& session) {
  return {&screen,
          session.results.valid,
          session.setupFilePath,
          app.programDirectory,
          sizingSetupFilter(session.mode),
          kSizingSetupExtension,
          [&screen](const QString& path) { return screen.saveSetupFile(path); }};
}

double flowArea(SizingMode mode, const std::vector<std::string>& texts, const SizingChoices& c) {
  auto inches = [&](SizingRole role) {
    const int entry = sizingEntry(mode, role);
    const auto v = parseEntryText(texts[static_cast<std::size_t>(entry)]);
    return v ? sizingFromDisplay(mode, SizingQuantity::Length, *v, c) : 0.0;
  };
  const double liner = c.safe(mode, kSizingLinerMaterial) == 0 ? 0.0 : inches(SizingRole::Liner);
  const double di = inches(SizingRole::OutsideDiameter) - 2.0 * (inches(SizingRole::Wall) + liner);
  return di > 0.0 ? M_PI * di * di / 4.0 : 0.0;
}

}  // namespace

XSelect::XSelect(AppState& app, SizingMode mode, QWidget* parent)
    : XSelect(app, programSession(mode), parent) {}

XSelect::XSelect(AppState& app, SizingSession& session, QWidget* parent)
    : QDialog(parent), app_(app), session_(session) {
  setObjectName(QStringLiteral("XSelect"));
  setWindowTitle(
      QString::fromLatin1(session_.mode == SizingMode::Gas ? kSizingGasTitle : kSizingLiquidTitle));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  sizingApplyRememberedChoices(session_);
  compositionTexts_.assign(kAga8CompositionEntryCount, std::string());
  build();
  session_.results.valid = false;
  showSession();
  invalidateResults();
}

XSelect::~XSelect() {
  // Hiding the dialog takes the focus from a field, which would report it
  // left to a screen already half gone.
  for (QLineEdit* field : fields_) {
    if (field != nullptr) field->disconnect(this);
  }
}

QLineEdit* XSelect::entryField(int entry) const {
  if (entry < 0 || entry >= static_cast<int>(fields_.size())) return nullptr;
  return fields_[static_cast<std::size_t>(entry)];
}

void XSelect::build() {
  const SizingMode mode = session_.mode;
  const bool gas = mode == SizingMode::Gas;
  const int count = sizingEntryCount(mode);
  fields_.assign(static_cast<std::size_t>(count), nullptr);
  unitLabels_.assign(static_cast<std::size_t>(count), nullptr);
  const int fieldWidth = fontMetrics().horizontalAdvance(QStringLiteral("-00000000.0000"));
  const int unitWidth = fontMetrics().horizontalAdvance(QStringLiteral("Metres cube std/MIN"));

  // Pipe and fluid entries, then the operating range (minimum and maximum side by side).
  auto* entries = new QGridLayout;
  entries->setHorizontalSpacing(6);
  int row = 0;
  auto addField = [&](int entry, int gridRow, int column) {
    auto* field = new QLineEdit(this);
    field->setObjectName(QString::fromLatin1(sizingEntryInfo(mode, entry).key));
    field->setFixedWidth(fieldWidth);
    field->setAlignment(Qt::AlignRight);
    entries->addWidget(field, gridRow, column);
    fields_[static_cast<std::size_t>(entry)] = field;
    connect(field, &QLineEdit::editingFinished, this, [this, entry] { fieldLeft(entry); });
    return field;
  };
  auto addUnit = [&](int entry, int gridRow) {
    auto* unit = new QLabel(this);
    unit->setMinimumWidth(unitWidth);
    entries->addWidget(unit, gridRow, 3);
    unitLabels_[static_cast<std::size_t>(entry)] = unit;
  };
  const int minFlow = sizingEntry(mode, SizingRole::MinimumFlow);
  for (int entry = 0; entry < minFlow; ++entry) {
    auto* field = addField(entry, row, 1);
    auto* label = new QLabel(QString::fromLatin1(sizingEntryInfo(mode, entry).label), this);
    label->setBuddy(field);
    entries->addWidget(label, row, 0);
    addUnit(entry, row);
    ++row;
  }
  entries->addWidget(new QLabel(QStringLiteral("Minimum"), this), row, 1, Qt::AlignCenter);
  entries->addWidget(new QLabel(QStringLiteral("Maximum"), this), row, 2, Qt::AlignCenter);
  ++row;
  const int lastPair = gas ? sizingEntry(mode, SizingRole::MaximumPressure)
                           : sizingEntry(mode, SizingRole::MaximumTemperature);
  for (int entry = minFlow; entry <= lastPair; entry += 2) {
    auto* field = addField(entry, row, 1);
    addField(entry + 1, row, 2);
    auto* label = new QLabel(QString::fromLatin1(sizingEntryInfo(mode, entry).label), this);
    label->setBuddy(field);
    entries->addWidget(label, row, 0);
    addUnit(entry, row);
    unitLabels_[static_cast<std::size_t>(entry + 1)] = unitLabels_[static_cast<std::size_t>(entry)];
    ++row;
  }
  // Spare room goes below and to the right of the fields, not between them.
  entries->setRowStretch(row, 1);
  entries->setColumnStretch(4, 1);
  auto* fluidGroup = new QGroupBox(
      gas ? QStringLiteral("Proprietes du gaz") : QStringLiteral("Proprietes du liquide"), this);
  fluidGroup->setLayout(entries);

  // Lists.
  auto* lists = new QGridLayout;
  lists->setHorizontalSpacing(6);
  int listRow = 0;
  for (int s = 0; s < kSizingSelectionCount; ++s) {
    auto* box = new QComboBox(this);
    box->setObjectName(QString::fromLatin1(kSelectionObjectNames[s]));
    const SizingSelectionInfo info = sizingSelectionInfo(mode, s);
    for (int i = 0; i < info.count; ++i) box->addItem(qtText(info.names[i]));
    box->setMaxVisibleItems(20);
    boxes_[static_cast<std::size_t>(s)] = box;
    connect(box, &QComboBox::currentIndexChanged, this,
            [this, s](int index) { selectionChosen(s, index); });
    if (!sizingHasSelection(mode, s)) {
      box->hide();
      continue;
    }
    auto* label = new QLabel(QString::fromLatin1(selectionLabel(mode, s)), this);
    label->setBuddy(box);
    lists->addWidget(label, listRow, 0);
    lists->addWidget(box, listRow, 1);
    ++listRow;
  }
  filter_ = new QCheckBox(QStringLiteral("Filtre S"), this);
  filter_->setObjectName(QStringLiteral("sFilter"));
  lists->addWidget(filter_, listRow, 1);
  connect(filter_, &QCheckBox::toggled, this, [this](bool on) {
    if (filling_) return;
    session_.sFilter = on;
    invalidateResults();
  });
  auto* unitsGroup = new QGroupBox(QStringLiteral("Unites et materiaux"), this);
  unitsGroup->setLayout(lists);

  // Recommendation.
  auto* recommend = new QGridLayout;
  const char* choiceLabels[4] = {"Type:", "Taille:", "Monter:", "Decal. d'espac.:"};
  for (int c = 0; c < 4; ++c) {
    auto* box = new QComboBox(this);
    box->setObjectName(QString::fromLatin1(kChoiceObjectNames[c]));
    box->setMinimumContentsLength(20);
    choices_[static_cast<std::size_t>(c)] = box;
    auto* label = new QLabel(QString::fromLatin1(choiceLabels[c]), this);
    label->setBuddy(box);
    if (c == kSpacingBox) spacingLabel_ = label;
    recommend->addWidget(label, c, 0);
    recommend->addWidget(box, c, 1);
    connect(box, &QComboBox::activated, this, [this, c](int index) { choiceChosen(c, index); });
  }
  typeLabel_ = new QLabel(this);
  typeLabel_->setObjectName(QStringLiteral("typeLabel"));
  QFont boldFont = typeLabel_->font();
  boldFont.setBold(true);
  typeLabel_->setFont(boldFont);
  recommend->addWidget(typeLabel_, 4, 0, 1, 2);
  auto* recommendGroup = new QGroupBox(QStringLiteral("Capteur recommande"), this);
  recommendGroup->setLayout(recommend);

  // Buttons.
  auto* buttons = new QVBoxLayout;
  auto addButton = [&](const char* name, const char* text, auto handler) {
    auto* button = new QPushButton(QString::fromLatin1(text), this);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    buttons->addWidget(button);
    connect(button, &QPushButton::clicked, this, handler);
    return button;
  };
  addButton("calculate", "Calculer", [this] { calculate(); });
  composition_ = addButton("composition", "Comp gaz AGA8", [this] { openComposition(); });
  composition_->setVisible(gas);
  addButton("open", "Ouvrir", [this] { openSetup(); });
  addButton("save", "Enregistrer", [this] { save(); });
  addButton("saveAs", "Enregistrer sous", [this] { saveAs(); });
  print_ = addButton("print", "Imprimer", [this] { print(); });
  pdf_ = addButton("exportPdf", kExportPdfText, [this] { exportToPdf(); });
  addButton("manual", "Afficher manuel", [this] { showManual(this); });
  addButton("quit", "Quitter", [this] { reject(); });
  buttons->addStretch();

  auto* right = new QVBoxLayout;
  right->addWidget(unitsGroup);
  right->addWidget(recommendGroup);
  auto* top = new QHBoxLayout;
  top->addWidget(fluidGroup);
  top->addLayout(right);
  top->addLayout(buttons);

  tabs_ = new QTabBar(this);
  tabs_->setObjectName(QStringLiteral("resultTabs"));
  tabs_->setExpanding(false);
  for (const char* name : sizingTabNames(mode)) tabs_->addTab(QString::fromLatin1(name));
  connect(tabs_, &QTabBar::currentChanged, this, [this](int index) { showTab(index); });

  auto* frame = new QFrame(this);
  frame->setFrameShape(QFrame::StyledPanel);
  graph_ = new RepeatabilityGraph(this);
  graph_->hide();
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(tabs_);
  layout->addWidget(frame, 1);
  layout->addWidget(graph_, 1);

  display_ = new AGA8Disp(gas ? CalcOwner::GasTool : CalcOwner::LiquidTool, this);
  display_->setMinimumSize(560, display_->heightForRows(12) + 4);
  display_->setPageSource([this] { return sizingResultsPage(session_.results, currentPage()); });
  if (!display_->attach(frame)) {
    ErrorBox(kResultsAttachFailed, -1, this);
    QMetaObject::invokeMethod(this, &QDialog::reject, Qt::QueuedConnection);
  }
}

int XSelect::currentPage() const { return tabs_->currentIndex() + 1; }

void XSelect::showSession() {
  const SizingMode mode = session_.mode;
  filling_ = true;
  for (int s = 0; s < kSizingSelectionCount; ++s) {
    if (!sizingHasSelection(mode, s)) continue;
    QComboBox* box = boxes_[static_cast<std::size_t>(s)];
    const QSignalBlocker blocker(box);
    box->setCurrentIndex(session_.choices.safe(mode, s));
  }
  filter_->setChecked(session_.sFilter);
  for (int entry = 0; entry < sizingEntryCount(mode); ++entry) {
    const auto i = static_cast<std::size_t>(entry);
    const std::string text =
        session_.entries.set[i]
            ? sizingDisplayText(mode, entry, session_.entries.values[i], session_.choices)
            : std::string();
    if (QLineEdit* field = fields_[i]) {
      field->setText(qtText(text));
    } else {
      compositionTexts_[i - kSizingGasCompositionFirst] = text;
    }
  }
  filling_ = false;
  showUnitLabels();
}

void XSelect::showUnitLabels() {
  const SizingMode mode = session_.mode;
  for (int entry = 0; entry < sizingEntryCount(mode); ++entry) {
    QLabel* unit = unitLabels_[static_cast<std::size_t>(entry)];
    const SizingQuantity q = sizingEntryInfo(mode, entry).quantity;
    if (unit != nullptr && q != SizingQuantity::AbsoluteViscosity &&
        q != SizingQuantity::KinematicViscosity) {
      unit->setText(qtText(sizingUnitText(mode, q, session_.choices)));
    }
  }
  const bool noLiner = session_.choices.safe(mode, kSizingLinerMaterial) == 0;
  entryField(sizingEntry(mode, SizingRole::Liner))->setEnabled(!noLiner);
  boxes_[kSizingTimeUnit]->setEnabled(session_.choices.safe(mode, kSizingVolumeMassUnit) !=
                                      sizingFlowVelocityUnit(mode));
  composition_->setEnabled(mode == SizingMode::Gas &&
                           session_.choices.safe(mode, kSizingFluid) == kAga8CompositionGas);
}

std::vector<std::string> XSelect::fieldTexts() const {
  std::vector<std::string> texts(fields_.size());
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    texts[i] = fields_[i] != nullptr ? stdText(fields_[i]->text())
                                     : compositionTexts_[i - kSizingGasCompositionFirst];
  }
  return texts;
}

void XSelect::invalidateResults() {
  session_.results.valid = false;
  display_->setValid(false);
  graph_->setGraph({}, false);
  print_->setEnabled(false);
  pdf_->setEnabled(false);
  if (tabs_->count() > 2) {
    if (tabs_->currentIndex() == 2) tabs_->setCurrentIndex(0);
    tabs_->removeTab(2);
  }
}

void XSelect::fieldLeft(int entry) {
  QLineEdit* field = entryField(entry);
  const std::optional<double> typed = parseEntryText(stdText(field->text()));
  if (!typed) return;
  if (auto text = formatEntryValue(*typed)) field->setText(qtText(*text));
  const auto i = static_cast<std::size_t>(entry);
  const SizingQuantity q = sizingEntryInfo(session_.mode, entry).quantity;
  double value = sizingFromDisplay(session_.mode, q, *typed, session_.choices);
  if (q == SizingQuantity::Flow && session_.choices.safe(session_.mode, kSizingVolumeMassUnit) ==
                                       sizingFlowVelocityUnit(session_.mode)) {
    value = sizingFromDisplay(session_.mode, SizingQuantity::Velocity, *typed, session_.choices);
  }
  if (!session_.entries.set[i] ||
      std::fabs(value - session_.entries.values[i]) > 1e-12 * std::fabs(value))
    invalidateResults();
}

// A field measured in a unit that changed keeps its quantity: its text is
// rewritten in the new unit (flows between volume, mass and velocity units
// through the last results' densities and the pipe's bore; a flow that cannot
// be converted keeps its number).
void XSelect::convertFields(const SizingChoices& before) {
  const SizingMode mode = session_.mode;
  const SizingChoices& after = session_.choices;
  const std::vector<std::string> texts = fieldTexts();
  const int velocityUnit = sizingFlowVelocityUnit(mode);
  for (int entry = 0; entry < static_cast<int>(fields_.size()); ++entry) {
    QLineEdit* field = fields_[static_cast<std::size_t>(entry)];
    if (field == nullptr) continue;
    const std::optional<double> typed = parseEntryText(stdText(field->text()));
    if (!typed) continue;
    const SizingQuantity q = sizingEntryInfo(mode, entry).quantity;
    std::optional<double> shown;
    if (q == SizingQuantity::Flow) {
      const int from = before.safe(mode, kSizingVolumeMassUnit);
      const int to = after.safe(mode, kSizingVolumeMassUnit);
      const bool maximum = entry == sizingEntry(mode, SizingRole::MaximumFlow);
      SizingFlowBasis basis{flowArea(mode, texts, before), 0.0, 0.0};
      if (session_.results.valid) {
        const SizingPoint& p = session_.results.points[maximum ? 1 : 0];
        basis.densityLbPerCubicInch = p.density;
        basis.standardVolumeFactor = p.standardVolumeFactor;
      }
      double value = *typed;
      if (from == velocityUnit)
        value = sizingFromDisplay(mode, SizingQuantity::Velocity, value, before);
      const auto actual =
          sizingFlowToActual(mode, value, from, before.safe(mode, kSizingTimeUnit), basis);
      if (!actual) continue;
      auto converted =
          sizingFlowFromActual(mode, *actual, to, after.safe(mode, kSizingTimeUnit), basis);
      if (converted && to == velocityUnit)
        converted = sizingToDisplay(mode, SizingQuantity::Velocity, *converted, after);
      shown = converted;
    } else if (q != SizingQuantity::AbsoluteViscosity && q != SizingQuantity::KinematicViscosity) {
      shown = sizingToDisplay(mode, q, sizingFromDisplay(mode, q, *typed, before), after);
    }
    if (shown) {
      if (auto text = formatEntryValue(*shown)) field->setText(qtText(*text));
    }
  }
}

void XSelect::selectionChosen(int selection, int index) {
  if (index < 0 || filling_) return;
  const SizingMode mode = session_.mode;
  const SizingChoices before = session_.choices;
  session_.choices.index[static_cast<std::size_t>(selection)] = index;
  switch (selection) {
    case kSizingPipeMaterial:
    case kSizingLinerMaterial:
      invalidateResults();
      break;
    case kSizingFluid: {
      SizingEntries filled(mode);
      sizingFillFluid(mode, index, filled);
      for (std::size_t i = 0; i < filled.values.size(); ++i) {
        if (filled.set[i] && fields_[i] != nullptr) {
          fields_[i]->setText(qtText(
              sizingDisplayText(mode, static_cast<int>(i), filled.values[i], session_.choices)));
        }
      }
      invalidateResults();
      break;
    }
    default:
      convertFields(before);
      // Results in other units are the same results: shown again in the new ones.
      if (session_.results.valid) {
        session_.results.choices = session_.choices;
        showResults();
      }
      break;
  }
  showUnitLabels();
}

void XSelect::choiceChosen(int choice, int index) {
  if (index < 0 || !session_.results.valid) return;
  SizingUserChoices& user = session_.user;
  switch (choice) {
    case kTypeBox:
      user.type = index;
      user.size = -1;
      user.spacing = -1;
      break;
    case kSizeBox:
      // A size belongs to its type's family: choosing one keeps the type too.
      user.type = session_.results.type;
      user.size = session_.results.sizeOrder[static_cast<std::size_t>(index)];
      user.spacing = -1;
      break;
    case kMountBox:
      user.mount = index;
      user.spacing = -1;
      break;
    default:
      user.spacing = index;
      break;
  }
  calculate();
}

void XSelect::showTab(int index) {
  const bool graphPage = session_.mode == SizingMode::Liquid && index == 1;
  display_->setVisible(!graphPage);
  graph_->setVisible(graphPage);
  display_->setTabPage(index + 1);
  if (session_.results.valid) display_->refresh();
}

void XSelect::showResults() {
  const SizingResults& r = session_.results;
  filling_ = true;
  const std::vector<std::string> typeTexts = sizingTypeTexts(r);
  QComboBox* type = choices_[kTypeBox];
  type->clear();
  for (const std::string& t : typeTexts) type->addItem(qtText(t));
  type->setCurrentIndex(r.type);
  typeLabel_->setText(qtText(sizingTypeLabel(r)));
  QComboBox* size = choices_[kSizeBox];
  size->clear();
  for (int familyIndex : r.sizeOrder) size->addItem(qtText(sizingSizeName(r, familyIndex)));
  const auto at = std::find(r.sizeOrder.begin(), r.sizeOrder.end(), r.size);
  size->setCurrentIndex(static_cast<int>(at - r.sizeOrder.begin()));
  QComboBox* mount = choices_[kMountBox];
  mount->clear();
  for (const char* m : sizingMounts(r.mode)) mount->addItem(QString::fromLatin1(m));
  mount->setCurrentIndex(r.mount);
  QComboBox* spacing = choices_[kSpacingBox];
  spacing->clear();
  for (int s = 0; s < sizingSpacingCount(r); ++s) spacing->addItem(qtText(sizingSpacingText(r, s)));
  spacing->setCurrentIndex(r.spacing);
  const bool letters =
      sensorTypes(r.mode)[static_cast<std::size_t>(r.type)].family == SensorFamily::Universal648;
  spacingLabel_->setText(letters ? QStringLiteral("Lettre index:")
                                 : QStringLiteral("Decal. d'espac.:"));
  filling_ = false;

  if (r.anyProblem() && tabs_->count() == 2) {
    tabs_->addTab(QString::fromLatin1(kSizingProblemsTab));
  } else if (!r.anyProblem() && tabs_->count() > 2) {
    if (tabs_->currentIndex() == 2) tabs_->setCurrentIndex(0);
    tabs_->removeTab(2);
  }
  display_->setValid(true);
  if (r.mode == SizingMode::Liquid) graph_->setGraph(sizingRepeatabilityGraph(r), true);
  print_->setEnabled(true);
  pdf_->setEnabled(true);
  showTab(tabs_->currentIndex());
}

void XSelect::calculate() {
  if (calculating_) return;
  const SizingMode mode = session_.mode;
  const SizingValidation v = sizingValidate(mode, fieldTexts(), session_.choices);
  if (!v.ok()) {
    invalidateResults();
    ErrorBox(v.message, -1, this);
    if (QLineEdit* field = entryField(v.failedEntry)) {
      field->setFocus();
    } else {
      openComposition();
    }
    return;
  }
  calculating_ = true;
  session_.entries.values = v.values;
  for (std::size_t i = 0; i < v.empty.size(); ++i) session_.entries.set[i] = !v.empty[i];
  if (mode == SizingMode::Gas && session_.choices.safe(mode, kSizingFluid) == kAga8CompositionGas) {
    // Empty components count 0 and show so from now on.
    for (int c = kSizingGasCompositionFirst; c < kSizingGasEntryCount; ++c)
      session_.entries.set[static_cast<std::size_t>(c)] = true;
  }
  showSession();

  SizingInput input;
  input.mode = mode;
  input.choices = session_.choices;
  input.sFilter = session_.sFilter;
  input.entries = session_.entries;
  input.user = session_.user;
  const bool wait = mode == SizingMode::Gas;
  if (wait) showPleaseWait(QString::fromLatin1(kWaitText), nullptr, this);
  const std::optional<SizingFailure> failure = sizingCalculate(input, session_.results);
  if (wait) closePleaseWait();
  calculating_ = false;
  if (failure) {
    invalidateResults();
    ErrorBox(failure->message, failure->code, this);
    return;
  }
  showResults();
  writeSizingSettings(app_.settingsPath(), session_);
}

void XSelect::openComposition() {
  AGA8Comp::Texts texts;
  std::copy_n(compositionTexts_.begin(), kAga8CompositionEntryCount, texts.begin());
  AGA8Comp dialog(texts, this);
  dialog.exec();
  const AGA8Comp::Texts after = dialog.texts();
  if (!std::equal(after.begin(), after.end(), texts.begin())) {
    std::copy(after.begin(), after.end(), compositionTexts_.begin());
    invalidateResults();
  }
}

void XSelect::openSetup() {
  const QString path = chooseSetupFileToOpen(setupFileSaving(*this, app_, session_));
  if (!path.isEmpty()) openSetupFile(path);
}

bool XSelect::openSetupFile(const QString& path) {
  if (!setupFileSucceeded(openSizingSetupFile(stdText(path), session_), this)) return false;
  showSession();
  invalidateResults();
  writeSizingSettings(app_.settingsPath(), session_);
  return true;
}

void XSelect::save() { saveSetup(setupFileSaving(*this, app_, session_)); }

void XSelect::saveAs() { saveSetupAs(setupFileSaving(*this, app_, session_)); }

bool XSelect::saveSetupFile(const QString& path) {
  return setupFileSucceeded(saveSizingSetupFile(stdText(path), session_), this);
}

bool XSelect::printTo(QPrinter& printer) {
  const SizingResults& r = session_.results;
  if (!r.valid) return false;
  printer.setDocName(QString::fromLatin1(r.mode == SizingMode::Gas ? kSizingGasDocumentName
                                                                   : kSizingLiquidDocumentName));
  QPainter painter;
  if (!painter.begin(&printer)) return false;
  const int dpi = printer.logicalDpiY();
  const QRect paper(0, 0, printer.width(), printer.height());
  auto drawGrid = [&](const ResultsPage& page) {
    const QSize size = AGA8Disp::pageSize(page, &printer, dpi);
    const double scale =
        std::min({1.0, static_cast<double>(paper.width()) / std::max(1, size.width()),
                  static_cast<double>(paper.height()) / std::max(1, size.height())});
    painter.save();
    painter.scale(scale, scale);
    AGA8Disp::drawPage(painter, page, QPoint(0, 0), dpi);
    painter.restore();
  };
  drawGrid(sizingResultsPage(r, 1));
  printer.newPage();
  if (r.mode == SizingMode::Liquid) {
    painter.setRenderHint(QPainter::Antialiasing);
    drawRepeatabilityGraph(painter, paper, sizingRepeatabilityGraph(r), dpi);
  } else {
    drawGrid(sizingResultsPage(r, 2));
  }
  if (r.anyProblem()) {
    printer.newPage();
    drawGrid(sizingResultsPage(r, 3));
  }
  painter.end();
  return true;
}

void XSelect::print() {
  if (!session_.results.valid) return;
  QPrinter& printer = sharedPrinter();
  QPrintDialog dialog(&printer, this);
  dialog.setObjectName(QStringLiteral("resultsPrintDialog"));
  if (dialog.exec() != QDialog::Accepted) return;
  printTo(printer);
}

void XSelect::exportToPdf() {
  if (!session_.results.valid) return;
  const QString name = session_.mode == SizingMode::Gas ? QStringLiteral("outil_gaz.pdf")
                                                        : QStringLiteral("outil_liquide.pdf");
  exportPdf(this, setupFileFolder(session_.setupFilePath, app_.programDirectory), name,
            [this](QPrinter& printer) { return printTo(printer); });
}

void XSelect::reject() {
  // Closing waits for a running calculation to end.
  if (calculating_) return;
  QDialog::reject();
}

}  // namespace tarnlux::ui
