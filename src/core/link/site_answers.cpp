#include "link/site_answers.h"

#include "common/hex.h"
#include "link/site_answers_fields.h"

namespace tarnlux {

using answer_fields::readInteger;
using answer_fields::readReal;
using answer_fields::skipBlanks;
using answer_fields::splitFields;

namespace {

bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

// The first line of `text` (up to CR or LF).
std::string_view firstLine(std::string_view text) {
  std::size_t end = 0;
  while (end < text.size() && !isLineEnd(text[end])) ++end;
  return text.substr(0, end);
}

}  // namespace

std::string siteQuery(int kind, int channel, int subCode) {
  std::string text = "qg ";
  text += kHexDigits[kind & 0xF];
  text += kHexDigits[channel & 0xF];
  text += kHexDigits[subCode & 0xF];
  text += '\r';
  return text;
}

std::string siteQueryForChannel(std::string_view query, int channel) {
  std::string text(query);
  if (text.size() > 4) text[4] = kHexDigits[channel & 0xF];
  return text;
}

int answerKindOf(int queryKind) { return queryKind == 0xA ? 5 : queryKind; }

std::string_view answerAfterEcho(std::string_view received, std::string_view query) {
  while (!query.empty() && isLineEnd(query.back())) query.remove_suffix(1);
  if (query.empty()) return received;
  const std::size_t at = received.find(query);
  if (at == std::string_view::npos) return received;
  return received.substr(at + query.size());
}

AnswerText splitAnswer(std::string_view answer) {
  const std::size_t end = answer.find_first_of(std::string_view("\0\x03", 2));
  if (end != std::string_view::npos) answer = answer.substr(0, end);
  std::size_t start = 0;
  while (start < answer.size() && isLineEnd(answer[start])) ++start;
  AnswerText out;
  if (start == answer.size()) return out;
  out.empty = false;
  answer = answer.substr(start);
  out.header = firstLine(answer);
  std::size_t rest = out.header.size();
  // One line end (CR, LF or CR LF) closes the header line.
  if (rest < answer.size() && answer[rest] == '\r') ++rest;
  if (rest < answer.size() && answer[rest] == '\n') ++rest;
  out.rest = answer.substr(rest);
  return out;
}

int readAnswerHeader(std::string_view headerLine, AnswerHeader& out) {
  if (headerLine.size() < 7) return kHeaderNotHex;
  int digits[8] = {};
  const std::size_t count = headerLine.size() >= 8 ? 8 : 7;
  for (std::size_t i = 0; i < count; ++i) {
    digits[i] = hexValue(headerLine[i]);
    if (digits[i] < 0) return kHeaderNotHex;
  }
  out.kind = digits[0];
  out.channel = digits[1];
  out.subCode = digits[2];
  out.capabilityBits = static_cast<std::uint32_t>(digits[3]) << 12 |
                       static_cast<std::uint32_t>(digits[4]) << 8 |
                       static_cast<std::uint32_t>(digits[5]) << 4 |
                       static_cast<std::uint32_t>(digits[6]);
  out.meterKindReported = count == 8;
  if (out.meterKindReported) out.capabilityBits |= static_cast<std::uint32_t>(digits[7]) << 16;
  return 0;
}

int checkAnswerHeader(std::string_view headerLine, int kind, int channel, int subCode,
                      const MeterFacts& facts) {
  AnswerHeader header;
  if (const int rc = readAnswerHeader(headerLine, header); rc != 0) return rc;
  if (header.kind != kind) return kHeaderWrongKind;
  if (header.channel != channel) return kHeaderWrongChannel;
  if (header.subCode != subCode) return kHeaderWrongSubCode;
  const std::uint32_t flags = facts.meterFlags;
  const std::uint32_t got = header.capabilityBits;
  if ((got >> 12 & 0xF) != (flags >> 12 & 0xF)) return kHeaderEchofluxNibbleDiffers;
  if ((got >> 8 & 0xF) != (flags >> 8 & 0xF)) return kHeaderNullTrackNibbleDiffers;
  if ((got >> 4 & 0xF) != (flags >> 4 & 0xF)) return kHeaderTransitNibbleDiffers;
  if ((got & 0xF) != (flags & 0xF)) return kHeaderSlotNibbleDiffers;
  if (header.meterKindReported != facts.meterKindReported) return kHeaderKindNibbleDiffers;
  if (header.meterKindReported && (got >> 16 & 0xF) != (flags >> 16 & 0xF)) {
    return kHeaderKindNibbleDiffers;
  }
  return 0;
}

int readCapabilityAnswer(std::string_view answer, std::uint32_t& meterFlags,
                         bool& meterKindReported) {
  const AnswerText text = splitAnswer(answer);
  AnswerHeader header;
  if (const int rc = readAnswerHeader(text.header, header); rc != 0) return rc;
  if (header.kind != answerKindOf(0xA)) return kHeaderWrongKind;
  if (header.channel != 0) return kHeaderWrongChannel;
  if (header.subCode != 1) return kHeaderWrongSubCode;
  meterFlags = header.capabilityBits;
  meterKindReported = header.meterKindReported;
  return 0;
}

int parseIdentificationAnswer(std::string_view answer, int channel, const MeterFacts& facts,
                              IdentificationAnswer& out) {
  const AnswerText text = splitAnswer(answer);
  if (text.empty) return facts.memoryBlock ? kIdentityEmptyBlockMeter : kIdentityEndsEarly;
  if (const int rc = checkAnswerHeader(text.header, 0, channel, 8, facts); rc != 0) return rc;

  // Skip the two waveform lines.
  std::string_view rest = text.rest;
  std::string_view figures;
  for (int line = 0; line < 3; ++line) {
    while (!rest.empty() && isLineEnd(rest.front())) rest.remove_prefix(1);
    if (rest.empty()) return kIdentityEndsEarly;
    figures = firstLine(rest);
    rest.remove_prefix(figures.size());
  }
  const auto fields = splitFields(figures);
  if (fields.size() < 3) return kIdentityEndsEarly;
  std::string_view id = fields[0];
  while (!id.empty() && id.back() == ' ') id.remove_suffix(1);
  const std::string_view type = skipBlanks(fields[1]);
  const std::string_view version = skipBlanks(fields[2]);
  if (id.empty() || id.size() > 16) return kIdentityBadIdentifier;
  if (type.empty() || type.size() > 16) return kIdentityBadType;
  if (version.empty() || version.size() > 16) return kIdentityBadVersion;
  out.identifier = std::string(id);
  out.typeText = std::string(type);
  out.versionText = std::string(version);
  out.gasMeter = figures.find("7326G") != std::string_view::npos;
  out.metricUnits = fields.size() > 7 && skipBlanks(fields[7]).substr(0, 1) == "M";
  return 0;
}

int parseChannelIdentityAnswer(std::string_view answer, int channel, const MeterFacts& facts,
                               ChannelIdentityAnswer& out) {
  const AnswerText text = splitAnswer(answer);
  if (text.empty) return facts.memoryBlock ? kIdentityEmptyBlockMeter : kIdentityEndsEarly;
  if (text.header.size() < 8) return kIdentityHeaderTooShort;
  if (const int rc = checkAnswerHeader(text.header, 4, channel, 0, facts); rc != 0) return rc;

  auto fields = splitFields(firstLine(text.rest));
  if (fields.size() < 13) return kIdentityEndsEarly;
  fields.resize(17);  // fields 13 to 16 may be left out; more are ignored

  ChannelIdentityAnswer a;
  const std::string_view id = fields[0];
  if (id.empty() || id.size() > 16) return kIdentityBadIdentifier;
  a.identifier = std::string(id.substr(0, 8));

  const std::string_view type = skipBlanks(fields[1]);
  if (type.empty() || type.size() > 16) return kIdentityBadType;
  a.typeText = std::string(type);

  const std::string_view version = skipBlanks(fields[2]);
  if (version.empty() || version.size() > 16) return kIdentityBadVersion;
  a.versionText = std::string(version);

  std::string_view date = skipBlanks(fields[3]);
  date = date.substr(0, date.find(' '));
  if (date.empty() || date.size() > 16) return kIdentityBadDate;
  a.dateText = std::string(date);

  const std::string_view time = skipBlanks(fields[4]);
  if (time.empty() || time.size() > 16 || !parseMeterDateTime(date, time, a.meterTime)) {
    return kIdentityBadTime;
  }
  a.timeText = std::string(time);

  // Optional reals: empty reads as 0, anything else must be a number.
  auto optionalReal = [](std::string_view field, double& value) {
    field = skipBlanks(field);
    if (field.empty()) {
      value = 0;
      return true;
    }
    return readReal(field, value);
  };
  if (!optionalReal(fields[5], a.macroDamping)) return kIdentityBadOptionalNumber;
  if (!optionalReal(fields[6], a.deadZone)) return kIdentityBadOptionalNumber;
  if (!readReal(skipBlanks(fields[7]), a.boreInches)) return 20606;
  if (!readInteger(skipBlanks(fields[8]), a.lengthUnits)) return 20607;
  if (!readReal(skipBlanks(fields[9]), a.pipeOutsideDiameter)) return 20608;
  if (!readReal(skipBlanks(fields[10]), a.pipeWallThickness)) return 20609;

  a.hasKFactor = !skipBlanks(fields[11]).empty();
  if (!optionalReal(fields[11], a.kFactor)) return kIdentityBadOptionalNumber;
  const std::string_view unit = skipBlanks(fields[12]);
  if (unit.size() > 16 || (a.hasKFactor && unit.empty())) return 20610;
  a.kFactorVolumeUnit = std::string(unit);

  if (!optionalReal(fields[13], a.basePressure)) return kIdentityBadOptionalNumber;
  const std::string_view pressureUnit = skipBlanks(fields[14]);
  if (!pressureUnit.empty() && pressureUnit != "PSIA" && pressureUnit != "BARA") {
    return kIdentityBadPressureUnit;
  }
  a.pressureUnit = std::string(pressureUnit);
  if (!optionalReal(fields[15], a.baseTemperature)) return kIdentityBadOptionalNumber;
  const std::string_view temperatureUnit = skipBlanks(fields[16]);
  if (!temperatureUnit.empty() && temperatureUnit != "F" && temperatureUnit != "C") {
    return kIdentityBadTemperatureUnit;
  }
  a.temperatureUnit = temperatureUnit.empty() ? '\0' : temperatureUnit[0];

  out = std::move(a);
  return 0;
}

int parseChannelSetupAnswer(std::string_view answer, int channel, const MeterFacts& facts,
                            ChannelSetupAnswer& out) {
  const AnswerText text = splitAnswer(answer);
  if (text.empty) return facts.memoryBlock ? kSetupAnswerEmptyBlockMeter : kSetupAnswerEmpty;
  if (const int rc = checkAnswerHeader(text.header, 3, channel, 0, facts); rc != 0) return rc;

  const auto fields = splitFields(firstLine(text.rest));
  if (fields.size() < 16) return kSetupEndsEarly;

  // Required numbers: empty gives the field's own fault, a malformed one the
  // number fault. Optional numbers: empty reads as 0.
  auto integer = [&](std::size_t i, int missing, std::int32_t& value) {
    const std::string_view f = skipBlanks(fields[i]);
    if (f.empty()) {
      if (missing != 0) return missing;
      value = 0;
      return 0;
    }
    return readInteger(f, value) ? 0 : kSetupBadInteger;
  };
  auto real = [&](std::size_t i, int missing, double& value) {
    const std::string_view f = skipBlanks(fields[i]);
    if (f.empty()) {
      if (missing != 0) return missing;
      value = 0;
      return 0;
    }
    return readReal(f, value) ? 0 : kSetupBadReal;
  };
  auto textField = [&](std::size_t i, int tooLong, std::string& value) {
    const std::string_view f = skipBlanks(fields[i]);
    if (f.size() > 16) return tooLong;
    value = std::string(f);
    return 0;
  };

  ChannelSetupAnswer a;
  int rc = 0;
  if ((rc = integer(0, 20501, a.spacingIndex)) != 0) return rc;
  if ((rc = real(1, 20502, a.spacingLtn)) != 0) return rc;
  if ((rc = integer(2, 20503, a.transmitCode)) != 0) return rc;
  if ((rc = real(3, 0, a.vsMin)) != 0) return rc;
  if ((rc = real(4, 0, a.vsMax)) != 0) return rc;
  if ((rc = real(5, 20504, a.hfFactor)) != 0) return rc;
  if ((rc = integer(6, 20505, a.dampingMax)) != 0) return rc;
  if ((rc = textField(7, 20506, a.transducerSize)) != 0) return rc;
  if ((rc = textField(8, 20507, a.mountingMode)) != 0) return rc;
  if ((rc = integer(9, 0, a.noiseLevelSetting)) != 0) return rc;
  // Field 10 is not used.
  if ((rc = real(11, 0, a.lowFlowLimit)) != 0) return rc;
  if ((rc = real(12, 0, a.highFlowLimit)) != 0) return rc;
  if ((rc = real(13, 0, a.flowRangeValue)) != 0) return rc;
  if ((rc = real(14, 20508, a.pathLength)) != 0) return rc;
  if ((rc = real(15, 20509, a.axialOffset)) != 0) return rc;
  out = std::move(a);
  return 0;
}

}  // namespace tarnlux
