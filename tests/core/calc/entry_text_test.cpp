#include "calc/entry_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <optional>

using namespace tarnlux;

TEST(EntryText, TrimmingDropsBlanksAndZerosThatCarryNoDigit) {
  EXPECT_EQ(trimEntryText("  007.50  "), "7.5");
  EXPECT_EQ(trimEntryText("00.5"), "0.5");  // the zero before the point stays
  EXPECT_EQ(trimEntryText("-007"), "-7");
  EXPECT_EQ(trimEntryText("000"), "0");
  EXPECT_EQ(trimEntryText("1.500e3"), "1.5e3");
  EXPECT_EQ(trimEntryText("100"), "100");  // zeros of an integer stay
  EXPECT_EQ(trimEntryText("3.000"), "3.");
}

TEST(EntryText, ParsesTheNumberForms) {
  EXPECT_EQ(parseEntryText("12.5"), 12.5);
  EXPECT_EQ(parseEntryText(" -3 "), -3.0);
  EXPECT_EQ(parseEntryText(".5"), 0.5);
  EXPECT_EQ(parseEntryText("5."), 5.0);
  EXPECT_EQ(parseEntryText("1e15"), 1e15);
  EXPECT_EQ(parseEntryText("1.5e-15"), 1.5e-15);
  EXPECT_EQ(parseEntryText("2e+3"), 2000.0);
  EXPECT_EQ(parseEntryText("-0"), 0.0);
  EXPECT_FALSE(std::signbit(*parseEntryText("-0")));
}

TEST(EntryText, RefusesWhatIsNotANumber) {
  for (const char* text : {"", " ", "-", ".", "1.2.3", "1e", "1e16", "1e-16", "+5", "12a", "1 2",
                           "0x10", "e5", "--1", "1e1.5", "nan", "inf"}) {
    EXPECT_FALSE(parseEntryText(text).has_value()) << '"' << text << '"';
  }
}

TEST(EntryText, AtMostThirteenSignificantDigits) {
  EXPECT_TRUE(parseEntryText("1234567890123").has_value());
  EXPECT_FALSE(parseEntryText("12345678901234").has_value());
  // Leading zeros and trailing zeros of a fraction are not significant.
  EXPECT_TRUE(parseEntryText("000001234567890123").has_value());
  EXPECT_TRUE(parseEntryText("0.0000001234567890123").has_value());
  EXPECT_TRUE(parseEntryText("1.234567890123000000").has_value());
  EXPECT_FALSE(parseEntryText("1.234567890123400").has_value());
  // Zeros of an integer part may be significant and count.
  EXPECT_FALSE(parseEntryText("10000000000000").has_value());
  EXPECT_TRUE(parseEntryText("1e13").has_value());
}

TEST(EntryText, DisplayFormKeepsThirteenDigitsAndFourDecimals) {
  EXPECT_EQ(formatEntryValue(12.5), "12.5");
  EXPECT_EQ(formatEntryValue(3.0), "3.0");
  EXPECT_EQ(formatEntryValue(0.0), "0.0");
  EXPECT_EQ(formatEntryValue(-0.00001), "0.0");  // never "-0.0"
  EXPECT_EQ(formatEntryValue(0.12345678), "0.1235");
  EXPECT_EQ(formatEntryValue(-40.25), "-40.25");
  EXPECT_EQ(formatEntryValue(123456789.123456), "123456789.1235");
  EXPECT_EQ(formatEntryValue(1234567890123.4), "1234567890123");
  // Rounding carries into a tenth integer digit: one decimal fewer.
  EXPECT_EQ(formatEntryValue(999999999.99999), "1000000000.0");
  EXPECT_FALSE(formatEntryValue(12345678901234.0).has_value());
  EXPECT_FALSE(formatEntryValue(9999999999999.6).has_value());
  EXPECT_FALSE(formatEntryValue(std::numeric_limits<double>::quiet_NaN()).has_value());
}

TEST(EntryText, LeadingZeroGoesWhenAFractionNeedsAllThirteenDigits) {
  EXPECT_EQ(formatEntryValue(0.0001234567891, kEntryMaxDigits), ".0001234567891");
  EXPECT_EQ(formatEntryValue(-0.0001234567891, kEntryMaxDigits), "-.0001234567891");
  EXPECT_EQ(formatEntryValue(0.25, kEntryMaxDigits), "0.25");
  EXPECT_EQ(formatEntryValue(1234.5678901234, kEntryMaxDigits), "1234.567890123");
}

TEST(EntryText, ShownValuesReadBackAsTheSameText) {
  for (double value : {0.0131, 101.35, -459.67, 473.15, 99.9999, 1e12, 0.5}) {
    const std::optional<std::string> shown = formatEntryValue(value);
    ASSERT_TRUE(shown.has_value());
    const std::optional<double> read = parseEntryText(*shown);
    ASSERT_TRUE(read.has_value()) << *shown;
    EXPECT_EQ(formatEntryValue(*read), shown);
  }
}

TEST(EntryText, TheProcessLocaleDoesNotChangeTheDecimalPoint) {
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = previous != nullptr ? previous : "C";
  if (std::setlocale(LC_NUMERIC, "fr_FR.UTF-8") == nullptr &&
      std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) {
    GTEST_SKIP() << "no comma locale installed";
  }
  EXPECT_EQ(parseEntryText("12.5"), 12.5);
  EXPECT_EQ(formatEntryValue(12.5), "12.5");
  EXPECT_EQ(fixedNumberText(1.25, 2), "1.25");
  std::setlocale(LC_NUMERIC, saved.c_str());
}
