// The per-path exchanges of the diagnostic loop: the diagnostic query of a
// path and the meter variable reads around it.

#include "diag/path_diagnostics.h"

#include <cstdint>

#include "common/hex.h"
#include "common/result.h"
#include "graph/signal_query.h"
#include "link/channel_state.h"
#include "link/exchange.h"
#include "link/site_answers.h"
#include "link/typed_read.h"

namespace tarnlux {

namespace {

// How a diagnostic answer is decoded.
enum class AnswerForm {
  Extended,   // kind 2
  Signal,     // kind 0 on a transit-time path
  NullTrack,  // kind 0 of a path's NullTrack signal
  Echoflux,   // kind 0 on an Echoflux channel
};

// The same query with another kind digit (the fourth character).
std::string withKindDigit(std::string_view query, char digit) {
  std::string text(query);
  if (text.size() > 3) text[3] = digit;
  return text;
}

int queryDigit(std::string_view query, std::size_t at) {
  return at < query.size() ? hexValue(query[at]) : -1;
}

// Keeps the facts' channel failure word in step with the status words the
// channel waits recorded for `channel` (only when a word was recorded).
void applyChannelState(MeterFacts& facts, int channel, const ChannelStateWords& words) {
  const std::uint32_t failed = 1u << channel;
  const std::uint32_t nullTrack = 1u << (4 + channel);
  facts.channelFailures &= ~(failed | nullTrack);
  facts.channelFailures |= words.failureWord() & (failed | nullTrack);
}

// The status word of `channel` as the last "abar" read gave it: bit 0x10 clear
// marks the channel failed, bit 0x02 clear its NullTrack (where enabled).
void recordStatusWord(MeterFacts& facts, int channel, std::uint32_t word) {
  ChannelStateWords words;
  words.record(channel, word, facts.meterFlags);
  applyChannelState(facts, channel, words);
}

// One diagnostic query through the command exchange and its decoding into
// the store. `queryText` carries the kind and channel digits the answer must
// echo; `path` is the path the readings belong to.
int runDiagnosticQuery(MeterLink& link, const std::string& queryText, AnswerForm form, int path,
                       bool backspacePrefix, MeterFacts& facts, MeasurementStore& store,
                       OperationContext& ctx) {
  const int kind = queryDigit(queryText, 3);
  const int channelDigit = queryDigit(queryText, 4);
  const int subCode = queryDigit(queryText, 5);
  if (kind < 0 || channelDigit < 0 || subCode < 0 || path < 0 || path >= kMeasuredPaths) {
    return reportAnswerFault(kHeaderWrongChannel, ctx);
  }

  // Meters that end their answers with ETX need no start marker (the echo is
  // skipped when parsing); the others end every line with "\r", so a kind-0
  // answer is awaited from inside its figure line.
  std::string marker;
  if (kind == 0) marker = signalStartMarker(facts);
  const char terminator[2] = {facts.queryTerminator, '\0'};

  SiteQuery query;
  query.text = queryText;
  query.startMarker = marker.empty() ? nullptr : marker.c_str();
  query.terminator = terminator;
  query.meterType = kind;
  query.channel = path;
  query.backspacePrefix = backspacePrefix;
  // A kind-0 query waits for the path to measure (its status word read on the
  // way is the path's status word on meters without extended diagnostics);
  // the extended answer carries the status word itself.
  query.useTestProbe = kind != 0;

  ChannelStateWords stateWords;
  const ChannelFacts channelFacts{facts.multiPath, &stateWords};

  SiteAnswerParsers parsers;
  const auto parse = [&](std::string_view answer, OperationContext& c) {
    // From the receive area's start: the start marker, when one is used, lies
    // inside the last line.
    const char* area = link.receiveArea();
    const std::string_view received(area,
                                    static_cast<std::size_t>(answer.data() + answer.size() - area));
    const std::string_view body = answerAfterEcho(received, queryText);
    int rc = 0;
    switch (form) {
      case AnswerForm::Extended:
        rc = decodeExtendedDiagnosticAnswer(body, path, facts, store);
        break;
      case AnswerForm::Echoflux:
        rc = decodeEchofluxAnswer(body, path, facts, store);
        break;
      case AnswerForm::Signal:
      case AnswerForm::NullTrack: {
        SignalAnswer signal;
        rc = parseSignalAnswer(body, SignalQueryCode{kind, channelDigit, subCode}, facts, signal);
        if (rc != 0) break;
        PathReadings& readings = store.paths[static_cast<std::size_t>(path)];
        if (form == AnswerForm::Signal)
          takeSignalFigures(signal.figures, readings, store.site);
        else
          takeNullTrackFigures(signal.figures, readings);
        break;
      }
    }
    return rc == 0 ? 0 : reportAnswerFault(rc, c);
  };
  parsers.setParser(kind, parse);
  if (kind < 2 || kind > 5) parsers.setSharedParser(parse);

  const int result = querySiteData(link, query, channelFacts, parsers, ctx);
  // The channel wait recorded the path's status word whether it measured (0)
  // or not (-3); after a later failure the record is still the wait's.
  if (kind == 0 && (result == kOk || result == kChannelNotReady)) {
    applyChannelState(facts, path, stateWords);
    if (form == AnswerForm::Signal) {
      store.paths[static_cast<std::size_t>(path)].statusWord = stateWords.lastWord[path];
    }
  }
  return result;
}

// Without extended diagnostics: the NullTrack signal of the path, when it has
// NullTrack. Its failure bit comes from the status word read first.
int readNullTrackSignal(MeterLink& link, const std::string& queryText, int path,
                        bool backspacePrefix, MeterFacts& facts, MeasurementStore& store,
                        OperationContext& ctx) {
  ChannelStateWords stateWords;
  const ChannelFacts channelFacts{facts.multiPath, &stateWords};
  const int waited =
      waitChannelReady(link, path, kAnswerTimeoutMs, channelFacts, ctx, backspacePrefix);
  if (waited == kOk || waited == kChannelNotReady) applyChannelState(facts, path, stateWords);
  if (waited != kOk) return waited;

  PathReadings& readings = store.paths[static_cast<std::size_t>(path)];
  readings.nullTrackFailed = facts.nullTrackFailed(path);
  if (readings.nullTrackFailed) {
    readings.nullTrackActive = false;
    return kOk;
  }
  const std::string text = siteQueryForChannel(withKindDigit(queryText, '0'),
                                               path + nullTrackChannelOffset(facts.meterFlags));
  return runDiagnosticQuery(link, text, AnswerForm::NullTrack, path, backspacePrefix, facts, store,
                            ctx);
}

// Reads of a transit-time path that has failed (without extended
// diagnostics, once per pass): its gains, status word, search state and,
// with NullTrack, the NullTrack readings.
int readFailedPath(MeterLink& link, int n, bool backspacePrefix, MeterFacts& facts,
                   MeasurementStore& store, OperationContext& ctx) {
  PathReadings& readings = store.paths[static_cast<std::size_t>(n)];
  std::int32_t v = 0;
  // "alc_avg" counts the gain the meter's way: (4096 - v / 32) / 40 percent.
  int rc = readInt(link, "qm", "alc_avg", "int", 2 * n, v, 10, ctx);
  if (rc != kOk) return rc;
  readings.alcUp = (4096 - (v >> 5)) / 40;
  rc = readInt(link, "qm", "alc_avg", "int", 2 * n + 1, v, 10, ctx);
  if (rc != kOk) return rc;
  readings.alcDown = (4096 - (v >> 5)) / 40;

  std::uint32_t word = 0;
  rc = readUnsigned(link, "abar", "unsigned", n, word, backspacePrefix, ctx);
  if (rc != kOk) return rc;
  readings.statusWord = word;
  recordStatusWord(facts, n, word);
  rc = readIntInRange(link, "cv", "make_state", "short", n, kMakeStateRange, v, ctx);
  if (rc != kOk) return rc;
  readings.searchStateCode = v;

  if (!meter_flags::nullTrackAvailable(facts.meterFlags, n)) return kOk;
  readings.nullTrackFailed = facts.nullTrackFailed(n);
  readings.nullTrackActive = !readings.nullTrackFailed;
  if (readings.nullTrackFailed) return kOk;

  const int index = n + nullTrackChannelOffset(facts.meterFlags);
  std::uint32_t signal = 0;
  rc = readUnsigned(link, "sigstr", "unsigned", index, signal, backspacePrefix, ctx);
  if (rc != kOk) return rc;
  readings.nullTrackSignal = signal;
  double deltaT = 0;
  rc = readDouble(link, "delta_t", index, deltaT, ctx);
  if (rc != kOk) return rc;
  // Seconds as the meter holds them: nanoseconds on liquid meters,
  // microseconds on gas meters.
  store.site.nanoseconds = !facts.gasMeter;
  readings.nullTrackDeltaTime = deltaT * (facts.gasMeter ? 1e6 : 1e9);
  rc = readIntInRange(link, "cv", "fx", "int", index, kFxRange, v, ctx);
  if (rc != kOk) return rc;
  readings.referenceCount = v;
  return kOk;
}

}  // namespace

std::string diagnosticQueryText(bool extendedDiagnostics, int path) {
  return siteQuery(extendedDiagnostics ? 2 : 0, path, 8);
}

int queryPathDiagnostics(MeterLink& link, int path, MeterFacts& facts, MeasurementStore& store,
                         OperationContext& ctx) {
  AnswerForm form = AnswerForm::Extended;
  if (!facts.extendedDiagnostics) {
    form = facts.echofluxMode && meter_flags::isEchofluxChannel(facts.meterFlags, path)
               ? AnswerForm::Echoflux
               : AnswerForm::Signal;
  }
  return runDiagnosticQuery(link, diagnosticQueryText(facts.extendedDiagnostics, path), form, path,
                            false, facts, store, ctx);
}

int readPathDiagnostics(MeterLink& link, const std::string& queryText, int path,
                        bool backspacePrefix, bool captureRow, bool lastPathOfPass,
                        MeterFacts& facts, MeasurementStore& store, OperationContext& ctx) {
  if (path < 0 || path >= kMeasuredPaths) return reportAnswerFault(kHeaderWrongChannel, ctx);
  // Meters with the memory block send all of this in their extended answer.
  const bool plain = !facts.extendedDiagnostics;
  int rc = kOk;

  // 1. The path's own reads.
  if (plain && !captureRow) {
    if (meter_flags::nullTrackAvailable(facts.meterFlags, path)) {
      rc = readNullTrackSignal(link, queryText, path, backspacePrefix, facts, store, ctx);
      if (rc != kOk) return rc;
    }
    PathReadings& readings = store.paths[static_cast<std::size_t>(path)];
    std::int32_t v = 0;
    rc = readInt(link, "cv", "accept", "int", path, v, 10, ctx);
    if (rc != kOk) return rc;
    readings.accepted = v;
    rc = readIntInRange(link, "cv", "rep_rate", "short", path, kRepRateRange, v, ctx);
    if (rc != kOk) return rc;
    readings.transmitRate = v;
    rc = readIntInRange(link, "cv", "make_state", "short", path, kMakeStateRange, v, ctx);
    if (rc != kOk) return rc;
    readings.searchStateCode = v;
  }

  // 2. Once per pass: the transit-time paths that have failed.
  if (plain && (lastPathOfPass || captureRow)) {
    for (int n = 0; n < kMeasuredPaths; ++n) {
      if (!meter_flags::isTransitTimeChannel(facts.meterFlags, n) ||
          meter_flags::isEchofluxChannel(facts.meterFlags, n) || !facts.channelFailed(n)) {
        continue;
      }
      rc = readFailedPath(link, n, backspacePrefix, facts, store, ctx);
      if (rc != kOk) return rc;
    }
  }

  // 4. An Echoflux channel answers the kind-0 query with its spectrum.
  if (facts.echofluxMode && meter_flags::isEchofluxChannel(facts.meterFlags, path)) {
    rc = runDiagnosticQuery(link, withKindDigit(queryText, '0'), AnswerForm::Echoflux, path,
                            backspacePrefix, facts, store, ctx);
  }
  return rc;
}

}  // namespace tarnlux
