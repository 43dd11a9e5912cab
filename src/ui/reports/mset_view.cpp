#include "reports/mset_view.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "app/app_state.h"
#include "app/error_box.h"
#include "app/manual.h"
#include "app/pdf_export.h"
#include "app/printer.h"
#include "app/qt_text.h"
#include "app/screen_context.h"
#include "app/screen_layout.h"
#include "common/result.h"
#include "graph/graph.h"

namespace tarnlux::ui {

namespace {

constexpr int kPagePoints = 10;
constexpr int kColumnGap = 2;  // characters between two columns
constexpr const char* kSettingsDocumentName = "Parametres compteur";

QFont pageFont(int dpiY, bool bold) {
  GraphCanvas canvas;
  canvas.dpiY = dpiY;
  QFont font = canvas.courier(kPagePoints);
  font.setFixedPitch(true);
  if (bold) font.setWeight(QFont::Bold);
  return font;
}

struct PageMetrics {
  int charWidth = 8;
  int rowHeight = 16;
  int margin = 8;
};

PageMetrics metricsFor(QPaintDevice* device, int dpiY) {
  const QFontMetrics metrics(pageFont(dpiY, false), device);
  PageMetrics m;
  m.charWidth = std::max(1, metrics.horizontalAdvance(QLatin1Char('0')));
  m.rowHeight = std::max(1, metrics.lineSpacing());
  m.margin = m.charWidth;
  return m;
}

bool isNumberCell(std::string_view cell) {
  if (cell.empty()) return false;
  bool digit = false;
  for (char c : cell) {
    if (c >= '0' && c <= '9') {
      digit = true;
    } else if (c != '.' && c != '-' && c != '%') {
      return false;
    }
  }
  return digit;
}

}  // namespace

SettingsPageColumns settingsPageColumns(const SettingsPage& page) {
  SettingsPageColumns out;
  out.tableOfLine.assign(page.size(), -1);
  bool inTable = false;
  for (std::size_t i = 0; i < page.size(); ++i) {
    const std::vector<std::string_view> cells = pageCells(page.lines[i]);
    if (cells.size() < 2) {
      inTable = false;
      out.widthInChars = std::max(out.widthInChars, static_cast<int>(page.lines[i].size()));
      continue;
    }
    if (!inTable) out.tables.emplace_back();
    inTable = true;
    out.tableOfLine[i] = static_cast<int>(out.tables.size()) - 1;
    std::vector<int>& widths = out.tables.back();
    // A number in the last cell is part of its column; a text there runs on.
    const std::size_t counted = isNumberCell(cells.back()) ? cells.size() : cells.size() - 1;
    if (widths.size() < counted) widths.resize(counted, 0);
    for (std::size_t c = 0; c < counted; ++c) {
      widths[c] = std::max(widths[c], static_cast<int>(cells[c].size()));
    }
  }
  // Lines as drawn: the columns before the last cell, then it.
  for (std::size_t i = 0; i < page.size(); ++i) {
    if (out.tableOfLine[i] < 0) continue;
    const std::vector<int>& widths = out.tables[static_cast<std::size_t>(out.tableOfLine[i])];
    const std::vector<std::string_view> cells = pageCells(page.lines[i]);
    int x = 0;
    for (std::size_t c = 0; c + 1 < cells.size(); ++c) x += widths[c] + kColumnGap;
    out.widthInChars = std::max(out.widthInChars, x + static_cast<int>(cells.back().size()));
  }
  return out;
}

int drawSettingsPage(QPainter& painter, const SettingsPage& page,
                     const SettingsPageColumns& columns, const QRect& area, int firstLine,
                     int firstChar, int dpiY) {
  const PageMetrics m = metricsFor(painter.device(), dpiY);
  const QFont regular = pageFont(dpiY, false);
  const QFont bold = pageFont(dpiY, true);
  const int rows = std::max(1, (area.height() - 2 * m.margin) / m.rowHeight);
  const int left = area.left() + m.margin - firstChar * m.charWidth;
  painter.save();
  painter.setClipRect(area);
  painter.setPen(Qt::black);
  int drawn = 0;
  for (int row = 0; row < rows; ++row) {
    const int index = firstLine + row;
    if (index < 0 || index >= static_cast<int>(page.lines.size())) break;
    ++drawn;
    const std::string& line = page.lines[static_cast<std::size_t>(index)];
    const int top = area.top() + m.margin + row * m.rowHeight;
    const std::vector<std::string_view> cells = pageCells(line);
    if (cells.size() == 1) {
      // Titles and the rules between sections run across the columns.
      const bool rule = !line.empty() && line.find_first_not_of("_-") == std::string::npos;
      painter.setFont(rule || line.empty() ? regular : bold);
      painter.drawText(QRect(left, top, static_cast<int>(line.size() + 1) * m.charWidth, m.rowHeight),
                       Qt::AlignLeft | Qt::AlignVCenter, qtText(line));
      continue;
    }
    painter.setFont(regular);
    const int table = columns.tableOfLine[static_cast<std::size_t>(index)];
    const std::vector<int>& widths = columns.tables[static_cast<std::size_t>(table)];
    int x = left;
    for (std::size_t c = 0; c < cells.size(); ++c) {
      const bool last = c + 1 == cells.size();
      // The last cell keeps its table's column when it has one, so numbers line up.
      const int column = c < widths.size() ? widths[c] : 0;
      const int width = last ? std::max(column, static_cast<int>(cells[c].size())) : column;
      const QRect box(x, top, width * m.charWidth, m.rowHeight);
      const Qt::Alignment align = isNumberCell(cells[c]) ? Qt::AlignRight : Qt::AlignLeft;
      painter.drawText(box, static_cast<int>(align | Qt::AlignVCenter), qtText(cells[c]));
      x += (width + kColumnGap) * m.charWidth;
    }
  }
  painter.restore();
  return drawn;
}

bool printSettingsPage(QPrinter& printer, const SettingsPage& page) {
  if (page.empty()) return false;
  printer.setDocName(QString::fromLatin1(kSettingsDocumentName));
  QPainter painter;
  if (!painter.begin(&printer)) return false;
  const int dpi = printer.logicalDpiY();
  const PageMetrics m = metricsFor(&printer, dpi);
  const SettingsPageColumns columns = settingsPageColumns(page);
  const int widthPixels = columns.widthInChars * m.charWidth + 2 * m.margin;
  // A page wider than the paper is drawn smaller rather than cut.
  const double scale = std::min(1.0, static_cast<double>(printer.width()) / std::max(1, widthPixels));
  painter.scale(scale, scale);
  const QRect sheet(0, 0, static_cast<int>(printer.width() / scale),
                    static_cast<int>(printer.height() / scale));
  int line = 0;
  while (line < static_cast<int>(page.size())) {
    if (line > 0 && !printer.newPage()) break;
    const int drawn = drawSettingsPage(painter, page, columns, sheet, line, 0, dpi);
    line += std::max(1, drawn);
  }
  painter.end();
  return true;
}

MSetView::MSetView(AppState& app, ScreenLayout layout, QWidget* parent)
    : QDialog(parent), app_(app) {
  setObjectName(layout == ScreenLayout::Large ? QStringLiteral("MSetView")
                                              : QStringLiteral("LresView"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setWindowFlag(Qt::WindowMaximizeButtonHint, true);
  setWindowTitle(QString::fromLatin1(kSettingsViewTitle));
  buildControls(layout);
  progress_ = progressLineFor(status_);

  graph_->reset();
  // The page is a scrolled page of the graph, drawn by this screen.
  graph_->modes().report = true;
  graph_->setPageDrawer(GraphPage::Report,
                        [this](GraphCanvas& canvas) { return drawOnScreen(canvas); });
  graph_->installEventFilter(this);
  connect(graph_->verticalBar(), &QScrollBar::valueChanged, graph_,
          [this] { graph_->update(); });
  connect(graph_->horizontalBar(), &QScrollBar::valueChanged, graph_,
          [this] { graph_->update(); });

  QMetaObject::invokeMethod(this, &MSetView::buildPage, Qt::QueuedConnection);
}

MSetView::~MSetView() {
  if (graph_ != nullptr) graph_->removeEventFilter(this);
}

void MSetView::buildControls(ScreenLayout layout) {
  const bool large = layout == ScreenLayout::Large;
  QFont controls = font();
  controls.setPointSize(large ? 10 : 8);
  setFont(controls);

  graph_ = new Graph(this);
  graph_->setObjectName(QStringLiteral("graph"));
  // The dialog's size in the two layouts, in pixels of a 96 dpi screen.
  graph_->setMinimumSize(large ? QSize(960, 580) : QSize(740, 430));

  const auto button = [this](const char* name, const char* text) {
    auto* b = new QPushButton(QString::fromLatin1(text), this);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
  };
  printButton_ = button("print", "Imprimer");
  pdfButton_ = button("exportPdf", kExportPdfText);
  auto* manual = button("manual", "Afficher manuel");
  auto* exit = button("exit", "Quitter");
  printButton_->setEnabled(false);
  pdfButton_->setEnabled(false);
  connect(printButton_, &QPushButton::clicked, this, &MSetView::printPage);
  connect(pdfButton_, &QPushButton::clicked, this, &MSetView::exportPagePdf);
  connect(manual, &QPushButton::clicked, this, [this] { showManual(this); });
  connect(exit, &QPushButton::clicked, this, &MSetView::reject);

  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("status"));
  status_->setFrameShape(QFrame::StyledPanel);
  status_->setFrameShadow(QFrame::Sunken);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(status_, 1);
  buttons->addSpacing(large ? 16 : 8);
  buttons->addWidget(printButton_);
  buttons->addWidget(pdfButton_);
  buttons->addWidget(manual);
  buttons->addWidget(exit);

  const int margin = large ? 10 : 4;
  auto* all = new QVBoxLayout(this);
  all->setContentsMargins(margin, margin, margin, margin);
  all->setSpacing(large ? 8 : 4);
  all->addWidget(graph_, 1);
  all->addLayout(buttons);
}

void MSetView::buildPage() {
  if (!app_.connected) {
    ErrorBox(kSettingsNotConnectedText, -1, this);
    return;
  }
  guard_.start([this] { readPage(); });
  if (exitRequested_) done(QDialog::Rejected);
}

void MSetView::readPage() {
  exitRequested_ = false;
  printButton_->setEnabled(false);
  pdfButton_->setEnabled(false);
  OperationContext ctx = screenContext(this, &guard_.cancelFlag, &progress_);
  if (clock_ != nullptr) ctx.clock = clock_;
  const int rc =
      readSettingsPage(app_.link, app_.meter, app_.block, app_.connectOutcome, page_, ctx);
  status_->clear();
  columns_ = settingsPageColumns(page_);
  graph_->verticalBar()->setValue(0);
  graph_->horizontalBar()->setValue(0);
  placeScrollBars();
  const bool shown = rc == kOk && !page_.empty();
  printButton_->setEnabled(shown);
  pdfButton_->setEnabled(shown);
}

void MSetView::placeScrollBars() {
  if (page_.empty()) {
    graph_->showScrollBars(false, false);
    return;
  }
  const PageMetrics m = metricsFor(graph_, graph_->logicalDpiY());
  const int bar = graph_->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  const int lines = static_cast<int>(page_.size());
  const int chars = columns_.widthInChars;
  const auto fitLines = [&](int height) { return std::max(1, (height - 2 * m.margin) / m.rowHeight); };
  const auto fitChars = [&](int width) { return std::max(1, (width - 2 * m.margin) / m.charWidth); };
  bool vertical = lines > fitLines(graph_->height());
  bool horizontal = chars > fitChars(graph_->width() - (vertical ? bar : 0));
  vertical = lines > fitLines(graph_->height() - (horizontal ? bar : 0));
  const int visibleLines = fitLines(graph_->height() - (horizontal ? bar : 0));
  const int visibleChars = fitChars(graph_->width() - (vertical ? bar : 0));

  QScrollBar* v = graph_->verticalBar();
  v->setRange(0, vertical ? lines - visibleLines : 0);
  v->setSingleStep(1);
  v->setPageStep(visibleLines);
  QScrollBar* h = graph_->horizontalBar();
  h->setRange(0, horizontal ? chars - visibleChars : 0);
  h->setSingleStep(1);
  h->setPageStep(visibleChars);
  graph_->showScrollBars(horizontal, vertical);
}

int MSetView::drawOnScreen(GraphCanvas& canvas) {
  if (page_.empty()) return canvas.area.top;
  const int bar = graph_->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  QRect area(QPoint(canvas.area.left, canvas.area.top),
             QPoint(canvas.area.right - 1, canvas.area.bottom - 1));
  if (graph_->verticalBar()->isVisibleTo(graph_)) area.setRight(area.right() - bar);
  if (graph_->horizontalBar()->isVisibleTo(graph_)) area.setBottom(area.bottom() - bar);
  const int first = graph_->verticalBar()->isVisibleTo(graph_) ? graph_->verticalBar()->value() : 0;
  const int firstChar =
      graph_->horizontalBar()->isVisibleTo(graph_) ? graph_->horizontalBar()->value() : 0;
  const int drawn =
      drawSettingsPage(*canvas.painter, page_, columns_, area, first, firstChar, canvas.dpiY);
  return area.top() + drawn;
}

bool MSetView::eventFilter(QObject* watched, QEvent* event) {
  // The graph forgets its scroll bars when resized: place them again after it.
  if (watched == graph_ && event->type() == QEvent::Resize) {
    QMetaObject::invokeMethod(this, &MSetView::placeScrollBars, Qt::QueuedConnection);
  }
  return QDialog::eventFilter(watched, event);
}

void MSetView::printPage() {
  if (page_.empty() || guard_.running()) return;
  QPrinter& printer = sharedPrinter();
  QPrintDialog dialog(&printer, this);
  dialog.setObjectName(QStringLiteral("settingsPrintDialog"));
  if (dialog.exec() != QDialog::Accepted) return;
  printSettingsPage(printer, page_);
}

void MSetView::exportPagePdf() {
  if (page_.empty() || guard_.running()) return;
  const SettingsPage page = page_;
  exportPdf(this, QString::fromStdString(app_.programDirectory),
            QStringLiteral("Parametres compteur.pdf"),
            [page](QPrinter& printer) { return printSettingsPage(printer, page); });
}

void MSetView::reject() {
  // While the page is being read, Exit cancels and the screen closes after.
  if (guard_.running()) {
    exitRequested_ = true;
    guard_.requestCancel();
    return;
  }
  QDialog::reject();
}

LresView::LresView(AppState& app, QWidget* parent) : MSetView(app, ScreenLayout::Small, parent) {}

void openSettingsView(AppState& app, QWidget* parent) {
  if (currentScreenLayout(parent) == ScreenLayout::Large) {
    MSetView screen(app, ScreenLayout::Large, parent);
    screen.exec();
  } else {
    LresView screen(app, parent);
    screen.exec();
  }
}

}  // namespace tarnlux::ui
