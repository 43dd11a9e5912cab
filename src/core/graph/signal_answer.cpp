#include "graph/signal_answer.h"

#include <cstdint>

#include "link/site_answers.h"
#include "link/site_answers_fields.h"

namespace tarnlux {

using answer_fields::readInteger;
using answer_fields::readReal;
using answer_fields::skipBlanks;
using answer_fields::splitFields;

namespace {

bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

// Upper-case digits only: the meter never sends lower case here.
int upperHexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The next non-empty line of `rest`, which moves past it.
std::string_view nextLine(std::string_view& rest) {
  std::size_t start = 0;
  while (start < rest.size() && isLineEnd(rest[start])) ++start;
  std::size_t end = start;
  while (end < rest.size() && !isLineEnd(rest[end])) ++end;
  const std::string_view line = rest.substr(start, end - start);
  rest.remove_prefix(end);
  return line;
}

bool textField(std::string_view field, std::string& out) {
  if (field.size() > 16) return false;
  out.assign(field);
  return true;
}

bool realField(std::string_view field, double& out) { return readReal(skipBlanks(field), out); }

bool intField(std::string_view field, int& out) {
  std::int32_t value = 0;
  if (!readInteger(skipBlanks(field), value)) return false;
  out = value;
  return true;
}

}  // namespace

bool isSignalAnswerFault(int code) {
  return (code >= kHeaderKindNibbleDiffers && code <= kHeaderSlotNibbleDiffers) ||
         (code >= kSignalWaveformBadHead && code <= kSignalBadWaveformOffset) ||
         code == kSignalAnswerEndsEarly || code == kSignalAnswerNoData;
}

int decodeWaveformLine(std::string_view line, SignalWaveform& out) {
  if (line.size() < 8) return kSignalWaveformBadHead;
  int digits[8];
  for (std::size_t i = 0; i < 8; ++i) {
    digits[i] = upperHexValue(line[i]);
    if (digits[i] < 0) return kSignalWaveformBadHead;
  }
  if (line.size() > kSignalMaxLineLength) return kSignalWaveformTooLong;
  out.marker = digits[0] << 8 | digits[1] << 4 | digits[2];
  out.alignment = digits[3] << 8 | digits[4] << 4 | digits[5];
  int sample = static_cast<std::int8_t>(static_cast<std::uint8_t>(digits[6] << 4 | digits[7]));
  out.samples.clear();
  out.samples.push_back(sample);
  for (std::size_t i = 8; i < line.size(); ++i) {
    const int code = static_cast<unsigned char>(line[i]);
    if (code < 33 || code > 127) return kSignalWaveformBadCharacter;
    sample += code - 80;
    out.samples.push_back(sample);
  }
  return 0;
}

int parseSignalFigureLine(std::string_view line, std::size_t minFields, bool extendedDiagnostics,
                          SignalFigures& out) {
  const std::vector<std::string_view> f = splitFields(line);
  if (f.size() < minFields) return kSignalFiguresTooFew;
  const auto field = [&](std::size_t i) { return i < f.size() ? f[i] : std::string_view(); };

  std::string_view site = field(0);
  while (!site.empty() && site.back() == ' ') site.remove_suffix(1);
  if (!textField(site, out.siteName)) return kSignalBadSiteName;
  if (!textField(skipBlanks(field(1)), out.systemName)) return kSignalBadSystemName;
  if (!textField(skipBlanks(field(2)), out.versionText)) return kSignalBadVersion;
  if (!textField(skipBlanks(field(3)), out.dateText)) return kSignalBadDate;
  if (!textField(skipBlanks(field(4)), out.timeText)) return kSignalBadTime;
  out.meterTimeValid = parseMeterDateTime(out.dateText, out.timeText, out.meterTime);
  if (!extendedDiagnostics && !out.meterTimeValid) return kSignalBadTime;

  if (!realField(field(5), out.flowVelocity)) return kSignalBadFlowVelocity;
  if (!realField(field(6), out.soundSpeed)) return kSignalBadSoundSpeed;
  out.metric = skipBlanks(field(7)).starts_with('M');
  if (!realField(field(8), out.timeDifference)) return kSignalBadTimeDifference;
  out.nanoseconds = skipBlanks(field(9)).starts_with('n');
  if (!realField(field(10), out.arrivalUp)) return kSignalBadArrivalUp;
  if (!realField(field(11), out.arrivalDown)) return kSignalBadArrivalDown;
  // Field 12 is not used.
  if (!intField(field(13), out.gainUp)) return kSignalBadGainUp;
  if (!intField(field(14), out.gainDown)) return kSignalBadGainDown;
  // Field 15, the search state, is kept but neither shown nor checked here:
  // whatever the meter puts there must not cost the whole answer. Without
  // extended diagnostics it is a code (0 when it is none), with them the
  // meter's own word for it (its first 16 characters).
  out.searchStateText.clear();
  out.searchStateCode = 0;
  if (extendedDiagnostics) {
    out.searchStateText.assign(skipBlanks(field(15)).substr(0, 16));
  } else if (!intField(field(15), out.searchStateCode)) {
    out.searchStateCode = 0;
  }
  if (!intField(field(16), out.adcFill)) return kSignalBadAdcFill;
  if (!realField(field(17), out.snrUp)) return kSignalBadSnrUp;
  if (!realField(field(18), out.snrDown)) return kSignalBadSnrDown;
  if (!intField(field(19), out.envelopeChange)) return kSignalBadEnvelopeChange;
  if (!intField(field(20), out.frequencyCode)) return kSignalBadFrequencyCode;

  out.hasWaveformOffset = false;
  out.waveformOffset = 0;
  if (extendedDiagnostics && f.size() > 21) {
    // A shift wider than the trace would only push both bursts off the plot.
    if (!intField(field(21), out.waveformOffset) || out.waveformOffset < -kSignalMaxSamples ||
        out.waveformOffset > kSignalMaxSamples) {
      return kSignalBadWaveformOffset;
    }
    out.hasWaveformOffset = true;
  }
  return 0;
}

int parseSignalAnswer(std::string_view answer, const SignalQueryCode& query,
                      const MeterFacts& facts, SignalAnswer& out) {
  const AnswerText text = splitAnswer(answer);
  if (text.empty) return facts.extendedDiagnostics ? kSignalAnswerNoData : kSignalAnswerEndsEarly;
  if (const int rc = checkAnswerHeader(text.header, query.graphType, query.channelDigit,
                                       query.resolution, facts);
      rc != 0) {
    return rc;
  }
  out.graphType = query.graphType;
  out.channelDigit = query.channelDigit;
  out.resolution = query.resolution;

  std::string_view rest = text.rest;
  const std::string_view lineA = nextLine(rest);
  if (lineA.empty())
    return facts.extendedDiagnostics ? kSignalAnswerNoData : kSignalAnswerEndsEarly;
  const std::string_view lineB = nextLine(rest);
  const std::string_view figures = nextLine(rest);
  if (lineB.empty() || figures.empty()) return kSignalAnswerEndsEarly;

  if (const int rc = decodeWaveformLine(lineA, out.a); rc != 0) return rc;
  if (const int rc = decodeWaveformLine(lineB, out.b); rc != 0) return rc;
  if (out.a.samples.size() != out.b.samples.size()) return kSignalWaveformLengthsDiffer;
  return parseSignalFigureLine(figures, kSignalMinFigureFields, facts.extendedDiagnostics,
                               out.figures);
}

}  // namespace tarnlux
