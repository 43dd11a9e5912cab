#pragma once

// Pieces shared by the waiting loops of the command exchange and the packet
// receive. Internal to the link folder.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "common/op_context.h"
#include "common/result.h"
#include "link/transport.h"

namespace tarnlux::exchange_detail {

// True when a transport status is a real failure rather than "nothing yet".
bool isTransportError(int status);

// Status given for an operation on a link that is not open.
inline constexpr int kLinkClosedStatus = kSockNotConnected;

// The wait of a pass that found nothing to do. It waits on the link's
// descriptor; when the descriptor keeps reporting ready although nothing can be
// read (a hung-up device, a full receive area), the second such pass in a row
// sleeps out the rest of the period instead, so the loop never spins.
class IdleWait {
 public:
  void forRead(const MeterLink& link, int maxMs = 10);
  void forWrite(const MeterLink& link, int maxMs = 10);
  // A pass that moved data: the next quick return is taken as genuine again.
  void progressed() { quickReturns_ = 0; }

 private:
  void settle(std::int64_t waitedUs, int maxMs);
  int quickReturns_ = 0;
};

// Position of `needle` in area[from, end), or npos. Works on raw bytes, so a
// stray NUL from the meter does not hide what follows it.
std::size_t findIn(const char* area, std::size_t from, std::size_t end, std::string_view needle);

// Where a search resumes after new bytes arrived: the previous end minus the
// needle's length minus one, so a needle split between two reads is found, and
// never before `floor`.
std::size_t resumeFrom(std::size_t previousEnd, std::size_t needleLength, std::size_t floor);

// The report and result of a receive that ran out of time: nothing at all, or
// something that was not the awaited text.
int reportReceiveTimeout(bool anythingArrived, const OperationContext& ctx);
// The report and result of a receive ended by the transport.
int reportReceiveFailure(int status, const OperationContext& ctx);

// The waiting loop of a receive: fills the receive area from offset 0, keeps
// it NUL-terminated, and after new bytes [previousEnd, end) asks `advance`,
// whose result, when it has one, ends the loop. Cancel gives -2; a transport
// failure and the time-out are reported as receiveUntil reports them.
int receiveLoop(MeterLink& link, int timeoutMs, OperationContext& ctx,
                const std::function<std::optional<int>(std::size_t previousEnd, std::size_t end)>& advance);

// A copy of `ctx` that reports nothing.
OperationContext quietCopy(const OperationContext& ctx);

}  // namespace tarnlux::exchange_detail
