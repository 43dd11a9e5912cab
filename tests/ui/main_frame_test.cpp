#include <QAction>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

#include "app/commands.h"
#include "app/layout_choice.h"
#include "app/main_frame.h"
#include "app/pictures.h"
#include "ui_test_support.h"

using namespace tarnlux;
using namespace tarnlux::ui;

namespace {

// A listening socket on the loopback interface; the port in `port`.
int listenOnLoopback(std::uint16_t& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd, 4) != 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    return -1;
  }
  port = ntohs(address.sin_port);
  return fd;
}

QStringList itemTexts(const QMenu* menu) {
  QStringList texts;
  for (const QAction* action : menu->actions()) {
    texts << (action->isSeparator() ? QStringLiteral("---") : action->text());
  }
  return texts;
}

// A report generator window whose worker stops, or hangs.
class FakeReportWindow : public QWidget, public ReportGeneratorWindow {
 public:
  explicit FakeReportWindow(bool stops) : stops_(stops) {}
  bool stopWorker(int timeoutMs) override {
    askedMs = timeoutMs;
    return stops_;
  }
  int askedMs = -1;

 private:
  bool stops_;
};

}  // namespace

class MainFrameTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir programDir_;
  std::unique_ptr<AppState> app_;
  std::unique_ptr<CMainFrame> frame_;
  test::FixedPortScanner scanner_;

  QMenu* configure() { return frame_->topMenu(1); }

  // A connect screen that "finds" a meter with the given facts.
  void installConnect(bool memoryBlock, bool alarmStorage, bool ok = true) {
    frame_->setConnectScreen([=](CMainFrame& frame) {
      frame.app().meter.memoryBlock = memoryBlock;
      frame.app().meter.alarmStorage = alarmStorage;
      return ok;
    });
  }

 private slots:
  void initTestCase() { QVERIFY(QDir::setCurrent(programDir_.path())); }

  void init() {
    app_ = std::make_unique<AppState>();
    app_->portScanner = &scanner_;
    app_->linkSettings.portName = kTcpPortName;
    frame_ = std::make_unique<CMainFrame>(*app_);
  }

  void cleanup() {
    frame_.reset();
    app_.reset();
  }

  void titleAndProgramDirectory() {
    QCOMPARE(frame_->windowTitle(), QStringLiteral("Version Norvane Tarnlux 1.01.05"));
    QVERIFY(!frame_->windowIcon().isNull());
    QCOMPARE(QString::fromStdString(app_->programDirectory), programDir_.path() + "/");
  }

  void menuHoldsTheFrenchItemsInTemplateOrder() {
    QStringList titles;
    for (const QAction* action : frame_->menuBar()->actions()) titles << action->text();
    QCOMPARE(titles, (QStringList{"&Fichier", "&Configurer", "C&onnexion", "&Graphes", "&Diagnostics",
                                  "&Rapports", "&Utilitaires", "&Parametres compteur", "&Aide"}));

    QCOMPARE(itemTexts(frame_->topMenu(0)), (QStringList{"&Config impression...", "---", "&Quitter"}));
    QCOMPARE(itemTexts(frame_->topMenu(1)), (QStringList{"&Communications"}));
    QCOMPARE(itemTexts(frame_->topMenu(2)), (QStringList{"&Connexion"}));
    QCOMPARE(itemTexts(frame_->topMenu(3)), (QStringList{"Graphe &signal", "Graphe &tend."}));
    QCOMPARE(itemTexts(frame_->topMenu(4)),
             (QStringList{"&Diagnostic comptr", "&Evenements memorises", "&Sommaire systeme"}));
    QCOMPARE(itemTexts(frame_->topMenu(5)), (QStringList{"&Gen de rapport"}));
    QCOMPARE(itemTexts(frame_->topMenu(6)),
             (QStringList{"&Terminal", "Calculs &AGA8", "&Outil pour les gaz", "O&util pour les liquides",
                          "&Calculateur flux energ.", "&Charger sys expl.", "&Enreg/Restaurer sites"}));
    QCOMPARE(itemTexts(frame_->topMenu(7)), (QStringList{"&Parametres generaux"}));
    QCOMPARE(itemTexts(frame_->topMenu(8)), (QStringList{"&A propos de Tarnlux"}));

    // Every item is found by its command id.
    for (int id : {32771, 32773, 32774, 32775, 32776, 32779, 32780, 32781, 32782, 32784, 32785, 32786,
                   32787, 32788, 32789, 32790, 57606, 57664, 57665}) {
      QAction* action = frame_->findChild<QAction*>(QStringLiteral("action%1").arg(id));
      QVERIFY2(action != nullptr, qPrintable(QString::number(id)));
      QCOMPARE(action->data().toInt(), id);
    }
  }

  void meterItemsAbsentUntilConnected() {
    for (int id : {32777, 32778, 32783}) {
      QVERIFY(frame_->findChild<QAction*>(QStringLiteral("action%1").arg(id)) == nullptr);
      QVERIFY(frame_->commandAction(id) == nullptr);
    }
  }

  void commandsWithoutScreenAreGreyedAndHarmless() {
    QVERIFY(frame_->commandAction(kCmdCommunications)->isEnabled());
    QVERIFY(frame_->commandAction(kCmdAbout)->isEnabled());
    // Without a connect screen the command has nothing to do, and nothing happens.
    frame_->setConnectScreen({});
    QVERIFY(!frame_->commandAction(kCmdConnect)->isEnabled());
    frame_->runCommand(kCmdConnect);
    QVERIFY(!app_->connected);

    // A menu command whose screen is not installed (yet).
    int unset = 0;
    for (int id : {kCmdTerminal, kCmdLoadOperatingSystem, kCmdSites, kCmdPrintSetup}) {
      QAction* action = frame_->commandAction(id);
      if (unset == 0 && action != nullptr && !action->isEnabled()) unset = id;
    }
    if (unset == 0) QSKIP("every menu command has its screen");
    frame_->runCommand(unset);
    QVERIFY(!app_->connected);
    bool ran = false;
    frame_->setCommandHandler(unset, [&] { ran = true; });
    QVERIFY(frame_->commandAction(unset)->isEnabled());
    frame_->commandAction(unset)->trigger();
    QVERIFY(ran);
  }

  void statusBarWhileDisconnected() {
    QCOMPARE(frame_->statusPane(0)->text(), QStringLiteral("Non connecte"));
    QCOMPARE(frame_->statusPane(1)->text(), QStringLiteral("TCP/IP"));

    app_->linkSettings.portName = "/dev/ttyS0";
    app_->linkSettings.baudRate = 9600;
    app_->linkSettings.dataBits = 7;
    app_->linkSettings.parityCode = 1;
    app_->linkSettings.stopBitsCode = 0;
    frame_->refreshStatusBar();
    QCOMPARE(frame_->statusPane(1)->text(), QStringLiteral("9600 7-I-1"));

    app_->linkSettings.baudRate = 115200;
    app_->linkSettings.dataBits = 8;
    app_->linkSettings.parityCode = 0;
    app_->linkSettings.stopBitsCode = 2;
    frame_->refreshStatusBar();
    QCOMPARE(frame_->statusPane(1)->text(), QStringLiteral("115200 8-A-2"));
  }

  void connectAddsTheMeterItemsAndDisconnectRemovesThem() {
    app_->linkSettings.portName = "/dev/ttyUSB0";
    app_->linkSettings.baudRate = 19200;
    installConnect(true, true);

    frame_->runCommand(kCmdConnect);
    QVERIFY(app_->connected);
    QVERIFY(!app_->linkIsTcp);
    QCOMPARE(frame_->commandAction(kCmdConnect)->text(), QStringLiteral("&Deconnexion"));
    QCOMPARE(itemTexts(configure()), (QStringList{"&Communications", "&Information compteur",
                                                  "&Limites OK/Echec", "&Config. memor. Alarme/Alertes"}));
    QCOMPARE(frame_->statusPane(0)->text(), QStringLiteral("Connecte"));
    QCOMPARE(frame_->statusPane(1)->text(), QStringLiteral("19200 7-I-1"));

    // While connected the pane shows the line the connection was made with.
    app_->linkSettings.baudRate = 4800;
    frame_->refreshStatusBar();
    QCOMPARE(frame_->statusPane(1)->text(), QStringLiteral("19200 7-I-1"));

    frame_->runCommand(kCmdConnect);
    QVERIFY(!app_->connected);
    QVERIFY(!app_->meter.alarmStorage);
    QCOMPARE(frame_->commandAction(kCmdConnect)->text(), QStringLiteral("&Connexion"));
    QCOMPARE(itemTexts(configure()), (QStringList{"&Communications"}));
    for (int id : {32777, 32778, 32783}) QVERIFY(frame_->commandAction(id) == nullptr);
    QCOMPARE(frame_->statusPane(0)->text(), QStringLiteral("Non connecte"));
    QCOMPARE(frame_->statusPane(1)->text(), QStringLiteral("4800 7-I-1"));
  }

  void meterItemsFollowWhatTheMeterSupports() {
    installConnect(true, false);
    frame_->runCommand(kCmdConnect);
    QCOMPARE(itemTexts(configure()),
             (QStringList{"&Communications", "&Information compteur", "&Limites OK/Echec"}));
    QCOMPARE(frame_->statusPane(1)->text(), QStringLiteral("TCP/IP"));
    frame_->runCommand(kCmdConnect);

    installConnect(false, true);
    frame_->runCommand(kCmdConnect);
    QVERIFY(app_->connected);
    QCOMPARE(itemTexts(configure()), (QStringList{"&Communications"}));
    frame_->runCommand(kCmdConnect);

    // A connect screen left with Cancel changes nothing.
    installConnect(true, true, false);
    frame_->runCommand(kCmdConnect);
    QVERIFY(!app_->connected);
    QCOMPARE(frame_->commandAction(kCmdConnect)->text(), QStringLiteral("&Connexion"));
    QCOMPARE(itemTexts(configure()), (QStringList{"&Communications"}));
  }

  void disconnectAndCloseShutTheLink() {
    std::uint16_t port = 0;
    const int server = listenOnLoopback(port);
    QVERIFY(server >= 0);
    app_->linkSettings.ipAddress = "127.0.0.1";
    app_->linkSettings.ipPort = port;
    app_->linkSettings.portMissing = 0;
    frame_->setConnectScreen([](CMainFrame& frame) {
      OperationContext ctx;
      return frame.app().link.openLink(frame.app().linkSettings, false, 2000, ctx) == 0;
    });

    frame_->runCommand(kCmdConnect);
    QVERIFY(app_->connected);
    QVERIFY(app_->link.isOpen());
    frame_->runCommand(kCmdConnect);
    QVERIFY(!app_->link.isOpen());

    frame_->runCommand(kCmdConnect);
    QVERIFY(app_->link.isOpen());
    frame_->close();
    QVERIFY(!app_->link.isOpen());
    ::close(server);
  }

  void reportGeneratorOpensOnce() {
    int made = 0;
    frame_->reportGenerator().setFactory([&](ScreenLayout, QWidget*) {
      ++made;
      return new FakeReportWindow(true);
    });
    frame_->refreshStatusBar();
    QVERIFY(frame_->commandAction(kCmdReportGenerator)->isEnabled());

    frame_->runCommand(kCmdReportGenerator);
    frame_->runCommand(kCmdReportGenerator);
    QCOMPARE(made, 1);
    QPointer<QWidget> window = frame_->reportGenerator().window();
    QVERIFY(window && window->isVisible());

    // Once closed, the next request opens a new one.
    window->close();
    QTRY_VERIFY(window.isNull());
    frame_->runCommand(kCmdReportGenerator);
    QCOMPARE(made, 2);
  }

  void closingEndsTheReportWorker() {
    test::RecordedErrorBoxes boxes;
    FakeReportWindow* window = nullptr;
    frame_->reportGenerator().setFactory([&](ScreenLayout, QWidget*) { return window = new FakeReportWindow(true); });
    frame_->runCommand(kCmdReportGenerator);
    QPointer<QWidget> guard(window);

    QStringList steps;
    frame_->addCloseStep([&] { steps << "step"; });
    frame_->close();
    QCOMPARE(steps, QStringList{"step"});
    QVERIFY(guard.isNull());
    QVERIFY(boxes.texts.isEmpty());
  }

  void aReportWorkerThatDoesNotEndStopsTheProgram() {
    test::RecordedErrorBoxes boxes;
    FakeReportWindow* window = nullptr;
    frame_->reportGenerator().setFactory([&](ScreenLayout, QWidget*) { return window = new FakeReportWindow(false); });
    frame_->runCommand(kCmdReportGenerator);
    bool ended = false;
    frame_->reportGenerator().setAbnormalEnd([&] { ended = true; });

    frame_->close();
    QCOMPARE(window->askedMs, 500);
    QVERIFY(ended);
    QCOMPARE(boxes.texts, QStringList{"Fin anormale du thread"});
    delete window;
  }

  void pictureFillsTheClientAreaWithItsFrameLines() {
    frame_->resize(800, 600);
    frame_->show();
    QVERIFY(QTest::qWaitForWindowExposed(frame_.get()));
    pictbutt* picture = frame_->picture();
    QVERIFY(!picture->picture().isNull());
    QCOMPARE(picture->width(), frame_->width());
    QVERIFY(picture->geometry().bottom() < frame_->statusBar()->geometry().top());

    const QImage image = picture->grab().toImage();
    QCOMPARE(image.pixelColor(image.width() / 2, 0), QColor(Qt::black));
    QCOMPARE(image.pixelColor(0, image.height() / 2), QColor(Qt::black));
    QVERIFY(image.pixelColor(image.width() / 2, image.height() / 2) != QColor(Qt::black));
  }

  void layoutFollowsTheDesktopSize() {
    QCOMPARE(chooseLayout(1024, 768), ScreenLayout::Large);
    QCOMPARE(chooseLayout(1920, 1080), ScreenLayout::Large);
    QCOMPARE(chooseLayout(1023, 768), ScreenLayout::Small);
    QCOMPARE(chooseLayout(1024, 767), ScreenLayout::Small);
    // A size the platform does not report never picks the small layout.
    QCOMPARE(chooseLayout(0, 0), ScreenLayout::Large);
    QCOMPARE(chooseLayout(0, 600), ScreenLayout::Small);
    QCOMPARE(chooseLayout(800, 0), ScreenLayout::Small);
  }
};

QTEST_MAIN(MainFrameTest)
#include "main_frame_test.moc"
