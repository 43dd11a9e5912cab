#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "app/app_state.h"
#include "app/wait_dialog.h"
#include "common/profile_file.h"
#include "link/setupcom.h"
#include "ui_test_support.h"

using namespace tarnlux;
using namespace tarnlux::ui;

class SetupComTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<AppState> app_;
  test::FixedPortScanner scanner_{{"/dev/ttyUSB0", "/dev/ttyS0"}};

  QString settingsPath() const { return QString::fromStdString(app_->settingsPath()); }
  std::string setting(const char* key) const {
    ProfileFile file(app_->settingsPath());
    file.load();
    return file.getString("COMMUNICATIONS", key, "<absent>");
  }

  template <typename T>
  static T* child(SETUPCOM& screen, const char* name) {
    T* widget = screen.findChild<T*>(name);
    if (widget == nullptr) qFatal("no child %s", name);
    return widget;
  }

  // The screen shown and active, so fields gain and lose the focus as for a user.
  std::unique_ptr<SETUPCOM> open() {
    auto screen = std::make_unique<SETUPCOM>(*app_);
    screen->show();
    if (!QTest::qWaitForWindowActive(screen.get())) qFatal("screen not active");
    return screen;
  }

  // Types into a field and leaves it for another one.
  static void typeAndLeave(SETUPCOM& screen, const char* field, const QString& text, const char* next) {
    auto* edit = child<QLineEdit>(screen, field);
    edit->setFocus();
    edit->selectAll();
    edit->del();
    QTest::keyClicks(edit, text);
    child<QWidget>(screen, next)->setFocus();
    QCoreApplication::processEvents();
  }

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    app_ = std::make_unique<AppState>();
    app_->programDirectory = QDir(dir_->path()).absolutePath().toStdString() + "/";
    app_->portScanner = &scanner_;
    app_->linkSettings.portName = "/dev/ttyS0";
    app_->linkSettings.ipAddress = "10.0.0.5";
    app_->linkSettings.ipPort = 502;
    app_->linkSettings.portMissing = 0;
  }

  void cleanup() {
    app_.reset();
    dir_.reset();
  }

  void showsTheFrenchTexts() {
    SETUPCOM screen(*app_);
    QCOMPARE(screen.windowTitle(), QStringLiteral("Config communication "));
    const std::pair<const char*, const char*> labels[] = {
        {"portLabel", "Connexion avec:"}, {"baudRateLabel", "Vit transm:"},
        {"dataBitsLabel", "Bits donnees:"}, {"stopBitsLabel", "Bits arret:"},
        {"parityLabel", "Parite:"},         {"flowControlLabel", "Controle flux:"},
        {"ipAddressLabel", "Adresse IP:"},  {"ipPortLabel", "No port IP:"}};
    for (const auto& [name, text] : labels) QCOMPARE(child<QLabel>(screen, name)->text(), QString(text));
    QCOMPARE(child<QPushButton>(screen, "ok")->text(), QStringLiteral("OK"));
    QCOMPARE(child<QPushButton>(screen, "manual")->text(), QStringLiteral("Afficher manuel"));
    QCOMPARE(child<QPushButton>(screen, "cancel")->text(), QStringLiteral("Annuler"));
    // The please-wait dialog of the port scan is gone once the screen is ready.
    QVERIFY(pleaseWaitDialog() == nullptr);
  }

  void listsShowTheCurrentSettings() {
    app_->linkSettings.baudRate = 38400;
    app_->linkSettings.dataBits = 8;
    app_->linkSettings.stopBitsCode = 2;
    app_->linkSettings.parityCode = 0;
    app_->linkSettings.flowControl = 0;
    SETUPCOM screen(*app_);
    auto* port = child<QComboBox>(screen, "port");
    QCOMPARE(port->count(), 3);
    QCOMPARE(port->itemText(2), QStringLiteral("TCP/IP"));
    QCOMPARE(port->currentText(), QStringLiteral("/dev/ttyS0"));
    QCOMPARE(child<QComboBox>(screen, "baudRate")->currentText(), QStringLiteral("38400"));
    QCOMPARE(child<QComboBox>(screen, "dataBits")->currentText(), QStringLiteral("8"));
    QCOMPARE(child<QComboBox>(screen, "stopBits")->currentText(), QStringLiteral("2"));
    QCOMPARE(child<QComboBox>(screen, "parity")->currentText(), QStringLiteral("AUCUN"));
    QCOMPARE(child<QComboBox>(screen, "flowControl")->currentText(), QStringLiteral("AUCUN"));
    QCOMPARE(child<QLineEdit>(screen, "ipAddress")->text(), QStringLiteral("10.0.0.5"));
    QCOMPARE(child<QLineEdit>(screen, "ipPort")->text(), QStringLiteral("502"));
    QVERIFY(!screen.countsAsChanged());

    app_->linkSettings.portMissing = 1;
    SETUPCOM noPort(*app_);
    QVERIFY(child<QLineEdit>(noPort, "ipPort")->text().isEmpty());
  }

  void okWithoutChangesWritesNothing() {
    auto screen = open();
    child<QPushButton>(*screen, "ok")->click();
    QCOMPARE(screen->result(), int(QDialog::Accepted));
    QVERIFY(!QFile::exists(settingsPath()));
  }

  void okWritesTheChangedSettings() {
    const LinkSettings before = app_->linkSettings;
    auto screen = open();
    child<QComboBox>(*screen, "baudRate")->setCurrentText("19200");
    child<QComboBox>(*screen, "parity")->setCurrentText("PAIR");
    child<QComboBox>(*screen, "stopBits")->setCurrentText("2");
    child<QComboBox>(*screen, "port")->setCurrentText("TCP/IP");
    QCOMPARE(app_->linkSettings, before);  // only the copy changes until OK
    child<QPushButton>(*screen, "ok")->click();

    QCOMPARE(app_->linkSettings.baudRate, 19200u);
    QCOMPARE(int(app_->linkSettings.parityCode), 2);
    QCOMPARE(int(app_->linkSettings.stopBitsCode), 2);
    QCOMPARE(app_->linkSettings.portName, std::string("TCP/IP"));
    QCOMPARE(setting("BAUDRATE"), std::string("19200"));
    QCOMPARE(setting("PARITY"), std::string("PAIR"));
    QCOMPARE(setting("STOP_BITS"), std::string("2"));
    QCOMPARE(setting("PORT"), std::string("TCP/IP"));
  }

  void cancelKeepsEverything() {
    const LinkSettings before = app_->linkSettings;
    auto screen = open();
    child<QComboBox>(*screen, "baudRate")->setCurrentText("1200");
    typeAndLeave(*screen, "ipAddress", "192.168.0.9", "ipPort");
    child<QPushButton>(*screen, "cancel")->click();
    QCOMPARE(screen->result(), int(QDialog::Rejected));
    QCOMPARE(app_->linkSettings, before);
    QVERIFY(!QFile::exists(settingsPath()));
  }

  void missingPortTakesTheFirstEntryAndCountsAsChanged() {
    app_->linkSettings.portName = "/dev/ttyACM3";
    auto screen = open();
    QCOMPARE(child<QComboBox>(*screen, "port")->currentText(), QStringLiteral("/dev/ttyUSB0"));
    QVERIFY(screen->countsAsChanged());
    child<QPushButton>(*screen, "ok")->click();
    QCOMPARE(app_->linkSettings.portName, std::string("/dev/ttyUSB0"));
    QCOMPARE(setting("PORT"), std::string("/dev/ttyUSB0"));
  }

  // A port configured under its kernel name is the device the list shows under
  // its stable name: the screen shows that entry and does not count as changed.
  void portListedUnderItsOtherNameIsKept() {
    const QString root = QDir(dir_->path()).absolutePath();
    QFile(root + "/ttyUSB7").open(QIODevice::WriteOnly);
    QFile(root + "/ttyS9").open(QIODevice::WriteOnly);
    QVERIFY(QFile::link(root + "/ttyUSB7", root + "/usb-meter-if00"));
    test::FixedPortScanner scanner({(root + "/ttyS9").toStdString(), (root + "/usb-meter-if00").toStdString()});
    app_->portScanner = &scanner;
    app_->linkSettings.portName = (root + "/ttyUSB7").toStdString();

    auto screen = open();
    QCOMPARE(child<QComboBox>(*screen, "port")->currentText(), root + "/usb-meter-if00");
    QVERIFY(!screen->countsAsChanged());
    child<QPushButton>(*screen, "ok")->click();
    QCOMPARE(app_->linkSettings.portName, (root + "/ttyUSB7").toStdString());
    QVERIFY(!QFile::exists(settingsPath()));
  }

  void ipAddressIsTrimmedAndChecked() {
    test::RecordedErrorBoxes boxes;
    auto screen = open();
    auto* address = child<QLineEdit>(*screen, "ipAddress");

    typeAndLeave(*screen, "ipAddress", "10.0.0.256", "ipPort");
    QCOMPARE(boxes.texts, QStringList{"Adr. IP incorrecte"});
    QCOMPARE(boxes.parents[0].data(), screen.get());
    QVERIFY(address->hasFocus());
    QCOMPARE(screen->copy().ipAddress, std::string("10.0.0.5"));

    typeAndLeave(*screen, "ipAddress", "  192.168.001.20 ", "ipPort");
    QCOMPARE(boxes.texts.size(), 1);
    QCOMPARE(address->text(), QStringLiteral("192.168.001.20"));
    QCOMPARE(screen->copy().ipAddress, std::string("192.168.001.20"));

    typeAndLeave(*screen, "ipAddress", "1.2.3", "ipPort");
    QCOMPARE(boxes.texts.size(), 2);

    typeAndLeave(*screen, "ipAddress", "   ", "ipPort");
    QCOMPARE(boxes.texts.size(), 2);
    QVERIFY(screen->copy().ipAddress.empty());
  }

  void ipPortIsChecked() {
    test::RecordedErrorBoxes boxes;
    auto screen = open();
    auto* port = child<QLineEdit>(*screen, "ipPort");

    typeAndLeave(*screen, "ipPort", "65536", "ipAddress");
    QCOMPARE(boxes.texts, QStringList{"No port IP incorrect"});
    QVERIFY(port->hasFocus());
    QCOMPARE(int(screen->copy().ipPort), 502);

    typeAndLeave(*screen, "ipPort", "12ab", "ipAddress");
    QCOMPARE(boxes.texts.size(), 2);

    typeAndLeave(*screen, "ipPort", " 65535 ", "ipAddress");
    QCOMPARE(boxes.texts.size(), 2);
    QCOMPARE(port->text(), QStringLiteral("65535"));
    QCOMPARE(int(screen->copy().ipPort), 65535);
    QCOMPARE(int(screen->copy().portMissing), 0);
  }

  void emptyIpPortIsWrittenEmpty() {
    auto screen = open();
    typeAndLeave(*screen, "ipPort", "", "ipAddress");
    QCOMPARE(int(screen->copy().portMissing), 1);
    child<QPushButton>(*screen, "ok")->click();
    QCOMPARE(int(app_->linkSettings.portMissing), 1);
    QCOMPARE(setting("IP_PORT"), std::string(""));
  }

  // Enter reaches OK while the field still has the focus: what is typed there
  // counts, and a refused entry keeps the screen open.
  void enterInAFieldAppliesItBeforeOk() {
    test::RecordedErrorBoxes boxes;
    auto screen = open();
    auto* address = child<QLineEdit>(*screen, "ipAddress");
    address->setFocus();
    address->selectAll();
    QTest::keyClicks(address, "300.1.1.1");
    QTest::keyClick(address, Qt::Key_Return);
    QCOMPARE(boxes.texts, QStringList{"Adr. IP incorrecte"});
    QVERIFY(screen->isVisible());
    QVERIFY(!QFile::exists(settingsPath()));

    address->selectAll();
    QTest::keyClicks(address, "172.16.0.1");
    QTest::keyClick(address, Qt::Key_Return);
    QCOMPARE(boxes.texts.size(), 1);
    QCOMPARE(screen->result(), int(QDialog::Accepted));
    QCOMPARE(app_->linkSettings.ipAddress, std::string("172.16.0.1"));
    QCOMPARE(setting("IP_ADDRESS"), std::string("172.16.0.1"));
  }
};

QTEST_MAIN(SetupComTest)
#include "setupcom_test.moc"
