#pragma once

// The sending side of the meter's boot loader transfer: 128-byte blocks with
// an 8-bit arithmetic checksum, started by the receiver's NAK. Bytes and time
// in, bytes out: the caller moves them over the link.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace tarnlux {

inline constexpr char kXmodemSoh = 0x01;
inline constexpr char kXmodemEot = 0x04;
inline constexpr char kXmodemAck = 0x06;
inline constexpr char kXmodemNak = 0x15;
inline constexpr char kXmodemCan = 0x18;
inline constexpr std::size_t kXmodemDataSize = 128;
inline constexpr std::size_t kXmodemBlockSize = 132;
inline constexpr int kXmodemMaxAttempts = 10;
inline constexpr int kXmodemReplyTimeoutMs = 20000;
// A refusal's reason is shown only when it is a short line.
inline constexpr std::size_t kXmodemReasonLimit = 50;

// One block as it goes on the line: SOH, number, its complement, the data
// filled up with zero bytes to 128, the sum of the data bytes modulo 256.
std::string xmodemBlock(std::uint8_t number, std::string_view data);

class XmodemSender {
 public:
  // Fills `into` with up to `want` bytes of the file (fewer only at its end;
  // 0 at the end). 0, or the system's error code.
  using Reader = std::function<int(char* into, std::size_t want, std::size_t& got)>;

  enum class Outcome { Running, Completed, Refused, TooManyAttempts, Cancelled, ReadFailed };

  XmodemSender(std::uint64_t fileSize, Reader reader);

  // The receiver's NAK came: the first block (EOT alone for an empty file).
  void start(std::int64_t nowMs, std::string& out);
  // Bytes from the receiver: ACK, NAK, CAN CAN and the text around a refusal.
  void receive(std::string_view bytes, std::int64_t nowMs, std::string& out);
  // A reply not come within kXmodemReplyTimeoutMs counts as a NAK; a refusal
  // whose "Fail" line does not come ends without a reason.
  void advanceTime(std::int64_t nowMs, std::string& out);
  // The user's stop: CAN CAN, unless the transfer has already ended.
  void cancel(std::string& out);

  Outcome outcome() const { return outcome_; }
  bool finished() const { return outcome_ != Outcome::Running; }
  std::int64_t deadlineMs() const { return deadline_; }

  // The block on the line, counted from 1 without wrapping.
  std::uint64_t currentBlock() const { return blockIndex_; }
  std::uint64_t blocksAcknowledged() const { return acknowledged_; }
  std::uint64_t bytesSent() const { return bytesSent_; }
  std::uint64_t fileSize() const { return fileSize_; }
  int retries() const { return attempts_ > 0 ? attempts_ - 1 : 0; }
  int totalRetries() const { return totalRetries_; }
  // The meter's last line before "Fail" when it is shorter than
  // kXmodemReasonLimit characters, else empty.
  const std::string& refusalReason() const { return reason_; }
  int readError() const { return readError_; }

 private:
  enum class Phase { Block, Eot, AwaitFail, Done };

  void sendCurrent(std::int64_t nowMs, std::string& out);
  void advance(std::int64_t nowMs, std::string& out);
  void retry(std::int64_t nowMs, std::string& out);
  bool readNext();
  void finish(Outcome outcome, std::string* out);
  void takeReason();

  std::uint64_t fileSize_;
  Reader reader_;
  Phase phase_ = Phase::Block;
  Outcome outcome_ = Outcome::Running;
  std::string current_;  // the block (or EOT) on the line
  std::string next_;     // the data of the block after it
  std::size_t currentData_ = 0;
  std::uint64_t blockIndex_ = 0;
  std::uint64_t acknowledged_ = 0;
  std::uint64_t bytesSent_ = 0;
  int attempts_ = 0;
  int totalRetries_ = 0;
  std::int64_t deadline_ = 0;
  bool lastWasCan_ = false;
  std::string heard_;  // what came since the block was sent (for a refusal's reason)
  std::string reason_;
  int readError_ = 0;
};

}  // namespace tarnlux
