#include "link/packet.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

namespace tarnlux {
namespace {

// A packet line (without CR) written from the rules, for checking answers.
std::string answerLine(const std::string& tt, const std::string& ss, const std::string& payload,
                       int checkAdjust = 0) {
  char ll[3];
  std::snprintf(ll, sizeof ll, "%02X", static_cast<unsigned>(payload.size() + 4) & 0xFF);
  const std::string summed = tt + ss + payload;
  unsigned sum = 0;
  for (unsigned char c : summed) sum += c;
  char ck[3];
  std::snprintf(ck, sizeof ck, "%02X", (sum + static_cast<unsigned>(checkAdjust)) & 0xFF);
  return std::string(ll) + summed + ck;
}

TEST(BuildPacket, WritesHeaderCheckValueAndCarriageReturnAroundThePayload) {
  char buffer[64] = {};
  std::strcpy(buffer + 6, "SITE");
  const int length = buildPacket(buffer, sizeof buffer, 0, 0x1A, 3);
  // LL = 4 + 4; CK = sum of "1A03SITE" = 0x31+0x41+0x30+0x33+0x53+0x49+0x54+0x45 = 0x20A.
  EXPECT_EQ(std::string(buffer), "081A03SITE0A\r");
  EXPECT_EQ(length, 13);
  EXPECT_EQ(checkPacketLine(std::string(buffer, 12), -1), kPacketRefused);  // TT 1A is not "00"
}

TEST(BuildPacket, AGoodPacketPassesTheReceiveCheck) {
  char buffer[32] = {};
  std::memcpy(buffer + 6, "ACK", 3);
  const int length = buildPacket(buffer, sizeof buffer, 3, 0, 0x7F);
  ASSERT_EQ(length, 12);
  EXPECT_EQ(checkPacketLine(std::string(buffer, 11), 0x7F), 0);
}

TEST(BuildPacket, RefusesAPacketThatDoesNotFit) {
  char buffer[16];
  std::memset(buffer, 'x', sizeof buffer);  // no NUL: the payload runs to the end
  EXPECT_EQ(buildPacket(buffer, sizeof buffer, 0, 0, 0), -1);
  EXPECT_EQ(buildPacket(buffer, sizeof buffer, 7, 0, 0), -1);
  EXPECT_EQ(buildPacket(buffer, sizeof buffer, 6, 0, 0), 15);  // 6 + 6 + CK + CR, NUL in the last byte
  EXPECT_EQ(buffer[15], '\0');
  EXPECT_EQ(buildPacket(buffer, 9, 0, 0, 0), -1);
}

TEST(BuildPacket, LengthTypeAndSequenceKeepTheirLowEightBits) {
  char buffer[400] = {};
  std::memset(buffer + 6, 'a', 260);
  ASSERT_EQ(buildPacket(buffer, sizeof buffer, 260, 0x1FF, 0x100), 269);
  EXPECT_EQ(std::string(buffer, 6), "08FF00");
}

TEST(CheckPacketLine, EachFaultHasItsCode) {
  EXPECT_EQ(checkPacketLine(answerLine("00", "05", "OK"), 5), 0);
  EXPECT_EQ(checkPacketLine("0400050", 5), kPacketTooShort);
  EXPECT_EQ(checkPacketLine("G" + answerLine("00", "05", "OK").substr(1), 5), kPacketBadLengthField);
  EXPECT_EQ(checkPacketLine(answerLine("00", "05", "OK") + "X", 5), kPacketLengthMismatch);
  EXPECT_EQ(checkPacketLine(answerLine("01", "05", "OK"), 5), kPacketRefused);
  std::string badCheckField = answerLine("00", "05", "OK");
  badCheckField.back() = 'G';
  EXPECT_EQ(checkPacketLine(badCheckField, 5), kPacketBadCheckField);
  EXPECT_EQ(checkPacketLine(answerLine("00", "05", "OK", 1), 5), kPacketCheckMismatch);
  EXPECT_EQ(checkPacketLine(answerLine("00", "0Z", "OK"), 5), kPacketBadSequenceField);
  EXPECT_EQ(checkPacketLine(answerLine("00", "06", "OK"), 5), kPacketWrongSequence);
}

TEST(CheckPacketLine, RefusalWinsOverAGoodCheckValue) {
  const std::string refused = answerLine("01", "05", "NAK");
  EXPECT_EQ(checkPacketLine(refused, 5), kPacketRefused);
  EXPECT_EQ(checkPacketLine(refused, -1), kPacketRefused);
}

TEST(CheckPacketLine, SequenceIsOnlyTestedWhenExpected) {
  EXPECT_EQ(checkPacketLine(answerLine("00", "06", "OK"), -1), 0);
  EXPECT_EQ(checkPacketLine(answerLine("00", "ZZ", "OK"), -1), 0);
}

TEST(CheckPacketLine, HexDigitsOfEitherCaseAreRead) {
  const std::string line = answerLine("00", "1a", "payload");
  EXPECT_EQ(checkPacketLine(line, 0x1A), 0);
  // "payload" sums to a check value with a letter in it; write it in lower case.
  std::string lowerCheck = line;
  for (std::size_t i = lowerCheck.size() - 2; i < lowerCheck.size(); ++i)
    lowerCheck[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(lowerCheck[i])));
  ASSERT_NE(lowerCheck, line);
  EXPECT_EQ(checkPacketLine(lowerCheck, 0x1A), 0);
}

}  // namespace
}  // namespace tarnlux
