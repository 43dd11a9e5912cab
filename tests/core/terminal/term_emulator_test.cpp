#include "terminal/term_emulator.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "terminal/key_table.h"

namespace tarnlux {
namespace {

std::vector<std::string> plainLines(const TermEmulator& t) {
  std::vector<std::string> out;
  for (const std::string& line : t.displayLines()) out.push_back(TermEmulator::plain(line));
  return out;
}

// The screen's rows (the last `rows` display lines) with trailing blanks cut.
std::vector<std::string> screenRows(const TermEmulator& t) {
  std::vector<std::string> all = plainLines(t);
  std::vector<std::string> rows(all.end() - t.geometry().rows, all.end());
  for (std::string& r : rows) r.erase(r.find_last_not_of(' ') + 1);
  return rows;
}

TEST(TermEmulator, LineModeKeepsPrintablesAndCarriageReturnsOnly) {
  TermEmulator t({10, 4});
  // The meter's echo of a typed line feed, a bell, a backspace: none shown.
  t.feed("ab\ncd\a\b\r\nnext\r\n> ");
  EXPECT_EQ(plainLines(t), (std::vector<std::string>{"abcd", "next", "> "}));
  EXPECT_FALSE(t.screenMode());
  EXPECT_EQ(t.cursorLine(), 2);
  EXPECT_EQ(t.cursorColumn(), 2);
  // A long line is shown over several rows; a full last row puts the cursor below.
  t.feed("12345678");
  EXPECT_EQ(plainLines(t).back(), "");
  EXPECT_EQ(t.cursorLine(), 3);
  EXPECT_EQ(t.cursorColumn(), 0);
}

TEST(TermEmulator, ClearStartsScreenModeAndPlacementOverwrites) {
  TermEmulator t({12, 3});
  t.feed("history\r\n");
  t.feed("\x1b[2J\x1b[2;3HMENU\x1b[1;1Htop\x1b[3;10Hxyz");
  EXPECT_TRUE(t.screenMode());
  EXPECT_EQ(screenRows(t), (std::vector<std::string>{"top", "  MENU", "         xyz"}));
  EXPECT_EQ(plainLines(t).front(), "history") << "the text before the clear stays in the history";
  // Row and column 0 count as 1; positions past the screen are held at its edge.
  t.feed("\x1b[0;0HA\x1b[99;99HZ");
  EXPECT_EQ(screenRows(t)[0], "Aop");
  EXPECT_EQ(screenRows(t)[2], "         xyZ");
  // Erase to the end of the row, and a second clear blanks the same screen.
  t.feed("\x1b[2;4H\x1b[K");
  EXPECT_EQ(screenRows(t)[1], "  M");
  const std::size_t before = t.displayLines().size();
  t.feed("\x1b[J");
  EXPECT_EQ(screenRows(t), (std::vector<std::string>{"", "", ""}));
  EXPECT_EQ(t.displayLines().size(), before);
  EXPECT_EQ(t.cursorLine(), static_cast<int>(before) - 3);
  EXPECT_EQ(t.cursorColumn(), 0);
}

TEST(TermEmulator, ScreenModeCarriageReturnAndWrapScrollAtTheBottom) {
  TermEmulator t({5, 2});
  t.feed("\x1b[J" "one\rtwo\rthree!");
  // "one" scrolled into the history; "three" filled the row; "!" wrapped and scrolled.
  EXPECT_EQ(screenRows(t), (std::vector<std::string>{"three", "!"}));
  const std::vector<std::string> all = plainLines(t);
  EXPECT_EQ(all[all.size() - 3], "two  ");
}

TEST(TermEmulator, CursorSequences) {
  struct Case {
    const char* name;
    bool cursorKeys;
    const char* moves;
    int row, column;  // expected, 0-based, from row 3 column 3
  };
  const Case cases[] = {
      {"up/down ignored outside cursor-key mode", false, "\x1b[A\x1b[B\x1b[B", 2, 2},
      {"up in cursor-key mode", true, "\x1b[A", 1, 2},
      {"down in cursor-key mode", true, "\x1b[B\x1b[B\x1b[B\x1b[B", 3, 2},
      {"up with a parameter does nothing", true, "\x1b[2A", 2, 2},
      {"right, right with 1, not with 2", false, "\x1b[C\x1b[1C\x1b[2C", 2, 4},
      {"right held at the row end", false, "\x1b[C\x1b[C\x1b[C\x1b[C", 2, 5},
      {"left without a parameter only", false, "\x1b[D\x1b[1D", 2, 1},
      // What follows a broken sequence is plain text: "H", then "1H".
      {"a third digit ends the sequence", false, "\x1b[123H", 2, 3},
      {"a third parameter ends the sequence", false, "\x1b[1;1;1H", 2, 4},
      {"ESC and another character", false, "\x1b" "D\x1bZ", 2, 2},
  };
  for (const Case& c : cases) {
    TermEmulator t({6, 4});
    t.feed("\x1b[J\x1b[3;3H");
    t.setCursorKeyMode(c.cursorKeys);
    t.feed(c.moves);
    const int top = static_cast<int>(t.displayLines().size()) - 4;
    EXPECT_EQ(t.cursorLine() - top, c.row) << c.name;
    EXPECT_EQ(t.cursorColumn(), c.column) << c.name;
  }
}

TEST(TermEmulator, HighlightMarksStoredCharactersByTheirTopBit) {
  TermEmulator t({20, 2});
  t.feed("a\x1b[7mb\x1b[0mc\x1b[1md\x1b[me");
  const std::string line = t.displayLines().back();
  ASSERT_EQ(line.size(), 5u);
  const bool expected[] = {false, true, false, true, false};
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_EQ((static_cast<unsigned char>(line[i]) & 0x80) != 0, expected[i]) << i;
  }
  EXPECT_EQ(TermEmulator::plain(line), "abcde");
}

TEST(TermEmulator, SequencesSplitBetweenReadsAreFinished) {
  const std::string whole = "\x1b[2J\x1b[12;34HX\x1b[7mY\x1b[0mZ";
  TermEmulator once({40, 20});
  once.feed(whole);
  for (std::size_t cut = 1; cut < whole.size(); ++cut) {
    TermEmulator split({40, 20});
    split.feed(whole.substr(0, cut));
    split.feed(whole.substr(cut));
    EXPECT_EQ(split.displayLines(), once.displayLines()) << "cut at " << cut;
    EXPECT_EQ(split.cursorColumn(), once.cursorColumn()) << "cut at " << cut;
  }
}

TEST(TermEmulator, TheRingKeepsTheNewestLinesAndTheScreen) {
  TermEmulator t({10, 3}, 200);
  for (int i = 0; i < 100; ++i) t.feed("line " + std::to_string(i) + "\r\n");
  std::vector<std::string> lines = plainLines(t);
  EXPECT_EQ(lines[lines.size() - 2], "line 99");
  EXPECT_LE(t.store().size(), 200u);
  t.feed("\x1b[J\x1b[3;1Hbottom");
  for (int i = 0; i < 50; ++i) t.feed("\x1b[1;1Htop");
  EXPECT_EQ(screenRows(t), (std::vector<std::string>{"top", "", "bottom"}));
}

TEST(TermEmulator, GeometryOfTheWindow) {
  // Half a cell of margin in width, one pixel in height.
  EXPECT_EQ(termGeometryFor(803, 481, 8, 16).columns, 99);
  EXPECT_EQ(termGeometryFor(803, 481, 8, 16).rows, 30);
  EXPECT_EQ(termGeometryFor(0, 0, 8, 16).columns, 1);
  // A resize in screen mode starts a blank screen of the new size.
  TermEmulator t({10, 3});
  t.feed("\x1b[J\x1b[2;2Hold");
  t.setGeometry({20, 5});
  EXPECT_EQ(screenRows(t), (std::vector<std::string>(5, "")));
  t.feed("\x1b[5;20H!");
  EXPECT_EQ(screenRows(t)[4], std::string(19, ' ') + "!");
}

TEST(TermKeys, WhatEachKeySends) {
  EXPECT_EQ(termKeyBytes(TermKey::Character, 'a'), "a");
  EXPECT_EQ(termKeyBytes(TermKey::Character, '\n'), "\n");
  EXPECT_EQ(termKeyBytes(TermKey::Character, '\t'), "");
  EXPECT_EQ(termKeyBytes(TermKey::Character, '\x7f'), "");
  EXPECT_EQ(termKeyBytes(TermKey::Left) + termKeyBytes(TermKey::Up) + termKeyBytes(TermKey::Right) +
                termKeyBytes(TermKey::Down),
            "\x1b[D\x1b[A\x1b[C\x1b[B");
  EXPECT_EQ(termKeyBytes(TermKey::Delete), "\b");
  EXPECT_EQ(termKeyBytes(TermKey::F1) + termKeyBytes(TermKey::F4), "\x1bOP\x1bOS");
  std::string command;
  for (int i = 0; i < 6; ++i) command += "\x1b[D";
  EXPECT_EQ(commandButtonBytes(), command + std::string(18, '\b'));
  EXPECT_EQ(menuButtonBytes(), "\rMenue\r");
  EXPECT_EQ(menuRedrawButtonBytes(), "\x0C");
}

TEST(TermKeys, DecoderMapsATextTerminalsKeys) {
  struct Case {
    const char* typed;
    const char* sent;
    bool arrowLast;
  };
  const Case cases[] = {
      {"ls\r", "ls\r", false},
      {"\x1b[A\x1b[B\x1bOC\x1b[D", "\x1b[A\x1b[B\x1b[C\x1b[D", true},
      {"x\x7f\x1b[3~", "x\b\b", false},
      {"\x1bOP\x1b[12~\x1b[[C\x1b[14~", "\x1bOP\x1bOQ\x1bOR\x1bOS", false},
      {"\t\x1b[5~a", "a", false},  // Tab and Page Up send nothing
  };
  for (const Case& c : cases) {
    TermKeyDecoder d;
    const auto r = d.feed(c.typed);
    EXPECT_EQ(r.toSend, c.sent) << c.typed;
    EXPECT_EQ(r.arrowKeyLast, c.arrowLast) << c.typed;
    EXPECT_FALSE(r.quit);
  }
  // Split between reads; a lone ESC goes out when flushed; Ctrl-] ends.
  TermKeyDecoder d;
  EXPECT_EQ(d.feed("\x1b").toSend, "");
  EXPECT_TRUE(d.pending());
  EXPECT_EQ(d.feed("[").toSend, "");
  EXPECT_EQ(d.feed("A").toSend, "\x1b[A");
  d.feed("\x1b");
  EXPECT_EQ(d.flush().toSend, "\x1b");
  const auto r = d.feed("ab\x1d" "cd");
  EXPECT_EQ(r.toSend, "ab");
  EXPECT_TRUE(r.quit);
}

}  // namespace
}  // namespace tarnlux
