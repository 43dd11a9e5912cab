#include "session.h"

#include <algorithm>
#include <cstdio>

#include "meter.h"

namespace tarnlux::meter {

Session::Session(Meter& meter, const FaultSet& faults, std::uint32_t seed)
    : meter_(meter), faults_(faults), interpreter_(meter, faults.menu), boot_(faults.boot), random_(seed) {}

void Session::start(std::int64_t nowMs) {
  queue_.clear();
  lastDue_ = nowMs;
  active_ = true;
  boot_.reset();
  nextStream_ = faults_.continuous && !faults_.silent ? nowMs : kNever;
}

void Session::stop() {
  queue_.clear();
  active_ = false;
  nextStream_ = kNever;
}

void Session::push(std::int64_t due, std::string bytes, bool answer, bool answerEnd) {
  // Output leaves in the order it was made, whatever its planned time.
  due = std::max(due, lastDue_);
  lastDue_ = due;
  queue_.push_back(Chunk{due, std::move(bytes), answer, answerEnd});
}

std::string Session::noise(std::size_t count) {
  // Bytes that cannot be taken for an end marker, a bar, a digit or a
  // flow-control character.
  static constexpr unsigned char kControl[] = {0x01, 0x02, 0x05, 0x06, 0x07, 0x0E, 0x0F, 0x10};
  std::uniform_int_distribution<int> pick(0, 127 + static_cast<int>(sizeof kControl));
  std::string out;
  for (std::size_t i = 0; i < count; ++i) {
    const int n = pick(random_);
    out += static_cast<char>(n < 128 ? 0x80 + n : kControl[n - 128]);
  }
  return out;
}

void Session::scheduleAnswer(std::string text, std::int64_t nowMs) {
  std::int64_t due = nowMs + faults_.delayMs;
  if (faults_.garbage == FaultSet::Garbage::Into) {
    std::string mixed;
    for (std::size_t i = 0; i < text.size(); ++i) {
      mixed += text[i];
      if (i % 8 == 1) mixed += noise(1);
    }
    text = std::move(mixed);
  }
  if (faults_.garbage != FaultSet::Garbage::None) {
    push(due, noise(std::uniform_int_distribution<std::size_t>(1, 16)(random_)), true, false);
  }
  if (!faults_.split) {
    push(due, std::move(text), true, true);
    return;
  }
  std::uniform_int_distribution<std::size_t> piece(1, 16);
  std::uniform_int_distribution<int> gap(1, 10);
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t n = std::min(piece(random_), text.size() - pos);
    push(due, text.substr(pos, n), true, pos + n == text.size());
    pos += n;
    due = std::max(due, lastDue_) + gap(random_);
  }
}

void Session::receive(std::string_view bytes, std::int64_t nowMs) {
  if (!active_) start(nowMs);
  if (boot_.active()) {
    std::string reply;
    boot_.receive(bytes, nowMs, reply);
    if (!reply.empty() && !faults_.silent) push(nowMs, std::move(reply), false, false);
    return;
  }
  std::vector<Output> outputs;
  interpreter_.feed(bytes, outputs);
  if (faults_.silent) return;
  for (Output& o : outputs) {
    switch (o.kind) {
      case Output::Kind::Echo:
      case Output::Kind::Screen:
        push(nowMs, std::move(o.bytes), false, false);
        break;
      case Output::Kind::Answer:
        scheduleAnswer(std::move(o.bytes), nowMs);
        break;
      case Output::Kind::Cancel: {
        std::erase_if(queue_, [](const Chunk& c) { return c.answer; });
        lastDue_ = queue_.empty() ? nowMs : queue_.back().due;
        break;
      }
      case Output::Kind::Boot: {
        std::string reply;
        boot_.command(nowMs, reply);
        push(nowMs, std::move(reply), false, false);
        break;
      }
    }
  }
  // The line goes down once what is queued has left.
  if (meter_.takeDropRequest()) dropRequested_ = true;
}

std::string Session::streamLine() {
  const double flow = meter_.sample(meter_.cv(), "vfv", 0, 0.0);
  char line[96];
  std::snprintf(line, sizeof line, "DATA %06u  VEL %10.4f  TOT %12.1f\r\n",
                ++streamCount_ % 1000000, flow, meter_.cv().number("mtotal", 0, 0.0));
  return line;
}

void Session::takeDue(std::int64_t nowMs, std::string& out) {
  if (boot_.nextDueMs() <= nowMs) {
    std::string reply;
    boot_.advanceTime(nowMs, reply);
    if (!reply.empty() && !faults_.silent) push(nowMs, std::move(reply), false, false);
  }
  while (nextStream_ <= nowMs) {
    // Stream lines do not wait for a delayed answer: they go in by time,
    // between the pieces of an answer if need be.
    Chunk line{nextStream_, streamLine(), false, false};
    const auto at = std::upper_bound(queue_.begin(), queue_.end(), line.due,
                                     [](std::int64_t due, const Chunk& c) { return due < c.due; });
    queue_.insert(at, std::move(line));
    nextStream_ += kStreamPeriodMs;
    // A stalled loop catches up with one line, not a burst.
    if (nextStream_ < nowMs) nextStream_ = nowMs + kStreamPeriodMs;
  }
  while (!queue_.empty() && queue_.front().due <= nowMs) {
    Chunk& c = queue_.front();
    out += c.bytes;
    if (c.answerEnd && faults_.dropAfter > 0 && !dropped_ && ++answers_ >= faults_.dropAfter) {
      dropped_ = true;
      dropRequested_ = true;
    }
    queue_.pop_front();
  }
}

std::int64_t Session::nextDueMs() const {
  const std::int64_t queued = queue_.empty() ? kNever : queue_.front().due;
  return std::min({queued, nextStream_, boot_.nextDueMs()});
}

}  // namespace tarnlux::meter
