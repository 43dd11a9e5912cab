#include "block_verb.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "cli_messages.h"
#include "common/result.h"
#include "diag/limit_fields.h"
#include "diag/meter_info_fields.h"
#include "link/meter_block_io.h"
#include "link/password_io.h"

namespace tarnlux::cli {

namespace {

struct TextEntry {
  const char* name;
  std::string* text;
  std::size_t longestWritten;
};

// The meter information texts, then the two texts a capture stamps.
std::vector<TextEntry> textEntries(MeterInfoTexts& info) {
  std::vector<TextEntry> entries;
  for (const MeterInfoFieldRule& rule : meterInfoFieldRules()) {
    entries.push_back({rule.key, &(info.*rule.text), rule.maxLength});
  }
  entries.push_back({"last_report_date", &info.lastReportDate, 16});
  entries.push_back({"last_report_time", &info.lastReportTime, 16});
  return entries;
}

const char* layoutName(MeterBlockLayout layout) {
  return layout == MeterBlockLayout::Echoflux ? "echoflux" : "transit_time";
}

// The block reads integers as decimal digits only: no sign, nothing else.
bool parseBlockInteger(const std::string& text, std::int32_t& value) {
  if (text.empty() || text.size() > 9) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  value = static_cast<std::int32_t>(std::strtol(text.c_str(), nullptr, 10));
  return true;
}

// Digits and at most one point; the value must survive the block's six
// decimals, or what the meter keeps differs from what was asked.
bool parseBlockDecimal(const std::string& text, double& value) {
  if (text.empty() || text.size() > 16) return false;
  bool digit = false;
  bool point = false;
  for (char c : text) {
    if (c == '.') {
      if (point) return false;
      point = true;
    } else if (c >= '0' && c <= '9') {
      digit = true;
    } else {
      return false;
    }
  }
  if (!digit) return false;
  value = std::strtod(text.c_str(), nullptr);
  return std::strtod(formatBlockDecimal(value).c_str(), nullptr) == value;
}

// The stamps a capture writes: separators and fill characters would cut the
// field short on reading, and a leading blank is skipped on reading.
bool isBlockText(const std::string& text) {
  if (!text.empty() && text[0] == ' ') return false;
  for (unsigned char c : text) {
    if (c < 0x20 || c >= 0x7F || c == ',' || c == '|' || c == '~') return false;
  }
  return true;
}

void line(const char* key, const std::string& value) { std::printf("%s=%s\n", key, value.c_str()); }

void printChannel(const MeterFacts& facts) {
  line("channel", facts.selectedChannel >= 0 ? std::to_string(facts.selectedChannel + 1) : "");
}

void printSent(const MeterBlockState& state) {
  std::string sent = state.lastEncoded;
  if (!sent.empty() && sent.back() == '\r') sent.pop_back();
  line("sent", escapedText(sent));
  std::fflush(stdout);
}

// Interrupted once the block may have gone out: the meter is asked whether it
// took it, so the user does not have to guess. A second interrupt gives up.
int reportInterruptedWrite(Connection& c, int channel, const MeterBlockFields& fields,
                           OperationContext& ctx) {
  if (ctx.cancelFlag != nullptr) ctx.cancelFlag->store(0);
  OperationContext check = ctx;
  check.quiet = true;
  const int rc = confirmMeterBlockWrite(c.link, channel, c.facts, c.block, fields, check);
  if (rc == kOk) {
    printSent(c.block.state);
    showCliMessage("block write interrupted, but the meter took the block (read back)");
  } else if (rc == kBlockNotConfirmed) {
    showCliMessage("block write interrupted: the meter kept its previous block (read back)");
  } else {
    showCliMessage(
        "block write interrupted after the block was sent: whether the meter took it could not "
        "be read back; check with block read");
  }
  return 1;
}

}  // namespace

bool requireBlock(const Connection& c) {
  if (c.facts.memoryBlock && c.facts.blockChannel() >= 0) return true;
  showCliMessage("the meter has no memory block");
  return false;
}

int blockFieldsForWrite(Connection& c, const char* verb, OperationContext& ctx) {
  // (A corrupt block was reported by the connect; reading it again would
  // only report it twice.)
  const int result = isBlockFormatFault(c.outcome.blockReadResult)
                         ? c.outcome.blockReadResult
                         : rereadMeterBlock(c.link, c.facts.blockChannel(), c.facts, c.block, ctx);
  if (result != kOk && !isBlockFormatFault(result)) return 1;
  if (result != kOk) {
    showMessage("tarnlux-cli: " + std::string(verb) +
                ": the meter's block cannot be decoded; the fields not given are written with "
                "their defaults");
  }
  return 0;
}

Connection::~Connection() {
  OperationContext closing;
  closing.quiet = true;
  if (link.isOpen()) link.closeLink(false, closing);
}

int connectForVerb(const LinkSettings& settings, const Options& options, OperationContext& ctx,
                   Connection& c) {
  bool usageProblem = false;
  const ChooseChannel choose = [&](unsigned selectable) {
    std::string choices;
    for (int n = 0; n < 4; ++n) {
      if ((selectable >> n & 1u) == 0) continue;
      if (!choices.empty()) choices += ",";
      choices += std::to_string(n + 1);
    }
    if (options.channel < 0) {
      usageError("choose a channel with --channel (" + choices + ")");
    } else if ((selectable >> options.channel & 1u) == 0) {
      usageError("channel " + std::to_string(options.channel + 1) + " is not available (" +
                 choices + ")");
    } else {
      return options.channel;
    }
    usageProblem = true;
    return static_cast<int>(kCancelled);
  };
  const int result = connectToMeter(c.link, settings, c.facts, c.block, choose, c.outcome, ctx);
  if (result == kOk) return 0;
  return usageProblem ? 2 : 1;
}

void printBlockLimits(const PassFailLimits& limits, MeterBlockLayout layout) {
  for (const LimitFieldPair& pair : limitFieldPairs(layout)) {
    const std::string prefix = std::string("limit.") + pair.key;
    for (const bool warning : {true, false}) {
      const double value = limitFieldValue(pair, warning, limits);
      const std::string text = pair.integer ? std::to_string(static_cast<long long>(value))
                                            : formatBlockDecimal(value);
      std::printf("%s.%s=%s\n", prefix.c_str(), warning ? "warning" : "fail", text.c_str());
    }
  }
}

std::string acceptedRangeText(const LimitFieldPair& pair) {
  const bool bounded = std::isfinite(pair.maximum);
  std::string text = pair.integer ? "accepted: a whole number from 1" : "accepted: a number from 0";
  if (bounded) {
    text += " to " + (pair.integer ? std::to_string(static_cast<long long>(pair.maximum))
                                   : formatBlockDecimal(pair.maximum));
  } else {
    text += " up";
  }
  return text;
}

std::string limitOrderDetail(const LimitFieldPair& pair, const PassFailLimits& limits) {
  const std::string key = std::string("limit.") + pair.key;
  auto text = [&](bool warning) {
    const double value = limitFieldValue(pair, warning, limits);
    return pair.integer ? std::to_string(static_cast<long long>(value)) : formatBlockDecimal(value);
  };
  return std::string("accepted: ") + key + ".warning " + (pair.bad == BadSide::High ? "<=" : ">=") +
         " " + key + ".fail (now " + text(true) + " and " + text(false) + ")";
}

int setBlockField(MeterBlockFields& fields, MeterBlockLayout layout, const std::string& key,
                  const std::string& value, std::string& error, std::string& detail) {
  if (key.rfind("limit.", 0) == 0) {
    const std::size_t dot = key.rfind('.');
    const std::string name = key.substr(6, dot - 6);
    const std::string part = key.substr(dot + 1);
    const LimitFieldPair* pair =
        dot > 6 && (part == "warning" || part == "fail") ? findLimitFieldPair(layout, name) : nullptr;
    if (pair == nullptr) {
      error = "unknown key " + key + " for the " + layoutName(layout) + " block";
      return 1;
    }
    // The block's own number forms first, then the rule of the screen's field.
    const bool warning = part == "warning";
    if (pair->integer) {
      std::int32_t number = 0;
      if (!parseBlockInteger(value, number)) {
        error = key + " takes a whole number (digits only): " + value;
        return 2;
      }
    } else {
      double number = 0;
      if (!parseBlockDecimal(value, number)) {
        error = key + " takes a number of digits and one point, at most six decimals: " + value;
        return 2;
      }
    }
    const LimitFieldCheck check = checkLimitField(*pair, warning, value, false);
    if (!check.ok) {
      error = key + ": " + check.message;
      detail = acceptedRangeText(*pair);
      return 2;
    }
    setLimitField(*pair, warning, check.value, fields.limits);
    return 0;
  }
  if (const MeterInfoFieldRule* rule = findMeterInfoField(key)) {
    const MeterInfoFieldCheck check = checkMeterInfoField(*rule, value);
    if (!check.ok) {
      error = key + ": " + check.message + ": " + value;
      if (check.message == rule->tooLongMessage) {
        detail = "accepted: at most " + std::to_string(rule->maxLength) + " characters";
      }
      return 2;
    }
    std::string text = check.text;
    // Site names are kept in upper case, as the meter stores them.
    if (rule->text == &MeterInfoTexts::location) {
      for (char& c : text) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
    fields.info.*rule->text = text;
    return 0;
  }
  for (const TextEntry& entry : textEntries(fields.info)) {
    if (key != entry.name) continue;
    if (value.size() > entry.longestWritten) {
      error = key + " holds at most " + std::to_string(entry.longestWritten) + " characters";
      return 2;
    }
    if (!isBlockText(value)) {
      error = key + ": no \",\", \"|\", \"~\", control characters or leading blank: " + value;
      return 2;
    }
    *entry.text = value;
    return 0;
  }
  error = "unknown key " + key;
  return 1;
}

std::string escapedText(std::string_view text) {
  std::string out;
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7F || c == '\\') {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

int runBlockRead(const LinkSettings& settings, const Options& options, OperationContext& ctx) {
  Connection c;
  const int status = connectForVerb(settings, options, ctx, c);
  if (status != 0) return status;
  if (!requireBlock(c)) return 1;
  // The connect read the block; its fault was reported there. A read lost
  // on the way (time-out, dropped line) is tried again.
  if (!c.outcome.blockRead || isBlockFormatFault(c.outcome.blockReadResult)) return 1;
  if (rereadMeterBlock(c.link, c.facts.blockChannel(), c.facts, c.block, ctx) != kOk) return 1;

  const MeterBlockState& state = c.block.state;
  const MeterBlockLayout layout = layoutForRead(c.facts.meterFlags, c.facts.blockChannel());
  printChannel(c.facts);
  line("layout", layoutName(layout));
  line("capacity", std::to_string(state.capacity));
  line("generation", std::string(1, state.generation));
  line("text", escapedText(state.lastReadText));
  printBlockLimits(state.block.limits, layout);
  MeterInfoTexts info = state.block.info;
  for (const TextEntry& entry : textEntries(info)) line(entry.name, *entry.text);
  std::fflush(stdout);
  return 0;
}

int runBlockWrite(const LinkSettings& settings, const Options& options, OperationContext& ctx) {
  // Keys and values are checked before the meter is touched; a key is known
  // when either layout has it, the channel's layout is checked once connected.
  for (const auto& [key, value] : options.assignments) {
    MeterBlockFields scratch;
    std::string error;
    std::string detail;
    int rc = setBlockField(scratch, MeterBlockLayout::TransitTime, key, value, error, detail);
    if (rc == 1) rc = setBlockField(scratch, MeterBlockLayout::Echoflux, key, value, error, detail);
    if (rc != 0) return usageError("block write: " + error, detail);
  }

  Connection c;
  const int status = connectForVerb(settings, options, ctx, c);
  if (status != 0) return status;
  if (!requireBlock(c)) return 1;

  // The fields the meter holds, changed where asked: a write replaces the
  // whole block. When the connect could not read it, it is read again. A
  // block that cannot be decoded is rebuilt from defaults; one that cannot
  // be read at all is left alone, or its fields would be lost.
  const int channel = c.facts.blockChannel();
  if (blockFieldsForWrite(c, "block write", ctx) != 0) return 1;
  const MeterBlockLayout layout = layoutForWrite(c.facts.echofluxMode);
  MeterBlockFields fields = c.block.state.block;
  for (const auto& [key, value] : options.assignments) {
    std::string error;
    std::string detail;
    if (setBlockField(fields, layout, key, value, error, detail) != 0) {
      return usageError("block write: " + error, detail);
    }
  }
  // A warning limit past its fail limit, in a pair the command changes.
  for (const LimitFieldPair& pair : limitFieldPairs(layout)) {
    const std::string prefix = std::string("limit.") + pair.key + ".";
    bool touched = false;
    for (const auto& assignment : options.assignments) {
      touched = touched || assignment.first.rfind(prefix, 0) == 0;
    }
    if (touched && !limitPairInOrder(pair, fields.limits)) {
      return usageError("block write: " + limitOrderMessage(pair),
                        limitOrderDetail(pair, fields.limits));
    }
  }

  if (checkPasswordForVerb(c, options, ctx) != kOk) return 1;

  const int result = writeMeterBlockFields(c.link, channel, c.facts, c.block, fields, ctx);
  if (result == kCancelled && !c.block.state.lastEncoded.empty()) {
    return reportInterruptedWrite(c, channel, fields, ctx);
  }
  if (result != kOk) return 1;
  printSent(c.block.state);
  return 0;
}

PasswordDialog passwordDialogForVerb(const Options& options, std::string& refusal) {
  return [&options, &refusal](std::string_view meterPassword, std::string& newPassword) {
    PasswordEntry entry;
    entry.password = options.password.value_or("");
    const PasswordCheck check = checkPasswordEntry(entry, meterPassword);
    if (check.message != nullptr) {
      refusal = check.message;
      return static_cast<int>(kCancelled);
    }
    newPassword.clear();
    return static_cast<int>(kOk);
  };
}

void showPasswordRefusal(const Options& options, const std::string& refusal) {
  if (refusal.empty()) return;
  showMessage(refusal + (options.password ? "" : " (the meter is protected: give --password)"));
}

int checkPasswordForVerb(Connection& c, const Options& options, OperationContext& ctx) {
  std::string refusal;
  const int result =
      checkMeterPassword(c.link, c.facts.blockChannel(), passwordDialogForVerb(options, refusal), ctx);
  if (result != kOk) showPasswordRefusal(options, refusal);
  return result;
}

}  // namespace tarnlux::cli
