#include "terminal/term_scrn.h"

#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>

#include "terminal/key_table.h"

namespace tarnlux::ui {

namespace {

constexpr int kDefaultColumns = 80;
constexpr int kDefaultRows = 25;

}  // namespace

TermScrn::TermScrn(TermEmulator& emulator, QWidget* parent) : QWidget(parent), emulator_(emulator) {
  setObjectName(QStringLiteral("terminal"));
  QFont face(QStringLiteral("Courier New"), 10);
  face.setStyleHint(QFont::Monospace);
  face.setFixedPitch(true);
  setFont(face);
  const QFontMetrics metrics(face);
  cell_ = QSize(std::max(1, metrics.horizontalAdvance(QLatin1Char('0'))), std::max(1, metrics.height()));
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAutoFillBackground(false);
  scroll_ = new QScrollBar(Qt::Vertical, this);
  scroll_->setObjectName(QStringLiteral("terminalScroll"));
  scroll_->setFocusPolicy(Qt::NoFocus);
  connect(scroll_, &QScrollBar::valueChanged, this, [this] { update(); });
}

QSize TermScrn::sizeHint() const {
  return QSize(cell_.width() * kDefaultColumns + cell_.width() / 2 + scroll_->sizeHint().width(),
               cell_.height() * kDefaultRows + 1);
}

int TermScrn::firstVisible() const { return scroll_->value(); }

void TermScrn::updateScrollRange(bool followEnd) {
  const int lines = static_cast<int>(emulator_.displayLines().size());
  const int rows = emulator_.geometry().rows;
  const bool atEnd = scroll_->value() >= scroll_->maximum();
  scroll_->setRange(0, std::max(0, lines - rows));
  scroll_->setPageStep(rows);
  scroll_->setSingleStep(1);
  if (followEnd || atEnd) scroll_->setValue(scroll_->maximum());
}

void TermScrn::textChanged() {
  updateScrollRange(false);
  update();
}

bool TermScrn::caretVisible() const {
  const int row = emulator_.cursorLine() - firstVisible();
  return row >= 0 && row < emulator_.geometry().rows;
}

QStringList TermScrn::visibleRows() const {
  const std::vector<std::string> lines = emulator_.displayLines();
  QStringList rows;
  for (int r = 0; r < emulator_.geometry().rows; ++r) {
    const auto i = static_cast<std::size_t>(firstVisible() + r);
    rows << (i < lines.size() ? QString::fromLatin1(TermEmulator::plain(lines[i])) : QString());
  }
  return rows;
}

void TermScrn::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const int barWidth = scroll_->sizeHint().width();
  scroll_->setGeometry(width() - barWidth, 0, barWidth, height());
  emulator_.setGeometry(
      termGeometryFor(width() - barWidth, height(), cell_.width(), cell_.height()));
  updateScrollRange(true);
}

void TermScrn::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QColor background = palette().color(QPalette::Base);
  const QColor text = palette().color(QPalette::Text);
  p.fillRect(rect(), background);
  p.setFont(font());
  const QFontMetrics metrics(font());
  const std::vector<std::string> lines = emulator_.displayLines();
  const int rows = emulator_.geometry().rows;
  const int first = firstVisible();
  for (int r = 0; r < rows; ++r) {
    const auto i = static_cast<std::size_t>(first + r);
    if (i >= lines.size()) break;
    const std::string& line = lines[i];
    const int y = r * cell_.height();
    for (std::size_t c = 0; c < line.size(); ++c) {
      const auto code = static_cast<unsigned char>(line[c]);
      const bool high = (code & TextStore::kHighlight) != 0;
      const QRect box(static_cast<int>(c) * cell_.width(), y, cell_.width(), cell_.height());
      if (high) p.fillRect(box, text);
      const char ch = static_cast<char>(code & 0x7F);
      if (ch == ' ') continue;
      p.setPen(high ? background : text);
      p.drawText(box.x(), y + metrics.ascent(), QString(QLatin1Char(ch)));
    }
  }
  if (hasFocus() && caretVisible()) {
    const int row = emulator_.cursorLine() - first;
    const QRect caret(emulator_.cursorColumn() * cell_.width(), row * cell_.height() + cell_.height() - 3,
                      cell_.width(), 3);
    p.fillRect(caret, text);
  }
}

void TermScrn::keyPressEvent(QKeyEvent* event) {
  TermKey key = TermKey::Character;
  switch (event->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      QWidget::keyPressEvent(event);
      return;
    case Qt::Key_Left: key = TermKey::Left; break;
    case Qt::Key_Up: key = TermKey::Up; break;
    case Qt::Key_Right: key = TermKey::Right; break;
    case Qt::Key_Down: key = TermKey::Down; break;
    case Qt::Key_Delete: key = TermKey::Delete; break;
    case Qt::Key_F1: key = TermKey::F1; break;
    case Qt::Key_F2: key = TermKey::F2; break;
    case Qt::Key_F3: key = TermKey::F3; break;
    case Qt::Key_F4: key = TermKey::F4; break;
    default: break;
  }
  std::string bytes;
  if (key != TermKey::Character) {
    bytes = termKeyBytes(key);
  } else {
    // Only codes below 127 go; a letter outside ASCII sends nothing (not a
    // substitute character).
    for (const QChar c : event->text()) {
      if (c.unicode() < 127) bytes += termKeyBytes(TermKey::Character, static_cast<char>(c.unicode()));
    }
  }
  if (bytes.empty()) {
    QWidget::keyPressEvent(event);
    return;
  }
  event->accept();
  emit keyBytes(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())), isArrowKey(key));
}

void TermScrn::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    setFocus(Qt::MouseFocusReason);
    update();
  }
  QWidget::mouseReleaseEvent(event);
}

void TermScrn::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  update();
}

void TermScrn::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  update();
}

}  // namespace tarnlux::ui
