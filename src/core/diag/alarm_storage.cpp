#include "diag/alarm_storage.h"

#include <charconv>
#include <cstdio>
#include <vector>

#include "common/hex.h"
#include "common/profile_file.h"
#include "common/result.h"
#include "link/exchange.h"
#include "link/link_reopen.h"
#include "link/meter_block.h"
#include "link/site_answers.h"
#include "link/typed_read.h"

namespace tarnlux {

namespace {

constexpr char kEtxChar = '\x03';
constexpr const char* kNoAnswerText = "Pas de reponse du compteur";

bool allDigits(std::string_view text) {
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// 1 to `maxDigits` digits; false otherwise.
bool readCount(std::string_view field, std::size_t maxDigits, std::uint32_t& value) {
  if (field.empty() || field.size() > maxDigits) return false;
  std::uint64_t v = 0;
  for (char c : field) v = v * 10 + static_cast<unsigned>(c - '0');
  if (v > 0xFFFFFFFFu) return false;
  value = static_cast<std::uint32_t>(v);
  return true;
}

const char* yesNo(bool yes) { return yes ? "Oui" : "Non"; }

}  // namespace

int parseStorageAnswer(std::string_view answer, AlarmStorageState& out) {
  if (!answer.empty() && answer.front() == kEtxChar) return kTimeout;
  const std::size_t first = answer.find('|');
  if (first == std::string_view::npos) return kStorageNoFirstBar;
  const std::size_t second = answer.find('|', first + 1);
  if (second == std::string_view::npos) return kStorageNoSecondBar;
  // The meter's line end and terminator may follow; anything else may not.
  const std::string_view after = answer.substr(second + 1);
  if (after.find_first_not_of("\r\n\x03") != std::string_view::npos) return kStorageTextAfterBar;
  const std::string_view inner = answer.substr(first + 1, second - first - 1);

  std::vector<std::string_view> fields;
  std::vector<std::size_t> starts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = inner.find(',', start);
    std::string_view field = inner.substr(start, comma == std::string_view::npos ? comma : comma - start);
    std::size_t skip = 0;
    while (skip < field.size() && field[skip] == ' ') ++skip;
    fields.push_back(field.substr(skip));
    starts.push_back(start);
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  for (std::size_t i = 0; i < fields.size() && i < 7; ++i) {
    if (!allDigits(fields[i])) return kStorageNotDigit;
  }
  if (fields.size() < 8) return kStorageFewFields;

  AlarmStorageState s;
  std::uint32_t v = 0;
  if (!readCount(fields[0], 9, s.allocatedBytes)) return kStorageBadAllocated;
  if (!readCount(fields[1], 9, s.usedBytes)) return kStorageBadUsed;
  if (fields[2] != "0" && fields[2] != "1") return kStorageBadFull;
  s.memoryFull = fields[2] == "1";
  if (!readCount(fields[3], 5, v) || v >= 65536) return kStorageBadStatus;
  s.enabled = (v & 1u) != 0;
  s.limitsSetUp = (v & 2u) != 0;
  if (fields[4] != "0" && fields[4] != "1") return kStorageBadMatch;
  s.limitsMatch = fields[4] == "1";
  if (!readCount(fields[5], 9, s.limitsError)) return kStorageBadErrorCode;
  if (!readCount(fields[6], 9, s.siteEnabled)) return kStorageBadSiteEnabled;
  const std::string_view check = fields[7];
  if (check.size() != 2) return kStorageCheckLength;
  for (char c : check) {
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return kStorageCheckCharacter;
  }
  // Over every character from the first after the bar up to the comma before the check.
  const std::string_view checked = inner.substr(0, starts[7]);
  const int expected = hexValue(check[0]) * 16 + hexValue(check[1]);
  if (blockCheckValue(checked) != expected) return kStorageCheckDiffers;
  out = s;
  return kOk;
}

AlarmStorageTexts alarmStorageTexts(const AlarmStorageState& state) {
  AlarmStorageTexts t;
  t.allocatedKb = std::to_string(state.allocatedBytes / 1024);
  if (state.memoryFull) {
    t.percentFull = "100";
  } else if (state.allocatedBytes > 0) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f",
                  static_cast<double>(state.usedBytes) / state.allocatedBytes * 100.0);
    std::string shown = text;
    while (!shown.empty() && shown.back() == '0') shown.pop_back();
    if (!shown.empty() && shown.back() == '.') shown.pop_back();
    t.percentFull = shown;
  }
  if (state.limitsError != 0) {
    char text[64];
    std::snprintf(text, sizeof text, "%s%s%u", "Non", " - Code d'erreur: ",
                  static_cast<unsigned>(state.limitsError));
    t.limitsCorrect = text;
  } else {
    t.limitsCorrect = yesNo(state.limitsSetUp);
  }
  t.limitsMatch = yesNo(state.limitsMatch);
  t.siteEnabled = yesNo(state.siteEnabled != 0);
  t.active = state.enabled && state.limitsSetUp && state.allocatedBytes > 0 && state.limitsMatch &&
             state.siteEnabled != 0;
  t.storageActive = yesNo(t.active);
  return t;
}

AlarmStorageDecision decideStorageApply(const AlarmStorageRequest& request,
                                        const AlarmStorageState& meter, unsigned rememberedKb) {
  AlarmStorageDecision d;
  std::string text = trimmed(request.memoryText);
  if (text.empty()) text = "0";
  unsigned long long requested = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), requested);
  if (error != std::errc() || end != text.data() + text.size() || text[0] == '+' ||
      text[0] == '-') {
    d.refusal = kStorageMemoryInvalidText;
    d.focusMemory = true;
    return d;
  }
  // Anything above what the command can carry asks for the most it can.
  const unsigned kb = requested > kStorageMaxKilobytes ? kStorageMaxKilobytes
                                                       : static_cast<unsigned>(requested);
  const bool allocated = meter.allocatedBytes > 0;
  const bool changed = kb != rememberedKb;
  if (changed && kb > 0 && !request.enable) {
    d.refusal = kStorageMemoryWhileInactiveText;
    d.focusMemory = true;
    return d;
  }
  if (changed && allocated && !request.freeMemory) {
    d.refusal = kStorageMemoryWithoutFreeText;
    d.focusMemory = true;
    return d;
  }
  const bool freeing = request.freeMemory && allocated && (kb == 0 || changed);
  d.send = (allocated && request.clear) || request.enable != meter.enabled ||
           (kb > 0 && !allocated) || freeing;
  d.requestedKb = kb;
  if (!d.send) return d;
  unsigned value = kStorageStateRequest;
  if (request.enable && !meter.enabled) value |= kStorageEnableBit;
  if (!request.enable && meter.enabled) value |= kStorageDisableBit;
  if (allocated) {
    if (freeing) {
      value |= kStorageFreeBit;
    } else if (request.clear) {
      value |= kStorageClearBit;
    }
  }
  if (kb > 0 && (!allocated || (freeing && changed))) value |= kb << 8;
  d.commandValue = value;
  return d;
}

unsigned rememberedStorageKb(const std::string& settingsPath) {
  const std::string text =
      trimmed(readProfileString(settingsPath, kStorageSettingsSection, kStorageMemoryKey, "0"));
  unsigned value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return 0;
  return value > kStorageMaxKilobytes ? kStorageMaxKilobytes : value;
}

int storageChannel(const MeterFacts& facts) { return facts.blockChannel(); }

int runStorageCommand(MeterLink& link, const MeterFacts& facts, MeterBlockStore& block,
                      unsigned commandValue, bool readBlockFirst, AlarmStorageState& state,
                      OperationContext& ctx) {
  const int channel = storageChannel(facts);
  const ChannelFacts channelFacts{facts.multiPath, nullptr};
  const int checked = withTcpRetry(link, ctx, [&](OperationContext& attempt) {
    return resyncPrompt(link, channel, true, false, channelFacts, attempt);
  });
  if (checked != kOk) return checked;
  int rc = kOk;
  if (readBlockFirst) {
    rc = readCommandBlock(link, channel, kStorageCommandBlockFaultBase, block, ctx);
    if (rc != kOk) return rc;
  }
  char value[16];
  std::snprintf(value, sizeof value, "%x", commandValue);
  const std::string command =
      commandBlockWriteCommand(channel, block.state.commandSequence, {value, ""});
  rc = sendCommand(link, command, kSendBaseTimeoutMs, ctx);
  if (rc != kOk) return rc;
  // Meters that keep events end their answers with ETX; the others answer one
  // line, found after its first bar.
  const bool etx = facts.queryTerminator == kEtx;
  const char terminator[2] = {etx ? kEtx : '\r', '\0'};
  ReceivedText received;
  rc = receiveUntil(link, etx ? nullptr : "|", terminator, kAnswerTimeoutMs, ctx, &received);
  if (rc != kOk) return rc;
  std::string_view answer(link.receiveArea() + received.markerOffset,
                          received.length - received.markerOffset);
  answer = answerAfterEcho(answer, std::string_view(command).substr(0, command.size() - 1));
  answer.remove_prefix(std::min(answer.size(), answer.find_first_not_of("\r\n")));
  if (etx && answer.empty()) {
    ctx.report(kNoAnswerText);
    return kTimeout;
  }
  rc = parseStorageAnswer(answer, state);
  if (rc != kOk) return reportAnswerFault(rc, ctx);
  return kOk;
}

}  // namespace tarnlux
