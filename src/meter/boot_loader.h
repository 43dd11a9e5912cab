#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

namespace tarnlux::meter {

// How the boot loader misbehaves or differs (--fault boot-...).
struct BootFaults {
  bool confirm = false;     // "bootload" asks "confirm - " and wants it typed again
  int corruptBlock = 0;     // block N arrives with a bad checksum, once (NAK)
  int dropBlock = 0;        // block N is lost on the line, once (no answer)
  bool nakAlways = false;   // every block is answered NAK
  enum class Refuse { None, WithFail, Bare } refuse = Refuse::None;  // the first block is refused
};

enum class BootFaultParse { NotBootFault, Parsed, Refused };

// Takes the boot loader's fault names; NotBootFault for any other name.
BootFaultParse parseBootFault(std::string_view name, bool hasArg, std::string_view arg,
                              BootFaults& faults, std::string& error);

// The meter's boot loader: after the command "bootload" it receives a new
// operating system image in 128-byte blocks with an 8-bit checksum. It asks
// for the first block with NAK (repeated while nothing comes), answers each
// block ACK or NAK, takes a repeated block again with ACK, ends on EOT (ACK)
// or CAN CAN, and refuses with CAN CAN, a reason line and "Fail". Then the
// meter restarts into its command prompt. Bytes and time in, bytes out.
class BootLoader {
 public:
  static constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();
  static constexpr std::size_t kCapacity = 4u * 1024u * 1024u;  // flash for the image
  static constexpr int kNakPeriodMs = 3000;       // asking for the first block
  static constexpr int kBlockTimeoutMs = 10000;   // silence after a block
  static constexpr int kByteTimeoutMs = 1000;     // silence inside a block
  static constexpr int kMaxErrors = 10;

  explicit BootLoader(const BootFaults& faults) : faults_(faults) {}

  // The command "bootload" ran at the prompt.
  void command(std::int64_t nowMs, std::string& out);
  // True while the boot loader takes the port's input instead of the prompt.
  bool active() const { return state_ != State::Idle; }
  // True while blocks are received: every byte is data, XON and XOFF included.
  bool binary() const { return state_ == State::Receiving; }
  void receive(std::string_view bytes, std::int64_t nowMs, std::string& out);
  void advanceTime(std::int64_t nowMs, std::string& out);
  std::int64_t nextDueMs() const { return state_ == State::Receiving ? deadline_ : kNever; }
  // Back to the prompt, whatever was going on (a new client).
  void reset();

  // The image of the last load that ended with EOT, and how many did.
  const std::string& loadedImage() const { return loaded_; }
  int completedLoads() const { return completed_; }

 private:
  enum class State { Idle, Confirm, Receiving };

  void startReceiving(std::int64_t nowMs, std::string& out);
  void blockComplete(std::int64_t nowMs, std::string& out);
  void nak(std::int64_t nowMs, std::string& out);
  void refuse(std::string_view reason, bool withFail, std::string& out);

  BootFaults faults_;
  State state_ = State::Idle;
  std::string line_;
  std::string block_;
  std::string image_;
  std::string loaded_;
  int completed_ = 0;
  std::uint64_t accepted_ = 0;  // blocks taken in this load
  int errors_ = 0;
  bool started_ = false;  // a first block has arrived
  bool pendingCan_ = false;
  bool corruptDone_ = false;
  bool dropDone_ = false;
  std::int64_t deadline_ = kNever;
};

}  // namespace tarnlux::meter
