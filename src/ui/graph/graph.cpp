#include "graph/graph.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>

#include "app/printer.h"
#include "app/qt_text.h"
#include "graph/graph_colours.h"

namespace tarnlux::ui {

namespace {

QColor qColour(RgbColour c) { return QColor(c.red, c.green, c.blue); }

constexpr int kPrinterPenWidth = 5;

}  // namespace

QFont GraphCanvas::courier(int points) const {
  QFont font(QStringLiteral("Courier New"));
  font.setStyleHint(QFont::TypeWriter);
  font.setWeight(QFont::Normal);
  // Character height of `points` on this device: points x dpi / 72, truncated.
  font.setPixelSize(std::max(1, points * dpiY / 72));
  return font;
}

QPen GraphCanvas::pen(const QColor& colour) const {
  QPen p(colour);
  p.setStyle(Qt::SolidLine);
  p.setWidth(penWidth);
  return p;
}

Graph::Graph(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  hBar_ = new QScrollBar(Qt::Horizontal, this);
  vBar_ = new QScrollBar(Qt::Vertical, this);
  hBar_->setObjectName(QStringLiteral("graphHorizontalBar"));
  vBar_->setObjectName(QStringLiteral("graphVerticalBar"));
  hBar_->hide();
  vBar_->hide();
  layoutFromWindow();
}

Graph::~Graph() = default;

QSize Graph::sizeHint() const { return {640, 400}; }

void Graph::setGraphType(int type) {
  if (type != modes_.graphType) keptAxis_.valid = false;
  modes_.graphType = type;
  extending_ = false;
  relayout_ = true;
}

void Graph::reset() {
  modes_.diagnostic = modes_.diagnosticLarge = false;
  modes_.summary = modes_.summaryLarge = false;
  modes_.storedEvents = modes_.storedEventsLarge = false;
  modes_.report = modes_.reportLarge = false;
  modes_.dataReady = false;
  modes_.paintEnabled = true;
}

void Graph::layoutFromWindow() {
  client_ = {0, 0, width(), height()};
  outer_ = client_;
  printingNow_ = false;
  printed_ = false;
  if (inScrolledMode()) {
    scroll_ = ScrollState{};
    hBar_->hide();
    vBar_->hide();
  }
}

void Graph::clear() {
  hBar_->hide();
  vBar_->hide();
  scroll_.horizontal = scroll_.vertical = false;
  if (hostScrollBar_) hostScrollBar_->hide();
  blank_ = true;
  update();
}

void Graph::newData() {
  modes_.dataReady = true;
  blank_ = false;
  relayout_ = true;
  extending_ = true;
  update();
}

void Graph::requestRelayout() {
  blank_ = false;
  relayout_ = true;
  extending_ = false;
  update();
}

void Graph::setDrawingGuard(bool on) {
  drawingGuard_ = on;
  if (!on) update();
}

void Graph::setTrendSource(const TrendStore* store, const TrendView* view) {
  store_ = store;
  view_ = view;
  keptAxis_.valid = false;
  relayout_ = true;
}

void Graph::setPageDrawer(GraphPage page, PageDrawer drawer) {
  drawers_[static_cast<std::size_t>(page)] = std::move(drawer);
}

void Graph::showScrollBars(bool horizontal, bool vertical) {
  scroll_.horizontal = horizontal;
  scroll_.vertical = vertical;
  placeScrollBars();
  update();
}

void Graph::placeScrollBars() {
  const int thickness = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  const int w = width();
  const int h = height();
  hBar_->setGeometry(0, h - thickness, w - (scroll_.vertical ? thickness : 0), thickness);
  vBar_->setGeometry(w - thickness, scroll_.headerHeight, thickness,
                     h - scroll_.headerHeight - (scroll_.horizontal ? thickness : 0));
  hBar_->setVisible(scroll_.horizontal);
  vBar_->setVisible(scroll_.vertical);
}

bool Graph::trendDrawable() const {
  return store_ != nullptr && store_->validCount() >= 2 && store_->activeMask() != 0 &&
         (view_ == nullptr || view_->quantityDrawable);
}

bool Graph::hasPicture() const {
  if (modes_.inReport() || modes_.inStoredEvents() || modes_.inSummary() || modes_.inDiagnostic()) {
    return true;
  }
  if (modes_.graphType == 1) return modes_.dataReady && modes_.paintEnabled;
  if (modes_.isTrend()) return trendDrawable();
  return false;
}

int Graph::drawPage(GraphPage page, GraphCanvas& canvas) {
  const PageDrawer& drawer = drawers_[static_cast<std::size_t>(page)];
  if (!drawer) return canvas.area.top;
  canvas.painter->save();
  const int bottom = drawer(canvas);
  canvas.painter->restore();
  return bottom;
}

void Graph::drawPicture(GraphCanvas& canvas) {
  if (modes_.inReport()) {
    drawPage(GraphPage::Report, canvas);
  } else if (modes_.inStoredEvents()) {
    cellColours_.clear();
    drawPage(GraphPage::StoredEvents, canvas);
  } else if (modes_.inSummary()) {
    drawPage(GraphPage::Summary, canvas);
  } else if (modes_.inDiagnostic()) {
    cellColours_.clear();
    const int panelBottom = drawPage(GraphPage::DiagnosticPanel, canvas);
    if (modes_.isTrend() && trendDrawable()) {
      GraphCanvas below = canvas;
      below.area.top = std::max(canvas.area.top, panelBottom);
      drawTrend(below);
    }
  } else if (modes_.graphType == 1) {
    if (modes_.paintEnabled && modes_.dataReady) drawPage(GraphPage::Signal, canvas);
  } else if (modes_.isTrend() && trendDrawable()) {
    drawTrend(canvas);
  }
}

void Graph::eraseBackground(QPainter& painter) {
  const QColor white = qColour(kGraphBackground);
  if (!inScrolledMode() || (!scroll_.horizontal && !scroll_.vertical)) {
    painter.fillRect(rect(), white);
    return;
  }
  // The bars paint themselves; the strip above the scrolled area belongs to the page.
  const int thickness = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  const int right = width() - (scroll_.vertical ? thickness : 0);
  const int bottom = height() - (scroll_.horizontal ? thickness : 0);
  painter.fillRect(QRect(0, 0, right, bottom), white);
  if (scroll_.vertical && scroll_.headerHeight > 0) {
    painter.fillRect(QRect(right, 0, thickness, scroll_.headerHeight), white);
  }
  if (scroll_.horizontal && scroll_.vertical) {
    painter.fillRect(QRect(right, bottom, thickness, thickness), palette().color(QPalette::Button));
  }
}

void Graph::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  eraseBackground(painter);
  const auto frame = [&] {
    painter.setPen(QPen(qColour(kGraphInk), 0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(0, 0, width() - 1, height() - 1);
  };
  // Qt has no "leave the window as it is": a suspended picture is an empty frame.
  if (printingNow_ || drawingGuard_ || blank_) {
    frame();
    return;
  }
  if (printed_ || layoutForPrinter_) {
    printed_ = false;
    relayout_ = true;
  }
  GraphCanvas canvas;
  canvas.painter = &painter;
  canvas.area = outer_;
  canvas.printing = false;
  canvas.penWidth = 0;
  canvas.dpiY = logicalDpiY();
  drawPicture(canvas);
  frame();
}

void Graph::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  layoutFromWindow();
  placeScrollBars();
  relayout_ = true;
  extending_ = false;
}

bool Graph::print(QWidget* dialogParent) {
  if (printingNow_ || !hasPicture()) return false;
  QPrinter& printer = sharedPrinter();
  const QPageLayout::Orientation usersOrientation = printer.pageLayout().orientation();
  printer.setPageOrientation(QPageLayout::Landscape);
  bool printed = false;
  {
    QPrintDialog dialog(&printer, dialogParent ? dialogParent : window());
    dialog.setObjectName(QStringLiteral("graphPrintDialog"));
    if (dialog.exec() == QDialog::Accepted) printed = printTo(printer);
  }
  // The landscape preset is for this picture only.
  printer.setPageOrientation(usersOrientation);
  return printed;
}

bool Graph::printTo(QPrinter& printer) {
  if (printingNow_ || !hasPicture()) return false;
  printer.setDocName(QString::fromLatin1(kPrintDocumentName));
  QPainter painter;
  if (!painter.begin(&printer)) return false;

  printingNow_ = true;
  GraphCanvas canvas;
  canvas.painter = &painter;
  canvas.area = {0, 0, printer.width(), printer.height()};
  // The signal trace keeps its proportions on the upper half of the page.
  if (modes_.graphType == 1 && !modes_.inDiagnostic() && !modes_.inSummary() &&
      !modes_.inStoredEvents() && !modes_.inReport()) {
    canvas.area.bottom = printer.height() / 2;
  }
  canvas.printing = true;
  canvas.penWidth = kPrinterPenWidth;
  canvas.dpiY = printer.logicalDpiY();
  canvas.visibleLimit = screenSamples_;
  extending_ = false;
  relayout_ = true;
  drawPicture(canvas);
  painter.end();

  printingNow_ = false;
  printed_ = true;
  relayout_ = true;
  update();
  return true;
}

bool Graph::tableCell(GraphCanvas& canvas, const TableGrid& grid, std::string& text, CellKind kind,
                      int row, int column, CellAlign align, std::optional<QColor> fill, bool fit,
                      bool replaceWhenTooLong) {
  const auto cell = tableCellRect(row, column, grid.columnRights, grid.rowHeight, grid.originX,
                                  grid.originY, grid.limitRight, grid.limitBottom);
  if (!cell) return false;
  QPainter& p = *canvas.painter;
  const QFontMetrics metrics(p.font(), p.device());
  const TextWidthMeasure measure = [&](std::string_view t) {
    return metrics.horizontalAdvance(qtText(t));
  };
  if (fit) {
    const int room = cellTextRoom(align, cell->right - cell->left, grid.charWidth);
    text = fitCellText(text, kind, room, measure, replaceWhenTooLong).text;
  }
  if (fill) {
    // Inside the grid lines, so they stay visible.
    p.fillRect(
        QRect(QPoint(cell->left + 1, cell->top + 1), QPoint(cell->right - 1, cell->bottom - 1)),
        *fill);
  }
  const QString shown = qtText(text);
  const int textWidth = metrics.horizontalAdvance(shown);
  // What still does not fit is cut at its end, so its beginning stays readable.
  const int x = textWidth > cell->right - cell->left
                    ? cell->left + 1
                    : cellTextLeft(align, *cell, textWidth, grid.charWidth);
  p.save();
  p.setBackgroundMode(Qt::TransparentMode);
  p.setClipRect(QRect(QPoint(cell->left, cell->top), QPoint(cell->right, cell->bottom)));
  p.drawText(QRect(x, cell->top, textWidth + 1, cell->bottom - cell->top),
             Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip, shown);
  p.restore();
  return true;
}

bool Graph::gradedCell(GraphCanvas& canvas, const TableGrid& grid, std::string& text, CellKind kind,
                       int row, int column, CellAlign align, GradeColour grade) {
  if ((modes_.inDiagnostic() || modes_.inStoredEvents()) && column >= 1 && column <= 4) {
    cellColours_.record(row, column, grade);
  }
  return tableCell(canvas, grid, text, kind, row, column, align, qColour(rgbOf(grade)));
}

}  // namespace tarnlux::ui
