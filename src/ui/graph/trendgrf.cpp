#include "graph/trendgrf.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/app_state.h"
#include "app/error_box.h"
#include "app/manual.h"
#include "app/pdf_export.h"
#include "app/qt_text.h"
#include "app/screen_parts.h"
#include "diag/diag_screen.h"
#include "graph/graph.h"
#include "graph/trend_line_controls.h"

namespace tarnlux::ui {

TrendGrf::TrendGrf(AppState& app, QWidget* parent) : QDialog(parent), app_(app) {
  setObjectName(QStringLiteral("TrendGrf"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setWindowFlag(Qt::WindowMaximizeButtonHint, true);

  graph_ = new Graph(this);
  graph_->setObjectName(QStringLiteral("graph"));
  graph_->setMinimumSize(720, 380);
  const StatusLine statusLine = makeStatusLine(this);
  status_ = statusLine.text;
  trend_ = new TrendLineControls(app_, graph_, status_, this);

  auto* query = screenButton(this, "query", "Demander");
  auto* stop = screenButton(this, "stop", "Stop");
  pdfButton_ = screenButton(this, "exportPdf", kExportPdfText);
  auto* manual = screenButton(this, "manual", "Afficher manuel");
  auto* exit = screenButton(this, "exit", "Quitter");
  pdfButton_->setEnabled(false);
  connect(query, &QPushButton::clicked, this, &TrendGrf::query);
  connect(stop, &QPushButton::clicked, this, &TrendGrf::stopQuery);
  connect(pdfButton_, &QPushButton::clicked, this, &TrendGrf::exportGraph);
  connect(manual, &QPushButton::clicked, this, [this] { showManual(this); });
  connect(exit, &QPushButton::clicked, this, &TrendGrf::reject);

  auto* lists = new QGridLayout;
  lists->addWidget(trend_->dataLabel(), 0, 0);
  lists->addWidget(trend_->dataList(), 0, 1);
  lists->addWidget(trend_->spanLabel(), 1, 0);
  lists->addWidget(trend_->spanList(), 1, 1);
  auto* buttons = new QGridLayout;
  buttons->addWidget(query, 0, 0);
  buttons->addWidget(stop, 0, 1);
  buttons->addWidget(pdfButton_, 1, 0);
  buttons->addWidget(manual, 1, 1);
  buttons->addWidget(exit, 2, 1);
  auto* controls = new QHBoxLayout;
  controls->addLayout(lists);
  controls->addWidget(trend_->scalingGroup());
  controls->addStretch(1);
  controls->addLayout(buttons);
  auto* all = new QVBoxLayout(this);
  all->setContentsMargins(6, 6, 6, 6);
  all->addWidget(graph_, 1);
  all->addLayout(controls);
  all->addLayout(statusLine.row);

  ScreenQueryLoop::Callbacks callbacks;
  callbacks.started = [this](unsigned, int, bool) {
    graph_->reset();
    graph_->setGraphType(trend_->quantity() + 2);
    pdfButton_->setEnabled(false);
    graph_->clear();
  };
  callbacks.period = [this](const QueryPeriodReport&) {
    trend_->updateFromReadings(measurementStore());
    ++periodsDrawn_;
    // A trend needs two samples before it is drawn.
    if (programTrendStore().validCount() >= 2) {
      graph_->newData();
      pdfButton_->setEnabled(true);
    }
  };
  loop_ = std::make_unique<ScreenQueryLoop>(QueryHostKind::Trend, app_, this, status_,
                                            std::move(callbacks));
  graph_->reset();
  graph_->setTrendSource(&programTrendStore(), &trend_->view());
  trend_->fillForMeter();
  setWindowTitle(qtText(diagnosticScreenTitle(app_.connected, app_.meter, "Graphe tendance")));

  QMetaObject::invokeMethod(this, &TrendGrf::query, Qt::QueuedConnection);
}

TrendGrf::~TrendGrf() = default;

void TrendGrf::query() {
  if (loop_->running()) return;
  const std::string problem = trend_->checkBeforeQuery();
  if (!problem.empty()) {
    ErrorBox(problem, -1, this);
    return;
  }
  trend_->setQuerying(true);
  loop_->query();
  trend_->setQuerying(false);
}

void TrendGrf::stopQuery() {
  if (loop_->running()) loop_->stop();
}

void TrendGrf::exportGraph() {
  exportPdf(this, QString(), QStringLiteral("Tendance.pdf"),
            [this](QPrinter& printer) { return graph_->printTo(printer); });
}

void TrendGrf::reject() {
  if (loop_->requestExit()) return;
  QDialog::reject();
}

void openTrendGraph(AppState& app, QWidget* parent) {
  TrendGrf screen(app, parent);
  screen.exec();
}

}  // namespace tarnlux::ui
