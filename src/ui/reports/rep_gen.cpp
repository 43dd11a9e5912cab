#include "reports/rep_gen.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>
#include <chrono>
#include <new>

#include "app/manual.h"
#include "app/pdf_export.h"
#include "app/printer.h"
#include "app/qt_text.h"
#include "common/clock.h"
#include "common/paths.h"
#include "graph/graph.h"
#include "pages/report_painter.h"
#include "reports/report_trend.h"

namespace tarnlux::ui {

namespace {

// Windows' longest path, which the settings file's own path must stay under.
constexpr std::size_t kLongestIniPath = 260;

QPushButton* button(QWidget* parent, const char* name, const char* text) {
  auto* b = new QPushButton(QString::fromLatin1(text), parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setAutoDefault(false);
  return b;
}

}  // namespace

Rep_Gen::Rep_Gen(QWidget* parent, ScreenLayout layout, std::string iniPath)
    : QDialog(parent), iniPath_(iniPath.empty() ? quillmapIniPath() : std::move(iniPath)) {
  setObjectName(QStringLiteral("Rep_Gen"));
  setWindowTitle(QString::fromLatin1(kReportGeneratorTitle));
  setModal(false);
  buildControls(layout);

  graph_->reset();
  if (layout == ScreenLayout::Large) {
    graph_->modes().reportLarge = true;
  } else {
    graph_->modes().report = true;
  }
  graph_->setPageDrawer(GraphPage::Report, [this](GraphCanvas& canvas) { return drawPages(canvas); });
  connect(graph_->horizontalBar(), &QScrollBar::valueChanged, graph_, qOverload<>(&QWidget::update));
  connect(graph_->verticalBar(), &QScrollBar::valueChanged, graph_, qOverload<>(&QWidget::update));
  updateButtons();
  readLastReport();
}

Rep_Gen::~Rep_Gen() {
  cancel_ = 1;
  joinWorker();
}

void Rep_Gen::install(ReportGeneratorHost& host) {
  // A window of its own, not the main window's child: the diagnostic screen
  // that opens it through "Rapport" holds the main window modal, and a child
  // of the main window would be held with it. The host deletes it.
  host.setFactory([](ScreenLayout layout, QWidget*) -> QWidget* {
    if (layout == ScreenLayout::Large) return new Rep_Gen(nullptr);
    return new Lres_Rpt(nullptr);
  });
}

void Rep_Gen::buildControls(ScreenLayout layout) {
  const bool large = layout == ScreenLayout::Large;
  QFont controls = font();
  controls.setPointSize(large ? 10 : 8);
  setFont(controls);
  setWindowFlag(Qt::Window);
  resize(large ? QSize(1180, 760) : QSize(900, 600));

  graph_ = new Graph(this);
  graph_->setObjectName(QStringLiteral("graph"));
  graph_->setMinimumSize(large ? QSize(900, 520) : QSize(640, 380));

  auto* statusLabel = new QLabel(QStringLiteral("Etat:"), this);
  statusLabel->setObjectName(QStringLiteral("statusLabel"));
  status_ = new QLineEdit(this);
  status_->setObjectName(QStringLiteral("status"));
  status_->setReadOnly(true);
  statusLabel->setBuddy(status_);

  readButton_ = button(this, "readFile", "Lect fich");
  printButton_ = button(this, "print", "Imprimer");
  pdfButton_ = button(this, "exportPdf", kExportPdfText);
  auto* manual = button(this, "manual", "Afficher manuel");
  trendButton_ = button(this, "trend", "Tendance");
  reportButton_ = button(this, "report", "Rapport");
  auto* exit = button(this, "exit", "Quitter");
  connect(readButton_, &QPushButton::clicked, this, &Rep_Gen::chooseFile);
  connect(printButton_, &QPushButton::clicked, this, &Rep_Gen::printReport);
  connect(pdfButton_, &QPushButton::clicked, this, &Rep_Gen::exportReportPdf);
  connect(manual, &QPushButton::clicked, this, [this] { showManual(this); });
  connect(trendButton_, &QPushButton::clicked, this, &Rep_Gen::showTrend);
  connect(reportButton_, &QPushButton::clicked, this, &Rep_Gen::showReport);
  connect(exit, &QPushButton::clicked, this, &Rep_Gen::close);

  auto* row = new QHBoxLayout;
  row->setSpacing(large ? 8 : 4);
  row->addWidget(statusLabel);
  row->addWidget(status_, 1);
  for (QPushButton* b : {readButton_, printButton_, pdfButton_, manual, trendButton_, reportButton_, exit}) {
    row->addWidget(b);
  }
  const int margin = large ? 10 : 4;
  auto* all = new QVBoxLayout(this);
  all->setContentsMargins(margin, margin, margin, margin);
  all->addWidget(graph_, 1);
  all->addLayout(row);

  // Status line, Read File, Print, (PDF), View Manual, Trend, Report, Exit.
  QWidget* order[] = {status_, readButton_, printButton_, pdfButton_, manual, trendButton_, reportButton_, exit};
  for (std::size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
}

QString Rep_Gen::statusText() const { return status_->text(); }

void Rep_Gen::setStatus(const std::string& text) { status_->setText(qtText(text)); }

void Rep_Gen::updateButtons() {
  const bool hasPage = !pages_.empty();
  readButton_->setEnabled(!busy_);
  printButton_->setEnabled(!busy_ && hasPage);
  pdfButton_->setEnabled(!busy_ && hasPage);
  trendButton_->setEnabled(!busy_ && trendAllowed_);
  reportButton_->setEnabled(!busy_ && !currentFile_.empty());
}

void Rep_Gen::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  status_->setFocus();
}

void Rep_Gen::closeEvent(QCloseEvent* event) {
  cancel_ = 1;
  joinWorker();
  QDialog::closeEvent(event);
}

void Rep_Gen::readLastReport() {
  if (iniPath_.size() >= kLongestIniPath) {
    setStatus(kIniPathTooLongText);
    return;
  }
  const std::string path = lastReportPath(iniPath_);
  if (!path.empty()) readFile(path);
}

void Rep_Gen::readFile(const std::string& path) {
  if (trendMode_) {
    startJob({JobKind::Trend, path, true});
  } else {
    startJob({JobKind::Read, path, true});
  }
}

void Rep_Gen::chooseFile() {
  if (busy_) return;
  const QString start = currentFile_.empty() ? QString() : qtText(currentFile_);
  const QString chosen =
      QFileDialog::getOpenFileName(this, QStringLiteral("Lect fich"), start, QString::fromLatin1(kCaptureLogFilter));
  if (chosen.isEmpty()) return;
  readFile(QFile::encodeName(chosen).toStdString());
}

void Rep_Gen::showReport() {
  if (busy_ || currentFile_.empty()) return;
  trendMode_ = false;
  startJob({JobKind::Read, currentFile_, true});
}

void Rep_Gen::showTrend() {
  if (busy_ || currentFile_.empty()) return;
  trendMode_ = true;
  startJob({JobKind::Trend, currentFile_, false});
}

void Rep_Gen::startJob(Job job) {
  if (busy_) return;
  joinWorker();
  cancel_ = 0;
  {
    std::lock_guard<std::mutex> lock(doneMutex_);
    done_ = false;
  }
  busy_ = true;
  updateButtons();
  worker_ = std::thread([this, job] {
    JobResult result = runJob(job, cancel_);
    // Back on the GUI thread; dropped if the window has gone.
    QMetaObject::invokeMethod(
        this, [this, job, r = std::move(result)]() mutable { finishJob(job, std::move(r)); },
        Qt::QueuedConnection);
    {
      std::lock_guard<std::mutex> lock(doneMutex_);
      done_ = true;
    }
    doneChanged_.notify_all();
  });
}

Rep_Gen::JobResult Rep_Gen::runJob(const Job& job, const std::atomic<int>& cancel) {
  JobResult result;
  try {
    if (job.readFirst) {
      result.logs.emplace_back();
      result.code = readCaptureLog(job.file, result.logs.back(), result.message, &cancel);
      if (result.code != 0 || job.kind == JobKind::Read) return result;
    }
    result.code = runTrend(folderOf(job.file), systemClock().localNow(), result.logs,
                           result.trendLog, result.message, &cancel);
  } catch (const std::bad_alloc&) {
    result.logs.clear();
    result.code = -1;
    result.message = kTrendMemoryText;
  }
  return result;
}

void Rep_Gen::finishJob(const Job& job, JobResult result) {
  joinWorker();
  busy_ = false;
  if (result.code == -2) {
    updateButtons();
    emit workFinished();
    return;
  }
  if (result.code != 0) {
    // A failed read keeps the page on show.
    setStatus(result.message);
  } else {
    currentFile_ = job.file;
    trendAllowed_ = true;
    if (job.kind == JobKind::Read) {
      pages_ = {singleReportPage(result.logs.front())};
      trendLog_.clear();
      setStatus("");
    } else {
      pages_ = multiReportPages(result.logs);
      trendLog_ = result.trendLog;
      setStatus(result.trendLog);
    }
    graph_->horizontalBar()->setValue(0);
    graph_->verticalBar()->setValue(0);
    graph_->requestRelayout();
  }
  updateButtons();
  emit workFinished();
}

void Rep_Gen::joinWorker() {
  if (worker_.joinable()) worker_.join();
}

bool Rep_Gen::stopWorker(int timeoutMs) {
  cancel_ = 1;
  {
    std::unique_lock<std::mutex> lock(doneMutex_);
    if (!doneChanged_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return done_; })) {
      return false;
    }
  }
  joinWorker();
  return true;
}

int Rep_Gen::drawPages(GraphCanvas& canvas) {
  if (pages_.empty()) return canvas.area.top;
  QPainter& painter = *canvas.painter;
  const QRect area(canvas.area.left, canvas.area.top, canvas.area.right - canvas.area.left,
                   canvas.area.bottom - canvas.area.top);
  if (canvas.printing) {
    drawWholeReportPage(painter, pages_.front(), area, canvas.penWidth);
    return canvas.area.bottom;
  }
  // On the screen the pages lie one under the other; the bars scroll by
  // whole columns and rows.
  const ReportGrid grid = reportGrid(graph_);
  const int totalRows = kReportRows * static_cast<int>(pages_.size());
  const int thickness = graph_->horizontalBar()->sizeHint().height();
  bool horizontal = grid.width() > area.width();
  bool vertical = totalRows * grid.rowHeight > area.height();
  horizontal = grid.width() > area.width() - (vertical ? thickness : 0);
  vertical = totalRows * grid.rowHeight > area.height() - (horizontal ? thickness : 0);
  const QRect visible(area.left() + 1, area.top() + 1,
                      area.width() - 2 - (vertical ? thickness : 0),
                      area.height() - 2 - (horizontal ? thickness : 0));
  // Columns that fit when the scroll bar stands at its end.
  int visibleColumns = 0;
  while (visibleColumns < kReportColumns &&
         grid.width() - grid.columnLeft(kReportColumns - 1 - visibleColumns) <= visible.width()) {
    ++visibleColumns;
  }
  visibleColumns = std::max(1, visibleColumns);
  const int visibleRows = std::max(1, visible.height() / grid.rowHeight);
  QScrollBar* hBar = graph_->horizontalBar();
  QScrollBar* vBar = graph_->verticalBar();
  hBar->setRange(0, horizontal ? std::max(0, kReportColumns - visibleColumns) : 0);
  hBar->setPageStep(visibleColumns);
  vBar->setRange(0, vertical ? std::max(0, totalRows - visibleRows) : 0);
  vBar->setPageStep(visibleRows);
  if (graph_->scrollState().horizontal != horizontal || graph_->scrollState().vertical != vertical) {
    graph_->showScrollBars(horizontal, vertical);
  }
  const int firstColumn = horizontal ? hBar->value() : 0;
  const int firstRow = vertical ? vBar->value() : 0;
  for (std::size_t i = 0; i < pages_.size(); ++i) {
    const QPoint origin(visible.left(), visible.top() + static_cast<int>(i) * grid.height());
    drawReportPage(painter, pages_[i], grid, origin, firstColumn, firstRow, visible, 0);
  }
  return canvas.area.bottom;
}

void Rep_Gen::printReport() {
  if (busy_ || pages_.empty()) return;
  QPrinter& printer = sharedPrinter();
  const QPageLayout::Orientation usersOrientation = printer.pageLayout().orientation();
  printer.setPageOrientation(QPageLayout::Landscape);
  {
    QPrintDialog dialog(&printer, this);
    dialog.setObjectName(QStringLiteral("reportPrintDialog"));
    if (dialog.exec() == QDialog::Accepted) {
      printer.setDocName(QString::fromLatin1(kPrintDocumentName));
      drawReportPages(printer, pages_);
    }
  }
  // The landscape preset is for these pages only.
  printer.setPageOrientation(usersOrientation);
}

void Rep_Gen::exportReportPdf() {
  if (busy_ || pages_.empty()) return;
  const QFileInfo current(qtText(currentFile_));
  const QString name = trendMode_ && !trendLog_.empty()
                           ? QFileInfo(qtText(trendLog_)).completeBaseName() + QStringLiteral(".pdf")
                           : current.completeBaseName() + QStringLiteral(".pdf");
  exportPdf(this, current.absolutePath(), name,
            [this](QPrinter& printer) { return drawReportPages(printer, pages_); });
}

}  // namespace tarnlux::ui
