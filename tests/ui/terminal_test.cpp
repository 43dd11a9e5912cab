#include "terminal/terminal.h"

#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>
#include <memory>

#include "app/app_state.h"
#include "common/profile_file.h"
#include "meter_process.h"
#include "terminal/term_scrn.h"
#include "test_context.h"
#include "ui_test_support.h"

using namespace tarnlux;
using namespace tarnlux::ui;
using tarnlux::test::child;

namespace {

void pointAt(AppState& app, int port) {
  app.linkSettings.portName = kTcpPortName;
  app.linkSettings.ipAddress = "127.0.0.1";
  app.linkSettings.ipPort = static_cast<std::uint16_t>(port);
  app.linkSettings.portMissing = 0;
}

// Steps the screen's loop until `done` holds (10 s at most).
bool stepUntil(Terminal& screen, const std::function<bool()>& done) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > 10000) return false;
    screen.pass(5);
  }
  return true;
}

bool shows(Terminal& screen, const QString& text) {
  return screen.terminalWindow()->visibleRows().join(QLatin1Char('\n')).contains(text);
}

}  // namespace

class TerminalTest : public QObject {
  Q_OBJECT

  std::unique_ptr<test::RecordedErrorBoxes> boxes_;

 private slots:
  void init() { boxes_ = std::make_unique<test::RecordedErrorBoxes>(); }
  void cleanup() {
    boxes_.reset();
    programTextCapture().close();
  }

  void walksTheMenuAndComesBackWithCommande() {
    test::MeterProcess meter;
    QVERIFY2(meter.startTcp(), meter.error().c_str());
    AppState app;
    pointAt(app, meter.tcpPort());
    Terminal screen(app);
    screen.resize(900, 600);
    screen.begin();
    QVERIFY(app.link.isOpen());
    QCOMPARE(screen.windowTitle(), QStringLiteral("Terminal"));
    TermScrn* term = screen.terminalWindow();
    QVERIFY(term->font().family() == QStringLiteral("Courier New") ||
            term->font().styleHint() == QFont::Monospace);

    child<QPushButton>(screen, "menu")->click();
    QVERIFY2(stepUntil(screen, [&] { return shows(screen, QStringLiteral("MAIN MENU")); }),
             qPrintable(term->visibleRows().join('\n')));
    QVERIFY(screen.emulator().screenMode());
    // The chosen item is highlighted; an arrow key moves the mark, Enter opens.
    QTest::keyClick(term, Qt::Key_Down);
    QTest::keyClick(term, Qt::Key_Return);
    QVERIFY(stepUntil(screen, [&] { return shows(screen, QStringLiteral("Pipe Data")); }));
    QVERIFY(screen.emulator().cursorKeyMode() == false);  // Enter was the last key
    QVERIFY(term->caretVisible());

    child<QPushButton>(screen, "command")->click();
    QVERIFY(stepUntil(screen, [&] { return !shows(screen, QStringLiteral("Pipe Data")); }));
    QTest::keyClicks(term, QStringLiteral("test\r"));
    QVERIFY(stepUntil(screen, [&] { return shows(screen, QStringLiteral("???")); }));
    QCOMPARE(term->visibleRows().first(), QStringLiteral("> test").leftJustified(term->visibleRows().first().size()));

    // Form feed ("Menu/Afficher") redraws the prompt; Tab is not sent.
    QTest::keyClick(term, Qt::Key_Tab);
    child<QPushButton>(screen, "menuRedraw")->click();
    screen.pass(50);
    QVERIFY(boxes_->texts.isEmpty());
    if (qEnvironmentVariableIsSet("TARNLUX_TERMINAL_SHOT")) {
      screen.grab().save(qEnvironmentVariable("TARNLUX_TERMINAL_SHOT"));
    }
    screen.end();
    QVERIFY2(!app.link.isOpen(), "the screen closes the link it opened");
  }

  void capturesIntoANewFolderAndRemembersIt() {
    test::MeterProcess meter;
    QVERIFY2(meter.startTcp(), meter.error().c_str());
    test::TempDir dir;
    AppState app;
    app.programDirectory = dir.path();
    pointAt(app, meter.tcpPort());
    Terminal screen(app);
    screen.begin();
    auto* directory = child<QLineEdit>(screen, "directory");
    auto* fileName = child<QLineEdit>(screen, "fileName");
    auto* start = child<QPushButton>(screen, "start");
    auto* stop = child<QPushButton>(screen, "stop");
    QVERIFY(!stop->isEnabled());
    start->click();
    QCOMPARE(boxes_->texts.value(0), QStringLiteral("Erreur capture texte, pas de fichier saisi"));

    directory->setText(QString::fromStdString(dir.path() + "new/sub"));
    fileName->setText(QStringLiteral("t.txt"));
    start->click();
    QVERIFY(programTextCapture().isOpen());
    QVERIFY(stop->isEnabled() && !start->isEnabled() && !directory->isEnabled());
    QTest::keyClicks(screen.terminalWindow(), QStringLiteral("test\r"));
    QVERIFY(stepUntil(screen, [&] { return shows(screen, QStringLiteral("???")); }));
    screen.pass(20);
    // Left while capturing: the capture stays open for the next visit.
    screen.end();
    {
      Terminal again(app);
      QVERIFY(!child<QPushButton>(again, "start")->isEnabled());
      child<QPushButton>(again, "stop")->click();
    }
    QVERIFY(!programTextCapture().isOpen());
    QCOMPARE(test::readWholeFile(dir.path() + "new/sub/t.txt"), std::string("test\r\n???\r\n> "));
    QCOMPARE(readProfileString(app.settingsPath(), "FILE_NAMES", "TEXT_CAPTURE"), std::string("t.txt"));
    QCOMPARE(readProfileString(app.settingsPath(), "DIRECTORIES", "TEXT_CAPTURE"), dir.path() + "new/sub");
  }

  void tabMovesTheFocusInTheScreensOrder() {
    test::TempDir dir;
    AppState app;
    app.programDirectory = dir.path();
    Terminal screen(app);
    screen.show();
    QApplication::setActiveWindow(&screen);
    auto walk = [&screen] {
      QStringList names;
      child<QLineEdit>(screen, "directory")->setFocus();
      for (int i = 0; i < 10; ++i) {
        names << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      }
      return names.join(QLatin1Char(' '));
    };
    QCOMPARE(walk(), QStringLiteral("directory fileName browse start terminal command menu menuRedraw "
                                    "manual exit"));
    // While capturing, "Stop" takes the place of the disabled entries.
    child<QLineEdit>(screen, "directory")->setText(QString::fromStdString(dir.path()));
    child<QLineEdit>(screen, "fileName")->setText(QStringLiteral("t.txt"));
    child<QPushButton>(screen, "start")->click();
    QVERIFY(programTextCapture().isOpen());
    child<QPushButton>(screen, "stop")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("terminal"));
    screen.end();
  }

  void aDroppedTcpLinkIsOpenedAgainAndAFailedOneSaysSo() {
    test::MeterProcess meter;
    QVERIFY2(meter.startTcp({"--fault", "drop=1"}), meter.error().c_str());
    AppState app;
    pointAt(app, meter.tcpPort());
    Terminal screen(app);
    screen.begin();
    QTest::keyClicks(screen.terminalWindow(), QStringLiteral("test\r"));
    QVERIFY(stepUntil(screen, [&] { return shows(screen, QStringLiteral("???")); }));
    // The meter closed the connection after that answer; the next key still goes.
    screen.pass(100);
    screen.pass(100);
    QTest::keyClicks(screen.terminalWindow(), QStringLiteral("cv 0 id\r"));
    QVERIFY2(stepUntil(screen, [&] { return shows(screen, QStringLiteral("char id")); }),
             qPrintable(boxes_->texts.join('\n')));
    QVERIFY(!screen.linkFailed());
    screen.end();

    // No meter at all: the open fails and every key says so.
    meter.stop();
    boxes_->texts.clear();
    Terminal dead(app);
    dead.begin();
    QVERIFY(dead.linkFailed());
    QVERIFY(boxes_->texts.value(0).startsWith(QStringLiteral("Impossible d'etablir connexion au debitmetre")));
    QTest::keyClick(dead.terminalWindow(), Qt::Key_A);
    dead.pass(0);
    QCOMPARE(boxes_->texts.last(), QStringLiteral("Echec de communication"));
    dead.end();
  }
};

QTEST_MAIN(TerminalTest)
#include "terminal_test.moc"
