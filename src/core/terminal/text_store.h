#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarnlux {

// The terminal's received text: a ring of characters whose lines end with CR.
// When it is full the oldest line goes, so the newest text is always kept.
// A stored character's top bit marks it highlighted.
class TextStore {
 public:
  static constexpr std::size_t kCapacity = 32767;
  static constexpr std::uint8_t kLineEnd = '\r';
  static constexpr std::uint8_t kHighlight = 0x80;

  explicit TextStore(std::size_t capacity = kCapacity);

  std::size_t size() const { return size_; }
  std::size_t capacity() const { return ring_.size(); }
  // i counts from the oldest character kept.
  std::uint8_t at(std::size_t i) const { return ring_[(head_ + i) % ring_.size()]; }
  void set(std::size_t i, std::uint8_t c) { ring_[(head_ + i) % ring_.size()] = c; }
  void append(std::uint8_t c);
  void clear();

 private:
  void dropOldestLine();

  std::vector<std::uint8_t> ring_;
  std::size_t head_ = 0;
  std::size_t size_ = 0;
};

}  // namespace tarnlux
