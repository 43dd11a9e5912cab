#include "calc/energy_screen.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "app/app_state.h"
#include "calc/aga8_disp.h"
#include "common/profile_file.h"
#include "ui_test_support.h"

using namespace tarnlux;
using namespace tarnlux::ui;

class EnergyScreenTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<AppState> app_;
  std::unique_ptr<EnergySession> session_;

  std::unique_ptr<EnrgCalc> open() {
    auto screen = std::make_unique<EnrgCalc>(*app_, *session_);
    screen->resize(760, 560);
    screen->show();
    if (!QTest::qWaitForWindowExposed(screen.get())) qFatal("screen not shown");
    return screen;
  }

  static QPushButton* button(EnrgCalc& screen, const char* name) {
    auto* b = screen.findChild<QPushButton*>(name);
    if (b == nullptr) qFatal("no button %s", name);
    return b;
  }

  static void type(EnrgCalc& screen, int entry, const QString& text) {
    QLineEdit* field = screen.entryField(entry);
    field->setText(text);
    emit field->editingFinished();
  }

  // 100 gallons a minute of water heating, 180 F out and 160 F back, the
  // flow sensor on the return.
  static void enterHotWater(EnrgCalc& screen) {
    screen.selectionBox(kEnergyTemperatureSelection)->setCurrentIndex(kEnergyFahrenheit);
    screen.selectionBox(kEnergyVolumeSelection)->setCurrentIndex(kEnergyGallons);
    screen.selectionBox(kEnergyTimeSelection)->setCurrentIndex(1);
    screen.selectionBox(kEnergyLocationSelection)->setCurrentIndex(kEnergyReturn);
    type(screen, kEnergyFlowEntry, "100");
    type(screen, kEnergySupplyEntry, "180");
    type(screen, kEnergyReturnEntry, "160");
  }

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    app_ = std::make_unique<AppState>();
    app_->programDirectory = QDir(dir_->path()).absolutePath().toStdString() + "/";
    session_ = std::make_unique<EnergySession>();
  }

  void cleanup() {
    session_.reset();
    app_.reset();
    dir_.reset();
  }

  void showsTheFrenchTexts() {
    auto screen = open();
    QCOMPARE(screen->windowTitle(), QStringLiteral("Calculateur de flux energetiques"));
    QCOMPARE(screen->selectionBox(kEnergyLiquidSelection)->itemText(5),
             QStringLiteral("50 % d'ethylene glycol"));
    QCOMPARE(screen->unitLabel(kEnergyFlowEntry)->text(), QStringLiteral("Gallons/S"));
    QCOMPARE(screen->unitLabel(kEnergySupplyEntry)->text(), QStringLiteral("deg C"));
    QVERIFY(!button(*screen, "print")->isEnabled());
    QVERIFY(!button(*screen, "exportPdf")->isEnabled());
    QCOMPARE(button(*screen, "saveAs")->text(), QStringLiteral("Enregistrer sous"));
  }

  void computesTheEnergyRate() {
    test::RecordedErrorBoxes errors;
    auto screen = open();
    enterHotWater(*screen);
    QCOMPARE(screen->unitLabel(kEnergyFlowEntry)->text(), QStringLiteral("Gallons/MIN"));
    QCOMPARE(screen->unitLabel(kEnergyReturnEntry)->text(), QStringLiteral("deg F"));
    button(*screen, "calculate")->click();
    QVERIFY2(errors.texts.isEmpty(), qPrintable(errors.texts.join('|')));
    QVERIFY(button(*screen, "print")->isEnabled());
    QVERIFY(button(*screen, "exportPdf")->isEnabled());
    const ResultsGrid& page = screen->display()->page().grids.at(0);
    QCOMPARE(page.text(1, 1), std::string("20.00"));
    QCOMPARE(page.text(2, 0), std::string("Densite au retour:"));
    QCOMPARE(page.text(4, 1), std::string("978061.804"));
    QCOMPARE(page.text(4, 2), std::string("BTU / h"));
    // Set to look at the screen while changing it.
    if (const QByteArray folder = qgetenv("TARNLUX_CALC_PICTURES"); !folder.isEmpty()) {
      screen->grab().save(QString::fromLocal8Bit(folder) + "/energy.png");
    }

    // A unit change redraws; the liquid changes what was computed.
    screen->selectionBox(kEnergyRateSelection)->setCurrentIndex(4);
    QCOMPARE(screen->display()->page().grids.at(0).text(4, 2), std::string("Watts"));
    screen->selectionBox(kEnergyTemperatureSelection)->setCurrentIndex(kEnergyCelsius);
    QCOMPARE(screen->entryField(kEnergySupplyEntry)->text(), QStringLiteral("82.2222"));
    QVERIFY(screen->display()->valid());
    screen->selectionBox(kEnergyVolumeSelection)->setCurrentIndex(kEnergyCubicInches);
    QCOMPARE(screen->entryField(kEnergyFlowEntry)->text(), QStringLiteral("23100.0"));
    QCOMPARE(screen->unitLabel(kEnergyFlowEntry)->text(), QStringLiteral("Pouces cube/MIN"));
    screen->selectionBox(kEnergyLiquidSelection)->setCurrentIndex(2);
    QVERIFY(!screen->display()->valid());
    QVERIFY(!button(*screen, "print")->isEnabled());
    QVERIFY(!button(*screen, "exportPdf")->isEnabled());

    // The settings remember the choices.
    ProfileFile file(app_->settingsPath());
    file.load();
    QCOMPARE(file.getString("ENERGY", "TEMPERATURE_UNITS"), std::string("deg F"));
    QCOMPARE(file.getString("ENERGY", "METER_LOCATION"), std::string("Retour"));
    QCOMPARE(file.getString("ENERGY", "FLOWRATE").size(), std::size_t{16});
  }

  void refusesBadEntries() {
    test::RecordedErrorBoxes errors;
    auto screen = open();
    enterHotWater(*screen);
    type(*screen, kEnergySupplyEntry, "-201");
    button(*screen, "calculate")->click();
    QCOMPARE(errors.texts, QStringList{QStringLiteral("Temperature en-dehors de la plage")});
    type(*screen, kEnergyFlowEntry, "");
    button(*screen, "calculate")->click();
    QCOMPARE(errors.texts.last(), QStringLiteral("Entree requise pour le debit"));
    QVERIFY(!screen->display()->valid());
  }

  void setupFileSaveAndReopen() {
    test::RecordedErrorBoxes errors;
    const QString path = QDir(dir_->path()).filePath("loop.gas");
    {
      auto screen = open();
      enterHotWater(*screen);
      QVERIFY(!screen->saveSetupFile(path));
      QCOMPARE(errors.texts.last(), QStringLiteral("Pas de calcul effectue"));
      button(*screen, "calculate")->click();
      QVERIFY(screen->saveSetupFile(path));
      QCOMPARE(QFileInfo(path).size(), qint64(74));
    }
    EnergySession other;
    EnrgCalc reopened(*app_, other);
    QVERIFY(reopened.openSetupFile(path));
    QCOMPARE(reopened.entryField(kEnergyFlowEntry)->text(), QStringLiteral("100.0"));
    QCOMPARE(reopened.entryField(kEnergyReturnEntry)->text(), QStringLiteral("160.0"));
    QCOMPARE(reopened.selectionBox(kEnergyLocationSelection)->currentText(),
             QStringLiteral("Retour"));
    QCOMPARE(reopened.unitLabel(kEnergyFlowEntry)->text(), QStringLiteral("Gallons/MIN"));

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    file.seek(70);
    file.write(QByteArray(1, '\x02'));  // service 2 with a fixed checksum
    QByteArray bytes = (file.seek(0), file.readAll());
    quint16 sum = 0;
    for (int i = 39; i <= 71; ++i) sum = static_cast<quint16>(sum + static_cast<quint8>(bytes[i]));
    file.seek(72);
    file.write(QByteArray(1, static_cast<char>(sum & 0xFF)) +
               QByteArray(1, static_cast<char>(sum >> 8)));
    file.close();
    QVERIFY(!reopened.openSetupFile(path));
    QCOMPARE(errors.texts.last(),
             QStringLiteral("Fichier incorrect ou corrompu - Code d'erreur: 10"));
  }

  void printsToPdf() {
    auto screen = open();
    enterHotWater(*screen);
    button(*screen, "calculate")->click();
    const QString pdf = QDir(dir_->path()).filePath("energy.pdf");
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    QVERIFY(screen->display()->printTo(printer, QStringLiteral("Ecran outil energetique")));
    QFile out(pdf);
    QVERIFY(out.open(QIODevice::ReadOnly));
    QCOMPARE(out.read(5), QByteArray("%PDF-"));
  }
};

QTEST_MAIN(EnergyScreenTest)
#include "energy_screen_test.moc"
