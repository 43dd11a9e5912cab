#include "transfer/xmodem_sender.h"

#include <algorithm>
#include <utility>

namespace tarnlux {

namespace {

constexpr std::string_view kCanCan = "\x18\x18";
constexpr std::string_view kFailLine = "Fail\r\n";
// Enough of a refusal's text to find its last line; the rest is noise.
constexpr std::size_t kHeardLimit = 4096;

}  // namespace

std::string xmodemBlock(std::uint8_t number, std::string_view data) {
  std::string block(kXmodemBlockSize, '\0');
  block[0] = kXmodemSoh;
  block[1] = static_cast<char>(number);
  block[2] = static_cast<char>(static_cast<std::uint8_t>(~number));
  const std::size_t length = std::min(data.size(), kXmodemDataSize);
  std::copy_n(data.begin(), length, block.begin() + 3);
  unsigned sum = 0;
  for (std::size_t i = 0; i < length; ++i) sum += static_cast<std::uint8_t>(data[i]);
  block[kXmodemBlockSize - 1] = static_cast<char>(sum & 0xFFu);
  return block;
}

XmodemSender::XmodemSender(std::uint64_t fileSize, Reader reader)
    : fileSize_(fileSize), reader_(std::move(reader)) {}

bool XmodemSender::readNext() {
  next_.assign(kXmodemDataSize, '\0');
  std::size_t filled = 0;
  while (filled < kXmodemDataSize) {
    std::size_t got = 0;
    const int rc = reader_(next_.data() + filled, kXmodemDataSize - filled, got);
    if (rc != 0) {
      readError_ = rc;
      return false;
    }
    if (got == 0) break;
    filled += got;
  }
  next_.resize(filled);
  return true;
}

void XmodemSender::start(std::int64_t nowMs, std::string& out) {
  if (outcome_ != Outcome::Running || blockIndex_ != 0 || phase_ != Phase::Block) return;
  if (!readNext()) {
    finish(Outcome::ReadFailed, &out);
    return;
  }
  advance(nowMs, out);
}

void XmodemSender::advance(std::int64_t nowMs, std::string& out) {
  // `next_` holds the data read while the previous block was in flight.
  attempts_ = 0;
  if (next_.empty()) {
    phase_ = Phase::Eot;
    current_.assign(1, kXmodemEot);
    currentData_ = 0;
    sendCurrent(nowMs, out);
    return;
  }
  ++blockIndex_;
  current_ = xmodemBlock(static_cast<std::uint8_t>(blockIndex_ & 0xFFu), next_);
  currentData_ = next_.size();
  sendCurrent(nowMs, out);
  if (!readNext()) finish(Outcome::ReadFailed, &out);
}

void XmodemSender::sendCurrent(std::int64_t nowMs, std::string& out) {
  ++attempts_;
  out += current_;
  deadline_ = nowMs + kXmodemReplyTimeoutMs;
  lastWasCan_ = false;
  heard_.clear();
}

void XmodemSender::retry(std::int64_t nowMs, std::string& out) {
  if (attempts_ >= kXmodemMaxAttempts) {
    finish(Outcome::TooManyAttempts, &out);
    return;
  }
  ++totalRetries_;
  sendCurrent(nowMs, out);
}

void XmodemSender::finish(Outcome outcome, std::string* out) {
  // Every way out but success and the meter's own refusal tells the meter to stop.
  if (out != nullptr && outcome != Outcome::Completed && outcome != Outcome::Refused)
    *out += kCanCan;
  outcome_ = outcome;
  phase_ = Phase::Done;
}

void XmodemSender::takeReason() {
  std::string text;
  for (char c : heard_)
    if (c != kXmodemCan) text += c;
  const std::size_t fail = text.find(kFailLine);
  std::string_view before(text.data(), fail == std::string::npos ? text.size() : fail);
  while (!before.empty() && (before.back() == '\r' || before.back() == '\n')) before.remove_suffix(1);
  const std::size_t lineStart = before.find_last_of("\r\n");
  if (lineStart != std::string_view::npos) before.remove_prefix(lineStart + 1);
  if (!before.empty() && before.size() < kXmodemReasonLimit) reason_ = std::string(before);
}

void XmodemSender::receive(std::string_view bytes, std::int64_t nowMs, std::string& out) {
  for (std::size_t i = 0; i < bytes.size() && phase_ != Phase::Done; ++i) {
    const char c = bytes[i];
    if (heard_.size() < kHeardLimit) heard_ += c;
    if (phase_ == Phase::AwaitFail) {
      if (heard_.find(kFailLine) != std::string::npos) {
        takeReason();
        finish(Outcome::Refused, nullptr);
      }
      continue;
    }
    if (c == kXmodemCan) {
      if (lastWasCan_) phase_ = Phase::AwaitFail;
      lastWasCan_ = true;
      continue;
    }
    lastWasCan_ = false;
    if (c == kXmodemAck) {
      if (phase_ == Phase::Eot) {
        finish(Outcome::Completed, nullptr);
        return;
      }
      ++acknowledged_;
      bytesSent_ += currentData_;
      advance(nowMs, out);
      // What else came with the ACK answered the block before: dropped.
      return;
    }
    if (c == kXmodemNak) {
      retry(nowMs, out);
      return;
    }
    // Line noise and the meter's chatter are not answers.
  }
}

void XmodemSender::advanceTime(std::int64_t nowMs, std::string& out) {
  if (phase_ == Phase::Done || nowMs < deadline_) return;
  if (phase_ == Phase::AwaitFail) {
    // CAN CAN alone is a refusal too; there is no reason to show.
    finish(Outcome::Refused, nullptr);
    return;
  }
  retry(nowMs, out);
}

void XmodemSender::cancel(std::string& out) {
  if (phase_ == Phase::Done) return;
  finish(Outcome::Cancelled, &out);
}

}  // namespace tarnlux
