#include "graph/signal_query.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "common/result.h"

using namespace tarnlux;

TEST(SignalChannels, TransitTimeChannelsThatAreNotEchofluxCanBeShown) {
  // Transit time on channels 1, 2 and 3; channel 3 also in the Echoflux mode.
  const std::uint32_t flags = 0x4070;
  EXPECT_TRUE(signalChannelSelectable(flags, 0));
  EXPECT_TRUE(signalChannelSelectable(flags, 1));
  EXPECT_FALSE(signalChannelSelectable(flags, 2));
  EXPECT_FALSE(signalChannelSelectable(flags, 3));
  EXPECT_FALSE(signalChannelSelectable(flags, kNoSignalChannel));

  // A remembered channel 3 becomes none, and NullTrack goes with it.
  SignalSettings s;
  s.channel = 2;
  s.nullTrackChosen = true;
  fitSignalSettings(s, 0x0030);
  EXPECT_EQ(s.channel, kNoSignalChannel);
  EXPECT_FALSE(s.nullTrackChosen);
  EXPECT_EQ(s.nullTrackOffset, 0);
}

TEST(SignalChannels, NullTrackOffsetFollowsTheSiteSlotBits) {
  // Slot bits 1, bit 2 clear: channel 1 with NullTrack asks for digit 2.
  const std::uint32_t flags = 0x0119;
  EXPECT_EQ(nullTrackChannelOffset(flags), 2);
  SignalSettings s;
  s.channel = 0;
  s.nullTrackChosen = true;
  fitSignalSettings(s, flags);
  EXPECT_EQ(s.nullTrackOffset, 2);
  EXPECT_EQ(signalQueryText(signalQueryCode(s)), "qg 021\r");

  // Bit 2 set: plus 2 instead of plus 1.
  EXPECT_EQ(nullTrackChannelOffset(0x011D), 3);
  EXPECT_EQ(nullTrackChannelOffset(0x0110), 1);

  // NullTrack needs the extended channel state bit: without it the fluid signal.
  s.nullTrackChosen = true;
  fitSignalSettings(s, 0x0111);
  EXPECT_FALSE(s.nullTrackChosen);
  EXPECT_EQ(s.nullTrackOffset, 0);
  EXPECT_EQ(signalQueryText(signalQueryCode(s)), "qg 001\r");
}

TEST(SignalQuery, CommandDigits) {
  SignalSettings s;
  s.channel = 1;
  EXPECT_EQ(signalQueryText(signalQueryCode(s)), "qg 011\r");
  s.graphType = 1;
  s.resolution = 3;
  s.channel = 3;
  EXPECT_EQ(signalQueryText(signalQueryCode(s)), "qg 133\r");
}

TEST(SignalQuery, StartMarkerOnlyWhereAnswersEndWithACarriageReturn) {
  MeterFacts facts;
  facts.typeText = "7326L";
  facts.versionText = "3.01.06E";
  EXPECT_EQ(signalStartMarker(facts), ",7326L,3.01.06E,");
  facts.queryTerminator = kEtx;
  EXPECT_EQ(signalStartMarker(facts), "");
}

namespace {

// A host that plays back query results and records what the loop did.
class ScriptedHost : public SignalLoopHost {
 public:
  std::deque<int> results;
  std::deque<bool> answers;  // Yes/No replies
  std::deque<int> reopenResults;
  bool continuousMode = true;
  bool tcp = true;
  std::vector<std::string> log;

  int queryOnce() override {
    log.push_back("query");
    if (results.empty()) return kCancelled;  // the user pressed Stop
    const int r = results.front();
    results.pop_front();
    return r;
  }
  void showAnswer() override { log.push_back("answer"); }
  bool continuous() const override { return continuousMode; }
  bool tcpLink() const override { return tcp; }
  int reopenLink() override {
    log.push_back("reopen");
    if (reopenResults.empty()) return kOk;
    const int r = reopenResults.front();
    reopenResults.pop_front();
    return r;
  }
  void closeLink() override { log.push_back("close"); }
  std::string pathFailureText() const override { return "Echec chemin 2"; }
  bool askRetry(const std::string& text) override {
    log.push_back("ask:" + text);
    const bool yes = answers.empty() ? false : answers.front();
    if (!answers.empty()) answers.pop_front();
    return yes;
  }
  void showError(const std::string& text, int code) override {
    log.push_back("error:" + text + (code >= 0 ? ":" + std::to_string(code) : ""));
  }
  void clearPicture() override { log.push_back("clear"); }
};

using Log = std::vector<std::string>;

}  // namespace

TEST(SignalLoop, OnceEndsAfterOneAnswerAndContinuousUntilStop) {
  ScriptedHost once;
  once.continuousMode = false;
  once.results = {kOk};
  EXPECT_EQ(runSignalLoop(once), SignalLoopEnd::Done);
  EXPECT_EQ(once.log, (Log{"query", "answer"}));

  ScriptedHost continuous;
  continuous.results = {kOk, kOk, kOk};
  EXPECT_EQ(runSignalLoop(continuous), SignalLoopEnd::Stopped);
  EXPECT_EQ(continuous.log,
            (Log{"query", "answer", "query", "answer", "query", "answer", "query"}));
}

TEST(SignalLoop, FailedPathAsksToRetryInContinuousModeAndSaysSoOnce) {
  ScriptedHost host;
  host.results = {kChannelNotReady, kOk, kSignalAnswerNoData};
  host.answers = {true, false};
  EXPECT_EQ(runSignalLoop(host), SignalLoopEnd::Declined);
  EXPECT_EQ(host.log, (Log{"query", "ask:Echec chemin 2.\nNouvelle interrogation souhaitee?",
                           "clear", "query", "answer", "query",
                           "ask:Pas de reponse du compteur.\nNouvelle interrogation souhaitee?"}));

  ScriptedHost once;
  once.continuousMode = false;
  once.results = {kChannelNotReady};
  EXPECT_EQ(runSignalLoop(once), SignalLoopEnd::Declined);
  EXPECT_EQ(once.log, (Log{"query", "error:Echec chemin 2"}));
}

TEST(SignalLoop, OneReconnectionPerFailureOnTcp) {
  // The reconnection saves the cycle; a later failure gets its own.
  ScriptedHost host;
  host.results = {10057, kOk, kTimeout, kOk};
  EXPECT_EQ(runSignalLoop(host), SignalLoopEnd::Stopped);
  EXPECT_EQ(host.log, (Log{"query", "reopen", "query", "answer", "query", "reopen", "query",
                           "answer", "query"}));

  // Two failures in a row: the second ends the loop with the link closed.
  ScriptedHost twice;
  twice.results = {kTimeout, kTimeout};
  EXPECT_EQ(runSignalLoop(twice), SignalLoopEnd::Failed);
  EXPECT_EQ(twice.log, (Log{"query", "reopen", "query", "error:Echec de communication", "close"}));

  // The reconnection itself fails.
  ScriptedHost refused;
  refused.results = {10057};
  refused.reopenResults = {111};
  EXPECT_EQ(runSignalLoop(refused), SignalLoopEnd::Failed);
  EXPECT_EQ(refused.log, (Log{"query", "reopen", "error:Echec de communication:111", "close"}));
}

TEST(SignalLoop, SerialLinksFailAtOnceAndMalformedAnswersSaySo) {
  ScriptedHost serial;
  serial.tcp = false;
  serial.results = {kSignalWaveformLengthsDiffer};
  EXPECT_EQ(runSignalLoop(serial), SignalLoopEnd::Failed);
  EXPECT_EQ(serial.log, (Log{"query", "error:Donnees compt. non valables:20304",
                             "error:Echec de communication:20304", "close"}));
}
