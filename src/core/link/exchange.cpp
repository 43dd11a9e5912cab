#include "link/exchange.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "link/exchange_loop.h"
#include "link/typed_read.h"

namespace tarnlux {

using exchange_detail::findIn;
using exchange_detail::IdleWait;
using exchange_detail::isTransportError;
using exchange_detail::kLinkClosedStatus;
using exchange_detail::quietCopy;
using exchange_detail::reportReceiveFailure;
using exchange_detail::reportReceiveTimeout;
using exchange_detail::resumeFrom;

namespace {

constexpr const char* kSendFailed = "Impossible d'envoyer commande";
constexpr const char* kPurgeFailed = "Impossible de purger le tampon";
constexpr const char* kPurgeContinuous = "Impossible de purger le tampon - Donnees continues recues";
constexpr const char* kNoMemoryForLines =
    "Impossible d'affecter de la memoire pour les evenements memorises";
constexpr const char* kStoppingListing = "Annulation, veuillez patienter...";

constexpr const char* kLeaveMenu = "\x1b" "D" "\x1b" "D" "\x1b" "D" "\x1b" "D" "\x1b" "D" "\x1b" "D";
constexpr const char* kFormFeedLeaveMenu =
    "\x0c" "\x1b" "D" "\x1b" "D" "\x1b" "D" "\x1b" "D" "\x1b" "D" "\x1b" "D";
constexpr char kEtx = '\x03';
constexpr char kCan = '\x18';

// ---------------------------------------------------------------------------
// The search behind receiveUntil, receiveOneOf and receiveWithKeepAlive.

struct AwaitedText {
  Alternatives alternatives{};
  std::string_view terminator;      // empty: none
  unsigned needsTerminator = 0;
  unsigned acceptedWithoutTerminator = 0;
  bool keepAlive = false;           // alternative 0 is a keep-alive
  int keepAliveTimeoutMs = 0;
};

class AnswerSearch {
 public:
  AnswerSearch(const AwaitedText& awaited, char* area) : awaited_(awaited), area_(area) {
    for (const char* a : awaited_.alternatives) {
      if (a == nullptr || *a == '\0') continue;
      hasAlternatives_ = true;
      longest_ = std::max(longest_, std::strlen(a));
    }
  }

  // New bytes now fill [previousEnd, end). True when the awaited text is complete.
  bool advance(std::size_t previousEnd, std::size_t end, std::int64_t nowMs) {
    for (;;) {
      if (matched_ < 0 && !terminatorOnly()) {
        const std::size_t from = resumeFrom(previousEnd, longest_, searchBase_);
        for (int k = 0; k < 6; ++k) {
          const char* alternative = awaited_.alternatives[k];
          if (alternative == nullptr || *alternative == '\0') continue;
          const std::size_t at = findIn(area_, from, end, alternative);
          if (at == std::string_view::npos) continue;
          matched_ = k;
          markerOffset_ = at;
          terminatorFrom_ = at + std::strlen(alternative);
          if (!awaited_.keepAlive) matchMask_ = 1u << k;
          break;
        }
        if (matched_ < 0) return false;
        if (!needsTerminator(matched_)) {
          length_ = end;
          return true;
        }
      }
      const std::size_t floor = matched_ < 0 ? searchBase_ : terminatorFrom_;
      const std::size_t at =
          findIn(area_, resumeFrom(previousEnd, awaited_.terminator.size(), floor), end, awaited_.terminator);
      if (at == std::string_view::npos) return false;
      if (awaited_.keepAlive && matched_ == 0) {
        // A complete keep-alive: look again after it, the clock starts over.
        matchMask_ = 1;
        keepAliveSeen_ = true;
        lastKeepAliveMs_ = nowMs;
        searchBase_ = at + awaited_.terminator.size();
        previousEnd = searchBase_;
        matched_ = -1;
        continue;
      }
      if (awaited_.keepAlive) matchMask_ = 1u << matched_;
      area_[at] = '\0';
      length_ = at;
      return true;
    }
  }

  // True when the wait ends at this time (checked after the time-out of the phase).
  bool keepAliveRunning() const { return awaited_.keepAlive && keepAliveSeen_; }
  std::int64_t lastKeepAliveMs() const { return lastKeepAliveMs_; }
  // A time-out still counts as success for an accepted match without its terminator.
  bool acceptedAtTimeout() const {
    return matched_ >= 0 && (awaited_.acceptedWithoutTerminator & (1u << matched_)) != 0;
  }

  unsigned matchMask() const { return matchMask_; }
  std::size_t markerOffset() const { return markerOffset_; }
  std::size_t length() const { return length_; }
  void setLength(std::size_t length) { length_ = length; }

 private:
  bool terminatorOnly() const { return !hasAlternatives_; }
  bool needsTerminator(int k) const {
    return !awaited_.terminator.empty() && (awaited_.needsTerminator & (1u << k)) != 0;
  }

  const AwaitedText& awaited_;
  char* area_;
  bool hasAlternatives_ = false;
  std::size_t longest_ = 0;
  int matched_ = -1;
  std::size_t markerOffset_ = 0;
  std::size_t terminatorFrom_ = 0;
  std::size_t searchBase_ = 0;
  std::size_t length_ = 0;
  unsigned matchMask_ = 0;
  bool keepAliveSeen_ = false;
  std::int64_t lastKeepAliveMs_ = 0;
};

int receiveAwaited(MeterLink& link, const AwaitedText& awaited, int timeoutMs, unsigned* matchMask,
                   OperationContext& ctx, ReceivedText* received) {
  char* area = link.receiveArea();
  area[0] = '\0';
  if (!link.isOpen()) return reportReceiveFailure(kLinkClosedStatus, ctx);

  AnswerSearch search(awaited, area);
  IdleWait idle;
  std::size_t offset = 0;
  const std::int64_t start = ctx.nowMs();
  auto finish = [&](int result) {
    if (matchMask != nullptr) *matchMask = search.matchMask();
    if (received != nullptr) {
      received->markerOffset = search.markerOffset();
      received->length = search.length();
    }
    return result;
  };

  for (;;) {
    if (ctx.cancelled()) return finish(kCancelled);
    int status = 0;
    bool pending = false;
    const std::size_t got = link.readAvailable(offset, status, pending);
    if (got > 0) {
      const std::size_t previousEnd = offset;
      offset += got;
      area[offset] = '\0';
      idle.progressed();
      if (search.advance(previousEnd, offset, ctx.nowMs())) return finish(kOk);
    } else if (isTransportError(status)) {
      return finish(reportReceiveFailure(status, ctx));
    }

    const std::int64_t now = ctx.nowMs();
    if (search.keepAliveRunning()) {
      if (now - search.lastKeepAliveMs() >= awaited.keepAliveTimeoutMs) {
        search.setLength(offset);
        return finish(kOk);
      }
    } else if (now - start >= timeoutMs) {
      if (search.acceptedAtTimeout()) {
        search.setLength(offset);
        return finish(kOk);
      }
      return finish(reportReceiveTimeout(offset > 0, ctx));
    }
    if (got == 0) idle.forRead(link);
    ctx.tick();
  }
}

// ---------------------------------------------------------------------------
// Getting back to the prompt.

std::string channelFailureText(int channel, const ChannelFacts& facts) {
  return std::string(facts.multiPath ? "Echec chemin " : "Echec canal ") + std::to_string(channel + 1);
}

// The probe of the prompt preparation: "test" answered by "???", or one channel wait.
int probePrompt(MeterLink& link, int channel, bool useTestProbe, bool backspacePrefix,
                int channelWaitMs, const ChannelFacts& facts, OperationContext& ctx) {
  if (!useTestProbe) return waitChannelReady(link, channel, channelWaitMs, facts, ctx, backspacePrefix);
  const std::string_view probe = backspacePrefix ? "\b\b\b\b\b\btest\r" : "test\r";
  const int sent = sendCommand(link, probe, kSendBaseTimeoutMs, ctx);
  if (sent != kOk) return sent;
  return receiveUntil(link, nullptr, "???", kAnswerTimeoutMs, ctx);
}

// Purge results other than success and "never quiet" end the preparation.
int purgeForPrompt(MeterLink& link, int totalMs, int quietMs, OperationContext& ctx) {
  OperationContext quiet = quietCopy(ctx);
  const int result = purgeInput(link, totalMs, quietMs, quiet);
  if (result != kOk && result != kTimeout && result != kCancelled) ctx.report(kPurgeFailed, result);
  return result;
}

int preparePrompt(MeterLink& link, int channel, bool useTestProbe, bool backspacePrefix,
                  int channelWaitMs, const ChannelFacts& facts, OperationContext& ctx) {
  int result = purgeForPrompt(link, 5000, 50, ctx);
  if (result != kOk && result != kTimeout) return result;

  OperationContext quiet = quietCopy(ctx);
  result = probePrompt(link, channel, useTestProbe, backspacePrefix, channelWaitMs, facts, quiet);
  if (result == kOk || result == kCancelled) return result;
  if (result != kTimeout) {
    if (result == kChannelNotReady)
      ctx.report(channelFailureText(channel, facts));
    else
      ctx.report("Impossible de recevoir des donnees", result);
    return result;
  }

  // No answer: the meter may be showing a menu screen.
  result = sendCommand(link, kLeaveMenu, kSendBaseTimeoutMs, ctx);
  if (result != kOk) return result;
  result = purgeForPrompt(link, 5000, 3000, ctx);
  if (result == kTimeout) {
    result = sendCommand(link, kFormFeedLeaveMenu, kSendBaseTimeoutMs, ctx);
    if (result != kOk) return result;
    result = purgeForPrompt(link, 50000, 3000, ctx);
  }
  if (result != kOk && result != kTimeout) return result;

  // The second probe reports its own failures.
  return probePrompt(link, channel, useTestProbe, backspacePrefix, channelWaitMs, facts, ctx);
}

// ---------------------------------------------------------------------------
// Listings.

bool tooBig(std::size_t stored, std::size_t more, std::size_t limit) {
  return more > limit || stored > limit - more;
}

// Stops a listing the meter is still sending. Runs whatever the cancel flag
// says and reports nothing: the caller reports why the collection ended.
void stopListing(MeterLink& link, const OperationContext& ctx) {
  OperationContext stop = quietCopy(ctx);
  stop.cancelFlag = nullptr;
  if (stop.progress != nullptr) stop.progress->start(kStoppingListing);
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (sendCommand(link, std::string_view(&kCan, 1), kSendBaseTimeoutMs, stop) != kOk) return;
    const int purged = purgeInput(link, 5000, 3000, stop);
    if (purged == kOk) {
      if (sendCommand(link, "\r", kSendBaseTimeoutMs, stop) == kOk)
        receiveUntil(link, nullptr, "???", 5000, stop);
      return;
    }
    if (purged != kTimeout) return;
  }
}

}  // namespace

// ---------------------------------------------------------------------------

int sendCommand(MeterLink& link, std::string_view text, int baseTimeoutMs, OperationContext& ctx) {
  const std::int64_t timeoutMs = static_cast<std::int64_t>(baseTimeoutMs) + 5 * static_cast<std::int64_t>(text.size());
  const std::int64_t start = ctx.nowMs();
  if (!link.isOpen()) {
    ctx.report(kSendFailed, kLinkClosedStatus);
    return kLinkClosedStatus;
  }
  IdleWait idle;
  std::size_t sent = 0;
  while (sent < text.size()) {
    if (ctx.cancelled()) return kCancelled;
    int status = 0;
    bool moved = false;
    if (link.kind() == TransportKind::Tcp) {
      const std::size_t taken = link.tcpSend(text.data() + sent, text.size() - sent, status);
      sent += taken;
      moved = taken > 0;
    } else if (link.bulkTransfer) {
      // File transfers go at line speed: as much as the driver takes at once.
      const std::size_t taken = link.writeSerialBytes(text.data() + sent, text.size() - sent, status);
      sent += taken;
      moved = taken > 0;
    } else if (link.writeSerialByte(static_cast<std::uint8_t>(text[sent]), status, ctx) == 1) {
      ++sent;
      moved = true;
    }
    if (!moved && isTransportError(status)) {
      ctx.report(kSendFailed, status);
      return status;
    }
    if (sent == text.size()) break;
    if (ctx.nowMs() - start >= timeoutMs) {
      ctx.report(kSendFailed);
      return kTimeout;
    }
    if (moved)
      idle.progressed();
    else
      idle.forWrite(link);
    ctx.tick();
  }
  return kOk;
}

int receiveUntil(MeterLink& link, const char* startMarker, const char* terminator, int timeoutMs,
                 OperationContext& ctx, ReceivedText* received) {
  AwaitedText awaited;
  awaited.alternatives[0] = startMarker;
  awaited.terminator = terminator != nullptr ? terminator : "";
  awaited.needsTerminator = 1;
  return receiveAwaited(link, awaited, timeoutMs, nullptr, ctx, received);
}

int receiveOneOf(MeterLink& link, unsigned& matchMask, const Alternatives& alternatives,
                 const char* terminator, unsigned needsTerminatorMask,
                 unsigned acceptedWithoutTerminatorMask, int timeoutMs, OperationContext& ctx,
                 ReceivedText* received) {
  AwaitedText awaited;
  awaited.alternatives = alternatives;
  awaited.terminator = terminator != nullptr ? terminator : "";
  awaited.needsTerminator = needsTerminatorMask;
  awaited.acceptedWithoutTerminator = acceptedWithoutTerminatorMask;
  matchMask = 0;
  return receiveAwaited(link, awaited, timeoutMs, &matchMask, ctx, received);
}

int receiveWithKeepAlive(MeterLink& link, unsigned& matchMask, const Alternatives& alternatives,
                         const char* terminator, int firstPhaseTimeoutMs, int keepAliveTimeoutMs,
                         OperationContext& ctx, ReceivedText* received) {
  AwaitedText awaited;
  awaited.alternatives = alternatives;
  awaited.terminator = terminator != nullptr ? terminator : "";
  awaited.needsTerminator = 0x3f;
  awaited.keepAlive = true;
  awaited.keepAliveTimeoutMs = keepAliveTimeoutMs;
  matchMask = 0;
  return receiveAwaited(link, awaited, firstPhaseTimeoutMs, &matchMask, ctx, received);
}

int purgeInput(MeterLink& link, int totalTimeoutMs, int quietMs, OperationContext& ctx) {
  if (totalTimeoutMs == 0) return kOk;
  char* area = link.receiveArea();
  if (!link.isOpen()) {
    ctx.report(kPurgeFailed, kLinkClosedStatus);
    return kLinkClosedStatus;
  }
  IdleWait idle;
  const std::int64_t start = ctx.nowMs();
  std::int64_t lastByte = start;
  for (;;) {
    if (ctx.cancelled()) {
      area[0] = '\0';
      return kCancelled;
    }
    int status = 0;
    bool pending = false;
    const std::size_t got = link.readAvailable(0, status, pending);
    const std::int64_t now = ctx.nowMs();
    if (got > 0) {
      lastByte = now;
      idle.progressed();
    } else if (isTransportError(status)) {
      // A dead link does not come back by waiting out the purge.
      area[0] = '\0';
      ctx.report(kPurgeFailed, status);
      return status;
    } else if (!pending && now - lastByte > quietMs) {
      area[0] = '\0';
      return kOk;
    }
    if (now - start >= totalTimeoutMs) {
      area[0] = '\0';
      ctx.report(kPurgeContinuous);
      return kTimeout;
    }
    if (got == 0) {
      const std::int64_t untilQuiet = quietMs - (now - lastByte) + 1;
      idle.forRead(link, static_cast<int>(std::clamp<std::int64_t>(untilQuiet, 1, 10)));
    }
    ctx.tick();
  }
}

int receiveUntilQuiet(MeterLink& link, int quietMs, int totalTimeoutMs,
                      const std::function<void(std::string_view data)>& onData, OperationContext& ctx) {
  char* area = link.receiveArea();
  area[0] = '\0';
  if (!link.isOpen()) return reportReceiveFailure(kLinkClosedStatus, ctx);
  IdleWait idle;
  const std::int64_t start = ctx.nowMs();
  std::int64_t lastByte = start;
  for (;;) {
    if (ctx.cancelled()) return kCancelled;
    int status = 0;
    bool pending = false;
    const std::size_t got = link.readAvailable(0, status, pending);
    const std::int64_t now = ctx.nowMs();
    if (got > 0) {
      area[got] = '\0';
      lastByte = now;
      idle.progressed();
      if (onData) onData(std::string_view(area, got));
    } else if (isTransportError(status)) {
      return reportReceiveFailure(status, ctx);
    } else if (now - lastByte >= quietMs) {
      return kOk;
    }
    if (now - start >= totalTimeoutMs) return kTimeout;
    if (got == 0) {
      const std::int64_t untilQuiet = quietMs - (now - lastByte);
      idle.forRead(link, static_cast<int>(std::clamp<std::int64_t>(untilQuiet, 1, 10)));
    }
    ctx.tick();
  }
}

int waitChannelReady(MeterLink& link, int channel, int timeoutMs, const ChannelFacts& facts,
                     OperationContext& ctx, bool backspacePrefix) {
  const std::int64_t start = ctx.nowMs();
  for (;;) {
    if (ctx.cancelled()) return kCancelled;
    std::uint32_t word = 0;
    const int result = readUnsigned(link, "abar", "unsigned", channel, word, backspacePrefix, ctx);
    if (result != kOk) return result;
    const bool measuring = (word & 0x10u) != 0;
    if (measuring || ctx.nowMs() - start >= timeoutMs) {
      if (facts.stateWords != nullptr) facts.stateWords->record(channel, word, link.meterFlags);
      if (measuring) return kOk;
      ctx.report(channelFailureText(channel, facts));
      return kChannelNotReady;
    }
    // A channel settles in seconds: a short rest between status reads spares
    // the meter thousands of pointless commands.
    link.waitReadable(10);
    ctx.tick();
  }
}

int resyncPrompt(MeterLink& link, int channel, bool useTestProbe, bool backspacePrefix,
                 const ChannelFacts& facts, OperationContext& ctx) {
  return preparePrompt(link, channel, useTestProbe, backspacePrefix, 0, facts, ctx);
}

void SiteAnswerParsers::setParser(int kind, SiteAnswerParser parser) {
  if (kind >= 2 && kind <= 5)
    own_[static_cast<std::size_t>(kind - 2)] = std::move(parser);
  else
    shared_ = std::move(parser);
}

const SiteAnswerParser* SiteAnswerParsers::parserFor(int kind) const {
  const SiteAnswerParser& parser = (kind >= 2 && kind <= 5) ? own_[static_cast<std::size_t>(kind - 2)] : shared_;
  return parser ? &parser : nullptr;
}

int querySiteData(MeterLink& link, const SiteQuery& query, const ChannelFacts& facts,
                  const SiteAnswerParsers& parsers, OperationContext& ctx) {
  const int channelWaitMs = (query.meterType == 0 || query.meterType == 1) ? kAnswerTimeoutMs : 0;
  int result = preparePrompt(link, query.channel, query.useTestProbe, query.backspacePrefix,
                             channelWaitMs, facts, ctx);
  if (result != kOk) return result;
  result = sendCommand(link, query.text, kSendBaseTimeoutMs, ctx);
  if (result != kOk) return result;
  ReceivedText answer;
  result = receiveUntil(link, query.startMarker, query.terminator,
                        query.meterType == 5 ? kLongAnswerTimeoutMs : kAnswerTimeoutMs, ctx, &answer);
  if (result != kOk) return result;
  const SiteAnswerParser* parser = parsers.parserFor(query.meterType);
  if (parser == nullptr) return kOk;
  const std::string_view text(link.receiveArea() + answer.markerOffset, answer.length - answer.markerOffset);
  return (*parser)(text, ctx);
}

int collectLines(MeterLink& link, std::string_view echoText, int inactivityTimeoutMs,
                 CollectedLines& out, OperationContext& ctx, std::size_t storageLimit) {
  out.lines.clear();
  out.longest = 0;
  char* area = link.receiveArea();
  area[0] = '\0';
  if (!link.isOpen()) return reportReceiveFailure(kLinkClosedStatus, ctx);

  // The echo is the command as sent; its line end never occurs inside a line.
  while (!echoText.empty() && (echoText.back() == '\r' || echoText.back() == '\n')) echoText.remove_suffix(1);

  std::vector<std::string> lines;  // oldest first; handed over reversed
  std::size_t longest = 0;
  std::size_t stored = 0;
  std::size_t pending = 0;  // bytes of an unfinished line at the start of the area
  bool anythingArrived = false;
  bool ended = false;
  IdleWait idle;
  std::int64_t lastLine = ctx.nowMs();

  int result = kOk;
  while (!ended) {
    if (ctx.cancelled()) {
      result = kCancelled;
      break;
    }
    int status = 0;
    bool pendingRead = false;
    const std::size_t got = link.readAvailable(pending, status, pendingRead);
    if (got > 0) {
      anythingArrived = true;
      idle.progressed();
      const std::size_t end = pending + got;
      area[end] = '\0';
      std::size_t lineStart = 0;
      bool memoryExhausted = false;
      for (std::size_t i = 0; i < end && !ended; ++i) {
        const char c = area[i];
        if (c != '\r' && c != kEtx) continue;
        std::size_t from = lineStart;
        while (from < i && area[from] == '\n') ++from;
        const std::string_view line(area + from, i - from);
        lineStart = i + 1;
        if (c == kEtx) ended = true;
        if (line.empty()) continue;
        lastLine = ctx.nowMs();
        if (!echoText.empty() && line.find(echoText) != std::string_view::npos) continue;
        // Each record costs its text and its bookkeeping.
        const std::size_t cost = line.size() + sizeof(std::string);
        if (tooBig(stored, cost, storageLimit)) {
          memoryExhausted = true;
          break;
        }
        try {
          lines.emplace_back(line);
        } catch (const std::bad_alloc&) {
          memoryExhausted = true;
          break;
        }
        stored += cost;
        longest = std::max(longest, line.size());
      }
      if (memoryExhausted) {
        result = kOutOfMemory;
        break;
      }
      // Keep the unfinished line at the front for the next read.
      pending = end - std::min(lineStart, end);
      if (pending > 0 && lineStart > 0) std::memmove(area, area + lineStart, pending);
      area[pending] = '\0';
      if (ended) break;
    } else if (isTransportError(status)) {
      lines.clear();
      return reportReceiveFailure(status, ctx);
    }
    if (ctx.nowMs() - lastLine >= inactivityTimeoutMs) {
      result = kTimeout;
      break;
    }
    if (got == 0) idle.forRead(link);
    ctx.tick();
  }

  if (ended) {
    try {
      out.lines.assign(std::make_move_iterator(lines.rbegin()), std::make_move_iterator(lines.rend()));
    } catch (const std::bad_alloc&) {
      out.lines.clear();
      ctx.report(kNoMemoryForLines);
      return kOutOfMemory;
    }
    out.longest = longest;
    return kOk;
  }

  lines.clear();
  lines.shrink_to_fit();
  stopListing(link, ctx);
  if (result == kOutOfMemory) ctx.report(kNoMemoryForLines);
  if (result == kTimeout) reportReceiveTimeout(anythingArrived, ctx);
  return result;
}

}  // namespace tarnlux
