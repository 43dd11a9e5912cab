// The decoders of the per-path diagnostic answers: the extended diagnostic
// answer (kind 2), the signal figures of a kind-0 answer, and the Echoflux
// form of the kind-0 answer. Pure functions over the answer text.

#include <cstdint>
#include <vector>

#include "common/hex.h"
#include "diag/path_diagnostics.h"
#include "link/site_answers.h"
#include "link/site_answers_fields.h"

namespace tarnlux {

using answer_fields::readInteger;
using answer_fields::readReal;
using answer_fields::skipBlanks;
using answer_fields::splitFields;
using answer_fields::trimBlanks;

namespace {

bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

// The line at the start of `rest` (up to CR or LF); `rest` moves past it and
// one line end (CR, LF or CR LF). An empty line stays an empty line.
std::string_view takeLine(std::string_view& rest) {
  std::size_t end = 0;
  while (end < rest.size() && !isLineEnd(rest[end])) ++end;
  const std::string_view line = rest.substr(0, end);
  if (end < rest.size() && rest[end] == '\r') ++end;
  if (end < rest.size() && rest[end] == '\n') ++end;
  rest.remove_prefix(end);
  return line;
}

// The next line that holds something; false when only line ends are left.
bool nextNonEmptyLine(std::string_view& rest, std::string_view& line) {
  while (!rest.empty() && isLineEnd(rest.front())) rest.remove_prefix(1);
  if (rest.empty()) return false;
  line = takeLine(rest);
  return true;
}

// The status word: hexadecimal digits (either case), at most 8.
bool readHexWord(std::string_view text, std::uint32_t& value) {
  text = trimBlanks(text);
  if (text.empty() || text.size() > 8) return false;
  std::uint32_t v = 0;
  for (char c : text) {
    const int digit = hexValue(c);
    if (digit < 0) return false;
    v = v << 4 | static_cast<std::uint32_t>(digit);
  }
  value = v;
  return true;
}

// Reads the positions of the extended diagnostic answer's field line. A
// position past the end of the line is missing; a required position that is
// missing or malformed gives its fault, an optional one that is empty or
// missing reads as 0.
class DiagFields {
 public:
  explicit DiagFields(std::string_view line) : fields_(splitFields(line)) {}

  bool present(std::size_t i) const { return i < fields_.size(); }
  std::string_view raw(std::size_t i) const { return present(i) ? fields_[i] : std::string_view(); }
  std::string_view value(std::size_t i) const { return trimBlanks(raw(i)); }

  int requiredReal(std::size_t i, int fault, double& out) const {
    return present(i) && readReal(value(i), out) ? 0 : fault;
  }
  int requiredInteger(std::size_t i, int fault, std::int32_t& out) const {
    return present(i) && readInteger(value(i), out) ? 0 : fault;
  }
  int optionalReal(std::size_t i, double& out) const {
    if (value(i).empty()) {
      out = 0;
      return 0;
    }
    return readReal(value(i), out) ? 0 : kDiagBadOptionalNumber;
  }
  int optionalInteger(std::size_t i, std::int32_t& out) const {
    if (value(i).empty()) {
      out = 0;
      return 0;
    }
    return readInteger(value(i), out) ? 0 : kDiagBadOptionalNumber;
  }
  // A text of at most 16 characters; it must be there (it may be empty).
  int requiredText(std::size_t i, int fault, std::string& out) const {
    if (!present(i) || value(i).size() > 16) return fault;
    out = std::string(value(i));
    return 0;
  }

 private:
  std::vector<std::string_view> fields_;
};

// Channel line numbers: integers are digits only, reals digits with one "."
// and an optional leading "-".
bool digitsOnly(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

bool echofluxInteger(std::string_view text, std::uint32_t& value) {
  if (!digitsOnly(text) || text.size() > 9) return false;
  std::int32_t v = 0;
  if (!readInteger(text, v)) return false;
  value = static_cast<std::uint32_t>(v);
  return true;
}

}  // namespace

int decodeExtendedDiagnosticAnswer(std::string_view answer, int path, const MeterFacts& facts,
                                   MeasurementStore& store) {
  if (path < 0 || path >= kMeasuredPaths) return kHeaderWrongChannel;
  const int endsEarly = facts.extendedDiagnostics ? kDiagEndsEarly : kDiagEndsEarlyPlain;
  const AnswerText text = splitAnswer(answer);
  if (text.empty) return endsEarly;
  if (text.header.size() < 8) return kDiagHeaderTooShort;
  if (const int rc = checkAnswerHeader(text.header, 2, path, 8, facts); rc != 0) return rc;

  std::string_view rest = text.rest;
  std::string_view line;
  if (!nextNonEmptyLine(rest, line)) return endsEarly;
  const DiagFields f(line);

  // Everything is decoded into copies first: a fault leaves the store as it was.
  PathReadings p = store.paths[static_cast<std::size_t>(path)];
  SiteReadings s = store.site;
  int rc = 0;

  if (!f.present(0) || f.value(0).empty() || f.value(0).size() > 16) return kDiagBadDate;
  if (!f.present(1) || f.value(1).empty() || f.value(1).size() > 16) return kDiagBadTime;
  MeterDateTime when;
  if (!parseMeterDateTime(f.value(0), f.value(1), when)) return kDiagBadDateTime;
  s.meterDateText = std::string(f.value(0));
  s.meterTimeText = std::string(f.value(1));
  s.meterTime = when;

  // Positions 2 to 5 carry the flow velocities of paths 1 to 4: the answer's
  // own path is taken, each path's answer brings its own.
  double velocities[5] = {};
  for (std::size_t i = 0; i < 5; ++i) {
    if ((rc = f.optionalReal(2 + i, velocities[i])) != 0) return rc;
  }
  p.flowVelocity = velocities[path];
  s.averageFlowVelocity = velocities[4];

  if ((rc = f.requiredReal(7, kDiagBadSoundSpeed, p.soundSpeed)) != 0) return rc;
  s.metricVelocity = f.value(8).starts_with('M');
  if ((rc = f.requiredReal(9, kDiagBadDeltaTime, p.deltaTime)) != 0) return rc;
  s.nanoseconds = f.value(10).starts_with('n');
  if ((rc = f.requiredInteger(11, kDiagBadAlcUp, p.alcUp)) != 0) return rc;
  if ((rc = f.requiredInteger(12, kDiagBadAlcDown, p.alcDown)) != 0) return rc;
  if ((rc = f.requiredInteger(13, kDiagBadTransmitRate, p.transmitRate)) != 0) return rc;
  if ((rc = f.requiredInteger(14, kDiagBadAdcBuffer, p.adcBuffer)) != 0) return rc;
  if ((rc = f.requiredReal(15, kDiagBadSnrUp, p.snrUp)) != 0) return rc;
  if ((rc = f.requiredReal(16, kDiagBadSnrDown, p.snrDown)) != 0) return rc;
  if ((rc = f.requiredInteger(17, kDiagBadEnvelopeChange, p.envelopeChange)) != 0) return rc;
  if ((rc = f.requiredInteger(18, kDiagBadReferenceCount, p.referenceCount)) != 0) return rc;

  if ((rc = f.optionalReal(19, p.flow)) != 0) return rc;
  if ((rc = f.optionalReal(20, p.standardFlow)) != 0) return rc;
  if ((rc = f.optionalReal(21, s.pressure)) != 0) return rc;
  if ((rc = f.optionalReal(22, s.compressibility)) != 0) return rc;
  if ((rc = f.optionalReal(23, p.soundSpeedDifference)) != 0) return rc;

  if ((rc = f.requiredText(24, kDiagBadFlowUnits, s.flowUnitsText)) != 0) return rc;
  if ((rc = f.requiredReal(25, kDiagBadTotal, s.total)) != 0) return rc;
  if ((rc = f.requiredText(26, kDiagBadTotalUnits, s.totalUnitsText)) != 0) return rc;

  std::int32_t nullTrackActive = 0;
  if ((rc = f.optionalInteger(27, nullTrackActive)) != 0) return rc;
  p.nullTrackActive = nullTrackActive != 0;
  if ((rc = f.optionalInteger(28, p.nullTrackAlc)) != 0) return rc;
  if ((rc = f.optionalReal(29, p.nullTrackDeltaTime)) != 0) return rc;
  if (!f.present(30) || !readHexWord(f.value(30), p.statusWord)) return kDiagBadStatusWord;
  if ((rc = f.requiredReal(31, kDiagBadCorrelation, p.correlationQuality)) != 0) return rc;
  std::int32_t reserved = 0;
  if ((rc = f.requiredInteger(32, kDiagBadReserved, reserved)) != 0) return rc;
  if ((rc = f.requiredInteger(33, kDiagBadAccepted, p.accepted)) != 0) return rc;
  if ((rc = f.requiredText(34, kDiagBadSearchState, p.searchStateText)) != 0) return rc;

  if ((rc = f.optionalReal(35, s.temperature)) != 0) return rc;
  const std::string_view unit = f.value(36);
  if (unit.empty()) {
    s.temperatureUnit = '\0';
  } else if (unit == "F" || unit == "C") {
    s.temperatureUnit = unit[0];
  } else {
    return kDiagBadTemperatureUnit;
  }
  double unused = 0;
  if ((rc = f.optionalReal(37, unused)) != 0) return rc;

  store.paths[static_cast<std::size_t>(path)] = std::move(p);
  store.site = std::move(s);
  return 0;
}

void takeSignalFigures(const SignalFigures& figures, PathReadings& path, SiteReadings& site) {
  path.alcUp = figures.gainUp;
  path.alcDown = figures.gainDown;
  path.snrUp = figures.snrUp;
  path.snrDown = figures.snrDown;
  path.adcBuffer = figures.adcFill;
  path.envelopeChange = figures.envelopeChange;
  path.deltaTime = figures.timeDifference;
  path.flowVelocity = figures.flowVelocity;
  path.soundSpeed = figures.soundSpeed;
  path.searchStateCode = figures.searchStateCode;
  path.searchStateText = figures.searchStateText;

  site.metricVelocity = figures.metric;
  site.nanoseconds = figures.nanoseconds;
  site.meterDateText = figures.dateText;
  site.meterTimeText = figures.timeText;
  // With extended diagnostics the texts are taken as sent; a pair that fails
  // the rule leaves the last good time stamp.
  if (figures.meterTimeValid) site.meterTime = figures.meterTime;
}

void takeNullTrackFigures(const SignalFigures& figures, PathReadings& path) {
  path.nullTrackActive = true;
  path.nullTrackFailed = false;
  path.nullTrackDeltaTime = figures.timeDifference;
  path.nullTrackAlc = (figures.gainUp + figures.gainDown) / 2;
  path.referenceCount = figures.frequencyCode;
}

int decodeEchofluxAnswer(std::string_view answer, int channel, const MeterFacts& facts,
                         MeasurementStore& store) {
  if (channel < 0 || channel >= kMeasuredPaths) return kHeaderWrongChannel;
  const AnswerText text = splitAnswer(answer);
  if (text.empty) return facts.memoryBlock ? kSignalAnswerNoData : kSignalAnswerEndsEarly;
  if (const int rc = checkAnswerHeader(text.header, 0, channel, 8, facts); rc != 0) return rc;

  std::string_view rest = text.rest;
  std::string_view channelLine;
  if (!nextNonEmptyLine(rest, channelLine)) return kSignalAnswerEndsEarly;

  // 1. The channel line.
  const std::vector<std::string_view> f = splitFields(channelLine);
  if (f.size() != kEchofluxChannelFields) return kEchofluxFieldCount;
  EchofluxReadings e = store.echoflux[static_cast<std::size_t>(channel)];
  PathReadings p = store.paths[static_cast<std::size_t>(channel)];
  SiteReadings s = store.site;

  // Fields are checked in order: an empty one gives its own fault.
  auto emptyFault = [](std::size_t i) {
    return kEchofluxFieldEmptyFirst + static_cast<int>(i) + (i >= 6 ? 1 : 0);
  };
  auto integer = [&](std::size_t i, std::uint32_t& out) {
    if (f[i].empty()) return emptyFault(i);
    return echofluxInteger(f[i], out) ? 0 : kEchofluxBadInteger;
  };
  auto signedInteger = [&](std::size_t i, std::int32_t& out) {
    std::uint32_t v = 0;
    if (const int fault = integer(i, v); fault != 0) return fault;
    out = static_cast<std::int32_t>(v);
    return 0;
  };
  auto real = [&](std::size_t i, double& out) {
    if (f[i].empty()) return emptyFault(i);
    return readReal(f[i], out) ? 0 : kEchofluxBadReal;
  };

  int rc = 0;
  std::uint32_t bins = 0;
  double reserved = 0;
  if ((rc = integer(0, e.noiseReading)) != 0) return rc;
  if ((rc = signedInteger(1, e.lowMarkerBin)) != 0) return rc;
  if ((rc = real(2, p.flow)) != 0) return rc;
  if ((rc = signedInteger(3, e.highMarkerBin)) != 0) return rc;
  if ((rc = real(4, p.flowVelocity)) != 0) return rc;
  if ((rc = integer(5, bins)) != 0) return rc;
  if (bins > kSpectrumBinsMax) return kEchofluxTooManyBins;
  if ((rc = integer(6, e.fftPeak)) != 0) return rc;
  if ((rc = signedInteger(7, e.fftsPerSecond)) != 0) return rc;
  if ((rc = signedInteger(8, e.dopplerFrequency)) != 0) return rc;
  if ((rc = real(9, reserved)) != 0) return rc;
  if ((rc = signedInteger(10, e.signalStrength)) != 0) return rc;
  if ((rc = real(11, e.deviation)) != 0) return rc;
  if ((rc = real(12, reserved)) != 0) return rc;
  if (f[13].empty()) return emptyFault(13);
  if (f[13] == "1") {
    e.highFlowRange = true;
  } else if (f[13] == "0") {
    e.highFlowRange = false;
  } else {
    return kEchofluxBadFlowRange;
  }
  if ((rc = real(14, e.fluidType)) != 0) return rc;

  // 2. The spectrum line: exactly N bin heights. With N = 0 it is an empty line.
  std::string_view spectrumLine;
  if (bins == 0) {
    if (rest.empty()) return kSignalAnswerEndsEarly;
    spectrumLine = takeLine(rest);
    if (!spectrumLine.empty()) return kEchofluxBinCount;
  } else {
    if (!nextNonEmptyLine(rest, spectrumLine)) return kSignalAnswerEndsEarly;
    const std::vector<std::string_view> b = splitFields(spectrumLine);
    if (b.size() != bins) return kEchofluxBinCount;
    for (std::size_t i = 0; i < b.size(); ++i) {
      if (b[i].empty()) return kEchofluxEmptyBin;
      std::uint32_t height = 0;
      if (!echofluxInteger(b[i], height) || height > 0xFFFFu) return kEchofluxBadBin;
      e.spectrum[i] = static_cast<std::uint16_t>(height);
    }
  }
  for (std::size_t i = bins; i < kSpectrumBinsMax; ++i) e.spectrum[i] = 0;
  e.spectrumBins = bins;

  // 3. The figure line of the signal answer: the meter's clock and units.
  std::string_view figureLine;
  if (!nextNonEmptyLine(rest, figureLine)) return kSignalAnswerEndsEarly;
  SignalFigures figures;
  // Twenty fields end before the frequency code, which the channel does not
  // need: it reads as 0.
  std::string figureText(figureLine);
  if (splitFields(figureLine).size() == kEchofluxMinFigureFields) figureText += ",0";
  if ((rc = parseSignalFigureLine(figureText, kEchofluxMinFigureFields, facts.extendedDiagnostics,
                                  figures)) != 0) {
    return rc;
  }
  s.metricVelocity = figures.metric;
  s.nanoseconds = figures.nanoseconds;
  s.meterDateText = figures.dateText;
  s.meterTimeText = figures.timeText;
  if (figures.meterTimeValid) s.meterTime = figures.meterTime;

  store.echoflux[static_cast<std::size_t>(channel)] = e;
  store.paths[static_cast<std::size_t>(channel)] = std::move(p);
  store.site = std::move(s);
  return 0;
}

}  // namespace tarnlux
