// The site screen against the simulated meter, on the offscreen platform.

#include "transfer/sites.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "app/app_state.h"
#include "common/clock.h"
#include "common/profile_file.h"
#include "meter_process.h"
#include "ui_test_support.h"

using namespace tarnlux;
using namespace tarnlux::ui;

namespace {

template <typename T>
T* child(QWidget& parent, const char* name) {
  T* found = parent.findChild<T*>(QString::fromLatin1(name));
  if (found == nullptr) qFatal("no child %s", name);
  return found;
}

void savePicture(QWidget& widget, const char* name) {
  // Set to look at the screen while changing it.
  const QByteArray folder = qgetenv("TARNLUX_SITE_PICTURES");
  if (!folder.isEmpty()) widget.grab().save(QString::fromLocal8Bit(folder) + "/" + name);
}

}  // namespace

class SitesTest : public QObject {
  Q_OBJECT

  std::unique_ptr<test::RecordedErrorBoxes> boxes_;
  ScaledClock clock_{20.0};

  void pointAt(AppState& app, const test::MeterProcess& meter, const QTemporaryDir& dir) {
    app.programDirectory = dir.path().toStdString() + "/";
    app.linkSettings.portName = kTcpPortName;
    app.linkSettings.ipAddress = "127.0.0.1";
    app.linkSettings.ipPort = static_cast<std::uint16_t>(meter.tcpPort());
    app.linkSettings.portMissing = 0;
  }

 private slots:
  void init() { boxes_ = std::make_unique<test::RecordedErrorBoxes>(); }
  void cleanup() { boxes_.reset(); }

  void receivesASiteAndRemembersTheFile() {
    test::MeterProcess meter;
    QVERIFY(meter.startTcp());
    QTemporaryDir dir;
    AppState app;
    pointAt(app, meter, dir);
    Sites screen(app);
    screen.setClock(&clock_);
    screen.show();
    QCOMPARE(screen.windowTitle(), QStringLiteral("Enreg/Restaurer sites"));
    for (const auto& [name, text] : {std::pair{"stop", "Stop"}, {"manual", "Afficher manuel"},
                                     {"exit", "Quitter"}, {"browse", "Naviguer"}}) {
      QCOMPARE(child<QPushButton>(screen, name)->text(), QString::fromLatin1(text));
    }
    QCOMPARE(child<QRadioButton>(screen, "receive")->text(), QStringLiteral("Recevoir du compteur"));
    auto* sites = child<QComboBox>(screen, "siteName");
    QTRY_COMPARE(sites->count(), 2);
    QCOMPARE(sites->itemText(1), QStringLiteral("TANK 3 [12]"));
    sites->setCurrentIndex(1);
    QCOMPARE(child<QLineEdit>(screen, "fileName")->text(), QStringLiteral("TANK 3.012"));
    child<QLineEdit>(screen, "directory")->setText(dir.path() + "/sites ");

    child<QPushButton>(screen, "start")->click();
    QTRY_VERIFY(!screen.busy());
    QCOMPARE(child<QLabel>(screen, "status")->text(), QStringLiteral("Reception info site OK"));
    QCOMPARE(child<QLabel>(screen, "packet")->text(), QStringLiteral("7"));
    QVERIFY(QFile::exists(dir.path() + "/sites/TANK 3.012"));
    QCOMPARE(QString::fromStdString(rememberedSiteFileName(app.settingsPath())), QStringLiteral("TANK 3.012"));
    QVERIFY(boxes_->texts.isEmpty());
    savePicture(screen, "sites-received.png");
  }

  void stopSendsEtxAndSaysSo() {
    test::MeterProcess meter;
    // Slow answers, so Stop lands in the data phase.
    QVERIFY(meter.startTcp({"--fault", "delay=30"}));
    QTemporaryDir dir;
    AppState app;
    pointAt(app, meter, dir);
    Sites screen(app);
    screen.setClock(&clock_);
    screen.show();
    QTRY_COMPARE(child<QComboBox>(screen, "siteName")->count(), 2);
    child<QLineEdit>(screen, "directory")->setText(dir.path());
    QTimer stopper;
    connect(&stopper, &QTimer::timeout, &screen, [&screen] {
      if (child<QLabel>(screen, "packet")->text() == QStringLiteral("3")) child<QPushButton>(screen, "stop")->click();
    });
    stopper.start(5);
    child<QPushButton>(screen, "start")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!screen.busy(), 30000);
    QCOMPARE(child<QLabel>(screen, "status")->text(), QStringLiteral("Transf info site annule"));
    QCOMPARE(screen.lastOutcome().result, kCancelled);
    QVERIFY(!QFile::exists(dir.path() + "/PUMP12.005"));
    savePicture(screen, "sites-stopped.png");
  }
};

QTEST_MAIN(SitesTest)
#include "sites_test.moc"
