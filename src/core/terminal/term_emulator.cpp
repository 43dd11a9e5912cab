#include "terminal/term_emulator.h"

#include <algorithm>

namespace tarnlux {

namespace {

constexpr char kEsc = 0x1B;
constexpr int kMaxColumns = 250;

bool isFinal(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Display pieces of a stored line of `length` characters.
std::size_t piecesOf(std::size_t length, int columns, bool cursorLine) {
  const auto width = static_cast<std::size_t>(columns);
  if (cursorLine) return length / width + 1;
  return length == 0 ? 1 : (length + width - 1) / width;
}

}  // namespace

TermGeometry termGeometryFor(int windowWidth, int windowHeight, int cellWidth, int cellHeight) {
  TermGeometry g;
  g.columns = cellWidth > 0 ? (windowWidth - cellWidth / 2) / cellWidth : 1;
  g.rows = cellHeight > 0 ? (windowHeight - 1) / cellHeight : 1;
  g.columns = std::max(1, g.columns);
  g.rows = std::max(1, g.rows);
  return g;
}

TermEmulator::TermEmulator(TermGeometry geometry, std::size_t capacity) : store_(capacity) {
  setGeometry(geometry);
}

void TermEmulator::setGeometry(TermGeometry geometry) {
  // One screen may take at most half the store, so the screen never loses a
  // row to the ring and history is kept beside it.
  const auto half = static_cast<long long>(store_.capacity() / 2);
  geometry.columns = std::clamp(geometry.columns, 1, kMaxColumns);
  geometry.rows = std::max(1, geometry.rows);
  while (geometry.rows > 1 && static_cast<long long>(geometry.rows) * (geometry.columns + 1) > half) {
    --geometry.rows;
  }
  if (geometry.columns == geometry_.columns && geometry.rows == geometry_.rows) return;
  geometry_ = geometry;
  if (screenMode_) {
    geometryChanged_ = true;
    startScreen();
  }
}

void TermEmulator::feed(std::string_view bytes) {
  for (const char c : bytes) {
    switch (state_) {
      case State::Text:
        if (c == kEsc) {
          state_ = State::Escape;
        } else if (c == '\r') {
          carriageReturn();
        } else if (c >= 32 && c <= 126) {
          putChar(static_cast<std::uint8_t>(c));
        }
        break;
      case State::Escape:
        if (c == '[') {
          state_ = State::Sequence;
          params_[0] = params_[1] = 0;
          digits_[0] = digits_[1] = 0;
          paramIndex_ = 0;
          anyParam_ = false;
        } else {
          state_ = State::Text;
        }
        break;
      case State::Sequence:
        if (c >= '0' && c <= '9' && digits_[paramIndex_] < 2) {
          params_[paramIndex_] = params_[paramIndex_] * 10 + (c - '0');
          ++digits_[paramIndex_];
          anyParam_ = true;
        } else if (c == ';' && paramIndex_ == 0) {
          paramIndex_ = 1;
          anyParam_ = true;
        } else {
          // A final letter acts; anything else (a third digit, a third
          // parameter, a control) ends the sequence without effect.
          if (isFinal(c)) finishSequence(c);
          state_ = State::Text;
        }
        break;
    }
  }
}

void TermEmulator::putChar(std::uint8_t c) {
  if (highlight_) c |= TextStore::kHighlight;
  if (!screenMode_) {
    store_.append(c);
    return;
  }
  if (pendingWrap_) {
    pendingWrap_ = false;
    column_ = 0;
    nextRow();
  }
  store_.set(cellIndex(row_, column_), c);
  if (column_ + 1 < geometry_.columns) {
    ++column_;
  } else {
    pendingWrap_ = true;
  }
}

void TermEmulator::carriageReturn() {
  if (!screenMode_) {
    store_.append(TextStore::kLineEnd);
    return;
  }
  pendingWrap_ = false;
  column_ = 0;
  nextRow();
}

void TermEmulator::nextRow() {
  if (row_ + 1 < geometry_.rows) {
    ++row_;
    return;
  }
  // Scroll: the top row stays in the store as history.
  store_.append(TextStore::kLineEnd);
  for (int i = 0; i < geometry_.columns; ++i) store_.append(' ');
}

void TermEmulator::startScreen() {
  if (screenMode_ && !geometryChanged_) {
    // Already a screen at this size: blank it in place.
    for (std::size_t i = screenStart(); i < store_.size(); ++i) {
      if (store_.at(i) != TextStore::kLineEnd) store_.set(i, ' ');
    }
  } else {
    if (store_.size() > 0 && store_.at(store_.size() - 1) != TextStore::kLineEnd) {
      store_.append(TextStore::kLineEnd);
    }
    for (int r = 0; r < geometry_.rows; ++r) {
      if (r > 0) store_.append(TextStore::kLineEnd);
      for (int i = 0; i < geometry_.columns; ++i) store_.append(' ');
    }
  }
  screenMode_ = true;
  geometryChanged_ = false;
  row_ = 0;
  column_ = 0;
  pendingWrap_ = false;
}

void TermEmulator::finishSequence(char final) {
  const bool noParam = !anyParam_;
  switch (final) {
    case 'A':
      if (screenMode_ && cursorKeyMode_ && noParam && row_ > 0) --row_;
      break;
    case 'B':
      if (screenMode_ && cursorKeyMode_ && noParam && row_ + 1 < geometry_.rows) ++row_;
      break;
    case 'C':
      if (screenMode_ && (noParam || (paramIndex_ == 0 && params_[0] == 1)) &&
          column_ + 1 < geometry_.columns) {
        ++column_;
      }
      break;
    case 'D':
      if (screenMode_ && noParam && column_ > 0) --column_;
      break;
    case 'H':
      if (screenMode_) {
        row_ = std::clamp(std::max(params_[0], 1), 1, geometry_.rows) - 1;
        column_ = std::clamp(std::max(params_[1], 1), 1, geometry_.columns) - 1;
      }
      break;
    case 'J':
      startScreen();
      return;
    case 'K':
      if (screenMode_ && noParam) {
        for (int c = column_; c < geometry_.columns; ++c) store_.set(cellIndex(row_, c), ' ');
      }
      break;
    case 'm':
      highlight_ = params_[0] != 0 || params_[1] != 0;
      return;
    default:
      return;
  }
  pendingWrap_ = false;
}

std::size_t TermEmulator::screenStart() const {
  const auto region = static_cast<std::size_t>(geometry_.rows) *
                          static_cast<std::size_t>(geometry_.columns + 1) -
                      1;
  return store_.size() - region;
}

std::size_t TermEmulator::cellIndex(int row, int column) const {
  return screenStart() + static_cast<std::size_t>(row) * static_cast<std::size_t>(geometry_.columns + 1) +
         static_cast<std::size_t>(column);
}

template <typename Visit>
void TermEmulator::forEachLine(Visit visit) const {
  std::size_t start = 0;
  for (std::size_t i = 0; i < store_.size(); ++i) {
    if (store_.at(i) == TextStore::kLineEnd) {
      visit(start, i - start, false);
      start = i + 1;
    }
  }
  visit(start, store_.size() - start, true);
}

std::size_t TermEmulator::displayLineCount() const {
  std::size_t count = 0;
  forEachLine([&](std::size_t, std::size_t length, bool last) {
    count += piecesOf(length, geometry_.columns, last && !screenMode_);
  });
  return count;
}

std::vector<std::string> TermEmulator::displayLines() const {
  std::vector<std::string> lines;
  const auto width = static_cast<std::size_t>(geometry_.columns);
  forEachLine([&](std::size_t start, std::size_t length, bool last) {
    const std::size_t pieces = piecesOf(length, geometry_.columns, last && !screenMode_);
    for (std::size_t p = 0; p < pieces; ++p) {
      std::string piece;
      for (std::size_t i = p * width; i < std::min(length, (p + 1) * width); ++i) {
        piece.push_back(static_cast<char>(store_.at(start + i)));
      }
      lines.push_back(std::move(piece));
    }
  });
  return lines;
}

int TermEmulator::cursorLine() const {
  const auto count = static_cast<int>(displayLineCount());
  if (screenMode_) return count - geometry_.rows + row_;
  return count - 1;
}

int TermEmulator::cursorColumn() const {
  if (screenMode_) return column_;
  std::size_t lastLength = 0;
  forEachLine([&](std::size_t, std::size_t length, bool last) {
    if (last) lastLength = length;
  });
  return static_cast<int>(lastLength % static_cast<std::size_t>(geometry_.columns));
}

std::string TermEmulator::plain(std::string_view line) {
  std::string text(line);
  for (char& c : text) c = static_cast<char>(static_cast<unsigned char>(c) & 0x7F);
  return text;
}

}  // namespace tarnlux
