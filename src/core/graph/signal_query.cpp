#include "graph/signal_query.h"

#include "common/result.h"
#include "link/exchange.h"
#include "link/site_answers.h"

namespace tarnlux {

bool signalChannelSelectable(std::uint32_t meterFlags, int channel) {
  return meter_flags::isTransitTimeChannel(meterFlags, channel) &&
         !meter_flags::isEchofluxChannel(meterFlags, channel);
}

int nullTrackChannelOffset(std::uint32_t meterFlags) {
  return static_cast<int>(meterFlags & 0x3u) +
         ((meterFlags & meter_flags::kMultiPathQuery) != 0 ? 2 : 1);
}

void fitSignalSettings(SignalSettings& settings, std::uint32_t meterFlags) {
  if (!signalChannelSelectable(meterFlags, settings.channel)) settings.channel = kNoSignalChannel;
  if (settings.channel == kNoSignalChannel ||
      !meter_flags::nullTrackAvailable(meterFlags, settings.channel)) {
    settings.nullTrackChosen = false;
  }
  settings.nullTrackOffset = settings.nullTrackChosen ? nullTrackChannelOffset(meterFlags) : 0;
}

SignalQueryCode signalQueryCode(const SignalSettings& settings) {
  return {settings.graphType, settings.channel + settings.nullTrackOffset, settings.resolution};
}

std::string signalQueryText(const SignalQueryCode& code) {
  return siteQuery(code.graphType, code.channelDigit, code.resolution);
}

std::string signalStartMarker(const MeterFacts& facts) {
  if (facts.queryTerminator == kEtx || facts.typeText.empty()) return {};
  return "," + facts.typeText + "," + facts.versionText + ",";
}

int querySignal(MeterLink& link, const SignalSettings& settings, const MeterFacts& facts,
                SignalAnswer& out, OperationContext& ctx, ChannelStateWords* stateWords) {
  const SignalQueryCode code = signalQueryCode(settings);
  const std::string text = signalQueryText(code);
  const std::string marker = signalStartMarker(facts);
  const char terminator[2] = {facts.queryTerminator, '\0'};

  SiteQuery query;
  query.text = text;
  query.startMarker = marker.empty() ? nullptr : marker.c_str();
  query.terminator = terminator;
  query.meterType = code.graphType;
  query.channel = settings.channel;
  // The channel wait, not the "test" probe: a path that does not measure
  // must show up as a failed path.
  query.useTestProbe = false;

  SiteAnswerParsers parsers;
  parsers.setSharedParser([&](std::string_view answer, OperationContext& c) {
    // The exchange hands over the text from the start marker; the header and
    // the bursts lie before it in the receive area.
    const char* area = link.receiveArea();
    const std::string_view received(area,
                                    static_cast<std::size_t>(answer.data() + answer.size() - area));
    const int rc = parseSignalAnswer(answerAfterEcho(received, text), code, facts, out);
    if (rc == kSignalAnswerNoData)
      c.report(kSignalNoAnswer);
    else if (rc != kOk)
      c.report(kSignalBadAnswer, rc);
    return rc;
  });
  const ChannelFacts channelFacts{facts.multiPath, stateWords};
  return querySiteData(link, query, channelFacts, parsers, ctx);
}

std::string signalRetryText(const std::string& failure) {
  return failure + ".\n" + kSignalRetryQuestion;
}

SignalLoopEnd runSignalLoop(SignalLoopHost& host) {
  bool reconnectionSpent = false;
  for (;;) {
    const int result = host.queryOnce();
    if (result == kOk) {
      reconnectionSpent = false;
      host.showAnswer();
      if (!host.continuous()) return SignalLoopEnd::Done;
      continue;
    }
    if (result == kCancelled) return SignalLoopEnd::Stopped;

    if (result == kChannelNotReady || result == kSignalAnswerNoData) {
      const std::string failure =
          result == kChannelNotReady ? host.pathFailureText() : std::string(kSignalNoAnswer);
      if (!host.continuous()) {
        host.showError(failure, -1);
        return SignalLoopEnd::Declined;
      }
      if (!host.askRetry(signalRetryText(failure))) return SignalLoopEnd::Declined;
      host.clearPicture();
      continue;
    }

    if (host.tcpLink() && !reconnectionSpent) {
      reconnectionSpent = true;
      const int reopened = host.reopenLink();
      if (reopened == kOk) continue;
      if (reopened == kCancelled) return SignalLoopEnd::Stopped;
      host.showError(kSignalCommunicationFailed, reopened);
      host.closeLink();
      return SignalLoopEnd::Failed;
    }
    if (isSignalAnswerFault(result)) host.showError(kSignalBadAnswer, result);
    host.showError(kSignalCommunicationFailed, result);
    host.closeLink();
    return SignalLoopEnd::Failed;
  }
}

}  // namespace tarnlux
