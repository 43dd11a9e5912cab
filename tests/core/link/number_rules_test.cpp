#include "link/number_rules.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace tarnlux {
namespace {

std::int32_t integerOf(const std::string& token, int base = 10) {
  std::int32_t value = 12345;
  EXPECT_TRUE(parseMeterInteger(token, base, value)) << token;
  return value;
}

bool integerRefused(const std::string& token, int base = 10) {
  std::int32_t value = 777;
  const bool ok = parseMeterInteger(token, base, value);
  EXPECT_EQ(value, 777) << "a refused token must leave the value alone: " << token;
  return !ok;
}

double decimalOf(const std::string& token) {
  double value = -1.0;
  EXPECT_TRUE(parseMeterDecimal(token, value)) << token;
  return value;
}

bool decimalRefused(const std::string& token) {
  double value = 42.0;
  const bool ok = parseMeterDecimal(token, value);
  EXPECT_EQ(value, 42.0) << token;
  return !ok;
}

TEST(MeterInteger, ReadsSignedValuesToTheLimitsOf32Bits) {
  EXPECT_EQ(integerOf("0"), 0);
  EXPECT_EQ(integerOf("007"), 7);
  EXPECT_EQ(integerOf("-95"), -95);
  EXPECT_EQ(integerOf("2147483647"), 2147483647);
  EXPECT_EQ(integerOf("-2147483648"), INT32_MIN);
  EXPECT_TRUE(integerRefused("2147483648"));
  EXPECT_TRUE(integerRefused("-2147483649"));
  EXPECT_TRUE(integerRefused("99999999999999999999"));
}

TEST(MeterInteger, RefusesNegativeZeroSignsAndStrayCharacters) {
  EXPECT_TRUE(integerRefused("-0"));
  EXPECT_TRUE(integerRefused("-000"));
  EXPECT_TRUE(integerRefused("-"));
  EXPECT_TRUE(integerRefused(""));
  EXPECT_TRUE(integerRefused("+5"));
  EXPECT_TRUE(integerRefused("12a"));
  EXPECT_TRUE(integerRefused("1.0"));
  EXPECT_TRUE(integerRefused("--1"));
  EXPECT_TRUE(integerRefused(" 1"));
}

TEST(MeterInteger, LettersAreDigitsOnlyBelowTheBase) {
  EXPECT_EQ(integerOf("ff", 16), 255);
  EXPECT_EQ(integerOf("Ff", 16), 255);
  EXPECT_EQ(integerOf("zz", 36), 35 * 36 + 35);
  EXPECT_EQ(integerOf("-101", 2), -5);
  EXPECT_TRUE(integerRefused("g", 16));
  EXPECT_TRUE(integerRefused("2", 2));
  EXPECT_TRUE(integerRefused("1", 1));
  EXPECT_TRUE(integerRefused("1", 37));
}

TEST(MeterDecimal, ReadsPlainAndExponentForms) {
  EXPECT_EQ(decimalOf("1500"), 1500.0);
  EXPECT_EQ(decimalOf("1.5e3"), 1500.0);
  EXPECT_EQ(decimalOf("-0.25"), -0.25);
  EXPECT_EQ(decimalOf(".5"), 0.5);
  EXPECT_EQ(decimalOf("5."), 5.0);
  EXPECT_EQ(decimalOf("2.5e-3"), 0.0025);
  EXPECT_EQ(decimalOf("1e14"), 1e14);
  EXPECT_EQ(decimalOf("0.5e15"), 0.5e15);  // no integer digit beside the exponent
  EXPECT_EQ(decimalOf("1e-15"), 1e-15);
  EXPECT_EQ(decimalOf("  12.75  "), 12.75);
  EXPECT_EQ(decimalOf("-0"), 0.0);
}

TEST(MeterDecimal, RefusesEverythingOutsideTheStrictForm) {
  EXPECT_TRUE(decimalRefused("1.5E3"));
  EXPECT_TRUE(decimalRefused("+1.5"));
  EXPECT_TRUE(decimalRefused("1.5e+3"));
  EXPECT_TRUE(decimalRefused("1.2.3"));
  EXPECT_TRUE(decimalRefused("1.e3"));  // exponent right after the point
  EXPECT_TRUE(decimalRefused("1e.3"));
  EXPECT_TRUE(decimalRefused("1e"));
  EXPECT_TRUE(decimalRefused("e3"));
  EXPECT_TRUE(decimalRefused("-"));
  EXPECT_TRUE(decimalRefused("."));
  EXPECT_TRUE(decimalRefused(""));
  EXPECT_TRUE(decimalRefused("   "));
  EXPECT_TRUE(decimalRefused("1 2"));
  EXPECT_TRUE(decimalRefused("nan"));
  EXPECT_TRUE(decimalRefused("inf"));
  EXPECT_TRUE(decimalRefused("0x10"));
  EXPECT_TRUE(decimalRefused("1e15"));  // one integer digit + 15
  EXPECT_TRUE(decimalRefused("0.1e16"));
  EXPECT_TRUE(decimalRefused("1e-16"));
  EXPECT_TRUE(decimalRefused("1e999999999999"));
}

TEST(MeterDecimal, CountsSignificantDigitsWithoutPaddingZeros) {
  EXPECT_EQ(decimalOf("123456789012345"), 123456789012345.0);
  EXPECT_TRUE(decimalRefused("1234567890123456"));
  EXPECT_EQ(decimalOf("000000123456789012345"), 123456789012345.0);  // leading zeros are free
  EXPECT_EQ(decimalOf("1.50000000000000000000"), 1.5);                // so are trailing ones
  EXPECT_EQ(decimalOf("0.000000000000001"), 1e-15);
  EXPECT_TRUE(decimalRefused("0.0000000000000001"));  // 16 fraction digits
  EXPECT_TRUE(decimalRefused("1.234567890123456"));
}

TEST(MeterDecimal, ExponentCountsAgainstTheDigitsOnItsSide) {
  EXPECT_EQ(decimalOf("12345e10"), 12345e10);
  EXPECT_TRUE(decimalRefused("123456e10"));  // 6 integer digits + 10
  EXPECT_EQ(decimalOf("0.12345e-10"), 0.12345e-10);
  EXPECT_TRUE(decimalRefused("0.123456e-10"));  // 6 fraction digits + 10
  EXPECT_EQ(decimalOf("12345.5e-2"), 123.455);
}

}  // namespace
}  // namespace tarnlux
