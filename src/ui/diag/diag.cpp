#include "diag/diag.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/app_state.h"
#include "app/error_box.h"
#include "app/manual.h"
#include "app/pdf_export.h"
#include "app/qt_text.h"
#include "app/screen_parts.h"
#include "app/screen_layout.h"
#include "common/clock.h"
#include "common/paths.h"
#include "common/profile_file.h"
#include "diag/capture_files.h"
#include "diag/diag_screen.h"
#include "graph/graph.h"
#include "graph/trend_line_controls.h"

namespace tarnlux::ui {

namespace {

constexpr const char* kDirectoriesSection = "DIRECTORIES";
constexpr const char* kDataCaptureKey = "DATA_CAPTURE";

QLabel* label(QWidget* parent, const char* name, const char* text) {
  auto* l = new QLabel(QString::fromLatin1(text), parent);
  l->setObjectName(QString::fromLatin1(name));
  return l;
}

}  // namespace

diag::diag(AppState& app, ScreenLayout layout, QWidget* parent)
    : QDialog(parent), app_(app), layout_(layout) {
  setObjectName(layout == ScreenLayout::Large ? QStringLiteral("hresdiag")
                                              : QStringLiteral("diag"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setWindowFlag(Qt::WindowMaximizeButtonHint, true);
  buildControls(layout);

  ScreenQueryLoop::Callbacks callbacks;
  callbacks.started = [this](unsigned mask, int, bool) { loopStarted(mask); };
  callbacks.period = [this](const QueryPeriodReport& report) { periodDone(report); };
  callbacks.captureEnded = [this](const CaptureEndReport& report) { captureEnded(report); };
  loop_ = std::make_unique<ScreenQueryLoop>(QueryHostKind::Diagnostic, app_, this, status_,
                                            std::move(callbacks));

  graph_->reset();
  (layout == ScreenLayout::Large ? graph_->modes().diagnosticLarge : graph_->modes().diagnostic) =
      true;
  graph_->setTrendSource(&programTrendStore(), &trend_->view());
  graph_->setPageDrawer(GraphPage::DiagnosticPanel,
                        [this](GraphCanvas& canvas) { return drawPanel(canvas); });
  trend_->fillForMeter();

  setWindowTitle(qtText(diagnosticScreenTitle(app_.connected, app_.meter)));
  storedDirectory_ =
      readProfileString(app_.settingsPath(), kDirectoriesSection, kDataCaptureKey);
  directory_->setText(qtText(storedDirectory_));
  const int entry = std::clamp(programDiagnosticChoices().captureLengthEntry, 0,
                               static_cast<int>(kCaptureLengths.size()) - 1);
  length_->setCurrentIndex(entry);
  proposeFileName();

  // The screen opens querying.
  QMetaObject::invokeMethod(this, &diag::query, Qt::QueuedConnection);
}

diag::~diag() = default;

void diag::setClock(const Clock* clock, double factor) {
  clock_ = clock;
  loop_->setClock(clock, factor);
  proposeFileName();
}

void diag::setReportOpener(std::function<void()> opener) {
  reportOpener_ = std::move(opener);
  reportButton_->setEnabled(static_cast<bool>(reportOpener_));
}

void diag::buildControls(ScreenLayout layout) {
  const bool large = layout == ScreenLayout::Large;
  QFont controls = font();
  controls.setPointSize(large ? 10 : 8);
  setFont(controls);

  graph_ = new Graph(this);
  graph_->setObjectName(QStringLiteral("graph"));
  graph_->setMinimumSize(large ? QSize(1000, 560) : QSize(620, 330));

  const StatusLine statusLine = makeStatusLine(this);
  status_ = statusLine.text;
  status_->setTextInteractionFlags(Qt::TextSelectableByMouse);

  trend_ = new TrendLineControls(app_, graph_, status_, this);

  // Trend line settings.
  auto* trendBox = new QGroupBox(QStringLiteral("Param ligne tend"), this);
  trendBox->setObjectName(QStringLiteral("trendGroup"));
  auto* trendGrid = new QGridLayout(trendBox);
  trendGrid->setVerticalSpacing(large ? 6 : 2);
  trendGrid->addWidget(trend_->dataLabel(), 0, 0);
  trendGrid->addWidget(trend_->dataList(), 0, 1);
  trendGrid->addWidget(trend_->spanLabel(), 1, 0);
  trendGrid->addWidget(trend_->spanList(), 1, 1);
  // The small layout stacks the scaling group under the lists.
  if (large) {
    trendGrid->addWidget(trend_->scalingGroup(), 0, 2, 2, 1);
  } else {
    trendGrid->addWidget(trend_->scalingGroup(), 2, 0, 1, 2);
  }

  // Data capture.
  auto* captureBox = new QGroupBox(QStringLiteral("Fonctions capt donnees"), this);
  captureBox->setObjectName(QStringLiteral("captureGroup"));
  length_ = new QComboBox(captureBox);
  length_->setObjectName(QStringLiteral("captureLength"));
  for (const CaptureLengthChoice& choice : kCaptureLengths) {
    length_->addItem(QString::fromLatin1(choice.text));
  }
  directory_ = new QLineEdit(captureBox);
  directory_->setObjectName(QStringLiteral("directory"));
  fileName_ = new QLineEdit(captureBox);
  fileName_->setObjectName(QStringLiteral("fileName"));
  captureButton_ = screenButton(captureBox, "capture", kCaptureStartText);
  auto* captureGrid = new QGridLayout(captureBox);
  captureGrid->setVerticalSpacing(large ? 6 : 2);
  captureGrid->addWidget(label(captureBox, "captureLengthLabel", "Intervalle tps:"), 0, 0);
  captureGrid->addWidget(length_, 0, 1);
  captureGrid->addWidget(captureButton_, 0, 2);
  captureGrid->addWidget(label(captureBox, "directoryLabel", "Repert.:"), 1, 0);
  captureGrid->addWidget(directory_, 1, 1, 1, 2);
  captureGrid->addWidget(label(captureBox, "fileNameLabel", "Nom fich.:"), 2, 0);
  captureGrid->addWidget(fileName_, 2, 1, 1, 2);
  connect(length_, &QComboBox::activated, this, &diag::lengthChosen);
  connect(directory_, &QLineEdit::editingFinished, this, &diag::directoryEdited);
  connect(captureButton_, &QPushButton::clicked, this, &diag::pressCapture);

  queryButton_ = screenButton(this, "query", "Demander");
  auto* stop = screenButton(this, "stop", "Stop");
  printButton_ = screenButton(this, "print", "Imprimer");
  pdfButton_ = screenButton(this, "exportPdf", kExportPdfText);
  auto* manual = screenButton(this, "manual", "Afficher manuel");
  reportButton_ = screenButton(this, "report", "Rapport");
  auto* exit = screenButton(this, "exit", "Quitter");
  printButton_->setEnabled(false);
  pdfButton_->setEnabled(false);
  reportButton_->setEnabled(false);
  connect(queryButton_, &QPushButton::clicked, this, &diag::query);
  connect(stop, &QPushButton::clicked, this, &diag::stopQuery);
  connect(printButton_, &QPushButton::clicked, this, &diag::printGraph);
  connect(pdfButton_, &QPushButton::clicked, this, &diag::exportGraph);
  connect(manual, &QPushButton::clicked, this, [this] { showManual(this); });
  connect(reportButton_, &QPushButton::clicked, this, [this] {
    if (reportOpener_) reportOpener_();
  });
  connect(exit, &QPushButton::clicked, this, &diag::reject);

  auto* buttons = new QGridLayout;
  buttons->setVerticalSpacing(large ? 6 : 2);
  buttons->addWidget(queryButton_, 0, 0);
  buttons->addWidget(stop, 0, 1);
  buttons->addWidget(printButton_, 1, 0);
  buttons->addWidget(pdfButton_, 1, 1);
  buttons->addWidget(reportButton_, 2, 0);
  buttons->addWidget(manual, 2, 1);
  buttons->addWidget(exit, 3, 1);

  auto* controlRow = new QHBoxLayout;
  controlRow->setSpacing(large ? 8 : 4);
  controlRow->addWidget(trendBox);
  controlRow->addWidget(captureBox);
  controlRow->addStretch(1);
  controlRow->addLayout(buttons);


  const int margin = large ? 10 : 4;
  auto* all = new QVBoxLayout(this);
  all->setContentsMargins(margin, margin, margin, margin);
  all->setSpacing(large ? 8 : 3);
  all->addWidget(graph_, 1);
  all->addLayout(controlRow);
  all->addLayout(statusLine.row);
}

void diag::proposeFileName() {
  if (!app_.connected) return;
  fileName_->setText(qtText(
      proposedCaptureFileName(app_.meter, clock_ != nullptr ? *clock_ : systemClock())));
}

void diag::directoryEdited() {
  const std::string text = trimmed(stdText(directory_->text()));
  directory_->setText(qtText(text));
  if (text == storedDirectory_) return;
  if (writeProfileString(app_.settingsPath(), kDirectoriesSection, kDataCaptureKey, text) == 0) {
    storedDirectory_ = text;
  }
}

void diag::lengthChosen(int entry) {
  if (entry < 0 || entry >= static_cast<int>(kCaptureLengths.size())) return;
  programDiagnosticChoices().captureLengthEntry = entry;
  loop_->loop().setCaptureLength(kCaptureLengths[static_cast<std::size_t>(entry)].seconds);
}

void diag::query() {
  if (loop_->running()) return;
  const std::string problem = trend_->checkBeforeQuery();
  if (!problem.empty()) {
    status_->setText(qtText(problem));
    return;
  }
  trend_->setQuerying(true);
  loop_->query();
  trend_->setQuerying(false);
}

void diag::stopQuery() {
  if (loop_->running()) loop_->stop();
}

void diag::pressCapture() {
  if (loop_->capturing()) {
    loop_->pressCapture({});
    if (!loop_->capturing()) captureButton_->setText(QString::fromLatin1(kCaptureStartText));
    return;
  }
  // A directory typed just before the press counts.
  directoryEdited();
  CaptureRequest request;
  request.directory = stdText(directory_->text());
  request.fileName = stdText(fileName_->text());
  request.startupDirectory = app_.programDirectory.empty() ? currentProgramDirectory()
                                                           : app_.programDirectory;
  request.lengthSeconds =
      kCaptureLengths[static_cast<std::size_t>(std::max(0, length_->currentIndex()))].seconds;
  request.iniPath = lastLogIni_;
  if (!loop_->running()) {
    const std::string problem = trend_->checkBeforeQuery();
    if (!problem.empty()) {
      status_->setText(qtText(problem));
      return;
    }
  }
  captureButton_->setText(QString::fromLatin1(kCaptureEndText));
  const bool wasRunning = loop_->running();
  if (!wasRunning) trend_->setQuerying(true);
  loop_->pressCapture(request);
  if (!wasRunning) trend_->setQuerying(false);
  if (!loop_->capturing()) captureButton_->setText(QString::fromLatin1(kCaptureStartText));
}

void diag::loopStarted(unsigned activeMask) {
  graph_->reset();
  (layout_ == ScreenLayout::Large ? graph_->modes().diagnosticLarge
                                  : graph_->modes().diagnostic) = true;
  graph_->setGraphType(trend_->quantity() + 2);
  source_ = {};
  source_.facts.activeMask = activeMask;
  printButton_->setEnabled(false);
  pdfButton_->setEnabled(false);
  graph_->clear();
}

void diag::periodDone(const QueryPeriodReport& report) {
  const MeterFacts& m = app_.meter;
  source_.store = &measurementStore();
  source_.limits = &loop_->limits();
  source_.facts.activeMask = report.activeMask;
  source_.facts.meterFlags = m.meterFlags;
  source_.facts.multiPath = m.multiPath;
  source_.facts.gasMeter = m.gasMeter;
  source_.facts.extendedDiagnostics = m.extendedDiagnostics;
  source_.facts.standardFlowOn = m.gasMeter && measurementStore().site.standardFlow != 0;
  source_.facts.channel = std::max(0, m.selectedChannel);
  source_.echoflux = m.echofluxMode;
  source_.hasData = true;
  trend_->updateFromReadings(measurementStore());
  ++periodsDrawn_;
  graph_->newData();
  printButton_->setEnabled(true);
  pdfButton_->setEnabled(true);
}

void diag::captureEnded(const CaptureEndReport& report) {
  lastCapture_ = report;
  captureButton_->setText(QString::fromLatin1(kCaptureStartText));
  if (!report.message.empty()) status_->setText(qtText(report.message));
  if (report.opened) proposeFileName();
}

int diag::drawPanel(GraphCanvas& canvas) { return panel_.draw(*graph_, canvas, source_); }

void diag::printGraph() { graph_->print(this); }

void diag::exportGraph() {
  exportPdf(this, qtText(withTrailingSeparator(stdText(directory_->text()))),
            QStringLiteral("Diagnostic.pdf"),
            [this](QPrinter& printer) { return graph_->printTo(printer); });
}

void diag::reject() {
  // While querying, Exit stops the loop; the screen closes when it has ended.
  if (loop_->requestExit()) return;
  QDialog::reject();
}

hresdiag::hresdiag(AppState& app, QWidget* parent) : diag(app, ScreenLayout::Large, parent) {}

void openDiagnosticScreen(AppState& app, QWidget* parent, std::function<void()> reportOpener) {
  // Modal to the main window only, so the report generator it opens, a
  // window of its own, takes input while the screen queries.
  if (currentScreenLayout(parent) == ScreenLayout::Large) {
    hresdiag screen(app, parent);
    screen.setReportOpener(std::move(reportOpener));
    screen.setWindowModality(Qt::WindowModal);
    screen.exec();
  } else {
    diag screen(app, ScreenLayout::Small, parent);
    screen.setReportOpener(std::move(reportOpener));
    screen.setWindowModality(Qt::WindowModal);
    screen.exec();
  }
}

}  // namespace tarnlux::ui
