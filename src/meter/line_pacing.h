#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

#include "line_settings.h"

namespace tarnlux::meter {

// The time a serial line takes to carry bytes, for the pseudo-terminal, which
// otherwise moves them at once. Each character occupies the line for its start
// bit, data bits, parity bit and stop bits at the set speed, one after the
// other in each direction; a byte is handed on when its last bit would have
// arrived. Times are in microseconds of a steady clock.
class LinePacer {
 public:
  explicit LinePacer(const LineSettings& settings);

  std::int64_t charMicros() const { return charUs_; }

  // Bytes the client wrote: the meter receives them at line speed.
  void arrive(std::string_view bytes, std::int64_t nowUs);
  // The received bytes whose last bit has arrived by now.
  std::string takeArrived(std::int64_t nowUs);
  std::size_t inboundQueued() const { return inbound_.size(); }

  // Output is about to be queued (nothing was waiting): the line starts
  // sending it now, not when it last fell quiet.
  void outputQueued(std::int64_t nowUs);
  // How many queued bytes have crossed the line by now; they are taken as sent.
  std::size_t takeSendable(std::size_t queued, std::int64_t nowUs);

  // When one direction next hands a byte on, given `queuedOut` bytes waiting
  // to leave; INT64_MAX when neither has anything.
  std::int64_t nextDueUs(std::size_t queuedOut) const;

 private:
  std::int64_t charUs_;
  std::deque<std::pair<std::int64_t, char>> inbound_;  // due time, byte
  std::int64_t inboundFreeUs_ = 0;   // when the receiving line is free
  std::int64_t outboundFreeUs_ = 0;  // when the sending line is free
};

}  // namespace tarnlux::meter
