#include "link/site_answers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tarnlux;

namespace {

// A memory-block meter: kind 1, NullTrack on channels 0 and 1, transit time on
// channel 0, slot bits 2.
MeterFacts blockMeter() {
  MeterFacts facts;
  applyCapabilityWord(facts, 0x10312, true);
  return facts;
}

const std::string kIdentityLine =
    "SITE0001XYZ,7326G,3.02.00M,02.29.24 ,23.59.59,5,0.1,11.938,1,12.75,0.375,1000.5,CU FT,"
    "14.73,PSIA,60,F";

std::string join(const std::vector<std::string>& fields) {
  std::string line;
  for (std::size_t i = 0; i < fields.size(); ++i) line += (i ? "," : "") + fields[i];
  return line;
}

}  // namespace

TEST(SiteQuery, TextAndChannelDigit) {
  EXPECT_EQ(siteQuery(0xA, 0, 1), "qg A01\r");
  EXPECT_EQ(siteQuery(4, 2, 0), "qg 420\r");
  EXPECT_EQ(siteQueryForChannel("qg 400\r", 3), "qg 430\r");
  EXPECT_EQ(siteQueryForChannel("qg 008\r", 1), "qg 018\r");
  EXPECT_EQ(answerKindOf(0xA), 5);
  EXPECT_EQ(answerKindOf(4), 4);
  EXPECT_EQ(answerAfterEcho("qg 400\r\n40003121\r\n", "qg 400\r"), "\r\n40003121\r\n");
  EXPECT_EQ(answerAfterEcho("40003121", "qg 400\r"), "40003121");
}

TEST(CapabilityAnswer, FillsTheCapabilityWord) {
  std::uint32_t flags = 0;
  bool kindReported = false;
  ASSERT_EQ(readCapabilityAnswer("\r\n50103124\r\n\x03", flags, kindReported), 0);
  EXPECT_EQ(flags, 0x40312u);
  EXPECT_TRUE(kindReported);
  MeterFacts facts;
  applyCapabilityWord(facts, flags, kindReported);
  EXPECT_TRUE(facts.memoryBlock);
  EXPECT_EQ(facts.queryTerminator, kEtx);
  EXPECT_TRUE(facts.multiPath);

  // An older meter sends seven digits: no memory block, "\r" stays.
  ASSERT_EQ(readCapabilityAnswer("501a0f3", flags, kindReported), 0);
  EXPECT_EQ(flags, 0xA0F3u);
  EXPECT_FALSE(kindReported);
  MeterFacts old;
  applyCapabilityWord(old, flags, kindReported);
  EXPECT_FALSE(old.memoryBlock);
  EXPECT_EQ(old.queryTerminator, '\r');

  EXPECT_EQ(readCapabilityAnswer("50103G2", flags, kindReported), kHeaderNotHex);
  EXPECT_EQ(readCapabilityAnswer("501031", flags, kindReported), kHeaderNotHex);
  EXPECT_EQ(readCapabilityAnswer("", flags, kindReported), kHeaderNotHex);
  EXPECT_EQ(readCapabilityAnswer("40103121", flags, kindReported), kHeaderWrongKind);
  EXPECT_EQ(readCapabilityAnswer("51103121", flags, kindReported), kHeaderWrongChannel);
  EXPECT_EQ(readCapabilityAnswer("50003121", flags, kindReported), kHeaderWrongSubCode);
}

TEST(AnswerHeader, LaterAnswersMustRepeatEveryNibble) {
  const MeterFacts facts = blockMeter();
  EXPECT_EQ(checkAnswerHeader("40003121", 4, 0, 0, facts), 0);
  EXPECT_EQ(checkAnswerHeader("40003121 trailing", 4, 0, 0, facts), 0);
  struct Case {
    const char* header;
    int code;
  } cases[] = {
      {"4000312x", kHeaderNotHex},     {"30003121", kHeaderWrongKind},
      {"41003121", kHeaderWrongChannel}, {"40103121", kHeaderWrongSubCode},
      {"40013121", kHeaderEchofluxNibbleDiffers}, {"40002121", kHeaderNullTrackNibbleDiffers},
      {"40003021", kHeaderTransitNibbleDiffers},  {"40003111", kHeaderSlotNibbleDiffers},
      {"40003122", kHeaderKindNibbleDiffers},     {"4000312", kHeaderKindNibbleDiffers},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(checkAnswerHeader(c.header, 4, 0, 0, facts), c.code) << c.header;
  }
}

TEST(IdentificationAnswer, TakesTypeAndVersionFromTheFigureLine) {
  const MeterFacts facts = blockMeter();
  // Waveform lines hold any printable character, commas and "7326G" included.
  const std::string waves = "0F00F2FE,,7326G,PQ\r\n0F30F2FD,P,Q,R\r\n";
  const std::string figures = "SITE0002  ,7326G,3.02.00M,01.01.24,00.00.00,1.5,4862.2,E,85.3";
  IdentificationAnswer id;
  ASSERT_EQ(parseIdentificationAnswer(
                answerAfterEcho("qg 018\r\n01803121\r\n" + waves + figures + "\x03", "qg 018\r"),
                1, facts, id),
            0);
  EXPECT_EQ(id.identifier, "SITE0002");
  EXPECT_EQ(id.typeText, "7326G");
  EXPECT_EQ(id.versionText, "3.02.00M");
  EXPECT_TRUE(id.gasMeter);

  const std::string liquid = "SITE0002,7326L,3.02.00M";
  ASSERT_EQ(parseIdentificationAnswer("01803121\r\n" + waves + liquid, 1, facts, id), 0);
  EXPECT_FALSE(id.gasMeter);

  EXPECT_EQ(parseIdentificationAnswer("01803121\r\n" + waves, 1, facts, id), kIdentityEndsEarly);
  EXPECT_EQ(parseIdentificationAnswer("01803121\r\n" + waves + "SITE,7326G", 1, facts, id),
            kIdentityEndsEarly);
  EXPECT_EQ(parseIdentificationAnswer("01803121\r\n" + waves + ",7326G,3.0", 1, facts, id),
            kIdentityBadIdentifier);
  EXPECT_EQ(parseIdentificationAnswer("01703121\r\n" + waves + liquid, 1, facts, id),
            kHeaderWrongSubCode);
  EXPECT_EQ(parseIdentificationAnswer("\x03", 1, facts, id), kIdentityEmptyBlockMeter);
}

TEST(ChannelIdentityAnswer, ReadsEveryField) {
  const MeterFacts facts = blockMeter();
  ChannelIdentityAnswer a;
  ASSERT_EQ(parseChannelIdentityAnswer("40003121\r\n" + kIdentityLine + "\r\n\x03", 0, facts, a),
            0);
  EXPECT_EQ(a.identifier, "SITE0001");
  EXPECT_EQ(a.typeText, "7326G");
  EXPECT_EQ(a.versionText, "3.02.00M");
  EXPECT_EQ(a.dateText, "02.29.24");
  EXPECT_EQ(a.timeText, "23.59.59");
  EXPECT_EQ(a.meterTime.stamp, 1709251199);
  EXPECT_DOUBLE_EQ(a.macroDamping, 5);
  EXPECT_DOUBLE_EQ(a.deadZone, 0.1);
  EXPECT_DOUBLE_EQ(a.boreInches, 11.938);
  EXPECT_EQ(a.lengthUnits, 1);
  EXPECT_DOUBLE_EQ(a.pipeOutsideDiameter, 12.75);
  EXPECT_DOUBLE_EQ(a.pipeWallThickness, 0.375);
  EXPECT_TRUE(a.hasKFactor);
  EXPECT_DOUBLE_EQ(a.kFactor, 1000.5);
  EXPECT_EQ(a.kFactorVolumeUnit, "CU FT");
  EXPECT_DOUBLE_EQ(a.basePressure, 14.73);
  EXPECT_EQ(a.pressureUnit, "PSIA");
  EXPECT_DOUBLE_EQ(a.baseTemperature, 60);
  EXPECT_EQ(a.temperatureUnit, 'F');

  // Thirteen fields are enough; the rest read as empty. More than 17 are ignored.
  ChannelIdentityAnswer shortest;
  ASSERT_EQ(parseChannelIdentityAnswer("40003121\rID,T,V,01.01.24,00.00.00,,,1,0,2,3,,", 0, facts,
                                       shortest),
            0);
  EXPECT_FALSE(shortest.hasKFactor);
  EXPECT_EQ(shortest.pressureUnit, "");
  EXPECT_EQ(shortest.temperatureUnit, '\0');
  EXPECT_EQ(parseChannelIdentityAnswer("40003121\n" + kIdentityLine + ",extra,more", 0, facts, a),
            0);
}

TEST(ChannelIdentityAnswer, ShapeFaults) {
  MeterFacts facts = blockMeter();
  ChannelIdentityAnswer a;
  a.identifier = "KEPT";
  EXPECT_EQ(parseChannelIdentityAnswer("\r\n\x03", 0, facts, a), kIdentityEmptyBlockMeter);
  EXPECT_EQ(parseChannelIdentityAnswer("40003121\r\nID,T,V,01.01.24,00.00.00,,,1,0,2,3,", 0, facts,
                                       a),
            kIdentityEndsEarly);
  EXPECT_EQ(parseChannelIdentityAnswer("40003121", 0, facts, a), kIdentityEndsEarly);
  EXPECT_EQ(parseChannelIdentityAnswer("4000312\r\n" + kIdentityLine, 0, facts, a),
            kIdentityHeaderTooShort);
  EXPECT_EQ(parseChannelIdentityAnswer("41003121\r\n" + kIdentityLine, 0, facts, a),
            kHeaderWrongChannel);
  facts.memoryBlock = false;
  EXPECT_EQ(parseChannelIdentityAnswer("", 0, facts, a), kIdentityEndsEarly);
  EXPECT_EQ(a.identifier, "KEPT");
}

TEST(ChannelIdentityAnswer, FieldFaults) {
  const MeterFacts facts = blockMeter();
  const std::vector<std::string> good = {"SITE0001", "7326G", "3.02.00M", "02.29.24", "23.59.59",
                                         "5",        "0.1",   "11.9",     "1",        "12.75",
                                         "0.375",    "1000",  "CU FT",    "14.7",     "PSIA",
                                         "60",       "F"};
  struct Case {
    std::size_t field;
    std::string value;
    int code;
  } cases[] = {
      {0, "", 20601},          {0, std::string(17, 'I'), 20601},
      {1, "", 20602},          {1, std::string(17, 'T'), 20602},
      {2, "", 20603},          {2, std::string(17, 'V'), 20603},
      {3, "", 20604},          {3, " ", 20604},
      {3, std::string(17, '1'), 20604},
      {4, "", 20605},          {4, "24.00.00", 20605},
      {3, "02.29.23", 20605},  {3, "04.31.24", 20605},
      {5, "x", kIdentityBadOptionalNumber},
      {6, "1.2.3", kIdentityBadOptionalNumber},
      {7, "", 20606},          {7, "1e3", 20606},
      {8, "", 20607},          {8, "1.5", 20607},
      {9, "", 20608},          {10, "--1", 20609},
      {11, "abc", kIdentityBadOptionalNumber},
      {12, "", 20610},         {12, std::string(17, 'U'), 20610},
      {13, "x", kIdentityBadOptionalNumber},
      {14, "KPA", 20611},      {14, "psia", 20611},
      {15, "x", kIdentityBadOptionalNumber},
      {16, "K", 20612},        {16, "FC", 20612},
  };
  for (const auto& c : cases) {
    auto fields = good;
    fields[c.field] = c.value;
    ChannelIdentityAnswer a;
    EXPECT_EQ(parseChannelIdentityAnswer("40003121\r\n" + join(fields), 0, facts, a), c.code)
        << "field " << c.field << " = '" << c.value << "'";
  }
}

TEST(ChannelSetupAnswer, ReadsEveryField) {
  const MeterFacts facts = blockMeter();
  ChannelSetupAnswer s;
  ASSERT_EQ(parseChannelSetupAnswer(
                "30003121\r\n3, 1.25,17,1400.5,,1.5,8,1.5 MHZ,  Z MOUNT,,??,0.1,12.5,1,10.2,-0.5"
                "\r\n\x03",
                0, facts, s),
            0);
  EXPECT_EQ(s.spacingIndex, 3);
  EXPECT_DOUBLE_EQ(s.spacingLtn, 1.25);
  EXPECT_EQ(s.transmitCode, 17);
  EXPECT_DOUBLE_EQ(s.vsMin, 1400.5);
  EXPECT_DOUBLE_EQ(s.vsMax, 0);
  EXPECT_DOUBLE_EQ(s.hfFactor, 1.5);
  EXPECT_EQ(s.dampingMax, 8);
  EXPECT_EQ(s.transducerSize, "1.5 MHZ");
  EXPECT_EQ(s.mountingMode, "Z MOUNT");
  EXPECT_EQ(s.noiseLevelSetting, 0);
  EXPECT_DOUBLE_EQ(s.lowFlowLimit, 0.1);
  EXPECT_DOUBLE_EQ(s.highFlowLimit, 12.5);
  EXPECT_DOUBLE_EQ(s.flowRangeValue, 1);
  EXPECT_DOUBLE_EQ(s.pathLength, 10.2);
  EXPECT_DOUBLE_EQ(s.axialOffset, -0.5);
}

TEST(ChannelSetupAnswer, Faults) {
  MeterFacts facts = blockMeter();
  const std::vector<std::string> good = {"3", "1.25", "17", "", "", "1.5", "8", "", "",
                                         "",  "",     "",   "", "", "10.2", "-0.5"};
  struct Case {
    std::size_t field;
    std::string value;
    int code;
  } cases[] = {
      {0, "", 20501},   {0, "1.5", kSetupBadInteger}, {0, "-", kSetupBadInteger},
      {1, "", 20502},   {1, "1..2", kSetupBadReal},   {1, "-.", kSetupBadReal},
      {2, " ", 20503},  {5, "", 20504},               {6, "", 20505},
      {7, std::string(17, 'S'), 20506},               {8, std::string(17, 'M'), 20507},
      {9, "x", kSetupBadInteger},                     {11, "1-5", kSetupBadReal},
      {14, "", 20508},  {15, "", 20509},              {3, "+1", kSetupBadReal},
  };
  for (const auto& c : cases) {
    auto fields = good;
    fields[c.field] = c.value;
    ChannelSetupAnswer s;
    EXPECT_EQ(parseChannelSetupAnswer("30003121\r\n" + join(fields), 0, facts, s), c.code)
        << "field " << c.field << " = '" << c.value << "'";
  }
  ChannelSetupAnswer s;
  auto fifteen = good;
  fifteen.pop_back();
  EXPECT_EQ(parseChannelSetupAnswer("30003121\r\n" + join(fifteen), 0, facts, s), kSetupEndsEarly);
  EXPECT_EQ(parseChannelSetupAnswer("32003121\r\n" + join(good), 0, facts, s),
            kHeaderWrongChannel);
  EXPECT_EQ(parseChannelSetupAnswer("\x03", 0, facts, s), kSetupAnswerEmptyBlockMeter);
  facts.memoryBlock = false;
  EXPECT_EQ(parseChannelSetupAnswer("", 0, facts, s), kSetupAnswerEmpty);
}
