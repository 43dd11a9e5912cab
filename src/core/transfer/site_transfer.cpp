#include "transfer/site_transfer.h"

#include <cstdio>
#include <cstring>

#include "common/hex.h"
#include "link/packet.h"

namespace tarnlux {

namespace {

int hexPair(std::string_view text, std::size_t at) {
  if (at + 2 > text.size()) return -1;
  const int high = hexValue(text[at]);
  const int low = hexValue(text[at + 1]);
  return (high < 0 || low < 0) ? -1 : high * 16 + low;
}

std::string counterText(int value) {
  char digits[4];
  std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned>(value) & 0xFF);
  return digits;
}

std::string transferCommand(const char* word, const SitePacketing& packeting, int siteNumber,
                            std::string_view siteName) {
  std::string command = std::string(word) + " " + std::to_string(siteNumber) + " " + std::string(siteName);
  if (packeting.numbered) command += " * " + counterText(packeting.counter);
  return command + "\r";
}

SiteStep failed(int code, std::string message) {
  SiteStep step;
  step.kind = SiteStep::Kind::Failed;
  step.code = code;
  step.message = std::move(message);
  return step;
}

}  // namespace

std::string SitePacketing::packet(std::string_view text, int counterValue) const {
  std::string payload = numbered ? counterText(counterValue) : std::string();
  payload += text;
  std::string buffer(kPacketHeaderLength + payload.size() + 4, '\0');
  std::memcpy(buffer.data() + kPacketHeaderLength, payload.data(), payload.size());
  const int length = buildPacket(buffer.data(), buffer.size(), payload.size(), transferNumber, 0);
  buffer.resize(length < 0 ? 0 : static_cast<std::size_t>(length));
  return buffer;
}

// --- Receiving.

SiteReceivePass::SiteReceivePass(SitePacketing& packeting, const std::vector<std::string>* expected,
                                 const char* mismatchText)
    : packeting_(packeting), expected_(expected), mismatchText_(mismatchText) {}

std::string SiteReceivePass::command(int siteNumber, std::string_view siteName) const {
  return transferCommand("upsite", packeting_, siteNumber, siteName);
}

SiteStep SiteReceivePass::fault(int code, const char* message) {
  ++totalRetries_;
  if (++retriesOfPacket_ > kSitePacketRetries) return failed(code, message);
  SiteStep step;
  // The NAK carries no counter: it asks for the packet the meter sent last.
  step.reply = SitePacketing{packeting_.transferNumber, false, 0}.packet(std::string(1, kNak), 0);
  step.retry = true;
  return step;
}

SiteStep SiteReceivePass::acknowledge(int counterValue, bool repeated) {
  SiteStep step;
  step.reply = packeting_.packet(std::string(1, kAck), counterValue);
  step.retry = repeated;
  return step;
}

SiteStep SiteReceivePass::onPacket(std::string_view line, int checkResult, std::int64_t nowMs) {
  if (line.size() > kSitePacketLineMax) return failed(kSiteLineTooLong, kPacketDataErrorText);
  if (checkResult != 0) return fault(checkResult, kPacketErrorText);
  const int sequence = hexPair(line, 4);
  if (sequence < 0) return fault(kSiteBadTransferField, kPacketDataErrorText);
  if (sequence != packeting_.transferNumber) return fault(kSiteWrongTransferNumber, kPacketDataErrorText);

  const std::size_t offset = packeting_.textOffset();
  if (line.size() < offset + 2) return fault(kSiteBadCounterField, kPacketDataErrorText);
  bool repeated = false;
  int counterValue = packeting_.counter;
  if (packeting_.numbered) {
    counterValue = hexPair(line, 6);
    if (counterValue < 0) return fault(kSiteBadCounterField, kPacketDataErrorText);
    if (counterValue != packeting_.counter) {
      if (counterValue != previousCounter_) return failed(kSiteUnexpectedCounter, kPacketDataErrorText);
      repeated = true;
    }
  } else {
    repeated = packets_ > 0 && line == previousLine_ && nowMs - previousAt_ >= kSiteRepeatAfterMs;
  }
  if (repeated) {
    // Our acknowledgement was lost: send it again.
    ++totalRetries_;
    if (++retriesOfPacket_ > kSitePacketRetries) return failed(-1, kTooManyRetriesText);
    previousAt_ = nowMs;
    return acknowledge(previousCounter_, true);
  }

  const std::string_view text = line.substr(offset, line.size() - offset - 2);
  if (text.find(kSiteEndOfData) == std::string_view::npos) {
    if (packets_ == 0) {
      // The first line carries the transfer number once more near its end.
      const std::size_t back = packeting_.numbered ? 9 : 4;
      if (line.size() < back || hexPair(line, line.size() - back) != packeting_.transferNumber) {
        return failed(kSiteFirstPacketNumber, kPacketDataErrorText);
      }
    }
    if (expected_ != nullptr) {
      const auto index = static_cast<std::size_t>(packets_);
      if (index >= expected_->size() || (*expected_)[index] != text) return failed(-1, mismatchText_);
    } else {
      texts_.emplace_back(text);
    }
  }
  SiteStep step = acknowledge(counterValue, false);
  previousLine_.assign(line);
  previousAt_ = nowMs;
  previousCounter_ = counterValue;
  packeting_.counter = (packeting_.counter + 1) & 0xFF;
  retriesOfPacket_ = 0;
  if (text.find(kSiteEndOfData) != std::string_view::npos) {
    if (expected_ != nullptr && static_cast<std::size_t>(packets_) != expected_->size()) {
      return failed(-1, mismatchText_);
    }
    step.kind = SiteStep::Kind::Done;
    return step;
  }
  ++packets_;
  characters_ += text.size();
  return step;
}

// --- Sending.

SiteSendPass::SiteSendPass(SitePacketing& packeting, std::vector<std::string> lines)
    : packeting_(packeting), lines_(std::move(lines)) {
  for (const std::string& line : lines_) totalCharacters_ += line.size();
}

std::string SiteSendPass::command(int siteNumber, std::string_view siteName) const {
  return transferCommand("dnsite", packeting_, siteNumber, siteName);
}

std::string SiteSendPass::currentPacket() const {
  return packeting_.packet(next_ < lines_.size() ? std::string_view(lines_[next_]) : kSiteEndOfData,
                           packeting_.counter);
}

SiteStep SiteSendPass::retry(int code, const char* message) {
  ++totalRetries_;
  if (++retriesOfPacket_ > kSitePacketRetries) return failed(code, message);
  SiteStep step;
  step.reply = currentPacket();
  step.retry = true;
  return step;
}

SiteStep SiteSendPass::onAnswer(std::string_view line, int checkResult) {
  if (checkResult != 0) return retry(checkResult, kPacketErrorText);
  const std::size_t offset = packeting_.textOffset();
  if (line.size() < offset + 3) return failed(kSiteUnexpectedAnswer, kPacketDataErrorText);
  switch (line[offset]) {
    case kAck: {
      if (packets_ == 0 && hexPair(line, 4) != packeting_.transferNumber) {
        return failed(kSiteFirstPacketNumber, kPacketDataErrorText);
      }
      packeting_.counter = (packeting_.counter + 1) & 0xFF;
      retriesOfPacket_ = 0;
      SiteStep step;
      if (next_ >= lines_.size()) {
        step.kind = SiteStep::Kind::Done;
        return step;
      }
      characters_ += lines_[next_].size();
      ++packets_;
      ++next_;
      step.reply = currentPacket();
      return step;
    }
    case kNak:
      return retry(-1, kTooManyRetriesText);
    case kEtx: {
      std::string_view reason = line.substr(offset + 1, line.size() - offset - 3);
      while (!reason.empty() && reason.front() == ' ') reason.remove_prefix(1);
      while (!reason.empty() && reason.back() == ' ') reason.remove_suffix(1);
      SiteStep step = failed(-1, std::string(kCancelledByMeterText) + " - " +
                                     (reason.empty() ? std::string("Voir manuel") : std::string(reason)));
      step.peerCancelled = true;
      return step;
    }
    default:
      return failed(kSiteUnexpectedAnswer, kPacketDataErrorText);
  }
}

}  // namespace tarnlux
