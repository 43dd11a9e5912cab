#include "storage.h"

#include <cstdio>
#include <cstdlib>

namespace tarnlux::meter {

std::uint8_t textCheckValue(std::string_view text) {
  if (text.empty()) return 0;
  auto value = static_cast<std::uint8_t>(text[0]);
  for (std::size_t i = 1; i < text.size(); ++i) {
    value = static_cast<std::uint8_t>((value << 1) ^ static_cast<unsigned char>(text[i]));
  }
  return value;
}

namespace {

int hexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool parseBlockCommand(std::string_view text, BlockCommand& out) {
  // "S," code "," argument "," CK "," S
  if (text.size() < 10 || text[1] != ',' || text[text.size() - 2] != ',' ||
      text.back() != text.front()) {
    return false;
  }
  const std::string_view inner = text.substr(2, text.size() - 4);  // code,arg,CK
  const std::size_t first = inner.find(',');
  const std::size_t last = inner.rfind(',');
  if (first == std::string_view::npos || last == first) return false;
  const std::string_view code = inner.substr(0, first);
  const std::string_view check = inner.substr(last + 1);
  if (code.empty() || code.size() > 5 || check.size() != 2) return false;
  unsigned value = 0;
  for (char c : code) {
    if (hexDigitValue(c) < 0) return false;
    value = value * 16 + static_cast<unsigned>(hexDigitValue(c));
  }
  const int high = hexDigitValue(check[0]);
  const int low = hexDigitValue(check[1]);
  if (high < 0 || low < 0) return false;
  out.sequence = text.front();
  out.code = value;
  out.argument = std::string(inner.substr(first + 1, last - first - 1));
  // The check covers the text from the sequence character to the comma before CK.
  const std::string_view checked = text.substr(0, 2 + last + 1);
  out.checkGood = textCheckValue(checked) == static_cast<std::uint8_t>(high * 16 + low);
  return true;
}

void applyStorageCommand(StorageState& state, unsigned value) {
  if ((value & kStorageEnable) != 0) state.enabled = true;
  if ((value & kStorageDisable) != 0) state.enabled = false;
  if ((value & kStorageFree) != 0) {
    state.allocatedBytes = 0;
    state.usedBytes = 0;
  }
  if ((value & kStorageClear) != 0) state.usedBytes = 0;
  const std::uint32_t kilobytes = (value >> 8) & 0xFFFu;
  if (kilobytes > 0 && state.allocatedBytes == 0) state.allocatedBytes = kilobytes * 1024;
}

std::string storageAnswer(const StorageState& state, bool limitsSetUp, bool badCheck) {
  const bool full = state.allocatedBytes > 0 && state.usedBytes >= state.allocatedBytes;
  const unsigned status = (state.enabled ? 1u : 0u) | (limitsSetUp ? 2u : 0u);
  char fields[128];
  std::snprintf(fields, sizeof fields, "%u,%u,%d,%u,%d,%u,%d,",
                static_cast<unsigned>(state.allocatedBytes), static_cast<unsigned>(state.usedBytes),
                full ? 1 : 0, status, limitsSetUp ? 1 : 0,
                static_cast<unsigned>(state.limitsError), state.siteEnabled ? 1 : 0);
  std::uint8_t check = textCheckValue(fields);
  if (badCheck) check = static_cast<std::uint8_t>(check + 1);
  char tail[8];
  std::snprintf(tail, sizeof tail, "%02X|", check);
  return std::string("|") + fields + tail;
}

namespace {

std::vector<std::string_view> splitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  for (;;) {
    const std::size_t comma = line.find(',');
    fields.push_back(line.substr(0, comma));
    if (comma == std::string_view::npos) return fields;
    line.remove_prefix(comma + 1);
  }
}

double number(std::string_view text) { return std::strtod(std::string(text).c_str(), nullptr); }

}  // namespace

bool parseBlockLimits(std::string_view block, BlockLimits& out) {
  const std::vector<std::string_view> f = splitFields(block);
  if (f.size() < 13 || f[0].size() != 1) return false;
  double v[12];
  for (int i = 0; i < 12; ++i) {
    if (f[static_cast<std::size_t>(i + 1)].empty()) return false;
    v[i] = number(f[static_cast<std::size_t>(i + 1)]);
  }
  out = {v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9], v[10], v[11]};
  // The NullTrack gain pair follows, in blocks that carry it.
  if (f.size() >= 15 && !f[13].empty() && !f[14].empty()) {
    out.nullTrackAlcWarning = number(f[13]);
    out.nullTrackAlcFail = number(f[14]);
  }
  return true;
}

std::string transitEventRecord(std::string_view fieldLine, int path, const BlockLimits& limits,
                               const std::string& site, bool gas, bool metric, bool nullTrack) {
  const std::vector<std::string_view> f = splitFields(fieldLine);
  if (f.size() < 36 || path < 0 || path > 3) return {};
  unsigned warning = 0;
  unsigned fail = 0;
  // Low is bad for gains, SNR, ADC fill and acceptance; high for the correlation
  // figure and the envelope change.
  const auto low = [&](double value, double w, double fl, unsigned bit) {
    if (value < fl) {
      fail |= bit;
    } else if (value < w) {
      warning |= bit;
    }
  };
  const auto high = [&](double value, double w, double fl, unsigned bit) {
    if (value > fl) {
      fail |= bit;
    } else if (value > w) {
      warning |= bit;
    }
  };
  const unsigned word = static_cast<unsigned>(std::strtoul(std::string(f[30]).c_str(), nullptr, 16));
  const bool measuring = (word & 0x10u) != 0;
  low(number(f[11]), limits.alcWarning, limits.alcFail, 0x1);
  low(number(f[12]), limits.alcWarning, limits.alcFail, 0x2);
  if (measuring) {
    low(number(f[15]), limits.snrWarning, limits.snrFail, 0x4);
    low(number(f[16]), limits.snrWarning, limits.snrFail, 0x8);
    high(number(f[31]), limits.correlationWarning, limits.correlationFail, 0x10);
    low(number(f[14]), limits.adcWarning, limits.adcFail, 0x20);
    low(number(f[33]), limits.acceptedWarning, limits.acceptedFail, 0x40);
    high(number(f[17]), limits.envelopeWarning, limits.envelopeFail, 0x80);
  }
  // NullTrack figures: fields 28 and 29 (empty while NullTrack is not active).
  const std::string nullTrackAlc = f[28].empty() ? "0" : std::string(f[28]);
  const std::string nullTrackDelta = f[29].empty() ? "0" : std::string(f[29]);
  if (nullTrack && !f[28].empty()) {
    low(number(f[28]), limits.nullTrackAlcWarning, limits.nullTrackAlcFail, 0x100);
  }
  if (warning == 0 && fail == 0) return {};

  const unsigned flags = (1u << path) | (gas ? 0x10u : 0u) | (metric ? 0x20u : 0u) | 0x80u |
                         (nullTrack ? 0x100u << path : 0u);
  std::string r = site + "," + std::to_string(flags) + "," + std::string(f[0]) + " " +
                  std::string(f[1]) + "," + std::to_string(~word & 0x3FFu) + "," +
                  std::string(f[11]) + "," + std::string(f[12]) + ",";
  if (measuring) {
    for (std::size_t i : {15u, 16u, 31u, 14u, 33u, 17u}) r += std::string(f[i]) + ",";
    r += std::string(f[static_cast<std::size_t>(2 + path)]) + "," + std::string(f[7]) + ",";
  }
  if (nullTrack) r += nullTrackAlc + "," + nullTrackDelta + ",";
  const std::string temperature = f[35].empty() ? "0" : std::string(f[35]);
  r += std::to_string(fail) + "," + std::to_string(warning) + "," + temperature + "," +
       std::string(f[34]);
  return r;
}

std::string eventListing(const std::vector<std::string>& records, bool malformed) {
  std::string out;
  int number = 0;
  for (const std::string& record : records) {
    char prefix[8];
    std::snprintf(prefix, sizeof prefix, "%03d ", ++number % 1000);
    std::string_view text = record;
    if (malformed) {
      text = text.substr(0, text.rfind(','));
      // The Echoflux form may end without its temperature: lose the warning bits too.
      const std::size_t comma = record.find(',');
      const bool echoflux = comma != std::string::npos &&
                            (std::strtoul(record.c_str() + comma + 1, nullptr, 10) & 0x40u) != 0;
      if (echoflux) text = text.substr(0, text.rfind(','));
    }
    out += prefix;
    out += text;
    out += "\r\n";
  }
  return out;
}

}  // namespace tarnlux::meter
