#include "diag/stored_events.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <vector>

#include "common/profile_file.h"
#include "diag/alarm_storage.h"
#include "link/exchange.h"
#include "link/link_reopen.h"
#include "link/meter_block.h"

namespace tarnlux {

namespace {

// Per transit-time group: the fault of path 1 (0: the group has none).
constexpr std::array<int, 15> kGroupFault{22005, 22009, 22013, 22017, 22021, 0,     22025, 22029,
                                          22033, 22037, 22041, 22045, 22049, 22053, 22057};
enum Group { Status, AlcUp, AlcDown, SnrUp, SnrDown, Correlation, Adc, Accepted, Envelope,
             FlowVelocity, SoundSpeed, NullTrackAlc, NullTrackDeltaTime, FailBits, WarningBits };

// The record's fields: split at commas (field 2 also at a blank), leading
// blanks skipped; the record ends at the line's end or ETX.
std::vector<std::string_view> recordFields(std::string_view record) {
  const std::size_t end = record.find_first_of("\r\n\x03");
  if (end != std::string_view::npos) record = record.substr(0, end);
  std::vector<std::string_view> fields;
  while (true) {
    while (!record.empty() && record.front() == ' ') record.remove_prefix(1);
    const std::size_t stop = fields.size() == 2 ? record.find_first_of(", ") : record.find(',');
    fields.push_back(record.substr(0, stop));
    if (stop == std::string_view::npos) break;
    record.remove_prefix(stop + 1);
  }
  // A record ended by its last comma has no field after it.
  if (fields.size() > 1 && fields.back().empty()) fields.pop_back();
  return fields;
}

// Reads fields in order and says which fault a bad one is.
class FieldReader {
 public:
  explicit FieldReader(std::vector<std::string_view> fields) : fields_(std::move(fields)) {}
  bool atEnd() const { return next_ >= fields_.size(); }
  std::size_t position() const { return next_; }

  // Integer: optional "-" when `signedValue`, digits. 0 or the fault.
  int integer(int fault, bool signedValue, std::int64_t high, std::int32_t& value) {
    if (atEnd()) return fault;
    std::string_view f = fields_[next_++];
    if (f.empty()) return fault;
    const bool negative = f.front() == '-';
    if (negative && !signedValue) return kEventBadIntegerCharacter;
    const std::string_view digits = negative ? f.substr(1) : f;
    if (digits.empty()) return fault;
    for (char c : digits) {
      if (c < '0' || c > '9') return kEventBadIntegerCharacter;
    }
    if (digits.size() > 10) return fault;
    std::int64_t v = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), v);
    if (negative) v = -v;
    if (v > high || v < -2147483648LL) return fault;
    value = static_cast<std::int32_t>(v);
    return 0;
  }

  // Real: optional "-", digits, at most one ".". An empty field is `empty`
  // when the caller allows one. 0 or the fault.
  int real(int fault, double& value, bool* empty = nullptr) {
    if (atEnd()) return fault;
    std::string_view f = fields_[next_++];
    if (f.empty()) {
      if (empty != nullptr) {
        *empty = true;
        return 0;
      }
      return fault;
    }
    std::size_t i = f.front() == '-' ? 1 : 0;
    bool point = false;
    bool digit = false;
    for (; i < f.size(); ++i) {
      if (f[i] == '.' && !point) {
        point = true;
      } else if (f[i] >= '0' && f[i] <= '9') {
        digit = true;
      } else {
        return kEventBadRealCharacter;
      }
    }
    if (!digit) return fault;
    value = std::strtod(std::string(f).c_str(), nullptr);
    if (empty != nullptr) *empty = false;
    return 0;
  }

  int text(int fault, std::size_t maxLength, std::string& value) {
    if (atEnd()) return fault;
    std::string_view f = fields_[next_++];
    if (f.empty() || f.size() > maxLength) return fault;
    value = std::string(f);
    return 0;
  }

 private:
  std::vector<std::string_view> fields_;
  std::size_t next_ = 0;
};

// "MM.DD.YY" style: 1 to 16 characters, the third and sixth ".", digits elsewhere.
int dateOrTime(FieldReader& reader, int fault, std::string& value) {
  if (int rc = reader.text(fault, 16, value); rc != 0) return rc;
  for (std::size_t i = 0; i < value.size(); ++i) {
    const bool dot = i == 2 || i == 5;
    if (dot ? value[i] != '.' : (value[i] < '0' || value[i] > '9')) return kEventBadDateCharacter;
  }
  return 0;
}

std::uint32_t statusFromSent(std::int32_t sent) {
  return ~static_cast<std::uint32_t>(sent) & 0x3FFu;
}

int decodeTransitTime(FieldReader& r, StoredEvent& e) {
  const unsigned present = e.flags & 0xFu;
  const unsigned nullTrack = (e.flags >> 8) & present;
  for (int p = 0; p < 4; ++p) {
    e.paths[static_cast<std::size_t>(p)].present = (present >> p & 1u) != 0;
    e.paths[static_cast<std::size_t>(p)].nullTrack = (nullTrack >> p & 1u) != 0;
  }
  for (int g = Status; g <= WarningBits; ++g) {
    for (int p = 0; p < 4; ++p) {
      StoredEventPath& path = e.paths[static_cast<std::size_t>(p)];
      if (!path.present) continue;
      const bool figure = g >= SnrUp && g <= SoundSpeed;
      if (figure && !path.measuring()) continue;
      if ((g == NullTrackAlc || g == NullTrackDeltaTime) && !path.nullTrack) continue;
      const int fault = kGroupFault[static_cast<std::size_t>(g)] + p;
      std::int32_t n = 0;
      int rc = 0;
      switch (g) {
        case Status:
          rc = r.integer(fault, false, 1023, n);
          path.statusWord = statusFromSent(n);
          break;
        case AlcUp: rc = r.integer(fault, true, 2147483647, path.alcUp); break;
        case AlcDown: rc = r.integer(fault, true, 2147483647, path.alcDown); break;
        case SnrUp: rc = r.real(fault, path.snrUp); break;
        case SnrDown: rc = r.real(fault, path.snrDown); break;
        case Correlation: {
          double v = 0;
          bool empty = false;
          rc = r.real(kEventBadRealCharacter, v, &empty);
          if (rc == 0 && !empty) path.correlation = v;
          break;
        }
        case Adc: rc = r.integer(fault, true, 2147483647, path.adcBuffer); break;
        case Accepted: rc = r.integer(fault, true, 2147483647, path.accepted); break;
        case Envelope: rc = r.integer(fault, true, 2147483647, path.envelopeChange); break;
        case FlowVelocity: rc = r.real(fault, path.flowVelocity); break;
        case SoundSpeed: rc = r.real(fault, path.soundSpeed); break;
        case NullTrackAlc: rc = r.integer(fault, true, 2147483647, path.nullTrackAlc); break;
        case NullTrackDeltaTime: rc = r.real(fault, path.nullTrackDeltaTime); break;
        case FailBits:
          rc = r.integer(fault, false, 2147483647, n);
          path.failBits = static_cast<std::uint32_t>(n);
          break;
        case WarningBits:
          rc = r.integer(fault, false, 2147483647, n);
          path.warningBits = static_cast<std::uint32_t>(n);
          break;
        default: break;
      }
      if (rc != 0) return rc;
    }
  }
  if ((e.flags & 0x80u) != 0) {
    double t = 0;
    if (int rc = r.real(kEventTemperatureFault, t); rc != 0) return rc;
    e.temperature = t;
  }
  for (int p = 0; p < 4; ++p) {
    StoredEventPath& path = e.paths[static_cast<std::size_t>(p)];
    if (!path.present) continue;
    if (int rc = r.text(kEventSearchStateFault + p, 16, path.searchState); rc != 0) return rc;
  }
  return r.atEnd() ? 0 : kEventNotEnded;
}

int decodeEchoflux(FieldReader& r, StoredEvent& e) {
  StoredEchofluxFigures& f = e.echofluxFigures;
  f.path = (e.flags & 0x08u) != 0 ? 3 : static_cast<int>((e.flags / 2) % 8);
  if (f.path > 3) return kEventBadFlags;
  StoredEventPath& path = e.paths[static_cast<std::size_t>(f.path)];
  path.present = true;
  std::int32_t n = 0;
  if (int rc = r.integer(22005, false, 1023, n); rc != 0) return rc;
  path.statusWord = statusFromSent(n);
  if (int rc = r.integer(22006, true, 2147483647, f.signalStrength); rc != 0) return rc;
  if (int rc = r.integer(22007, true, 2147483647, f.dopplerFrequency); rc != 0) return rc;
  if (int rc = r.integer(22008, false, 1, n); rc != 0) return rc == kEventBadIntegerCharacter ? 22008 : rc;
  f.highFlowRange = n == 1;
  if (int rc = r.real(22009, f.deviation); rc != 0) return rc;
  if (int rc = r.real(22010, f.fluidType); rc != 0) return rc;
  if (int rc = r.integer(22011, true, 2147483647, f.noiseLevel); rc != 0) return rc;
  if (int rc = r.integer(22012, true, 2147483647, f.fftPeak); rc != 0) return rc;
  if (path.measuring()) {
    if (int rc = r.real(22013, f.flowVelocity); rc != 0) return rc;
  }
  if (int rc = r.integer(22014, false, 2147483647, n); rc != 0) return rc;
  path.failBits = static_cast<std::uint32_t>(n);
  if (int rc = r.integer(22015, false, 2147483647, n); rc != 0) return rc;
  path.warningBits = static_cast<std::uint32_t>(n);
  if (!r.atEnd()) {
    double t = 0;
    if (int rc = r.real(22016, t); rc != 0) return rc;
    e.temperature = t;
  }
  return r.atEnd() ? 0 : kEventNotEnded;
}

}  // namespace

int checkEventSiteName(std::string_view typed, std::string& validated) {
  std::string name = trimmed(typed);
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  validated = name;
  if (name.size() > kEventSiteNameMaxLength) return 1;
  for (char c : name) {
    const bool allowed = (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' ||
                         c == '"' || c == '#';
    if (!allowed) return 2;
  }
  return 0;
}

std::array<std::string, 2> eventRequestFields(EventSiteChoice choice, std::string_view name,
                                              bool clear) {
  char code[8];
  std::snprintf(code, sizeof code, "%x", kEventRequestCode | (clear ? kEventRequestClearBit : 0u));
  switch (choice) {
    case EventSiteChoice::AllSites: return {code, "*"};
    case EventSiteChoice::NamedSite: return {code, std::string(name)};
    default: return {code, ""};
  }
}

int decodeStoredEvent(std::string_view record, StoredEvent& out) {
  FieldReader r(recordFields(record));
  StoredEvent e;
  if (int rc = r.text(kEventBadSite, 16, e.siteId); rc != 0) return rc;
  std::int32_t flags = 0;
  if (int rc = r.integer(kEventBadFlags, false, 8191, flags); rc != 0) {
    return rc == kEventBadIntegerCharacter ? kEventBadFlags : rc;
  }
  e.flags = static_cast<std::uint32_t>(flags);
  if ((e.flags & 0xFu) == 0) return kEventBadFlags;
  if (int rc = dateOrTime(r, kEventBadDate, e.date); rc != 0) return rc;
  if (int rc = dateOrTime(r, kEventBadTime, e.time); rc != 0) return rc;
  const int rc = e.echoflux() ? decodeEchoflux(r, e) : decodeTransitTime(r, e);
  if (rc != 0) return rc;
  out = std::move(e);
  return 0;
}

int retrieveStoredEvents(MeterLink& link, const MeterFacts& facts, MeterBlockStore& block,
                         EventSiteChoice choice, std::string_view validatedName, bool clear,
                         bool readBlockFirst, std::vector<std::string>& records,
                         OperationContext& ctx) {
  records.clear();
  const int channel = facts.blockChannel();
  const ChannelFacts channelFacts{facts.multiPath, nullptr};
  int rc = withTcpRetry(link, ctx, [&](OperationContext& attempt) {
    return resyncPrompt(link, channel, true, false, channelFacts, attempt);
  });
  if (rc != 0) return rc;
  if (readBlockFirst) {
    rc = readCommandBlock(link, channel, kStorageCommandBlockFaultBase, block, ctx);
    if (rc != 0) return rc;
  }
  const std::array<std::string, 2> fields = eventRequestFields(choice, validatedName, clear);
  const std::string command =
      commandBlockWriteCommand(channel, block.state.commandSequence, {fields[0], fields[1]});
  rc = sendCommand(link, command, kSendBaseTimeoutMs, ctx);
  if (rc != 0) return rc;
  CollectedLines collected;
  rc = collectLines(link, std::string_view(command).substr(0, command.size() - 1),
                    kEventListingTimeoutMs, collected, ctx);
  if (rc != 0) return rc;
  // The listing is kept newest first; the meter sends the oldest first.
  for (auto line = collected.lines.rbegin(); line != collected.lines.rend(); ++line) {
    if (line->size() <= kEventLinePrefixLength) continue;
    records.push_back(line->substr(kEventLinePrefixLength));
  }
  return 0;
}

}  // namespace tarnlux
