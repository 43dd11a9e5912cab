#pragma once

#include <QByteArray>
#include <QWidget>

#include "terminal/term_emulator.h"

class QScrollBar;

namespace tarnlux::ui {

// The terminal window: draws the interpreted text of the meter in
// "Courier New" 10 points, with a caret at the cursor and a scroll bar that
// pages through the stored lines. Keys typed in it come out as the bytes of
// the key table (keyBytes); Tab still moves the focus.
class TermScrn : public QWidget {
  Q_OBJECT

 public:
  explicit TermScrn(TermEmulator& emulator, QWidget* parent = nullptr);

  // Call after the emulator took text: the scroll bar follows the end when it
  // was at the end, and the window is drawn again.
  void textChanged();
  // Whether the caret is shown: the cursor lies in the visible rows.
  bool caretVisible() const;
  QScrollBar* scrollBar() const { return scroll_; }
  // The character cell, from the text "0".
  QSize cell() const { return cell_; }
  // The visible text rows from the top, plain (for tests and screenshots).
  QStringList visibleRows() const;

  QSize sizeHint() const override;

 signals:
  void keyBytes(const QByteArray& bytes, bool arrowKey);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  int firstVisible() const;
  void updateScrollRange(bool followEnd);

  TermEmulator& emulator_;
  QScrollBar* scroll_ = nullptr;
  QSize cell_;
};

}  // namespace tarnlux::ui
