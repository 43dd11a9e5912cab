#include "storage.h"

#include <cstdio>

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

}  // namespace tarnlux::meter
