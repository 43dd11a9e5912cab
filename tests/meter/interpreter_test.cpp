#include "interpreter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "meter.h"
#include "meter_test_util.h"
#include "number_text.h"
#include "queries.h"

using namespace tarnlux::meter;
using namespace tarnlux::meter::test;

namespace {

class InterpreterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
  }
  std::string send(std::string_view input) { return feedAll(interpreter, input); }
  // The answer of one command line, without its echo and prompt.
  std::string answer(const std::string& command) {
    const std::string all = send(command + "\r");
    const std::string echo = command + "\r\n";
    EXPECT_EQ(all.substr(0, echo.size()), echo);
    EXPECT_TRUE(all.ends_with("> ")) << all;
    return all.substr(echo.size(), all.size() - echo.size() - 2);
  }

  Meter meter{smallProfile(), 7, [] { return kFixedTime; }};
  CommandInterpreter interpreter{meter, false};
};

TEST_F(InterpreterTest, ProbeAnswersQuestionMarksLikeAnyUnknownLine) {
  // The client clears a half-typed line with six backspaces before the probe.
  EXPECT_EQ(send("\b\b\b\b\b\btest\r"), "test\r\n???\r\n> ");
  EXPECT_EQ(send("\r"), "\r\n???\r\n> ");
  EXPECT_EQ(answer("bootloader"), "???\r\n");
  EXPECT_EQ(answer("CV 0 abar"), "???\r\n");
}

TEST_F(InterpreterTest, BackspaceFormFeedAndCancelEditTheLine) {
  EXPECT_EQ(send("cv 0 ab"), "cv 0 ab");
  // Only what was typed is erased; extra backspaces send nothing.
  std::string erased;
  for (int i = 0; i < 7; ++i) erased += "\b \b";
  EXPECT_EQ(send("\b\b\b\b\b\b\b\b\b"), erased);
  EXPECT_EQ(send("test\r"), "test\r\n???\r\n> ");
  // A form feed drops what was typed and redraws the prompt.
  EXPECT_EQ(send("cv 0 ab\x0C"
                 "test\r"),
            "cv 0 ab\r\n> test\r\n???\r\n> ");
  // CAN drops the typed line; the client then sends "\r" and waits for "???".
  std::vector<Output> out;
  interpreter.feed("cv 0 ab\x18\r", out);
  ASSERT_GE(out.size(), 3u);
  EXPECT_EQ(out[1].kind, Output::Kind::Cancel);
  EXPECT_EQ(out.back().bytes, "???\r\n> ");
  // Line feeds, NUL, XON/XOFF and ESC pairs never reach the line.
  static constexpr char kNoisy[] =
      "cv\n 0\x11 ab\x13"
      "a\x1b"
      "Dr\0\r";
  EXPECT_EQ(send(std::string_view(kNoisy, sizeof kNoisy - 1)),
            "cv 0 abar\r\nunsigned abar 3FF\r\n> ");
}

TEST_F(InterpreterTest, EveryTypeWordReadsTheWayTheServiceProgramParsesIt) {
  EXPECT_EQ(Reader::unsignedValue(answer("cv 0 abar"), "unsigned", "abar"), 0x3FF);
  EXPECT_EQ(Reader::unsignedValue(answer("cv 2 abar"), "unsigned", "abar"), 0);
  // A value starting with a letter still reads, as the reader skips to a digit.
  EXPECT_EQ(Reader::unsignedValue(answer("cv 0 small"), "unsigned", "small"), 0xA5);
  EXPECT_EQ(Reader::unsignedValue(answer("cv 0 big"), "unsigned", "big"), 0xFFF0000);
  EXPECT_EQ(Reader::token(answer("cv 0 accept"), "int", "accept"), "97");
  EXPECT_EQ(Reader::token(answer("cv 0 rep_rate"), "short", "rep_rate"), "-12");
  const std::string dt = Reader::token(answer("cv 0 delta_t"), "double", "delta_t");
  EXPECT_TRUE(isStrictDecimal(dt)) << dt;
  EXPECT_DOUBLE_EQ(std::strtod(dt.c_str(), nullptr), 2.45e-6);
  EXPECT_EQ(Reader::token(answer("qm 1 alc_avg"), "int", "alc_avg"), "60672");
  EXPECT_EQ(answer("cv 0 id"), "char id[8] |GASP1A01|\r\n");
  EXPECT_EQ(Reader::text(answer("cv 0 flegend")), "M3/HR");
  // A blank password lists as eight blanks: the reader takes exactly eight characters.
  EXPECT_EQ(answer("cv 0 pw"), "char pw[8] |        |\r\n");
}

TEST_F(InterpreterTest, WritesAreShownByLaterReads) {
  EXPECT_EQ(answer("cv 1 accept 55"), "");
  EXPECT_EQ(Reader::token(answer("cv 1 accept"), "int", "accept"), "55");
  EXPECT_EQ(Reader::token(answer("cv 0 accept"), "int", "accept"), "97")
      << "other indexes keep theirs";
  EXPECT_EQ(answer("cv 0 abar[0] 1f"), "");
  EXPECT_EQ(Reader::unsignedValue(answer("cv 0 abar"), "unsigned", "abar"), 0x1F);
  // The password is the rest of the line, blanks included.
  EXPECT_EQ(answer("cv 0 pw[0] AB CD   "), "");
  EXPECT_EQ(answer("cv 0 pw"), "char pw[8] |AB CD   |\r\n");
  EXPECT_EQ(answer("cv 0 id[4] ZZ"), "");
  EXPECT_EQ(answer("cv 0 id"), "char id[8] |GASPZZ~~|\r\n");
  // qm variables are apart from cv ones.
  EXPECT_EQ(answer("qm 0 accept"), kUnknownVariable);
}

TEST_F(InterpreterTest, MemoryBlockWriteReadsBackBetweenBarsWithFill) {
  // EOT ends the stored text: it is neither kept nor listed, nor anything after it.
  EXPECT_EQ(answer("cv 0 qmmem[0] 0,30,20,SITE_A,,\x04junk"), "");
  const std::string block = "0,30,20,SITE_A,,";
  const std::string listing = answer("cv 0 qmmem");
  const std::string value = block + std::string(64 - block.size(), '~');
  EXPECT_EQ(listing, "char qmmem[64] |" + value + "|\r\n");
  // A block that fills the variable exactly once its EOT is dropped.
  EXPECT_EQ(answer("cv 0 qmmem[0] " + std::string(64, 'b') + "\x04"), "");
  EXPECT_EQ(answer("cv 0 qmmem"), "char qmmem[64] |" + std::string(64, 'b') + "|\r\n");
  // A shorter block later leaves no trace of the longer one.
  EXPECT_EQ(answer("cv 0 qmmem[0] 1,"), "");
  EXPECT_EQ(answer("cv 0 qmmem"), "char qmmem[64] |1," + std::string(62, '~') + "|\r\n");
  EXPECT_EQ(answer("cv 0 qmmem[0] " + std::string(65, 'x')), kTooMany);
}

TEST_F(InterpreterTest, StateFaultsClearStatusBitsAndShortenTheBlockListing) {
  FaultSet faults;
  std::string error;
  ASSERT_TRUE(parseFaults("not-measuring=0,nulltrack-fail=0,nulltrack-fail=3,short-block", faults, error))
      << error;
  EXPECT_EQ(faults.nullTrackFailing, 0x9u);
  meter.applyStateFaults(faults);
  EXPECT_EQ(answer("cv 0 abar"), "unsigned abar 3ED\r\n") << "0x3FF without 0x10 and 0x02";
  EXPECT_EQ(answer("cv 1 abar"), "unsigned abar 0\r\n");
  EXPECT_EQ(answer("cv 0 qmmem"), "char qmmem[64] |" + std::string(63, '~') + "|\r\n");
  EXPECT_EQ(answer("cv 0 id"), "char id[8] |GASP1A01|\r\n") << "other char variables are whole";
  for (const char* bad : {"not-measuring", "not-measuring=16", "nulltrack-fail=x", "short-block=1"}) {
    EXPECT_FALSE(parseFaults(bad, faults, error)) << bad;
  }
}

TEST_F(InterpreterTest, SilentBlockReadsGoUnansweredAndWritesStillCount) {
  FaultSet faults;
  std::string error;
  ASSERT_TRUE(parseFaults("block-silent=2", faults, error)) << error;
  meter.applyStateFaults(faults);
  EXPECT_EQ(answer("cv 0 qmmem[0] 7,"), "");
  EXPECT_EQ(answer("cv 0 qmmem"), "");
  EXPECT_EQ(answer("cv 1 qmmem"), "") << "any index";
  EXPECT_EQ(answer("cv 0 qmmem"), "char qmmem[64] |7," + std::string(62, '~') + "|\r\n");
  for (const char* bad : {"block-silent=0", "block-silent=x"}) {
    EXPECT_FALSE(parseFaults(bad, faults, error)) << bad;
  }
}

TEST_F(InterpreterTest, TableArraysListFourToALineForTheVerification) {
  EXPECT_EQ(answer("cv 0 temp_grid[0] 290.000,300.125,310.000,320.000,330.000,340.000,350.000,"
                   "360.000,370.000,380.004"),
            "");
  // Six significant digits; every value followed by a blank; the last line
  // led by "[8]" as the end marker.
  EXPECT_EQ(answer("cv 0 temp_grid"),
            "double temp_grid[0] 290 300.125 310 320 \r\n"
            "[4] 330 340 350 360 \r\n"
            "[8] 370 380.004 \r\n");
  EXPECT_EQ(answer("cv 0 temp_grid[9]"), "double temp_grid[9] 380.004\r\n");
  EXPECT_EQ(answer("cv 0 temp_grid[8] 1,2,3"), kTooMany);
  EXPECT_EQ(answer("cv 0 temp_grid[8] 1,x"), kBadValue);
  EXPECT_EQ(answer("cv 0 temp_grid[8]").substr(0, 23), "double temp_grid[8] 370")
      << "bad writes store nothing";
}

TEST_F(InterpreterTest, FaultyCommandsAnswerErrorsWithoutTypeWords) {
  for (const char* command :
       {"cv 0 nosuch", "cv", "cv x abar", "cv 0", "cv 16 abar", "cv 0 abar[zz]", "cv 0 accept 1.5",
        "cv 0 rep_rate 40000", "qg", "qg 12", "qg 12G", "qg A011"}) {
    const std::string a = answer(command);
    EXPECT_TRUE(a.starts_with("Error: ")) << command << " -> " << a;
    for (const char* word : {"unsigned", "int", "short", "double", "char", "???"}) {
      EXPECT_EQ(a.find(word), std::string::npos) << command << " -> " << a;
    }
  }
  const std::string overlong = send(std::string(CommandInterpreter::kMaxLine + 10, 'x') + "\r");
  EXPECT_TRUE(overlong.ends_with("\r\nError: line too long\r\n> "));
}

TEST_F(InterpreterTest, QueryHeaderDigitsAndEndMarker) {
  // Capabilities: kind digit 5 (15 - A), channel, sub-code, nibbles of bits
  // 12-15, 8-11, 4-7, 0-3, then 16-19 on memory-block meters; ETX ends it.
  EXPECT_EQ(answer("qg A01"), "50100101\r\n\x03\r\n");
  EXPECT_EQ(answer("qg a31"), "53100101\r\n\x03\r\n");
  // Other kinds echo their kind digit; profile lines fill the body.
  EXPECT_EQ(answer("qg 420"), "42000101\r\n        ,7326G,3.02.00M,03.14.26,09.26.53,2\x03\r\n");
  EXPECT_EQ(answer("qg 500"), "50000101\r\n\x03\r\n") << "a kind without an answer yet";

  Meter old(smallProfile(false), 7, [] { return kFixedTime; });
  EXPECT_EQ(old.execute("qg A01"), "5010010\r\n") << "seven digits and a carriage return";
  EXPECT_EQ(old.execute("qg 400"), "4000010\r\nGASP1A01,7326G,3.02.00M,03.14.26,09.26.53,0\r\n");
}

TEST_F(InterpreterTest, IdentificationAnswerHasTheSignalLayout) {
  const std::string a = answer("qg 008");
  ASSERT_TRUE(a.ends_with("\x03\r\n"));
  std::vector<std::string> lines;
  for (std::size_t pos = 0; pos < a.size() - 3;) {
    std::size_t end = a.find("\r\n", pos);
    if (end == std::string::npos || end > a.size() - 3) end = a.size() - 3;
    lines.push_back(a.substr(pos, end - pos));
    pos = end + 2;
  }
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "00800101");
  std::size_t samples = 0;
  for (int w = 1; w <= 2; ++w) {
    const std::string& line = lines[w];
    ASSERT_GE(line.size(), 9u);
    EXPECT_EQ(line.substr(0, 8).find_first_not_of("0123456789ABCDEF"), std::string::npos)
        << "eight upper-case digits";
    int sample = static_cast<signed char>(std::stoi(line.substr(6, 2), nullptr, 16));
    for (std::size_t i = 8; i < line.size(); ++i) {
      ASSERT_GE(line[i], 33);
      ASSERT_LE(line[i], 127);
      sample += line[i] - 80;
      ASSERT_GE(sample, -128);
      ASSERT_LE(sample, 127);
    }
    EXPECT_LE(line.size(), 1031u);
    if (w == 1) samples = line.size();
    EXPECT_EQ(line.size(), samples) << "both bursts have the same length";
  }
  // The figures line starts with the identifier (the client's start marker)
  // and names the gas type and version; date and time follow the meter rule.
  const std::string& f = lines[3];
  EXPECT_TRUE(f.starts_with("GASP1A01,7326G,3.02.00M,03.14.26,09.26.53,")) << f;
  std::size_t fields = 1;
  for (char c : f) fields += c == ',';
  EXPECT_GE(fields, 21u);
  EXPECT_NE(f.find(",u,"), std::string::npos) << "gas meters give microseconds";
  // Signal resolutions change the sample count.
  EXPECT_GT(answer("qg 001").size(), a.size());
}

TEST_F(InterpreterTest, MenuScreenIgnoresEverythingUntilSixEscDPairs) {
  const auto escD = [](int pairs) {
    std::string s;
    for (int i = 0; i < pairs; ++i)
      s += "\x1b"
           "D";
    return s;
  };
  CommandInterpreter menu(meter, true);
  EXPECT_TRUE(menu.inMenu());
  EXPECT_EQ(feedAll(menu, "\b\b\b\b\b\btest\r"), "");
  EXPECT_EQ(feedAll(menu, escD(5)), "");
  EXPECT_TRUE(menu.inMenu()) << "five pairs are not enough";
  EXPECT_EQ(feedAll(menu, "\x0C"), kMenuScreen) << "a form feed redraws the menu";
  EXPECT_EQ(feedAll(menu, escD(1)), "\r\n> ");
  EXPECT_FALSE(menu.inMenu());
  EXPECT_EQ(feedAll(menu, "test\r"), "test\r\n???\r\n> ");
  // The command "menu" enters it; the pair count starts again; a stray ESC
  // or an ESC with another letter does not spoil the pairs.
  EXPECT_EQ(feedAll(menu, "menu\r"), "menu\r\n" + std::string(kMenuScreen));
  EXPECT_EQ(feedAll(menu, "\x1b" + escD(1) + "\x1bx" + escD(4)), "");
  EXPECT_TRUE(menu.inMenu());
  EXPECT_EQ(feedAll(menu, escD(1)), "\r\n> ");
}

}  // namespace
