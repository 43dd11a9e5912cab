#include "line_pacing.h"

#include <algorithm>
#include <limits>

namespace tarnlux::meter {

LinePacer::LinePacer(const LineSettings& settings) {
  const int bits = 1 + settings.dataBits + (settings.parity == 'A' ? 0 : 1) + settings.stopBits;
  const unsigned baud = settings.baud == 0 ? 9600 : settings.baud;
  // Rounded up: a line never runs faster than its speed.
  charUs_ = (static_cast<std::int64_t>(bits) * 1'000'000 + baud - 1) / baud;
}

void LinePacer::arrive(std::string_view bytes, std::int64_t nowUs) {
  std::int64_t at = std::max(inboundFreeUs_, nowUs);
  for (char c : bytes) {
    at += charUs_;
    inbound_.emplace_back(at, c);
  }
  inboundFreeUs_ = at;
}

std::string LinePacer::takeArrived(std::int64_t nowUs) {
  std::string out;
  while (!inbound_.empty() && inbound_.front().first <= nowUs) {
    out += inbound_.front().second;
    inbound_.pop_front();
  }
  return out;
}

void LinePacer::outputQueued(std::int64_t nowUs) { outboundFreeUs_ = std::max(outboundFreeUs_, nowUs); }

std::size_t LinePacer::takeSendable(std::size_t queued, std::int64_t nowUs) {
  if (queued == 0 || nowUs < outboundFreeUs_ + charUs_) return 0;
  const auto crossed = static_cast<std::size_t>((nowUs - outboundFreeUs_) / charUs_);
  const std::size_t n = std::min(crossed, queued);
  outboundFreeUs_ += static_cast<std::int64_t>(n) * charUs_;
  return n;
}

std::int64_t LinePacer::nextDueUs(std::size_t queuedOut) const {
  std::int64_t due = std::numeric_limits<std::int64_t>::max();
  if (!inbound_.empty()) due = inbound_.front().first;
  if (queuedOut > 0) due = std::min(due, outboundFreeUs_ + charUs_);
  return due;
}

}  // namespace tarnlux::meter
