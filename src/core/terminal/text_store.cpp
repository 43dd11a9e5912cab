#include "terminal/text_store.h"

#include <algorithm>

namespace tarnlux {

TextStore::TextStore(std::size_t capacity) : ring_(capacity == 0 ? 1 : capacity) {}

void TextStore::append(std::uint8_t c) {
  if (size_ == ring_.size()) dropOldestLine();
  ring_[(head_ + size_) % ring_.size()] = c;
  ++size_;
}

void TextStore::clear() {
  head_ = 0;
  size_ = 0;
}

void TextStore::dropOldestLine() {
  // Up to and including the first line end; a ring holding one endless line
  // gives up its oldest kilobyte, so a flood without line ends costs little.
  std::size_t n = 0;
  while (n < size_ && at(n) != kLineEnd) ++n;
  n = n < size_ ? n + 1 : std::min<std::size_t>(size_, 1024);
  head_ = (head_ + n) % ring_.size();
  size_ -= n;
}

}  // namespace tarnlux
