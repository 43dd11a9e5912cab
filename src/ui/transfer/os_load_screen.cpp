#include "transfer/os_load_screen.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/app_state.h"
#include "app/file_chooser.h"
#include "app/manual.h"
#include "app/qt_text.h"
#include "app/screen_context.h"
#include "app/screen_parts.h"
#include "common/profile_file.h"
#include "common/result.h"
#include "transfer/os_load.h"

namespace tarnlux::ui {

namespace {

constexpr const char* kLoadTitle = "Charger syst exploit";
constexpr const char* kOsFileFilter = "Fichiers systeme exploitation (*.fsh)";
constexpr int kOpenTimeoutMs = 5000;

bool askSpeedQuestion(QWidget* parent) {
  QMessageBox box(QMessageBox::Warning, QString::fromLatin1(kOsLoadSpeedCaption),
                  QString::fromLatin1(kOsLoadSpeedQuestion), QMessageBox::Ok | QMessageBox::Cancel,
                  parent);
  box.setObjectName(QStringLiteral("speedQuestion"));
  return box.exec() == QMessageBox::Ok;
}

SpeedQuestionPresenter& speedPresenter() {
  static SpeedQuestionPresenter presenter = askSpeedQuestion;
  return presenter;
}

QLabel* counterLabel(QWidget* parent, const char* name) {
  auto* label = new QLabel(QStringLiteral("0"), parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setFrameShape(QFrame::StyledPanel);
  label->setFrameShadow(QFrame::Sunken);
  label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("0000000 de 0000000")));
  return label;
}

}  // namespace

SpeedQuestionPresenter setSpeedQuestionPresenter(SpeedQuestionPresenter presenter) {
  SpeedQuestionPresenter previous = std::move(speedPresenter());
  speedPresenter() = presenter ? std::move(presenter) : SpeedQuestionPresenter(askSpeedQuestion);
  return previous;
}

Load::Load(AppState& app, QWidget* parent, std::function<void()> disconnect)
    : QDialog(parent), app_(app), disconnect_(std::move(disconnect)) {
  setObjectName(QStringLiteral("Load"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setWindowTitle(QString::fromLatin1(kLoadTitle));
  buildControls();
  const std::string settings = app_.settingsPath();
  directory_->setText(qtText(readProfileString(settings, kOsLoadDirectorySection, kOsLoadKey)));
  fileName_->setText(qtText(readProfileString(settings, kOsLoadFileSection, kOsLoadKey)));
  // Written back as the user changes them, not when the screen fills them.
  connect(directory_, &QLineEdit::textEdited, this, &Load::rememberEntries);
  connect(fileName_, &QLineEdit::textEdited, this, &Load::rememberEntries);
  QMetaObject::invokeMethod(this, &Load::openLinkIfIdle, Qt::QueuedConnection);
}

Load::~Load() {
  if (openedLink_ && app_.link.isOpen()) {
    OperationContext ctx = screenContext(nullptr, nullptr, nullptr, true);
    app_.link.closeLink(false, ctx);
  }
}

void Load::buildControls() {
  auto* group = new QGroupBox(QStringLiteral("Charger fichier"), this);
  auto* fileGrid = new QGridLayout(group);
  directory_ = new QLineEdit(group);
  directory_->setObjectName(QStringLiteral("directory"));
  fileName_ = new QLineEdit(group);
  fileName_->setObjectName(QStringLiteral("fileName"));
  browse_ = screenButton(group, "browse", "Naviguer");
  fileGrid->addWidget(new QLabel(QStringLiteral("Repert.:"), group), 0, 0);
  fileGrid->addWidget(directory_, 0, 1);
  fileGrid->addWidget(new QLabel(QStringLiteral("Nom fich.:"), group), 1, 0);
  fileGrid->addWidget(fileName_, 1, 1);
  fileGrid->addWidget(browse_, 1, 2);
  directory_->setMinimumWidth(directory_->fontMetrics().horizontalAdvance(QLatin1Char('M')) * 30);

  auto* counters = new QGridLayout;
  retries_ = counterLabel(this, "retries");
  totalRetries_ = counterLabel(this, "totalRetries");
  block_ = counterLabel(this, "block");
  bytesSent_ = counterLabel(this, "bytesSent");
  counters->addWidget(new QLabel(QStringLiteral("Tentatives:"), this), 0, 0);
  counters->addWidget(retries_, 0, 1);
  counters->addWidget(new QLabel(QStringLiteral("Total tentatives:"), this), 0, 2);
  counters->addWidget(totalRetries_, 0, 3);
  counters->addWidget(new QLabel(QStringLiteral("Paquet:"), this), 1, 0);
  counters->addWidget(block_, 1, 1);
  counters->addWidget(new QLabel(QStringLiteral("Octets envoyes:"), this), 1, 2);
  counters->addWidget(bytesSent_, 1, 3);
  counters->setColumnStretch(4, 1);

  send_ = screenButton(this, "send", "Envoyer");
  stop_ = screenButton(this, "stop", "Stop");
  QPushButton* manual = screenButton(this, "manual", "Afficher manuel");
  QPushButton* quit = screenButton(this, "quit", "Quitter");
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(send_);
  buttons->addWidget(stop_);
  buttons->addStretch(1);
  buttons->addWidget(manual);
  buttons->addWidget(quit);

  const StatusLine status = makeStatusLine(this);
  status_ = status.text;

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(group);
  layout->addLayout(counters);
  layout->addLayout(buttons);
  layout->addLayout(status.row);

  connect(browse_, &QPushButton::clicked, this, &Load::browse);
  connect(send_, &QPushButton::clicked, this, &Load::send);
  connect(stop_, &QPushButton::clicked, this, &Load::stop);
  connect(manual, &QPushButton::clicked, this, [this] { showManual(this); });
  connect(quit, &QPushButton::clicked, this, &Load::reject);
  stop_->setEnabled(false);
}

void Load::openLinkIfIdle() {
  // Connected, the screen uses the connection's link; otherwise its own.
  if (app_.connected || app_.link.isOpen()) return;
  OperationContext ctx = screenContext(this, &guard_.cancelFlag, nullptr);
  if (app_.link.openLink(app_.linkSettings, false, kOpenTimeoutMs, ctx) == kOk) openedLink_ = true;
}

void Load::rememberEntries() {
  const std::string settings = app_.settingsPath();
  writeProfileString(settings, kOsLoadDirectorySection, kOsLoadKey, stdText(directory_->text()));
  writeProfileString(settings, kOsLoadFileSection, kOsLoadKey, stdText(fileName_->text()));
}

void Load::browse() {
  if (guard_.running()) return;
  const QString chosen = chooseFileToOpen(this, QString::fromLatin1(kOsFileFilter),
                                          QString::fromLatin1(kLoadTitle), directory_->text().trimmed(),
                                          fileName_->text().trimmed());
  if (chosen.isEmpty()) return;
  const QFileInfo info(chosen);
  directory_->setText(info.absolutePath());
  fileName_->setText(info.fileName());
  rememberEntries();
}

void Load::showCounters(const OsLoadCounters& counters) {
  retries_->setText(QString::number(counters.retries));
  totalRetries_->setText(QString::number(counters.totalRetries));
  block_->setText(QString::number(counters.block));
  bytesSent_->setText(qtText(bytesSentText(counters)));
}

void Load::setInputsEnabled(bool enabled) {
  directory_->setEnabled(enabled);
  fileName_->setEnabled(enabled);
  browse_->setEnabled(enabled);
  send_->setEnabled(enabled);
  stop_->setEnabled(!enabled);
}

void Load::send() {
  guard_.start([this] {
    setInputsEnabled(false);
    ProgressLine progress = progressLineFor(status_);
    OperationContext ctx = screenContext(this, &guard_.cancelFlag, &progress);
    if (clock_ != nullptr) ctx.clock = clock_;
    if (!app_.connected && !app_.link.isOpen() &&
        app_.link.openLink(app_.linkSettings, false, kOpenTimeoutMs, ctx) == kOk) {
      openedLink_ = true;
    }
    if (app_.link.isOpen()) {
      const LinkSettings& line = app_.connected ? app_.lineAtConnect : app_.linkSettings;
      OsLoadRequest request;
      request.directory = stdText(directory_->text());
      request.fileName = stdText(fileName_->text());
      request.lineBaud = line.baudRate;
      request.serialLine = app_.link.kind() == TransportKind::Serial;
      request.confirmSlowLine = [this] { return speedPresenter()(this); };
      request.showCounters = [this](const OsLoadCounters& counters) { showCounters(counters); };
      OsLoadResult result;
      const int rc = loadOperatingSystem(app_.link, request, result, ctx);
      showCounters(result.counters);
      if (result.stage == OsLoadStage::Handshake || result.stage == OsLoadStage::Transfer) {
        status_->setText(qtText(result.status));
      }
      // A link that failed under the transfer is given up as a disconnect does.
      if (rc > 0 && result.stage == OsLoadStage::Transfer) {
        if (app_.connected && disconnect_) {
          disconnect_();
        } else if (openedLink_) {
          OperationContext quiet = screenContext(nullptr, nullptr, nullptr, true);
          app_.link.closeLink(false, quiet);
          openedLink_ = false;
        }
      }
    }
    setInputsEnabled(true);
  });
  if (closeRequested_) {
    closeRequested_ = false;
    QDialog::reject();
  }
}

void Load::stop() { guard_.requestCancel(); }

void Load::reject() {
  // During a transfer closing only stops it; the screen closes once it ends.
  if (guard_.running()) {
    closeRequested_ = true;
    guard_.requestCancel();
    return;
  }
  QDialog::reject();
}

void openOsLoadScreen(AppState& app, QWidget* parent, std::function<void()> disconnect) {
  Load screen(app, parent, std::move(disconnect));
  screen.exec();
}

}  // namespace tarnlux::ui
