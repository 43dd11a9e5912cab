#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "app/app_state.h"
#include "common/clock.h"
#include "common/profile_file.h"
#include "meter_process.h"
#include "test_context.h"
#include "transfer/os_load_screen.h"
#include "ui_test_support.h"

using namespace tarnlux;
using namespace tarnlux::ui;

class OsLoadScreenTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<AppState> app_;
  test::RecordedErrorBoxes errors_;
  ScaledClock fast_{100.0};

  QString label(Load& screen, const char* name) { return test::child<QLabel>(screen, name)->text(); }

  void useMeter(const test::MeterProcess& meter) {
    app_->linkSettings.portName = kTcpPortName;
    app_->linkSettings.ipAddress = "127.0.0.1";
    app_->linkSettings.ipPort = static_cast<std::uint16_t>(meter.tcpPort());
    app_->linkSettings.portMissing = 0;
  }

  std::string writeImage(std::size_t size) {
    const std::string path = QDir(dir_->path()).filePath("image.fsh").toStdString();
    test::writeWholeFile(path, std::string(size, '\x5A'));
    return path;
  }

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    app_ = std::make_unique<AppState>();
    app_->programDirectory = QDir(dir_->path()).absolutePath().toStdString() + "/";
    errors_.texts.clear();
  }

  void cleanup() {
    app_.reset();
    dir_.reset();
  }

  void loadsRemembersAndShowsTheCounters() {
    test::MeterProcess meter;
    QVERIFY2(meter.startTcp({"--fault", "boot-corrupt=2"}), meter.error().c_str());
    useMeter(meter);
    writeImage(300);
    writeProfileString(app_->settingsPath(), "DIRECTORIES", "OPERATING_SYSTEM", dir_->path().toStdString());
    Load screen(*app_);
    screen.setClock(&fast_);
    QCOMPARE(screen.windowTitle(), QStringLiteral("Charger syst exploit"));
    QCOMPARE(test::child<QLineEdit>(screen, "directory")->text(), dir_->path());
    QTRY_VERIFY(app_->link.isOpen());  // opened at once when not connected

    auto* name = test::child<QLineEdit>(screen, "fileName");
    name->setFocus();
    QTest::keyClicks(name, QStringLiteral("image.fsh"));
    QCOMPARE(readProfileString(app_->settingsPath(), "FILE_NAMES", "OPERATING_SYSTEM"),
             std::string("image.fsh"));
    test::child<QPushButton>(screen, "send")->click();
    QCOMPARE(label(screen, "status"), QStringLiteral("Env fichier syst exploit OK"));
    QCOMPARE(label(screen, "block"), QStringLiteral("3"));
    QCOMPARE(label(screen, "bytesSent"), QStringLiteral("300 de 300"));
    QCOMPARE(label(screen, "totalRetries"), QStringLiteral("1"));
    QCOMPARE(label(screen, "retries"), QStringLiteral("0"));
    QVERIFY(errors_.texts.isEmpty());
    // Set to look at the screen while changing it.
    if (const QByteArray folder = qgetenv("TARNLUX_TRANSFER_PICTURES"); !folder.isEmpty()) {
      screen.grab().save(QString::fromLocal8Bit(folder) + "/load.png");
    }
  }

  void slowLineQuestionAndStop() {
    test::MeterProcess meter;
    QVERIFY2(meter.startPty({"--line", "9600-8-A-1", "--line-rate"}), meter.error().c_str());
    app_->linkSettings.portName = meter.ptyPath();
    app_->linkSettings.baudRate = 9600;
    app_->linkSettings.dataBits = 8;
    app_->linkSettings.parityCode = 0;
    app_->linkSettings.flowControl = 0;
    const std::string path = writeImage(20000);
    Load screen(*app_);
    screen.show();
    test::child<QLineEdit>(screen, "fileName")->setText(QString::fromStdString(path));

    int asked = 0;
    SpeedQuestionPresenter previous = setSpeedQuestionPresenter([&asked](QWidget*) {
      ++asked;
      return asked > 1;  // Cancel first, then OK
    });
    screen.send();
    QCOMPARE(asked, 1);
    QCOMPARE(label(screen, "status"), QString());
    // OK: the load starts; Stop ends it with CAN CAN.
    test::when(&screen, [&] { return label(screen, "block").toInt() >= 3; },
               [&] { test::child<QPushButton>(screen, "stop")->click(); });
    screen.send();
    setSpeedQuestionPresenter(previous);
    QCOMPARE(asked, 2);
    QCOMPARE(label(screen, "status"), QStringLiteral("Envoi fichier annule"));
    QVERIFY(test::child<QPushButton>(screen, "send")->isEnabled());
    QVERIFY(errors_.texts.isEmpty());
  }
};

QTEST_MAIN(OsLoadScreenTest)
#include "os_load_screen_test.moc"
