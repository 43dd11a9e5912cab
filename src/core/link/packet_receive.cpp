#include "link/packet.h"

#include <optional>

#include "link/exchange_loop.h"

namespace tarnlux {

using exchange_detail::findIn;
using exchange_detail::receiveLoop;
using exchange_detail::resumeFrom;

int receivePacket(MeterLink& link, const char* startMarker, int expectedSequence, std::int64_t& elapsedMs,
                  int timeoutMs, OperationContext& ctx, std::string_view* line) {
  char* area = link.receiveArea();
  const std::string_view marker = startMarker != nullptr ? startMarker : "";
  bool markerSeen = marker.empty();
  std::size_t lineStart = 0;  // where the current line begins
  std::size_t scanFrom = 0;   // where the search for its CR resumes
  const std::int64_t start = ctx.nowMs();

  return receiveLoop(link, timeoutMs, ctx, [&](std::size_t previousEnd, std::size_t offset) -> std::optional<int> {
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
    return std::nullopt;
  });
}

}  // namespace tarnlux
