#include "sites.h"

#include <cstdio>

#include "number_text.h"
#include "profile.h"

namespace tarnlux::meter {

namespace {

constexpr char kAck = 0x06;
constexpr char kNak = 0x15;
constexpr char kEtx = 0x03;
constexpr std::string_view kEndOfData = "<EOT>";
constexpr std::string_view kBadParameter = "Bad Parameter(s)\r\n";
constexpr std::string_view kNoSites = "No Sites\r\n";

std::string hex2(int value) {
  char text[4];
  std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(value) & 0xFFu);
  return text;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

int hexPair(std::string_view text, std::size_t at) {
  if (at + 2 > text.size()) return -1;
  const int high = hexDigit(text[at]);
  const int low = hexDigit(text[at + 1]);
  return high < 0 || low < 0 ? -1 : high * 16 + low;
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

// "N NAME" or "N NAME * CC": the slot, the name and the counter (-1 without).
bool parseTransferArgs(std::string_view args, int& slot, std::string& name, int& counter) {
  args = trim(args);
  const std::size_t blank = args.find(' ');
  const std::optional<double> n = parseInteger(args.substr(0, blank), 0, SiteStore::kSlots - 1);
  if (!n || blank == std::string_view::npos) return false;
  slot = static_cast<int>(*n);
  std::string_view rest = trim(args.substr(blank));
  counter = -1;
  const std::size_t star = rest.rfind(" * ");
  if (star != std::string_view::npos) {
    counter = hexPair(rest, star + 3);
    if (counter < 0 || rest.size() != star + 5) return false;
    rest = trim(rest.substr(0, star));
  }
  if (rest.empty() || rest.size() > 8) return false;
  name = std::string(rest);
  return true;
}

}  // namespace

SiteFaultParse parseSiteFault(std::string_view name, bool hasArgument, std::string_view argument,
                              SiteFaults& faults, std::string& error) {
  int* count = name == "site-bad-check" ? &faults.badCheck
               : name == "site-lose"    ? &faults.lostAcks
               : name == "site-nak"     ? &faults.naks
                                        : nullptr;
  if (count != nullptr) {
    const std::optional<double> n = hasArgument ? parseInteger(argument, 1, 1000) : 1.0;
    if (!n) {
      error = "fault " + std::string(name) + "=N needs N from 1 to 1000";
      return SiteFaultParse::Refused;
    }
    *count = static_cast<int>(*n);
    return SiteFaultParse::Accepted;
  }
  bool* flag = name == "site-refuse"    ? &faults.refuse
               : name == "site-disable" ? &faults.disable
               : name == "no-sites"     ? &faults.noSites
                                        : nullptr;
  if (flag == nullptr) return SiteFaultParse::NotSiteFault;
  if (hasArgument) {
    error = "fault \"" + std::string(name) + "\" takes no value";
    return SiteFaultParse::Refused;
  }
  *flag = true;
  return SiteFaultParse::Accepted;
}

SiteStore::SiteStore(const Profile& profile)
    : model_(profile.typeText), version_(profile.versionText), numbered_(profile.memoryBlock) {
  // The site type number: fixed for a meter model, carried by every packet.
  unsigned sum = 0;
  for (char c : model_) sum += static_cast<unsigned char>(c);
  typeNumber_ = static_cast<int>(0x10 + sum % 0xE0);
  const auto make = [&](int slot, const char* name, int lines) {
    Slot& s = slots_[static_cast<std::size_t>(slot)];
    s.name = name;
    // The first line names the meter and ends with the site type number (and,
    // on numbering meters, the slot).
    std::string head = model_ + "-" + version_ + " " + name + " " + hex2(typeNumber_);
    if (numbered_) head += " (" + std::string(slot < 10 ? "0" : "") + std::to_string(slot) + ")";
    s.lines.push_back(head);
    for (int i = 0; i < lines; ++i) {
      char line[72];
      std::snprintf(line, sizeof line, "%02d %-8s %9.4f %9.4f %d", i, i % 3 == 0 ? "PIPE" : i % 3 == 1 ? "XDCR" : "FLOW",
                    1.5 + i * 0.25, 100.0 / (i + 1), i * 7 % 13);
      s.lines.emplace_back(line);
    }
  };
  make(5, "PUMP12", 24);
  make(12, "TANK 3", 6);
}

void SiteStore::setFaults(const SiteFaults& faults) {
  faults_ = faults;
  if (faults.noSites) {
    for (Slot& s : slots_) s = Slot{};
  }
}

const std::vector<std::string>* SiteStore::site(int slot) const {
  if (slot < 0 || slot >= kSlots || slots_[static_cast<std::size_t>(slot)].name.empty()) return nullptr;
  return &slots_[static_cast<std::size_t>(slot)].lines;
}

std::optional<std::string> SiteStore::execute(std::string_view line) {
  line = trim(line);
  if (line == "info") {
    std::string answer = "Ultrasonic flow meter\r\n" + model_ + "-" + version_;
    if (numbered_) answer += " *" + hex2(0x40);
    return answer + "\r\n";
  }
  if (line == "ls") return listing();
  if (line == "dnsite gg") return packet("GG") + "\r\n";
  const bool up = line.rfind("upsite ", 0) == 0;
  if (up || line.rfind("dnsite ", 0) == 0) {
    int slot = 0;
    int counter = 0;
    std::string name;
    if (!parseTransferArgs(line.substr(7), slot, name, counter) || (counter >= 0) != numbered_) {
      return std::string(kBadParameter);
    }
    if (up) {
      if (site(slot) == nullptr) return std::string(kBadParameter);
      return startSending(slot, counter);
    }
    mode_ = Mode::Taking;
    slot_ = slot;
    name_ = name;
    counter_ = counter;
    incoming_.clear();
    return std::string();
  }
  // "cv N enab" and "cv N enab V".
  if (line.rfind("cv ", 0) == 0) {
    std::string_view args = trim(line.substr(3));
    const std::size_t blank = args.find(' ');
    if (blank == std::string_view::npos) return std::nullopt;
    std::string_view rest = trim(args.substr(blank));
    const std::size_t valueAt = rest.find(' ');
    if (rest.substr(0, valueAt) != "enab") return std::nullopt;
    const std::optional<double> index = parseInteger(args.substr(0, blank), 0, 99);
    if (!index || *index >= kChannels) return std::string(kBadParameter);
    int& state = enables_[static_cast<std::size_t>(*index)];
    if (valueAt != std::string_view::npos) {
      const std::optional<double> value = parseInteger(trim(rest.substr(valueAt)), 0, 1);
      if (!value) return std::string(kBadParameter);
      state = static_cast<int>(*value);
      return std::string();
    }
    return "int enab " + std::to_string(state) + "\r\n";
  }
  return std::nullopt;
}

std::string SiteStore::listing() const {
  std::string out = model_ + " sites\r\n";
  bool any = false;
  for (int i = 0; i < kSlots; ++i) {
    const Slot& s = slots_[static_cast<std::size_t>(i)];
    if (s.name.empty()) continue;
    char entry[32];
    std::snprintf(entry, sizeof entry, "%-8s [%d]\r\n", s.name.c_str(), i);
    out += entry;
    any = true;
  }
  return any ? out : out + std::string(kNoSites);
}

std::string SiteStore::packet(std::string_view text, bool badCheck) const {
  std::string body = "00" + hex2(typeNumber_) + std::string(text);
  unsigned sum = 0;
  for (char c : body) sum += static_cast<unsigned char>(c);
  if (badCheck) sum += 1;
  return hex2(static_cast<int>(text.size() + 4)) + body + hex2(static_cast<int>(sum)) + "\r";
}

std::string SiteStore::startSending(int slot, int counter) {
  mode_ = Mode::Sending;
  slot_ = slot;
  counter_ = counter;
  outgoing_ = slots_[static_cast<std::size_t>(slot)].lines;
  outgoing_.emplace_back(kEndOfData);
  next_ = 0;
  return sendCurrent();
}

std::string SiteStore::sendCurrent() {
  const std::string text = (numbered_ ? hex2(counter_) : std::string()) + outgoing_[next_];
  const bool bad = faults_.badCheck > 0;
  if (bad) --faults_.badCheck;
  return packet(text, bad);
}

std::string SiteStore::leave(std::string reply) {
  mode_ = Mode::Idle;
  return reply + "\r\n";
}

std::string SiteStore::onPacket(std::string_view line) {
  while (!line.empty() && line.front() == '\n') line.remove_prefix(1);
  // A packet that does not add up is asked for again.
  const int length = hexPair(line, 0);
  const int check = line.size() >= 2 ? hexPair(line, line.size() - 2) : -1;
  unsigned sum = 0;
  for (std::size_t i = 2; i + 2 < line.size(); ++i) sum += static_cast<unsigned char>(line[i]);
  const bool good = line.size() >= 9 && length >= 0 && line.size() == static_cast<std::size_t>(length) + 4 &&
                    check == static_cast<int>(sum & 0xFF) && hexPair(line, 2) == typeNumber_;
  const std::string_view payload = line.size() >= 9 ? line.substr(6, line.size() - 8) : std::string_view();
  if (!good) return mode_ == Mode::Taking ? packet((numbered_ ? hex2(counter_) : std::string()) + kNak) : sendCurrent();
  // The control character that decides: the last of the payload.
  const char control = payload.empty() ? '\0' : payload.back();
  if (mode_ == Mode::Sending) {
    if (control == kEtx) return leave({});
    if (control == kAck) {
      if (faults_.lostAcks > 0) {
        --faults_.lostAcks;
        return sendCurrent();
      }
      if (++next_ >= outgoing_.size()) return leave({});
      counter_ = (counter_ + 1) & 0xFF;
    }
    return sendCurrent();
  }
  return take(payload, control, numbered_ ? hexPair(payload, 0) : -1);
}

std::string SiteStore::take(std::string_view payload, char control, int counter) {
  const std::string counterText = numbered_ ? hex2(counter < 0 ? counter_ : counter) : std::string();
  if (control == kEtx) return leave({});
  if (faults_.naks > 0) {
    --faults_.naks;
    return packet(counterText + kNak);
  }
  if (numbered_ && counter < 0) return packet(counterText + kNak);
  const std::string_view text = payload.substr(numbered_ ? 2 : 0);
  if (incoming_.empty()) {
    const std::size_t back = numbered_ ? 7 : 2;
    const bool ourType = text.size() >= back && hexPair(text, text.size() - back) == typeNumber_;
    if (faults_.refuse) return leave(packet(counterText + kEtx + std::string("Site actif protege")));
    if (!ourType) return leave(packet(counterText + kEtx + std::string("Type de site incorrect")));
  }
  if (text == kEndOfData) {
    Slot& s = slots_[static_cast<std::size_t>(slot_)];
    s.name = name_;
    s.lines = incoming_;
    if (faults_.disable) enables_.fill(0);
    return leave(packet(counterText + kAck));
  }
  // A repeat of the packet just taken (our ACK was lost) is acknowledged again.
  if (!numbered_ || counter == counter_) {
    incoming_.emplace_back(text);
    counter_ = (counter_ + 1) & 0xFF;
  }
  return packet(counterText + kAck);
}

}  // namespace tarnlux::meter
