#include "link/meter_block.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <system_error>

#include "common/hex.h"

namespace tarnlux {
namespace {

bool isAlphanumeric(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

std::string hexByte(std::uint8_t value) {
  return {kHexDigits[value >> 4], kHexDigits[value & 0xF]};
}

// One number of a layout: an integer or a decimal member of the limits.
struct NumberSlot {
  std::int32_t* integer = nullptr;
  double* decimal = nullptr;
};

void addPair(std::vector<NumberSlot>& slots, IntLimitPair& pair) {
  slots.push_back({&pair.warning, nullptr});
  slots.push_back({&pair.fail, nullptr});
}

void addPair(std::vector<NumberSlot>& slots, RealLimitPair& pair) {
  slots.push_back({nullptr, &pair.warning});
  slots.push_back({nullptr, &pair.fail});
}

// The numbers of a layout in block order.
std::vector<NumberSlot> numberSlots(PassFailLimits& limits, MeterBlockLayout layout) {
  std::vector<NumberSlot> slots;
  if (layout == MeterBlockLayout::TransitTime) {
    TransitTimeLimits& t = limits.transitTime;
    addPair(slots, t.alc);
    addPair(slots, t.snr);
    addPair(slots, t.correlationQuality);
    addPair(slots, t.adcBuffer);
    addPair(slots, t.accepted);
    addPair(slots, t.envelopeChange);
    addPair(slots, t.nullTrackAlc);
    addPair(slots, t.nullTrackDeltaTime);
    addPair(slots, t.flowVelocityDiff);
    addPair(slots, t.soundSpeedDiff);
  } else {
    EchofluxLimits& e = limits.echoflux;
    addPair(slots, e.signalStrength);
    addPair(slots, e.lowDoppler);
    addPair(slots, e.lowRangeUpper);
    addPair(slots, e.highRangeUpper);
    addPair(slots, e.liquidLow);
    addPair(slots, e.liquidHigh);
    addPair(slots, e.slurryLow);
    addPair(slots, e.slurryHigh);
    addPair(slots, e.noiseLow);
    addPair(slots, e.noiseHigh);
    addPair(slots, e.fftPeak);
    addPair(slots, e.flowVelocity);
  }
  return slots;
}

std::string* textSlot(MeterInfoTexts& info, int text) {
  switch (text) {
    case 0: return &info.location;
    case 1: return &info.spoolPartNumber;
    case 2: return &info.spoolSerialNumber;
    case 3: return &info.manufactureDate;
    case 4: return &info.flowmeterPartNumber;
    case 5: return &info.flowmeterSerialNumber;
    case 6: return &info.lastReportDate;
    default: return &info.lastReportTime;
  }
}

// Digits only; empty reads as 0 (the usual decimal conversion of nothing).
bool decodeBlockInteger(std::string_view field, std::int32_t& value) {
  for (char c : field) {
    if (c < '0' || c > '9') return false;
  }
  if (field.empty()) {
    value = 0;
    return true;
  }
  const auto r = std::from_chars(field.data(), field.data() + field.size(), value);
  return r.ec == std::errc() && r.ptr == field.data() + field.size();
}

// Digits and at most one point; no digit at all reads as 0.
bool decodeBlockDecimal(std::string_view field, double& value) {
  bool point = false;
  bool digit = false;
  for (char c : field) {
    if (c == '.') {
      if (point) return false;
      point = true;
    } else if (c >= '0' && c <= '9') {
      digit = true;
    } else {
      return false;
    }
  }
  if (!digit) {
    value = 0;
    return true;
  }
  const auto r = std::from_chars(field.data(), field.data() + field.size(), value);
  return r.ec == std::errc() && r.ptr == field.data() + field.size();
}

// Characters that would end a field or the command early at the meter.
bool blockCanCarry(std::string_view text) {
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == ',' || c == '|' || c == '~' || u < 0x20 || u == 0x7F) return false;
  }
  return true;
}

}  // namespace

std::size_t meterBlockTextLimit(int text) {
  switch (text) {
    case 1:
    case 4:
      return 31;
    default:
      return 16;
  }
}

char nextSequenceCharacter(char c) {
  if (c >= '0' && c < '9') return static_cast<char>(c + 1);
  if (c == '9') return 'A';
  if (c >= 'A' && c < 'Z') return static_cast<char>(c + 1);
  if (c == 'Z') return 'a';
  if (c >= 'a' && c < 'z') return static_cast<char>(c + 1);
  return '0';
}

std::uint8_t blockCheckValue(std::string_view text) {
  if (text.empty()) return 0;
  auto value = static_cast<std::uint8_t>(text[0]);
  for (std::size_t i = 1; i < text.size(); ++i) {
    value = static_cast<std::uint8_t>((value << 1) ^ static_cast<unsigned char>(text[i]));
  }
  return value;
}

std::string formatBlockDecimal(double value) {
  if (value == 0) value = 0;  // no "-0"
  char buffer[400];
  std::snprintf(buffer, sizeof buffer, "%f", value);
  std::string text(buffer);
  if (text.find('.') != std::string::npos) {
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
  }
  // "%f" gives at most one leading zero, directly before the point; a zero
  // value keeps its single digit.
  const std::size_t sign = (!text.empty() && text[0] == '-') ? 1 : 0;
  while (text.size() > sign + 1 && text[sign] == '0' && text[sign + 1] != '.') {
    text.erase(sign, 1);
  }
  return text;
}

MeterBlockLayout layoutForRead(std::uint32_t meterFlags, int channel) {
  // Only channels 0-3 have an Echoflux bit; the multi-path site slot never does.
  const bool echoflux = channel >= 0 && channel < 4 && (meterFlags >> (12 + channel) & 1u) != 0;
  return echoflux ? MeterBlockLayout::Echoflux : MeterBlockLayout::TransitTime;
}

std::string meterBlockReadCommand(int channel) {
  return "cv " + std::to_string(channel) + " qmmem\r";
}

std::string commandBlockReadCommand(int channel) {
  return "cv " + std::to_string(channel) + " qmcmd\r";
}

int readReservedVariable(std::string_view answer, std::string_view name, int faultBase,
                         std::size_t& capacity, std::string_view& value) {
  answer = answer.substr(0, answer.find('\0'));
  const std::size_t type = answer.find("char");
  if (type == std::string_view::npos) return faultBase;
  const std::string opening = std::string(name) + "[";
  const std::size_t at = answer.find(opening, type + 4);
  if (at == std::string_view::npos) return faultBase + 1;
  const std::size_t digitsStart = at + opening.size();
  const std::size_t close = answer.find(']', digitsStart);
  if (close == std::string_view::npos) return faultBase + 2;
  const std::string_view digits = answer.substr(digitsStart, close - digitsStart);
  if (digits.empty() || digits.size() > 10) return faultBase + 3;
  std::uint64_t size = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return faultBase + 4;
    size = size * 10 + static_cast<std::uint64_t>(c - '0');
  }
  capacity = static_cast<std::size_t>(size);
  const std::size_t bar = answer.find('|', close + 1);
  if (bar == std::string_view::npos) return faultBase + 5;
  const std::size_t closingBar = answer.find('|', bar + 1);
  if (closingBar == std::string_view::npos || closingBar + 1 != answer.size()) {
    return faultBase + 6;
  }
  value = answer.substr(bar + 1, closingBar - bar - 1);
  if (value.size() != size) return faultBase + 7;
  return 0;
}

int decodeMeterBlockValue(std::string_view value, MeterBlockLayout layout, bool alarmStorage,
                          MeterBlockFields& fields, char& generation) {
  std::size_t end = value.find_first_of("~|");
  if (end == std::string_view::npos) end = value.size();
  std::string_view body = value.substr(0, end);
  char readGeneration = 'z';

  if (alarmStorage && value.size() >= 2 && value[1] == ',' && isAlphanumeric(value[0]) &&
      end >= 3 && value[end - 2] == ',' && value[end - 1] == value[0]) {
    // Head "G," and tail ",CK,G": the fields lie between them.
    if (end < 7 || value[end - 5] != ',') return kBlockBadCheckValue;
    const int high = hexValue(value[end - 4]);
    const int low = hexValue(value[end - 3]);
    if (high < 0 || low < 0) return kBlockBadCheckValue;
    if (blockCheckValue(value.substr(0, end - 5)) != static_cast<std::uint8_t>(high << 4 | low)) {
      return kBlockBadCheckValue;
    }
    readGeneration = value[0];
    body = value.substr(2, end - 7);
  }

  MeterBlockFields decoded = fields;
  const std::vector<NumberSlot> slots = numberSlots(decoded.limits, layout);
  const std::size_t fieldCount = slots.size() + 8;
  std::size_t index = 0;
  std::size_t start = 0;
  while (!body.empty() && start <= body.size() && index < fieldCount) {
    std::size_t comma = body.find(',', start);
    if (comma == std::string_view::npos) comma = body.size();
    std::string_view field = body.substr(start, comma - start);
    while (!field.empty() && field[0] == ' ') field.remove_prefix(1);
    if (index < slots.size()) {
      const NumberSlot& slot = slots[index];
      if (slot.integer != nullptr) {
        if (!decodeBlockInteger(field, *slot.integer)) return kBlockBadInteger;
      } else if (!decodeBlockDecimal(field, *slot.decimal)) {
        return kBlockBadDecimal;
      }
    } else {
      const int text = static_cast<int>(index - slots.size());
      if (field.size() > meterBlockTextLimit(text)) return kBlockFirstTextTooLong + text;
      *textSlot(decoded.info, text) = std::string(field);
    }
    ++index;
    start = comma + 1;
  }

  fields = std::move(decoded);
  generation = readGeneration;
  return 0;
}

int readMeterBlockAnswer(std::string_view answer, MeterBlockLayout layout, bool alarmStorage,
                         bool verifyOnly, MeterBlockState& state) {
  std::size_t capacity = 0;
  std::string_view value;
  const int rc = readReservedVariable(answer, "qmmem", kBlockNoTypeWord, capacity, value);
  // The capacity is known as soon as the brackets were read.
  if (rc == 0 || rc >= kBlockNoBar) state.capacity = capacity;
  if (rc != 0 || verifyOnly) return rc;
  if (const int fault =
          decodeMeterBlockValue(value, layout, alarmStorage, state.block, state.generation);
      fault != 0) {
    return fault;
  }
  state.lastReadText = std::string(value.substr(0, value.find_first_of("~|")));
  state.fromMeter = true;
  return 0;
}

int encodeMeterBlock(const MeterBlockFields& fields, MeterBlockLayout layout, bool alarmStorage,
                     char generation, std::string& text) {
  MeterBlockFields copy = fields;
  std::string out;
  if (alarmStorage) {
    out += generation;
    out += ',';
  }
  for (const NumberSlot& slot : numberSlots(copy.limits, layout)) {
    if (slot.integer != nullptr) {
      if (*slot.integer < 0) return kBlockUnwritableField;
      out += std::to_string(*slot.integer);
    } else {
      if (!std::isfinite(*slot.decimal) || *slot.decimal < 0) return kBlockUnwritableField;
      out += formatBlockDecimal(*slot.decimal);
    }
    out += ',';
  }
  for (int i = 0; i < 8; ++i) {
    const std::string& value = *textSlot(copy.info, i);
    if (value.size() > meterBlockTextLimit(i)) return kBlockFirstTextTooLong + i;
    if (!blockCanCarry(value)) return kBlockUnwritableField;
    if (i > 0) out += ',';
    out += value;
  }
  if (alarmStorage) {
    const std::uint8_t check = blockCheckValue(out);
    out += ',';
    out += hexByte(check);
    out += ',';
    out += generation;
    out += kEot;
  }
  out += '\r';
  if (out.size() > kMeterBlockTextMax) return kBlockTooLong;
  text = std::move(out);
  return 0;
}

int prepareMeterBlockWrite(int channel, const MeterBlockFields& fields, MeterBlockLayout layout,
                           bool alarmStorage, MeterBlockState& state, std::string& command) {
  const char generation = nextSequenceCharacter(state.generation);
  std::string text;
  if (const int rc = encodeMeterBlock(fields, layout, alarmStorage, generation, text); rc != 0) {
    return rc;
  }
  if (text.size() > state.capacity) return kBlockTooLong;
  if (alarmStorage) state.generation = generation;
  state.lastEncoded = text;
  command = "cv " + std::to_string(channel) + " qmmem[0] " + text;
  return 0;
}

bool meterBlockWriteConfirmed(std::string_view readBackAnswer, std::string_view encodedText) {
  if (!encodedText.empty() && encodedText.back() == '\r') encodedText.remove_suffix(1);
  if (!encodedText.empty() && encodedText.back() == kEot) encodedText.remove_suffix(1);
  readBackAnswer = readBackAnswer.substr(0, readBackAnswer.find('\0'));
  return readBackAnswer.find(encodedText) != std::string_view::npos;
}

void commitMeterBlockWrite(MeterBlockState& state, const MeterBlockFields& written) {
  state.block = written;
  state.fromMeter = true;
  std::string_view text = state.lastEncoded;
  if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
  if (!text.empty() && text.back() == kEot) text.remove_suffix(1);
  state.lastReadText = std::string(text);
}

int readCommandBlockAnswer(std::string_view answer, int faultBase, char& sequence) {
  std::size_t capacity = 0;
  std::string_view value;
  if (const int rc = readReservedVariable(answer, "qmcmd", faultBase, capacity, value); rc != 0) {
    return rc;
  }
  if (value.empty() || value[0] == '~') {
    sequence = 'z';
    return 0;
  }
  value = value.substr(0, value.find_first_of("|~"));
  if (value.size() < 10) return faultBase + kCommandBlockTooShort;
  const std::size_t n = value.size();
  if (value[1] != ',' || value[n - 2] != ',' || value[n - 1] != value[0]) {
    return faultBase + kCommandBlockBadFrame;
  }
  sequence = value[0];
  return 0;
}

std::string commandBlockWriteCommand(int channel, char& sequence,
                                     const std::vector<std::string>& fields) {
  sequence = nextSequenceCharacter(sequence);
  std::string text(1, sequence);
  text += ',';
  for (const auto& field : fields) {
    text += field;
    text += ',';
  }
  const std::uint8_t check = blockCheckValue(text);
  return "cv " + std::to_string(channel) + " qmcmd[0] " + text + hexByte(check) + "," + sequence +
         kEot + "\r";
}

}  // namespace tarnlux
