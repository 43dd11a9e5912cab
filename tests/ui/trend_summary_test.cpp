// The trend graph and the system summary against the simulated meter, on an
// accelerated clock.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "app/app_state.h"
#include "common/clock.h"
#include "common/result.h"
#include "graph/graph.h"
#include "graph/summary.h"
#include "graph/trend_settings.h"
#include "graph/trendgrf.h"
#include "link/connect.h"
#include "meter_process.h"
#include "ui_test_support.h"

using namespace tarnlux;
using namespace tarnlux::ui;

namespace {

using test::child;

constexpr double kFast = 100.0;

}  // namespace

class TrendSummaryTest : public QObject {
  Q_OBJECT

  std::unique_ptr<test::RecordedErrorBoxes> boxes_;

 private slots:
  void init() {
    boxes_ = std::make_unique<test::RecordedErrorBoxes>();
    programTrendScalings() = {};
    programTrendChoices() = {};
  }
  void cleanup() { boxes_.reset(); }

  void trendRefusesABadManualRangeThenDraws() {
    test::MeterProcess meter;
    QVERIFY2(meter.startTcp(), meter.error().c_str());
    AppState app;
    QVERIFY(test::connectToTestMeter(app, meter.tcpPort()));
    // Letters as the maximum of the remembered manual range.
    TrendScaling& s = programTrendScalings()[0];
    s.manual = true;
    applyScaleMaximum(s, "abc");
    ScaledClock clock(kFast);
    TrendGrf screen(app);
    screen.setClock(&clock, kFast);
    screen.show();
    QCOMPARE(child<QComboBox>(screen, "trendData")->count(), 4);  // a liquid meter
    QTRY_COMPARE(boxes_->texts, QStringList{QStringLiteral("Nbre incorrect pour val. maximum")});
    QVERIFY(!screen.queryLoop().running());

    // Automatic scaling lets it start; the trend is drawn from its second sample.
    child<QRadioButton>(screen, "autoScale")->click();
    QTimer stopper;
    QObject::connect(&stopper, &QTimer::timeout, &screen, [&] {
      if (screen.periodsDrawn() >= 3) child<QPushButton>(screen, "stop")->click();
    });
    stopper.start(20);
    child<QPushButton>(screen, "query")->click();  // returns when the loop has stopped
    QVERIFY(screen.periodsDrawn() >= 3);
    QCOMPARE(screen.queryLoop().loop().periodSeconds(), 3);  // one path
    QVERIFY(screen.graph()->hasPicture());
    QCOMPARE(child<QLabel>(screen, "status")->text(), QStringLiteral("Graph. arrete"));
  }

  void summaryLampFollowsThePaths() {
    test::MeterProcess meter;
    QVERIFY2(meter.startTcp({"--profile", "gas4"}), meter.error().c_str());
    AppState app;
    QVERIFY(test::connectToTestMeter(app, meter.tcpPort()));
    ScaledClock clock(kFast);
    Summary screen(app);
    screen.setClock(&clock, kFast);
    screen.show();
    QCOMPARE(screen.windowTitle(), QStringLiteral("Sommaire systeme"));
    bool printable = false;
    SummaryPage page;
    QTimer stopper;
    QObject::connect(&stopper, &QTimer::timeout, &screen, [&] {
      if (screen.periodsDrawn() < 1 || !screen.queryLoop().running()) return;
      printable = child<QPushButton>(screen, "print")->isEnabled();
      page = screen.page();
      child<QPushButton>(screen, "stop")->click();
    });
    stopper.start(20);
    QTRY_VERIFY_WITH_TIMEOUT(screen.periodsDrawn() >= 1 && !screen.queryLoop().running(), 30000);
    QVERIFY(printable);
    QVERIFY(page.flow != "-");
    QCOMPARE(page.gainLabel, std::string("ALC"));
    QCOMPARE(child<QLabel>(screen, "status")->text(), QStringLiteral("Interrogation arretee"));
  }
};

QTEST_MAIN(TrendSummaryTest)
#include "trend_summary_test.moc"
