#include <QDialog>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>
#include <QtTest>
#include <algorithm>
#include <stdexcept>

#include "app/app_state.h"
#include "app/file_chooser.h"
#include "app/message_pump.h"
#include "app/operation_guard.h"
#include "app/screen_context.h"
#include "app/wait_dialog.h"
#include "common/error_text.h"
#include "ui_test_support.h"

using namespace tarnlux;
using namespace tarnlux::ui;

namespace {

// Plays the user's part in the modal dialogs that come up one inside the
// other: each step waits for a dialog of its kind to show, then acts on it.
class UserScript : public QObject {
 public:
  struct Step {
    const char* kind;  // class name of the dialog the step acts on
    std::function<void(QWidget*)> act;
  };

  explicit UserScript(std::vector<Step> steps) : steps_(std::move(steps)) {
    connect(&timer_, &QTimer::timeout, this, &UserScript::poll);
    timer_.start(10);
    started_.start();
  }
  bool done() const { return next_ == steps_.size(); }

 private:
  void poll() {
    if (done()) return;
    QWidget* modal = QApplication::activeModalWidget();
    // A dialog that never comes, or one left open, fails the test instead of hanging it.
    if (started_.hasExpired(5000)) {
      if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
      return;
    }
    if (modal == nullptr || !modal->isVisible() || !modal->inherits(steps_[next_].kind)) return;
    if (modal == last_ && lastWasVisible_) return;  // still the one just handled
    last_ = modal;
    lastWasVisible_ = true;
    steps_[next_++].act(modal);
    lastWasVisible_ = modal->isVisible();
  }

  std::vector<Step> steps_;
  std::size_t next_ = 0;
  QPointer<QWidget> last_;
  bool lastWasVisible_ = false;
  QTimer timer_;
  QElapsedTimer started_;
};

void pickFile(QWidget* dialog, const QString& path) {
  auto* chooser = static_cast<QFileDialog*>(dialog);
  // Typed in, as a user does: selecting in the list depends on the folder
  // having been read already.
  auto* name = chooser->findChild<QLineEdit*>("fileNameEdit");
  QVERIFY(name != nullptr);
  name->setText(path);
  QMetaObject::invokeMethod(chooser, "accept");
}

void answer(QWidget* box, const QString& button) {
  for (QAbstractButton* candidate : static_cast<QMessageBox*>(box)->buttons()) {
    if (candidate->text() == button) candidate->click();
  }
}

}  // namespace

class ScreenBehaviourTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() { closePleaseWait(); }

  void errorBoxTexts() {
    test::RecordedErrorBoxes boxes;
    QWidget screen;
    ErrorBox("Echec lecture", -1, &screen);
    setLastSystemError(13);
    ErrorBox("Impossible ouvrir ", "COM1", "", 0, nullptr);
    QCOMPARE(boxes.texts, (QStringList{"Echec lecture", "Impossible ouvrir COM1 - Code d'erreur: 13"}));
    QCOMPARE(boxes.parents[0].data(), &screen);
    QVERIFY(boxes.parents[1].isNull());
  }

  void errorBoxIsCaptionedErr() {
    QString caption, text;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      QVERIFY(box != nullptr);
      caption = box->windowTitle();
      text = box->text();
      box->accept();
    });
    ErrorBox("Lien perdu", -1, nullptr);
    QCOMPARE(caption, QStringLiteral("ERR."));
    QCOMPARE(text, QStringLiteral("Lien perdu"));
  }

  void statusErrorGoesToTheStatusLine() {
    QLabel status;
    StatusError("Lien perdu", "", "", -1, &status);
    QCOMPARE(status.text(), QStringLiteral("ERR. - Lien perdu"));
    StatusError("Lien perdu", " (TCP)", "", 5, &status);
    QCOMPARE(status.text(), QStringLiteral("Lien perdu (TCP) - Code d'erreur: 5"));
  }

  void screenContextReportsPumpsAndShowsProgress() {
    test::RecordedErrorBoxes boxes;
    QWidget screen;
    QLabel status;
    std::atomic<int> cancel{0};
    ProgressLine progress = progressLineFor(&status);
    OperationContext ctx = screenContext(&screen, &cancel, &progress);

    ctx.report("Pas de reponse", 7);
    QCOMPARE(boxes.texts, QStringList{"Pas de reponse - Code d'erreur: 7"});
    QCOMPARE(boxes.parents[0].data(), &screen);
    ctx.quiet = true;
    ctx.report("Pas de reponse", 7);
    QCOMPARE(boxes.texts.size(), 1);

    // A pass of a waiting loop delivers what is queued for the windows.
    bool delivered = false;
    QMetaObject::invokeMethod(&screen, [&] { delivered = true; }, Qt::QueuedConnection);
    ctx.tick();
    QVERIFY(delivered);

    progress.start("Lecture ");
    progress.forceRefresh(ctx.nowMs());
    QVERIFY(status.text().startsWith("Lecture "));
    QVERIFY(status.text().size() > 8);

    cancel = 1;
    QVERIFY(ctx.cancelled());
  }

  void pleaseWaitExistsOnce() {
    QCOMPARE(showPleaseWait("Verif config sys. Patientez...", nullptr, nullptr), 1);
    WAIT* first = pleaseWaitDialog();
    QVERIFY(first != nullptr && first->isVisible());
    QCOMPARE(first->messageLabel()->text(), QStringLiteral("Verif config sys. Patientez..."));
    QVERIFY(!first->cancelButton()->isVisibleTo(first));

    std::atomic<int> cancel{0};
    QCOMPARE(showPleaseWait("Autre texte", &cancel, nullptr), 1);
    QCOMPARE(pleaseWaitDialog(), first);
    QCOMPARE(first->messageLabel()->text(), QStringLiteral("Verif config sys. Patientez..."));
    const QWidgetList windows = QApplication::topLevelWidgets();
    QCOMPARE(std::count_if(windows.begin(), windows.end(),
                           [](QWidget* w) { return qobject_cast<WAIT*>(w) != nullptr && w->isVisible(); }),
             1);

    QPointer<WAIT> gone(first);
    closePleaseWait();
    QVERIFY(pleaseWaitDialog() == nullptr);
    QTRY_VERIFY(gone.isNull());
  }

  void pleaseWaitCancelOnlySetsTheFlag() {
    std::atomic<int> cancel{0};
    QCOMPARE(showPleaseWait("Transfert en cours", &cancel, nullptr), 1);
    WAIT* dialog = pleaseWaitDialog();
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Veuillez patienter..."));
    QVERIFY(dialog->cancelButton()->isVisible());
    QCOMPARE(dialog->cancelButton()->text(), QStringLiteral("Annuler"));

    dialog->cancelButton()->click();
    QCOMPARE(cancel.load(), 1);
    QVERIFY(dialog->isVisible());

    cancel = 0;
    QTest::keyClick(dialog, Qt::Key_Escape);
    QCOMPARE(cancel.load(), 1);
    QVERIFY(dialog->isVisible());
    QCOMPARE(pleaseWaitDialog(), dialog);
  }

  // The pattern of every start button: a second press while the first
  // operation pumps the windows starts nothing; Cancel then only sets the flag.
  void startPressedTwiceRunsOneOperation() {
    OperationGuard guard;
    QPushButton start;
    int operations = 0;
    int passes = 0;
    bool cancelKeptOpen = false;
    QObject::connect(&start, &QPushButton::clicked, [&] {
      guard.start([&] {
        ++operations;
        QMetaObject::invokeMethod(&start, &QPushButton::click, Qt::QueuedConnection);
        QMetaObject::invokeMethod(&start, [&] { cancelKeptOpen = guard.requestCancel(); },
                                  Qt::QueuedConnection);
        while (guard.cancelFlag.load() == 0 && passes < 1000) {
          ++passes;
          MessagePump::pump();
        }
      });
    });

    start.click();
    QCOMPARE(operations, 1);
    QVERIFY(cancelKeptOpen);
    QVERIFY(passes < 1000);
    QVERIFY(!BusyFlag::isSet());
    // Idle again: Cancel now closes the screen, and a new start clears the flag.
    QVERIFY(!guard.requestCancel());
    QVERIFY(guard.start([&] { QCOMPARE(guard.cancelFlag.load(), 0); }));
  }

  void busyFlagIsProgramWide() {
    OperationGuard first, second;
    bool secondRan = false;
    first.start([&] {
      QVERIFY(BusyFlag::isSet());
      QVERIFY(!second.start([&] { secondRan = true; }));
      // Another screen's Cancel does not touch the running operation.
      QVERIFY(!second.requestCancel());
      QCOMPARE(first.cancelFlag.load(), 0);
    });
    QVERIFY(!secondRan);

    // A failing operation still releases the flag.
    QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                             first.start([] { throw std::runtime_error("boom"); }));
    QVERIFY(!BusyFlag::isSet());
  }

  void manualIsFoundUnderEitherName() {
    QTemporaryDir dir;
    AppState::instance().programDirectory = QDir(dir.path()).absolutePath().toStdString() + "/";
    test::RecordedErrorBoxes boxes;
    test::RecordedDocuments documents;

    showManual(nullptr);
    QCOMPARE(boxes.texts, QStringList{"Fichier manuel introuvable"});
    QVERIFY(documents.paths.isEmpty());

    const QString legacy = dir.filePath("Quillmap Manual.pdf");
    QFile(legacy).open(QIODevice::WriteOnly);
    showManual(nullptr);
    QCOMPARE(documents.paths, QStringList{legacy});

    const QString current = dir.filePath("Tarnlux Manual.pdf");
    QFile(current).open(QIODevice::WriteOnly);
    showManual(nullptr);
    QCOMPARE(documents.paths.last(), current);
    QCOMPARE(boxes.texts.size(), 1);
  }

  void manualWithoutReader() {
    QTemporaryDir dir;
    AppState::instance().programDirectory = QDir(dir.path()).absolutePath().toStdString() + "/";
    QFile(dir.filePath("Tarnlux Manual.pdf")).open(QIODevice::WriteOnly);
    test::RecordedErrorBoxes boxes;
    test::RecordedDocuments documents(false);
    showManual(nullptr);
    QCOMPARE(boxes.texts,
             QStringList{"Impossible de trouver le programme de lecture des fichiers dans le repertoire"});
  }

  // Saving over an existing file and opening a file that is not there yet
  // both ask first; "Non" goes back to the chooser.
  void fileChooserAsksBeforeReplacingOrCreating() {
    QTemporaryDir dir;
    const QString existing = dir.filePath("essai.csv");
    QFile(existing).open(QIODevice::WriteOnly);
    const QString missing = dir.filePath("nouveau.csv");
    const QString filter = "Fichiers CSV (*.csv)";

    {
      UserScript user({{"QFileDialog", [&](QWidget* d) { pickFile(d, existing); }},
                       {"QMessageBox", [](QWidget* b) { answer(b, "Non"); }},
                       {"QFileDialog", [](QWidget* d) { static_cast<QDialog*>(d)->reject(); }}});
      QVERIFY(chooseFileToSave(nullptr, filter, "Enregistrer", dir.path()).isEmpty());
      QVERIFY(user.done());
    }
    {
      UserScript user({{"QFileDialog", [&](QWidget* d) { pickFile(d, existing); }},
                       {"QMessageBox", [](QWidget* b) { answer(b, "Oui"); }}});
      QCOMPARE(chooseFileToSave(nullptr, filter, "Enregistrer", dir.path()), existing);
    }
    {
      // A new name is saved without a question.
      UserScript user({{"QFileDialog", [&](QWidget* d) { pickFile(d, missing); }}});
      QCOMPARE(chooseFileToSave(nullptr, filter, "Enregistrer", dir.path()), missing);
    }
    {
      UserScript user({{"QFileDialog", [&](QWidget* d) { pickFile(d, missing); }},
                       {"QMessageBox", [](QWidget* b) { answer(b, "Oui"); }}});
      QCOMPARE(chooseFileToOpen(nullptr, filter, "Ouvrir", dir.path()), missing);
    }
    {
      UserScript user({{"QFileDialog", [&](QWidget* d) { pickFile(d, existing); }}});
      QCOMPARE(chooseFileToOpen(nullptr, filter, "Ouvrir", dir.path()), existing);
    }
  }

  void enterAppliesTheFocusedField() {
    QDialog screen;
    auto* field = new QLineEdit(&screen);
    auto* other = new QLineEdit(&screen);
    auto* ok = new QPushButton("OK", &screen);
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, &screen, &QDialog::accept);
    auto* layout = new QVBoxLayout(&screen);
    layout->addWidget(field);
    layout->addWidget(other);
    layout->addWidget(ok);
    EnterKeyFields enter(&screen);
    int applied = 0;
    const int index = enter.addField(field, [&] { ++applied; });
    screen.show();
    QVERIFY(QTest::qWaitForWindowActive(&screen));

    field->setFocus();
    QCOMPARE(enter.flag(index), 1);
    enter.setSwitch(true);
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(applied, 1);
    QVERIFY(screen.isVisible());  // the default button did not see it

    other->setFocus();
    QCOMPARE(enter.flag(index), 0);
    QTest::keyClick(other, Qt::Key_Return);
    QCOMPARE(applied, 1);
    QCOMPARE(screen.result(), int(QDialog::Accepted));

    // With the screen's switch off the dialog handles Enter as usual.
    screen.setResult(0);
    screen.show();
    QVERIFY(QTest::qWaitForWindowActive(&screen));
    field->setFocus();
    enter.setSwitch(false);
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(applied, 1);
    QCOMPARE(screen.result(), int(QDialog::Accepted));
  }
};

QTEST_MAIN(ScreenBehaviourTest)
#include "screen_behaviour_test.moc"
