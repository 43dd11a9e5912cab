#include "meter.h"

#include <algorithm>
#include <cctype>

#include "number_text.h"
#include "diag_answers.h"
#include "queries.h"

namespace tarnlux::meter {

namespace {

std::string_view skipBlanks(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  return s;
}

std::string_view trimBlanks(std::string_view s) {
  s = skipBlanks(s);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

Meter::Meter(const Profile& profile, std::uint32_t seed, WallClock clock)
    : profile_(profile), random_(seed), clock_(std::move(clock)), diagnostics_(seed), sites_(profile_) {
  if (!clock_) clock_ = [] { return std::time(nullptr); };
  for (const Variable& v : profile_.cvVariables) cv_.define(v);
  for (const Variable& v : profile_.qmVariables) qm_.define(v);
}

void Meter::applyStateFaults(const FaultSet& faults) {
  if (Variable* status = cv_.find("abar"); status != nullptr && status->type != VarType::Char) {
    for (int i = 0; i < kIndexCount; ++i) {
      auto word = static_cast<std::uint32_t>(status->numbers[static_cast<std::size_t>(i)][0]);
      if ((faults.notMeasuring >> i & 1u) != 0) word &= ~0x10u;
      if ((faults.nullTrackFailing >> i & 1u) != 0) word &= ~0x02u;
      status->numbers[static_cast<std::size_t>(i)][0] = word;
    }
  }
  // A path that does not measure is searching for its signal and accepts nothing.
  for (int i = 0; i < kIndexCount; ++i) {
    if ((faults.notMeasuring >> i & 1u) == 0) continue;
    for (const auto& [name, value] : {std::pair{"make_state", 3.0}, std::pair{"accept", 0.0}}) {
      Variable* v = cv_.find(name);
      if (v != nullptr && v->type != VarType::Char) v->numbers[static_cast<std::size_t>(i)][0] = value;
    }
  }
  diagnostics_.setUnitsChangeAfter(faults.unitsChangeAfter);
  shortBlockListing_ = faults.shortBlock;
  silentBlockReads_ = faults.silentBlockReads;
  dropBlockRead_ = faults.dropBlockRead;
  shortTables_ = faults.tableShort;
  offTables_ = faults.tableOff;
  signalFaults_ = faults.signal;
  storageBadCheck_ = faults.storageBadCheck;
  eventBadRecord_ = faults.eventBadRecord;
  sites_.setFaults(faults.sites);
}

double Meter::sample(const VariableStore& store, std::string_view name, int index,
                     double fallback) {
  const Variable* v = store.find(name);
  if (v == nullptr || v->type == VarType::Char) return fallback;
  double value = store.number(name, index, fallback);
  if (v->noise > 0) value += std::uniform_real_distribution<double>(-v->noise, v->noise)(random_);
  return value;
}

std::string Meter::execute(std::string_view line) {
  line = skipBlanks(line);
  const std::size_t blank = line.find(' ');
  const std::string_view word = line.substr(0, blank);
  const std::string_view args =
      blank == std::string_view::npos ? std::string_view() : line.substr(blank);
  if (word == "cv") return variableCommand(word, cv_, args);
  if (word == "qm") return variableCommand(word, qm_, args);
  if (word == "qg") return queryCommand(args);
  return std::string(kNotUnderstood);
}

// "cv INDEX NAME" reads; "cv INDEX NAME[ELEMENT] VALUES" (or "NAME VALUES")
// writes. For char variables everything after the blank that follows the name
// is the text, blanks included.
std::string Meter::variableCommand(std::string_view word, VariableStore& store,
                                   std::string_view args) {
  const std::string usage = "Error: usage " + std::string(word) + " INDEX NAME [VALUES]\r\n";
  args = skipBlanks(args);
  std::size_t i = 0;
  int index = 0;
  while (i < args.size() && std::isdigit(static_cast<unsigned char>(args[i])) && i < 3) {
    index = index * 10 + (args[i] - '0');
    ++i;
  }
  if (i == 0 || i >= args.size() || args[i] != ' ') return usage;
  args = skipBlanks(args.substr(i));
  const std::size_t end = args.find(' ');
  std::string_view token = args.substr(0, end);
  if (token.empty()) return usage;
  std::optional<std::size_t> element;
  const std::size_t bracket = token.find('[');
  if (bracket != std::string_view::npos) {
    const std::string_view digits = token.substr(bracket + 1, token.size() - bracket - 2);
    if (token.back() != ']' || digits.empty() || digits.size() > 5) return usage;
    const std::optional<double> n = parseInteger(digits, 0, 99999);
    if (!n) return usage;
    element = static_cast<std::size_t>(*n);
    token = token.substr(0, bracket);
  }
  const Variable* v = store.find(token);
  if (v == nullptr) return std::string(kUnknownVariable);
  if (end == std::string_view::npos) {
    ListingFaults listingFaults;
    if (&store == &cv_ && !element) {
      const auto named = [token](const std::vector<std::string>& names) {
        return std::find(names.begin(), names.end(), token) != names.end();
      };
      listingFaults.omitLast = v->isArray() && named(shortTables_);
      listingFaults.firstOff = v->isArray() && named(offTables_);
    }
    // A read lost on the way: the prompt comes back, the listing never does.
    if (silentBlockReads_ > 0 && &store == &cv_ && token == "qmmem") {
      --silentBlockReads_;
      return {};
    }
    if (dropBlockRead_ && &store == &cv_ && token == "qmmem") {
      dropBlockRead_ = false;
      dropRequested_ = true;
      return {};
    }
    std::string listing = store.read(token, index, element, random_, listingFaults);
    // "...~|\r\n": one character less than the size says.
    if (shortBlockListing_ && &store == &cv_ && token == "qmmem" && listing.size() > 5 &&
        listing.compare(0, 5, "char ") == 0) {
      listing.erase(listing.size() - 4, 1);
    }
    return listing;
  }
  const std::string_view values = args.substr(end + 1);
  if (v->type == VarType::Char) {
    if (!element && trimBlanks(values).empty()) return store.read(token, index, element, random_);
    std::string written = store.write(token, index, element.value_or(0), values);
    if (written.empty() && &store == &cv_ && token == "qmcmd") return blockCommand(index);
    return written;
  }
  if (trimBlanks(values).empty()) return store.read(token, index, element, random_);
  return store.write(token, index, element.value_or(0), trimBlanks(values));
}

// "qg KCS": three hexadecimal digits, kind, channel and sub-code.
std::string Meter::queryCommand(std::string_view args) {
  args = trimBlanks(args);
  if (args.size() != 3 || hexValue(args[0]) < 0 || hexValue(args[1]) < 0 || hexValue(args[2]) < 0) {
    return "Error: bad query code\r\n";
  }
  return answerQuery(*this, QueryRequest{hexValue(args[0]), hexValue(args[1]), hexValue(args[2])});
}

std::string Meter::blockCommand(int index) {
  BlockCommand command;
  // Query answers end with ETX on memory-block meters; a command the meter
  // cannot take is answered with the terminator alone.
  const std::string end = profile_.memoryBlock ? "\x03\r\n" : "\r\n";
  if (!parseBlockCommand(cv_.text("qmcmd", index), command) || !command.checkGood) return end;
  if ((command.code & ~0x8u) == kEventRequest) {
    return eventList(index, command.argument, (command.code & 0x8u) != 0) + end;
  }
  if ((command.code & ~0xFFF0Fu) != kStorageCommand) return end;
  StorageState& state = storage_[static_cast<std::size_t>(index)];
  applyStorageCommand(state, command.code);
  // The limits are set up once the service program has written its block.
  const std::string block = cv_.text("qmmem", index);
  const bool limitsSetUp = !block.empty() && block[0] != '~';
  return storageAnswer(state, limitsSetUp, storageBadCheck_) + end;
}

int Meter::storageIndex(int path) const {
  // Paths of one measurement keep their storage in the site slot.
  const std::uint32_t caps = profile_.capabilities;
  return (caps & 0x4u) != 0 ? static_cast<int>(caps & 0x3u) + 1 : path;
}

void Meter::recordEvent(int path, const std::string& fieldLine) {
  // A channel in the Echoflux mode keeps the Echoflux layout in its block and
  // stores its events in the Echoflux form (recordEchofluxEvent).
  if (isEchofluxChannel(*this, path)) return;
  const int index = storageIndex(path);
  if (index < 0 || index >= kIndexCount) return;
  StorageState& state = storage_[static_cast<std::size_t>(index)];
  BlockLimits limits;
  if (!state.enabled || state.allocatedBytes == 0 ||
      !parseBlockLimits(cv_.text("qmmem", index), limits)) {
    return;
  }
  std::string site = cv_.text("id", index);
  while (!site.empty() && site.back() == ' ') site.pop_back();
  if (site.empty()) site = "SITE";
  const std::string record =
      transitEventRecord(fieldLine, path, limits, site, profile_.gas(), showsMetric(*this),
                         nullTrackIndex(*this, path) >= 0);
  // A full memory keeps what it has.
  if (record.empty() || state.usedBytes + record.size() > state.allocatedBytes) return;
  state.events.push_back(record);
  state.usedBytes += static_cast<std::uint32_t>(record.size());
}

const std::vector<std::string>& Meter::storedEvents(int index) const {
  return storage_[static_cast<std::size_t>(index)].events;
}

std::string Meter::eventList(int index, const std::string& site, bool clear) {
  std::vector<std::string> records;
  for (int i = 0; i < kIndexCount; ++i) {
    StorageState& state = storage_[static_cast<std::size_t>(i)];
    bool listed = false;
    for (const std::string& record : state.events) {
      const std::string recordSite = record.substr(0, record.find(','));
      if ((site.empty() && i == index) || site == "*" || (!site.empty() && recordSite == site)) {
        records.push_back(record);
        listed = true;
      }
    }
    if (clear && listed) {
      state.events.clear();
      state.usedBytes = 0;
    }
  }
  return eventListing(records, eventBadRecord_);
}

}  // namespace tarnlux::meter
