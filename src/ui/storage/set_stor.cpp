#include "storage/set_stor.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/app_state.h"
#include "app/error_box.h"
#include "app/manual.h"
#include "app/qt_text.h"
#include "app/screen_context.h"
#include "app/screen_parts.h"
#include "common/profile_file.h"
#include "common/result.h"

namespace tarnlux::ui {

namespace {

constexpr const char* kTitle = "Configuration memorisation Alarme/Alertes";
constexpr const char* kNotConnectedText = "Non connecte au compteur";
constexpr const char* kNoChannelText = "Pas de canal selectionne";
constexpr const char* kCollectingText = "Collecte infos du compteur, patientez....";

QLineEdit* readOnlyField(QWidget* parent, const char* name) {
  auto* field = new QLineEdit(parent);
  field->setObjectName(QString::fromLatin1(name));
  field->setReadOnly(true);
  return field;
}

}  // namespace

bool storageMeterReady(const AppState& app, QWidget* owner) {
  if (!app.connected) {
    ErrorBox(kNotConnectedText, -1, owner);
    return false;
  }
  if (app.meter.blockChannel() < 0) {
    ErrorBox(kNoChannelText, -1, owner);
    return false;
  }
  return true;
}

SET_STOR::SET_STOR(AppState& app, QWidget* parent) : QDialog(parent), app_(app) {
  setObjectName(QStringLiteral("SET_STOR"));
  setWindowTitle(QString::fromLatin1(kTitle));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  enable_ = new QCheckBox(QStringLiteral("Activer memorisation Alarmes/Alertes"), this);
  enable_->setObjectName(QStringLiteral("enable"));

  auto* memory = new QGroupBox(QStringLiteral("Memoire"), this);
  requested_ = new QLineEdit(memory);
  requested_->setObjectName(QStringLiteral("requestedMemory"));
  allocated_ = readOnlyField(memory, "allocatedMemory");
  percentFull_ = readOnlyField(memory, "percentFull");
  clear_ = new QCheckBox(QStringLiteral("Effacer memoire"), memory);
  clear_->setObjectName(QStringLiteral("clearMemory"));
  free_ = new QCheckBox(
      QStringLiteral("Memoire libre(Toutes les donnees memorisees seront perdues)"), memory);
  free_->setObjectName(QStringLiteral("freeMemory"));
  auto* memoryForm = new QFormLayout;
  memoryForm->addRow(QStringLiteral("Memoire requise(Kilo-octets):"), requested_);
  memoryForm->addRow(QStringLiteral("Memoire affectee(Kilo-octets):"), allocated_);
  memoryForm->addRow(QStringLiteral("% Memoire pleine:"), percentFull_);
  auto* memoryBox = new QVBoxLayout(memory);
  memoryBox->addLayout(memoryForm);
  memoryBox->addWidget(clear_);
  memoryBox->addWidget(free_);

  auto* info = new QGroupBox(QStringLiteral("Informations etat"), this);
  limitsCorrect_ = readOnlyField(info, "limitsCorrect");
  limitsMatch_ = readOnlyField(info, "limitsMatch");
  siteEnabled_ = readOnlyField(info, "siteEnabled");
  storageActive_ = readOnlyField(info, "storageActive");
  auto* infoForm = new QFormLayout(info);
  infoForm->addRow(QStringLiteral("Configuration des limites correcte:"), limitsCorrect_);
  infoForm->addRow(QStringLiteral("Concordance des limites site:"), limitsMatch_);
  infoForm->addRow(QStringLiteral("Site active:"), siteEnabled_);
  infoForm->addRow(QStringLiteral("Memorisation active:"), storageActive_);

  auto* applyButton = screenButton(this, "apply", "Appliquer");
  auto* manual = screenButton(this, "manual", "Afficher manuel");
  auto* cancel = screenButton(this, "cancel", "Annuler");
  auto* exit = screenButton(this, "exit", "Quitter");
  connect(applyButton, &QPushButton::clicked, this, &SET_STOR::apply);
  connect(manual, &QPushButton::clicked, this, [this] { showManual(this); });
  connect(cancel, &QPushButton::clicked, this, [this] {
    if (!guard_.requestCancel()) QDialog::reject();
  });
  connect(exit, &QPushButton::clicked, this, &SET_STOR::reject);

  const StatusLine statusLine = makeStatusLine(this);
  status_ = statusLine.text;
  if (auto* label = findChild<QLabel*>(QStringLiteral("statusLabel"))) {
    label->setText(QStringLiteral("Configuration etat:"));
  }
  progress_ = progressLineFor(status_);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(applyButton);
  buttons->addStretch(1);
  for (QPushButton* b : {manual, cancel, exit}) buttons->addWidget(b);
  auto* all = new QVBoxLayout(this);
  all->addWidget(enable_);
  all->addWidget(memory);
  all->addWidget(info);
  all->addLayout(buttons);
  all->addLayout(statusLine.row);

  rememberedKb_ = rememberedStorageKb(app_.settingsPath());
  requested_->setText(QString::number(rememberedKb_));
  QMetaObject::invokeMethod(this, &SET_STOR::readState, Qt::QueuedConnection);
}

SET_STOR::~SET_STOR() = default;

OperationContext SET_STOR::context() {
  OperationContext ctx = screenContext(this, &guard_.cancelFlag, &progress_);
  if (clock_ != nullptr) ctx.clock = clock_;
  return ctx;
}

void SET_STOR::readState() {
  if (!storageMeterReady(app_, this)) return;
  exitRequested_ = false;
  guard_.start([this] {
    progress_.start(kCollectingText);
    OperationContext ctx = context();
    const int rc =
        runStorageCommand(app_.link, app_.meter, app_.block, kStorageStateRequest, true, state_, ctx);
    status_->clear();
    if (rc == kOk) {
      blockRead_ = true;
      stateKnown_ = true;
      showState();
    } else if (rc == kCancelled) {
      status_->setText(QString::fromLatin1(kStorageCommandStoppedText));
    }
  });
  if (exitRequested_) QDialog::reject();
}

void SET_STOR::showState() {
  const AlarmStorageTexts texts = alarmStorageTexts(state_);
  requested_->setText(QString::number(rememberedKb_));
  enable_->setChecked(state_.enabled);
  allocated_->setText(qtText(texts.allocatedKb));
  percentFull_->setText(qtText(texts.percentFull));
  limitsCorrect_->setText(qtText(texts.limitsCorrect));
  limitsMatch_->setText(qtText(texts.limitsMatch));
  siteEnabled_->setText(qtText(texts.siteEnabled));
  storageActive_->setText(qtText(texts.storageActive));
}

void SET_STOR::apply() {
  if (guard_.running() || BusyFlag::isSet()) return;
  if (!storageMeterReady(app_, this)) return;
  AlarmStorageRequest request;
  request.enable = enable_->isChecked();
  request.memoryText = stdText(requested_->text());
  request.clear = clear_->isChecked();
  request.freeMemory = free_->isChecked();
  const AlarmStorageDecision decision = decideStorageApply(request, state_, rememberedKb_);
  if (!decision.refusal.empty()) {
    ErrorBox(decision.refusal, -1, this);
    if (decision.focusMemory) requested_->setFocus();
    return;
  }
  if (!decision.send) return;
  exitRequested_ = false;
  guard_.start([this, decision] {
    progress_.start(kCollectingText);
    OperationContext ctx = context();
    AlarmStorageState answered = state_;
    const int rc = runStorageCommand(app_.link, app_.meter, app_.block, decision.commandValue,
                                     !blockRead_, answered, ctx);
    status_->clear();
    if (rc == kCancelled) {
      status_->setText(QString::fromLatin1(kStorageCommandStoppedText));
      return;
    }
    if (rc != kOk) return;
    blockRead_ = true;
    stateKnown_ = true;
    state_ = answered;
    if (decision.requestedKb != rememberedKb_) {
      if (writeProfileString(app_.settingsPath(), kStorageSettingsSection, kStorageMemoryKey,
                             std::to_string(decision.requestedKb)) != 0) {
        StatusError("Impossible d'enregistrer la memoire requise", {}, {}, -1, status_);
      }
      rememberedKb_ = decision.requestedKb;
    }
    // What was done is not asked for again by the next Apply.
    clear_->setChecked(false);
    free_->setChecked(false);
    showState();
  });
  if (exitRequested_) QDialog::reject();
}

void SET_STOR::reject() {
  if (guard_.running()) {
    exitRequested_ = true;
    guard_.requestCancel();
    return;
  }
  QDialog::reject();
}

void openAlarmStorage(AppState& app, QWidget* parent) {
  SET_STOR screen(app, parent);
  screen.exec();
}

}  // namespace tarnlux::ui
