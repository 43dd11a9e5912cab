#include "boot_loader.h"

#include "number_text.h"

namespace tarnlux::meter {

namespace {

constexpr char kSoh = 0x01;
constexpr char kEot = 0x04;
constexpr char kAck = 0x06;
constexpr char kNak = 0x15;
constexpr char kCan = 0x18;
constexpr std::size_t kBlockSize = 132;
constexpr std::size_t kDataSize = 128;
constexpr std::string_view kConfirmPrompt = "confirm - ";
constexpr std::string_view kPromptAfter = "\r\n> ";

}  // namespace

BootFaultParse parseBootFault(std::string_view name, bool hasArg, std::string_view arg,
                              BootFaults& faults, std::string& error) {
  if (name == "boot-confirm" || name == "boot-nak") {
    if (hasArg) {
      error = "fault \"" + std::string(name) + "\" takes no value";
      return BootFaultParse::Refused;
    }
    (name == "boot-confirm" ? faults.confirm : faults.nakAlways) = true;
    return BootFaultParse::Parsed;
  }
  if (name == "boot-refuse") {
    if (hasArg && arg != "bare") {
      error = "fault boot-refuse takes no value or \"bare\"";
      return BootFaultParse::Refused;
    }
    faults.refuse = hasArg ? BootFaults::Refuse::Bare : BootFaults::Refuse::WithFail;
    return BootFaultParse::Parsed;
  }
  if (name == "boot-corrupt" || name == "boot-drop") {
    const std::optional<double> n = hasArg ? parseInteger(arg, 1, 1000000) : std::nullopt;
    if (!n) {
      error = "fault " + std::string(name) + "=N needs a block number N from 1 to 1000000";
      return BootFaultParse::Refused;
    }
    (name == "boot-corrupt" ? faults.corruptBlock : faults.dropBlock) = static_cast<int>(*n);
    return BootFaultParse::Parsed;
  }
  return BootFaultParse::NotBootFault;
}

void BootLoader::reset() {
  state_ = State::Idle;
  line_.clear();
  block_.clear();
  image_.clear();
  deadline_ = kNever;
}

void BootLoader::command(std::int64_t nowMs, std::string& out) {
  if (faults_.confirm) {
    state_ = State::Confirm;
    line_.clear();
    out += kConfirmPrompt;
    return;
  }
  startReceiving(nowMs, out);
}

void BootLoader::startReceiving(std::int64_t nowMs, std::string& out) {
  state_ = State::Receiving;
  block_.clear();
  image_.clear();
  accepted_ = 0;
  errors_ = 0;
  started_ = false;
  pendingCan_ = false;
  corruptDone_ = dropDone_ = false;
  out += kNak;
  deadline_ = nowMs + kNakPeriodMs;
}

void BootLoader::nak(std::int64_t nowMs, std::string& out) {
  block_.clear();
  // The NAK fault never gives up itself: the sender has to.
  if (!faults_.nakAlways && ++errors_ >= kMaxErrors) {
    refuse("Too many errors", true, out);
    return;
  }
  out += kNak;
  deadline_ = nowMs + (started_ ? kBlockTimeoutMs : kNakPeriodMs);
}

void BootLoader::refuse(std::string_view reason, bool withFail, std::string& out) {
  out += "\x18\x18";
  if (withFail) {
    out += reason;
    out += "\r\nFail\r\n";
  }
  reset();
}

void BootLoader::receive(std::string_view bytes, std::int64_t nowMs, std::string& out) {
  for (char c : bytes) {
    if (state_ == State::Idle) return;
    if (state_ == State::Confirm) {
      if (c == '\r') {
        const bool confirmed = line_ == "bootload";
        line_.clear();
        out += "\r\n";
        if (confirmed) {
          startReceiving(nowMs, out);
        } else {
          state_ = State::Idle;
          out += "> ";
        }
      } else if (c >= 0x20 && c < 0x7F && line_.size() < 64) {
        line_ += c;
        out += c;
      }
      continue;
    }
    if (!block_.empty()) {
      block_ += c;
      deadline_ = nowMs + kByteTimeoutMs;
      if (block_.size() == kBlockSize) blockComplete(nowMs, out);
      continue;
    }
    if (c == kCan) {
      // Two in a row: the sender gave up.
      if (pendingCan_) {
        reset();
        return;
      }
      pendingCan_ = true;
      continue;
    }
    pendingCan_ = false;
    if (c == kSoh) {
      block_ += c;
      deadline_ = nowMs + kByteTimeoutMs;
    } else if (c == kEot) {
      out += kAck;
      loaded_ = image_;
      ++completed_;
      reset();
      return;
    }
    // Anything else between blocks is line noise.
  }
}

void BootLoader::blockComplete(std::int64_t nowMs, std::string& out) {
  const auto number = static_cast<std::uint8_t>(block_[1]);
  const auto complement = static_cast<std::uint8_t>(block_[2]);
  unsigned sum = 0;
  for (std::size_t i = 3; i < 3 + kDataSize; ++i) sum += static_cast<std::uint8_t>(block_[i]);
  const bool intact = static_cast<std::uint8_t>(number + complement) == 0xFF &&
                      static_cast<std::uint8_t>(sum) == static_cast<std::uint8_t>(block_[kBlockSize - 1]);
  const auto expected = static_cast<std::uint8_t>((accepted_ + 1) & 0xFFu);
  const bool isNext = intact && number == expected;
  started_ = true;
  if (isNext && faults_.dropBlock > 0 && !dropDone_ &&
      accepted_ + 1 == static_cast<std::uint64_t>(faults_.dropBlock)) {
    // Lost on the line: nothing heard, nothing answered.
    dropDone_ = true;
    block_.clear();
    deadline_ = nowMs + kBlockTimeoutMs;
    return;
  }
  const bool corrupted = isNext && faults_.corruptBlock > 0 && !corruptDone_ &&
                         accepted_ + 1 == static_cast<std::uint64_t>(faults_.corruptBlock);
  if (corrupted) corruptDone_ = true;
  if (!intact || corrupted || faults_.nakAlways) {
    nak(nowMs, out);
    return;
  }
  if (number == static_cast<std::uint8_t>(expected - 1) && accepted_ > 0) {
    // The sender missed our ACK and sent the block again: already taken.
    block_.clear();
    out += kAck;
    deadline_ = nowMs + kBlockTimeoutMs;
    return;
  }
  if (number != expected) {
    refuse("Block out of sequence", true, out);
    return;
  }
  if (accepted_ == 0 && faults_.refuse != BootFaults::Refuse::None) {
    refuse("Image rejected", faults_.refuse == BootFaults::Refuse::WithFail, out);
    return;
  }
  if (image_.size() + kDataSize > kCapacity) {
    refuse("Image too large", true, out);
    return;
  }
  image_.append(block_, 3, kDataSize);
  ++accepted_;
  errors_ = 0;
  block_.clear();
  out += kAck;
  deadline_ = nowMs + kBlockTimeoutMs;
}

void BootLoader::advanceTime(std::int64_t nowMs, std::string& out) {
  if (state_ != State::Receiving || nowMs < deadline_) return;
  // A block cut short, or nothing at all: ask again.
  nak(nowMs, out);
}

}  // namespace tarnlux::meter
