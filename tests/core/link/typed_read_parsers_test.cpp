#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "link/typed_read.h"

namespace tarnlux {
namespace {

int unsignedOf(const std::string& answer, std::uint32_t& value) {
  return parseUnsignedAnswer(answer, "unsigned", "abar", value);
}

TEST(UnsignedAnswer, ReadsUpperCaseHexadecimal) {
  std::uint32_t value = 0;
  EXPECT_EQ(unsignedOf("cv 0 abar\r\nunsigned abar 0000001F", value), 0);
  EXPECT_EQ(value, 0x1Fu);
  EXPECT_EQ(unsignedOf("unsigned abar = FFFFFFFF", value), 0);
  EXPECT_EQ(value, 0xFFFFFFFFu);
  EXPECT_EQ(unsignedOf("unsigned abar: 10 more", value), 0);
  EXPECT_EQ(value, 0x10u);
}

TEST(UnsignedAnswer, LowerCaseHexStopsTheValue) {
  std::uint32_t value = 0;
  EXPECT_EQ(unsignedOf("unsigned abar 1f", value), 0);
  EXPECT_EQ(value, 1u);
  EXPECT_EQ(unsignedOf("unsigned abar 0xFF", value), 0);
  EXPECT_EQ(value, 0u);
}

TEST(UnsignedAnswer, NineDigitsAreTooManyEvenAsLeadingZeros) {
  std::uint32_t value = 7;
  EXPECT_EQ(unsignedOf("unsigned abar 000000001", value), kUnsignedTooManyDigits);
  EXPECT_EQ(unsignedOf("unsigned abar 123456789", value), kUnsignedTooManyDigits);
  EXPECT_EQ(value, 7u);
  EXPECT_EQ(unsignedOf("unsigned abar 12345678", value), 0);
  EXPECT_EQ(value, 0x12345678u);
}

TEST(UnsignedAnswer, FaultsInTheOrderTheAnswerIsRead) {
  std::uint32_t value = 7;
  EXPECT_EQ(unsignedOf("int abar 5", value), kUnsignedTypeWordMissing);
  EXPECT_EQ(unsignedOf("abar unsigned 5", value), kUnsignedNameMissing);  // name must follow the type word
  EXPECT_EQ(unsignedOf("unsigned abar", value), kUnsignedNothingAfterName);
  EXPECT_EQ(unsignedOf("unsigned abar = zz", value), kUnsignedNoDigit);
  EXPECT_EQ(unsignedOf("", value), kUnsignedTypeWordMissing);
  EXPECT_EQ(value, 7u);
}

TEST(UnsignedAnswer, LetterValueCountsOnlyAtTheStartOfAWord) {
  std::uint32_t value = 0;
  // A value written without a leading digit is read whole.
  EXPECT_EQ(unsignedOf("unsigned abar = FF", value), 0);
  EXPECT_EQ(value, 0xFFu);
  // Capitals inside a word before the value are not the value.
  EXPECT_EQ(unsignedOf("unsigned abar VALUE 2A", value), 0);
  EXPECT_EQ(value, 0x2Au);
}

TEST(IntAnswer, ReadsTheTokenAfterTheName) {
  std::int32_t value = 0;
  EXPECT_EQ(parseIntAnswer("cv 1 accept\r\nint accept   -95 percent", "int", "accept", 10, value), 0);
  EXPECT_EQ(value, -95);
  EXPECT_EQ(parseIntAnswer("short rep_rate 40\r", "short", "rep_rate", 10, value), 0);
  EXPECT_EQ(value, 40);
}

TEST(IntAnswer, FaultCodes) {
  std::int32_t value = 3;
  EXPECT_EQ(parseIntAnswer("short accept 5", "int", "accept", 10, value), kIntTypeWordMissing);
  EXPECT_EQ(parseIntAnswer("int other 5", "int", "accept", 10, value), kIntNameMissing);
  EXPECT_EQ(parseIntAnswer("int accept", "int", "accept", 10, value), kIntNothingAfterName);
  EXPECT_EQ(parseIntAnswer("int accept   ", "int", "accept", 10, value), kIntBadTokenLength);
  EXPECT_EQ(parseIntAnswer("int accept " + std::string(32, '1'), "int", "accept", 10, value),
            kIntBadTokenLength);
  EXPECT_EQ(parseIntAnswer("int accept -0", "int", "accept", 10, value), kIntInvalid);
  EXPECT_EQ(parseIntAnswer("int accept = 5", "int", "accept", 10, value), kIntInvalid);
  EXPECT_EQ(parseIntAnswer("int accept 5x", "int", "accept", 10, value), kIntInvalid);
  EXPECT_EQ(value, 3);
}

TEST(TypeWord, CountsOnlyAsAWholeWordSoNamesHoldingItReadAlike) {
  EXPECT_EQ(findWholeWord("cv 0 bigint\r\n int bigint 5", "int"), 14u);
  EXPECT_EQ(findWholeWord("int_max bigint", "int"), std::string_view::npos);
  EXPECT_EQ(findWholeWord("x int", "int"), 2u);
  EXPECT_EQ(findWholeWord("x int", "int", 0, false), std::string_view::npos);  // more may follow

  const struct {
    std::string answer;
    const char* type;
    const char* name;
    int code;
    std::int64_t value;
  } cases[] = {
      {"cv 0 bigint\r\n int bigint 2147483648", "int", "bigint", kIntInvalid, 0},
      {"cv 0 bigint\r\n int bigint 2147483647", "int", "bigint", 0, 2147483647},
      {"cv 0 setpoint\r\nint setpoint 250", "int", "setpoint", 0, 250},
      {"cv 0 setpoint", "int", "setpoint", kIntTypeWordMissing, 0},
      {"int setpoint", "int", "setpoint", kIntNothingAfterName, 0},
      {"cv 0 shortcut\r\nshort shortcut -12", "short", "shortcut", 0, -12},
      {"cv 0 unsignedmask\r\nunsigned unsignedmask 1F", "unsigned", "unsignedmask", 0, 0x1F},
      {"cv 0 unsignedmask", "unsigned", "unsignedmask", kUnsignedTypeWordMissing, 0},
  };
  for (const auto& c : cases) {
    std::int64_t value = 0;
    int code = 0;
    if (std::string_view(c.type) == "unsigned") {
      std::uint32_t u = 0;
      code = parseUnsignedAnswer(c.answer, c.type, c.name, u);
      value = u;
    } else {
      std::int32_t i = 0;
      code = parseIntAnswer(c.answer, c.type, c.name, 10, i);
      value = i;
    }
    EXPECT_EQ(code, c.code) << c.answer;
    if (c.code == 0) {
      EXPECT_EQ(value, c.value) << c.answer;
    }
  }
  double d = 0;
  EXPECT_EQ(parseDoubleAnswer("cv 0 doublepulse\r\ndouble doublepulse 0.125", "doublepulse", d), 0);
  EXPECT_EQ(d, 0.125);
  EXPECT_EQ(parseDoubleAnswer("cv 0 doublepulse", "doublepulse", d), kDoubleTypeWordMissing);
}

TEST(DoubleAnswer, ReadsWithTheStrictDecimalRule) {
  double value = 0;
  EXPECT_EQ(parseDoubleAnswer("double delta_t 1.5e3", "delta_t", value), 0);
  EXPECT_EQ(value, 1500.0);
  EXPECT_EQ(parseDoubleAnswer("double delta_t 1.5E3", "delta_t", value), kDoubleInvalid);
  EXPECT_EQ(parseDoubleAnswer("int delta_t 1", "delta_t", value), kDoubleTypeWordMissing);
  EXPECT_EQ(parseDoubleAnswer("double other 1", "delta_t", value), kDoubleNameMissing);
  EXPECT_EQ(parseDoubleAnswer("double delta_t", "delta_t", value), kDoubleNothingAfterName);
  EXPECT_EQ(parseDoubleAnswer("double delta_t " + std::string(32, '1'), "delta_t", value),
            kDoubleBadTokenLength);
  EXPECT_EQ(parseDoubleAnswer("double delta_t " + std::string(31, '0') , "delta_t", value), 0);
  EXPECT_EQ(value, 0.0);
}

TEST(TextAnswer, TakesTheValueBetweenBars) {
  std::string value;
  EXPECT_EQ(parseTextAnswer("char flegend |  Gal/min|", false, value), 0);
  EXPECT_EQ(value, "Gal/min");
  EXPECT_EQ(parseTextAnswer("char tlegend |kbbl~rest", true, value), 0);
  EXPECT_EQ(value, "KBBL");
  EXPECT_EQ(parseTextAnswer("char x |" + std::string(15, 'a') + "|", false, value), 0);
  EXPECT_EQ(value, std::string(15, 'a'));
}

TEST(TextAnswer, FaultCodes) {
  std::string value = "kept";
  EXPECT_EQ(parseTextAnswer("char flegend Gal", false, value), kTextNoBar);
  EXPECT_EQ(parseTextAnswer("char flegend |a", false, value), kTextTooShort);
  EXPECT_EQ(parseTextAnswer("char flegend |   |", false, value), kTextBadLength);
  EXPECT_EQ(parseTextAnswer("char flegend ||x", false, value), kTextBadLength);
  EXPECT_EQ(parseTextAnswer("char x |" + std::string(16, 'a') + "|", false, value), kTextBadLength);
  EXPECT_EQ(value, "kept");
}

TEST(MeterIdAnswer, EightCharactersAfterTheBarWithADisplayForm) {
  std::string raw;
  std::string display;
  EXPECT_EQ(parseMeterIdAnswer("char id |SITE 12 |", raw, display), 0);
  EXPECT_EQ(raw, "SITE 12 ");
  EXPECT_EQ(display, "SITE_12_");
  EXPECT_EQ(parseMeterIdAnswer("char id SITE", raw, display), kIdNoBar);
  EXPECT_EQ(parseMeterIdAnswer("char id |1234567", raw, display), kIdTooShort);  // bar + 7
  EXPECT_EQ(parseMeterIdAnswer("char id |12345678", raw, display), 0);
  EXPECT_EQ(raw, "12345678");
}

TEST(ReadingRange, BoundsAreInclusiveAndOutsideIsReported) {
  std::vector<std::string> errors;
  OperationContext ctx;
  ctx.errorSink = [&](const std::string& text) { errors.push_back(text); };
  EXPECT_EQ(checkReadingRange(1, kMakeStateRange, ctx), 0);
  EXPECT_EQ(checkReadingRange(21, kMakeStateRange, ctx), 0);
  EXPECT_EQ(checkReadingRange(-32768, kRepRateRange, ctx), 0);
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(checkReadingRange(22, kMakeStateRange, ctx), kValueOutOfRange);
  EXPECT_EQ(checkReadingRange(6, kFxRange, ctx), kValueOutOfRange);
  EXPECT_EQ(checkReadingRange(32768, kRepRateRange, ctx), kValueOutOfRange);
  ASSERT_EQ(errors.size(), 3u);
  EXPECT_EQ(errors[0], "Donnees compt. non valables - Code d'erreur: 21021");
  ctx.quiet = true;
  EXPECT_EQ(checkReadingRange(511, kFxRange, ctx), kValueOutOfRange);
  EXPECT_EQ(errors.size(), 3u);
}

TEST(AnswerParsers, GarbledAnswersGiveAFaultOrAValueNeverMore) {
  // Answers built from the pieces the parsers look for, shuffled at random.
  const std::vector<std::string> pieces = {"unsigned", "int",  "double", "char", "abar", "id", " ", "  ",
                                           "|",        "~",    "-",      ".",    "e",    "E",  "0", "7",
                                           "F",        "f",    "\r",     "\n",   "x",    "12345678"};
  std::mt19937 random(12345);
  for (int round = 0; round < 20000; ++round) {
    std::string answer;
    const int count = static_cast<int>(random() % 12);
    for (int i = 0; i < count; ++i) answer += pieces[random() % pieces.size()];
    std::uint32_t u = 0;
    const int ur = parseUnsignedAnswer(answer, "unsigned", "abar", u);
    EXPECT_TRUE(ur == 0 || (ur >= kUnsignedTypeWordMissing && ur <= kUnsignedNoDigit)) << answer;
    std::int32_t i32 = 0;
    const int ir = parseIntAnswer(answer, "int", "abar", 10, i32);
    EXPECT_TRUE(ir == 0 || (ir >= kIntTypeWordMissing && ir <= kIntInvalid)) << answer;
    double d = 0;
    const int dr = parseDoubleAnswer(answer, "abar", d);
    EXPECT_TRUE(dr == 0 || (dr >= kDoubleTypeWordMissing && dr <= kDoubleInvalid)) << answer;
    std::string text;
    const int tr = parseTextAnswer(answer, false, text);
    EXPECT_TRUE(tr == 0 ? !text.empty() && text.size() <= kMaxTextValue : tr >= kTextNoBar && tr <= kTextBadLength)
        << answer;
    std::string raw;
    std::string display;
    const int idr = parseMeterIdAnswer(answer, raw, display);
    EXPECT_TRUE(idr == 0 ? raw.size() == kMeterIdLength : idr == kIdNoBar || idr == kIdTooShort) << answer;
  }
}

}  // namespace
}  // namespace tarnlux
