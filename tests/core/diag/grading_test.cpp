#include "diag/grading.h"

#include <gtest/gtest.h>

#include "diag/status_codes.h"

using namespace tarnlux;

namespace {

constexpr std::uint32_t kHealthy = 0x3FF;

std::uint32_t clearBits(std::initializer_list<int> bits) {
  std::uint32_t word = kHealthy;
  for (int b : bits) word &= ~(1u << b);
  return word;
}

// A transit-time path that passes every default limit.
PathReadings healthyPath() {
  PathReadings r;
  r.statusWord = kHealthy;
  r.alcUp = r.alcDown = 60;
  r.snrUp = r.snrDown = 40;
  r.correlationQuality = 0.2;
  r.adcBuffer = 70;
  r.accepted = 99;
  r.envelopeChange = 5;
  r.searchStateCode = kMeasuringSearchState;
  r.searchStateText = "Measurement";
  r.flowVelocity = 10;
  r.soundSpeed = 1400;
  r.nullTrackAlc = 60;
  r.referenceCount = 32;  // periods of the 32 MHz reference: 1 us
  return r;
}

}  // namespace

TEST(StatusLetters, ShowTheLetterOfEveryClearBit) {
  EXPECT_EQ(statusLetters(kHealthy, false), "__________");
  EXPECT_EQ(statusLetters(0, false), "SZERFAMKIP");
  EXPECT_EQ(statusLetters(0, true), "SZERFTMKIW");
  EXPECT_EQ(statusLetters(clearBits({5}), true), "_____T____");
  EXPECT_EQ(statusLetters(clearBits({5}), false), "_____A____");
  EXPECT_EQ(statusLetters(clearBits({0, 9}), false), "S________P");
  // Bits above 9 are not shown.
  EXPECT_EQ(statusLetters(0xFFFFFC00u | kHealthy, false), "__________");
}

TEST(StatusWordGrade, FailureBitsWarningBitsAndTheEchofluxExemption) {
  EXPECT_EQ(gradeStatusWord(kHealthy, false), GradeColour::Green);
  EXPECT_EQ(gradeStatusWord(clearBits({5}), false), GradeColour::Yellow);
  EXPECT_EQ(gradeStatusWord(clearBits({1}), false), GradeColour::Yellow);
  EXPECT_EQ(gradeStatusWord(clearBits({1}), true), GradeColour::Green);
  // The exemption covers bit 1 alone.
  EXPECT_EQ(gradeStatusWord(clearBits({1, 6}), true), GradeColour::Yellow);
  EXPECT_EQ(gradeStatusWord(clearBits({2}), true), GradeColour::Red);
  EXPECT_EQ(gradeStatusWord(clearBits({4}), false), GradeColour::Red);
  EXPECT_EQ(gradeStatusWord(0x3EB & ~0x1u, false), GradeColour::Red);
  // Bits 3 and 9 never change the colour.
  EXPECT_EQ(gradeStatusWord(clearBits({3, 9}), false), GradeColour::Green);
  EXPECT_EQ(gradeStatusWord(clearBits({3, 9, 7}), false), GradeColour::Yellow);
}

TEST(GradeTexts, LegendAndTableWords) {
  EXPECT_STREQ(gradeLegendText(GradeColour::Green), "Vert - OK");
  EXPECT_STREQ(gradeLegendText(GradeColour::Yellow), "Jaune - Avertiss");
  EXPECT_STREQ(gradeLegendText(GradeColour::Red), "Rouge - Verif req");
  EXPECT_STREQ(gradeWord(GradeColour::Green), "OK");
  EXPECT_STREQ(gradeWord(GradeColour::Yellow), "Attention");
  EXPECT_STREQ(gradeWord(GradeColour::Red), "Echec");
}

TEST(SearchState, NamesAndTheMeasuringTest) {
  EXPECT_EQ(searchStateName(1), "PALC");
  EXPECT_EQ(searchStateName(6), "MEASURE");
  EXPECT_EQ(searchStateName(10), "BUFRANGE");
  EXPECT_EQ(searchStateName(21), "CORQ");
  EXPECT_EQ(searchStateName(0), "");
  EXPECT_EQ(searchStateName(22), "");
  EXPECT_EQ(searchStateName(-6), "");

  PathReadings path;
  path.searchStateCode = 6;
  path.searchStateText = "Searching";
  EXPECT_TRUE(isMeasuring(path, false));
  EXPECT_FALSE(isMeasuring(path, true));  // extended diagnostics read the text
  EXPECT_EQ(searchStateText(path, false), "MEASURE");
  EXPECT_EQ(searchStateText(path, true), "Searching");

  for (const char* word : {"Measurement", "Mesure", "Misura", "Messung", "Medida"}) {
    path.searchStateText = word;
    EXPECT_TRUE(isMeasuring(path, true)) << word;
  }
  for (const char* word : {"Mesurex", "mesure", " Mesure", "Mesure ", ""}) {
    path.searchStateText = word;
    EXPECT_FALSE(isMeasuring(path, true)) << '"' << word << '"';
  }
  path.searchStateCode = 22;
  EXPECT_FALSE(isMeasuring(path, false));
}

TEST(OneSidedGrade, ComparisonsAreStrict) {
  // Integer ALC, low is bad: fail 20, warning 30.
  EXPECT_EQ(gradeValue(20, 20, 30, BadSide::Low), GradeColour::Yellow);
  EXPECT_EQ(gradeValue(19, 20, 30, BadSide::Low), GradeColour::Red);
  EXPECT_EQ(gradeValue(30, 20, 30, BadSide::Low), GradeColour::Green);
  EXPECT_EQ(gradeValue(29, 20, 30, BadSide::Low), GradeColour::Yellow);
  // Envelope change, high is bad: fail 40, warning 30.
  EXPECT_EQ(gradeValue(40, 40, 30, BadSide::High), GradeColour::Yellow);
  EXPECT_EQ(gradeValue(41, 40, 30, BadSide::High), GradeColour::Red);
  EXPECT_EQ(gradeValue(30, 40, 30, BadSide::High), GradeColour::Green);
  // Reals compare as reals: just below an integer limit is below it.
  EXPECT_EQ(gradeValue(9.999, 10.0, 20.0, BadSide::Low), GradeColour::Red);
  EXPECT_EQ(gradeValue(0.9, 0.9, 0.75, BadSide::High), GradeColour::Yellow);
  EXPECT_EQ(gradeValue(0.9000001, 0.9, 0.75, BadSide::High), GradeColour::Red);
}

TEST(TwoSidedGrade, DopplerFrequencyWithTheLowRangeDefaults) {
  const EchofluxLimits limits;
  const TwoSidedLimits l = dopplerLimits(limits, false);
  auto grade = [&](std::int32_t hz) {
    return gradeTwoSided(
        hz, static_cast<std::int32_t>(l.lowFail), static_cast<std::int32_t>(l.lowWarning),
        static_cast<std::int32_t>(l.highFail), static_cast<std::int32_t>(l.highWarning));
  };
  EXPECT_EQ(grade(1300), GradeColour::Green);
  EXPECT_EQ(grade(1500), GradeColour::Yellow);
  EXPECT_EQ(grade(2500), GradeColour::Red);
  EXPECT_EQ(grade(50), GradeColour::Yellow);
  EXPECT_EQ(grade(0), GradeColour::Red);
  EXPECT_EQ(grade(1), GradeColour::Yellow);
  EXPECT_EQ(grade(2000), GradeColour::Yellow);

  // The high flow range uses its own upper pair.
  const TwoSidedLimits high = dopplerLimits(limits, true);
  EXPECT_EQ(gradeTwoSided(2500.0, high.lowFail, high.lowWarning, high.highFail, high.highWarning),
            GradeColour::Green);

  // A value under the low warning but above the high fail (crossed limits)
  // is judged on the high side.
  EXPECT_EQ(twoSidedSide(500, 10, 1000, 400), BadSide::High);
  EXPECT_EQ(gradeTwoSided(500.0, 10.0, 1000.0, 400.0, 300.0), GradeColour::Red);
  EXPECT_EQ(twoSidedSide(5, 10, 1000, 400), BadSide::Low);
}

TEST(Tally, CountsFailureOrWarningAndAccumulatesTheSampleValue) {
  ColumnTally t;
  t.integer = true;
  // The graded value decides the counts, the sample value the statistics.
  tallySample(10, 20, 30, true, BadSide::Low, 7, t);
  EXPECT_EQ(t.failCount, 1);
  EXPECT_EQ(t.warningCount, 0);
  tallySample(25, 20, 30, true, BadSide::Low, 9, t);
  EXPECT_EQ(t.warningCount, 1);
  tallySample(30, 20, 30, true, BadSide::Low, 8, t);
  EXPECT_EQ(t.failCount, 1);
  EXPECT_EQ(t.warningCount, 1);
  EXPECT_EQ(t.integerSum, 24);
  EXPECT_EQ(t.minimum, 7);
  EXPECT_EQ(t.maximum, 9);
  EXPECT_EQ(t.average(), 8);
  tallySample(40, 20, 30, true, BadSide::Low, 1, t);
  EXPECT_EQ(t.average(), 6);  // 25 / 4, integer division

  // The first sample sets both extremes even when they lie on one side of 0.
  ColumnTally r;
  tallySample(0, 1, 2, false, BadSide::High, 5.5, r);
  EXPECT_EQ(r.minimum, 5.5);
  EXPECT_EQ(r.maximum, 5.5);
  tallySample(0, 1, 2, false, BadSide::High, 6.5, r);
  EXPECT_DOUBLE_EQ(r.average(), 6.0);
  EXPECT_EQ(ColumnTally().average(), 0);
}

TEST(VelocityDifference, DivisorFloorAndFlowTestThreshold) {
  EXPECT_DOUBLE_EQ(velocityDivisor(0, false), 0.1);
  EXPECT_DOUBLE_EQ(velocityDivisor(0.1, false), 0.1);
  EXPECT_DOUBLE_EQ(velocityDivisor(-5, false), 5);
  EXPECT_DOUBLE_EQ(velocityDivisor(0.02, true), 0.030487804878048783);
  EXPECT_DOUBLE_EQ(velocityDivisor(0.5, true), 0.5);
  // A site at rest: 0.05 ft/s away from 0 is 50 %, not a division by zero.
  EXPECT_DOUBLE_EQ(velocityPercentDifference(0.05, 0, false), 50);
  EXPECT_DOUBLE_EQ(velocityPercentDifference(9, 10, false), 10);
  EXPECT_DOUBLE_EQ(velocityPercentDifference(-11, -10, false), 10);

  EXPECT_FALSE(flowVelocityTestApplies(1.0, false));
  EXPECT_TRUE(flowVelocityTestApplies(1.001, false));
  EXPECT_TRUE(flowVelocityTestApplies(-1.5, false));
  EXPECT_FALSE(flowVelocityTestApplies(0.3048780487804878, true));
  EXPECT_TRUE(flowVelocityTestApplies(0.31, true));
}

TEST(DerivedLimits, NullTrackDeltaTimeAndEchofluxVelocity) {
  // 64 periods of 32 MHz are 2 us: in microseconds 0.04 and 0.1, the same
  // time in nanoseconds on a liquid meter.
  const RealLimitPair us = nullTrackDeltaTimeLimits({0.02, 0.05}, 64, false);
  EXPECT_DOUBLE_EQ(us.warning, 0.04);
  EXPECT_DOUBLE_EQ(us.fail, 0.1);
  const RealLimitPair ns = nullTrackDeltaTimeLimits({0.02, 0.05}, 64, true);
  EXPECT_DOUBLE_EQ(ns.warning, 40);
  EXPECT_DOUBLE_EQ(ns.fail, 100);
  EXPECT_EQ(nullTrackDeltaTimeLimits({0.02, 0.05}, 0, false), (RealLimitPair{0, 0}));

  const EchofluxLimits defaults;
  EXPECT_EQ(echofluxVelocityLimits(defaults, false), (RealLimitPair{1.0, 0.001}));
  const RealLimitPair metric = echofluxVelocityLimits(defaults, true);
  EXPECT_DOUBLE_EQ(metric.warning, 0.3048780487804878);
  EXPECT_DOUBLE_EQ(metric.fail, 0.001 / 3.28);
  EXPECT_EQ(printedVelocityLimit(metric.fail), 0.001);
  EXPECT_EQ(printedVelocityLimit(0.3048780487804878), 0.3048780487804878);
  EXPECT_EQ(printedVelocityLimit(0), 0);
  EXPECT_EQ(printedVelocityLimit(-0.0005), -0.0005);
}

TEST(PassFailLimits, DefaultsMatchTheLimitTables) {
  PassFailLimits limits;
  limits.transitTime.correlationQuality = {0.1, 0.2};
  limits.echoflux.slurryHigh = {1, 2};
  resetLimitsToDefaults(limits, false, true);
  const TransitTimeLimits& tt = limits.transitTime;
  EXPECT_EQ(tt.alc, (IntLimitPair{30, 20}));
  EXPECT_EQ(tt.snr, (RealLimitPair{20.0, 10.0}));
  EXPECT_EQ(tt.correlationQuality, (RealLimitPair{0.75, 0.9}));
  EXPECT_EQ(tt.adcBuffer, (IntLimitPair{50, 30}));
  EXPECT_EQ(tt.accepted, (IntLimitPair{90, 50}));
  EXPECT_EQ(tt.envelopeChange, (IntLimitPair{30, 40}));
  EXPECT_EQ(tt.nullTrackAlc, (IntLimitPair{30, 20}));
  EXPECT_EQ(tt.nullTrackDeltaTime, (RealLimitPair{0.02, 0.05}));
  EXPECT_EQ(tt.flowVelocityDiff, (RealLimitPair{2.0, 4.0}));
  EXPECT_EQ(tt.soundSpeedDiff, (RealLimitPair{0.25, 0.5}));
  const EchofluxLimits& ef = limits.echoflux;
  EXPECT_EQ(ef.signalStrength, (IntLimitPair{250, 100}));
  EXPECT_EQ(ef.lowDoppler, (IntLimitPair{125, 1}));
  EXPECT_EQ(ef.lowRangeUpper, (IntLimitPair{1400, 2000}));
  EXPECT_EQ(ef.highRangeUpper, (IntLimitPair{4000, 6000}));
  EXPECT_EQ(ef.liquidLow, (RealLimitPair{30.0, 25.0}));
  EXPECT_EQ(ef.liquidHigh, (RealLimitPair{50.0, 60.0}));
  EXPECT_EQ(ef.slurryLow, (RealLimitPair{10.0, 10.0}));
  EXPECT_EQ(ef.slurryHigh, (RealLimitPair{25.0, 30.0}));
  EXPECT_EQ(ef.noiseLow, (RealLimitPair{15.0, 10.0}));
  EXPECT_EQ(ef.noiseHigh, (RealLimitPair{35.0, 50.0}));
  EXPECT_EQ(ef.fftPeak, (IntLimitPair{64, 16}));
  EXPECT_EQ(ef.flowVelocity, (RealLimitPair{1.0, 0.001}));

  // Gas meters differ in the two ALC pairs only.
  PassFailLimits gas;
  resetLimitsToDefaults(gas, true, true);
  PassFailLimits expected = limits;
  expected.transitTime.alc = {45, 35};
  expected.transitTime.nullTrackAlc = {50, 40};
  EXPECT_EQ(gas, expected);
}

TEST(TransitTimePage, EachLimitTurnsThePathAndThePage) {
  MeasurementStore store;
  store.paths[0] = healthyPath();
  const PassFailLimits limits;
  GradingContext context;
  context.extendedDiagnostics = true;
  EXPECT_EQ(judgeTransitTimePath(store, 0, 0x1, limits, context), GradeColour::Green);

  auto judgeWith = [&](auto change) {
    MeasurementStore s = store;
    change(s.paths[0]);
    return judgeTransitTimePath(s, 0, 0x1, limits, context);
  };
  EXPECT_EQ(judgeWith([](PathReadings& r) { r.alcDown = 25; }), GradeColour::Yellow);
  EXPECT_EQ(judgeWith([](PathReadings& r) { r.snrUp = 5; }), GradeColour::Red);
  EXPECT_EQ(judgeWith([](PathReadings& r) { r.correlationQuality = 0.8; }), GradeColour::Yellow);
  EXPECT_EQ(judgeWith([](PathReadings& r) { r.adcBuffer = 29; }), GradeColour::Red);
  EXPECT_EQ(judgeWith([](PathReadings& r) { r.accepted = 89; }), GradeColour::Yellow);
  EXPECT_EQ(judgeWith([](PathReadings& r) { r.envelopeChange = 41; }), GradeColour::Red);
  EXPECT_EQ(judgeWith([](PathReadings& r) { r.searchStateText = "Mesurex"; }), GradeColour::Red);
  EXPECT_EQ(judgeWith([](PathReadings& r) { r.statusWord = clearBits({7}); }), GradeColour::Yellow);
  // NullTrack readings only count on a path that has it enabled.
  EXPECT_EQ(judgeWith([](PathReadings& r) { r.nullTrackAlc = 0; }), GradeColour::Green);

  // Without extended diagnostics: no correlation limit, the search state by code.
  context.extendedDiagnostics = false;
  EXPECT_EQ(judgeWith([](PathReadings& r) { r.correlationQuality = 0.99; }), GradeColour::Green);
  EXPECT_EQ(judgeWith([](PathReadings& r) { r.searchStateCode = 5; }), GradeColour::Red);
}

TEST(TransitTimePage, NullTrackLimitsScaleWithTheReferenceCount) {
  MeasurementStore store;
  store.paths[2] = healthyPath();
  const PassFailLimits limits;
  GradingContext context;
  context.meterFlags = 0x400;  // NullTrack on path 3
  // Reference count 32 (1 us): limits 0.02 and 0.05 us.
  store.paths[2].nullTrackDeltaTime = 0.03;
  EXPECT_EQ(judgeTransitTimePath(store, 2, 0x4, limits, context), GradeColour::Yellow);
  store.paths[2].referenceCount = 64;  // limits 0.04 and 0.1
  EXPECT_EQ(judgeTransitTimePath(store, 2, 0x4, limits, context), GradeColour::Green);
  store.paths[2].nullTrackDeltaTime = 0.11;
  EXPECT_EQ(judgeTransitTimePath(store, 2, 0x4, limits, context), GradeColour::Red);
  // An offset below zero is as far off as one above.
  store.paths[2].nullTrackDeltaTime = -0.11;
  EXPECT_EQ(judgeTransitTimePath(store, 2, 0x4, limits, context), GradeColour::Red);
  store.paths[2].nullTrackDeltaTime = -0.05;
  EXPECT_EQ(judgeTransitTimePath(store, 2, 0x4, limits, context), GradeColour::Yellow);
  store.paths[2].nullTrackDeltaTime = 0;
  store.paths[2].nullTrackAlc = 25;
  EXPECT_EQ(judgeTransitTimePath(store, 2, 0x4, limits, context), GradeColour::Yellow);
}

TEST(TransitTimePage, VelocityDifferencesOnlyOnMultipathSitesWithSeveralPaths) {
  MeasurementStore store;
  for (auto& p : store.paths) p = healthyPath();
  store.paths[1].flowVelocity = 10.9;  // average 10.45: 4.3 % away
  const PassFailLimits limits;
  GradingContext context;
  context.multiPath = true;
  EXPECT_EQ(judgeTransitTimePath(store, 1, 0x3, limits, context), GradeColour::Red);
  EXPECT_EQ(judgeTransitTimePage(store, 0x3, limits, context), GradeColour::Red);
  // The same path alone, or on a single-channel meter, is not compared.
  EXPECT_EQ(judgeTransitTimePath(store, 1, 0x2, limits, context), GradeColour::Green);
  context.multiPath = false;
  EXPECT_EQ(judgeTransitTimePage(store, 0x3, limits, context), GradeColour::Green);

  // Paths at or below 1 ft/s skip the flow comparison, not the sound speed one.
  context.multiPath = true;
  store.paths[0].flowVelocity = 0.2;
  store.paths[1].flowVelocity = 0.9;
  EXPECT_EQ(judgeTransitTimePage(store, 0x3, limits, context), GradeColour::Green);
  store.paths[1].soundSpeed = 1410;  // 0.36 % from the average of 1405
  EXPECT_EQ(judgeTransitTimePath(store, 1, 0x3, limits, context), GradeColour::Yellow);
  EXPECT_EQ(judgeTransitTimePath(store, 0, 0x3, limits, context), GradeColour::Yellow);
}

TEST(EchofluxPage, EveryJudgementOfTheChannel) {
  MeasurementStore store;
  PathReadings& path = store.paths[1];
  path.statusWord = clearBits({1});
  path.flowVelocity = 2.0;
  EchofluxReadings& e = store.echoflux[1];
  e.signalStrength = 300;
  e.dopplerFrequency = 1000;
  e.deviation = 40;
  e.fftPeak = 100;
  e.noiseReading = 20;  // 20 %
  const PassFailLimits limits;
  GradingContext context;
  EXPECT_EQ(judgeEchofluxChannel(store, 1, limits, context), GradeColour::Green);

  auto judgeWith = [&](auto change) {
    MeasurementStore s = store;
    change(s.paths[1], s.echoflux[1]);
    return judgeEchofluxChannel(s, 1, limits, context);
  };
  EXPECT_EQ(judgeWith([](PathReadings&, EchofluxReadings& r) { r.signalStrength = 99; }),
            GradeColour::Red);
  EXPECT_EQ(judgeWith([](PathReadings&, EchofluxReadings& r) { r.dopplerFrequency = 1500; }),
            GradeColour::Yellow);
  // 1500 Hz is in order on the high flow range.
  EXPECT_EQ(judgeWith([](PathReadings&, EchofluxReadings& r) {
              r.dopplerFrequency = 1500;
              r.highFlowRange = true;
            }),
            GradeColour::Green);
  // 20 % deviation: below the liquid pair's fail, inside the slurry pairs.
  EXPECT_EQ(judgeWith([](PathReadings&, EchofluxReadings& r) { r.deviation = 20; }),
            GradeColour::Red);
  EXPECT_EQ(judgeWith([](PathReadings&, EchofluxReadings& r) {
              r.deviation = 20;
              r.fluidType = 2.0;
            }),
            GradeColour::Green);
  // Noise level 100 x 12 / 100 = 12 %: under the low warning.
  EXPECT_EQ(judgeWith([](PathReadings&, EchofluxReadings& r) { r.noiseReading = 12; }),
            GradeColour::Yellow);
  EXPECT_EQ(judgeWith([](PathReadings&, EchofluxReadings& r) { r.noiseReading = 60; }),
            GradeColour::Red);
  // An FFT peak of 0 fails the channel without dividing by it.
  EXPECT_EQ(judgeWith([](PathReadings&, EchofluxReadings& r) { r.fftPeak = 0; }), GradeColour::Red);
  EXPECT_EQ(judgeWith([](PathReadings&, EchofluxReadings& r) {
              r.fftPeak = 50;
              r.noiseReading = 10;
            }),
            GradeColour::Yellow);
  EXPECT_EQ(judgeWith([](PathReadings& p, EchofluxReadings&) { p.statusWord = clearBits({2}); }),
            GradeColour::Red);

  // 0.5 is slow in feet per second, in order in metres per second.
  EXPECT_EQ(judgeWith([](PathReadings& p, EchofluxReadings&) { p.flowVelocity = 0.5; }),
            GradeColour::Yellow);
  context.metricVelocity = true;
  EXPECT_EQ(judgeWith([](PathReadings& p, EchofluxReadings&) { p.flowVelocity = 0.5; }),
            GradeColour::Green);
  EXPECT_EQ(judgeWith([](PathReadings& p, EchofluxReadings&) { p.flowVelocity = 0.0003; }),
            GradeColour::Red);
}
