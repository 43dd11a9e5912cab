#include "transfer/site_transfer.h"

#include <gtest/gtest.h>

#include "common/clock.h"
#include "link/packet.h"

namespace tarnlux {
namespace {

constexpr int kS = 0x4E;

// A packet as the meter sends it: status 00, sequence S.
std::string meterPacket(std::string_view payload, int sequence = kS) {
  std::string line(kPacketHeaderLength + payload.size() + 4, '\0');
  std::copy(payload.begin(), payload.end(), line.begin() + kPacketHeaderLength);
  const int n = buildPacket(line.data(), line.size(), payload.size(), 0, sequence);
  line.resize(static_cast<std::size_t>(n) - 1);  // without CR, as receivePacket hands it over
  return line;
}

std::string ackPayload(const std::string& packet, std::size_t offset) { return packet.substr(offset, packet.size() - offset - 3); }

struct Receiver {
  ManualClock clock;
  SitePacketing packeting{kS, false, 0};
  SiteStep feed(SiteReceivePass& pass, const std::string& line) {
    clock.advance(100);
    return pass.onPacket(line, checkPacketLine(line, kS), clock.nowMs());
  }
};

TEST(SiteReceive, PlainPassStoresTextsAndAcknowledges) {
  Receiver r;
  SiteReceivePass pass(r.packeting, nullptr);
  EXPECT_EQ(pass.command(5, "PUMP12"), "upsite 5 PUMP12\r");
  SiteStep step = r.feed(pass, meterPacket("7326L-3.04 PUMP12 4E"));
  EXPECT_EQ(step.kind, SiteStep::Kind::Continue);
  EXPECT_EQ(step.reply, "05" "4E" "00" "\x06" "DF\r");
  step = r.feed(pass, meterPacket("LINE 1"));
  // An identical packet soon after is a new line, not a repeat.
  step = r.feed(pass, meterPacket("LINE 1"));
  EXPECT_FALSE(step.retry);
  step = r.feed(pass, meterPacket("<EOT>"));
  EXPECT_EQ(step.kind, SiteStep::Kind::Done);
  EXPECT_EQ(pass.texts(), (std::vector<std::string>{"7326L-3.04 PUMP12 4E", "LINE 1", "LINE 1"}));
  EXPECT_EQ(pass.packets(), 3);
}

TEST(SiteReceive, PlainRepeatAfterSixSecondsIsAcknowledgedAgain) {
  Receiver r;
  SiteReceivePass pass(r.packeting, nullptr);
  r.feed(pass, meterPacket("HEAD 4E"));
  r.feed(pass, meterPacket("LINE 1"));
  r.clock.advance(kSiteRepeatAfterMs);
  const SiteStep step = r.feed(pass, meterPacket("LINE 1"));
  EXPECT_TRUE(step.retry);
  EXPECT_EQ(pass.texts().size(), 2u);
  EXPECT_EQ(pass.totalRetries(), 1);
}

TEST(SiteReceive, FaultsAreRefusedThreeTimesThenStop) {
  Receiver r;
  SiteReceivePass pass(r.packeting, nullptr);
  std::string bad = meterPacket("HEAD 4E");
  bad[bad.size() - 1] = bad.back() == '0' ? '1' : '0';  // wrong check value
  for (int i = 0; i < kSitePacketRetries; ++i) {
    const SiteStep step = r.feed(pass, bad);
    EXPECT_EQ(step.kind, SiteStep::Kind::Continue);
    EXPECT_EQ(ackPayload(step.reply, 6), "\x15");
  }
  // A good packet resets the count of the next one.
  const SiteStep good = r.feed(pass, meterPacket("HEAD 4E"));
  EXPECT_EQ(good.kind, SiteStep::Kind::Continue);
  EXPECT_EQ(pass.retriesOfPacket(), 0);
  for (int i = 0; i < kSitePacketRetries; ++i) r.feed(pass, meterPacket("X", 0x11));
  const SiteStep last = r.feed(pass, meterPacket("X", 0x11));
  EXPECT_EQ(last.kind, SiteStep::Kind::Failed);
  EXPECT_EQ(last.code, kPacketWrongSequence);
  EXPECT_EQ(last.message, kPacketErrorText);
}

TEST(SiteReceive, DataFaultsThatStopAtOnce) {
  const struct {
    std::string first;
    int code;
  } cases[] = {
      {meterPacket("HEAD 4F"), kSiteFirstPacketNumber},
      {meterPacket(std::string(72, 'A') + "4E"), kSiteLineTooLong},
  };
  for (const auto& c : cases) {
    Receiver r;
    SiteReceivePass pass(r.packeting, nullptr);
    const SiteStep step = r.feed(pass, c.first);
    EXPECT_EQ(step.kind, SiteStep::Kind::Failed);
    EXPECT_EQ(step.code, c.code);
    EXPECT_TRUE(pass.texts().empty());
  }
}

TEST(SiteReceive, NumberedCountersRepeatsAndUnexpected) {
  Receiver r;
  r.packeting = {kS, true, 0xFF};
  SiteReceivePass pass(r.packeting, nullptr);
  EXPECT_EQ(pass.command(5, "PUMP12"), "upsite 5 PUMP12 * FF\r");
  SiteStep step = r.feed(pass, meterPacket("FFHEAD 4E (05)"));
  EXPECT_EQ(ackPayload(step.reply, 6), "FF\x06");
  step = r.feed(pass, meterPacket("00LINE"));  // the counter wraps
  EXPECT_EQ(ackPayload(step.reply, 6), "00\x06");
  step = r.feed(pass, meterPacket("00LINE"));  // our ACK was lost
  EXPECT_TRUE(step.retry);
  EXPECT_EQ(ackPayload(step.reply, 6), "00\x06");
  EXPECT_EQ(r.feed(pass, meterPacket("zzLINE")).reply.substr(6, 1), "\x15");
  step = r.feed(pass, meterPacket("07LINE"));
  EXPECT_EQ(step.kind, SiteStep::Kind::Failed);
  EXPECT_EQ(step.code, kSiteUnexpectedCounter);
  EXPECT_EQ(pass.texts(), (std::vector<std::string>{"HEAD 4E (05)", "LINE"}));
}

TEST(SiteReceive, VerificationPassComparesEveryLine) {
  const std::vector<std::string> stored{"HEAD 4E", "LINE 1"};
  const struct {
    std::vector<std::string> sent;
    bool ok;
  } cases[] = {{{"HEAD 4E", "LINE 1"}, true}, {{"HEAD 4E", "LINE 2"}, false}, {{"HEAD 4E"}, false},
               {{"HEAD 4E", "LINE 1", "LINE 3"}, false}};
  for (const auto& c : cases) {
    Receiver r;
    SiteReceivePass pass(r.packeting, &stored, kSendMismatchText);
    SiteStep step;
    for (const std::string& text : c.sent) {
      step = r.feed(pass, meterPacket(text));
      if (step.kind == SiteStep::Kind::Failed) break;
    }
    if (step.kind != SiteStep::Kind::Failed) step = r.feed(pass, meterPacket("<EOT>"));
    EXPECT_EQ(step.kind, c.ok ? SiteStep::Kind::Done : SiteStep::Kind::Failed);
    if (!c.ok) {
      EXPECT_EQ(step.message, kSendMismatchText);
    }
    EXPECT_TRUE(pass.texts().empty()) << "a verification pass stores nothing";
  }
}

TEST(SiteSend, LinesThenEndWithAckNakAndEtx) {
  SitePacketing packeting{kS, false, 0};
  SiteSendPass pass(packeting, {"HEAD 4E", "LINE"});
  EXPECT_EQ(pass.command(12, "TANK 3"), "dnsite 12 TANK 3\r");
  EXPECT_EQ(pass.currentPacket(), "0B" "4E" "00" "HEAD 4E" "84\r");
  const std::string ack = meterPacket("\x06");
  const std::string nak = meterPacket("\x15");
  SiteStep step = pass.onAnswer(ack, checkPacketLine(ack, kS));
  EXPECT_EQ(step.reply, pass.currentPacket());
  for (int i = 0; i < kSitePacketRetries; ++i) {
    step = pass.onAnswer(nak, 0);
    EXPECT_TRUE(step.retry);
    EXPECT_EQ(step.reply.substr(6, 4), "LINE");
  }
  step = pass.onAnswer(nak, 0);
  EXPECT_EQ(step.kind, SiteStep::Kind::Failed);
  EXPECT_EQ(step.message, kTooManyRetriesText);

  SiteSendPass refused(packeting, {"HEAD 4E"});
  const struct {
    std::string payload;
    std::string message;
  } etx[] = {{"\x03" "Site actif protege", std::string(kCancelledByMeterText) + " - Site actif protege"},
             {"\x03", std::string(kCancelledByMeterText) + " - Voir manuel"}};
  for (const auto& c : etx) {
    step = refused.onAnswer(meterPacket(c.payload), 0);
    EXPECT_EQ(step.kind, SiteStep::Kind::Failed);
    EXPECT_TRUE(step.peerCancelled);
    EXPECT_EQ(step.message, c.message);
  }
  step = refused.onAnswer(meterPacket("?"), 0);
  EXPECT_EQ(step.code, kSiteUnexpectedAnswer);
  EXPECT_EQ(step.message, kPacketDataErrorText);
}

TEST(SiteSend, NumberedEndsAfterAcknowledgedEot) {
  SitePacketing packeting{kS, true, 0x10};
  SiteSendPass pass(packeting, {"HEAD 4E (05)"});
  EXPECT_EQ(pass.currentPacket().substr(6, 4), "10HE");
  SiteStep step = pass.onAnswer(meterPacket("10\x06"), 0);
  EXPECT_EQ(step.reply.substr(6, 7), "11<EOT>");
  step = pass.onAnswer(meterPacket("11\x06"), 0);
  EXPECT_EQ(step.kind, SiteStep::Kind::Done);
  EXPECT_EQ(packeting.counter, 0x12);
  EXPECT_EQ(packeting.cancelPacket().substr(6, 3), "12\x03");
  // An answer of another transfer is refused on the first packet.
  SiteSendPass other(packeting, {"X"});
  EXPECT_EQ(other.onAnswer(meterPacket("12\x06", 0x4F), 0).code, kSiteFirstPacketNumber);
}

}  // namespace
}  // namespace tarnlux
