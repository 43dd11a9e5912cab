// The limits and meter information screens against the simulated meter: the
// fields' checks, the password step, the save and what a reconnect reads back.

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "app/app_state.h"
#include "app/password_dialog.h"
#include "meter_process.h"
#include "setup/setminfo.h"
#include "setup/setup_pf.h"
#include "ui_test_support.h"

using namespace tarnlux;
using namespace tarnlux::ui;

namespace {

// Types `text` into the edit and leaves it, as the user does.
void enter(QWidget& screen, const char* edit, const QString& text) {
  auto* field = test::child<QLineEdit>(screen, edit);
  field->setText(text);
  emit field->editingFinished();
}

// Answers the password dialog once the save shows it: `password`, or Cancel
// when null; `meanwhile` runs first, while the save waits on the dialog.
void answerPassword(QObject* owner, const char* password, std::function<void()> meanwhile = {}) {
  test::when(
      owner, [] { return qobject_cast<PassWord*>(QApplication::activeModalWidget()) != nullptr; },
      [password, meanwhile] {
        auto* dialog = qobject_cast<PassWord*>(QApplication::activeModalWidget());
        if (meanwhile) meanwhile();
        if (password == nullptr) {
          test::child<QPushButton>(*dialog, "cancel")->click();
          return;
        }
        test::child<QLineEdit>(*dialog, "password")->setText(QString::fromLatin1(password));
        test::child<QPushButton>(*dialog, "ok")->click();
      });
}

}  // namespace

class SetupScreensTest : public QObject {
  Q_OBJECT

 private slots:
  void savedFieldsSurviveAReconnect() {
    test::RecordedErrorBoxes boxes;
    test::MeterProcess meter;
    QVERIFY2(meter.startTcp({"--profile", "gas4"}), meter.error().c_str());
    AppState app;
    QVERIFY(test::connectToTestMeter(app, meter.tcpPort()));

    {
      SetMInfo info(app);
      info.show();
      QCOMPARE(info.windowTitle(), QString("Config infos comptr"));
      test::child<QPushButton>(info, "save")->click();
      QCOMPARE(info.statusText(), QString("Empl. compteur doit contenir 1 car. minimum"));
      enter(info, "location", "site 1");
      test::child<QPushButton>(info, "save")->click();
      QVERIFY(info.statusText().startsWith("Car non valide, utiliser lettres"));
      enter(info, "location", "SIXTEEN_CHARS_AB");
      test::child<QPushButton>(info, "save")->click();
      QCOMPARE(info.statusText(), QString("Trop de caracteres pour emplacement / No pt de mesure"));
      enter(info, "location", "  fifteen_chars_1");
      QCOMPARE(test::child<QLineEdit>(info, "location")->text(), QString("FIFTEEN_CHARS_1"));
      enter(info, "spool_serial_number", "SN 42");

      answerPassword(&info, nullptr);
      test::child<QPushButton>(info, "save")->click();
      QCOMPARE(info.statusText(), QString("Enreg donnees arr."));
      QCOMPARE(app.block.working.info.location, std::string());  // refused: nothing kept

      answerPassword(&info, "gas4pass");
      test::child<QPushButton>(info, "save")->click();
      QCOMPARE(info.statusText(), QString("Enreg donnees OK"));
      QCOMPARE(app.block.working.info.location, std::string("FIFTEEN_CHARS_1"));
    }

    {
      setup_pf limits(app);
      limits.show();
      QCOMPARE(limits.windowTitle(), QString("Config criteres ok/echec"));
      enter(limits, "alc_warning", "");
      // A gas meter's empty value.
      QCOMPARE(test::child<QLineEdit>(limits, "alc_warning")->text(), QString("45"));
      enter(limits, "adc_warning", "0");
      enter(limits, "snr_fail", "abc");
      enter(limits, "correlation_quality_warning", "0");
      test::child<QPushButton>(limits, "save")->click();
      QCOMPARE(limits.statusText(), QString("Valeur incorrecte pour limite echec SNR"));
      enter(limits, "snr_fail", "8.50");
      QCOMPARE(test::child<QLineEdit>(limits, "snr_fail")->text(), QString("8.5"));
      test::child<QPushButton>(limits, "save")->click();
      QCOMPARE(limits.statusText(),
               QString("Valeur incorrecte pour limite avertissement % tampon ADC"));
      enter(limits, "adc_warning", "55");

      // Quitter while the save waits on the password: the save ends first.
      answerPassword(&limits, "GAS4PASS", [&limits] {
        test::child<QPushButton>(limits, "exit")->click();
        QVERIFY(limits.isVisible());
      });
      test::child<QPushButton>(limits, "save")->click();
      QVERIFY(!limits.isVisible());
      QCOMPARE(limits.statusText(), QString("Enreg donnees OK"));
    }
    QVERIFY2(boxes.texts.isEmpty(), qPrintable(boxes.texts.join("\n")));

    AppState again;
    QVERIFY(test::connectToTestMeter(again, meter.tcpPort()));
    QCOMPARE(again.block.working.limits.transitTime.snr.fail, 8.5);
    QCOMPARE(again.block.working.limits.transitTime.adcBuffer.warning, 55);
    QCOMPARE(again.block.working.limits.transitTime.correlationQuality.warning, 0.0);
    QCOMPARE(again.block.working.info.spoolSerialNumber, std::string("SN 42"));

    // Nothing changed: nothing is sent, so no password is asked.
    SetMInfo info(again);
    bool asked = false;
    test::when(
        &info, [] { return QApplication::activeModalWidget() != nullptr; },
        [&asked] {
          asked = true;
          QApplication::activeModalWidget()->close();
        });
    test::child<QPushButton>(info, "save")->click();
    QCOMPARE(info.statusText(), QString("Enreg donnees OK"));
    QVERIFY(!asked);
  }

  void annulerInterruptsASaveAndKeepsTheScreenOpen() {
    test::RecordedErrorBoxes boxes;
    test::MeterProcess meter;
    QVERIFY2(meter.startTcp(), meter.error().c_str());
    AppState app;
    QVERIFY(test::connectToTestMeter(app, meter.tcpPort()));
    SetMInfo info(app);
    info.show();
    enter(info, "location", "SITE_C");
    test::when(&info, [&info] { return info.saving(); },
               [&info] { test::child<QPushButton>(info, "cancel")->click(); });
    test::child<QPushButton>(info, "save")->click();
    QCOMPARE(info.statusText(), QString("Enreg donnees interr - Impossible conf enreg"));
    QVERIFY(info.isVisible());
    QCOMPARE(app.block.working.info.location, std::string());
    QVERIFY(test::child<QLineEdit>(info, "location")->isEnabled());
  }

  void echofluxChannelOpensItsOwnLimits() {
    AppState app;
    app.meter.echofluxMode = true;
    rflex_pf limits(app);
    QCOMPARE(limits.windowTitle(), QString("Reglage criteres Echoflux valides/panne"));
    QCOMPARE(test::child<QLineEdit>(limits, "fft_peak_warning")->text(), QString("64"));
    test::child<QPushButton>(limits, "save")->click();
    QCOMPARE(limits.statusText(), QString("Non connecte au compteur"));
  }
};

QTEST_MAIN(SetupScreensTest)
#include "setup_screens_test.moc"
