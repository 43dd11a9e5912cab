#include "calc/aga8_disp.h"

#include <QApplication>
#include <QLayout>
#include <QPaintEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScrollBar>
#include <QStyle>
#include <QWheelEvent>
#include <algorithm>

#include "app/pdf_export.h"
#include "app/printer.h"
#include "app/qt_text.h"

namespace tarnlux::ui {

namespace {

QFont resultsFont(int dpiY, bool bold) {
  QFont font(QStringLiteral("Courier New"));
  // Where that face is missing the platform gives a monospace one.
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  font.setPixelSize(std::max(1, 10 * dpiY / 72));
  font.setWeight(bold ? QFont::Bold : QFont::Normal);
  return font;
}

struct Metrics {
  int charWidth;
  int rowHeight;
  int margin;
};

Metrics metricsFor(const QPaintDevice* device, int dpiY) {
  const QFontMetrics metrics(resultsFont(dpiY, false), const_cast<QPaintDevice*>(device));
  Metrics m;
  m.charWidth = std::max(1, metrics.horizontalAdvance(QLatin1Char('0')));
  m.rowHeight = metrics.lineSpacing() * 3 / 2;
  m.margin = m.charWidth;
  return m;
}

Qt::Alignment alignmentOf(ResultsAlign align) {
  switch (align) {
    case ResultsAlign::Right:
      return Qt::AlignRight | Qt::AlignVCenter;
    case ResultsAlign::Centre:
      return Qt::AlignHCenter | Qt::AlignVCenter;
    default:
      return Qt::AlignLeft | Qt::AlignVCenter;
  }
}

}  // namespace

AGA8Disp::AGA8Disp(CalcOwner owner, QWidget* parent) : QWidget(parent), owner_(owner) {
  setObjectName(QStringLiteral("AGA8Disp"));
  setAutoFillBackground(false);
  setMinimumSize(200, 120);
  vBar_ = new QScrollBar(Qt::Vertical, this);
  vBar_->setObjectName(QStringLiteral("resultsVerticalBar"));
  hBar_ = new QScrollBar(Qt::Horizontal, this);
  hBar_->setObjectName(QStringLiteral("resultsHorizontalBar"));
  vBar_->hide();
  hBar_->hide();
  connect(vBar_, &QScrollBar::valueChanged, this, [this] { update(); });
  connect(hBar_, &QScrollBar::valueChanged, this, [this] { update(); });
}

bool AGA8Disp::attach(QWidget* frame) {
  if (frame == nullptr || frame->parentWidget() == nullptr ||
      frame->parentWidget()->layout() == nullptr) {
    return false;
  }
  QLayout* layout = frame->parentWidget()->layout();
  QLayoutItem* replaced = layout->replaceWidget(frame, this);
  if (replaced == nullptr) return false;
  delete replaced;
  frame->hide();
  frame->deleteLater();
  return true;
}

void AGA8Disp::setValid(bool valid) {
  valid_ = valid;
  if (!valid_) {
    page_ = {};
    vBar_->hide();
    hBar_->hide();
    update();
    return;
  }
  refresh();
}

void AGA8Disp::refresh() {
  if (valid_ && source_) page_ = source_();
  placeScrollBars();
  update();
}

int AGA8Disp::heightForRows(int rows) const {
  const Metrics m = metricsFor(this, logicalDpiY());
  return 2 * m.margin + rows * m.rowHeight;
}

QSize AGA8Disp::pageSize(const ResultsPage& page, const QPaintDevice* device, int dpiY) {
  const Metrics m = metricsFor(device, dpiY);
  return {2 * m.margin + page.widthInChars() * m.charWidth,
          2 * m.margin + page.rowCount() * m.rowHeight};
}

void AGA8Disp::drawPage(QPainter& painter, const ResultsPage& page, QPoint origin, int dpiY) {
  const Metrics m = metricsFor(painter.device(), dpiY);
  const QFont regular = resultsFont(dpiY, false);
  const QFont bold = resultsFont(dpiY, true);
  painter.save();
  painter.setPen(QPen(Qt::black, std::max(1, dpiY / 96)));
  painter.setBrush(Qt::NoBrush);
  int y = origin.y() + m.margin;
  for (const ResultsGrid& grid : page.grids) {
    std::vector<int> left(grid.columnWidths.size() + 1, origin.x() + m.margin);
    for (std::size_t c = 0; c < grid.columnWidths.size(); ++c) {
      left[c + 1] = left[c] + grid.columnWidths[c] * m.charWidth;
    }
    for (const auto& row : grid.rows) {
      for (std::size_t c = 0; c < row.size() && c < grid.columnWidths.size(); ++c) {
        const ResultsCell& cell = row[c];
        if (cell.span <= 0) continue;
        const std::size_t end =
            std::min(grid.columnWidths.size(), c + static_cast<std::size_t>(cell.span));
        const QRect box(left[c], y, left[end] - left[c], m.rowHeight);
        painter.drawRect(box);
        if (cell.text.empty()) continue;
        painter.setFont(cell.bold ? bold : regular);
        const QRect inner = box.adjusted(m.charWidth / 2, 0, -m.charWidth / 2, 0);
        painter.drawText(inner, static_cast<int>(alignmentOf(cell.align)), qtText(cell.text));
      }
      y += m.rowHeight;
    }
    y += m.rowHeight;
  }
  painter.restore();
}

QRect AGA8Disp::viewport() const {
  QRect area = rect();
  if (vBar_->isVisibleTo(this)) area.setRight(vBar_->x() - 1);
  if (hBar_->isVisibleTo(this)) area.setBottom(hBar_->y() - 1);
  return area;
}

void AGA8Disp::placeScrollBars() {
  if (!valid_ || page_.grids.empty()) {
    vBar_->hide();
    hBar_->hide();
    return;
  }
  const QSize page = pageSize(page_, this, logicalDpiY());
  const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
  bool needV = page.height() > height();
  bool needH = page.width() > width() - (needV ? bar : 0);
  needV = page.height() > height() - (needH ? bar : 0);
  const int viewWidth = width() - (needV ? bar : 0);
  const int viewHeight = height() - (needH ? bar : 0);
  const Metrics m = metricsFor(this, logicalDpiY());

  vBar_->setGeometry(width() - bar, 0, bar, viewHeight);
  vBar_->setRange(0, std::max(0, page.height() - viewHeight));
  vBar_->setPageStep(std::max(1, viewHeight));
  vBar_->setSingleStep(m.rowHeight);
  vBar_->setVisible(needV);
  if (!needV) vBar_->setValue(0);

  hBar_->setGeometry(0, height() - bar, viewWidth, bar);
  hBar_->setRange(0, std::max(0, page.width() - viewWidth));
  hBar_->setPageStep(std::max(1, viewWidth));
  hBar_->setSingleStep(m.charWidth);
  hBar_->setVisible(needH);
  if (!needH) hBar_->setValue(0);
}

void AGA8Disp::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QRect area = viewport();
  painter.fillRect(event->rect(), palette().window());
  painter.fillRect(area, Qt::white);
  painter.setPen(palette().color(QPalette::Mid));
  painter.drawRect(area.adjusted(0, 0, -1, -1));
  if (!valid_) return;
  painter.setClipRect(area.adjusted(1, 1, -1, -1));
  const QPoint origin(area.left() - (hBar_->isVisibleTo(this) ? hBar_->value() : 0),
                      area.top() - (vBar_->isVisibleTo(this) ? vBar_->value() : 0));
  drawPage(painter, page_, origin, logicalDpiY());
}

void AGA8Disp::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  placeScrollBars();
}

void AGA8Disp::wheelEvent(QWheelEvent* event) {
  QScrollBar* bar = vBar_->isVisibleTo(this) ? vBar_ : hBar_->isVisibleTo(this) ? hBar_ : nullptr;
  if (bar == nullptr) {
    QWidget::wheelEvent(event);
    return;
  }
  QApplication::sendEvent(bar, event);
}

bool AGA8Disp::print(QWidget* dialogParent, const QString& documentName) {
  if (!valid_) return false;
  QPrinter& printer = sharedPrinter();
  QPrintDialog dialog(&printer, dialogParent != nullptr ? dialogParent : window());
  dialog.setObjectName(QStringLiteral("resultsPrintDialog"));
  if (dialog.exec() != QDialog::Accepted) return false;
  return printTo(printer, documentName);
}

bool AGA8Disp::printTo(QPrinter& printer, const QString& documentName) {
  if (!valid_ || !source_) return false;
  const ResultsPage page = source_();
  printer.setDocName(documentName);
  QPainter painter;
  if (!painter.begin(&printer)) return false;
  const int dpi = printer.logicalDpiY();
  const QSize size = pageSize(page, &printer, dpi);
  // A page wider than the paper (the AGA8 tables) is drawn smaller rather than cut.
  const double scale =
      std::min({1.0, static_cast<double>(printer.width()) / std::max(1, size.width()),
                static_cast<double>(printer.height()) / std::max(1, size.height())});
  painter.scale(scale, scale);
  drawPage(painter, page, QPoint(0, 0), dpi);
  painter.end();
  // The window's own page and scroll state stay as they were.
  refresh();
  return true;
}

bool AGA8Disp::exportPdfFile(QWidget* owner, const QString& directory,
                             const QString& documentName) {
  if (!valid_ || !source_) return false;
  return !exportPdf(owner, directory, documentName + QStringLiteral(".pdf"),
                    [this, documentName](QPrinter& printer) {
                      return printTo(printer, documentName);
                    })
              .isEmpty();
}

}  // namespace tarnlux::ui
