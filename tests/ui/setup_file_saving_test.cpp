#include "calc/setup_file_saving.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "ui_test_support.h"

using namespace tarnlux;
using namespace tarnlux::ui;

namespace {

// Plays the user at the next file chooser: notes the folder and name it
// offers, then types `typed` and saves, or cancels when `typed` is empty.
class ChooserUser : public QObject {
 public:
  explicit ChooserUser(QString typed) : typed_(std::move(typed)) {
    connect(&timer_, &QTimer::timeout, this, [this] {
      auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (chooser == nullptr || !chooser->isVisible()) return;
      timer_.stop();
      shown = true;
      folder = chooser->directory().absolutePath();
      auto* name = chooser->findChild<QLineEdit*>("fileNameEdit");
      offeredName = name != nullptr ? name->text() : QStringLiteral("(no name field)");
      if (typed_.isEmpty() || name == nullptr) {
        chooser->reject();
        return;
      }
      name->setText(typed_);
      QMetaObject::invokeMethod(chooser, "accept");
    });
    timer_.start(10);
  }

  bool shown = false;
  QString folder;
  QString offeredName;

 private:
  QString typed_;
  QTimer timer_;
};

}  // namespace

class SetupFileSavingTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  QWidget screen_;
  QStringList written_;

  SetupFileSaving saving(bool haveResults, const QString& currentPath) {
    return {&screen_,
            haveResults,
            currentPath.toStdString(),
            QDir(dir_.path()).filePath("program").toStdString(),
            "Fichiers configuration calcul Aga8 (*.cpf)",
            "cpf",
            [this](const QString& path) {
              written_.append(path);
              return true;
            }};
  }

 private slots:
  void init() { written_.clear(); }

  void withoutResultsNothingIsAskedOrWritten() {
    test::RecordedErrorBoxes errors;
    ChooserUser user("ignored");
    saveSetup(saving(false, {}));
    saveSetupAs(saving(false, dir_.filePath("gulf.cpf")));
    QTest::qWait(50);
    QCOMPARE(errors.texts, QStringList({"Pas de calcul effectue", "Pas de calcul effectue"}));
    QCOMPARE(errors.parents[0].data(), &screen_);
    QVERIFY(!user.shown);
    QVERIFY(written_.isEmpty());
  }

  void saveWritesOverTheCurrentFile() {
    ChooserUser user("ignored");
    saveSetup(saving(true, dir_.filePath("gulf.cpf")));
    QTest::qWait(50);
    QVERIFY(!user.shown);
    QCOMPARE(written_, QStringList{dir_.filePath("gulf.cpf")});
  }

  // The first save asks for a name in the program's folder; later ones start
  // in the current file's folder with its name. A name typed bare gets the
  // extension; cancelling writes nothing.
  void theChooserStartsWhereTheFileIs() {
    QDir(dir_.path()).mkpath("program");
    QDir(dir_.path()).mkpath("sites");
    {
      ChooserUser user(dir_.filePath("program/gulf"));
      saveSetup(saving(true, {}));
      QVERIFY(user.shown);
      QCOMPARE(user.folder, QDir(dir_.path()).filePath("program"));
      QCOMPARE(user.offeredName, QString());
    }
    {
      ChooserUser user(dir_.filePath("program/gulf.dat"));
      saveSetupAs(saving(true, dir_.filePath("sites/north.cpf")));
      QCOMPARE(user.folder, QDir(dir_.path()).filePath("sites"));
      QCOMPARE(user.offeredName, QStringLiteral("north.cpf"));
    }
    QCOMPARE(written_,
             QStringList({dir_.filePath("program/gulf.cpf"), dir_.filePath("program/gulf.dat")}));
    ChooserUser cancelling({});
    saveSetupAs(saving(true, dir_.filePath("sites/north.cpf")));
    QVERIFY(cancelling.shown);
    QCOMPARE(written_.size(), 2);
  }
};

QTEST_MAIN(SetupFileSavingTest)
#include "setup_file_saving_test.moc"
