#include "number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

using namespace tarnlux::meter;

namespace {

TEST(NumberText, DecimalsAlwaysPassTheStrictReaderAndKeepTheirValue) {
  const double values[] = {0.0,        -0.0,     1.0,         -1.0,           20.0,
                           0.75,       2.45e-6,  8.53e-8,     1.234567891e-7, 123456789.123,
                           98765432.1, -4862.25, 1e12,        3e-12,          0.1 + 0.2,
                           1.0 / 3.0,  65535.0,  4294967295.0};
  for (double v : values) {
    const std::string text = formatDecimal(v);
    EXPECT_TRUE(isStrictDecimal(text)) << v << " -> " << text;
    EXPECT_EQ(text.find('+'), std::string::npos) << text;
    EXPECT_EQ(text.find('E'), std::string::npos) << text;
    EXPECT_NE(text, "-0");
    EXPECT_NEAR(std::strtod(text.c_str(), nullptr), v, std::fabs(v) * 1e-7) << text;
  }
  EXPECT_EQ(formatDecimal(2.45e-6), "2.45e-6");
  EXPECT_EQ(formatDecimal(1e12), "1e12");
  EXPECT_EQ(formatDecimal(1e-20), "0") << "beyond the exponent range";
}

TEST(NumberText, StrictReaderRule) {
  for (const char* ok :
       {"0", "-1.5", "1.5e3", "1e-15", " 12.0 ", "000123.4500", "123456789012345"}) {
    EXPECT_TRUE(isStrictDecimal(ok)) << ok;
  }
  for (const char* bad : {"", "-", "1.5E3", "+1", "1.e3", "1e+3", "1e16", "1.2.3", "1x",
                          "1234567890123456", "1e-", "0.1234567890123e-3", "12345678901e5"}) {
    EXPECT_FALSE(isStrictDecimal(bad)) << bad;
  }
}

TEST(NumberText, SixDigitRoundingTakesEdgesToTheLargerMagnitude) {
  EXPECT_EQ(roundSignificant(1450.375, 6), 1450.38);
  EXPECT_EQ(roundSignificant(-1450.375, 6), -1450.38);
  EXPECT_EQ(roundSignificant(0.6543214, 6), 0.654321);
  EXPECT_EQ(roundSignificant(290.0, 6), 290.0);
}

TEST(NumberText, HexWordsStartWithADigitWhenTheyCan) {
  EXPECT_EQ(formatHex(0x3FF), "3FF");
  EXPECT_EQ(formatHex(0xA5), "0A5");
  EXPECT_EQ(formatHex(0), "0");
  EXPECT_EQ(formatHex(0xFFFFFFFF), "FFFFFFFF") << "no room for a leading zero";
  EXPECT_EQ(parseHexWord("0x1f"), 31.0);
  EXPECT_FALSE(parseHexWord("123456789"));
  EXPECT_FALSE(parseHexWord("g"));
}

TEST(NumberText, ParsersRefuseWhatAMeterWouldNotTake) {
  EXPECT_EQ(parseInteger("-32768", -32768, 32767), -32768.0);
  EXPECT_FALSE(parseInteger("32768", -32768, 32767));
  EXPECT_FALSE(parseInteger("-", -10, 10));
  EXPECT_FALSE(parseInteger("1.0", -10, 10));
  EXPECT_EQ(parseReal("-1.5e-3"), -0.0015);
  EXPECT_FALSE(parseReal("inf"));
  EXPECT_FALSE(parseReal("nan"));
  EXPECT_FALSE(parseReal("0x10"));
  EXPECT_FALSE(parseReal("1,5"));
}

}  // namespace
