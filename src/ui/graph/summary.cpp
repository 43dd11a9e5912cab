#include "graph/summary.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "app/app_state.h"
#include "app/manual.h"
#include "app/pdf_export.h"
#include "app/qt_text.h"
#include "app/screen_parts.h"
#include "app/screen_layout.h"
#include "diag/grading.h"
#include "graph/graph.h"
#include "graph/graph_colours.h"

namespace tarnlux::ui {

namespace {

QColor qColour(RgbColour c) { return QColor(c.red, c.green, c.blue); }

}  // namespace

Summary::Summary(AppState& app, ScreenLayout layout, QWidget* parent)
    : QDialog(parent), app_(app) {
  const bool wide = layout == ScreenLayout::Large;
  setObjectName(wide ? QStringLiteral("Summary") : QStringLiteral("LresSumm"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  QFont controls = font();
  controls.setPointSize(wide ? 10 : 8);
  setFont(controls);

  graph_ = new Graph(this);
  graph_->setObjectName(QStringLiteral("graph"));
  graph_->setMinimumSize(wide ? QSize(860, 230) : QSize(700, 200));
  const StatusLine statusLine = makeStatusLine(this);
  status_ = statusLine.text;

  auto* query = screenButton(this, "query", "Demander");
  auto* stop = screenButton(this, "stop", "Stop");
  printButton_ = screenButton(this, "print", "Imprimer");
  pdfButton_ = screenButton(this, "exportPdf", kExportPdfText);
  auto* manual = screenButton(this, "manual", "Afficher manuel");
  auto* exit = screenButton(this, "exit", "Quitter");
  printButton_->setEnabled(false);
  pdfButton_->setEnabled(false);
  connect(query, &QPushButton::clicked, this, &Summary::query);
  connect(stop, &QPushButton::clicked, this, &Summary::stopQuery);
  connect(printButton_, &QPushButton::clicked, this, &Summary::printPage);
  connect(pdfButton_, &QPushButton::clicked, this, &Summary::exportPage);
  connect(manual, &QPushButton::clicked, this, [this] { showManual(this); });
  connect(exit, &QPushButton::clicked, this, &Summary::reject);

  auto* buttons = new QHBoxLayout;
  for (QPushButton* b : {query, stop, printButton_, pdfButton_, manual, exit}) buttons->addWidget(b);
  buttons->insertStretch(4, 1);
  auto* all = new QVBoxLayout(this);
  all->setContentsMargins(6, 6, 6, 6);
  all->addWidget(graph_, 1);
  all->addLayout(buttons);
  all->addLayout(statusLine.row);

  ScreenQueryLoop::Callbacks callbacks;
  callbacks.started = [this](unsigned, int, bool) {
    printButton_->setEnabled(false);
    pdfButton_->setEnabled(false);
  };
  callbacks.period = [this](const QueryPeriodReport& report) {
    SummaryInput input;
    input.activeMask = report.activeMask;
    input.siteStatusWord = loop_->loop().siteStatusWord();
    page_ = buildSummaryPage(measurementStore(), app_.meter, loop_->limits(), input);
    hasPage_ = true;
    ++periodsDrawn_;
    graph_->newData();
    printButton_->setEnabled(true);
    pdfButton_->setEnabled(true);
  };
  loop_ = std::make_unique<ScreenQueryLoop>(QueryHostKind::Summary, app_, this, status_,
                                            std::move(callbacks));
  graph_->reset();
  (wide ? graph_->modes().summaryLarge : graph_->modes().summary) = true;
  graph_->setPageDrawer(GraphPage::Summary, [this](GraphCanvas& c) { return drawPage(c); });
  setWindowTitle(QString::fromLatin1(kSummaryTitle));

  QMetaObject::invokeMethod(this, &Summary::query, Qt::QueuedConnection);
}

Summary::~Summary() = default;

void Summary::query() {
  if (loop_->running()) return;
  loop_->query();
}

void Summary::stopQuery() {
  if (loop_->running()) loop_->stop();
}

void Summary::printPage() { graph_->print(this); }

void Summary::exportPage() {
  exportPdf(this, QString(), QStringLiteral("Sommaire.pdf"),
            [this](QPrinter& printer) { return graph_->printTo(printer); });
}

void Summary::reject() {
  if (loop_->requestExit()) return;
  QDialog::reject();
}

int Summary::drawPage(GraphCanvas& c) {
  QPainter& p = *c.painter;
  QFont font = c.courier(10);
  font.setBold(true);
  p.setFont(font);
  const QFontMetrics fm(font, p.device());
  const int w = std::max(1, fm.horizontalAdvance(QLatin1Char('0')));
  const int h = std::max(1, fm.height());
  const int rowHeight = h + h / 3;
  int top = c.area.top + h / 2;
  const QColor ink = qColour(kGraphInk);
  p.setPen(c.pen(ink));
  if (c.printing) {
    p.drawText(QRect(c.area.left, top, c.area.right - c.area.left, h), Qt::AlignHCenter,
               QString::fromLatin1(kSummaryPrintTitle));
    top += h * 2;
  }
  // Columns: flow group (label, value, unit), diagnostic group (label,
  // value, unit), status group; rules between the groups.
  const int left = c.area.left + w;
  const std::vector<int> rights = {8 * w,  22 * w, 34 * w, 46 * w,
                                   58 * w, 68 * w, 88 * w};
  TableGrid grid;
  grid.columnRights = rights;
  grid.rowHeight = rowHeight;
  grid.originX = left;
  grid.originY = top;
  grid.limitRight = c.area.right;
  grid.limitBottom = top + rowHeight * 9 + 1;
  grid.charWidth = w;
  auto cell = [&](int row, int column, std::string text, CellAlign align = CellAlign::Left) {
    if (text.empty()) return;
    graph_->tableCell(c, grid, text, CellKind::Text, row, column, align);
  };
  cell(0, 0, "Flux");
  // The group heading spans the diagnostic group's three columns.
  p.drawText(QRect(left + rights[2] + w, top, rights[5] - rights[2] - w, rowHeight),
             Qt::AlignLeft | Qt::AlignVCenter, QString::fromLatin1(kSummaryPageHeading));
  cell(0, 6, "Etat", CellAlign::Centre);
  if (hasPage_) {
    cell(2, 0, "Debit:");
    cell(2, 1, page_.flow, CellAlign::Right);
    cell(2, 2, page_.flowUnit);
    cell(4, 0, "Total:");
    cell(4, 1, page_.total, CellAlign::Right);
    cell(4, 2, page_.totalUnit);
    cell(2, 3, page_.gainLabel);
    cell(2, 4, page_.gain, CellAlign::Right);
    if (page_.soundSpeedShown) {
      cell(4, 3, page_.soundSpeedLabel);
      cell(4, 4, page_.soundSpeed, CellAlign::Right);
      cell(4, 5, page_.soundSpeedUnit);
    }
    cell(6, 3, "Aeration:");
    cell(6, 4, page_.aeration, CellAlign::Right);
    cell(8, 3, kGradeLegendHeading);
    cell(8, 4, page_.statusCode);
  }
  for (int i = 0; i < 3; ++i) {
    const GradeColour grade = static_cast<GradeColour>(i);
    std::string legend = gradeLegendText(grade);
    graph_->tableCell(c, grid, legend, CellKind::Text, 5 + i, 6, CellAlign::Left,
                      qColour(rgbOf(grade)));
  }
  // The lamp: three characters across, under "Etat".
  const int statusLeft = left + rights[5];
  const int statusRight = std::min(c.area.right, left + rights[6]);
  const int diameter = 3 * w;
  const int centreX = (statusLeft + statusRight) / 2;
  const int centreY = top + rowHeight * 2 + rowHeight / 2;
  p.setPen(c.pen(ink));
  p.setBrush(hasPage_ ? qColour(rgbOf(page_.lamp)) : QColor(Qt::white));
  p.drawEllipse(QPoint(centreX, centreY), diameter / 2, diameter / 2);
  p.setBrush(Qt::NoBrush);
  const int bottom = top + rowHeight * 9;
  for (int column : {3, 6}) {
    const int x = left + rights[static_cast<std::size_t>(column - 1)] + w / 2;
    p.drawLine(x, top, x, bottom);
  }
  if (c.printing) p.drawRect(left - w / 2, top, statusRight - left + w / 2, bottom - top);
  return bottom;
}

LresSumm::LresSumm(AppState& app, QWidget* parent) : Summary(app, ScreenLayout::Small, parent) {}

void openSystemSummary(AppState& app, QWidget* parent) {
  if (currentScreenLayout(parent) == ScreenLayout::Large) {
    Summary screen(app, ScreenLayout::Large, parent);
    screen.exec();
  } else {
    LresSumm screen(app, parent);
    screen.exec();
  }
}

}  // namespace tarnlux::ui
