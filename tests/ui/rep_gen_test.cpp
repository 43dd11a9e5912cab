// The report generator screen: last report at opening, reads off the GUI
// thread, trend pages, failures in the status line, Tab order, PDF pages.

#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include "app/report_host.h"
#include "common/profile_file.h"
#include "graph/graph.h"
#include "pages/report_painter.h"
#include "reports/rep_gen.h"
#include "test_context.h"
#include "test_paths.h"

using namespace tarnlux;
using namespace tarnlux::ui;

namespace {

std::string golden(const char* name) {
  return test::testDataDir() + "/capture/" + name;
}

bool waitForWork(Rep_Gen& screen) {
  if (!screen.busy()) return true;
  QSignalSpy finished(&screen, &Rep_Gen::workFinished);
  return finished.wait(20000);
}

int countPixels(const QImage& image, QColor colour) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) count += image.pixelColor(x, y) == colour ? 1 : 0;
  }
  return count;
}

}  // namespace

class RepGenTest : public QObject {
  Q_OBJECT

 private slots:
  void opensOnTheLastReportAndDrawsIt() {
    test::TempDir dir;
    test::writeWholeFile(dir.file("LOG1.CSV"), test::readWholeFile(golden("single_path_liquid.csv")));
    const std::string ini = dir.file("quillmap.ini");
    QCOMPARE(writeProfileString(ini, "LAST_REPORT", "FILENAME", dir.file("LOG1.CSV")), 0);

    Rep_Gen screen(nullptr, ScreenLayout::Large, ini);
    QCOMPARE(screen.windowTitle(), QStringLiteral("Generateur de rapport"));
    QVERIFY(!screen.isModal());
    QVERIFY(waitForWork(screen));
    QCOMPARE(screen.currentFile(), dir.file("LOG1.CSV"));
    QCOMPARE(screen.pages().size(), std::size_t{1});
    QCOMPARE(screen.statusText(), QString());
    QVERIFY(screen.graph()->modes().inReport());
    for (const char* name : {"print", "exportPdf", "trend", "report"}) {
      QVERIFY2(screen.findChild<QPushButton*>(QString::fromLatin1(name))->isEnabled(), name);
    }

    // The red "SNR(up)" cell of path 2 and the grid are on the screen.
    screen.resize(1400, 900);
    screen.show();
    QVERIFY(QTest::qWaitForWindowExposed(&screen));
    const QImage picture = screen.graph()->grab().toImage();
    QVERIFY(countPixels(picture, QColor(255, 0, 0)) > 50);
    QVERIFY(countPixels(picture, QColor(0, 255, 0)) > 50);

    // A file that is not a log: the message, and the page stays.
    test::writeWholeFile(dir.file("BAD.CSV"), "garbage\r\n");
    screen.readFile(dir.file("BAD.CSV"));
    QVERIFY(waitForWork(screen));
    QCOMPARE(screen.statusText(), QStringLiteral("Fichier incorrect ou corrompu"));
    QCOMPARE(screen.currentFile(), dir.file("LOG1.CSV"));
    QCOMPARE(screen.pages().size(), std::size_t{1});
  }

  void trendOverTheFolderTwice() {
    test::TempDir dir;
    test::writeWholeFile(dir.file("LOG1.CSV"), test::readWholeFile(golden("single_path_liquid.csv")));
    Lres_Rpt screen(nullptr, dir.file("none.ini"));
    QVERIFY(waitForWork(screen));
    QVERIFY(screen.pages().empty());
    QVERIFY(!screen.findChild<QPushButton*>(QStringLiteral("trend"))->isEnabled());
    screen.readFile(dir.file("LOG1.CSV"));
    QVERIFY(waitForWork(screen));

    screen.showTrend();
    QVERIFY(waitForWork(screen));
    QCOMPARE(screen.statusText(),
             QStringLiteral("Requiert au moins deux fichiers de rapport pour rapport de tendance"));
    QCOMPARE(screen.pages().size(), std::size_t{1});

    test::writeWholeFile(dir.file("LOG2.csv"), test::readWholeFile(golden("nulltrack.csv")));
    for (int round = 0; round < 2; ++round) {
      screen.showTrend();
      QVERIFY(waitForWork(screen));
      QVERIFY(screen.trendMode());
      QCOMPARE(screen.pages().size(), std::size_t{2});
      QVERIFY(QFile::exists(QString::fromStdString(screen.trendLog())));
      QCOMPARE(screen.statusText(), QString::fromStdString(screen.trendLog()));
    }
    // "Rapport" leaves trend mode for the current file's page.
    screen.showReport();
    QVERIFY(waitForWork(screen));
    QVERIFY(!screen.trendMode());
    QCOMPARE(screen.pages().size(), std::size_t{1});
  }

  void tabOrderAndOneWindowThroughTheHost() {
    QWidget owner;
    ReportGeneratorHost host(&owner);
    Rep_Gen::install(host);
    QVERIFY(host.available());
    host.requestOpen();
    QPointer<QWidget> window = host.window();
    QVERIFY(window != nullptr);
    host.requestOpen();  // the diagnostic screen's "Rapport" on an open generator
    QCOMPARE(host.window(), window.data());

    QWidget* w = window->findChild<QLineEdit*>(QStringLiteral("status"));
    QStringList chain;
    for (int i = 0; i < 8; ++i) {
      chain << w->objectName();
      w = w->nextInFocusChain();
      while (w->focusPolicy() == Qt::NoFocus) w = w->nextInFocusChain();
    }
    QCOMPARE(chain, (QStringList{"status", "readFile", "print", "exportPdf", "manual", "trend",
                                 "report", "exit"}));
    host.shutdown();
    QVERIFY(window.isNull());
  }

  void pagesGoIntoAPdfFile() {
    test::TempDir dir;
    ReportData data;
    std::string message;
    QCOMPARE(readCaptureLog(golden("multipath_gas_extended.csv"), data, message), 0);
    const std::vector<ReportData> logs = {data, data};
    const QString path = QString::fromStdString(dir.file("trend.pdf"));
    QCOMPARE(writeReportPdf(path, multiReportPages(logs)), QString());
    const std::string pdf = test::readWholeFile(dir.file("trend.pdf"));
    QVERIFY(pdf.rfind("%PDF", 0) == 0);
    QVERIFY(pdf.find("/Count 2") != std::string::npos);
    QVERIFY(!QFile::exists(path + QStringLiteral(".part")));
    // A folder that does not exist: a reason, and no file.
    QVERIFY(!writeReportPdf(QStringLiteral("/nonexistent/x.pdf"), {singleReportPage(data)}).isEmpty());
  }
};

QTEST_MAIN(RepGenTest)
#include "rep_gen_test.moc"
