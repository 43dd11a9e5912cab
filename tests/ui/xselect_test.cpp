#include "calc/xselect.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "app/app_state.h"
#include "calc/aga8_disp.h"
#include "calc/aga8comp.h"
#include "calc/repeatability_graph.h"
#include "common/profile_file.h"
#include "ui_test_support.h"

using namespace tarnlux;
using namespace tarnlux::ui;

class XSelectTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<AppState> app_;
  std::unique_ptr<SizingSession> gas_;
  std::unique_ptr<SizingSession> liquid_;

  std::unique_ptr<XSelect> open(SizingSession& session) {
    auto screen = std::make_unique<XSelect>(*app_, session);
    screen->resize(1100, 760);
    screen->show();
    if (!QTest::qWaitForWindowExposed(screen.get())) qFatal("screen not shown");
    return screen;
  }

  static QPushButton* button(XSelect& screen, const char* name) {
    auto* b = screen.findChild<QPushButton*>(name);
    if (b == nullptr) qFatal("no button %s", name);
    return b;
  }

  static void type(XSelect& screen, SizingRole role, const QString& text) {
    QLineEdit* field = screen.entryField(sizingEntry(screen.mode(), role));
    field->setText(text);
    emit field->editingFinished();
  }

  static void picture(XSelect& screen, const char* name) {
    if (const QByteArray folder = qgetenv("TARNLUX_CALC_PICTURES"); !folder.isEmpty()) {
      screen.grab().save(QString::fromLocal8Bit(folder) + "/" + name);
    }
  }

  // Prints every page into a PDF file (kept in the pictures folder when set).
  QString printPdf(XSelect& screen, const QString& name) {
    const QByteArray folder = qgetenv("TARNLUX_CALC_PICTURES");
    const QString pdf = folder.isEmpty() ? QDir(dir_->path()).filePath(name)
                                         : QString::fromLocal8Bit(folder) + "/" + name;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageOrientation(QPageLayout::Landscape);
    printer.setOutputFileName(pdf);
    if (!screen.printTo(printer)) return {};
    QFile out(pdf);
    if (!out.open(QIODevice::ReadOnly)) return {};
    return QString::fromLatin1(out.read(5));
  }

  // A 12 in steel natural gas line at 1000 psig.
  static void enterGasLine(XSelect& screen) {
    screen.selectionBox(kSizingLengthUnit)->setCurrentIndex(kSizingInches);
    screen.selectionBox(kSizingTemperatureUnit)->setCurrentIndex(kSizingFahrenheit);
    screen.selectionBox(kSizingPressureUnit)->setCurrentIndex(3);  // PSIG
    screen.selectionBox(kSizingTimeUnit)->setCurrentIndex(3);      // J
    type(screen, SizingRole::OutsideDiameter, "12.75");
    type(screen, SizingRole::Wall, "0.375");
    type(screen, SizingRole::MinimumFlow, "5000000");
    type(screen, SizingRole::MaximumFlow, "50000000");
    type(screen, SizingRole::MinimumTemperature, "60");
    type(screen, SizingRole::MaximumTemperature, "80");
    type(screen, SizingRole::MinimumPressure, "1000");
    type(screen, SizingRole::MaximumPressure, "1000");
  }

  // A 2 in PVC water line, 5 to 50 gallons a minute.
  static void enterWaterLine(XSelect& screen) {
    screen.selectionBox(kSizingLengthUnit)->setCurrentIndex(kSizingInches);
    screen.selectionBox(kSizingTemperatureUnit)->setCurrentIndex(kSizingFahrenheit);
    screen.selectionBox(kSizingTimeUnit)->setCurrentIndex(1);
    screen.selectionBox(kSizingPipeMaterial)->setCurrentIndex(18);
    type(screen, SizingRole::OutsideDiameter, "2.375");
    type(screen, SizingRole::Wall, "0.154");
    type(screen, SizingRole::MinimumFlow, "5");
    type(screen, SizingRole::MaximumFlow, "50");
    type(screen, SizingRole::MinimumTemperature, "68");
    type(screen, SizingRole::MaximumTemperature, "68");
  }

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    app_ = std::make_unique<AppState>();
    app_->programDirectory = QDir(dir_->path()).absolutePath().toStdString() + "/";
    gas_ = std::make_unique<SizingSession>(SizingMode::Gas);
    liquid_ = std::make_unique<SizingSession>(SizingMode::Liquid);
  }

  void cleanup() {
    gas_.reset();
    liquid_.reset();
    app_.reset();
    dir_.reset();
  }

  void gasToolRecommendsAndListsProblems() {
    test::RecordedErrorBoxes errors;
    auto screen = open(*gas_);
    QCOMPARE(screen->windowTitle(),
             QStringLiteral("Selection du capteur de gaz et outil de dimensionnement"));
    QCOMPARE(screen->selectionBox(kSizingFluid)->currentText(), QStringLiteral("Gaz naturel"));
    QCOMPARE(screen->tabs()->count(), 2);
    QCOMPARE(screen->tabs()->tabText(1), QStringLiteral("Calc. d'installation"));
    QVERIFY(!button(*screen, "composition")->isEnabled());
    QVERIFY(!screen->entryField(2)->isEnabled());  // liner "Aucun"
    enterGasLine(*screen);
    QCOMPARE(screen->entryField(3)->text(), QStringLiteral("400.0"));  // filled by "Gaz naturel"
    button(*screen, "calculate")->click();
    QVERIFY2(errors.texts.isEmpty(), qPrintable(errors.texts.join('|')));
    QCOMPARE(screen->typeLabel()->text(), QStringLiteral("7327RS-T1"));
    QCOMPARE(screen->choiceBox(XSelect::kTypeBox)->itemText(0),
             QStringLiteral("7327 Univ. Recommande"));
    QCOMPARE(screen->choiceBox(XSelect::kSizeBox)->currentText(), QStringLiteral("D1H"));
    QCOMPARE(screen->tabs()->count(), 2);
    QCOMPARE(screen->display()->page().grids.at(0).text(1, 0), std::string("Fact. Z(env.):"));
    picture(*screen, "gas_tool.png");
    screen->tabs()->setCurrentIndex(1);
    QCOMPARE(screen->display()->page().grids.at(0).text(1, 0),
             std::string("Pression de serv. min.:"));
    QCOMPARE(printPdf(*screen, "gas.pdf"), QStringLiteral("%PDF-"));

    // Too hot: no type, a problem page appears; back in range it goes.
    type(*screen, SizingRole::MaximumTemperature, "256");
    button(*screen, "calculate")->click();
    QCOMPARE(screen->typeLabel()->text(), QStringLiteral("Contacter l'usine"));
    QCOMPARE(screen->tabs()->count(), 3);
    QCOMPARE(screen->tabs()->tabText(2), QStringLiteral("Problemes d'application"));
    screen->tabs()->setCurrentIndex(2);
    QCOMPARE(screen->display()->page().grids.at(0).text(1, 0),
             std::string("Temperature superieure aux limites du capteur"));
    type(*screen, SizingRole::MaximumTemperature, "80");
    button(*screen, "calculate")->click();
    QCOMPARE(screen->tabs()->count(), 2);
    QCOMPARE(screen->tabs()->currentIndex(), 0);

    // A unit change converts the fields and keeps the results.
    screen->selectionBox(kSizingPressureUnit)->setCurrentIndex(1);  // BARG
    QCOMPARE(screen->entryField(9)->text(), QStringLiteral("68.9476"));
    QVERIFY(screen->display()->valid());

    ProfileFile file(app_->settingsPath());
    file.load();
    QCOMPARE(file.getString("XSELECT_GAS", "GAS_NAME"), std::string("Gaz naturel"));
    QCOMPARE(file.getString("XSELECT_GAS", "OUTSIDE_DIAMETER").size(), std::size_t{16});
  }

  void compositionDialogKeepsResultsWhenUnchanged() {
    test::RecordedErrorBoxes errors;
    auto screen = open(*gas_);
    screen->selectionBox(kSizingFluid)->setCurrentIndex(kAga8CompositionGas);
    QVERIFY(button(*screen, "composition")->isEnabled());
    enterGasLine(*screen);
    screen->compositionTexts()[5] = "100";  // methane
    button(*screen, "calculate")->click();
    QVERIFY2(errors.texts.isEmpty(), qPrintable(errors.texts.join('|')));
    QVERIFY(screen->display()->valid());
    QString title;
    QString methane;
    QTimer::singleShot(0, [&] {
      auto* dialog = screen->findChild<AGA8Comp*>();
      title = dialog->windowTitle();
      methane = dialog->field(5)->text();
      dialog->findChild<QPushButton*>("ok")->click();
      if (dialog->isVisible()) dialog->reject();
    });
    screen->openComposition();
    QCOMPARE(title, QStringLiteral("Composition du gaz et fraction molaire en %"));
    QCOMPARE(methane, QStringLiteral("100.0"));
    QVERIFY(screen->display()->valid());
    QTimer::singleShot(0, [&] {
      auto* dialog = screen->findChild<AGA8Comp*>();
      dialog->field(5)->setText("50");
      dialog->findChild<QPushButton*>("close")->click();
      if (dialog->isVisible()) dialog->reject();
    });
    screen->openComposition();
    QVERIFY(!screen->display()->valid());
    // A refused composition opens the dialog on it.
    bool reopened = false;
    QTimer::singleShot(0, [&] {
      auto* dialog = screen->findChild<AGA8Comp*>();
      reopened = dialog != nullptr;
      if (dialog) dialog->reject();
    });
    button(*screen, "calculate")->click();
    QVERIFY(reopened);
    QCOMPARE(errors.texts.last(),
             QStringLiteral("Le total de composition du gaz doit etre 100%, +/- .01%"));
  }

  void liquidToolGraphFilesAndPdf() {
    test::RecordedErrorBoxes errors;
    auto screen = open(*liquid_);
    QCOMPARE(screen->windowTitle(),
             QStringLiteral("Selection du capteur de liquide et outil de dimensionnement"));
    QVERIFY(!button(*screen, "composition")->isVisible());
    QVERIFY(!screen->selectionBox(kSizingPressureUnit)->isVisible());
    screen->selectionBox(kSizingFluid)->setCurrentIndex(41);  // "Mercure (24C)"
    QCOMPARE(screen->entryField(3)->text(), QStringLiteral("1449.0"));
    QCOMPARE(screen->entryField(5)->text(), QStringLiteral("13.594"));
    screen->selectionBox(kSizingFluid)->setCurrentIndex(kSizingDefaultLiquid);
    enterWaterLine(*screen);
    button(*screen, "calculate")->click();
    QVERIFY2(errors.texts.isEmpty(), qPrintable(errors.texts.join('|')));
    QCOMPARE(screen->choiceBox(XSelect::kSizeBox)->currentText(), QStringLiteral("C3"));
    QCOMPARE(screen->choiceBox(XSelect::kMountBox)->currentText(), QStringLiteral("Direct"));
    QCOMPARE(screen->display()->page().grids.at(0).text(2, 0), std::string("#Reynolds:"));
    screen->tabs()->setCurrentIndex(1);
    QVERIFY(screen->graph()->isVisible());
    QVERIFY(screen->graph()->valid());
    picture(*screen, "liquid_graph.png");
    screen->tabs()->setCurrentIndex(0);
    picture(*screen, "liquid_tool.png");

    // The user's size stays while the tool recalculates.
    screen->choiceBox(XSelect::kSizeBox)->setCurrentIndex(1);
    emit screen->choiceBox(XSelect::kSizeBox)->activated(1);
    const QString chosen = screen->choiceBox(XSelect::kSizeBox)->currentText();
    QVERIFY(chosen != QStringLiteral("C3"));

    const QString path = QDir(dir_->path()).filePath("water.gas");
    QVERIFY(screen->saveSetupFile(path));
    QCOMPARE(QFileInfo(path).size(), qint64(136));
    SizingSession other(SizingMode::Liquid);
    XSelect reopened(*app_, other);
    QVERIFY(reopened.openSetupFile(path));
    QCOMPARE(reopened.entryField(0)->text(), QStringLiteral("2.375"));
    QCOMPARE(reopened.selectionBox(kSizingPipeMaterial)->currentText(),
             QStringLiteral("PVC (plastique)"));
    reopened.calculate();
    QCOMPARE(reopened.choiceBox(XSelect::kSizeBox)->currentText(), chosen);

    QCOMPARE(printPdf(*screen, "liquid.pdf"), QStringLiteral("%PDF-"));
  }
};

QTEST_MAIN(XSelectTest)
#include "xselect_test.moc"
