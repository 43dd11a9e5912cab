// The alarm storage set-up and the stored events display against the
// simulated meter, on the offscreen platform.

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <fstream>
#include <memory>

#include "app/app_state.h"
#include "app/pdf_export.h"
#include "cli_process.h"
#include "common/profile_file.h"
#include "graph/graph.h"
#include "meter_process.h"
#include "storage/set_stor.h"
#include "storage/stor_disp.h"
#include "test_context.h"
#include "ui_test_support.h"

using namespace tarnlux;
using namespace tarnlux::ui;

class StorageScreensTest : public QObject {
  Q_OBJECT

  std::unique_ptr<test::RecordedErrorBoxes> boxes_;

  static test::CliRun cli(const test::MeterProcess& meter, std::vector<std::string> args) {
    args.insert(args.begin(), {"--link", "tcp:127.0.0.1:" + std::to_string(meter.tcpPort())});
    return test::runCli(args);
  }

 private slots:
  void init() { boxes_ = std::make_unique<test::RecordedErrorBoxes>(); }
  void cleanup() { boxes_.reset(); }

  void refusalsAndKeptSiteChoice() {
    test::TempDir dir;
    AppState app;
    app.programDirectory = dir.path();
    writeProfileString(app.settingsPath(), "STORAGE", "SITE_CHOICE", "2");
    writeProfileString(app.settingsPath(), "STORAGE", "SITE_NAME", "  PUMP #7 STATION");
    {
      LresStor screen(app);
      QCOMPARE(screen.windowTitle(), QStringLiteral("Affichage evenements memorises"));
      QVERIFY(test::child<QRadioButton>(screen, "namedSite")->isChecked());
      QCOMPARE(test::child<QLineEdit>(screen, "siteName")->text(), QStringLiteral("PUMP #7 STATION"));
      screen.retrieve();
      QCOMPARE(boxes_->texts.value(0), QStringLiteral("Non connecte au compteur"));
      test::child<QRadioButton>(screen, "allSites")->click();
      QVERIFY(!test::child<QLineEdit>(screen, "siteName")->isEnabled());
    }
    QCOMPARE(readProfileString(app.settingsPath(), "STORAGE", "SITE_CHOICE", ""), "1");
  }

  // Limits in the block, storage enabled with 64 KB on the set-up screen,
  // events recorded by the meter, retrieved, clicked through and printed.
  void enableRecordRetrieveAndPrint() {
    test::MeterProcess meter;
    QVERIFY(meter.startTcp());
    QCOMPARE(cli(meter, {"block", "write", "location=A1"}).status, 0);
    test::TempDir dir;
    AppState app;
    app.programDirectory = dir.path();
    QVERIFY(test::connectToTestMeter(app, meter.tcpPort()));

    {
      SET_STOR setup(app);
      setup.show();
      QTRY_VERIFY(setup.stateKnown());
      QCOMPARE(test::child<QLineEdit>(setup, "allocatedMemory")->text(), QStringLiteral("0"));
      QCOMPARE(test::child<QLineEdit>(setup, "percentFull")->text(), QString());
      // Memory without storage enabled is refused.
      test::child<QLineEdit>(setup, "requestedMemory")->setText(QStringLiteral("64"));
      setup.apply();
      QCOMPARE(boxes_->texts.value(0),
               QStringLiteral("Demande de memoire impossible si memorisation inactive"));
      test::child<QCheckBox>(setup, "enable")->setChecked(true);
      setup.apply();
      QCOMPARE(test::child<QLineEdit>(setup, "allocatedMemory")->text(), QStringLiteral("64"));
      QCOMPARE(test::child<QLineEdit>(setup, "percentFull")->text(), QStringLiteral("0"));
      QCOMPARE(test::child<QLineEdit>(setup, "storageActive")->text(), QStringLiteral("Oui"));
      QCOMPARE(readProfileString(app.settingsPath(), "STORAGE", "MEMORY", ""), "64");
      auto* clear = test::child<QCheckBox>(setup, "clearMemory");
      clear->setChecked(true);
      setup.apply();
      QVERIFY(!clear->isChecked());
      QCOMPARE(boxes_->texts.size(), 1);
    }

    const test::CliRun capture = cli(meter, {"--dir", dir.path(), "capture", "--seconds", "120",
                                             "--clock", "fast"});
    QCOMPARE(capture.status, 0);

    StorDisp screen(app);
    screen.resize(1100, 760);
    screen.show();
    test::child<QRadioButton>(screen, "thisSite")->click();
    screen.retrieve();
    QVERIFY2(screen.records().size() >= 2, qPrintable(boxes_->texts.join('\n')));
    QVERIFY(test::child<QPushButton>(screen, "print")->isEnabled());
    QCOMPARE(screen.selectedEvent(), 0);
    // A click on the second row of the list selects it.
    screen.graph()->repaint();
    const int listTop = screen.graph()->scrollState().headerHeight;
    GraphCanvas canvas;
    canvas.dpiY = screen.graph()->logicalDpiY();
    const int h = QFontMetrics(canvas.courier(10), screen.graph()).height();
    const int rowHeight = h + std::max(3, h / 3);
    QTest::mouseClick(screen.graph(), Qt::LeftButton, {}, QPoint(40, listTop + rowHeight * 3 / 2));
    QCOMPARE(screen.selectedEvent(), 1);

    const QString pdf = QString::fromStdString(dir.file("events.pdf"));
    QCOMPARE(writePdfFile(pdf, [&](QPrinter& p) { return screen.graph()->printTo(p); }), QString());
    QVERIFY(QFileInfo(pdf).size() > 1000);
    if (const QByteArray shots = qgetenv("TARNLUX_SHOTS"); !shots.isEmpty()) {
      screen.grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/stordisp.png"));
      QFile::copy(pdf, QString::fromLocal8Bit(shots) + QStringLiteral("/stordisp.pdf"));
    }

    // Clear Memory lists the events once more, empties the meter's memory and
    // is unticked; the next retrieval finds nothing.
    auto* clear = test::child<QCheckBox>(screen, "clearMemory");
    clear->setChecked(true);
    screen.retrieve();
    QVERIFY(!screen.records().empty());
    QVERIFY(!clear->isChecked());
    screen.retrieve();
    QVERIFY(screen.records().empty());
    QCOMPARE(screen.findChild<QLabel*>(QStringLiteral("status"))->text(),
             QStringLiteral("Aucun message evenement memorise pour ce(s) site(s)"));
    QVERIFY(!test::child<QPushButton>(screen, "print")->isEnabled());

    // A name with a character the meter cannot compare is refused.
    test::child<QRadioButton>(screen, "namedSite")->click();
    test::child<QLineEdit>(screen, "siteName")->setText(QStringLiteral("PUMP-7"));
    screen.retrieve();
    QVERIFY(boxes_->texts.last().startsWith(QStringLiteral("Nom du site invalide")));
  }
};

QTEST_MAIN(StorageScreensTest)
#include "storage_screens_test.moc"
