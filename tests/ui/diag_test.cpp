// The diagnostic screen against the simulated meter, on an accelerated clock.

#include "diag/diag.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

#include "app/app_state.h"
#include "app/pdf_export.h"
#include "common/clock.h"
#include "common/profile_file.h"
#include "common/result.h"
#include "graph/graph.h"
#include "graph/trend_settings.h"
#include "link/connect.h"
#include "meter_process.h"
#include "ui_test_support.h"

using namespace tarnlux;
using namespace tarnlux::ui;

namespace {

using test::child;
using test::when;

constexpr double kFast = 100.0;

QStringList logLines(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromLatin1(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
}

}  // namespace

class DiagTest : public QObject {
  Q_OBJECT

  std::unique_ptr<test::RecordedErrorBoxes> boxes_;
  std::unique_ptr<QTemporaryDir> dir_;

  void connectTo(AppState& app, const test::MeterProcess& meter) {
    app.programDirectory = dir_->path().toStdString() + "/";
    QVERIFY(test::connectToTestMeter(app, meter.tcpPort()));
  }

 private slots:
  void init() {
    boxes_ = std::make_unique<test::RecordedErrorBoxes>();
    dir_ = std::make_unique<QTemporaryDir>();
  }
  void cleanup() { boxes_.reset(); }

  void opensWithItsTextsAndSaysWhenNotConnected() {
    AppState app;
    diag screen(app);
    screen.show();
    QCOMPARE(screen.windowTitle(), QStringLiteral("Diagnostic"));
    QVERIFY2(screen.minimumSizeHint().width() <= 800, qPrintable(QString::number(screen.minimumSizeHint().width())));
    for (const auto& [name, text] : {std::pair{"query", "Demander"},
                                     {"stop", "Stop"},
                                     {"print", "Imprimer"},
                                     {"exportPdf", "Exporter PDF"},
                                     {"manual", "Afficher manuel"},
                                     {"report", "Rapport"},
                                     {"exit", "Quitter"},
                                     {"capture", "Debut"}}) {
      QCOMPARE(child<QPushButton>(screen, name)->text(), QString::fromLatin1(text));
    }
    QCOMPARE(child<QGroupBox>(screen, "captureGroup")->title(),
             QStringLiteral("Fonctions capt donnees"));
    QCOMPARE(child<QGroupBox>(screen, "scalingGroup")->title(), QStringLiteral("Mise a echelle"));
    auto* length = child<QComboBox>(screen, "captureLength");
    QCOMPARE(length->count(), 8);
    QCOMPARE(length->itemText(7), QStringLiteral("Illimite"));
    QCOMPARE(child<QComboBox>(screen, "timeSpan")->itemText(3), QStringLiteral("30 Minutes"));
    // Without a report generator "Rapport" has nothing to open.
    QVERIFY(!child<QPushButton>(screen, "report")->isEnabled());
    QTRY_COMPARE(child<QLabel>(screen, "status")->text(),
                 QStringLiteral("Non connecte au compteur"));
  }

  void opensQueryingAndCapturesAWholeLog() {
    test::MeterProcess meter;
    QVERIFY2(meter.startTcp({"--profile", "gas4"}), meter.error().c_str());
    AppState app;
    connectTo(app, meter);
    ScaledClock clock(kFast);
    diag screen(app);
    screen.setClock(&clock, kFast);
    screen.setLastLogIni((dir_->path() + "/quillmap.ini").toStdString());
    screen.resize(1000, 760);
    screen.show();
    auto* trendList = child<QComboBox>(screen, "trendData");
    QCOMPARE(trendList->count(), 6);  // a gas meter with several paths
    QCOMPARE(trendList->itemText(0), QStringLiteral("Vit. flux chemin (a/c vit. moy)"));

    // Everything below happens while the loop runs (it pumps the events).
    bool running = false;
    int period = 0;
    bool printable = false;
    int green = 0;
    QString buttonWhileCapturing;
    QString buttonAfter;
    QString pdfError = QStringLiteral("not written");
    const QString pdf = dir_->path() + "/page.pdf";
    // Querying starts at once; the panel fills and Print comes on. Then a
    // 30-second capture at a 6-second period: five rows, then the summary.
    when(
        &screen, [&] { return screen.periodsDrawn() >= 1; },
        [&] {
          running = screen.queryLoop().running();
          period = screen.queryLoop().loop().periodSeconds();
          printable = child<QPushButton>(screen, "print")->isEnabled();
          const QImage picture = screen.graph()->grab().toImage();
          for (int y = 0; y < picture.height(); y += 2) {
            for (int x = 0; x < picture.width(); x += 2) {
              green += picture.pixel(x, y) == qRgb(0, 255, 0);
            }
          }
          child<QLineEdit>(screen, "directory")
              ->setText(QStringLiteral("  ") + dir_->path() + QStringLiteral("  "));
          child<QLineEdit>(screen, "fileName")->setText(QStringLiteral("LOG.CSV"));
          child<QComboBox>(screen, "captureLength")->setCurrentIndex(0);
          child<QPushButton>(screen, "capture")->click();
          buttonWhileCapturing = child<QPushButton>(screen, "capture")->text();
        });
    // The page prints to PDF; Exit while querying stops the loop, then closes.
    when(
        &screen, [&] { return screen.lastCapture().summaryWritten; },
        [&] {
          buttonAfter = child<QPushButton>(screen, "capture")->text();
          pdfError = writePdfFile(pdf, [&](QPrinter& p) { return screen.graph()->printTo(p); });
          child<QPushButton>(screen, "exit")->click();
        });
    QTRY_VERIFY_WITH_TIMEOUT(!screen.isVisible(), 60000);
    QVERIFY(!screen.queryLoop().running());
    QVERIFY(running);
    QCOMPARE(period, 6);  // four paths, extended diagnostics
    QVERIFY(printable);
    QVERIFY(green > 100);
    QCOMPARE(buttonWhileCapturing, QStringLiteral("Fin"));
    QCOMPARE(buttonAfter, QStringLiteral("Debut"));
    QCOMPARE(screen.lastCapture().rows, 5);
    QVERIFY(logLines(dir_->path() + "/LOG.CSV").size() > 10);
    // The directory is kept without its blanks.
    QCOMPARE(readProfileString(app.settingsPath(), "DIRECTORIES", "DATA_CAPTURE"),
             dir_->path().toStdString());
    QVERIFY2(pdfError.isEmpty(), qPrintable(pdfError));
    QVERIFY(QFileInfo(pdf).size() > 1000);
    QVERIFY2(boxes_->texts.isEmpty(), qPrintable(boxes_->texts.join('|')));
  }

  void aQuantityTheMeterCannotSupplyStopsTheQuery() {
    test::MeterProcess meter;
    QVERIFY2(meter.startTcp({"--profile", "gas4"}), meter.error().c_str());
    AppState app;
    connectTo(app, meter);
    programTrendChoices().transitTimePosition = 4;  // sound-speed difference, no AGA8 run
    diag screen(app);
    screen.show();
    QTRY_COMPARE(child<QLabel>(screen, "status")->text(),
                 QStringLiteral("Imp. afficher graphe ecart % ViS. Calcul AGA8 pas execute"));
    QCOMPARE(screen.periodsDrawn(), 0);
    QVERIFY(!screen.queryLoop().running());
    programTrendChoices() = {};
  }

  void captureFromIdleStartsQueryingAndExitKeepsAWholeLog() {
    test::MeterProcess meter;
    QVERIFY2(meter.startTcp(), meter.error().c_str());
    AppState app;
    connectTo(app, meter);
    ScaledClock clock(kFast);
    diag screen(app);
    screen.setClock(&clock, kFast);
    screen.setLastLogIni((dir_->path() + "/quillmap.ini").toStdString());
    screen.show();
    // Stop the query the screen posted to itself, then capture from idle.
    when(
        &screen, [&] { return screen.periodsDrawn() >= 1; },
        [&] { child<QPushButton>(screen, "stop")->click(); });
    QTRY_VERIFY_WITH_TIMEOUT(screen.periodsDrawn() >= 1 && !screen.queryLoop().running(), 20000);
    QCOMPARE(child<QLabel>(screen, "status")->text(), QStringLiteral("Graph. arrete"));

    child<QLineEdit>(screen, "directory")->setText(dir_->path());
    child<QLineEdit>(screen, "fileName")->setText(QStringLiteral("IDLE.CSV"));
    child<QComboBox>(screen, "captureLength")->setCurrentIndex(7);  // unlimited
    const int before = screen.periodsDrawn();
    // Exit once two rows are in the log.
    when(
        &screen, [&] { return screen.queryLoop().loop().captureLog().rowCount() >= 2; },
        [&] { child<QPushButton>(screen, "exit")->click(); });
    child<QPushButton>(screen, "capture")->click();
    QVERIFY(screen.periodsDrawn() > before);
    QVERIFY(!screen.isVisible());
    QVERIFY(screen.lastCapture().summaryWritten);
    QVERIFY(screen.lastCapture().rows >= 2);
    const QStringList lines = logLines(dir_->path() + "/IDLE.CSV");
    QVERIFY(!lines.isEmpty());
  }
};

QTEST_MAIN(DiagTest)
#include "diag_test.moc"
