#include "link/exchange_loop.h"

#include <time.h>

#include <cerrno>
#include <chrono>

namespace tarnlux::exchange_detail {

namespace {

std::int64_t steadyMicros() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void sleepMicros(std::int64_t us) {
  if (us <= 0) return;
  timespec ts{static_cast<time_t>(us / 1000000), static_cast<long>((us % 1000000) * 1000)};
  ::nanosleep(&ts, nullptr);
}

}  // namespace

bool isTransportError(int status) {
  return status != 0 && status != kSockWouldBlock && status != EAGAIN && status != EWOULDBLOCK &&
         status != EINTR;
}

void IdleWait::forRead(const MeterLink& link, int maxMs) {
  if (maxMs <= 0) maxMs = 1;
  const std::int64_t before = steadyMicros();
  link.waitReadable(maxMs);
  settle(steadyMicros() - before, maxMs);
}

void IdleWait::forWrite(const MeterLink& link, int maxMs) {
  if (maxMs <= 0) maxMs = 1;
  const std::int64_t before = steadyMicros();
  link.waitWritable(maxMs);
  settle(steadyMicros() - before, maxMs);
}

void IdleWait::settle(std::int64_t waitedUs, int maxMs) {
  // One quick return is normal (bytes arrived between the read and the wait);
  // two in a row mean the descriptor is ready with nothing for us.
  if (waitedUs >= 1000) {
    quickReturns_ = 0;
    return;
  }
  if (++quickReturns_ >= 2) sleepMicros(static_cast<std::int64_t>(maxMs) * 1000 - waitedUs);
}

std::size_t findIn(const char* area, std::size_t from, std::size_t end, std::string_view needle) {
  if (needle.empty() || from >= end) return std::string_view::npos;
  return std::string_view(area, end).find(needle, from);
}

std::size_t resumeFrom(std::size_t previousEnd, std::size_t needleLength, std::size_t floor) {
  const std::size_t back = needleLength > 0 ? needleLength - 1 : 0;
  const std::size_t from = previousEnd > back ? previousEnd - back : 0;
  return from < floor ? floor : from;
}

int reportReceiveTimeout(bool anythingArrived, const OperationContext& ctx) {
  ctx.report(anythingArrived ? "Donnees anticipees non recues" : "Pas de reponse du compteur");
  return kTimeout;
}

int reportReceiveFailure(int status, const OperationContext& ctx) {
  ctx.report("Impossible de recevoir des donnees", status);
  return status;
}

int receiveLoop(MeterLink& link, int timeoutMs, OperationContext& ctx,
                const std::function<std::optional<int>(std::size_t previousEnd, std::size_t end)>& advance) {
  char* area = link.receiveArea();
  area[0] = '\0';
  if (!link.isOpen()) return reportReceiveFailure(kLinkClosedStatus, ctx);
  IdleWait idle;
  std::size_t offset = 0;
  const std::int64_t start = ctx.nowMs();
  for (;;) {
    if (ctx.cancelled()) return kCancelled;
    int status = 0;
    bool pending = false;
    const std::size_t got = link.readAvailable(offset, status, pending);
    if (got > 0) {
      const std::size_t previousEnd = offset;
      offset += got;
      area[offset] = '\0';
      idle.progressed();
      if (const std::optional<int> result = advance(previousEnd, offset)) return *result;
    } else if (isTransportError(status)) {
      return reportReceiveFailure(status, ctx);
    }
    if (ctx.nowMs() - start >= timeoutMs) return reportReceiveTimeout(offset > 0, ctx);
    if (got == 0) idle.forRead(link);
    ctx.tick();
  }
}

OperationContext quietCopy(const OperationContext& ctx) {
  OperationContext copy = ctx;
  copy.quiet = true;
  return copy;
}

}  // namespace tarnlux::exchange_detail
