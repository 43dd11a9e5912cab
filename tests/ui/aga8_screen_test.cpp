#include "calc/aga8_screen.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <cmath>
#include <functional>
#include <memory>

#include "app/app_state.h"
#include "app/commands.h"
#include "app/main_frame.h"
#include "app/password_dialog.h"
#include "calc/aga8_disp.h"
#include "calc/aga8_settings.h"
#include "calc/aga8_units.h"
#include "common/op_context.h"
#include "common/profile_file.h"
#include "link/connect.h"
#include "meter_process.h"
#include "test_context.h"
#include "ui_test_support.h"

using namespace tarnlux;
using namespace tarnlux::ui;

namespace {

// Methane and nitrogen first, as a user types a gas.
const std::pair<int, const char*> kGulfCoast[] = {
    {2, "0.2595"}, {3, "0.5956"}, {5, "96.5222"}, {6, "1.8186"},  {7, "0.4596"},
    {8, "0.0977"}, {9, "0.1007"}, {10, "0.0473"}, {11, "0.0324"}, {12, "0.0664"},
};

// Acts on the password dialog once the send has shown it.
void onPasswordDialog(QObject* owner, std::function<void(PassWord&)> step) {
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

void savePicture(QWidget& widget, const char* name) {
  // Set to look at the screens while changing them.
  const QByteArray folder = qgetenv("TARNLUX_CALC_PICTURES");
  if (!folder.isEmpty()) widget.grab().save(QString::fromLocal8Bit(folder) + "/" + name);
}

}  // namespace

class Aga8ScreenTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<AppState> app_;
  std::unique_ptr<Aga8Session> session_;

  std::unique_ptr<AGA8> open() {
    auto screen = std::make_unique<AGA8>(*app_, *session_);
    screen->resize(1100, 820);
    screen->show();
    if (!QTest::qWaitForWindowExposed(screen.get())) qFatal("screen not shown");
    return screen;
  }

  template <typename T = QPushButton>
  static T* child(AGA8& screen, const char* name) {
    T* widget = screen.findChild<T*>(name);
    if (widget == nullptr) qFatal("no child %s", name);
    return widget;
  }

  // Types like a user: the field's text, then the focus leaves it.
  static void type(AGA8& screen, int entry, const QString& text) {
    QLineEdit* field = screen.entryField(entry);
    field->setText(text);
    emit field->editingFinished();
  }

  static void enterGas(AGA8& screen, const char* pressure = "500", const char* temperature = "50") {
    for (const auto& [entry, text] : kGulfCoast) type(screen, entry, QString::fromLatin1(text));
    type(screen, kAga8BasePressureEntry, "14.73");
    type(screen, kAga8PressureEntry, QString::fromLatin1(pressure));
    type(screen, kAga8BaseTemperatureEntry, "60");
    type(screen, kAga8TemperatureEntry, QString::fromLatin1(temperature));
  }

  // A 10 x 10 table from 100 to 1000 psia and 50 to 120 F.
  void computeTable(AGA8& screen) {
    chooseUnits(screen);
    screen.tableBox()->setChecked(true);
    enterGas(screen, "100");
    type(screen, kAga8MaxPressureEntry, "1000");
    type(screen, kAga8MaxTemperatureEntry, "120");
    child(screen, "calculate")->click();
  }

  // PSIA and Fahrenheit, metric results.
  void chooseUnits(AGA8& screen) {
    screen.unitBox(0)->setCurrentIndex(kAga8Psia);
    screen.unitBox(1)->setCurrentIndex(kAga8Fahrenheit);
    screen.unitBox(2)->setCurrentIndex(kAga8MetresPerSecond);
    screen.unitBox(3)->setCurrentIndex(kAga8KilogramsPerCubicMetre);
    screen.unitBox(4)->setCurrentIndex(kAga8KilojoulesPerKilogram);
  }

  std::string setting(const char* key) const {
    ProfileFile file(app_->settingsPath());
    file.load();
    return file.getString(kAga8SettingsSection, key, "<absent>");
  }

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    app_ = std::make_unique<AppState>();
    app_->programDirectory = QDir(dir_->path()).absolutePath().toStdString() + "/";
    session_ = std::make_unique<Aga8Session>();
    AGA8::setTableSender({});
  }

  void cleanup() {
    session_.reset();
    app_.reset();
    dir_.reset();
  }

  void showsTheFrenchTexts() {
    auto screen = open();
    QCOMPARE(screen->windowTitle(), QStringLiteral("Calculs AGA8"));
    QCOMPARE(child<QGroupBox>(*screen, "unitsGroup")->title(), QStringLiteral("Unites"));
    QCOMPARE(child<QGroupBox>(*screen, "compositionGroup")->title(),
             QStringLiteral("Composition du gaz et fraction molaire en %"));
    QCOMPARE(child<QGroupBox>(*screen, "conditionsGroup")->title(),
             QString("Pression et temperature") + QChar(0xA0) + "du gaz:");
    QCOMPARE(screen->entryLabel(0)->text(), QStringLiteral("Helium:"));
    QCOMPARE(screen->entryLabel(19)->text(), QStringLiteral("C0:"));
    QCOMPARE(screen->entryLabel(kAga8PressureEntry)->text(), QStringLiteral("Pression:"));
    QVERIFY(screen->entryField(kAga8MaxPressureEntry)->isHidden());
    QCOMPARE(screen->tableBox()->text(), QStringLiteral("Creer tableau AGA8"));
    QCOMPARE(screen->unitBox(0)->count(), 8);
    QCOMPARE(screen->unitBox(0)->itemText(4), QStringLiteral("kilopascal(manom)"));
    QCOMPARE(screen->unitBox(2)->itemText(0), QStringLiteral("pi/seconde"));
    const char* buttons[][2] = {{"calculate", "Calculer"},    {"normalise", "Normaliser"},
                                {"clear", "Effacer"},         {"open", "Ouvrir"},
                                {"save", "Enregistrer"},      {"saveAs", "Enregistrer sous"},
                                {"sendTable", "Env tableau"}, {"stop", "Stop"},
                                {"print", "Imprimer"}, {"exportPdf", "Exporter PDF"},        {"manual", "Afficher manuel"},
                                {"quit", "Quitter"}};
    for (const auto& [name, text] : buttons)
      QCOMPARE(child(*screen, name)->text(), QString::fromLatin1(text));
    QVERIFY(!child(*screen, "sendTable")->isEnabled());
    QVERIFY(!child(*screen, "print")->isEnabled());
    QVERIFY(!child(*screen, "exportPdf")->isEnabled());
    QCOMPARE(child<QLabel>(*screen, "statusLabel")->text(), QStringLiteral("Etat:"));
    QCOMPARE(child<QLabel>(*screen, "totalLabel")->text(), QStringLiteral("Total:"));
    // Nothing remembered: every unit starts at its first name.
    QCOMPARE(screen->unitBox(1)->currentText(), QStringLiteral("Fahrenheit"));
    savePicture(*screen, "aga8_empty.png");
  }

  void singlePointCalculationShowsTheResultsPage() {
    test::RecordedErrorBoxes errors;
    auto screen = open();
    chooseUnits(*screen);
    enterGas(*screen);
    QCOMPARE(screen->totalField()->text(), QStringLiteral("100.0"));
    child(*screen, "calculate")->click();

    QVERIFY2(errors.texts.isEmpty(), qPrintable(errors.texts.join('|')));
    QCOMPARE(screen->statusLine()->text(), QStringLiteral("Calcul termine OK"));
    QCOMPARE(screen->entryField(0)->text(), QStringLiteral("0.0"));  // empty counted as 0
    QCOMPARE(screen->entryField(kAga8PressureEntry)->text(), QStringLiteral("500.0"));
    QVERIFY(child(*screen, "print")->isEnabled());
    QVERIFY(child(*screen, "exportPdf")->isEnabled());
    QVERIFY(!child(*screen, "sendTable")->isEnabled());
    QVERIFY(screen->display()->valid());
    const ResultsGrid& page = screen->display()->page().grids.at(0);
    QCOMPARE(page.text(1, 0), std::string("Vitesse du son:"));
    QCOMPARE(page.text(1, 2), std::string("M/SEC"));
    QCOMPARE(page.text(2, 3), std::string("Zf:"));
    const double zf = std::stod(page.text(2, 4));
    QVERIFY(zf > 0.9 && zf < 0.95);
    QVERIFY(aga8KeptResults().speedOfSound > 300);
    savePicture(*screen, "aga8_single.png");

    // The settings remember the units and the entries.
    QCOMPARE(setting("PRESSURE_UNITS"), std::string("PSIA"));
    QCOMPARE(setting("AGA8_TABLE"), std::string("0"));
    QCOMPARE(setting("HELIUM_PERCENTAGE"), std::string("0000000000000000"));
    QCOMPARE(setting("MAXIMUM_PRESSURE"), std::string("<absent>"));

    // Changing a value makes the results stale.
    type(*screen, 5, "96.5");
    QVERIFY(!screen->display()->valid());
    QVERIFY(!child(*screen, "print")->isEnabled());
    QVERIFY(!child(*screen, "exportPdf")->isEnabled());
    QCOMPARE(screen->statusLine()->text(), QString());
  }

  void validationStopsAtTheFirstBadFieldAndTheTotal() {
    test::RecordedErrorBoxes errors;
    auto screen = open();
    chooseUnits(*screen);
    enterGas(*screen, "");
    type(*screen, 17, "abc");
    child(*screen, "calculate")->click();
    QCOMPARE(errors.texts,
             QStringList{QStringLiteral("Valeur incorrecte pour pourcentage Argon ")});
    type(*screen, 17, "");
    child(*screen, "calculate")->click();
    QCOMPARE(errors.texts.last(), QStringLiteral("Saisie requise pour pression"));
    QCOMPARE(screen->statusLine()->text(), QString());

    type(*screen, kAga8PressureEntry, "500");
    type(*screen, 5, "96.5422");  // 100.02 %
    child(*screen, "calculate")->click();
    QCOMPARE(errors.texts.last(),
             QStringLiteral("Le total de composition du gaz doit etre 100%, +/- .01%"));
    QCOMPARE(screen->totalField()->text(), QStringLiteral("100.02"));
    QVERIFY(!screen->display()->valid());

    child(*screen, "normalise")->click();
    QCOMPARE(screen->totalField()->text(), QStringLiteral("100.0"));
    child(*screen, "calculate")->click();
    QCOMPARE(screen->statusLine()->text(), QStringLiteral("Calcul termine OK"));
    QCOMPARE(errors.texts.size(), 3);
  }

  void unitChangesRewriteTheFields() {
    auto screen = open();
    screen->unitBox(0)->setCurrentIndex(kAga8Psig);
    type(*screen, kAga8PressureEntry, "0");
    type(*screen, kAga8BasePressureEntry, "x");
    screen->unitBox(0)->setCurrentIndex(kAga8Barg);
    QCOMPARE(screen->entryField(kAga8PressureEntry)->text(), QStringLiteral("0.0003"));
    QCOMPARE(screen->entryField(kAga8BasePressureEntry)->text(), QStringLiteral("x"));
    screen->unitBox(1)->setCurrentIndex(kAga8Fahrenheit);
    type(*screen, kAga8TemperatureEntry, "212");
    screen->unitBox(1)->setCurrentIndex(kAga8Celsius);
    QCOMPARE(screen->entryField(kAga8TemperatureEntry)->text(), QStringLiteral("100.0"));
  }

  void tableModeComputesTheGridAndStops() {
    test::RecordedErrorBoxes errors;
    auto screen = open();
    chooseUnits(*screen);
    screen->tableBox()->setChecked(true);
    QCOMPARE(screen->entryLabel(kAga8PressureEntry)->text(), QStringLiteral("Pression minimum:"));
    QCOMPARE(screen->entryLabel(kAga8TemperatureEntry)->text(),
             QStringLiteral("Temperature minimum:"));
    QVERIFY(screen->entryField(kAga8MaxTemperatureEntry)->isVisible());
    enterGas(*screen, "");
    child(*screen, "calculate")->click();
    QCOMPARE(errors.texts.last(), QStringLiteral("Saisie requise pour pression minimum"));
    type(*screen, kAga8PressureEntry, "100");
    type(*screen, kAga8MaxPressureEntry, "1000");
    type(*screen, kAga8MaxTemperatureEntry, "120");

    // Stop pressed while the table runs.
    QTimer::singleShot(0, screen.get(), [&] {
      QVERIFY(screen->running());
      QVERIFY(!screen->entryField(5)->isEnabled());
      QVERIFY(screen->statusLine()->text().startsWith(
          QStringLiteral("Calcul en cours. Attendez s.v.p...")));
      child(*screen, "calculate")->click();  // turned away while busy
      child(*screen, "stop")->click();
    });
    child(*screen, "calculate")->click();
    QCOMPARE(screen->statusLine()->text(), QStringLiteral("Calcul annule"));
    QVERIFY(!screen->display()->valid());
    QVERIFY(screen->entryField(5)->isEnabled());
    QCOMPARE(setting("AGA8_TABLE"), std::string("<absent>"));

    // Let it run through.
    child(*screen, "calculate")->click();
    QCOMPARE(screen->statusLine()->text(), QStringLiteral("Calcul termine OK"));
    const ResultsPage& page = screen->display()->page();
    QCOMPARE(page.grids.size(), std::size_t{2});
    QCOMPARE(page.grids[0].text(0, 0), std::string("Densite (kg/M3)"));
    QCOMPARE(page.grids[1].text(0, 0), std::string("Facteur-Z"));
    QCOMPARE(page.grids[0].text(1, 1), std::string("100.0000"));
    QCOMPARE(page.grids[0].text(1, 10), std::string("1000.0000"));
    QCOMPARE(page.grids[0].text(11, 0), std::string("120.0000"));
    QVERIFY(screen->display()->verticalBar()->isVisible());
    QCOMPARE(aga8KeptResults().speedOfSound, 0.0);
    QCOMPARE(setting("AGA8_TABLE"), std::string("1"));
    QVERIFY(setting("MAXIMUM_TEMPERATURE").size() == 16);
    // Valid table results enable the sending; its refusals then speak.
    QVERIFY(child(*screen, "sendTable")->isEnabled());
    savePicture(*screen, "aga8_table.png");

    // The density unit redraws the table in place.
    screen->unitBox(3)->setCurrentIndex(kAga8PoundsPerCubicFoot);
    QCOMPARE(screen->display()->page().grids[0].text(0, 0), std::string("Densite (lbm/pi3)"));
    QCOMPARE(setting("DENSITY_UNITS"), std::string("lb/pi3"));

    // Switching the mode drops the results.
    screen->tableBox()->setChecked(false);
    QVERIFY(!screen->display()->valid());
    QVERIFY(screen->entryField(kAga8MaxTemperatureEntry)->isHidden());
  }

  void tableModeKeepsTheSizeAndFitsTheTableWhereThereIsRoom() {
    auto screen = open();
    screen->adjustSize();
    QCoreApplication::processEvents();
    const QSize before = screen->size();
    screen->tableBox()->setChecked(true);
    QCoreApplication::processEvents();
    QCOMPARE(screen->size(), before);

    // A small desktop keeps the scrolling table; a large one shows it whole.
    screen->fitResultsArea(QSize(640, 480));
    QCOMPARE(screen->size(), before);
    screen->fitResultsArea(QSize(1920, 1200));
    screen->adjustSize();
    computeTable(*screen);
    QCoreApplication::processEvents();
    QVERIFY(screen->display()->valid());
    const QSize page = AGA8Disp::pageSize(screen->display()->page(), screen->display(),
                                          screen->display()->logicalDpiY());
    const QString sizes = QStringLiteral("page %1x%2, area %3x%4, screen %5x%6")
                              .arg(page.width()).arg(page.height())
                              .arg(screen->display()->width()).arg(screen->display()->height())
                              .arg(screen->width()).arg(screen->height());
    QVERIFY2(!screen->display()->verticalBar()->isVisible(), qPrintable(sizes));
    QVERIFY2(!screen->display()->horizontalBar()->isVisible(), qPrintable(sizes));
    savePicture(*screen, "aga8_table_whole.png");
  }

  void closingWhileBusyClosesWhenTheTableStops() {
    auto screen = open();
    chooseUnits(*screen);
    screen->tableBox()->setChecked(true);
    enterGas(*screen, "100");
    type(*screen, kAga8MaxPressureEntry, "1000");
    type(*screen, kAga8MaxTemperatureEntry, "120");
    bool stillOpenAfterRequest = false;
    QTimer::singleShot(0, screen.get(), [&] {
      screen->close();
      stillOpenAfterRequest = screen->isVisible();
    });
    child(*screen, "calculate")->click();
    QVERIFY(stillOpenAfterRequest);
    QVERIFY(!screen->isVisible());
    QCOMPARE(screen->result(), int(QDialog::Rejected));
  }

  void theTableGoesOnlyToAConnectedGasMeter() {
    test::RecordedErrorBoxes errors;
    int sends = 0;
    AGA8::setTableSender(
        [&](AppState&, const Aga8Results& results, QWidget*, const OperationContext& ctx) {
          ++sends;
          ctx.tick();
          return results.tableMode ? std::string("Enreg donnees OK") : std::string("?");
        });
    auto screen = open();
    chooseUnits(*screen);
    screen->tableBox()->setChecked(true);
    enterGas(*screen, "100");
    type(*screen, kAga8MaxPressureEntry, "1000");
    type(*screen, kAga8MaxTemperatureEntry, "120");
    child(*screen, "calculate")->click();
    // The button is enabled by the results, so each refusal reaches the user.
    QVERIFY(child(*screen, "sendTable")->isEnabled());
    child(*screen, "sendTable")->click();
    QCOMPARE(errors.texts.last(), QStringLiteral("Non connecte au compteur"));
    app_->connected = true;
    child(*screen, "sendTable")->click();
    QCOMPARE(errors.texts.last(), QStringLiteral("Pas de canal selectionne"));
    app_->meter.selectedChannel = 0;
    child(*screen, "sendTable")->click();
    QCOMPARE(errors.texts.last(),
             QStringLiteral("Impossible d'envoyer le tableau AGA8 au compteur de liquide"));
    QCOMPARE(sends, 0);

    app_->meter.gasMeter = true;
    child(*screen, "calculate")->click();
    QVERIFY(child(*screen, "sendTable")->isEnabled());
    child(*screen, "sendTable")->click();
    QCOMPARE(sends, 1);
    QCOMPARE(screen->statusLine()->text(), QStringLiteral("Enreg donnees OK"));
    QVERIFY(screen->display()->valid());
  }

  void theTableGoesIntoTheSimulatedGasMeter() {
    test::RecordedErrorBoxes errors;
    test::MeterProcess meter;
    QVERIFY2(meter.startTcp({"--profile", "gas4"}), meter.error().c_str());
    app_->linkSettings.portName = "TCP/IP";
    app_->linkSettings.ipAddress = "127.0.0.1";
    app_->linkSettings.ipPort = static_cast<std::uint16_t>(meter.tcpPort());
    app_->linkSettings.portMissing = 0;
    // The connect screen's work, as it leaves the record.
    {
      test::RecordingContext rc;
      ConnectOutcome outcome;
      QCOMPARE(connectToMeter(app_->link, app_->linkSettings, app_->meter, app_->block, {}, outcome,
                              rc.ctx),
               0);
      app_->connected = true;
      app_->connectOutcome = outcome;
    }
    // The drains between the lines wait 3 s of quiet each: a faster clock.
    ScaledClock fast(20.0);
    int disconnects = 0;
    AGA8::setTableSender([&](AppState& app, const Aga8Results& results, QWidget* screen,
                             const OperationContext& ctx) {
      OperationContext quick = ctx;
      quick.clock = &fast;
      return sendAga8TableFromScreen(app, results, screen, quick, [&] { ++disconnects; });
    });

    auto screen = open();
    computeTable(*screen);
    QVERIFY(child(*screen, "sendTable")->isEnabled());
    onPasswordDialog(screen.get(), [](PassWord& dialog) {
      dialog.findChild<QLineEdit*>("password")->setText("gas4pass");
      dialog.accept();
    });
    child(*screen, "sendTable")->click();
    QVERIFY2(errors.texts.isEmpty(), qPrintable(errors.texts.join(" | ")));
    QCOMPARE(screen->statusLine()->text(), QStringLiteral("Enreg donnees OK"));
    QCOMPARE(disconnects, 0);
    QVERIFY(screen->entryField(kAga8PressureEntry)->isEnabled());

    // The configuration kept from the connect shows the table in the meter's
    // units: bar and Celsius on this meter.
    const Aga8Grid& grid = app_->connectOutcome.configuration.aga8;
    QVERIFY(std::fabs(grid.temperatures[0] - 10.0) < 1e-9);    // 50 F: 283.150 K
    QVERIFY(std::fabs(grid.temperatures[9] - 48.889) < 1e-9);  // 120 F: 322.039 K
    QVERIFY(std::fabs(grid.pressures[0] - 100.0 / 14.50377) < 1e-9);
    QVERIFY(std::fabs(grid.density[3][4] - session_->results.table.Rhof[34]) < 1e-4);

    OperationContext closing;
    closing.quiet = true;
    app_->link.closeLink(false, closing);
  }

  void aLinkFailureDuringTheSendDisconnectsTheProgram() {
    test::RecordedErrorBoxes errors;
    CMainFrame frame(*app_);
    installScreens(frame);
    // A connect that leaves a gas meter behind a link that is already gone.
    frame.setConnectScreen([](CMainFrame& owner) {
      owner.app().meter.gasMeter = true;
      owner.app().meter.selectedChannel = 0;
      owner.app().connectOutcome.configurationRead = true;
      return true;
    });
    frame.runCommand(kCmdConnect);
    QVERIFY(app_->connected);

    auto screen = open();
    computeTable(*screen);
    child(*screen, "sendTable")->click();
    QVERIFY(!errors.texts.isEmpty());
    QVERIFY(!app_->connected);
    QVERIFY(!app_->connectOutcome.configurationRead);
    QCOMPARE(frame.commandAction(kCmdConnect)->text(), QStringLiteral("&Connexion"));
    QCOMPARE(screen->statusLine()->text(), QString());
    // The results stay valid: a new press says the program is not connected.
    QVERIFY(child(*screen, "sendTable")->isEnabled());
    QVERIFY(screen->display()->valid());
  }

  void setupFilesSaveAndReopen() {
    test::RecordedErrorBoxes errors;
    const QString path = QDir(dir_->path()).filePath("gulf.cpf");
    {
      auto screen = open();
      chooseUnits(*screen);
      enterGas(*screen);
      QVERIFY(!screen->saveSetupFile(path));
      QCOMPARE(errors.texts.last(), QStringLiteral("Pas de calcul effectue"));
      child(*screen, "calculate")->click();
      QVERIFY(screen->saveSetupFile(path));
      QCOMPARE(QFileInfo(path).size(), qint64(256));
    }
    // Another session: a fresh program run.
    Aga8Session other;
    AGA8 reopened(*app_, other);
    reopened.show();
    QVERIFY(reopened.openSetupFile(path));
    QCOMPARE(reopened.statusLine()->text(), QStringLiteral("Calcul termine OK"));
    QCOMPARE(reopened.unitBox(0)->currentText(), QStringLiteral("PSIA"));
    QCOMPARE(reopened.entryField(5)->text(), QStringLiteral("96.5222"));
    QCOMPARE(reopened.entryField(kAga8PressureEntry)->text(), QStringLiteral("500.0"));
    QCOMPARE(reopened.totalField()->text(), QStringLiteral("100.0"));
    QCOMPARE(other.entries.values, session_->entries.values);
    QCOMPARE(other.setupFilePath, path.toStdString());

    // One byte changed: refused with its code, nothing changes.
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    bytes[100] = static_cast<char>(bytes[100] ^ 0x40);
    file.seek(0);
    file.write(bytes);
    file.close();
    reopened.entryField(5)->setText("1");
    QVERIFY(!reopened.openSetupFile(path));
    QCOMPARE(errors.texts.last(),
             QStringLiteral("Fichier incorrect ou corrompu - Code d'erreur: 3"));
    QCOMPARE(reopened.entryField(5)->text(), QStringLiteral("1"));
  }

  void rememberedSettingsFillTheScreen() {
    ProfileFile file(app_->settingsPath());
    file.set("AGA8", "PRESSURE_UNITS", "barA");
    file.set("AGA8", "TEMPERATURE_UNITS", "Kelvin");
    file.set("AGA8", "AGA8_TABLE", "2");
    file.set("AGA8", "PRESSURE", "415312D000000000");  // 5e6 Pa
    file.set("AGA8", "METHANE_PERCENTAGE", "3FF0000000000000");
    QCOMPARE(file.save(), 0);
    loadAga8Settings(app_->settingsPath(), *session_);
    auto screen = open();
    QCOMPARE(screen->unitBox(0)->currentText(), QStringLiteral("BARA"));
    QCOMPARE(screen->unitBox(1)->currentText(), QStringLiteral("Kelvin"));
    QVERIFY(!screen->tableBox()->isChecked());
    QCOMPARE(screen->entryField(kAga8PressureEntry)->text(), QStringLiteral("50.0"));
    QCOMPARE(screen->entryField(5)->text(), QStringLiteral("100.0"));
    QCOMPARE(screen->entryField(0)->text(), QString());
    QCOMPARE(screen->totalField()->text(), QStringLiteral("100.0"));
  }

  void printsTheResultsPageToPdf() {
    auto screen = open();
    chooseUnits(*screen);
    enterGas(*screen);
    child(*screen, "calculate")->click();
    const QString pdf = QDir(dir_->path()).filePath("aga8.pdf");
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    QVERIFY(screen->display()->printTo(printer, QStringLiteral("Ecran AGA8")));
    QFile out(pdf);
    QVERIFY(out.open(QIODevice::ReadOnly));
    const QByteArray head = out.read(5);
    QCOMPARE(head, QByteArray("%PDF-"));
    QVERIFY(out.size() > 1000);
    QVERIFY(screen->display()->valid());  // the window keeps its page

    // Nothing valid: nothing printed.
    type(*screen, 5, "90");
    QVERIFY(!screen->display()->printTo(printer, QStringLiteral("Ecran AGA8")));
  }
};

QTEST_MAIN(Aga8ScreenTest)
#include "aga8_screen_test.moc"
