#include "transfer/sites.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/app_state.h"
#include "app/manual.h"
#include "app/qt_text.h"
#include "app/screen_context.h"
#include "common/paths.h"
#include "common/profile_file.h"
#include "common/result.h"

namespace tarnlux::ui {

namespace {

std::function<void()>& disconnectHook() {
  static std::function<void()> hook;
  return hook;
}

QString latin(const char* text) { return QString::fromLatin1(text); }

}  // namespace

void Sites::setDisconnect(std::function<void()> disconnect) { disconnectHook() = std::move(disconnect); }

Sites::Sites(AppState& app, QWidget* parent) : QDialog(parent), app_(app) {
  setObjectName(QStringLiteral("Sites"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setWindowTitle(latin(kSitesTitle));
  buildControls();
  progress_ = progressLineFor(status_);
  confirm_ = [this](const std::string& text, const std::string& caption) {
    return QMessageBox::warning(this, qtText(caption), qtText(text), QMessageBox::Ok | QMessageBox::Cancel,
                                QMessageBox::Cancel) == QMessageBox::Ok;
  };
  directory_->setText(qtText(rememberedSiteDirectory(app_.settingsPath())));
  fileName_->setText(qtText(rememberedSiteFileName(app_.settingsPath())));
  QMetaObject::invokeMethod(this, &Sites::readSites, Qt::QueuedConnection);
}

Sites::~Sites() {
  if (openedLink_) {
    OperationContext closing;
    closing.quiet = true;
    app_.link.closeLink(false, closing);
  }
}

void Sites::buildControls() {
  const auto label = [this](const char* text) { return new QLabel(latin(text), this); };
  const auto value = [this](const char* name) {
    auto* l = new QLabel(QStringLiteral("0"), this);
    l->setObjectName(latin(name));
    l->setMinimumWidth(80);
    return l;
  };
  const auto button = [this](const char* name, const char* text) {
    auto* b = new QPushButton(latin(text), this);
    b->setObjectName(latin(name));
    b->setAutoDefault(false);
    return b;
  };

  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("status"));
  status_->setFrameShape(QFrame::StyledPanel);
  status_->setFrameShadow(QFrame::Sunken);
  status_->setMinimumWidth(460);
  auto* statusRow = new QHBoxLayout;
  statusRow->addWidget(label("Etat:"));
  statusRow->addWidget(status_, 1);

  auto* direction = new QGroupBox(latin("Direction transf."), this);
  receive_ = new QRadioButton(latin("Recevoir du compteur"), direction);
  receive_->setObjectName(QStringLiteral("receive"));
  send_ = new QRadioButton(latin("Env. au compteur"), direction);
  send_->setObjectName(QStringLiteral("send"));
  receive_->setChecked(true);
  auto* directionLayout = new QVBoxLayout(direction);
  directionLayout->addWidget(receive_);
  directionLayout->addWidget(send_);
  connect(receive_, &QRadioButton::toggled, this, [this] { directionChanged(); });

  siteName_ = new QComboBox(this);
  siteName_->setObjectName(QStringLiteral("siteName"));
  siteName_->setMinimumWidth(160);
  connect(siteName_, &QComboBox::currentIndexChanged, this, [this] { proposeFileName(); });
  auto* siteRow = new QHBoxLayout;
  siteRow->addWidget(label("Nom site:"));
  siteRow->addWidget(siteName_, 1);

  auto* file = new QGroupBox(latin("Fichier site"), this);
  directory_ = new QLineEdit(file);
  directory_->setObjectName(QStringLiteral("directory"));
  directory_->setMaxLength(256);
  fileName_ = new QLineEdit(file);
  fileName_->setObjectName(QStringLiteral("fileName"));
  fileName_->setMaxLength(12);
  browse_ = button("browse", "Naviguer");
  connect(browse_, &QPushButton::clicked, this, &Sites::browse);
  auto* fileLayout = new QGridLayout(file);
  fileLayout->addWidget(new QLabel(latin("Repert.:"), file), 0, 0);
  fileLayout->addWidget(directory_, 0, 1);
  fileLayout->addWidget(browse_, 0, 2);
  fileLayout->addWidget(new QLabel(latin("Nom fich.:"), file), 1, 0);
  fileLayout->addWidget(fileName_, 1, 1);

  packet_ = value("packet");
  characters_ = value("characters");
  characters_->clear();
  retries_ = value("retries");
  totalRetries_ = value("totalRetries");
  auto* counters = new QGridLayout;
  counters->addWidget(label("Paquet:"), 0, 0);
  counters->addWidget(packet_, 0, 1);
  counters->addWidget(characters_, 0, 2);
  counters->addWidget(label("Tentatives:"), 1, 0);
  counters->addWidget(retries_, 1, 1);
  counters->addWidget(label("Total tentatives:"), 1, 2);
  counters->addWidget(totalRetries_, 1, 3);

  start_ = button("start", "OK");
  stop_ = button("stop", "Stop");
  stop_->setEnabled(false);
  auto* manual = button("manual", "Afficher manuel");
  auto* exit = button("exit", "Quitter");
  connect(start_, &QPushButton::clicked, this, &Sites::startTransfer);
  connect(stop_, &QPushButton::clicked, this, &Sites::stop);
  connect(manual, &QPushButton::clicked, this, [this] { showManual(this); });
  connect(exit, &QPushButton::clicked, this, &Sites::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(start_);
  buttons->addWidget(stop_);
  buttons->addWidget(manual);
  buttons->addWidget(exit);

  auto* top = new QHBoxLayout;
  top->addWidget(direction);
  auto* right = new QVBoxLayout;
  right->addLayout(siteRow);
  right->addLayout(counters);
  top->addLayout(right, 1);

  auto* all = new QVBoxLayout(this);
  all->addLayout(statusRow);
  all->addLayout(top);
  all->addWidget(file);
  all->addLayout(buttons);
}

OperationContext Sites::context() {
  OperationContext ctx = screenContext(this, &guard_.cancelFlag, &progress_);
  if (clock_ != nullptr) ctx.clock = clock_;
  return ctx;
}

void Sites::readSites() {
  guard_.start([this] {
    start_->setEnabled(false);
    progress_.start(kCollectingMeterInfoText);
    status_->setText(latin(kCollectingMeterInfoText));
    OperationContext ctx = context();
    int rc = kOk;
    if (!app_.link.isOpen()) {
      rc = app_.link.openLink(app_.linkSettings, false, 5000, ctx);
      openedLink_ = rc == kOk;
    }
    std::string status = kCommunicationFailedText;
    if (rc == kOk) rc = readSiteCatalogue(app_.link, catalogue_, status, ctx);
    siteName_->clear();
    for (const SiteEntry& site : catalogue_.sites) {
      siteName_->addItem(qtText(site.name + " [" + std::to_string(site.number) + "]"), site.number);
    }
    status_->setText(qtText(status));
    start_->setEnabled(rc == kOk);
  });
  if (exitRequested_) done(QDialog::Rejected);
}

void Sites::directionChanged() {
  siteName_->setEnabled(receive_->isChecked());
  proposeFileName();
}

void Sites::proposeFileName() {
  const int index = siteName_->currentIndex();
  if (!receive_->isChecked() || index < 0 || index >= static_cast<int>(catalogue_.sites.size())) return;
  const SiteEntry& site = catalogue_.sites[static_cast<std::size_t>(index)];
  fileName_->setText(qtText(siteFileName(site.name, site.number)));
}

void Sites::browse() {
  if (guard_.running()) return;
  if (receive_->isChecked()) {
    const QString folder = QFileDialog::getExistingDirectory(this, latin("Repert.:"), directory_->text());
    if (!folder.isEmpty()) directory_->setText(folder);
    return;
  }
  const QString path = QFileDialog::getOpenFileName(this, latin("Fichier site"), directory_->text(),
                                                    QStringLiteral("Fichiers site (*.0*);;Tous (*)"));
  if (path.isEmpty()) return;
  const int slash = path.lastIndexOf(QLatin1Char('/'));
  directory_->setText(path.left(slash));
  fileName_->setText(path.mid(slash + 1));
}

void Sites::startTransfer() {
  if (guard_.running()) return;
  guard_.start([this] { transfer(); });
  if (exitRequested_) done(QDialog::Rejected);
}

void Sites::transfer() {
  const std::string directory = trimmed(directory_->text().toStdString());
  const std::string fileName = trimmed(fileName_->text().toStdString());
  // The entries are remembered whatever the transfer's outcome.
  rememberSiteFile(app_.settingsPath(), directory, fileName);
  start_->setEnabled(false);
  stop_->setEnabled(true);
  showProgress(SiteProgress{});
  SiteTransferHooks hooks;
  hooks.progress = [this](const SiteProgress& p) { showProgress(p); };
  hooks.confirm = confirm_;
  OperationContext ctx = context();
  if (receive_->isChecked()) {
    const int index = siteName_->currentIndex();
    if (index < 0 || index >= static_cast<int>(catalogue_.sites.size())) {
      status_->setText(latin(kNoSitesListedText));
    } else {
      const SiteEntry site = catalogue_.sites[static_cast<std::size_t>(index)];
      progress_.start("Reception info site, patientez...");
      outcome_ = receiveSite(app_.link, catalogue_.meter, site.number, site.name, directory, fileName, hooks, ctx);
    }
  } else {
    const std::string path = fileName.empty() ? std::string() : withTrailingSeparator(directory) + fileName;
    progress_.start("Envoi info site, patientez...");
    outcome_ = sendSite(app_.link, catalogue_.meter, path, hooks, ctx);
  }
  status_->setText(qtText(outcome_.status));
  stop_->setEnabled(false);
  start_->setEnabled(true);
  if (outcome_.transportFailed) {
    start_->setEnabled(false);
    if (disconnectHook() && app_.connected) disconnectHook()();
  }
}

void Sites::showProgress(const SiteProgress& p) {
  packet_->setText(QString::number(p.packet));
  characters_->setText(qtText(p.characters));
  retries_->setText(QString::number(p.retries));
  totalRetries_->setText(QString::number(p.totalRetries));
}

void Sites::stop() { guard_.requestCancel(); }

void Sites::reject() {
  // Quitter during a transfer stops it; the screen closes once it has ended.
  if (guard_.running()) {
    exitRequested_ = true;
    guard_.requestCancel();
    return;
  }
  QDialog::reject();
}

void openSitesScreen(AppState& app, QWidget* parent) {
  Sites screen(app, parent);
  screen.exec();
}

}  // namespace tarnlux::ui
