#include "link/connect2.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

#include "app/app_state.h"
#include "app/commands.h"
#include "app/main_frame.h"
#include "cli_process.h"
#include "meter_process.h"
#include "test_context.h"
#include "ui_test_support.h"
#include "test_paths.h"

using namespace tarnlux;
using namespace tarnlux::ui;

namespace {

template <typename T>
T* child(QWidget& screen, const char* name) {
  T* widget = screen.findChild<T*>(name);
  if (widget == nullptr) qFatal("no child %s", name);
  return widget;
}

QString status(connect2& screen) { return child<QLabel>(screen, "status")->text(); }

QStringList comboItems(connect2& screen) {
  auto* combo = child<QComboBox>(screen, "siteName");
  QStringList items;
  for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
  return items;
}

QStringList itemTexts(const QMenu* menu) {
  QStringList texts;
  for (const QAction* action : menu->actions()) texts << action->text();
  return texts;
}

// Runs `step` once `ready` holds. The connect screen's OK runs the whole
// exchange (and the channel question) inside the click, so the test acts from
// timers while that click is still in progress. The timer goes with `owner`.
void whenReady(QObject* owner, std::function<bool()> ready, std::function<void()> step) {
  auto* timer = new QTimer(owner);
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, ready = std::move(ready), step = std::move(step)] {
    if (!ready()) return;
    timer->stop();
    timer->deleteLater();
    step();
  });
  timer->start();
}

// The default profile turned into a meter with two transit-time channels (or
// a password), written into `dir`.
std::string writeProfile(const QString& dir, const char* name,
                         const std::function<void(std::string&)>& edit) {
  const std::string source =
      test::readWholeFile(test::testDataDir() + "/../../src/meter/profiles/liquid1.ini");
  std::string text = source;
  edit(text);
  const std::string path = QDir(dir).filePath(name).toStdString();
  test::writeWholeFile(path, text);
  return path;
}

void replaceLine(std::string& text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  if (at == std::string::npos) qFatal("profile line %s not found", from.c_str());
  text.replace(at, from.size(), to);
}

}  // namespace

class Connect2Test : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<AppState> app_;
  std::unique_ptr<test::RecordedErrorBoxes> boxes_;
  test::MeterProcess meter_;

  std::string programDir() const { return QDir(dir_->path()).absolutePath().toStdString() + "/"; }
  std::string listPath() const { return programDir() + "namelist.ini"; }
  // The list file's names, one a line, whatever the line ends.
  std::string listText() const {
    std::string text = test::readWholeFile(listPath());
    std::erase(text, '\r');
    return text;
  }

  void startMeter(const std::vector<std::string>& extra = {}) {
    if (!meter_.startTcp(extra)) qFatal("meter: %s", meter_.error().c_str());
    app_->linkSettings.portName = "TCP/IP";
    app_->linkSettings.ipAddress = "127.0.0.1";
    app_->linkSettings.ipPort = static_cast<std::uint16_t>(meter_.tcpPort());
    app_->linkSettings.portMissing = 0;
  }

  std::unique_ptr<connect2> open() {
    auto screen = std::make_unique<connect2>(*app_);
    screen->show();
    if (!QTest::qWaitForWindowActive(screen.get())) qFatal("screen not active");
    return screen;
  }

  // OK in the connect step, ending in the naming step.
  void connectToNaming(connect2& screen) {
    child<QPushButton>(screen, "ok")->click();
    QVERIFY2(screen.step() == connect2::Step::Naming, qPrintable(boxes_->texts.join(" | ")));
  }

  void typeName(connect2& screen, const QString& text) {
    child<QComboBox>(screen, "siteName")->setEditText(text);
  }

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    app_ = std::make_unique<AppState>();
    app_->programDirectory = programDir();
    boxes_ = std::make_unique<test::RecordedErrorBoxes>();
  }

  void cleanup() {
    meter_.stop();
    if (app_->link.isOpen()) {
      OperationContext ctx;
      app_->link.closeLink(false, ctx);
    }
    boxes_.reset();
    app_.reset();
    dir_.reset();
  }

  void opensWithItsTextsAndTheSortedNameList() {
    test::writeWholeFile(listPath(), "zeta\r\nALPHA\n\nbad name\rMID_1\r\nTOO_LONG_FOR_A_NAME\n");
    connect2 screen(*app_);
    QCOMPARE(screen.windowTitle(), QStringLiteral("Connecter"));
    QCOMPARE(child<QLabel>(screen, "statusLabel")->text(), QStringLiteral("Etat connexion:"));
    QCOMPARE(child<QGroupBox>(screen, "channelGroup")->title(), QStringLiteral("Sel canal"));
    QCOMPARE(child<QGroupBox>(screen, "nameGroup")->title(), QStringLiteral("Empl/No pt m:"));
    for (int n = 1; n <= 4; ++n) {
      auto* button = child<QRadioButton>(screen, qPrintable(QStringLiteral("channel%1").arg(n)));
      QCOMPARE(button->text(), QStringLiteral("Canal %1").arg(n));
      QVERIFY(!button->isEnabled());
    }
    QCOMPARE(child<QPushButton>(screen, "remove")->text(), QStringLiteral("Retirer"));
    QCOMPARE(child<QPushButton>(screen, "ok")->text(), QStringLiteral("OK"));
    QCOMPARE(child<QPushButton>(screen, "manual")->text(), QStringLiteral("Afficher manuel"));
    QCOMPARE(child<QPushButton>(screen, "cancel")->text(), QStringLiteral("Annuler"));
    QVERIFY(!child<QComboBox>(screen, "siteName")->isEnabled());
    QVERIFY(!child<QPushButton>(screen, "remove")->isEnabled());
    // Names failing the rule are dropped, lower case is raised, the rest sorted.
    QCOMPARE(comboItems(screen), (QStringList{"ALPHA", "MID_1", "ZETA"}));
    QVERIFY(child<QComboBox>(screen, "siteName")->currentText().isEmpty());
    QVERIFY(boxes_->texts.isEmpty());
  }

  void unreadableNameListIsReported() {
    QVERIFY(QDir().mkpath(QString::fromStdString(listPath())));  // a folder where the file belongs
    connect2 screen(*app_);
    QCOMPARE(boxes_->texts.size(), 1);
    QVERIFY(boxes_->texts[0].startsWith(
        QString::fromStdString("Impossible ouvrir fichier: " + listPath() + " - Code d'erreur: ")));
    QVERIFY(comboItems(screen).isEmpty());
  }

  void connectNameAndDisconnectThroughTheMainFrame() {
    startMeter();
    CMainFrame frame(*app_);
    app_->programDirectory = programDir();  // the frame takes the working directory
    QString statusWhileNaming;
    bool comboFocused = false;
    whenReady(&frame, [&] { return frame.findChild<connect2*>() != nullptr; },
              [&] {
                auto* screen = frame.findChild<connect2*>();
                child<QPushButton>(*screen, "ok")->click();
                statusWhileNaming = status(*screen);
                comboFocused = child<QComboBox>(*screen, "siteName")->isEnabled() &&
                               child<QPushButton>(*screen, "remove")->isEnabled();
                typeName(*screen, "pump_station_4");
                child<QPushButton>(*screen, "ok")->click();
              });
    frame.runCommand(kCmdConnect);

    QVERIFY2(app_->connected, qPrintable(boxes_->texts.join(" | ")));
    QCOMPARE(statusWhileNaming, QStringLiteral("Saisir empl comptr/No pt mesure"));
    QVERIFY(comboFocused);
    QVERIFY(app_->link.isOpen());
    QCOMPARE(app_->meter.selectedChannel, 0);
    QCOMPARE(app_->meter.locationName, std::string("PUMP_STATION_4"));
    QCOMPARE(listText(), std::string("PUMP_STATION_4\n"));
    QCOMPARE(frame.statusPane(0)->text(), QStringLiteral("Connecte"));
    QCOMPARE(frame.commandAction(kCmdConnect)->text(), QStringLiteral("&Deconnexion"));
    QCOMPARE(itemTexts(frame.topMenu(1)),
             (QStringList{"&Communications", "&Information compteur", "&Limites OK/Echec",
                          "&Config. memor. Alarme/Alertes"}));
    QVERIFY(boxes_->texts.isEmpty());

    frame.runCommand(kCmdConnect);
    QVERIFY(!app_->connected);
    QVERIFY(!app_->link.isOpen());
    QCOMPARE(frame.statusPane(0)->text(), QStringLiteral("Non connecte"));
    QCOMPARE(frame.commandAction(kCmdConnect)->text(), QStringLiteral("&Connexion"));
    QCOMPARE(itemTexts(frame.topMenu(1)), (QStringList{"&Communications"}));

    // The name went into the meter's block: the next connect needs no naming.
    auto screen = open();
    child<QPushButton>(*screen, "ok")->click();
    QCOMPARE(screen->result(), int(QDialog::Accepted));
    QVERIFY(screen->outcome().nameInBlock);
    QCOMPARE(app_->meter.locationName, std::string("PUMP_STATION_4"));
    QVERIFY(app_->block.working == app_->block.state.block);
  }

  void namingAfterALostBlockReadKeepsTheMetersBlock() {
    const std::string block =
        "35,25,25.5,12,0.75,0.9,50,30,90,50,30,40,30,20,0.02,0.05,2,4,0.25,0.5,"
        ",SP-1,SS-2,01-02-24,FP-3,FS-4,03-04-26,10:11";
    startMeter({"--profile",
                writeProfile(dir_->path(), "site.ini",
                             [&](std::string& text) {
                               replaceLine(text, "qmmem = char[512]", "qmmem = char[512] " + block);
                             }),
                "--fault", "block-silent"});
    const ScaledClock fast(20.0);  // the 50 s block wait in 2.5 s
    auto screen = open();
    screen->setClock(&fast);
    connectToNaming(*screen);
    QCOMPARE(boxes_->texts.size(), 1);  // the lost read
    QCOMPARE(app_->block.working.limits.transitTime.alc.warning, 30);
    typeName(*screen, "north");
    child<QPushButton>(*screen, "ok")->click();
    QCOMPARE(screen->result(), int(QDialog::Accepted));
    QCOMPARE(boxes_->texts.size(), 1);
    QCOMPARE(app_->block.working.limits.transitTime.alc.warning, 35);

    const test::CliRun run = test::runCli(
        {"--link", "tcp:127.0.0.1:" + std::to_string(meter_.tcpPort()), "block", "read"});
    QCOMPARE(run.status, 0);
    for (const char* line :
         {"location=NORTH\n", "limit.alc.warning=35\n", "limit.snr.fail=12\n",
          "spool_part_number=SP-1\n", "manufacture_date=01-02-24\n", "last_report_time=10:11\n"}) {
      QVERIFY2(run.out.find(line) != std::string::npos, line);
    }
  }

  void nameRulesKeepTheNamingStep() {
    startMeter();
    auto screen = open();
    connectToNaming(*screen);
    auto* ok = child<QPushButton>(*screen, "ok");
    const std::pair<QString, QString> refused[] = {
        {"", "Empl. compteur doit contenir 1 car. minimum"},
        {"ABCDEFGHIJKLMNOP", "Empl. compteur trop long, 15 car maximum"},
        {"AB CD", "Car non valide, utiliser lettres, chiffres et car soulignement"},
        {"pont-2", "Car non valide, utiliser lettres, chiffres et car soulignement"},
    };
    for (const auto& [text, message] : refused) {
      boxes_->texts.clear();
      typeName(*screen, text);
      ok->click();
      QCOMPARE(boxes_->texts, QStringList{message});
      QCOMPARE(screen->step(), connect2::Step::Naming);
      QVERIFY(screen->isVisible());
    }
    QVERIFY(!QFile::exists(QString::fromStdString(listPath())));

    typeName(*screen, "abcdefghijklmno");  // 15 characters
    ok->click();
    QCOMPARE(screen->result(), int(QDialog::Accepted));
    QCOMPARE(screen->currentName(), std::string("ABCDEFGHIJKLMNO"));
  }

  void newNamesAreInsertedSorted() {
    test::writeWholeFile(listPath(), "ALPHA\nZULU\n");
    startMeter();
    auto screen = open();
    connectToNaming(*screen);
    typeName(*screen, "Mike_1");
    child<QPushButton>(*screen, "ok")->click();
    QCOMPARE(screen->result(), int(QDialog::Accepted));
    QCOMPARE(comboItems(*screen), (QStringList{"ALPHA", "MIKE_1", "ZULU"}));
    QCOMPARE(listText(), std::string("ALPHA\nMIKE_1\nZULU\n"));
  }

  void retirerRemovesFromTheList() {
    test::writeWholeFile(listPath(), "ALPHA\nBETA\nGAMMA\n");
    startMeter();
    auto screen = open();
    connectToNaming(*screen);
    auto* remove = child<QPushButton>(*screen, "remove");

    typeName(*screen, "beta");
    remove->click();
    QCOMPARE(comboItems(*screen), (QStringList{"ALPHA", "GAMMA"}));
    QCOMPARE(listText(), std::string("ALPHA\nGAMMA\n"));
    QVERIFY(child<QComboBox>(*screen, "siteName")->currentText().isEmpty());
    QVERIFY(boxes_->texts.isEmpty());

    // A name not in the list only clears the field; a bad one is refused.
    typeName(*screen, "DELTA");
    remove->click();
    QCOMPARE(listText(), std::string("ALPHA\nGAMMA\n"));
    QVERIFY(child<QComboBox>(*screen, "siteName")->currentText().isEmpty());
    typeName(*screen, "A B");
    remove->click();
    QCOMPARE(boxes_->texts,
             QStringList{"Car non valide, utiliser lettres, chiffres et car soulignement"});
    QCOMPARE(comboItems(*screen), (QStringList{"ALPHA", "GAMMA"}));
    QCOMPARE(screen->step(), connect2::Step::Naming);
  }

  void cancelInTheNamingStepClosesTheLink() {
    startMeter();
    auto screen = open();
    connectToNaming(*screen);
    QVERIFY(app_->link.isOpen());
    child<QPushButton>(*screen, "cancel")->click();
    QCOMPARE(screen->result(), int(QDialog::Rejected));
    QVERIFY(!screen->isVisible());
    QVERIFY(!app_->link.isOpen());
    QCOMPARE(app_->meter.meterFlags, 0u);
    QCOMPARE(app_->link.meterFlags, 0u);
  }

  void cancelWhileConnectingStopsAndStaysOpen() {
    startMeter({"--fault", "delay=3000"});
    auto screen = open();
    QString statusWhileRunning;
    whenReady(screen.get(), [&] { return screen->operationRunning(); },
              [&] {
                statusWhileRunning = status(*screen);
                child<QPushButton>(*screen, "cancel")->click();
              });
    QElapsedTimer clock;
    clock.start();
    child<QPushButton>(*screen, "ok")->click();
    QVERIFY(clock.elapsed() < 2500);
    QVERIFY(statusWhileRunning.startsWith("Connexion a compteur, patientez...."));
    QCOMPARE(status(*screen), QStringLiteral("Connexion annulee"));
    QVERIFY(screen->isVisible());
    QCOMPARE(screen->step(), connect2::Step::Connect);
    QVERIFY(!app_->link.isOpen());
    QVERIFY(boxes_->texts.isEmpty());

    // Closing the window while connecting ends the screen once the step stops.
    whenReady(screen.get(), [&] { return screen->operationRunning(); }, [&] { screen->close(); });
    child<QPushButton>(*screen, "ok")->click();
    QVERIFY(!screen->isVisible());
    QCOMPARE(screen->result(), int(QDialog::Rejected));
    QVERIFY(!app_->link.isOpen());
  }

  void failedConnectLeavesNoProgressText() {
    startMeter();
    app_->linkSettings.ipPort = 1;  // nothing listens there
    auto screen = open();
    child<QPushButton>(*screen, "ok")->click();
    QCOMPARE(boxes_->texts.size(), 1);
    QVERIFY(status(*screen).isEmpty());
    QCOMPARE(screen->step(), connect2::Step::Connect);
    QVERIFY(screen->isVisible());
    QVERIFY(!app_->link.isOpen());
  }

  void meterWithTwoChannelsAsksForTheChannel() {
    const std::string profile = writeProfile(dir_->path(), "two.ini", [](std::string& text) {
      replaceLine(text, "capabilities = 10010", "capabilities = 10030");
      replaceLine(text, "abar@0 = 3FF", "abar@0 = 3FF\nabar@1 = 3FF");
      replaceLine(text, "id@0 = LIQ01234", "id@0 = LIQ01234\nid@1 = LIQ05678");
    });
    startMeter({"--profile", profile});
    auto screen = open();
    QStringList enabled;
    QString statusWhileAsking;
    bool okWithoutChoiceIgnored = false;
    whenReady(screen.get(), [&] { return screen->choosingChannel(); },
              [&] {
                statusWhileAsking = status(*screen);
                for (int n = 1; n <= 4; ++n) {
                  auto* button = child<QRadioButton>(*screen, qPrintable(QStringLiteral("channel%1").arg(n)));
                  if (button->isEnabled()) enabled << button->text();
                }
                child<QPushButton>(*screen, "ok")->click();
                okWithoutChoiceIgnored = screen->choosingChannel();
                // The arrow key from the first channel picks the second one.
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
                // Not picked: end the question so the test fails instead of hanging.
                if (!child<QRadioButton>(*screen, "channel2")->isChecked()) {
                  child<QPushButton>(*screen, "cancel")->click();
                }
                child<QPushButton>(*screen, "ok")->click();
              });
    connectToNaming(*screen);
    QCOMPARE(statusWhileAsking, QStringLiteral("Selectionner canal"));
    QCOMPARE(enabled, (QStringList{"Canal 1", "Canal 2"}));
    QVERIFY(okWithoutChoiceIgnored);
    QCOMPARE(app_->meter.selectedChannel, 1);
    QCOMPARE(app_->meter.channelIdDisplay[1], std::string("LIQ05678"));
    for (int n = 1; n <= 4; ++n) {
      QVERIFY(!child<QRadioButton>(*screen, qPrintable(QStringLiteral("channel%1").arg(n)))->isEnabled());
    }

    // Cancel at the question ends the connect as cancelled.
    child<QPushButton>(*screen, "cancel")->click();
    QVERIFY(!screen->isVisible());
    auto again = open();
    whenReady(again.get(), [&] { return again->choosingChannel(); },
              [&] { child<QPushButton>(*again, "cancel")->click(); });
    child<QPushButton>(*again, "ok")->click();
    QCOMPARE(status(*again), QStringLiteral("Connexion annulee"));
    QCOMPARE(again->step(), connect2::Step::Connect);
    QVERIFY(again->isVisible());
    QVERIFY(!app_->link.isOpen());
    QVERIFY(!child<QRadioButton>(*again, "channel1")->isEnabled());
  }

  void multiPathMeterConnectsWithoutAsking() {
    startMeter({"--profile", "gas4"});
    auto screen = open();
    bool asked = false;
    whenReady(screen.get(), [&] { return screen->choosingChannel(); },
              [&] {
                asked = true;
                child<QPushButton>(*screen, "cancel")->click();
              });
    connectToNaming(*screen);
    QVERIFY(!asked);
    QVERIFY(app_->meter.multiPath);
    QVERIFY(app_->meter.gasMeter);
    QVERIFY(app_->meter.memoryBlock);
    QVERIFY(app_->meter.alarmStorage);
    QVERIFY2(!app_->connectOutcome.configurationRead, "kept only once connected");
    typeName(*screen, "GAS_SITE");
    child<QPushButton>(*screen, "ok")->click();
    QCOMPARE(screen->result(), int(QDialog::Accepted));
    // The site's configuration and identity stay with the record.
    QVERIFY(app_->connectOutcome.configuration.aga8Table);
    QCOMPARE(app_->connectOutcome.identity.pressureUnit, std::string("BARA"));
  }

  void meterWithoutTheBlockIsNamedWithoutWriting() {
    startMeter({"--profile", "legacy"});
    auto screen = open();
    connectToNaming(*screen);
    QVERIFY(!app_->meter.memoryBlock);
    typeName(*screen, "OLD_1");
    child<QPushButton>(*screen, "ok")->click();
    QCOMPARE(screen->result(), int(QDialog::Accepted));
    QCOMPARE(app_->meter.locationName, std::string("OLD_1"));
    QVERIFY(boxes_->texts.isEmpty());
  }
};

QTEST_MAIN(Connect2Test)
#include "connect2_test.moc"
