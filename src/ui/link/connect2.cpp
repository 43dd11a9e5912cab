#include "link/connect2.h"

#include <QCloseEvent>
#include <QFocusEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <thread>

#include "app/app_state.h"
#include "app/error_box.h"
#include "app/manual.h"
#include "app/message_pump.h"
#include "app/qt_text.h"
#include "app/screen_context.h"
#include "common/result.h"

namespace tarnlux::ui {

namespace {

constexpr const char* kTitle = "Connecter";
constexpr const char* kStatusLabel = "Etat connexion:";
constexpr const char* kChannelGroup = "Sel canal";
constexpr const char* kChannelPrefix = "Canal ";
constexpr const char* kNameGroup = "Empl/No pt m:";
constexpr const char* kConnecting = "Connexion a compteur, patientez....";
constexpr const char* kChooseChannel = "Selectionner canal";
constexpr const char* kEnterName = "Saisir empl comptr/No pt mesure";
constexpr const char* kCancelledText = "Connexion annulee";
constexpr const char* kCannotAddName = "Impossible d'ajouter le nom du compteur";

// The channel question waits on the user: a short sleep between pumps keeps
// the wait from spinning.
constexpr auto kChoiceIdle = std::chrono::milliseconds(10);

}  // namespace

connect2::connect2(AppState& app, QWidget* parent)
    : QDialog(parent), app_(app), listPath_(app.programDirectory + SiteNameList::kFileName) {
  setObjectName("connect2");
  setWindowTitle(QString::fromLatin1(kTitle));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  auto* statusLabel = new QLabel(QString::fromLatin1(kStatusLabel), this);
  statusLabel->setObjectName("statusLabel");
  status_ = new QLabel(this);
  status_->setObjectName("status");
  status_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  status_->setMinimumWidth(
      status_->fontMetrics().horizontalAdvance(QString::fromLatin1(kConnecting) + "---") + 12);
  progress_ = progressLineFor(status_);

  channelGroup_ = new QGroupBox(QString::fromLatin1(kChannelGroup), this);
  channelGroup_->setObjectName("channelGroup");
  auto* channelLayout = new QHBoxLayout(channelGroup_);
  for (int n = 0; n < 4; ++n) {
    auto* button = new QRadioButton(QString::fromLatin1(kChannelPrefix) + QString::number(n + 1),
                                    channelGroup_);
    button->setObjectName(QStringLiteral("channel%1").arg(n + 1));
    button->setEnabled(false);
    button->installEventFilter(this);
    channelLayout->addWidget(button);
    channels_[static_cast<std::size_t>(n)] = button;
  }

  auto* nameGroup = new QGroupBox(QString::fromLatin1(kNameGroup), this);
  nameGroup->setObjectName("nameGroup");
  siteName_ = new QComboBox(nameGroup);
  siteName_->setObjectName("siteName");
  siteName_->setEditable(true);
  // The list is kept sorted by the name list itself; typed names are taken by
  // OK, not by Enter.
  siteName_->setInsertPolicy(QComboBox::NoInsert);
  siteName_->setMinimumContentsLength(16);
  siteName_->setEnabled(false);
  remove_ = new QPushButton(QStringLiteral("Retirer"), nameGroup);
  remove_->setObjectName("remove");
  remove_->setAutoDefault(false);
  remove_->setEnabled(false);
  auto* nameLayout = new QHBoxLayout(nameGroup);
  nameLayout->addWidget(siteName_, 1);
  nameLayout->addWidget(remove_);

  ok_ = new QPushButton(QStringLiteral("OK"), this);
  ok_->setObjectName("ok");
  ok_->setDefault(true);
  auto* manual = new QPushButton(QStringLiteral("Afficher manuel"), this);
  manual->setObjectName("manual");
  manual->setAutoDefault(false);
  auto* cancel = new QPushButton(QStringLiteral("Annuler"), this);
  cancel->setObjectName("cancel");
  cancel->setAutoDefault(false);
  connect(ok_, &QPushButton::clicked, this, &connect2::accept);
  connect(manual, &QPushButton::clicked, this, [this] { showManual(this); });
  connect(cancel, &QPushButton::clicked, this, &connect2::reject);
  connect(remove_, &QPushButton::clicked, this, &connect2::removeName);

  auto* statusRow = new QHBoxLayout;
  statusRow->addWidget(statusLabel);
  statusRow->addWidget(status_, 1);

  auto* left = new QVBoxLayout;
  left->addLayout(statusRow);
  left->addWidget(channelGroup_);
  left->addWidget(nameGroup);
  left->addStretch();

  auto* buttons = new QVBoxLayout;
  buttons->addWidget(ok_);
  buttons->addWidget(manual);
  buttons->addWidget(cancel);
  buttons->addStretch();

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(14, 14, 14, 14);
  layout->setSpacing(18);
  layout->addLayout(left, 1);
  layout->addLayout(buttons);

  loadNameList();
  currentName_.clear();
  step_ = Step::Connect;
}

connect2::~connect2() = default;

void connect2::loadNameList() {
  const int rc = names_.load(listPath_);
  if (rc != kOk) {
    listWritable_ = false;
    ErrorBox(siteListOpenFailedText(listPath_), rc, this);
    return;
  }
  for (const std::string& name : names_.names()) {
    const int before = siteName_->count();
    siteName_->addItem(qtText(name));
    if (siteName_->count() != before + 1) {
      ErrorBox(kCannotAddName, -1, this);
      break;
    }
  }
  siteName_->setCurrentIndex(-1);
  siteName_->clearEditText();
}

void connect2::setStatus(const char* text) { status_->setText(QString::fromLatin1(text)); }

void connect2::accept() {
  if (choosing_) {
    // The connect sequence is waiting on the channel question.
    if (checkedChannel() >= 0) channelAnswer_ = ChannelAnswer::Chosen;
    return;
  }
  if (step_ == Step::Connect) {
    guard_.start([this] { connectStep(); });
  } else {
    guard_.start([this] { namingStep(); });
  }
}

void connect2::connectStep() {
  setChannelButtonsEnabled(0);
  progress_.start(kConnecting);
  OperationContext ctx = screenContext(this, &guard_.cancelFlag, &progress_);
  if (clock_ != nullptr) ctx.clock = clock_;
  const ChooseChannel choose = [this](unsigned selectable) { return askForChannel(selectable); };

  const int rc =
      connectToMeter(app_.link, app_.linkSettings, app_.meter, app_.block, choose, outcome_, ctx);
  if (rc != kOk) {
    // The link is closed; the failing step has shown its own message.
    if (rc == kCancelled) {
      setStatus(kCancelledText);
    } else {
      status_->clear();
    }
    closeIfAsked();
    return;
  }
  if (closeIfAsked()) return;
  if (outcome_.nameInBlock) {
    app_.connectOutcome = outcome_;
    QDialog::accept();
    return;
  }
  enterNaming();
}

int connect2::askForChannel(unsigned selectable) {
  setStatus(kChooseChannel);
  setChannelButtonsEnabled(selectable);
  channelAnswer_ = ChannelAnswer::Waiting;
  choosing_ = true;
  // A channel still ticked from an earlier attempt (and selectable now) stands;
  // otherwise the keyboard starts on the first selectable one.
  if (checkedChannel() < 0) {
    for (QRadioButton* button : channels_) {
      if (button->isEnabled()) {
        button->setFocus();
        break;
      }
    }
  }
  while (channelAnswer_ == ChannelAnswer::Waiting && !guard_.cancelFlag.load()) {
    MessagePump::pump();
    if (channelAnswer_ == ChannelAnswer::Waiting) std::this_thread::sleep_for(kChoiceIdle);
  }
  choosing_ = false;
  const int channel = channelAnswer_ == ChannelAnswer::Chosen ? checkedChannel() : -1;
  setChannelButtonsEnabled(0);
  if (channel < 0) return kCancelled;
  progress_.start(kConnecting);
  return channel;
}

int connect2::checkedChannel() const {
  for (int n = 0; n < 4; ++n) {
    const QRadioButton* button = channels_[static_cast<std::size_t>(n)];
    if (button->isChecked() && button->isEnabled()) return n;
  }
  return -1;
}

void connect2::setChannelButtonsEnabled(unsigned mask) {
  for (int n = 0; n < 4; ++n) channels_[static_cast<std::size_t>(n)]->setEnabled((mask >> n & 1u) != 0);
}

void connect2::enterNaming() {
  step_ = Step::Naming;
  setStatus(kEnterName);
  siteName_->setEnabled(true);
  remove_->setEnabled(true);
  siteName_->setFocus(Qt::OtherFocusReason);
  if (QLineEdit* edit = siteName_->lineEdit()) edit->selectAll();
}

void connect2::leaveNaming() {
  step_ = Step::Connect;
  siteName_->setEnabled(false);
  remove_->setEnabled(false);
}

void connect2::namingStep() {
  std::string name;
  const SiteNameFault fault = checkSiteName(stdText(siteName_->currentText()), name);
  if (fault != SiteNameFault::None) {
    ErrorBox(siteNameMessage(fault), -1, this);
    siteName_->setFocus(Qt::OtherFocusReason);
    return;
  }
  currentName_ = name;
  if (names_.insert(name)) {
    const auto& list = names_.names();
    const auto at = std::lower_bound(list.begin(), list.end(), name);
    siteName_->insertItem(static_cast<int>(at - list.begin()), qtText(name));
    saveNameList();
  }
  siteName_->setEditText(qtText(name));

  progress_.start(kConnecting);
  OperationContext ctx = screenContext(this, &guard_.cancelFlag, &progress_);
  if (clock_ != nullptr) ctx.clock = clock_;
  const int rc = storeSiteName(app_.link, name, app_.meter, app_.block, ctx);
  if (rc != kOk) {
    // The store closed the link: without it the name can never be stored, so
    // the screen goes back to connecting instead of asking again.
    leaveNaming();
    app_.meter.meterFlags = 0;
    app_.link.meterFlags = 0;
    if (rc == kCancelled) {
      setStatus(kCancelledText);
    } else {
      status_->clear();
    }
    closeIfAsked();
    return;
  }
  if (closeIfAsked()) return;
  app_.connectOutcome = outcome_;
  QDialog::accept();
}

void connect2::removeName() {
  std::string name;
  const SiteNameFault fault = checkSiteName(stdText(siteName_->currentText()), name);
  if (fault != SiteNameFault::None) {
    ErrorBox(siteNameMessage(fault), -1, this);
    siteName_->setFocus(Qt::OtherFocusReason);
    return;
  }
  siteName_->setCurrentIndex(-1);
  siteName_->clearEditText();
  siteName_->setFocus(Qt::OtherFocusReason);
  if (name == currentName_) currentName_.clear();
  if (names_.remove(name)) {
    const int index = siteName_->findText(qtText(name), Qt::MatchFixedString | Qt::MatchCaseSensitive);
    if (index >= 0) siteName_->removeItem(index);
    siteName_->clearEditText();
    saveNameList();
  }
}

bool connect2::saveNameList() {
  if (!listWritable_) return false;
  const int rc = names_.save(listPath_);
  if (rc == kOk) return true;
  const std::string text =
      isSiteListOpenFailure(rc) ? siteListOpenFailedText(listPath_) : siteListWriteFailedText(listPath_);
  ErrorBox(text, rc, this);
  return false;
}

void connect2::reject() {
  if (choosing_) channelAnswer_ = ChannelAnswer::Cancelled;
  if (guard_.requestCancel()) return;
  finishCancelled();
}

bool connect2::eventFilter(QObject* watched, QEvent* event) {
  // Moving through the channels with the keyboard picks the channel reached,
  // so Enter answers the question with it.
  if (choosing_ && event->type() == QEvent::FocusIn) {
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason) {
      if (auto* button = qobject_cast<QRadioButton*>(watched); button != nullptr && button->isEnabled()) {
        button->setChecked(true);
      }
    }
  }
  return QDialog::eventFilter(watched, event);
}

void connect2::closeEvent(QCloseEvent* event) {
  if (choosing_) channelAnswer_ = ChannelAnswer::Cancelled;
  if (guard_.requestCancel()) {
    closeAsked_ = true;
    event->ignore();
    return;
  }
  event->ignore();
  finishCancelled();
}

bool connect2::closeIfAsked() {
  if (!closeAsked_) return false;
  closeAsked_ = false;
  finishCancelled();
  return true;
}

void connect2::finishCancelled() {
  if (app_.link.isOpen()) {
    OperationContext ctx = screenContext(this, nullptr, nullptr, true);
    app_.link.closeLink(false, ctx);
  }
  // Not connected: no screen may take these for a meter's.
  app_.meter.meterFlags = 0;
  app_.link.meterFlags = 0;
  QDialog::reject();
}

}  // namespace tarnlux::ui
