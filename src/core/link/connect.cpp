#include "link/connect.h"

#include <algorithm>
#include <functional>

#include "diag/pass_fail_limits.h"
#include "link/exchange.h"
#include "link/exchange_loop.h"
#include "link/typed_read.h"

namespace tarnlux {
namespace {

using exchange_detail::quietCopy;

constexpr unsigned kMeasuringBit = 0x10;
constexpr unsigned kNullTrackGoodBit = 0x02;

// A channel without a measuring bit counts as present when its identifier was
// set: printable throughout, and not all blanks.
bool identifierIsSet(const std::string& raw) {
  bool visible = false;
  for (char c : raw) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u > 0x7E) return false;
    if (c != ' ') visible = true;
  }
  return visible;
}

class ConnectSequence {
 public:
  ConnectSequence(MeterLink& link, MeterFacts& facts, MeterBlockStore& block,
                  const ChooseChannel& choose, ConnectOutcome& outcome, OperationContext& ctx)
      : link_(link), facts_(facts), block_(block), choose_(choose), outcome_(outcome), ctx_(ctx) {}

  int run() {
    int rc = readCapabilities();
    if (rc != kOk) return rc;
    const unsigned channels = meter_flags::channelWord(facts_.meterFlags);
    rc = channels != 0 ? identifyChannels(channels) : identifyWithoutChannelBits();
    if (rc != kOk) return rc;
    if (facts_.selectedChannel >= 0) {
      facts_.echofluxMode = echofluxModeFor(facts_, facts_.selectedChannel);
    }
    return kOk;
  }

 private:
  using AnswerParser = std::function<int(std::string_view answer)>;

  // One site query through querySiteData. The parser gets the answer after
  // the echo of the query (header line first), whatever start marker found it.
  int runQuery(const std::string& text, int kind, int channel, const char* startMarker,
               const char* terminator, bool useTestProbe, bool backspacePrefix,
               const AnswerParser& parse, OperationContext& ctx) {
    SiteQuery query;
    query.text = text;
    query.startMarker = (startMarker != nullptr && *startMarker != '\0') ? startMarker : nullptr;
    query.terminator = terminator;
    query.meterType = kind;
    query.channel = channel;
    query.useTestProbe = useTestProbe;
    query.backspacePrefix = backspacePrefix;
    return runSiteQuery(link_, query, facts_.multiPath, parse, ctx);
  }

  const char* terminator() const { return facts_.queryTerminator == kEtx ? "\x03" : "\r"; }

  void takeVersionTexts(const std::string& type, const std::string& version) {
    if (facts_.versionChecked) return;
    facts_.typeText = type;
    facts_.versionText = version;
    applyVersionChecks(facts_);
  }

  void setChannelId(int channel, const std::string& raw) {
    facts_.channelIdRaw[static_cast<std::size_t>(channel)] = raw;
    facts_.channelIdDisplay[static_cast<std::size_t>(channel)] =
        displayIdentifier(raw, facts_.multiPath);
  }

  // "qg A01": the capability word, with the probe and the backspace prefix.
  int readCapabilities() {
    return runQuery(
        siteQuery(0xA, 0, 1), 0xA, 0, "5", "\r", true, true,
        [this](std::string_view answer) {
          std::uint32_t flags = 0;
          bool kindReported = false;
          const int rc = readCapabilityAnswer(answer, flags, kindReported);
          if (rc != kOk) return rc;
          applyCapabilityWord(facts_, flags, kindReported);
          // Meters with the memory block report the extended
          // diagnostics; the old-version rule clears it again.
          facts_.extendedDiagnostics = facts_.memoryBlock;
          link_.meterFlags = facts_.meterFlags;
          return kOk;
        },
        ctx_);
  }

  // "qg n08" with the channel's identifier as start marker.
  int identify(int channel, OperationContext& ctx) {
    // The answer is awaited from the identifier the meter prints, which is
    // neither the raw text nor, on multi-path meters, the display form.
    const std::string marker = printedIdentifier(facts_.channelIdRaw[static_cast<std::size_t>(channel)]);
    return runQuery(
        siteQuery(0, channel, 8), 0, channel, marker.c_str(), terminator(), false, false,
        [this, channel](std::string_view answer) {
          IdentificationAnswer id;
          const int rc = parseIdentificationAnswer(answer, channel, facts_, id);
          if (rc != kOk) return rc;
          if (id.gasMeter) facts_.gasMeter = true;
          facts_.metricUnits = id.metricUnits;
          takeVersionTexts(id.typeText, id.versionText);
          return kOk;
        },
        ctx);
  }

  // "qg 400" of a channel or the site slot.
  int readIdentity(int channel, ChannelIdentityAnswer& identity) {
    return runQuery(
        siteQuery(4, channel, 0), 4, channel, nullptr, terminator(), true, false,
        [this, channel, &identity](std::string_view answer) {
          const int rc = parseChannelIdentityAnswer(answer, channel, facts_, identity);
          if (rc != kOk) return rc;
          takeVersionTexts(identity.typeText, identity.versionText);
          return kOk;
        },
        ctx_);
  }

  int readSetup(int channel) {
    return runQuery(
        siteQuery(3, channel, 0), 3, channel, nullptr, terminator(), true, false,
        [this, channel](std::string_view answer) {
          ChannelSetupAnswer setup;
          return parseChannelSetupAnswer(answer, channel, facts_, setup);
        },
        ctx_);
  }

  int readConfiguration(int channel, const ChannelIdentityAnswer& identity) {
    const bool pressureInBar = identity.pressureUnit == "BARA";
    return runQuery(
        siteQuery(5, channel, 0), 5, channel, nullptr, terminator(), true, false,
        [this, channel, pressureInBar](std::string_view answer) {
          MeterConfiguration configuration;
          const int rc = decodeMeterConfiguration(answer, channel, pressureInBar, facts_.meterFlags,
                                                  configuration);
          if (rc != kOk) return rc;
          outcome_.configuration = std::move(configuration);
          outcome_.configurationRead = true;
          return kOk;
        },
        ctx_);
  }

  void keepIdentity(const ChannelIdentityAnswer& identity) {
    outcome_.identity = identity;
    outcome_.identityRead = true;
  }

  int readId(int channel, std::string& raw) {
    std::string display;
    return readMeterId(link_, channel, raw, display, ctx_);
  }

  // The user's choice among `selectable`; -2 when cancelled.
  int chooseChannel(unsigned selectable) {
    if (ctx_.cancelled()) return kCancelled;
    const int channel = choose_ ? choose_(selectable) : kCancelled;
    if (channel < 0 || channel > 3 || (selectable >> channel & 1u) == 0) return kCancelled;
    return channel;
  }

  void setDefaultLimits() {
    resetLimitsToDefaults(block_.working.limits, facts_.gasMeter, facts_.extendedDiagnostics);
    // Fields the block leaves out keep these values as well.
    block_.state.block.limits = block_.working.limits;
  }

  int readBlock() {
    const int rc = readMeterBlock(link_, facts_.blockChannel(), false, facts_, block_, ctx_);
    outcome_.blockRead = true;
    outcome_.blockReadResult = rc;
    // A bad block does not stop the connect; the user's cancel does.
    if (rc == kCancelled) return rc;
    if (rc == kOk) {
      facts_.locationName = block_.state.block.info.location;
      outcome_.nameInBlock = !facts_.locationName.empty();
      // The meter's limits are the ones in force, named or not.
      block_.useBlockValues();
    }
    return kOk;
  }

  int identifyChannels(unsigned channels) {
    int rc = purgeInput(link_, 5000, 50, ctx_);
    if (rc != kOk) return rc;

    bool identified = false;
    if (facts_.memoryBlock) {
      for (int n = 0; n < 4 && !identified; ++n) {
        if ((channels >> n & 1u) == 0) continue;
        std::string raw;
        if ((rc = readId(n, raw)) != kOk) return rc;
        setChannelId(n, raw);
        // A channel that is not ready is skipped here and reported below
        // with its status word, so its message is not shown twice.
        const std::string notReady = channelFailureMessage(n, facts_.multiPath);
        OperationContext ctx = ctx_;
        ctx.errorSink = [this, notReady](const std::string& text) {
          if (text != notReady && ctx_.errorSink) ctx_.errorSink(text);
        };
        rc = identify(n, ctx);
        if (rc == kChannelNotReady) continue;
        if (rc != kOk) return rc;
        identified = true;
      }
    } else if ((facts_.meterFlags & meter_flags::kMultiPathQuery) != 0 && !facts_.oldVersion) {
      std::int32_t enabled = 0;
      rc = readInt(link_, "cv", "enab", "int", meter_flags::siteSlot(facts_.meterFlags), enabled,
                   10, ctx_);
      if (rc != kOk) return rc;
      if (enabled != 0) facts_.multiPath = true;
    }

    std::array<ChannelIdentityAnswer, 4> identities{};
    for (int n = 0; n < 4; ++n) {
      if ((channels >> n & 1u) == 0) continue;
      if (!facts_.memoryBlock) {
        std::string raw;
        if ((rc = readId(n, raw)) != kOk) return rc;
        setChannelId(n, raw);
      } else {
        ChannelIdentityAnswer& identity = identities[static_cast<std::size_t>(n)];
        if ((rc = readIdentity(n, identity)) != kOk) return rc;
        setChannelId(n, identity.identifier);
        if ((rc = readSetup(n)) != kOk) return rc;
      }

      std::uint32_t status = 0;
      rc = readUnsigned(link_, "abar", "unsigned", n, status, false, ctx_);
      if (rc != kOk) return rc;
      if ((status & kMeasuringBit) != 0) {
        if (!facts_.memoryBlock && !identified) {
          if ((rc = identify(n, ctx_)) != kOk) return rc;
          identified = true;
        }
      } else {
        facts_.markChannelFailed(n);
        ctx_.report(channelFailureMessage(n, facts_.multiPath));
      }
      if (meter_flags::isNullTrackChannel(facts_.meterFlags, n) &&
          (status & kNullTrackGoodBit) == 0) {
        facts_.markNullTrackFailed(n);
        ctx_.report(nullTrackFailureMessage(n, facts_.multiPath));
      }
    }

    setDefaultLimits();

    if (!facts_.multiPath) {
      int channel = meter_flags::onlyChannel(facts_.meterFlags);
      if (channel < 0 && (channel = chooseChannel(channels)) < 0) return kCancelled;
      facts_.selectedChannel = channel;
      if (!facts_.memoryBlock) return kOk;
      const ChannelIdentityAnswer& identity = identities[static_cast<std::size_t>(channel)];
      keepIdentity(identity);
      if ((rc = readConfiguration(channel, identity)) != kOk) return rc;
    } else {
      const int slot = meter_flags::siteSlot(facts_.meterFlags);
      if (!facts_.memoryBlock) {
        std::string display;
        rc = readMeterId(link_, slot, facts_.siteIdRaw, display, ctx_);
        if (rc == kOk) facts_.siteIdDisplay = displayIdentifier(facts_.siteIdRaw, true);
        return rc;
      }
      ChannelIdentityAnswer site;
      if ((rc = readIdentity(slot, site)) != kOk) return rc;
      facts_.siteIdRaw = site.identifier;
      facts_.siteIdDisplay = displayIdentifier(site.identifier, true);
      keepIdentity(site);
      if ((rc = readConfiguration(slot, site)) != kOk) return rc;
    }
    // The old-version rule may have taken the block away meanwhile.
    return facts_.memoryBlock ? readBlock() : kOk;
  }

  // The capability word names no channel: a meter with the memory block is
  // asked for the identifiers of its channels instead.
  int identifyWithoutChannelBits() {
    if (!facts_.memoryBlock) return kOk;
    int rc = purgeInput(link_, 5000, 50, ctx_);
    if (rc != kOk) return rc;
    unsigned present = 0;
    const int count = std::min(meter_flags::siteSlot(facts_.meterFlags), 4);
    for (int n = 0; n < count; ++n) {
      std::string raw;
      if ((rc = readId(n, raw)) != kOk) return rc;
      setChannelId(n, raw);
      if (identifierIsSet(raw)) present |= 1u << n;
    }
    if (present == 0) return kOk;  // nothing to select: connected without a channel

    int channel = -1;
    for (int n = 0; n < 4; ++n) {
      if (present == (1u << n)) channel = n;
    }
    if (channel < 0 && (channel = chooseChannel(present)) < 0) return kCancelled;
    facts_.selectedChannel = channel;

    ChannelIdentityAnswer identity;
    if ((rc = readIdentity(channel, identity)) != kOk) return rc;
    keepIdentity(identity);
    setDefaultLimits();
    return facts_.memoryBlock ? readBlock() : kOk;
  }

  MeterLink& link_;
  MeterFacts& facts_;
  MeterBlockStore& block_;
  const ChooseChannel& choose_;
  ConnectOutcome& outcome_;
  OperationContext& ctx_;
};

void closeQuietly(MeterLink& link, const OperationContext& ctx) {
  OperationContext closing = quietCopy(ctx);
  closing.cancelFlag = nullptr;
  link.closeLink(false, closing);
}

}  // namespace

int connectToMeter(MeterLink& link, const LinkSettings& settings, MeterFacts& facts,
                   MeterBlockStore& block, const ChooseChannel& chooseChannel,
                   ConnectOutcome& outcome, OperationContext& ctx) {
  outcome = ConnectOutcome{};
  facts.resetForConnect();
  link.meterFlags = 0;
  // Nothing of the previous meter's block may survive: a failed read here
  // would otherwise leave its name and limits in place.
  block.state.block = MeterBlockFields{};
  block.state.lastReadText.clear();
  block.state.capacity = 0;
  block.state.fromMeter = false;

  int rc = link.openLink(settings, false, kConnectOpenTimeoutMs, ctx);
  if (rc == kOk) {
    ConnectSequence sequence(link, facts, block, chooseChannel, outcome, ctx);
    rc = sequence.run();
  }
  if (rc != kOk) {
    closeQuietly(link, ctx);
    facts.resetForConnect();
    link.meterFlags = 0;
    outcome = ConnectOutcome{};
  }
  return rc;
}

int storeSiteName(MeterLink& link, const std::string& name, MeterFacts& facts,
                  MeterBlockStore& block, OperationContext& ctx) {
  facts.locationName = name;
  const int channel = facts.blockChannel();
  if (!facts.memoryBlock || channel < 0) return kOk;
  // The connect's read may have failed on the way (a late answer, a dropped
  // line): the block is read again, so the write keeps the meter's limits and
  // texts. A block the connect found corrupt was reported there already.
  OperationContext reading = ctx;
  reading.errorSink = [&ctx](const std::string& text) {
    if (text.rfind(kMeterBlockCorruptText, 0) != 0 && ctx.errorSink) ctx.errorSink(text);
  };
  int rc = rereadMeterBlock(link, channel, facts, block, reading);
  if (rc != kOk && !isBlockFormatFault(rc)) {
    // Nothing is known of what the meter holds: writing now would wipe it.
    closeQuietly(link, ctx);
    return rc;
  }
  // Only a block that is empty or cannot be decoded is replaced by a fresh
  // one (the defaults with the name); the user is told which.
  if (rc != kOk || block.state.lastReadText.empty()) {
    if (ctx.progress != nullptr) {
      ctx.progress->start(rc != kOk ? kFreshBlockForUnreadableText : kFreshBlockForEmptyText);
    }
  }
  rc = updateMeterBlock(
      link, channel, facts, block, [&](MeterBlockFields& fields) { fields.info.location = name; },
      ctx);
  if (rc != kOk) {
    closeQuietly(link, ctx);
    return rc;
  }
  // From now on the screens start from what the meter holds.
  block.useBlockValues();
  return kOk;
}

int runSiteQuery(MeterLink& link, const SiteQuery& query, bool multiPath,
                 const std::function<int(std::string_view answer)>& parse, OperationContext& ctx) {
  SiteAnswerParsers parsers;
  const char* area = link.receiveArea();
  parsers.setParser(query.meterType, [&](std::string_view fromMarker, OperationContext& parserCtx) {
    const std::string_view whole(
        area, static_cast<std::size_t>(fromMarker.data() - area) + fromMarker.size());
    const int fault = parse(answerAfterEcho(whole, query.text));
    if (fault == kSetupAnswerEmptyBlockMeter) {
      parserCtx.report(kNoMeterAnswerText, fault);
    } else if (fault != kOk) {
      parserCtx.report(kMeterDataInvalidText, fault);
    }
    return fault;
  });
  ChannelFacts channelFacts;
  channelFacts.multiPath = multiPath;
  return querySiteData(link, query, channelFacts, parsers, ctx);
}

int readChannelSetup(MeterLink& link, const MeterFacts& facts, int path, ChannelSetupAnswer& out,
                     OperationContext& ctx) {
  constexpr int kSetupAnswerKind = 3;
  const std::string text = siteQuery(kSetupAnswerKind, path, 0);
  const char terminator[2] = {facts.queryTerminator, '\0'};
  SiteQuery query;
  query.text = text;
  query.terminator = terminator;
  query.meterType = kSetupAnswerKind;
  query.channel = path;
  query.useTestProbe = true;

  return runSiteQuery(
      link, query, facts.multiPath,
      [&](std::string_view answer) {
        ChannelSetupAnswer setup;
        const int fault = parseChannelSetupAnswer(answer, path, facts, setup);
        if (fault == kOk) out = setup;
        return fault;
      },
      ctx);
}

}  // namespace tarnlux
