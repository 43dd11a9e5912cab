#include "link/setupcom.h"

#include <QComboBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/app_state.h"
#include "app/port_choice.h"
#include "app/error_box.h"
#include "app/manual.h"
#include "app/qt_text.h"
#include "app/wait_dialog.h"
#include "common/profile_file.h"
#include "link/comm_settings.h"

namespace tarnlux::ui {

namespace {

constexpr const char* kTitle = "Config communication ";
constexpr const char* kExaminingPorts = "Verif config sys. Patientez...";
constexpr const char* kBadIpAddress = "Adr. IP incorrecte";
constexpr const char* kBadIpPort = "No port IP incorrect";
constexpr const char* kCannotWrite = "Impossible d'ecrire le fichier de configuration ";
constexpr std::size_t kMaxIpAddress = 15;

QComboBox* makeList(QWidget* parent, const char* name, const std::vector<std::string>& choices) {
  auto* list = new QComboBox(parent);
  list->setObjectName(name);
  for (const std::string& choice : choices) list->addItem(qtText(choice));
  return list;
}

const std::string& choiceAt(const std::vector<std::string>& choices, int index) {
  return choices[static_cast<std::size_t>(index)];
}

int indexOf(const std::vector<std::string>& choices, const std::string& value) {
  for (std::size_t i = 0; i < choices.size(); ++i) {
    if (choices[i] == value) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace

SETUPCOM::SETUPCOM(AppState& app, QWidget* parent) : QDialog(parent), app_(app), copy_(app.linkSettings) {
  setObjectName("SETUPCOM");
  setWindowTitle(QString::fromLatin1(kTitle));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  port_ = new QComboBox(this);
  port_->setObjectName("port");
  port_->setMinimumContentsLength(18);
  port_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  baudRate_ = makeList(this, "baudRate", baudRateChoices());
  dataBits_ = makeList(this, "dataBits", dataBitsChoices());
  stopBits_ = makeList(this, "stopBits", stopBitsChoices());
  parity_ = makeList(this, "parity", parityChoices());
  flowControl_ = makeList(this, "flowControl", flowControlChoices());
  ipAddress_ = new QLineEdit(this);
  ipAddress_->setObjectName("ipAddress");
  ipPort_ = new QLineEdit(this);
  ipPort_->setObjectName("ipPort");

  auto* fields = new QGridLayout;
  fields->setHorizontalSpacing(10);
  fields->setColumnStretch(1, 1);
  int row = 0;
  auto addRow = [&](const char* name, const char* label, QWidget* field) {
    auto* text = new QLabel(QString::fromLatin1(label), this);
    text->setObjectName(name);
    text->setBuddy(field);
    fields->addWidget(text, row, 0, Qt::AlignLeft | Qt::AlignVCenter);
    fields->addWidget(field, row, 1);
    ++row;
  };
  addRow("portLabel", "Connexion avec:", port_);
  addRow("baudRateLabel", "Vit transm:", baudRate_);
  addRow("dataBitsLabel", "Bits donnees:", dataBits_);
  addRow("stopBitsLabel", "Bits arret:", stopBits_);
  addRow("parityLabel", "Parite:", parity_);
  addRow("flowControlLabel", "Controle flux:", flowControl_);
  fields->setRowMinimumHeight(row++, 6);
  addRow("ipAddressLabel", "Adresse IP:", ipAddress_);
  addRow("ipPortLabel", "No port IP:", ipPort_);

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName("ok");
  ok->setDefault(true);
  auto* manual = new QPushButton(QStringLiteral("Afficher manuel"), this);
  manual->setObjectName("manual");
  auto* cancel = new QPushButton(QStringLiteral("Annuler"), this);
  cancel->setObjectName("cancel");
  // Cancel must not take the focus: leaving a field with a refused entry would
  // otherwise keep the user from cancelling.
  cancel->setFocusPolicy(Qt::NoFocus);
  connect(ok, &QPushButton::clicked, this, &SETUPCOM::accept);
  connect(manual, &QPushButton::clicked, this, [this] { showManual(this); });
  connect(cancel, &QPushButton::clicked, this, &SETUPCOM::reject);

  auto* buttons = new QVBoxLayout;
  buttons->addWidget(ok);
  buttons->addWidget(manual);
  buttons->addWidget(cancel);
  buttons->addStretch();

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(14, 14, 14, 14);
  layout->setSpacing(18);
  layout->addLayout(fields, 1);
  layout->addLayout(buttons);

  fillLists();

  connect(port_, &QComboBox::currentIndexChanged, this, &SETUPCOM::portChosen);
  connect(baudRate_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index >= 0) copy_.baudRate = static_cast<std::uint32_t>(std::stoul(choiceAt(baudRateChoices(), index)));
  });
  connect(dataBits_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index >= 0) copy_.dataBits = static_cast<std::uint8_t>(std::stoul(choiceAt(dataBitsChoices(), index)));
  });
  connect(stopBits_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index >= 0) copy_.stopBitsCode = choiceAt(stopBitsChoices(), index) == "2" ? 2 : 0;
  });
  connect(parity_, &QComboBox::currentIndexChanged, this, [this](int index) {
    const int code = index >= 0 ? parityCodeOf(choiceAt(parityChoices(), index)) : -1;
    if (code >= 0) copy_.parityCode = static_cast<std::uint8_t>(code);
  });
  connect(flowControl_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index >= 0) copy_.flowControl = static_cast<std::uint8_t>(index);
  });
  ipAddress_->installEventFilter(this);
  ipPort_->installEventFilter(this);
}

void SETUPCOM::fillLists() {
  // Probing the serial devices can take a moment.
  const bool ownWait = pleaseWaitDialog() == nullptr;
  showPleaseWait(QString::fromLatin1(kExaminingPorts), nullptr, parentWidget());
  const std::vector<std::string> ports =
      portChoices(*app_.portScanner, app_.link.openSerialDevice(), copy_.portName);
  for (const std::string& name : ports) port_->addItem(qtText(name));
  // The configured port may be listed under its other name: that entry is
  // shown and the name stays as configured.
  int selected = portChoiceIndex(ports, copy_.portName);
  if (selected < 0 && !ports.empty()) {
    selected = 0;
    copy_.portName = ports.front();
    changed_ = true;
  }
  port_->setCurrentIndex(selected);
  if (ownWait) closePleaseWait();

  baudRate_->setCurrentIndex(indexOf(baudRateChoices(), std::to_string(copy_.baudRate)));
  dataBits_->setCurrentIndex(indexOf(dataBitsChoices(), std::to_string(copy_.dataBits)));
  stopBits_->setCurrentIndex(indexOf(stopBitsChoices(), copy_.stopBitsCode != 0 ? "2" : "1"));
  parity_->setCurrentIndex(indexOf(parityChoices(), parityName(copy_.parityCode)));
  flowControl_->setCurrentIndex(copy_.flowControl <= 1 ? copy_.flowControl : -1);
  ipAddress_->setText(qtText(copy_.ipAddress));
  ipPort_->setText(copy_.portMissing != 0 ? QString() : QString::number(copy_.ipPort));
}

void SETUPCOM::portChosen(int index) {
  if (index < 0) return;
  copy_.portName = stdText(port_->itemText(index));
}

bool SETUPCOM::applyIpAddress() {
  const std::string text = trimmed(stdText(ipAddress_->text()));
  if (ipAddress_->text() != qtText(text)) ipAddress_->setText(qtText(text));
  if (text == copy_.ipAddress) return true;
  if (text.empty() || isValidIpAddress(text)) {
    copy_.ipAddress = text.substr(0, kMaxIpAddress);
    return true;
  }
  return false;
}

bool SETUPCOM::applyIpPort() {
  const std::string text = trimmed(stdText(ipPort_->text()));
  if (text.empty()) {
    if (!ipPort_->text().isEmpty()) ipPort_->clear();
    copy_.portMissing = 1;
    return true;
  }
  std::uint16_t port = 0;
  if (!parseIpPort(text, port)) {
    if (ipPort_->text() != qtText(text)) ipPort_->setText(qtText(text));
    return false;
  }
  copy_.ipPort = port;
  copy_.portMissing = 0;
  ipPort_->setText(QString::number(port));
  return true;
}

bool SETUPCOM::applyField(Field field) {
  return field == Field::IpAddress ? applyIpAddress() : applyIpPort();
}

QLineEdit* SETUPCOM::edit(Field field) const {
  return field == Field::IpAddress ? ipAddress_ : ipPort_;
}

bool SETUPCOM::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusOut && (watched == ipAddress_ || watched == ipPort_)) {
    // A menu, a popup list or another application taking the focus for a
    // while is not leaving the field.
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) {
      fieldLeft(watched == ipAddress_ ? Field::IpAddress : Field::IpPort);
    }
  }
  return QDialog::eventFilter(watched, event);
}

void SETUPCOM::fieldLeft(Field field) {
  if (applyField(field) || errorPending_) return;
  // The box and the focus change wait until the focus has finished moving.
  errorPending_ = true;
  errorField_ = field;
  QMetaObject::invokeMethod(this, &SETUPCOM::reportFieldError, Qt::QueuedConnection);
}

void SETUPCOM::reportFieldError() {
  if (!errorPending_) return;
  errorPending_ = false;
  if (!isVisible()) return;
  showFieldError(errorField_);
}

void SETUPCOM::showFieldError(Field field) {
  ErrorBox(field == Field::IpAddress ? kBadIpAddress : kBadIpPort, -1, this);
  edit(field)->setFocus(Qt::OtherFocusReason);
  edit(field)->selectAll();
}

void SETUPCOM::accept() {
  // Enter in a field reaches OK without the field losing the focus: apply what
  // is typed there first, so it is neither lost nor saved unchecked.
  for (Field field : {Field::IpAddress, Field::IpPort}) {
    if (!applyField(field)) {
      errorPending_ = false;
      showFieldError(field);
      return;
    }
  }
  if (copy_ != app_.linkSettings || changed_) {
    app_.linkSettings = copy_;
    const std::string path = app_.settingsPath();
    if (const int rc = saveLinkSettings(path, app_.linkSettings); rc != 0) {
      ErrorBox(kCannotWrite, path, {}, rc, this);
    }
  }
  QDialog::accept();
}

}  // namespace tarnlux::ui
