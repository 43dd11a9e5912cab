#include "graph/signal_answer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "link/site_answers.h"

using namespace tarnlux;

namespace {

// Channel 0 transit time with NullTrack, extended channel state, kind 1: the
// header digits are "01" for the capability nibbles "0118" and the kind "1".
MeterFacts blockMeter() {
  MeterFacts facts;
  applyCapabilityWord(facts, 0x10118, true);
  facts.extendedDiagnostics = true;
  return facts;
}

MeterFacts olderMeter() {
  MeterFacts facts;
  applyCapabilityWord(facts, 0x0010, false);
  return facts;
}

// A waveform line written from the rule: marker, alignment, first sample as a
// signed byte, then characters 80 + step.
std::string waveform(int marker, int alignment, const std::vector<int>& samples) {
  char head[16];
  std::snprintf(head, sizeof head, "%03X%03X%02X", static_cast<unsigned>(marker),
                static_cast<unsigned>(alignment), static_cast<unsigned>(samples[0]) & 0xFFu);
  std::string line = head;
  for (std::size_t i = 1; i < samples.size(); ++i)
    line += static_cast<char>(80 + samples[i] - samples[i - 1]);
  return line;
}

std::vector<int> ramp(int count, int from) {
  std::vector<int> s;
  for (int i = 0; i < count; ++i) s.push_back(from + (i % 40) - 20);
  return s;
}

std::vector<std::string> figureFields() {
  return {"LIQ01234", "7326L", "3.04.02M", "02.29.24",    "23.59.59", "2.3456",
          "4862.20",  "E",     "83.300",   "n",           "112.540",  "112.455",
          "0",        "50",    "49",       "Measurement", "72",       "38.5",
          "38.1",     "6",     "64",       "-3"};
}

std::string join(const std::vector<std::string>& fields) {
  std::string line;
  for (std::size_t i = 0; i < fields.size(); ++i) line += (i ? "," : "") + fields[i];
  return line;
}

std::string answer(const std::string& header, const std::string& a, const std::string& b,
                   const std::string& figures) {
  return header + "\r\n" + a + "\r\n" + b + "\r\n" + figures + "\x03\r\n";
}

int parse(const std::string& text, SignalAnswer& out, const MeterFacts& facts = blockMeter(),
          SignalQueryCode code = {0, 0, 1}) {
  return parseSignalAnswer(text, code, facts, out);
}

}  // namespace

TEST(SignalAnswer, DecodesBothBurstsAndTheFiguresAtEachResolution) {
  for (const auto& [resolution, count] : {std::pair{1, 1024}, {2, 512}, {3, 341}}) {
    const std::vector<int> a = ramp(count, 5);
    const std::vector<int> b = ramp(count, -7);
    const std::string header = "00" + std::to_string(resolution) + "01181";
    SignalAnswer out;
    ASSERT_EQ(parse(answer(header, waveform(0x123, 0x140, a), waveform(0x11F, 0x13C, b),
                           join(figureFields())),
                    out, blockMeter(), {0, 0, resolution}),
              0)
        << resolution;
    EXPECT_EQ(out.resolution, resolution);
    EXPECT_EQ(out.a.samples, a);
    EXPECT_EQ(out.b.samples, b);
    EXPECT_EQ(out.a.marker, 0x123);
    EXPECT_EQ(out.a.alignment, 0x140);
    EXPECT_EQ(out.b.marker, 0x11F);
    EXPECT_EQ(out.b.alignment, 0x13C);
  }
}

TEST(SignalAnswer, FiguresAreReadByPosition) {
  SignalAnswer out;
  const std::vector<int> s = ramp(256, 0);
  ASSERT_EQ(
      parse(answer("00101181", waveform(1, 2, s), waveform(3, 4, s), join(figureFields())), out),
      0);
  const SignalFigures& f = out.figures;
  EXPECT_EQ(f.siteName, "LIQ01234");
  EXPECT_EQ(f.systemName, "7326L");
  EXPECT_EQ(f.versionText, "3.04.02M");
  EXPECT_TRUE(f.meterTimeValid);
  EXPECT_EQ(f.meterTime.year, 2024);
  EXPECT_EQ(f.meterTime.day, 29);
  EXPECT_DOUBLE_EQ(f.flowVelocity, 2.3456);
  EXPECT_DOUBLE_EQ(f.soundSpeed, 4862.2);
  EXPECT_FALSE(f.metric);
  EXPECT_DOUBLE_EQ(f.timeDifference, 83.3);
  EXPECT_TRUE(f.nanoseconds);
  EXPECT_DOUBLE_EQ(f.arrivalUp, 112.54);
  EXPECT_DOUBLE_EQ(f.arrivalDown, 112.455);
  EXPECT_EQ(f.gainUp, 50);
  EXPECT_EQ(f.gainDown, 49);
  EXPECT_EQ(f.searchStateText, "Measurement");
  EXPECT_EQ(f.adcFill, 72);
  EXPECT_DOUBLE_EQ(f.snrUp, 38.5);
  EXPECT_DOUBLE_EQ(f.snrDown, 38.1);
  EXPECT_EQ(f.envelopeChange, 6);
  EXPECT_EQ(f.frequencyCode, 64);
  EXPECT_TRUE(f.hasWaveformOffset);
  EXPECT_EQ(f.waveformOffset, -3);
}

TEST(SignalAnswer, EnvelopeAnswersAndTheEchoOfTheQuery) {
  const std::vector<int> s = ramp(512, 30);
  const std::string text =
      "qg 112\r\n" + answer("11201181", waveform(5, 6, s), waveform(5, 6, s), join(figureFields()));
  SignalAnswer out;
  ASSERT_EQ(parse(std::string(answerAfterEcho(text, "qg 112\r")), out, blockMeter(), {1, 1, 2}), 0);
  EXPECT_EQ(out.graphType, 1);
  EXPECT_EQ(out.channelDigit, 1);
  EXPECT_EQ(out.a.samples.size(), 512u);
}

TEST(SignalAnswer, CharacterStepsCoverTheirWholeRange) {
  SignalWaveform w;
  // "P" is a step of 0: a flat line at the first sample's value.
  ASSERT_EQ(decodeWaveformLine("00A00BF6PPPP", w), 0);
  EXPECT_EQ(w.samples, (std::vector<int>{-10, -10, -10, -10, -10}));
  // "!" (33) is -47, DEL (127) is +47; the first sample "80" is -128.
  ASSERT_EQ(decodeWaveformLine(std::string("00000080") + "\x7f" + "!", w), 0);
  EXPECT_EQ(w.samples, (std::vector<int>{-128, -81, -128}));
  // The longest line: 1,024 samples.
  ASSERT_EQ(decodeWaveformLine("0000007F" + std::string(1023, 'O'), w), 0);
  EXPECT_EQ(w.samples.size(), 1024u);
  EXPECT_EQ(w.samples.back(), 127 - 1023);
}

TEST(SignalAnswer, WaveformLineFaults) {
  SignalWaveform w;
  EXPECT_EQ(decodeWaveformLine("0000007", w), kSignalWaveformBadHead);     // seven digits
  EXPECT_EQ(decodeWaveformLine("00000a00PP", w), kSignalWaveformBadHead);  // lower case
  EXPECT_EQ(decodeWaveformLine("000 0000PP", w), kSignalWaveformBadHead);
  EXPECT_EQ(decodeWaveformLine("00000000P P", w), kSignalWaveformBadCharacter);  // code 32
  EXPECT_EQ(decodeWaveformLine("00000000P\x01P", w), kSignalWaveformBadCharacter);
  EXPECT_EQ(decodeWaveformLine("00000000P\x80", w), kSignalWaveformBadCharacter);
  EXPECT_EQ(decodeWaveformLine("00000000" + std::string(1024, 'P'), w), kSignalWaveformTooLong);
}

TEST(SignalAnswer, AnswerFaults) {
  const std::vector<int> s = ramp(256, 0);
  const std::string a = waveform(1, 1, s);
  const std::string figures = join(figureFields());
  SignalAnswer out;

  // Bursts of different lengths.
  EXPECT_EQ(parse(answer("00101181", a, waveform(1, 1, ramp(255, 0)), figures), out),
            kSignalWaveformLengthsDiffer);
  // A bad second burst is found too.
  EXPECT_EQ(parse(answer("00101181", a, "0000000", figures), out), kSignalWaveformBadHead);
  // Header echo and capability word.
  EXPECT_EQ(parse(answer("01101181", a, a, figures), out), kHeaderWrongChannel);
  EXPECT_EQ(parse(answer("00201181", a, a, figures), out), kHeaderWrongSubCode);
  EXPECT_EQ(parse(answer("10101181", a, a, figures), out), kHeaderWrongKind);
  EXPECT_EQ(parse(answer("00100181", a, a, figures), out), kHeaderNullTrackNibbleDiffers);
  EXPECT_EQ(parse(answer("00101191", a, a, figures), out), kHeaderSlotNibbleDiffers);
  EXPECT_EQ(parse(answer("0010118", a, a, figures), out), kHeaderKindNibbleDiffers);
  EXPECT_EQ(parse(answer("00x01181", a, a, figures), out), kHeaderNotHex);
  // Lines missing.
  EXPECT_EQ(parse("00101181\r\n" + a + "\r\n" + a + "\x03", out), kSignalAnswerEndsEarly);
  // Nothing but the header, or nothing at all: no signal data.
  EXPECT_EQ(parse("00101181\r\n\x03\r\n", out), kSignalAnswerNoData);
  EXPECT_EQ(parse("\x03", out), kSignalAnswerNoData);
  // An older meter counts that as an answer that ends early.
  MeterFacts older = olderMeter();
  EXPECT_EQ(parse("0010010\r\n", out, older), kSignalAnswerEndsEarly);
  EXPECT_TRUE(isSignalAnswerFault(kSignalWaveformLengthsDiffer));
  EXPECT_TRUE(isSignalAnswerFault(kHeaderNotHex));
  EXPECT_FALSE(isSignalAnswerFault(-1));
  EXPECT_FALSE(isSignalAnswerFault(10057));
}

TEST(SignalFigureLine, EachFieldHasItsFault) {
  const struct {
    std::size_t field;
    std::string value;
    int fault;
  } kCases[] = {
      {0, "ABCDEFGHIJKLMNOPQ", kSignalBadSiteName},
      {1, "ABCDEFGHIJKLMNOPQ", kSignalBadSystemName},
      {2, "3.04.02M-XXXXXXXXXX", kSignalBadVersion},
      {3, "02.29.24.........", kSignalBadDate},
      {4, "23.59.59.........", kSignalBadTime},
      {5, "2.3.4", kSignalBadFlowVelocity},
      {6, "", kSignalBadSoundSpeed},
      {8, "1e3", kSignalBadTimeDifference},
      {10, "+1", kSignalBadArrivalUp},
      {11, "x", kSignalBadArrivalDown},
      {13, "50.0", kSignalBadGainUp},
      {14, "", kSignalBadGainDown},
      {16, "7 2", kSignalBadAdcFill},
      {17, "-", kSignalBadSnrUp},
      {18, "..", kSignalBadSnrDown},
      {19, "6%", kSignalBadEnvelopeChange},
      {20, "0x40", kSignalBadFrequencyCode},
      {21, "1.5", kSignalBadWaveformOffset},
      {21, "5000", kSignalBadWaveformOffset},
  };
  for (const auto& c : kCases) {
    std::vector<std::string> fields = figureFields();
    fields[c.field] = c.value;
    SignalFigures f;
    EXPECT_EQ(parseSignalFigureLine(join(fields), kSignalMinFigureFields, true, f), c.fault)
        << "field " << c.field << " \"" << c.value << "\"";
  }
  // Field 12 is not read; blanks before numbers are skipped; trailing blanks
  // leave the site name.
  std::vector<std::string> fields = figureFields();
  fields[0] = "SITE 7  ";
  fields[12] = "anything";
  fields[13] = "  50";
  SignalFigures f;
  ASSERT_EQ(parseSignalFigureLine(join(fields), kSignalMinFigureFields, true, f), 0);
  EXPECT_EQ(f.siteName, "SITE 7");
  EXPECT_EQ(f.gainUp, 50);

  fields.resize(20);
  EXPECT_EQ(parseSignalFigureLine(join(fields), kSignalMinFigureFields, true, f),
            kSignalFiguresTooFew);
  // The Echoflux diagnostic answer carries the same line with 20 fields.
  EXPECT_EQ(parseSignalFigureLine(join(fields) + ",3", 20, true, f), 0);
}

TEST(SignalFigureLine, DateAndTimeRuleAppliesWithoutExtendedDiagnostics) {
  std::vector<std::string> fields = figureFields();
  fields.resize(21);  // older meters send no waveform offset
  fields[15] = "6";   // and the search state as a code
  SignalFigures f;
  ASSERT_EQ(parseSignalFigureLine(join(fields), kSignalMinFigureFields, false, f), 0);
  EXPECT_EQ(f.searchStateCode, 6);
  EXPECT_FALSE(f.hasWaveformOffset);
  EXPECT_EQ(f.meterTime.stamp, meterTimeStamp(2024, 2, 29, 23, 59, 59));

  for (const auto& [date, time] : {std::pair{"02.29.23", "23.59.59"},
                                   {"13.01.24", "00.00.00"},
                                   {"04.31.24", "12.00.00"},
                                   {"01.01.24", "24.00.00"},
                                   {"1.01.24", "12.00.00"},
                                   {"01.01.24", "12:00:00"}}) {
    fields[3] = date;
    fields[4] = time;
    EXPECT_EQ(parseSignalFigureLine(join(fields), kSignalMinFigureFields, false, f), kSignalBadTime)
        << date << " " << time;
    // With extended diagnostics the texts are taken as they come.
    EXPECT_EQ(parseSignalFigureLine(join(fields), kSignalMinFigureFields, true, f), 0);
    EXPECT_FALSE(f.meterTimeValid);
  }
  // The search state is kept, never checked: a word where a code belongs or
  // an over-long value costs nothing else of the answer.
  fields[3] = "02.29.24";
  fields[4] = "23.59.59";
  for (const std::string& state : {std::string("Measurement"), std::string(40, '9'), std::string(40, 'X')}) {
    fields[15] = state;
    ASSERT_EQ(parseSignalFigureLine(join(fields), kSignalMinFigureFields, false, f), 0) << state;
    EXPECT_EQ(f.searchStateCode, 0);
    ASSERT_EQ(parseSignalFigureLine(join(fields), kSignalMinFigureFields, true, f), 0) << state;
    EXPECT_EQ(f.searchStateText, state.substr(0, 16));
  }
}
