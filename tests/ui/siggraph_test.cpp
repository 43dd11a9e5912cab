// The signal graph screen against the simulated meter, on the offscreen platform.

#include "graph/siggraph.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

#include "app/app_state.h"
#include "common/clock.h"
#include "common/result.h"
#include "graph/graph.h"
#include "link/link_settings.h"
#include "meter_process.h"
#include "ui_test_support.h"

using namespace tarnlux;
using namespace tarnlux::ui;

namespace {

const QRgb kRed = qRgb(255, 0, 0);
const QRgb kBlue = qRgb(0, 0, 255);
const QRgb kGreen = qRgb(0, 255, 0);

template <typename T>
T* child(QWidget& parent, const char* name) {
  T* found = parent.findChild<T*>(QString::fromLatin1(name));
  if (found == nullptr) qFatal("no child %s", name);
  return found;
}

int countColour(const QImage& image, QRgb colour, QRect area) {
  int n = 0;
  area = area.intersected(image.rect());
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) n += image.pixel(x, y) == colour;
  }
  return n;
}

QImage render(QWidget& widget) {
  QImage image(widget.size(), QImage::Format_RGB32);
  image.fill(Qt::gray);
  widget.render(&image);
  return image;
}

// Runs `action` once `condition` holds, from inside whatever event loop is
// running then (the screen's query loop pumps events while it waits).
void when(QObject* owner, std::function<bool()> condition, std::function<void()> action) {
  auto* timer = new QTimer(owner);
  QObject::connect(timer, &QTimer::timeout, owner, [timer, condition, action] {
    if (!condition()) return;
    timer->stop();
    timer->deleteLater();
    action();
  });
  timer->start(20);
}

}  // namespace

class SiggraphTest : public QObject {
  Q_OBJECT

  std::unique_ptr<test::RecordedErrorBoxes> boxes_;
  QStringList retryTexts_;
  bool retryAnswer_ = false;

  // The application record as the connect step leaves it for the default
  // meter: channel 1 in transit time, memory block, extended diagnostics.
  void connectTo(AppState& app, const test::MeterProcess& meter, std::uint32_t flags = 0x10010) {
    app.linkSettings.portName = kTcpPortName;
    app.linkSettings.ipAddress = "127.0.0.1";
    app.linkSettings.ipPort = static_cast<std::uint16_t>(meter.tcpPort());
    app.linkSettings.portMissing = 0;
    OperationContext ctx;
    QCOMPARE(app.link.openLink(app.linkSettings, false, 5000, ctx), kOk);
    app.connected = true;
    app.linkIsTcp = true;
    app.lineAtConnect = app.linkSettings;
    applyCapabilityWord(app.meter, flags, true);
    app.meter.typeText = "7326L";
    app.meter.versionText = "3.04.02M";
    app.meter.extendedDiagnostics = true;
    app.link.meterFlags = flags;
  }

  void startMeter(test::MeterProcess& meter, const std::vector<std::string>& extra = {}) {
    QVERIFY2(meter.startTcp(extra), meter.error().c_str());
  }

 private slots:
  void init() {
    boxes_ = std::make_unique<test::RecordedErrorBoxes>();
    retryTexts_.clear();
    retryAnswer_ = false;
    setSignalRetryPresenter([this](QWidget*, const QString& text) {
      retryTexts_.append(text);
      return retryAnswer_;
    });
    signalGraphSettings() = SignalSettings{};
  }
  void cleanup() {
    setSignalRetryPresenter({});
    boxes_.reset();
  }

  void opensWithItsFrenchTextsAndSaysWhenNotConnected() {
    AppState app;
    Siggraph screen(app);
    screen.show();
    QCOMPARE(screen.windowTitle(), QStringLiteral("Graphe signal"));
    // The small layout serves desktops below 1024 x 768.
    QVERIFY(screen.minimumSizeHint().width() <= 800);
    QVERIFY(screen.minimumSizeHint().height() <= 600);
    for (const auto& [name, text] : {std::pair{"channel1", "Canal 1"},
                                     {"channel4", "Canal 4"},
                                     {"fluid", "Liquide"},
                                     {"nullTrack", "NullTrack"},
                                     {"signal", "Signal"},
                                     {"envelope", "Enveloppe"},
                                     {"continuous", "En continu"},
                                     {"once", "Une fois"},
                                     {"correlated", "Correle"}}) {
      QCOMPARE(child<QAbstractButton>(screen, name)->text(), QString::fromLatin1(text));
    }
    for (const auto& [name, text] : {std::pair{"query", "Demander"},
                                     {"stop", "Stop"},
                                     {"print", "Imprimer"}, {"exportPdf", "Exporter PDF"},
                                     {"manual", "Afficher manuel"},
                                     {"zoomIn", "Zoom avant"},
                                     {"zoomOut", "Zoom arriere"},
                                     {"exit", "Quitter"}}) {
      QCOMPARE(child<QPushButton>(screen, name)->text(), QString::fromLatin1(text));
    }
    QCOMPARE(child<QLabel>(screen, "resolutionLabel")->text(),
             QStringLiteral("Resolution signal:"));
    QCOMPARE(child<QLabel>(screen, "statusLabel")->text(), QStringLiteral("Etat:"));
    auto* resolution = child<QComboBox>(screen, "resolution");
    QCOMPARE(resolution->count(), 3);
    QCOMPARE(resolution->itemText(0), QStringLiteral("Haut"));
    QCOMPARE(resolution->itemText(2), QStringLiteral("Bas"));
    QVERIFY(!child<QPushButton>(screen, "zoomOut")->isEnabled());
    QVERIFY(!child<QPushButton>(screen, "print")->isEnabled());
    QVERIFY(!child<QPushButton>(screen, "exportPdf")->isEnabled());
    QVERIFY(!child<QRadioButton>(screen, "channel1")->isEnabled());
    QVERIFY(!child<QRadioButton>(screen, "fluid")->isEnabled());
    // The query posted at opening finds no meter.
    QTRY_COMPARE(boxes_->texts, QStringList{QStringLiteral("Non connecte au compteur")});
  }

  void rememberedChannelThatTheMeterLacksBecomesNone() {
    test::MeterProcess meter;
    startMeter(meter);
    AppState app;
    connectTo(app, meter);
    signalGraphSettings().channel = 2;
    Siggraph screen(app);
    screen.show();
    QVERIFY(child<QRadioButton>(screen, "channel1")->isEnabled());
    QVERIFY(!child<QRadioButton>(screen, "channel3")->isEnabled());
    QVERIFY(!child<QRadioButton>(screen, "channel3")->isChecked());
    QTRY_COMPARE(boxes_->texts, QStringList{QStringLiteral("Aucun canal temps de transit active")});
    QCOMPARE(screen.windowTitle(),
             QStringLiteral("Graphe signal pour syst op  7326L Version  3.04.02M"));
  }

  void onceDrawsTheFigureTableAndBothBursts() {
    test::MeterProcess meter;
    startMeter(meter);
    AppState app;
    connectTo(app, meter);
    signalGraphSettings().channel = 0;
    Siggraph screen(app);
    screen.resize(800, 600);
    screen.show();
    // The query posted at opening runs in the remembered mode (Continuous):
    // stop it after its first picture, then ask once.
    when(
        &screen, [&] { return screen.shownAnswer() != nullptr; },
        [&] { child<QPushButton>(screen, "stop")->click(); });
    QTRY_VERIFY_WITH_TIMEOUT(screen.shownAnswer() != nullptr && !screen.querying(), 20000);
    QCOMPARE(child<QLabel>(screen, "status")->text(), QStringLiteral("Graph. arrete"));

    child<QRadioButton>(screen, "once")->click();
    child<QComboBox>(screen, "resolution")->setCurrentIndex(1);
    emit child<QComboBox>(screen, "resolution")->activated(1);
    child<QPushButton>(screen, "query")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!screen.querying(), 20000);
    QVERIFY2(boxes_->texts.isEmpty(), qPrintable(boxes_->texts.join('|')));
    QCOMPARE(child<QLabel>(screen, "status")->text(), QString());
    QVERIFY(child<QPushButton>(screen, "print")->isEnabled());
    QVERIFY(child<QPushButton>(screen, "exportPdf")->isEnabled());
    const SignalAnswer* answer = screen.shownAnswer();
    QCOMPARE(answer->resolution, 2);
    QCOMPARE(answer->a.samples.size(), std::size_t{512});

    Graph* graph = screen.graph();
    const QImage image = render(*graph);
    if (const QByteArray dir = qgetenv("TARNLUX_SCREENSHOT_DIR"); !dir.isEmpty()) {
      screen.grab().save(QString::fromLocal8Bit(dir) + "/siggraph.png");
    }
    // The table as drawn: labels, the meter's figures, graded gains.
    const SignalFigureTable& table = screen.shownTable();
    QCOMPARE(table[0][0].text, std::string("ALC(up)"));
    QCOMPARE(table[0][1].text, std::string("50"));
    QCOMPARE(table[0][4].text, std::string("Tamp CAN%:"));
    QCOMPARE(table[0][5].text, std::string("72"));
    QCOMPARE(table[1][5].text, std::string("6%"));
    QCOMPARE(table[2][4].text, std::string("T delta nanosec:"));
    QCOMPARE(table[3][0].text, std::string("Vit flux P/S:"));
    QCOMPARE(table[3][3].text, std::string("4862.200"));
    QCOMPARE(table[0][1].grade, std::optional<GradeColour>(GradeColour::Green));

    const int tableBottom = graph->height() / 6;
    QVERIFY(countColour(image, kGreen, QRect(0, 0, graph->width(), tableBottom)) > 200);
    const QRect plot(0, tableBottom, graph->width(), graph->height() - tableBottom);
    QVERIFY2(countColour(image, kRed, plot) > 300, "burst A in red");
    QVERIFY2(countColour(image, kBlue, plot) > 300, "burst B in blue");
    QVERIFY2(countColour(image, kGreen, plot) > graph->width() / 2, "the zero line");

    // The same picture on the upper half of a landscape page.
    QTemporaryDir dir;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QByteArray shots = qgetenv("TARNLUX_SCREENSHOT_DIR");
    const QString pdf = shots.isEmpty() ? dir.filePath("signal.pdf")
                                        : QString::fromLocal8Bit(shots) + "/siggraph.pdf";
    printer.setOutputFileName(pdf);
    printer.setPageOrientation(QPageLayout::Landscape);
    QVERIFY(graph->printTo(printer));
    QVERIFY(QFileInfo(pdf).size() > 2000);
  }

  void zoomKeepsTheCentreSampleAndStopsAtEight() {
    test::MeterProcess meter;
    startMeter(meter);
    AppState app;
    connectTo(app, meter);
    signalGraphSettings().channel = 0;
    signalGraphSettings().continuous = false;
    Siggraph screen(app);
    screen.resize(1000, 700);
    screen.show();
    QTRY_VERIFY_WITH_TIMEOUT(screen.shownAnswer() != nullptr && !screen.querying(), 20000);
    auto* zoomIn = child<QPushButton>(screen, "zoomIn");
    auto* zoomOut = child<QPushButton>(screen, "zoomOut");
    auto* bar = child<QScrollBar>(screen, "traceScroll");

    zoomIn->click();
    QVERIFY(bar->isVisible());
    if (const QByteArray dir = qgetenv("TARNLUX_SCREENSHOT_DIR"); !dir.isEmpty()) {
      screen.grab().save(QString::fromLocal8Bit(dir) + "/siggraph-zoom.png");
    }
    QCOMPARE(bar->minimum(), 1);
    QCOMPARE(bar->maximum(), screen.traceView().scrollRange());
    // Scroll to a place in the trace, then zoom around it.
    bar->setSliderPosition(200);
    emit bar->sliderReleased();
    QCOMPARE(screen.traceView().firstSample(), 199);
    const double centre = screen.traceView().centreSample();
    zoomIn->click();
    QVERIFY(std::abs(screen.traceView().centreSample() - centre) <= 1.0);
    zoomIn->click();
    QCOMPARE(signalGraphSettings().zoom, 8);
    QVERIFY(!zoomIn->isEnabled());
    QVERIFY(zoomOut->isEnabled());
    QVERIFY(std::abs(screen.traceView().centreSample() - centre) <= 1.0);
    // Page right until the end: the last sample comes into view.
    for (int i = 0; i < 200; ++i) bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    QCOMPARE(screen.traceView().scrollPosition(), screen.traceView().scrollRange());
    QCOMPARE(bar->value(), bar->maximum());
    int x = 0;
    QVERIFY(screen.traceView().visibleColumn(1023, 0, x));
    zoomOut->click();
    zoomOut->click();
    zoomOut->click();
    QVERIFY(!zoomOut->isEnabled());
    QCOMPARE(signalGraphSettings().zoom, 1);
  }

  void nullTrackEnvelopeOfTheChannel() {
    test::MeterProcess meter;
    startMeter(meter, {"--profile", "dual2"});
    AppState app;
    // Channel 1 transit time with NullTrack, channel 2 Echoflux.
    connectTo(app, meter, 0x12118);
    signalGraphSettings().channel = 0;
    signalGraphSettings().continuous = false;
    signalGraphSettings().graphType = 1;
    Siggraph screen(app);
    screen.resize(1000, 700);
    QVERIFY2(!child<QRadioButton>(screen, "channel2")->isEnabled(), "an Echoflux channel");
    auto* nullTrack = child<QRadioButton>(screen, "nullTrack");
    QVERIFY(nullTrack->isEnabled());
    nullTrack->click();
    QCOMPARE(signalGraphSettings().nullTrackOffset, 1);
    screen.show();
    QTRY_VERIFY_WITH_TIMEOUT(screen.shownAnswer() != nullptr && !screen.querying(), 20000);
    QVERIFY2(boxes_->texts.isEmpty(), qPrintable(boxes_->texts.join('|')));
    QCOMPARE(screen.shownAnswer()->channelDigit, 1);
    QCOMPARE(screen.shownAnswer()->graphType, 1);
    render(*screen.graph());
    if (const QByteArray dir = qgetenv("TARNLUX_SCREENSHOT_DIR"); !dir.isEmpty()) {
      screen.grab().save(QString::fromLocal8Bit(dir) + "/siggraph-nulltrack.png");
    }
    const SignalFigureTable& table = screen.shownTable();
    QCOMPARE(table[3][1].text, std::string("-"));
    QCOMPARE(table[3][3].text, std::string("-"));
    // About 15 ns against NullTrack limits of 40 and 100 ns at a reference count of 64.
    QCOMPARE(table[2][5].grade, std::optional<GradeColour>(GradeColour::Green));
  }

  void failedPathAsksWhetherToQueryAgain() {
    test::MeterProcess meter;
    startMeter(meter, {"--fault", "not-measuring=0"});
    AppState app;
    connectTo(app, meter);
    signalGraphSettings().channel = 0;
    const ScaledClock fast(1000.0);  // the 50 s channel wait in a twentieth of a second
    Siggraph screen(app);
    screen.setClock(&fast);
    screen.show();
    QTRY_VERIFY_WITH_TIMEOUT(!retryTexts_.isEmpty() && !screen.querying(), 20000);
    QCOMPARE(retryTexts_,
             QStringList{QStringLiteral("Echec canal 1.\nNouvelle interrogation souhaitee?")});
    QVERIFY(boxes_->texts.isEmpty());
    QVERIFY(app.link.isOpen());

    // Once: the same failure in an error box.
    child<QRadioButton>(screen, "once")->click();
    child<QPushButton>(screen, "query")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!screen.querying(), 20000);
    QCOMPARE(boxes_->texts, QStringList{QStringLiteral("Echec canal 1")});
  }

  void malformedAnswerEndsAsACommunicationFailure() {
    test::MeterProcess meter;
    startMeter(meter, {"--fault", "bad-signal=length"});
    AppState app;
    connectTo(app, meter);
    signalGraphSettings().channel = 0;
    signalGraphSettings().continuous = false;
    Siggraph screen(app);
    screen.show();
    QTRY_VERIFY_WITH_TIMEOUT(!boxes_->texts.isEmpty() && !screen.querying(), 30000);
    // One reconnection was tried; the answer stayed malformed.
    QCOMPARE(boxes_->texts,
             (QStringList{QStringLiteral("Donnees compt. non valables - Code d'erreur: 20304"),
                          QStringLiteral("Echec de communication - Code d'erreur: 20304")}));
    QVERIFY(!app.link.isOpen());
    QVERIFY(screen.shownAnswer() == nullptr);
  }

  void droppedConnectionIsReopenedOnce() {
    test::MeterProcess meter;
    // The meter hangs up after its first answer (the channel status read).
    startMeter(meter, {"--fault", "drop=1"});
    AppState app;
    connectTo(app, meter);
    signalGraphSettings().channel = 0;
    signalGraphSettings().continuous = false;
    Siggraph screen(app);
    screen.show();
    QTRY_VERIFY_WITH_TIMEOUT(
        !screen.querying() && (screen.shownAnswer() != nullptr || !boxes_->texts.isEmpty()), 30000);
    QVERIFY2(boxes_->texts.isEmpty(), qPrintable(boxes_->texts.join('|')));
    QVERIFY(screen.shownAnswer() != nullptr);
    QVERIFY(app.link.isOpen());
  }

  void exitWhileQueryingClosesWhenTheLoopEnds() {
    test::MeterProcess meter;
    startMeter(meter);
    AppState app;
    connectTo(app, meter);
    signalGraphSettings().channel = 0;
    hres_sig screen(app);
    QCOMPARE(screen.objectName(), QStringLiteral("hres_sig"));
    screen.show();
    when(
        &screen, [&] { return screen.shownAnswer() != nullptr; },
        [&] {
          if (const QByteArray dir = qgetenv("TARNLUX_SCREENSHOT_DIR"); !dir.isEmpty()) {
            screen.grab().save(QString::fromLocal8Bit(dir) + "/hres_sig.png");
          }
          child<QPushButton>(screen, "exit")->click();
        });
    QTRY_VERIFY_WITH_TIMEOUT(!screen.isVisible(), 20000);
    QVERIFY(!screen.querying());
    QCOMPARE(screen.result(), int(QDialog::Rejected));
    QVERIFY(boxes_->texts.isEmpty());
  }
};

QTEST_MAIN(SiggraphTest)
#include "siggraph_test.moc"
