#pragma once

#include <cstdint>
#include <deque>
#include <limits>
#include <random>
#include <string>
#include <string_view>

#include "boot_loader.h"
#include "faults.h"
#include "interpreter.h"

namespace tarnlux::meter {

class Meter;

// One port's conversation with the meter: the interpreter plus the faults
// that change when and how its output leaves. Bytes and time in, bytes out;
// the I/O loop only moves them.
class Session {
 public:
  static constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();
  static constexpr int kStreamPeriodMs = 20;

  Session(Meter& meter, const FaultSet& faults, std::uint32_t seed);

  // A client has arrived (or the line is open): output still queued for an
  // earlier client is dropped; the continuous stream starts.
  void start(std::int64_t nowMs);
  // The client went away: nothing more is produced until start().
  void stop();

  void receive(std::string_view bytes, std::int64_t nowMs);
  // Appends to `out` every byte whose time has come.
  void takeDue(std::int64_t nowMs, std::string& out);
  // When takeDue() next has something, kNever when nothing is planned.
  std::int64_t nextDueMs() const;

  // The drop fault: true once the answer that ends the connection has been
  // handed out; the port closes after writing it and calls dropDone().
  bool dropRequested() const { return dropRequested_; }
  void dropDone() { dropRequested_ = false; }

  const CommandInterpreter& interpreter() const { return interpreter_; }
  const BootLoader& bootLoader() const { return boot_; }
  // True while every received byte is data (the boot loader takes blocks).
  bool binaryInput() const { return boot_.binary(); }

 private:
  struct Chunk {
    std::int64_t due;
    std::string bytes;
    bool answer;     // part of an answer (dropped by a cancel)
    bool answerEnd;  // last piece of an answer
  };

  void push(std::int64_t due, std::string bytes, bool answer, bool answerEnd);
  void scheduleAnswer(std::string text, std::int64_t nowMs);
  std::string noise(std::size_t count);
  std::string streamLine();

  Meter& meter_;
  FaultSet faults_;
  CommandInterpreter interpreter_;
  BootLoader boot_;
  std::mt19937 random_;
  std::deque<Chunk> queue_;
  std::int64_t lastDue_ = 0;
  bool active_ = false;
  std::int64_t nextStream_ = kNever;
  unsigned streamCount_ = 0;
  int answers_ = 0;
  bool dropped_ = false;
  bool dropRequested_ = false;
};

}  // namespace tarnlux::meter
