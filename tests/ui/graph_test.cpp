#include "graph/graph.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <cmath>
#include <memory>

#include "app/printer.h"
#include "graph/trend_store.h"
#include "graph/trend_view.h"

using namespace tarnlux;
using namespace tarnlux::ui;

namespace {

const QRgb kRed = qRgb(255, 0, 0);
const QRgb kBlue = qRgb(0, 0, 255);
const QRgb kMagenta = qRgb(255, 0, 255);
const QRgb kGreen = qRgb(0, 255, 0);

// Two paths of a multi-path meter: path 1 swinging round 10, path 2 round 11.
std::unique_ptr<TrendStore> twoPathStore(int samples, double swing = 0.5) {
  auto store = std::make_unique<TrendStore>();
  store->setActivePaths(0x3, true);
  store->setPeriod(3);
  for (int i = 0; i < samples; ++i) {
    TrendPeriod period;
    period.statusWords.fill(0x3FF);
    period.averagePathMask = 0x3;
    for (int q = 0; q < kTrendQuantities; ++q) {
      period.pathValues[q][0] = 10 + swing * std::sin(i / 2.0);
      period.pathValues[q][1] = 11 + swing * std::cos(i / 3.0);
      period.averages[q] = (period.pathValues[q][0] + period.pathValues[q][1]) / 2;
    }
    period.pathValues[2][0] = 40 + i % 7;
    period.pathValues[2][1] = 60;
    store->storePeriod(period, 1, 1'700'000'000 + 3 * i);
  }
  return store;
}

QImage render(Graph& graph) {
  QImage image(graph.size(), QImage::Format_RGB32);
  image.fill(Qt::gray);
  graph.render(&image);
  return image;
}

// Pixels of exactly `colour` in the rectangle (inclusive edges).
int countColour(const QImage& image, QRgb colour, int left, int top, int right, int bottom) {
  int n = 0;
  for (int y = std::max(0, top); y <= std::min(image.height() - 1, bottom); ++y) {
    for (int x = std::max(0, left); x <= std::min(image.width() - 1, right); ++x) {
      if ((image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF)) ++n;
    }
  }
  return n;
}

void savePicture(const QImage& image, const char* name) {
  // Set to look at the pictures while changing the drawing.
  const QByteArray folder = qgetenv("TARNLUX_GRAPH_PICTURES");
  if (!folder.isEmpty()) image.save(QString::fromLocal8Bit(folder) + "/" + name);
}

}  // namespace

class GraphTest : public QObject {
  Q_OBJECT

 private slots:
  void trendLinesAreDrawnInThePathColoursInsideThePlot();
  void linesLeavingAManualRangeAreCutAtThePlotBorder();
  void aTrendNeedsTwoSamples();
  void diagnosticPanelComesFirstAndReportPagesTakePrecedence();
  void gradedCellsAreFilledFittedAndSummarised();
  void printsToAPdfFileWithTheScreensSamples();
  void cancelledPrintDialogPrintsNothingAndKeepsTheUsersOrientation();
};

void GraphTest::trendLinesAreDrawnInThePathColoursInsideThePlot() {
  auto store = twoPathStore(60);
  TrendView view;
  view.spanMinutes = 5;
  view.metricUnits = true;
  Graph graph;
  graph.resize(800, 420);
  graph.setTrendSource(store.get(), &view);
  graph.setGraphType(2);
  graph.newData();
  const QImage image = render(graph);
  savePicture(image, "graph_trend.png");

  const TrendLayout& l = graph.trendLayout();
  QCOMPARE(l.visibleCount, 60);
  QVERIFY(l.plotLeft > 0 && l.plotRight < 800 && l.plotTop > 0 && l.plotBottom < 420);
  const int inside[4] = {l.plotLeft + 1, l.plotTop + 1, l.plotRight - 1, l.plotBottom - 1};
  QVERIFY(countColour(image, kRed, inside[0], inside[1], inside[2], inside[3]) > 50);
  QVERIFY(countColour(image, kBlue, inside[0], inside[1], inside[2], inside[3]) > 50);
  QVERIFY(countColour(image, kMagenta, inside[0], inside[1], inside[2], inside[3]) > 50);
  // Background white, frame and axes black.
  QCOMPARE(image.pixel(l.plotLeft + 2, l.plotTop + 2) & 0xFFFFFF, 0xFFFFFFu);
  QCOMPARE(image.pixel(0, 0) & 0xFFFFFF, 0u);
  QCOMPARE(image.pixel(l.plotLeft, (l.plotTop + l.plotBottom) / 2) & 0xFFFFFF, 0u);
  QCOMPARE(image.pixel((l.plotLeft + l.plotRight) / 2, l.plotBottom) & 0xFFFFFF, 0u);
  // The first sample sits on the left axis, later ones step right.
  QCOMPARE(l.xOfSample(0), l.plotLeft);
  // The gain trend of the same store: integer axis, no average line.
  graph.setGraphType(4);
  graph.requestRelayout();
  const QImage gain = render(graph);
  savePicture(gain, "graph_gain.png");
  QCOMPARE(graph.trendLayout().axis.labels[0], std::string("100"));
  QCOMPARE(
      countColour(gain, kMagenta, graph.trendLayout().plotLeft + 1, graph.trendLayout().plotTop + 1,
                  graph.trendLayout().plotRight - 1, graph.trendLayout().plotBottom - 1),
      0);
}

void GraphTest::linesLeavingAManualRangeAreCutAtThePlotBorder() {
  auto store = std::make_unique<TrendStore>();
  store->setActivePaths(0x1, false);
  store->setPeriod(3);
  for (int i = 0; i < 21; ++i) {
    TrendPeriod period;
    period.statusWords.fill(0x3FF);
    period.pathValues[0][0] = (i % 4 < 2) ? 5.0 : (i % 8 < 4 ? 50.0 : -40.0);
    store->storePeriod(period, 1, 1'700'000'000 + 3 * i);
  }
  TrendView view;
  view.automaticScale = false;
  view.manualMax = 10;
  view.manualMin = 0;
  Graph graph;
  graph.resize(700, 400);
  graph.setTrendSource(store.get(), &view);
  graph.setGraphType(2);
  graph.newData();
  const QImage image = render(graph);
  savePicture(image, "graph_clipped.png");
  const TrendLayout& l = graph.trendLayout();
  QCOMPARE(l.axis.top, 10.0);
  // Nothing red on or beyond the plot border rows...
  QCOMPARE(countColour(image, kRed, l.plotLeft, 0, l.plotRight, l.plotTop), 0);
  QCOMPARE(countColour(image, kRed, l.plotLeft, l.plotBottom, l.plotRight, l.plotBottom + 3), 0);
  // ...the line runs up to the rows just inside it.
  QVERIFY(countColour(image, kRed, l.plotLeft, l.plotTop + 1, l.plotRight, l.plotTop + 1) > 0);
  QVERIFY(countColour(image, kRed, l.plotLeft, l.plotBottom - 1, l.plotRight, l.plotBottom - 1) >
          0);
}

void GraphTest::aTrendNeedsTwoSamples() {
  auto store = twoPathStore(1);
  TrendView view;
  Graph graph;
  graph.resize(400, 300);
  graph.setTrendSource(store.get(), &view);
  graph.setGraphType(2);
  graph.newData();
  QVERIFY(!graph.hasPicture());
  QImage image = render(graph);
  QCOMPARE(countColour(image, kRed, 1, 1, 398, 298), 0);
  QCOMPARE(image.pixel(200, 150) & 0xFFFFFF, 0xFFFFFFu);

  // A quantity the meter cannot supply is not drawn either.
  store = twoPathStore(5);
  graph.setTrendSource(store.get(), &view);
  view.quantityDrawable = false;
  QVERIFY(!graph.hasPicture());
  image = render(graph);
  QCOMPARE(countColour(image, kRed, 1, 1, 398, 298), 0);
  view.quantityDrawable = true;
  QVERIFY(graph.hasPicture());

  // Cleared: an empty frame until new data arrives.
  graph.clear();
  image = render(graph);
  QCOMPARE(countColour(image, kRed, 1, 1, 398, 298), 0);
  graph.newData();
  image = render(graph);
  QVERIFY(countColour(image, kRed, 1, 1, 398, 298) > 0);
}

void GraphTest::diagnosticPanelComesFirstAndReportPagesTakePrecedence() {
  auto store = twoPathStore(30);
  TrendView view;
  Graph graph;
  graph.resize(800, 600);
  graph.setTrendSource(store.get(), &view);
  graph.setGraphType(3);
  int panels = 0;
  int reports = 0;
  graph.setPageDrawer(GraphPage::DiagnosticPanel, [&](GraphCanvas& canvas) {
    ++panels;
    return canvas.area.top + 250;
  });
  graph.setPageDrawer(GraphPage::Report, [&](GraphCanvas& canvas) {
    ++reports;
    return canvas.area.bottom;
  });
  graph.modes().diagnosticLarge = true;
  graph.newData();
  QImage image = render(graph);
  savePicture(image, "graph_diagnostic.png");
  QCOMPARE(panels, 1);
  QVERIFY(graph.trendLayout().plotTop > 250);
  QVERIFY(countColour(image, kBlue, 1, 251, 798, 598) > 0);

  graph.modes().report = true;
  image = render(graph);
  QCOMPARE(reports, 1);
  QCOMPARE(panels, 1);
  QCOMPARE(countColour(image, kBlue, 1, 1, 798, 598), 0);

  graph.reset();
  QVERIFY(!graph.modes().inReport() && !graph.modes().inDiagnostic() && !graph.modes().dataReady);
}

void GraphTest::gradedCellsAreFilledFittedAndSummarised() {
  Graph graph;
  graph.resize(600, 300);
  graph.modes().diagnostic = true;
  QImage image(600, 300, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  GraphCanvas canvas;
  canvas.painter = &painter;
  canvas.area = {0, 0, 600, 300};
  painter.setFont(canvas.courier(10));
  const int w = QFontMetrics(painter.font(), painter.device()).horizontalAdvance(QLatin1Char('0'));
  const int rights[] = {16 * w, 22 * w, 28 * w, 34 * w, 40 * w};
  TableGrid grid;
  grid.columnRights = rights;
  grid.rowHeight = 20;
  grid.originX = 5;
  grid.originY = 5;
  grid.limitRight = 600;
  grid.limitBottom = 300;
  grid.charWidth = w;

  std::string ok = "45";
  std::string warning = "29";
  std::string long_number = "1234567.891";
  QVERIFY(graph.gradedCell(canvas, grid, ok, CellKind::Number, 1, 1, CellAlign::Centre,
                           GradeColour::Green));
  QVERIFY(graph.gradedCell(canvas, grid, warning, CellKind::Number, 1, 2, CellAlign::Centre,
                           GradeColour::Yellow));
  QVERIFY(graph.gradedCell(canvas, grid, long_number, CellKind::Number, 2, 1, CellAlign::Right,
                           GradeColour::Red));
  QVERIFY(!graph.gradedCell(canvas, grid, ok, CellKind::Number, -1, 1, CellAlign::Left,
                            GradeColour::Red));
  std::string label = "Q correlation:";
  QVERIFY(graph.tableCell(canvas, grid, label, CellKind::Text, 3, 0, CellAlign::Left));
  painter.end();
  savePicture(image, "graph_cells.png");

  // Six characters of room: the decimals go, then the message replaces what is left.
  QCOMPARE(long_number, std::string("Nbre trop long"));
  QCOMPARE(label, std::string("Q correlation:"));
  QCOMPARE(graph.cellColours().rowSummary(1), std::optional<GradeColour>(GradeColour::Yellow));
  QCOMPARE(graph.cellColours().rowSummary(2), std::optional<GradeColour>(GradeColour::Red));
  // Fill one pixel inside the grid lines.
  QCOMPARE(image.pixel(5 + 16 * w + 1, 5 + 20 + 1) & 0xFFFFFF, kGreen & 0xFFFFFF);
  QCOMPARE(image.pixel(5 + 22 * w + 2, 5 + 20 + 2) & 0xFFFFFF, qRgb(255, 255, 0) & 0xFFFFFF);
}

void GraphTest::printsToAPdfFileWithTheScreensSamples() {
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  auto store = twoPathStore(901);
  TrendView view;
  view.spanMinutes = 30;
  Graph graph;
  graph.resize(420, 300);
  graph.setTrendSource(store.get(), &view);
  graph.setGraphType(3);

  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setPageOrientation(QPageLayout::Landscape);
  const QString path = dir.filePath("trend.pdf");
  printer.setOutputFileName(path);

  graph.newData();
  render(graph);
  const int screenSamples = graph.trendLayout().visibleCount;
  const int screenFirst = graph.trendLayout().firstSlot;
  QVERIFY(screenSamples < 601);  // the narrow window dropped the oldest ones

  QVERIFY(graph.printTo(printer));
  QCOMPARE(graph.trendLayout().visibleCount, screenSamples);
  QCOMPARE(graph.trendLayout().firstSlot, screenFirst);
  QVERIFY(graph.trendLayout().plotRight > 3000);  // laid out on the page, not the window

  QFile file(path);
  QVERIFY(file.open(QIODevice::ReadOnly));
  const QByteArray pdf = file.readAll();
  QVERIFY(pdf.size() > 1000);
  QVERIFY(pdf.startsWith("%PDF"));
  // One document under the program's name (PDF keeps it in UTF-16).
  QByteArray title("\xfe\xff", 2);
  for (char ch : QByteArray("Ecran Diagnostic")) title.append('\0').append(ch);
  QVERIFY(pdf.contains(title));
  const QByteArray folder = qgetenv("TARNLUX_GRAPH_PICTURES");
  if (!folder.isEmpty()) QFile::copy(path, QString::fromLocal8Bit(folder) + "/graph_trend.pdf");

  // The next screen picture is laid out for the window again.
  render(graph);
  QVERIFY(graph.trendLayout().plotRight < 420);

  // Nothing to print: no document.
  Graph empty;
  const QString nothing = dir.filePath("nothing.pdf");
  printer.setOutputFileName(nothing);
  QVERIFY(!empty.printTo(printer));
  QVERIFY(!QFile::exists(nothing));
}

void GraphTest::cancelledPrintDialogPrintsNothingAndKeepsTheUsersOrientation() {
  auto store = twoPathStore(10);
  TrendView view;
  Graph graph;
  graph.resize(400, 300);
  graph.setTrendSource(store.get(), &view);
  graph.setGraphType(2);
  graph.newData();

  QPrinter& printer = sharedPrinter();
  printer.setPageOrientation(QPageLayout::Portrait);
  QPageLayout::Orientation shown = QPageLayout::Portrait;
  bool dialogSeen = false;
  QTimer::singleShot(0, [&] {
    if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
      dialogSeen = true;
      shown = printer.pageLayout().orientation();
      dialog->reject();
    }
  });
  QVERIFY(!graph.print());
  QVERIFY(dialogSeen);
  QCOMPARE(shown, QPageLayout::Landscape);
  QCOMPARE(printer.pageLayout().orientation(), QPageLayout::Portrait);
}

QTEST_MAIN(GraphTest)
#include "graph_test.moc"
