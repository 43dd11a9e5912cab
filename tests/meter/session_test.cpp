#include "session.h"

#include <gtest/gtest.h>

#include "meter.h"
#include "meter_test_util.h"

using namespace tarnlux::meter;
using namespace tarnlux::meter::test;

namespace {

constexpr std::int64_t kStart = 1000;

// Drives a session on a hand-moved clock, collecting what leaves and when.
struct Harness {
  explicit Harness(FaultSet faults) : session(meter, faults, 3) { session.start(kStart); }

  // Everything due up to `until`, stepping by 1 ms.
  std::string runUntil(std::int64_t until) {
    std::string out;
    for (; now <= until; ++now) {
      std::string due;
      session.takeDue(now, due);
      if (!due.empty()) {
        pieces.push_back({now, due});
        out += due;
      }
    }
    return out;
  }

  Meter meter{smallProfile(), 5, [] { return kFixedTime; }};
  Session session;
  std::int64_t now = kStart;
  struct Piece {
    std::int64_t at;
    std::string bytes;
  };
  std::vector<Piece> pieces;
};

const std::string kTestAnswer = "???\r\n> ";

TEST(Session, PlainAnswerLeavesAtOnceAfterItsEcho) {
  Harness h{FaultSet{}};
  h.session.receive("test\r", kStart);
  EXPECT_EQ(h.session.nextDueMs(), kStart);
  EXPECT_EQ(h.runUntil(kStart), "test\r\n" + kTestAnswer);
  EXPECT_EQ(h.session.nextDueMs(), Session::kNever) << "an idle session plans nothing";
}

TEST(Session, DelayHoldsTheAnswerButNotTheEcho) {
  FaultSet f;
  f.delayMs = 250;
  Harness h{f};
  h.session.receive("test\r", kStart);
  EXPECT_EQ(h.runUntil(kStart + 249), "test\r\n");
  EXPECT_EQ(h.runUntil(kStart + 250), kTestAnswer);
}

TEST(Session, SplitSendsSmallPiecesWithGapsAndLosesNothing) {
  FaultSet f;
  f.split = true;
  Harness h{f};
  h.session.receive("cv 0 id\r", kStart);
  const std::string all = h.runUntil(kStart + 2000);
  EXPECT_EQ(all, "cv 0 id\r\nchar id[8] |GASP1A01|\r\n> ");
  ASSERT_GE(h.pieces.size(), 3u);
  for (std::size_t i = 1; i < h.pieces.size(); ++i) {
    EXPECT_LE(h.pieces[i].bytes.size(), 16u);
    EXPECT_GT(h.pieces[i].at, h.pieces[i - 1].at);
  }
}

TEST(Session, GarbageBeforeKeepsTheAnswerIntactAndHoldsNoMarkers) {
  FaultSet f;
  f.garbage = FaultSet::Garbage::Before;
  Harness h{f};
  h.session.receive("test\r", kStart);
  const std::string all = h.runUntil(kStart);
  ASSERT_TRUE(all.starts_with("test\r\n"));
  ASSERT_TRUE(all.ends_with(kTestAnswer));
  const std::string noise = all.substr(6, all.size() - 6 - kTestAnswer.size());
  ASSERT_GE(noise.size(), 1u);
  ASSERT_LE(noise.size(), 16u);
  for (unsigned char c : noise) {
    EXPECT_TRUE(c >= 0x80 || (c < 0x20 && c != '\r' && c != '\n' && c != 0x03 && c != 0x04 &&
                              c != 0x11 && c != 0x13 && c != 0x18 && c != 0x1B))
        << int(c);
  }
}

TEST(Session, GarbageIntoSpoilsTheAnswer) {
  FaultSet f;
  f.garbage = FaultSet::Garbage::Into;
  Harness h{f};
  h.session.receive("test\r", kStart);
  const std::string all = h.runUntil(kStart);
  EXPECT_EQ(all.find("???"), std::string::npos);
  EXPECT_NE(all.find("??"), std::string::npos);
}

TEST(Session, SilentSendsNothingYetStillTakesCommands) {
  FaultSet f;
  f.silent = true;
  Harness h{f};
  h.session.receive("cv 0 accept 12\r", kStart);
  EXPECT_EQ(h.runUntil(kStart + 100), "");
  EXPECT_EQ(h.meter.cv().number("accept", 0, 0), 12);
}

TEST(Session, DropIsAskedAfterTheNthAnswerOnce) {
  FaultSet f;
  f.dropAfter = 2;
  Harness h{f};
  h.session.receive("test\r", kStart);
  h.runUntil(kStart);
  EXPECT_FALSE(h.session.dropRequested());
  h.session.receive("\x0C", kStart + 1);  // a redraw is not an answer
  h.session.receive("test\r", kStart + 1);
  h.runUntil(kStart + 1);
  EXPECT_TRUE(h.session.dropRequested());
  h.session.dropDone();
  h.session.start(kStart + 2);
  for (int i = 0; i < 3; ++i) h.session.receive("test\r", kStart + 2);
  h.runUntil(kStart + 2);
  EXPECT_FALSE(h.session.dropRequested());
}

TEST(Session, BlockDropClosesTheLineAtTheFirstBlockReadOnly) {
  FaultSet f;
  f.dropBlockRead = true;
  Harness h{f};
  h.meter.applyStateFaults(f);
  h.session.receive("cv 0 abar\r", kStart);
  h.runUntil(kStart);
  EXPECT_FALSE(h.session.dropRequested());
  h.session.receive("cv 0 qmmem\r", kStart + 1);
  h.runUntil(kStart + 1);
  EXPECT_TRUE(h.session.dropRequested());
  h.session.dropDone();
  h.session.start(kStart + 2);
  h.session.receive("cv 0 qmmem\r", kStart + 2);
  h.runUntil(kStart + 2);
  EXPECT_FALSE(h.session.dropRequested());
}

TEST(Session, ContinuousStreamNeverLeavesTheLineQuiet) {
  FaultSet f;
  f.continuous = true;
  Harness h{f};
  std::string all = h.runUntil(kStart + 499);
  h.session.receive("test\r", h.now);
  all += h.runUntil(kStart + 1000);
  EXPECT_NE(all.find("test\r\n???\r\n> "), std::string::npos) << "commands are still answered";
  ASSERT_GE(h.pieces.size(), 50u);
  for (std::size_t i = 1; i < h.pieces.size(); ++i) {
    EXPECT_LE(h.pieces[i].at - h.pieces[i - 1].at, Session::kStreamPeriodMs);
  }
  // Stopped (client gone): nothing more is planned.
  h.session.stop();
  EXPECT_EQ(h.session.nextDueMs(), Session::kNever);
}

TEST(Session, ContinuousStreamGoesOnWhileAnAnswerIsDelayed) {
  FaultSet f;
  f.continuous = true;
  f.delayMs = 200;
  Harness h{f};
  h.runUntil(kStart + 99);
  h.session.receive("test\r", h.now);
  const std::string all = h.runUntil(kStart + 400);
  const std::size_t answerAt = all.find("???");
  ASSERT_NE(answerAt, std::string::npos);
  std::size_t linesBefore = 0;
  for (std::size_t p = all.find("DATA"); p < answerAt; p = all.find("DATA", p + 1)) ++linesBefore;
  EXPECT_GE(linesBefore, 9u) << "the 200 ms of the delay carry lines";
  for (std::size_t i = 1; i < h.pieces.size(); ++i) {
    EXPECT_LE(h.pieces[i].at - h.pieces[i - 1].at, Session::kStreamPeriodMs);
  }
}

TEST(Session, CancelDropsTheRestOfAnAnswerStillQueued) {
  FaultSet f;
  f.delayMs = 100;
  Harness h{f};
  h.session.receive("cv 0 id\r", kStart);
  h.session.receive("\x18", kStart + 10);
  h.session.receive("\r", kStart + 20);
  EXPECT_EQ(h.runUntil(kStart + 500), "cv 0 id\r\n\r\n" + kTestAnswer);
}

TEST(Session, StartingForANewClientForgetsTheOldClientsOutput) {
  FaultSet f;
  f.delayMs = 100;
  Harness h{f};
  h.session.receive("test\r", kStart);
  h.session.start(kStart + 50);
  EXPECT_EQ(h.runUntil(kStart + 500), "");
}

TEST(Session, BadInputNeverCrashesOrStallsTheMeter) {
  // Random bytes and random command soup, with every fault that changes output.
  static const char* const kWords[] = {"cv",
                                       "qm",
                                       "qg",
                                       "test",
                                       "menu",
                                       "0",
                                       "15",
                                       "99",
                                       "abar",
                                       "id",
                                       "pw[0]",
                                       "qmmem[0]",
                                       "temp_grid[7]",
                                       "temp_grid[99999]",
                                       "x[",
                                       "]",
                                       "1,2,3",
                                       "-5",
                                       "FFFFFFFFF",
                                       "A01",
                                       "0F8",
                                       "\x1b"
                                       "D",
                                       "\x0C",
                                       "\x18",
                                       "\b",
                                       "\r"};
  FaultSet f;
  f.split = true;
  f.garbage = FaultSet::Garbage::Into;
  f.dropAfter = 3;
  Harness h{f};
  std::mt19937 random(11);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<std::size_t> word(0, std::size(kWords) - 1);
  for (int round = 0; round < 3000; ++round) {
    std::string input;
    if (round % 2 == 0) {
      for (int i = 0; i < 40; ++i) input += static_cast<char>(byte(random));
    } else {
      for (int i = 0; i < 6; ++i)
        input += std::string(kWords[word(random)]) + (i % 3 == 2 ? "\r" : " ");
    }
    h.session.receive(input, h.now);
    h.runUntil(h.now + 5);
    if (h.session.dropRequested()) h.session.dropDone();
  }
  // Everything planned still drains in bounded time.
  h.runUntil(h.now + 60000);
  EXPECT_EQ(h.session.nextDueMs(), Session::kNever);
}

}  // namespace
