#include "link/meter_facts.h"

#include <algorithm>

namespace tarnlux {

namespace meter_flags {

int onlyChannel(std::uint32_t flags) {
  // Exactly one bit of the two nibbles: a channel listed in both modes still
  // leaves the choice to the user.
  const unsigned transit = transitTimeChannels(flags);
  const unsigned echoflux = echofluxChannels(flags);
  for (int n = 0; n < 4; ++n) {
    if ((transit == (1u << n) && echoflux == 0) || (echoflux == (1u << n) && transit == 0)) {
      return n;
    }
  }
  return -1;
}

}  // namespace meter_flags

void MeterFacts::resetForConnect() { *this = MeterFacts(); }

int MeterFacts::blockChannel() const {
  return multiPath ? meter_flags::siteSlot(meterFlags) : selectedChannel;
}

void MeterFacts::markChannelFailed(int channel) {
  if (channel >= 0 && channel < 4) channelFailures |= 1u << channel;
}

void MeterFacts::markNullTrackFailed(int channel) {
  if (channel >= 0 && channel < 4) channelFailures |= 1u << (4 + channel);
}

bool MeterFacts::channelFailed(int channel) const {
  return channel >= 0 && channel < 4 && (channelFailures >> channel & 1u) != 0;
}

bool MeterFacts::nullTrackFailed(int channel) const {
  return channel >= 0 && channel < 4 && (channelFailures >> (4 + channel) & 1u) != 0;
}

void applyCapabilityWord(MeterFacts& facts, std::uint32_t meterFlags, bool meterKindReported) {
  facts.meterFlags = meterFlags;
  facts.meterKindReported = meterKindReported;
  if (meterKindReported) {
    facts.memoryBlock = true;
    facts.queryTerminator = kEtx;
    if (meter_flags::meterKind(meterFlags) == meter_flags::kMultiPathMeterKind) {
      facts.multiPath = true;
    }
  }
}

int compareVersionText(std::string_view a, std::string_view b) {
  for (std::size_t i = 0; i < 9; ++i) {
    const auto ca = static_cast<unsigned char>(i < a.size() ? a[i] : '\0');
    const auto cb = static_cast<unsigned char>(i < b.size() ? b[i] : '\0');
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == '\0') return 0;
  }
  return 0;
}

bool isOldMeterVersion(std::string_view version) {
  for (const char* old : {"3.01.06E", "3.01.06F", "1.01.06E", "1.01.06F"}) {
    if (compareVersionText(version, old) == 0) return true;
  }
  return false;
}

bool versionSupportsAlarmStorage(std::string_view version) {
  if (version.empty()) return false;
  const char first = version[0];
  if (first > '5') return true;
  if (first != '1' && first <= '2') return false;
  if (version.size() < 2 || version[1] != '.') return false;
  return version.substr(2) >= std::string_view("04.00");
}

bool versionAllowsEchoflux(std::string_view version) {
  if (compareVersionText(version, "3.02.00M") >= 0) return true;
  return !version.empty() && version[0] == '1' && compareVersionText(version, "1.02.00M") >= 0;
}

void applyVersionChecks(MeterFacts& facts) {
  facts.versionChecked = true;
  if (facts.typeText.find('G') != std::string::npos) facts.gasMeter = true;
  if (isOldMeterVersion(facts.versionText)) {
    facts.oldVersion = true;
    facts.memoryBlock = false;
    facts.queryTerminator = '\r';
    facts.extendedDiagnostics = false;
  }
  facts.alarmStorage = versionSupportsAlarmStorage(facts.versionText);
}

bool echofluxModeFor(const MeterFacts& facts, int channel) {
  return facts.memoryBlock && !facts.multiPath &&
         meter_flags::isEchofluxChannel(facts.meterFlags, channel) &&
         versionAllowsEchoflux(facts.versionText);
}

namespace {

constexpr char kMeterTextFill = '~';

std::string_view withoutFill(std::string_view raw) { return raw.substr(0, raw.find(kMeterTextFill)); }

}  // namespace

std::string displayIdentifier(std::string_view raw, bool multiPath) {
  std::string shown(withoutFill(raw));
  if (!multiPath) std::replace(shown.begin(), shown.end(), ' ', '_');
  return shown;
}

std::string printedIdentifier(std::string_view raw) {
  std::string_view text = withoutFill(raw);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  std::string printed(text);
  std::replace(printed.begin(), printed.end(), ' ', '_');
  return printed;
}

std::string channelFailureMessage(int channel, bool multiPath) {
  return std::string(multiPath ? "Echec chemin " : "Echec canal ") + std::to_string(channel + 1);
}

std::string nullTrackFailureMessage(int channel, bool multiPath) {
  return channelFailureMessage(channel, multiPath) + " NullTrack ";
}

}  // namespace tarnlux
