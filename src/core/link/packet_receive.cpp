#include "link/packet.h"

#include "link/exchange_loop.h"

namespace tarnlux {

using exchange_detail::findIn;
using exchange_detail::IdleWait;
using exchange_detail::isTransportError;
using exchange_detail::kLinkClosedStatus;
using exchange_detail::reportReceiveFailure;
using exchange_detail::reportReceiveTimeout;
using exchange_detail::resumeFrom;

int receivePacket(MeterLink& link, const char* startMarker, int expectedSequence, std::int64_t& elapsedMs,
                  int timeoutMs, OperationContext& ctx, std::string_view* line) {
  char* area = link.receiveArea();
  area[0] = '\0';
  if (!link.isOpen()) return reportReceiveFailure(kLinkClosedStatus, ctx);

  const std::string_view marker = startMarker != nullptr ? startMarker : "";
  bool markerSeen = marker.empty();
  std::size_t lineStart = 0;  // where the current line begins
  std::size_t scanFrom = 0;   // where the search for its CR resumes
  std::size_t offset = 0;
  IdleWait idle;
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
      if (!markerSeen) {
        const std::size_t at = findIn(area, resumeFrom(previousEnd, marker.size(), 0), offset, marker);
        if (at != std::string_view::npos) {
          markerSeen = true;
          lineStart = scanFrom = at + marker.size();
        }
      }
      while (markerSeen) {
        const std::size_t cr = findIn(area, scanFrom, offset, "\r");
        if (cr == std::string_view::npos) {
          scanFrom = offset;
          break;
        }
        std::size_t from = lineStart;
        if (from < cr && area[from] == '\n') ++from;
        if (cr - from <= 1) {
          lineStart = scanFrom = cr + 1;
          continue;
        }
        area[cr] = '\0';
        const std::string_view text(area + from, cr - from);
        if (line != nullptr) *line = text;
        elapsedMs = ctx.nowMs() - start;
        return checkPacketLine(text, expectedSequence);
      }
    } else if (isTransportError(status)) {
      return reportReceiveFailure(status, ctx);
    }
    if (ctx.nowMs() - start >= timeoutMs) return reportReceiveTimeout(offset > 0, ctx);
    if (got == 0) idle.forRead(link);
    ctx.tick();
  }
}

}  // namespace tarnlux
