#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

#include "app/app_state.h"
#include "app/password_dialog.h"
#include "common/result.h"
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

void type(QWidget& dialog, const char* field, const QString& text) {
  child<QLineEdit>(dialog, field)->setText(text);
}

// Acts on the password dialog once checkMeterPassword has shown it.
void onDialog(QObject* owner, std::function<void(PassWord&)> step) {
  auto* timer = new QTimer(owner);
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, step = std::move(step)] {
    auto* dialog = qobject_cast<PassWord*>(QApplication::activeModalWidget());
    if (dialog == nullptr) return;
    timer->stop();
    timer->deleteLater();
    step(*dialog);
  });
  timer->start();
}

}  // namespace

class PasswordTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<test::RecordedErrorBoxes> boxes_;

  std::unique_ptr<PassWord> open(const char* meterPassword) {
    auto dialog = std::make_unique<PassWord>(meterPassword);
    dialog->show();
    if (!QTest::qWaitForWindowActive(dialog.get())) qFatal("dialog not active");
    return dialog;
  }

  // OK pressed: true when the dialog accepted the entries.
  static bool pressOk(PassWord& dialog) {
    child<QPushButton>(dialog, "ok")->click();
    return dialog.result() == QDialog::Accepted && !dialog.isVisible();
  }

  void askForChange(PassWord& dialog, const QString& fresh, const QString& confirmation) {
    child<QGroupBox>(dialog, "changePassword")->setChecked(true);
    type(dialog, "newPassword", fresh);
    type(dialog, "confirmation", confirmation);
  }

 private slots:
  void init() { boxes_ = std::make_unique<test::RecordedErrorBoxes>(); }
  void cleanup() { boxes_.reset(); }

  void showsItsTextsAndNewFieldsFollowTheCheckBox() {
    PassWord dialog("ABC");
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Mot de passe"));
    QCOMPARE(child<QLabel>(dialog, "passwordLabel")->text(), QStringLiteral("Saisir mot de passe:"));
    auto* change = child<QGroupBox>(dialog, "changePassword");
    QCOMPARE(change->title(), QStringLiteral("Changer mot de passe"));
    QCOMPARE(child<QLabel>(dialog, "newPasswordLabel")->text(), QStringLiteral("Nouv mot de passe:"));
    QCOMPARE(child<QLabel>(dialog, "confirmationLabel")->text(),
             QStringLiteral("Confirmer mot de passe:"));
    QCOMPARE(child<QPushButton>(dialog, "ok")->text(), QStringLiteral("OK"));
    QCOMPARE(child<QPushButton>(dialog, "cancel")->text(), QStringLiteral("Annuler"));
    QVERIFY(change->isCheckable());
    QVERIFY(!change->isChecked());
    QVERIFY(!child<QLineEdit>(dialog, "newPassword")->isEnabled());
    QVERIFY(!child<QLineEdit>(dialog, "confirmation")->isEnabled());
    change->setChecked(true);
    QVERIFY(child<QLineEdit>(dialog, "newPassword")->isEnabled());
    QVERIFY(child<QLineEdit>(dialog, "confirmation")->isEnabled());
  }

  void refusedEntriesKeepTheDialogOpenOnTheField() {
    auto dialog = open("ABC");
    pressOk(*dialog);
    QCOMPARE(boxes_->texts, QStringList{"Saisir mot de passe"});
    QVERIFY(dialog->isVisible());

    boxes_->texts.clear();
    type(*dialog, "password", "abd");
    QVERIFY(!pressOk(*dialog));
    QCOMPARE(boxes_->texts, QStringList{"M. de p. incorrect"});
    QCOMPARE(QApplication::focusWidget(), child<QLineEdit>(*dialog, "password"));
    // The box belongs to the dialog.
    QCOMPARE(boxes_->parents.back().data(), static_cast<QWidget*>(dialog.get()));
  }

  void lowerCaseEntryIsAccepted() {
    auto dialog = open("ABC");
    type(*dialog, "password", "abc");
    QVERIFY(pressOk(*dialog));
    QVERIFY(dialog->newPassword().empty());
    QVERIFY(boxes_->texts.isEmpty());
  }

  void newPasswordRules() {
    const struct {
      QString fresh, confirmation, message;
      const char* focus;
    } refused[] = {
        {"", "", "Saisir mot de passe", "newPassword"},
        {"ABCDEFGHI", "ABCDEFGHI", "Mot de passe trop long. Nbre max de caracteres est   8",
         "newPassword"},
        {"AB-1", "AB-1", "Caracteres incorrects dans mot de passe", "newPassword"},
        {"NEW1", "", "Saisir mot de passe de confirmation", "confirmation"},
        {"NEW1", "NEW2", "Erreur de confirmation de mot de passe ", "confirmation"},
    };
    auto dialog = open("ABC");
    type(*dialog, "password", "ABC");
    for (const auto& entry : refused) {
      boxes_->texts.clear();
      askForChange(*dialog, entry.fresh, entry.confirmation);
      QVERIFY(!pressOk(*dialog));
      QCOMPARE(boxes_->texts, QStringList{entry.message});
      QCOMPARE(QApplication::focusWidget(), child<QLineEdit>(*dialog, entry.focus));
    }

    // Typed in lower case with a blank inside: upper case, padded to 8.
    askForChange(*dialog, "ab cd1", "AB CD1");
    QVERIFY(pressOk(*dialog));
    QCOMPARE(dialog->newPassword(), std::string("AB CD1  "));
  }

  void checkOnTheMeterChangesThePassword() {
    QTemporaryDir dir;
    std::string profile =
        test::readWholeFile(test::testDataDir() + "/../../src/meter/profiles/liquid1.ini");
    const std::string blank = "pw = char[8] \"        \"";
    profile.replace(profile.find(blank), blank.size(), "pw = char[8] \"ABC     \"");
    const std::string path = QDir(dir.path()).filePath("pw.ini").toStdString();
    test::writeWholeFile(path, profile);
    test::MeterProcess meter;
    QVERIFY2(meter.startTcp({"--profile", path}), meter.error().c_str());

    AppState app;
    app.linkSettings.portName = "TCP/IP";
    app.linkSettings.ipAddress = "127.0.0.1";
    app.linkSettings.ipPort = static_cast<std::uint16_t>(meter.tcpPort());
    app.linkSettings.portMissing = 0;
    OperationContext ctx;
    QCOMPARE(app.link.openLink(app.linkSettings, false, 5000, ctx), kOk);
    QWidget screen;
    std::atomic<int> cancel{0};

    // Cancel in the dialog stops the step.
    onDialog(&screen, [](PassWord& dialog) { child<QPushButton>(dialog, "cancel")->click(); });
    QCOMPARE(checkPasswordOnScreen(app, 0, &screen, &cancel, nullptr), kCancelled);

    onDialog(&screen, [this](PassWord& dialog) {
      type(dialog, "password", "abc");
      askForChange(dialog, "new 2", "NEW 2");
      child<QPushButton>(dialog, "ok")->click();
    });
    QCOMPARE(checkPasswordOnScreen(app, 0, &screen, &cancel, nullptr), kOk);
    std::string now;
    QCOMPARE(readPassword(app.link, 0, now, ctx), kOk);
    QCOMPARE(now, std::string("NEW 2"));
    QVERIFY(boxes_->texts.isEmpty());

    app.link.closeLink(false, ctx);
  }

  void meterWithoutPasswordShowsNoDialog() {
    test::MeterProcess meter;
    QVERIFY2(meter.startTcp(), meter.error().c_str());
    AppState app;
    app.linkSettings.portName = "TCP/IP";
    app.linkSettings.ipAddress = "127.0.0.1";
    app.linkSettings.ipPort = static_cast<std::uint16_t>(meter.tcpPort());
    app.linkSettings.portMissing = 0;
    OperationContext ctx;
    QCOMPARE(app.link.openLink(app.linkSettings, false, 5000, ctx), kOk);
    QWidget screen;
    bool shown = false;
    onDialog(&screen, [&shown](PassWord& dialog) {
      shown = true;
      dialog.reject();
    });
    QCOMPARE(checkPasswordOnScreen(app, 0, &screen, nullptr, nullptr), kOk);
    QVERIFY(!shown);
    app.link.closeLink(false, ctx);
  }
};

QTEST_MAIN(PasswordTest)
#include "password_test.moc"
