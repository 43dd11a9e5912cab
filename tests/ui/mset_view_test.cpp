// The meter settings view against the simulated meter, on the offscreen platform.

#include "reports/mset_view.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>
#include <QImage>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "app/app_state.h"
#include "common/result.h"
#include "graph/graph.h"
#include "link/connect.h"
#include "meter_process.h"
#include "ui_test_support.h"

using namespace tarnlux;
using namespace tarnlux::ui;

namespace {

template <typename T>
T* child(QWidget& parent, const char* name) {
  T* found = parent.findChild<T*>(QString::fromLatin1(name));
  if (found == nullptr) qFatal("no child %s", name);
  return found;
}

QImage render(QWidget& widget) {
  QImage image(widget.size(), QImage::Format_RGB32);
  widget.render(&image);
  return image;
}

}  // namespace

class MSetViewTest : public QObject {
  Q_OBJECT

  std::unique_ptr<test::RecordedErrorBoxes> boxes_;

  // Connects as the connect screen does and leaves the record connected.
  void connectTo(AppState& app, const test::MeterProcess& meter) {
    app.linkSettings.portName = kTcpPortName;
    app.linkSettings.ipAddress = "127.0.0.1";
    app.linkSettings.ipPort = static_cast<std::uint16_t>(meter.tcpPort());
    app.linkSettings.portMissing = 0;
    OperationContext ctx;
    QCOMPARE(connectToMeter(app.link, app.linkSettings, app.meter, app.block,
                            [](unsigned) { return 0; }, app.connectOutcome, ctx),
             kOk);
    app.connected = true;
    app.linkIsTcp = true;
  }

 private slots:
  void init() { boxes_ = std::make_unique<test::RecordedErrorBoxes>(); }
  void cleanup() { boxes_.reset(); }

  void opensWithItsTextsAndSaysWhenNotConnected() {
    AppState app;
    LresView screen(app);
    screen.show();
    QCOMPARE(screen.objectName(), QStringLiteral("LresView"));
    QCOMPARE(screen.windowTitle(), QStringLiteral("Parametres compteur"));
    for (const auto& [name, text] : {std::pair{"print", "Imprimer"},
                                     {"exportPdf", "Exporter PDF"},
                                     {"manual", "Afficher manuel"},
                                     {"exit", "Quitter"}}) {
      QCOMPARE(child<QPushButton>(screen, name)->text(), QString::fromLatin1(text));
    }
    QTRY_COMPARE(boxes_->texts, QStringList{QStringLiteral("Non connecte au compteur")});
    QVERIFY(screen.page().empty());
    QVERIFY(!child<QPushButton>(screen, "print")->isEnabled());
    QVERIFY(!child<QPushButton>(screen, "exportPdf")->isEnabled());
  }

  void showsTheGasMeterPageScrolledByLineAndPrintsEveryLine() {
    test::MeterProcess meter;
    QVERIFY2(meter.startTcp({"--profile", "gas4"}), meter.error().c_str());
    AppState app;
    connectTo(app, meter);
    MSetView screen(app);
    screen.resize(1000, 700);
    screen.show();
    QTRY_VERIFY_WITH_TIMEOUT(!screen.page().empty() && !screen.building(), 20000);
    QVERIFY(boxes_->texts.isEmpty());
    QCOMPARE(QString::fromStdString(screen.page().lines.front()), QStringLiteral("Donnees compteur"));
    QVERIFY(child<QPushButton>(screen, "print")->isEnabled());

    // Far more lines than the window holds: the vertical bar scrolls by line.
    QScrollBar* vertical = screen.graph()->verticalBar();
    QTRY_VERIFY(vertical->isVisible());
    QCOMPARE(vertical->singleStep(), 1);
    QVERIFY(vertical->maximum() > 20);
    const QImage top = render(*screen.graph());
    vertical->setValue(vertical->maximum());
    QVERIFY(render(*screen.graph()) != top);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.pdf"));
    // "Exporter PDF" as the user does it: the chooser, a name typed in.
    QTimer chooser;
    QObject::connect(&chooser, &QTimer::timeout, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr || !dialog->isVisible()) return;
      chooser.stop();
      dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(path);
      QMetaObject::invokeMethod(dialog, "accept");
    });
    chooser.start(10);
    child<QPushButton>(screen, "exportPdf")->click();
    QVERIFY(!QFile::exists(path + QStringLiteral(".part")));
    QFile pdf(path);
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    const QByteArray bytes = pdf.readAll();
    QVERIFY2(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r") +
                     bytes.count("/Type /Page ") + bytes.count("/Type /Page>") >=
                 2,
             "the AGA8 grids take more than one sheet");
  }

  void eachTableHasItsOwnColumns() {
    SettingsPage page;
    page.add("Parametres COMS,Adresse IP:127.0.0.1,No port IP:4001");
    page.add("Ref. tiroir,N/A");
    page.add("Donnees compteur: a title");
    page.add(",,,,Pression (BARA)");
    page.add("Parametre,Chem 1,Unites");
    page.add("Diametre interne tube,6.065,pouces");
    page.add("Index esp. transformateur,4,12");
    const SettingsPageColumns columns = settingsPageColumns(page);
    QCOMPARE(columns.tableOfLine, (std::vector<int>{0, 0, -1, 1, 1, 1, 1}));
    QCOMPARE(columns.tables[0], (std::vector<int>{15, 20}));
    // A text in the last cell runs on (the pressure title widens nothing); a
    // number there keeps to its column.
    QCOMPARE(columns.tables[1], (std::vector<int>{25, 6, 2, 0}));
    QCOMPARE(columns.widthInChars, 25 + 2 + 6 + 2 + 2 + 2 + 0 + 2 + 15);  // the pressure line
  }
};

QTEST_MAIN(MSetViewTest)
#include "mset_view_test.moc"
