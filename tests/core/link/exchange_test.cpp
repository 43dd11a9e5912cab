#include "link/exchange.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "exchange_peer.h"
#include "link/packet.h"
#include "link/typed_read.h"
#include "stepping_clock.h"
#include "test_context.h"

namespace tarnlux {
namespace {

using test::RecordingContext;
using test::ScriptedPeer;
using Line = ScriptedPeer::Line;

// One link to a scripted peer, with an error recorder.
struct Session {
  explicit Session(std::function<void(Line&)> script) : peer(std::move(script)) {
    opened = link->openLink(peer.settings(), false, 5000, rc.ctx);
  }
  ~Session() {
    OperationContext closing;
    link->closeLink(false, closing);
    peer.finish();
  }
  std::string text() const { return link->receiveArea(); }

  ScriptedPeer peer;
  std::unique_ptr<MeterLink> link = std::make_unique<MeterLink>();
  RecordingContext rc;
  int opened = -1;
};

// ---------------------------------------------------------------------------
// receiveUntil

TEST(ReceiveUntil, FindsMarkerAndTerminatorSplitAcrossReads) {
  Session s([](Line& line) {
    line.send("cv 0 abar\r\nuns");
    Line::pause(30);
    line.send("igned abar 1F?");
    Line::pause(30);
    line.send("??tail");
  });
  ASSERT_EQ(s.opened, 0);
  ReceivedText received;
  EXPECT_EQ(receiveUntil(*s.link, "unsigned", "???", 5000, s.rc.ctx, &received), 0);
  EXPECT_EQ(s.text(), "cv 0 abar\r\nunsigned abar 1F");  // cut at the terminator
  EXPECT_EQ(received.markerOffset, 11u);
  EXPECT_EQ(received.length, 27u);
  EXPECT_TRUE(s.rc.errors.empty());
}

TEST(ReceiveUntil, TerminatorBeforeTheStartMarkerDoesNotCount) {
  Session s([](Line& line) {
    line.send("test\r\n");
    Line::pause(30);
    line.send("double x 2\r");
  });
  ASSERT_EQ(s.opened, 0);
  EXPECT_EQ(receiveUntil(*s.link, "double", "\r", 5000, s.rc.ctx), 0);
  EXPECT_EQ(s.text(), "test\r\ndouble x 2");
}

TEST(ReceiveUntil, TimeOutSaysWhetherAnythingCame) {
  {
    Session s([](Line& line) { line.idle(); });
    ASSERT_EQ(s.opened, 0);
    EXPECT_EQ(receiveUntil(*s.link, nullptr, "???", 150, s.rc.ctx), kTimeout);
    EXPECT_EQ(s.rc.errors, std::vector<std::string>{"Pas de reponse du compteur"});
  }
  {
    Session s([](Line& line) { line.send("Menu principal\r\n"); });
    ASSERT_EQ(s.opened, 0);
    // The text is on its way before the wait starts, however late the peer runs.
    ASSERT_TRUE(s.peer.awaitScript());
    EXPECT_EQ(receiveUntil(*s.link, nullptr, "???", 150, s.rc.ctx), kTimeout);
    EXPECT_EQ(s.rc.errors, std::vector<std::string>{"Donnees anticipees non recues"});
    EXPECT_EQ(s.text(), "Menu principal\r\n");
  }
}

TEST(ReceiveUntil, QuietReportsNothingButReturnsTheSameResult) {
  Session s([](Line& line) { line.idle(); });
  ASSERT_EQ(s.opened, 0);
  s.rc.ctx.quiet = true;
  EXPECT_EQ(receiveUntil(*s.link, nullptr, "\r", 100, s.rc.ctx), kTimeout);
  EXPECT_TRUE(s.rc.errors.empty());
}

TEST(ReceiveUntil, CancelDuringTheWaitReturnsMinusTwoSilently) {
  Session s([](Line& line) { line.idle(); });
  ASSERT_EQ(s.opened, 0);
  int passes = 0;
  s.rc.ctx.pump = [&] {
    if (++passes == 5) s.rc.cancel = 1;
  };
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(receiveUntil(*s.link, nullptr, "???", 50000, s.rc.ctx), kCancelled);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_TRUE(s.rc.errors.empty());
}

TEST(ReceiveUntil, PeerHangingUpIsATransportFailure) {
  Session s([](Line& line) {
    line.send("part");
    line.close();
  });
  ASSERT_EQ(s.opened, 0);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(receiveUntil(*s.link, nullptr, "\r", 50000, s.rc.ctx), kSockNotConnected);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(s.rc.errors, std::vector<std::string>{"Impossible de recevoir des donnees - Code d'erreur: 10057"});
}

TEST(ReceiveUntil, FullReceiveAreaEndsInATimeOut) {
  Session s([](Line& line) { line.send(std::string(40000, 'x')); });
  ASSERT_EQ(s.opened, 0);
  EXPECT_EQ(receiveUntil(*s.link, nullptr, "\r", 300, s.rc.ctx), kTimeout);
  EXPECT_EQ(s.rc.errors, std::vector<std::string>{"Donnees anticipees non recues"});
  EXPECT_EQ(std::strlen(s.link->receiveArea()), kReceiveAreaSize);
}

TEST(ReceiveUntil, ClosedLinkFailsAtOnce) {
  MeterLink link;
  RecordingContext rc;
  EXPECT_EQ(receiveUntil(link, nullptr, "\r", 50000, rc.ctx), kSockNotConnected);
  EXPECT_EQ(sendCommand(link, "test\r", 2000, rc.ctx), kSockNotConnected);
  EXPECT_EQ(rc.errors.size(), 2u);
}

TEST(ReceiveUntil, ProgressLineTurnsWhileWaiting) {
  Session s([](Line& line) { line.idle(); });
  ASSERT_EQ(s.opened, 0);
  std::vector<std::string> shown;
  ProgressLine progress([&](const std::string& text) { shown.push_back(text); });
  progress.start("Attente");
  s.rc.ctx.progress = &progress;
  s.rc.ctx.quiet = true;
  ScaledClock fast(20.0);
  s.rc.ctx.clock = &fast;
  receiveUntil(*s.link, nullptr, "\r", 1200, s.rc.ctx);
  ASSERT_GE(shown.size(), 3u);
  EXPECT_EQ(shown[0], "Attente|");
  EXPECT_EQ(shown[1], "Attente/");
  EXPECT_EQ(shown[2], "Attente---");
}

// ---------------------------------------------------------------------------
// receiveOneOf / receiveWithKeepAlive

TEST(ReceiveOneOf, AlternativesAreTriedInTheirOrder) {
  Session s([](Line& line) { line.send("xx\x15 confirm - "); });
  ASSERT_EQ(s.opened, 0);
  unsigned mask = 0;
  EXPECT_EQ(receiveOneOf(*s.link, mask, {"confirm - ", "\x15"}, nullptr, 0, 0, 5000, s.rc.ctx), 0);
  EXPECT_EQ(mask, 1u);
}

TEST(ReceiveOneOf, TerminatorRequiredOnlyForTheNamedAlternatives) {
  {
    Session s([](Line& line) {
      line.send("\x18\x18");
      Line::pause(30);
      line.send("Fail\r\n");
    });
    ASSERT_EQ(s.opened, 0);
    unsigned mask = 0;
    EXPECT_EQ(receiveOneOf(*s.link, mask, {"\x06", "\x15", "\x18\x18"}, "Fail\r\n", 4, 4, 5000, s.rc.ctx), 0);
    EXPECT_EQ(mask, 4u);
  }
  {
    // CAN CAN without its text still counts at the time-out.
    Session s([](Line& line) { line.send("\x18\x18"); });
    ASSERT_EQ(s.opened, 0);
    unsigned mask = 0;
    EXPECT_EQ(receiveOneOf(*s.link, mask, {"\x06", "\x15", "\x18\x18"}, "Fail\r\n", 4, 4, 150, s.rc.ctx), 0);
    EXPECT_EQ(mask, 4u);
    EXPECT_TRUE(s.rc.errors.empty());
  }
  {
    // Without the accepted bit the same wait is a time-out.
    Session s([](Line& line) { line.send("\x18\x18"); });
    ASSERT_EQ(s.opened, 0);
    unsigned mask = 0;
    EXPECT_EQ(receiveOneOf(*s.link, mask, {"\x06", "\x15", "\x18\x18"}, "Fail\r\n", 4, 0, 150, s.rc.ctx), kTimeout);
    EXPECT_EQ(s.rc.errors, std::vector<std::string>{"Donnees anticipees non recues"});
  }
}

TEST(ReceiveWithKeepAlive, KeepAlivesExtendTheWaitUntilTheFinalAnswer) {
  Session s([](Line& line) {
    line.send("ls\r\n");
    for (int i = 0; i < 4; ++i) {
      Line::pause(60);
      line.send("MODEL site" + std::to_string(i) + "\r\n");
    }
    Line::pause(60);
    line.send("No Sites\r\n");
  });
  ASSERT_EQ(s.opened, 0);
  unsigned mask = 0;
  // Each gap is shorter than the keep-alive time-out, the whole is longer than the first phase.
  EXPECT_EQ(receiveWithKeepAlive(*s.link, mask, {"MODEL", "No Sites", "Pas de site"}, "\r", 150, 200, s.rc.ctx), 0);
  EXPECT_EQ(mask, 2u);
  EXPECT_NE(s.text().find("MODEL site3"), std::string::npos);  // the listing stays readable
}

TEST(ReceiveWithKeepAlive, EndsWellWhenTheKeepAlivesStop) {
  Session s([](Line& line) {
    line.send("MODEL a\r\nMODEL b\r\n");
    line.idle();
  });
  ASSERT_EQ(s.opened, 0);
  unsigned mask = 0;
  EXPECT_EQ(receiveWithKeepAlive(*s.link, mask, {"MODEL", "No Sites"}, "\r", 5000, 100, s.rc.ctx), 0);
  EXPECT_EQ(mask, 1u);
  EXPECT_TRUE(s.rc.errors.empty());
}

TEST(ReceiveWithKeepAlive, NothingInTheFirstPhaseIsATimeOut) {
  Session s([](Line& line) { line.idle(); });
  ASSERT_EQ(s.opened, 0);
  unsigned mask = 0;
  EXPECT_EQ(receiveWithKeepAlive(*s.link, mask, {"MODEL", "No Sites"}, "\r", 150, 5000, s.rc.ctx), kTimeout);
  EXPECT_EQ(s.rc.errors, std::vector<std::string>{"Pas de reponse du compteur"});
}

// ---------------------------------------------------------------------------
// sendCommand, purgeInput, receiveUntilQuiet

TEST(SendCommand, SendsTheTextAsGiven) {
  Session s([](Line& line) { line.waitFor("END"); });
  ASSERT_EQ(s.opened, 0);
  const std::string text = std::string("cv 0 abar\r\x1b" "D") + '\0' + "END";
  EXPECT_EQ(sendCommand(*s.link, text, 2000, s.rc.ctx), 0);
  ASSERT_TRUE(s.peer.awaitScript());
  s.peer.finish();
  EXPECT_EQ(s.peer.received(), text);
}

TEST(PurgeInput, DiscardsUntilQuiet) {
  Session s([](Line& line) {
    for (int i = 0; i < 5; ++i) {
      line.send("stale data\r\n");
      Line::pause(20);
    }
  });
  ASSERT_EQ(s.opened, 0);
  EXPECT_EQ(purgeInput(*s.link, 5000, 100, s.rc.ctx), 0);
  EXPECT_STREQ(s.link->receiveArea(), "");
  EXPECT_EQ(purgeInput(*s.link, 0, 100, s.rc.ctx), 0);
}

TEST(PurgeInput, NeverQuietFailsWithItsMessage) {
  Session s([](Line& line) {
    while (!line.stopping()) {
      line.send("#");
      Line::pause(2);
    }
  });
  ASSERT_EQ(s.opened, 0);
  // Time counts the purge's passes (each waits at most 10 ms for a byte), so a
  // "quiet" of 100 passes needs the peer stalled for a second, not a 100 ms
  // hiccup of a loaded machine.
  test::SteppingClock passes(1);
  s.rc.ctx.clock = &passes;
  EXPECT_EQ(purgeInput(*s.link, 400, 100, s.rc.ctx), kTimeout);
  EXPECT_EQ(s.rc.errors,
            std::vector<std::string>{"Impossible de purger le tampon - Donnees continues recues"});
}

TEST(PurgeInput, DeadLinkFailsAtOnceWithTheCode) {
  Session s([](Line& line) { line.close(); });
  ASSERT_EQ(s.opened, 0);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(purgeInput(*s.link, 50000, 3000, s.rc.ctx), kSockNotConnected);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(s.rc.errors, std::vector<std::string>{"Impossible de purger le tampon - Code d'erreur: 10057"});
}

TEST(ReceiveUntilQuiet, HandsOverEverythingUntilTheLineRests) {
  Session s([](Line& line) {
    line.send("first ");
    Line::pause(30);
    line.send("second\r\n");
  });
  ASSERT_EQ(s.opened, 0);
  std::string seen;
  EXPECT_EQ(receiveUntilQuiet(*s.link, 200, 5000, [&](std::string_view d) { seen.append(d); }, s.rc.ctx), 0);
  EXPECT_EQ(seen, "first second\r\n");
}

// ---------------------------------------------------------------------------
// Typed reads over the link

TEST(TypedRead, SendsTheCommandAndParsesTheAnswer) {
  Session s([](Line& line) {
    line.waitFor("abar\r");
    line.send("cv 2 abar\r\nunsigned abar 0000001F\r\n> ");
    line.waitFor("accept\r");
    line.send("cv 1 accept\r\nint accept -12\r\n");
    line.waitFor("delta_t\r");
    line.send("double delta_t 2.5e-3\r\n");
    line.waitFor("flegend\r");
    line.send("char flegend |  gal/m|\r\n");
    line.waitFor("id\r");
    line.send("char id |AB 12 CD|\r\n");
  });
  ASSERT_EQ(s.opened, 0);
  std::uint32_t status = 0;
  EXPECT_EQ(readUnsigned(*s.link, "abar", "unsigned", 2, status, true, s.rc.ctx), 0);
  EXPECT_EQ(status, 0x1Fu);
  std::int32_t accept = 0;
  EXPECT_EQ(readInt(*s.link, "cv", "accept", "int", 1, accept, 10, s.rc.ctx), 0);
  EXPECT_EQ(accept, -12);
  double delta = 0;
  EXPECT_EQ(readDouble(*s.link, "delta_t", 0, delta, s.rc.ctx), 0);
  EXPECT_EQ(delta, 2.5e-3);
  std::string legend;
  EXPECT_EQ(readText(*s.link, "flegend", 0, legend, true, s.rc.ctx), 0);
  EXPECT_EQ(legend, "GAL/M");
  std::string raw;
  std::string display;
  EXPECT_EQ(readMeterId(*s.link, 3, raw, display, s.rc.ctx), 0);
  EXPECT_EQ(display, "AB_12_CD");
  EXPECT_TRUE(s.rc.errors.empty());
  ASSERT_TRUE(s.peer.awaitScript());
  s.peer.finish();
  EXPECT_EQ(s.peer.received(),
            "\b\b\b\b\b\bcv 2 abar\rcv 1 accept\rcv 0 delta_t\rcv 0 flegend\rcv 3 id\r");
}

TEST(TypedRead, ParseFaultIsReportedWithItsCode) {
  Session s([](Line& line) {
    line.waitFor("abar\r");
    line.send("unsigned abar 000000001\r\n");
    line.waitFor("make_state\r");
    line.send("short make_state 22\r\n");
  });
  ASSERT_EQ(s.opened, 0);
  std::uint32_t status = 5;
  EXPECT_EQ(readUnsigned(*s.link, "abar", "unsigned", 0, status, false, s.rc.ctx), kUnsignedTooManyDigits);
  EXPECT_EQ(status, 5u);
  std::int32_t state = 6;
  EXPECT_EQ(readIntInRange(*s.link, "cv", "make_state", "short", 0, kMakeStateRange, state, s.rc.ctx),
            kValueOutOfRange);
  EXPECT_EQ(state, 6);
  EXPECT_EQ(s.rc.errors, (std::vector<std::string>{"Donnees compt. non valables - Code d'erreur: 21004",
                                                   "Donnees compt. non valables - Code d'erreur: 21021"}));
}

TEST(TypedRead, NamesHoldingTheirTypeWordAreReadPastTheEcho) {
  Session s([](Line& line) {
    line.waitFor("bigint\r");
    line.send("\n> cv 0 bigint\r\n int bigint 2147483648\r\n> ");
    line.waitFor("setpoint\r");
    // Echo and answer in pieces, a type word cut in two among them.
    for (const char* piece : {"cv 0 set", "point\r\nin", "t setp", "oint 25", "0\r\n> "}) {
      line.send(piece);
      Line::pause(20);
    }
    line.waitFor("charset\r");
    line.send("cv 0 charset\r\nchar charset[8] |LATIN1~~|\r\n> ");
  });
  ASSERT_EQ(s.opened, 0);
  std::int32_t value = 0;
  EXPECT_EQ(readInt(*s.link, "cv", "bigint", "int", 0, value, 10, s.rc.ctx), kIntInvalid);
  EXPECT_EQ(readInt(*s.link, "cv", "setpoint", "int", 0, value, 10, s.rc.ctx), 0);
  EXPECT_EQ(value, 250);
  std::string text;
  EXPECT_EQ(readText(*s.link, "charset", 0, text, false, s.rc.ctx), 0);
  EXPECT_EQ(text, "LATIN1");
  EXPECT_EQ(s.rc.errors, std::vector<std::string>{"Donnees compt. non valables - Code d'erreur: 21020"});
}

TEST(TypedRead, PromptBackWithoutTheTypeWordEndsTheWaitAtOnce) {
  Session s([](Line& line) {
    line.waitFor("nosuch\r");
    // The prompt left from the previous command comes before the echo and
    // does not count; the one after the answer line does.
    line.send("\n> cv 0 nosuch\r\n");
    Line::pause(100);
    line.send("Error: unknown variable\r\n> ");
    line.waitFor("abar\r");
    line.send("cv 0 abar\r\nshort abar 5\r\n> ");
  });
  ASSERT_EQ(s.opened, 0);
  const auto begin = std::chrono::steady_clock::now();
  std::int32_t value = 0;
  EXPECT_EQ(readInt(*s.link, "cv", "nosuch", "int", 0, value, 10, s.rc.ctx), kTimeout);
  std::uint32_t status = 0;
  EXPECT_EQ(readUnsigned(*s.link, "abar", "unsigned", 0, status, false, s.rc.ctx), kTimeout);
  EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(5));
  EXPECT_EQ(s.rc.errors, (std::vector<std::string>{"Donnees anticipees non recues",
                                                   "Donnees anticipees non recues"}));
}

// ---------------------------------------------------------------------------
// Prompt and channel

// A meter in a menu screen: it ignores "test" until six ESC "D" pairs come.
void menuMeter(Line& line) {
  line.waitFor("test\r");
  line.send("MENU 1: CONFIG\r\n");
  line.waitFor("\x1b" "D\x1b" "D\x1b" "D\x1b" "D\x1b" "D\x1b" "D");
  line.waitFor("test\r");
  line.send("test\r\n???");
}

TEST(ResyncPrompt, MenuScreenIsLeftByTheEscapePairs) {
  Session s(menuMeter);
  ASSERT_EQ(s.opened, 0);
  ScaledClock fast(500.0);  // the first probe waits 50 s for its answer
  s.rc.ctx.clock = &fast;
  EXPECT_EQ(resyncPrompt(*s.link, 0, true, false, ChannelFacts{}, s.rc.ctx), 0);
  EXPECT_TRUE(s.rc.errors.empty());
  ASSERT_TRUE(s.peer.awaitScript());
  s.peer.finish();
  EXPECT_NE(s.peer.received().find("\x1b" "D\x1b" "D\x1b" "D\x1b" "D\x1b" "D\x1b" "Dtest\r"), std::string::npos);
}

TEST(ResyncPrompt, SilentMeterReportsTheSecondProbe) {
  Session s([](Line& line) { line.idle(); });
  ASSERT_EQ(s.opened, 0);
  ScaledClock fast(2000.0);
  s.rc.ctx.clock = &fast;
  EXPECT_EQ(resyncPrompt(*s.link, 0, true, true, ChannelFacts{}, s.rc.ctx), kTimeout);
  EXPECT_EQ(s.rc.errors, std::vector<std::string>{"Pas de reponse du compteur"});
}

TEST(WaitChannelReady, NotMeasuringInTimeIsMinusThreeWithTheChannelMessage) {
  Session s([](Line& line) {
    for (int i = 0; i < 1000 && line.waitFor("abar\r"); ++i) line.send("unsigned abar 00000040\r\n");
  });
  ASSERT_EQ(s.opened, 0);
  ChannelStateWords words;
  ChannelFacts facts{false, &words};
  EXPECT_EQ(waitChannelReady(*s.link, 1, 100, facts, s.rc.ctx), kChannelNotReady);
  EXPECT_EQ(s.rc.errors, std::vector<std::string>{"Echec canal 2"});
  EXPECT_EQ(words.failedMask, 0x2);
  EXPECT_EQ(words.secondStateMask, 0x0);
  facts.multiPath = true;
  EXPECT_EQ(waitChannelReady(*s.link, 2, 0, facts, s.rc.ctx), kChannelNotReady);
  EXPECT_EQ(s.rc.errors.back(), "Echec chemin 3");
}

TEST(WaitChannelReady, RecordsTheStatusBitsOfAMeasuringChannel) {
  Session s([](Line& line) {
    line.waitFor("abar\r");
    line.send("unsigned abar 00000010\r\n");
  });
  ASSERT_EQ(s.opened, 0);
  s.link->meterFlags = 0x8 | (1u << (8 + 3));  // extended state, NullTrack on channel 3
  ChannelStateWords words;
  words.failedMask = 0x8;
  EXPECT_EQ(waitChannelReady(*s.link, 3, 50000, ChannelFacts{false, &words}, s.rc.ctx), 0);
  EXPECT_EQ(words.failedMask, 0);
  EXPECT_EQ(words.secondStateMask, 0x8);      // bit 0x40 clear
  EXPECT_EQ(words.nullTrackFailedMask, 0x8);  // bit 0x02 clear
  EXPECT_EQ(words.failureWord(), 0x80u);
}

TEST(ResyncPrompt, ChannelWaitFailureNamesTheChannel) {
  Session s([](Line& line) {
    for (int i = 0; i < 1000 && line.waitFor("abar\r"); ++i) line.send("unsigned abar 00000000\r\n");
  });
  ASSERT_EQ(s.opened, 0);
  EXPECT_EQ(resyncPrompt(*s.link, 3, false, false, ChannelFacts{true, nullptr}, s.rc.ctx), kChannelNotReady);
  EXPECT_EQ(s.rc.errors, std::vector<std::string>{"Echec chemin 4"});
}

// ---------------------------------------------------------------------------
// querySiteData

TEST(QuerySiteData, AnswerGoesToTheParserOfItsKind) {
  Session s([](Line& line) {
    line.waitFor("test\r");
    line.send("test\r\n???\r\n");
    line.waitFor("qg 400\r");
    line.send("qg 400\r\n400F0F0\r\nSITE1,7326G,3.02.00M\x03");
  });
  ASSERT_EQ(s.opened, 0);
  std::string parsedBy;
  SiteAnswerParsers parsers;
  parsers.setParser(4, [&](std::string_view answer, OperationContext&) {
    parsedBy = "four:" + std::string(answer);
    return 0;
  });
  parsers.setSharedParser([&](std::string_view, OperationContext&) {
    parsedBy = "shared";
    return 0;
  });
  SiteQuery query;
  query.text = "qg 400\r";
  query.startMarker = "400";
  query.terminator = "\x03";
  query.meterType = 4;
  EXPECT_EQ(querySiteData(*s.link, query, ChannelFacts{}, parsers, s.rc.ctx), 0);
  // The echo holds the marker too, but the answer begins at its first occurrence.
  EXPECT_EQ(parsedBy, "four:400\r\n400F0F0\r\nSITE1,7326G,3.02.00M");
  EXPECT_NE(parsers.parserFor(9), nullptr);
  EXPECT_EQ(parsers.parserFor(2), nullptr);
}

// ---------------------------------------------------------------------------
// collectLines

TEST(CollectLines, NewestFirstWithoutEchoOrEmptyLines) {
  Session s([](Line& line) {
    line.send("cv 0 qmcmd[0] 1,10,,\r\n");
    Line::pause(20);
    line.send("\r\nEVT1,a\r\nEVT2,");
    Line::pause(20);
    line.send("bb\r\n\nEVT3,ccc\x03trailing");
  });
  ASSERT_EQ(s.opened, 0);
  CollectedLines out;
  EXPECT_EQ(collectLines(*s.link, "cv 0 qmcmd[0] 1,10,,\r", 5000, out, s.rc.ctx), 0);
  EXPECT_EQ(out.lines, (std::vector<std::string>{"EVT3,ccc", "EVT2,bb", "EVT1,a"}));
  EXPECT_EQ(out.longest, 8u);
}

TEST(CollectLines, CancelStopsTheListingAndKeepsNothing) {
  std::atomic<bool> canSeen{false};
  Session s([&](Line& line) {
    line.send("EVT1\r\n");
    if (line.waitFor("\x18")) {
      canSeen = true;
      line.waitFor("\r");
      line.send("???");
    }
  });
  ASSERT_EQ(s.opened, 0);
  ScaledClock fast(50.0);  // the stop sequence's purge waits 3 s of quiet
  s.rc.ctx.clock = &fast;
  ProgressLine progress;
  s.rc.ctx.progress = &progress;
  int passes = 0;
  s.rc.ctx.pump = [&] {
    if (++passes == 20) s.rc.cancel = 1;
  };
  CollectedLines out;
  out.lines = {"old"};
  EXPECT_EQ(collectLines(*s.link, "cmd", 50000, out, s.rc.ctx), kCancelled);
  EXPECT_TRUE(out.lines.empty());
  EXPECT_TRUE(s.rc.errors.empty());
  EXPECT_TRUE(canSeen);
  EXPECT_EQ(progress.text().rfind("Annulation, veuillez patienter...", 0), 0u);
}

TEST(CollectLines, SilenceEndsWithTheReceiveTimeOutMessage) {
  Session s([](Line& line) {
    line.send("EVT1\r\n");
    line.idle();
  });
  ASSERT_EQ(s.opened, 0);
  ScaledClock fast(50.0);
  s.rc.ctx.clock = &fast;
  CollectedLines out;
  EXPECT_EQ(collectLines(*s.link, "cmd", 2000, out, s.rc.ctx), kTimeout);
  EXPECT_TRUE(out.lines.empty());
  EXPECT_EQ(s.rc.errors, std::vector<std::string>{"Donnees anticipees non recues"});
}

TEST(CollectLines, LineLongerThanTheReceiveAreaEndsInATimeOut) {
  Session s([](Line& line) {
    line.send("EVT1\r\n" + std::string(40000, 'x'));
    line.idle();
  });
  ASSERT_EQ(s.opened, 0);
  ScaledClock fast(50.0);
  s.rc.ctx.clock = &fast;
  CollectedLines out;
  EXPECT_EQ(collectLines(*s.link, "cmd", 5000, out, s.rc.ctx), kTimeout);
  EXPECT_TRUE(out.lines.empty());
}

TEST(CollectLines, ExhaustedStorageIsMinusFour) {
  Session s([](Line& line) {
    for (int i = 0; i < 50; ++i) line.send("EVENT RECORD " + std::to_string(i) + "\r\n");
    line.send("\x03");
  });
  ASSERT_EQ(s.opened, 0);
  ScaledClock fast(50.0);
  s.rc.ctx.clock = &fast;
  CollectedLines out;
  EXPECT_EQ(collectLines(*s.link, "cmd", 5000, out, s.rc.ctx, 400), kOutOfMemory);
  EXPECT_TRUE(out.lines.empty());
  EXPECT_EQ(s.rc.errors,
            std::vector<std::string>{"Impossible d'affecter de la memoire pour les evenements memorises"});
}

// ---------------------------------------------------------------------------
// receivePacket

TEST(ReceivePacket, SkipsTheEchoAndShortLines) {
  char packet[32] = {};
  std::memcpy(packet + 6, "OK", 2);
  buildPacket(packet, sizeof packet, 2, 0, 5);
  const std::string good(packet);
  Session s([&](Line& line) {
    line.send("0A0105SAVE");  // echo of the request, then the answer
    Line::pause(20);
    line.send("\r\n\r\nx\r\n" + good.substr(0, 4));
    Line::pause(20);
    line.send(good.substr(4));
  });
  ASSERT_EQ(s.opened, 0);
  std::int64_t elapsed = -1;
  std::string_view line;
  EXPECT_EQ(receivePacket(*s.link, "SAVE", 5, elapsed, 5000, s.rc.ctx, &line), 0);
  EXPECT_EQ(line, good.substr(0, good.size() - 1));
  EXPECT_GE(elapsed, 0);
}

TEST(ReceivePacket, FaultsAreReturnedNotReported) {
  Session s([](Line& line) { line.send("06000600FF\r"); });
  ASSERT_EQ(s.opened, 0);
  std::int64_t elapsed = 0;
  EXPECT_EQ(receivePacket(*s.link, nullptr, 5, elapsed, 5000, s.rc.ctx), kPacketCheckMismatch);
  EXPECT_TRUE(s.rc.errors.empty());
}

TEST(ReceivePacket, TimeOutIsReportedAsAReceive) {
  Session s([](Line& line) { line.send("0A"); });
  ASSERT_EQ(s.opened, 0);
  std::int64_t elapsed = 0;
  EXPECT_EQ(receivePacket(*s.link, nullptr, -1, elapsed, 150, s.rc.ctx), kTimeout);
  EXPECT_EQ(s.rc.errors, std::vector<std::string>{"Donnees anticipees non recues"});
}

}  // namespace
}  // namespace tarnlux
