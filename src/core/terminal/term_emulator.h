#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "terminal/text_store.h"

namespace tarnlux {

// The terminal window's character grid: columns and rows that fit.
struct TermGeometry {
  int columns = 80;
  int rows = 24;
};

// The window geometry for a cell of `cellWidth` x `cellHeight` pixels: columns
// = (width - half a cell) / cell width, rows = (height - 1) / cell height, at
// least one of each (and no more than the store can hold as one screen).
TermGeometry termGeometryFor(int windowWidth, int windowHeight, int cellWidth, int cellHeight);

// What the meter sends, interpreted: plain text is stored, a small set of
// ANSI/VT100 sequences moves the cursor, clears and highlights.
//
// Line mode (the start): text is appended at the end, CR starts a new line.
// The first clear (ESC "[" ... "J") starts screen mode: the screen is the last
// `rows` lines of the store, each `columns` wide; text overwrites the
// characters at the cursor, ESC "[" row ";" column "H" places the cursor, and
// CR goes to the next row (the screen scrolls up at the bottom, the top row
// going into the store's history).
//
// Only printable characters (32 to 126) and CR are kept: line feed,
// backspace, bell and the other controls are dropped. A sequence split between
// two reads is finished by the next one.
class TermEmulator {
 public:
  explicit TermEmulator(TermGeometry geometry = {}, std::size_t capacity = TextStore::kCapacity);

  void feed(std::string_view bytes);

  // A new window size. In screen mode the screen starts again, blank, at the
  // new size (the meter redraws on a form feed).
  void setGeometry(TermGeometry geometry);
  TermGeometry geometry() const { return geometry_; }

  // Set while the user's last key was an arrow key: only then do the meter's
  // up and down sequences move the cursor.
  void setCursorKeyMode(bool on) { cursorKeyMode_ = on; }
  bool cursorKeyMode() const { return cursorKeyMode_; }

  bool screenMode() const { return screenMode_; }
  bool highlight() const { return highlight_; }

  // The text as the window shows it: every stored line cut into pieces of at
  // most `columns` characters (top bit: highlighted). In line mode a last
  // line that fills its row is followed by an empty one for the cursor.
  std::vector<std::string> displayLines() const;
  // The cursor as an index into displayLines() and a column.
  int cursorLine() const;
  int cursorColumn() const;

  // The plain text of display line `i` (highlight bits cleared); for tests
  // and the command line.
  static std::string plain(std::string_view line);

  const TextStore& store() const { return store_; }

 private:
  enum class State { Text, Escape, Sequence };

  void putChar(std::uint8_t c);
  void carriageReturn();
  void nextRow();
  void finishSequence(char final);
  void startScreen();
  std::size_t screenStart() const;
  std::size_t cellIndex(int row, int column) const;
  std::size_t displayLineCount() const;
  template <typename Visit>
  void forEachLine(Visit visit) const;

  TextStore store_;
  TermGeometry geometry_;
  bool screenMode_ = false;
  bool cursorKeyMode_ = false;
  bool highlight_ = false;
  int row_ = 0;
  int column_ = 0;
  // A character written in the last column leaves the cursor there; the next
  // one starts the next row (so a full bottom row does not scroll at once).
  bool pendingWrap_ = false;
  bool geometryChanged_ = false;

  State state_ = State::Text;
  int params_[2] = {0, 0};
  int digits_[2] = {0, 0};
  int paramIndex_ = 0;
  bool anyParam_ = false;
};

}  // namespace tarnlux
