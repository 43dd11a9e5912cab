#include "block_verb.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "common/result.h"
#include "link/password_io.h"
#include "link/site_names.h"

namespace tarnlux::cli {

namespace {

struct LimitEntry {
  const char* name;
  IntLimitPair* integer;
  RealLimitPair* real;
};

std::vector<LimitEntry> limitEntries(PassFailLimits& limits, MeterBlockLayout layout) {
  if (layout == MeterBlockLayout::TransitTime) {
    TransitTimeLimits& t = limits.transitTime;
    return {{"alc", &t.alc, nullptr},
            {"snr", nullptr, &t.snr},
            {"correlation_quality", nullptr, &t.correlationQuality},
            {"adc", &t.adcBuffer, nullptr},
            {"accepted", &t.accepted, nullptr},
            {"envelope", &t.envelopeChange, nullptr},
            {"nulltrack_alc", &t.nullTrackAlc, nullptr},
            {"nulltrack_delta_time", nullptr, &t.nullTrackDeltaTime},
            {"flow_velocity_diff", nullptr, &t.flowVelocityDiff},
            {"sound_speed_diff", nullptr, &t.soundSpeedDiff}};
  }
  EchofluxLimits& e = limits.echoflux;
  return {{"signal_strength", &e.signalStrength, nullptr},
          {"low_doppler", &e.lowDoppler, nullptr},
          {"low_range_upper", &e.lowRangeUpper, nullptr},
          {"high_range_upper", &e.highRangeUpper, nullptr},
          {"liquid_low", nullptr, &e.liquidLow},
          {"liquid_high", nullptr, &e.liquidHigh},
          {"slurry_low", nullptr, &e.slurryLow},
          {"slurry_high", nullptr, &e.slurryHigh},
          {"noise_low", nullptr, &e.noiseLow},
          {"noise_high", nullptr, &e.noiseHigh},
          {"fft_peak", &e.fftPeak, nullptr},
          {"flow_velocity", nullptr, &e.flowVelocity}};
}

struct TextEntry {
  const char* name;
  std::string* text;
  std::size_t longestWritten;
};

std::vector<TextEntry> textEntries(MeterInfoTexts& info) {
  return {{"location", &info.location, kSiteNameMaxLength},
          {"spool_part_number", &info.spoolPartNumber, 31},
          {"spool_serial_number", &info.spoolSerialNumber, 16},
          {"manufacture_date", &info.manufactureDate, 16},
          {"flowmeter_part_number", &info.flowmeterPartNumber, 31},
          {"flowmeter_serial_number", &info.flowmeterSerialNumber, 16},
          {"last_report_date", &info.lastReportDate, 16},
          {"last_report_time", &info.lastReportTime, 16}};
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

// Separators and fill characters would cut the field short on reading, and a
// leading blank is skipped on reading.
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

// The block verbs need the block: refused on a meter without one.
bool requireBlock(const Connection& c) {
  if (c.facts.memoryBlock && c.facts.blockChannel() >= 0) return true;
  std::fprintf(stderr, "tarnlux-cli: the meter has no memory block\n");
  return false;
}

}  // namespace

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
      std::fprintf(stderr, "tarnlux-cli: choose a channel with --channel (%s)\n", choices.c_str());
    } else if ((selectable >> options.channel & 1u) == 0) {
      std::fprintf(stderr, "tarnlux-cli: channel %d is not available (%s)\n", options.channel + 1,
                   choices.c_str());
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
  PassFailLimits copy = limits;
  for (const LimitEntry& entry : limitEntries(copy, layout)) {
    const std::string prefix = std::string("limit.") + entry.name;
    if (entry.integer != nullptr) {
      std::printf("%s.warning=%d\n%s.fail=%d\n", prefix.c_str(),
                  static_cast<int>(entry.integer->warning), prefix.c_str(),
                  static_cast<int>(entry.integer->fail));
    } else {
      std::printf("%s.warning=%s\n%s.fail=%s\n", prefix.c_str(),
                  formatBlockDecimal(entry.real->warning).c_str(), prefix.c_str(),
                  formatBlockDecimal(entry.real->fail).c_str());
    }
  }
}

int setBlockField(MeterBlockFields& fields, MeterBlockLayout layout, const std::string& key,
                  const std::string& value, std::string& error) {
  if (key.rfind("limit.", 0) == 0) {
    const std::size_t dot = key.rfind('.');
    const std::string name = key.substr(6, dot - 6);
    const std::string part = key.substr(dot + 1);
    if (dot > 6 && (part == "warning" || part == "fail")) {
      for (const LimitEntry& entry : limitEntries(fields.limits, layout)) {
        if (name != entry.name) continue;
        if (entry.integer != nullptr) {
          std::int32_t number = 0;
          if (!parseBlockInteger(value, number)) {
            error = key + " takes a whole number (digits only): " + value;
            return 2;
          }
          (part == "warning" ? entry.integer->warning : entry.integer->fail) = number;
        } else {
          double number = 0;
          if (!parseBlockDecimal(value, number)) {
            error = key + " takes a number of digits and one point, at most six decimals: " + value;
            return 2;
          }
          (part == "warning" ? entry.real->warning : entry.real->fail) = number;
        }
        return 0;
      }
    }
    error = "unknown key " + key + " for the " + layoutName(layout) + " block";
    return 1;
  }
  for (const TextEntry& entry : textEntries(fields.info)) {
    if (key != entry.name) continue;
    if (key == "location" && !value.empty()) {
      std::string name;
      const SiteNameFault fault = checkSiteName(value, name);
      if (fault != SiteNameFault::None) {
        error = std::string("location: ") + siteNameMessage(fault) + ": " + value;
        return 2;
      }
      *entry.text = name;
      return 0;
    }
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
    int rc = setBlockField(scratch, MeterBlockLayout::TransitTime, key, value, error);
    if (rc == 1) rc = setBlockField(scratch, MeterBlockLayout::Echoflux, key, value, error);
    if (rc != 0) {
      std::fprintf(stderr, "tarnlux-cli: block write: %s\n", error.c_str());
      return 2;
    }
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
  // (A corrupt block was reported by the connect; reading it again would
  // only report it twice.)
  int result = isBlockFormatFault(c.outcome.blockReadResult)
                   ? c.outcome.blockReadResult
                   : rereadMeterBlock(c.link, channel, c.facts, c.block, ctx);
  if (result != kOk && !isBlockFormatFault(result)) return 1;
  if (result != kOk && !ctx.quiet) {
    std::fprintf(stderr,
                 "tarnlux-cli: block write: the meter's block cannot be decoded; the "
                 "fields not given are written with their defaults\n");
  }
  const MeterBlockLayout layout = layoutForWrite(c.facts.echofluxMode);
  MeterBlockFields fields = c.block.state.block;
  for (const auto& [key, value] : options.assignments) {
    std::string error;
    if (setBlockField(fields, layout, key, value, error) != 0) {
      std::fprintf(stderr, "tarnlux-cli: block write: %s\n", error.c_str());
      return 2;
    }
  }

  std::string refusal;
  const PasswordDialog dialog = [&](std::string_view meterPassword, std::string& newPassword) {
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
  result = checkMeterPassword(c.link, channel, dialog, ctx);
  if (result != kOk) {
    if (!refusal.empty() && !ctx.quiet) {
      std::fprintf(stderr, "%s%s\n", refusal.c_str(),
                   options.password ? "" : " (the meter is protected: give --password)");
    }
    return 1;
  }

  result = writeMeterBlockFields(c.link, channel, c.facts, c.block, fields, ctx);
  if (result != kOk) return 1;
  std::string sent = c.block.state.lastEncoded;
  if (!sent.empty() && sent.back() == '\r') sent.pop_back();
  line("sent", escapedText(sent));
  std::fflush(stdout);
  return 0;
}

}  // namespace tarnlux::cli
