#include "link/meter_block.h"

#include <gtest/gtest.h>

#include <string>

using namespace tarnlux;

namespace {

const std::string kTransitDefaults =
    "30,20,20,10,0.75,0.9,50,30,90,50,30,40,30,20,0.02,0.05,2,4,0.25,0.5,";

// The meter's listing of a reserved variable: the value between bars, filled
// with "~" up to the capacity.
std::string listing(const std::string& value, std::size_t capacity,
                    const std::string& name = "qmmem") {
  std::string filled = value;
  if (filled.size() < capacity) filled.append(capacity - filled.size(), '~');
  return "cv 0 " + name + "\r\nchar " + name + "[" + std::to_string(capacity) + "] = |" + filled +
         "|";
}

MeterBlockFields fieldsWithLocation(const std::string& location) {
  MeterBlockFields f;
  f.info.location = location;
  return f;
}

}  // namespace

TEST(MeterBlockEncode, TransitTimeLayoutByteForByte) {
  std::string text;
  ASSERT_EQ(encodeMeterBlock(fieldsWithLocation("SITE_A"), MeterBlockLayout::TransitTime, false,
                             '0', text),
            0);
  EXPECT_EQ(text, kTransitDefaults + "SITE_A,,,,,,,\r");

  ASSERT_EQ(encodeMeterBlock(fieldsWithLocation("SITE_A"), MeterBlockLayout::TransitTime, true,
                             '0', text),
            0);
  EXPECT_EQ(text, "0," + kTransitDefaults + "SITE_A,,,,,,,,64,0\x04\r");
}

TEST(MeterBlockEncode, EchofluxLayoutWithAllTextsByteForByte) {
  MeterBlockFields f;
  f.info = {"TANK_7", "SP-100", "SS42", "01-02-2023", "FM-9", "FS77", "03-04-2024", "10:20:30"};
  std::string text;
  ASSERT_EQ(encodeMeterBlock(f, MeterBlockLayout::Echoflux, true, 'A', text), 0);
  EXPECT_EQ(text,
            "A,250,100,125,1,1400,2000,4000,6000,30,25,50,60,10,10,25,30,15,10,35,50,64,16,1,0.001,"
            "TANK_7,SP-100,SS42,01-02-2023,FM-9,FS77,03-04-2024,10:20:30,DE,A\x04\r");
}

TEST(MeterBlockEncode, DecimalsAreTrimmed) {
  EXPECT_EQ(formatBlockDecimal(20.0), "20");
  EXPECT_EQ(formatBlockDecimal(0.75), "0.75");
  EXPECT_EQ(formatBlockDecimal(4.0), "4");
  EXPECT_EQ(formatBlockDecimal(0.001), "0.001");
  EXPECT_EQ(formatBlockDecimal(1234.5), "1234.5");
  // A zero limit is a valid entry; it must not become an empty field.
  EXPECT_EQ(formatBlockDecimal(0.0), "0");
  EXPECT_EQ(formatBlockDecimal(-0.0), "0");
  EXPECT_EQ(formatBlockDecimal(0.0000001), "0");
}

TEST(MeterBlockEncode, RefusesFieldsThatWouldNotReadBack) {
  std::string text = "unchanged";
  // A comma would shift every following field; a bar or "~" would end the value.
  for (const char* bad : {"A,B", "A|B", "A~B", "A\rB"}) {
    MeterBlockFields f;
    f.info.spoolPartNumber = bad;
    EXPECT_EQ(encodeMeterBlock(f, MeterBlockLayout::TransitTime, false, '0', text),
              kBlockUnwritableField)
        << bad;
  }
  MeterBlockFields negative;
  negative.limits.transitTime.alc.warning = -1;
  EXPECT_EQ(encodeMeterBlock(negative, MeterBlockLayout::TransitTime, false, '0', text),
            kBlockUnwritableField);
  MeterBlockFields tooLong;
  tooLong.info.spoolSerialNumber = std::string(17, 'S');
  EXPECT_EQ(encodeMeterBlock(tooLong, MeterBlockLayout::TransitTime, false, '0', text), 21031);
  EXPECT_EQ(text, "unchanged");
  // A 16-character location read from the meter can be written back unchanged.
  EXPECT_EQ(encodeMeterBlock(fieldsWithLocation(std::string(16, 'L')),
                             MeterBlockLayout::TransitTime, false, '0', text),
            0);
}

TEST(MeterBlockSequence, RunsThroughDigitsAndLettersAndWraps) {
  EXPECT_EQ(nextSequenceCharacter('0'), '1');
  EXPECT_EQ(nextSequenceCharacter('9'), 'A');
  EXPECT_EQ(nextSequenceCharacter('Z'), 'a');
  EXPECT_EQ(nextSequenceCharacter('y'), 'z');
  EXPECT_EQ(nextSequenceCharacter('z'), '0');
  EXPECT_EQ(nextSequenceCharacter('#'), '0');
  // Starts with the first character; each later one shifts (top bit dropped)
  // and exclusive-ors.
  EXPECT_EQ(blockCheckValue("A"), 0x41);
  EXPECT_EQ(blockCheckValue("AB"), ((0x41 << 1) & 0xFF) ^ 0x42);
  EXPECT_EQ(blockCheckValue("\xFF" "a"), ((0xFF << 1) & 0xFF) ^ 0x61);
}

TEST(MeterBlockRead, DecodesBothLayoutsAndKeepsTheCapacity) {
  MeterBlockState state;
  const std::string value = "7," + kTransitDefaults + "SITE_A,SP,SS,DOM,FP,FS,01-02-24,10:11:12";
  const std::string answer = listing(value + ",E0,7", 300);
  ASSERT_EQ(readMeterBlockAnswer(answer, MeterBlockLayout::TransitTime, true, false, state), 0);
  EXPECT_EQ(state.capacity, 300u);
  EXPECT_EQ(state.generation, '7');
  EXPECT_EQ(state.block.limits, PassFailLimits());
  EXPECT_EQ(state.block.info.location, "SITE_A");
  EXPECT_EQ(state.block.info.lastReportTime, "10:11:12");
  EXPECT_EQ(state.lastReadText, value + ",E0,7");

  MeterBlockState echo;
  const std::string echoValue = "1,2,3,4,5,6,7,8,9.5,10,11,12,13,14,15,16,17,18,19,20,21,22,0.5, 0.001,TAG";
  ASSERT_EQ(readMeterBlockAnswer(listing(echoValue, 200), MeterBlockLayout::Echoflux, false,
                                 false, echo),
            0);
  EXPECT_EQ(echo.generation, 'z');
  EXPECT_EQ(echo.block.limits.echoflux.signalStrength, (IntLimitPair{1, 2}));
  EXPECT_EQ(echo.block.limits.echoflux.liquidLow, (RealLimitPair{9.5, 10}));
  EXPECT_EQ(echo.block.limits.echoflux.fftPeak, (IntLimitPair{21, 22}));
  // Blanks before a field are skipped.
  EXPECT_EQ(echo.block.limits.echoflux.flowVelocity, (RealLimitPair{0.5, 0.001}));
  EXPECT_EQ(echo.block.info.location, "TAG");
  // The transit-time limits are not part of this layout.
  EXPECT_EQ(echo.block.limits.transitTime, TransitTimeLimits());
}

TEST(MeterBlockRead, FieldsMissingAtTheEndKeepTheirValues) {
  MeterBlockState state;
  state.block.info.spoolPartNumber = "KEEP";
  state.block.limits.transitTime.soundSpeedDiff = {9, 9};
  ASSERT_EQ(readMeterBlockAnswer(listing("31,21", 100), MeterBlockLayout::TransitTime, true, false,
                                 state),
            0);
  EXPECT_EQ(state.block.limits.transitTime.alc, (IntLimitPair{31, 21}));
  EXPECT_EQ(state.block.limits.transitTime.soundSpeedDiff, (RealLimitPair{9, 9}));
  EXPECT_EQ(state.block.info.spoolPartNumber, "KEEP");
  // No head: the next write starts the sequence again.
  EXPECT_EQ(state.generation, 'z');
}

TEST(MeterBlockRead, FrameFaults) {
  const std::string good = kTransitDefaults + "X,,,,,,,";
  struct Case {
    std::string answer;
    int code;
  } cases[] = {
      {"qmmem[10] |0123456789|", kBlockNoTypeWord},
      {"char qmcmd[10] |0123456789|", kBlockNoName},
      {"char qmmem[10 |0123456789|", kBlockNoBracket},
      {"char qmmem[] |0123456789|", kBlockSizeDigits},
      {"char qmmem[12345678901] |0123456789|", kBlockSizeDigits},
      {"char qmmem[1x] |0123456789|", kBlockSizeNotNumber},
      {"char qmmem[10] 0123456789", kBlockNoBar},
      {"char qmmem[10] |0123456789", kBlockNoClosingBar},
      {"char qmmem[10] |0123456789| ", kBlockNoClosingBar},
      {"char qmmem[11] |0123456789|", kBlockWrongLength},
      {"char qmmem[9] |0123456789|", kBlockWrongLength},
  };
  for (const auto& c : cases) {
    MeterBlockState state;
    EXPECT_EQ(readMeterBlockAnswer(c.answer, MeterBlockLayout::TransitTime, false, false, state),
              c.code)
        << c.answer;
  }
  // One character shorter than the declared size.
  std::string shortAnswer = listing(good, 200);
  shortAnswer.erase(shortAnswer.size() - 2, 1);
  MeterBlockState state;
  EXPECT_EQ(readMeterBlockAnswer(shortAnswer, MeterBlockLayout::TransitTime, false, false, state),
            kBlockWrongLength);
  EXPECT_EQ(state.capacity, 200u);
}

TEST(MeterBlockRead, FieldFaultsLeaveTheBlockUnchanged) {
  const std::string tail = ",,,,,,,";
  struct Case {
    std::string value;
    int code;
  } cases[] = {
      {"3a,20", kBlockBadInteger},
      {"-30,20", kBlockBadInteger},
      {"99999999999,20", kBlockBadInteger},
      {"30,20,2.0.0", kBlockBadDecimal},
      {"30,20,1e3", kBlockBadDecimal},
      {"30,20,-1", kBlockBadDecimal},
      {kTransitDefaults + std::string(17, 'L'), 21029},
      {kTransitDefaults + "L," + std::string(32, 'P'), 21030},
      {kTransitDefaults + "L,P," + std::string(17, 'S'), 21031},
      {kTransitDefaults + "L,P,S," + std::string(17, 'D'), 21032},
      {kTransitDefaults + "L,P,S,D," + std::string(32, 'F'), 21033},
      {kTransitDefaults + "L,P,S,D,F," + std::string(17, 'N'), 21034},
      {kTransitDefaults + "L,P,S,D,F,N," + std::string(17, 'R'), 21035},
      {kTransitDefaults + "L,P,S,D,F,N,R," + std::string(17, 'T'), 21036},
  };
  for (const auto& c : cases) {
    MeterBlockState state;
    state.block.info.location = "BEFORE";
    state.generation = '5';
    EXPECT_EQ(readMeterBlockAnswer(listing(c.value, 400), MeterBlockLayout::TransitTime, false,
                                   false, state),
              c.code)
        << c.value;
    EXPECT_EQ(state.block.info.location, "BEFORE");
    EXPECT_EQ(state.block.limits, PassFailLimits());
    EXPECT_EQ(state.generation, '5');
  }
  // The longest texts reading accepts.
  MeterBlockState state;
  const std::string longest = kTransitDefaults + std::string(16, 'L') + "," + std::string(31, 'P');
  EXPECT_EQ(readMeterBlockAnswer(listing(longest, 400), MeterBlockLayout::TransitTime, false,
                                 false, state),
            0);
  EXPECT_EQ(state.block.info.location, std::string(16, 'L'));
}

TEST(MeterBlockRead, HeadAndTailNeedAlarmStorageAndAValidCheckValue) {
  const std::string body = kTransitDefaults + "LOC,,,,,,,";
  // Without alarm-storage support the generation is read as the first number.
  MeterBlockState state;
  EXPECT_EQ(readMeterBlockAnswer(listing("A," + body + ",64,A", 300),
                                 MeterBlockLayout::TransitTime, false, false, state),
            kBlockBadInteger);
  // A damaged tail is refused rather than taken for limits.
  EXPECT_EQ(readMeterBlockAnswer(listing("A," + body + ",65,A", 300),
                                 MeterBlockLayout::TransitTime, true, false, state),
            kBlockBadCheckValue);
  EXPECT_EQ(readMeterBlockAnswer(listing("A," + body + ",6G,A", 300),
                                 MeterBlockLayout::TransitTime, true, false, state),
            kBlockBadCheckValue);
  // The verify-only read stops after the frame.
  state.capacity = 0;
  EXPECT_EQ(readMeterBlockAnswer(listing("garbage", 300), MeterBlockLayout::TransitTime, true,
                                 true, state),
            0);
  EXPECT_EQ(state.capacity, 300u);
  EXPECT_EQ(state.block, MeterBlockFields());
}

TEST(MeterBlockWrite, GenerationFollowsTheBlockLastRead) {
  const std::string body = kTransitDefaults + "LOC,,,,,,,";
  struct Case {
    char read;
    char written;
  } cases[] = {{'9', 'A'}, {'z', '0'}, {'Z', 'a'}};
  for (const auto& c : cases) {
    MeterBlockState state;
    const std::string value = std::string(1, c.read) + "," + body + ",64," + c.read;
    ASSERT_EQ(readMeterBlockAnswer(listing(value, 300), MeterBlockLayout::TransitTime, true, false,
                                   state),
              0);
    MeterBlockFields working = state.block;
    std::string command;
    ASSERT_EQ(prepareMeterBlockWrite(2, working, MeterBlockLayout::TransitTime, true, state,
                                     command),
              0);
    EXPECT_EQ(command, std::string("cv 2 qmmem[0] ") + c.written + "," + body + ",64," +
                           c.written + "\x04\r");
    EXPECT_EQ(state.generation, c.written);
  }
  // Before any block was read the first write uses "0".
  MeterBlockState fresh;
  fresh.capacity = 300;
  std::string command;
  ASSERT_EQ(prepareMeterBlockWrite(0, fieldsWithLocation("LOC"), MeterBlockLayout::TransitTime,
                                   true, fresh, command),
            0);
  EXPECT_EQ(command.substr(0, 16), "cv 0 qmmem[0] 0,");
}

TEST(MeterBlockWrite, CapacityReadBackAndCommit) {
  MeterBlockState state;
  const std::string text = kTransitDefaults + "SITE_A,,,,,,,\r";
  state.capacity = text.size() - 1;  // the "\r" counts
  std::string command = "none";
  EXPECT_EQ(prepareMeterBlockWrite(0, fieldsWithLocation("SITE_A"), MeterBlockLayout::TransitTime,
                                   false, state, command),
            kBlockTooLong);
  EXPECT_EQ(command, "none");
  EXPECT_TRUE(state.lastEncoded.empty());

  state.capacity = text.size();
  ASSERT_EQ(prepareMeterBlockWrite(0, fieldsWithLocation("SITE_A"), MeterBlockLayout::TransitTime,
                                   false, state, command),
            0);
  EXPECT_EQ(command, "cv 0 qmmem[0] " + text);
  EXPECT_EQ(state.lastEncoded, text);
  EXPECT_EQ(state.block, MeterBlockFields{}) << "unconfirmed: the block fields are not the write's";
  EXPECT_FALSE(state.fromMeter);

  const std::string stored = text.substr(0, text.size() - 1);
  EXPECT_TRUE(meterBlockWriteConfirmed(listing(stored, 200), state.lastEncoded));
  EXPECT_FALSE(meterBlockWriteConfirmed(listing(stored.substr(1), 200), state.lastEncoded));

  commitMeterBlockWrite(state, fieldsWithLocation("SITE_A"));
  EXPECT_EQ(state.block.info.location, "SITE_A");
  EXPECT_TRUE(state.fromMeter);
  EXPECT_EQ(state.lastReadText, stored);

  // With a tail the meter keeps the text without its EOT.
  MeterBlockState tailed;
  tailed.capacity = 300;
  ASSERT_EQ(prepareMeterBlockWrite(0, fieldsWithLocation("SITE_A"), MeterBlockLayout::TransitTime,
                                   true, tailed, command),
            0);
  EXPECT_TRUE(meterBlockWriteConfirmed(
      listing("0," + kTransitDefaults + "SITE_A,,,,,,,,64,0", 300), tailed.lastEncoded));
}

TEST(MeterBlockWrite, DecimalsRoundTrip) {
  MeterBlockState state;
  state.capacity = 300;
  MeterBlockFields working;
  working.limits.echoflux.flowVelocity = {4.0, 0.001};
  std::string command;
  ASSERT_EQ(prepareMeterBlockWrite(0, working, MeterBlockLayout::Echoflux, false, state, command),
            0);
  const std::string text = command.substr(std::string("cv 0 qmmem[0] ").size());
  EXPECT_NE(text.find(",64,16,4,0.001,"), std::string::npos);
  MeterBlockState reread;
  ASSERT_EQ(readMeterBlockAnswer(listing(text.substr(0, text.size() - 1), 300),
                                 MeterBlockLayout::Echoflux, false, false, reread),
            0);
  EXPECT_EQ(reread.block, working);
}

TEST(CommandBlock, ReadFaultsAreNumberedFromTheCallersBase) {
  constexpr int base = 20300;
  struct Case {
    std::string answer;
    int code;
  } cases[] = {
      {"char qmmem[10] |5,20,,44,5|", base + kCommandBlockNoName},
      {"char qmcmd[10 |5,20,,44,5|", base + kCommandBlockNoBracket},
      {"char qmcmd[] |5,20,,44,5|", base + kCommandBlockSizeDigits},
      {"char qmcmd[x] |5,20,,44,5|", base + kCommandBlockSizeNotNumber},
      {"char qmcmd[10] 5,20,,44,5", base + kCommandBlockNoBar},
      {"char qmcmd[10] |5,20,,44,5|~", base + kCommandBlockNoClosingBar},
      {"char qmcmd[11] |5,20,,44,5|", base + kCommandBlockWrongLength},
      {listing("5,2,,44,5", 20, "qmcmd"), base + kCommandBlockTooShort},
      {listing("5,20,,44,6", 20, "qmcmd"), base + kCommandBlockBadFrame},
      {listing("520,,44,,5", 20, "qmcmd"), base + kCommandBlockBadFrame},
  };
  for (const auto& c : cases) {
    char sequence = 'q';
    EXPECT_EQ(readCommandBlockAnswer(c.answer, base, sequence), c.code) << c.answer;
    EXPECT_EQ(sequence, 'q');
  }
  char sequence = 'q';
  ASSERT_EQ(readCommandBlockAnswer(listing("5,20,,44,5", 20, "qmcmd"), base, sequence), 0);
  EXPECT_EQ(sequence, '5');
  ASSERT_EQ(readCommandBlockAnswer(listing("", 20, "qmcmd"), base, sequence), 0);
  EXPECT_EQ(sequence, 'z');
}

TEST(CommandBlock, WriteAdvancesTheSequenceAndAppendsTheCheckValue) {
  char sequence = '5';
  EXPECT_EQ(commandBlockWriteCommand(1, sequence, {"20", ""}), "cv 1 qmcmd[0] 6,20,,24,6\x04\r");
  EXPECT_EQ(sequence, '6');
  sequence = 'z';
  EXPECT_EQ(commandBlockWriteCommand(3, sequence, {"20", ""}), "cv 3 qmcmd[0] 0,20,,E4,0\x04\r");
}
