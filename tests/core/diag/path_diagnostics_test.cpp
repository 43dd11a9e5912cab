// The per-path diagnostic answer decoders: the extended diagnostic answer
// (kind 2), the kind-0 signal figures and the Echoflux channel answer. The
// answers are written here from their layouts, field by field.

#include "diag/path_diagnostics.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/site_answers.h"

using namespace tarnlux;

namespace {

// Channel 0 transit time with NullTrack, extended channel state, meter kind 1:
// headers end in the capability digits "01181".
MeterFacts blockMeter() {
  MeterFacts facts;
  applyCapabilityWord(facts, 0x10118, true);
  facts.extendedDiagnostics = true;
  return facts;
}

std::string join(const std::vector<std::string>& fields) {
  std::string line;
  for (std::size_t i = 0; i < fields.size(); ++i) line += (i > 0 ? "," : "") + fields[i];
  return line;
}

// A good extended diagnostic line, position by position.
std::vector<std::string> extendedFields() {
  // clang-format off
  return {"02.29.24", "23.59.58", "2.5", "2.6", "", "", "2.55",   // 0-6
          "4862.20", "E", "85.3", "n",                           // 7-10
          "48", "51", "40", "72",                                // 11-14
          "38.5", "38.1", "6", "64",                             // 15-18
          "211.9", "", "60.25", "0.8812", "0.012",               // 19-23
          "GAL/MIN", "1234567.8", "GAL",                         // 24-26
          "1", "55", "12.5", "3fF", "0.32", "0",                 // 27-32
          "97", "Measurement", "68.3", "F", "0"};                // 33-37
  // clang-format on
}

std::string extendedAnswer(const std::vector<std::string>& fields,
                           const std::string& header = "21801181") {
  return header + "\r\n" + join(fields) + "\x03\r\n";
}

TEST(ExtendedDiagnosticAnswer, FillsThePathAndTheSiteByPosition) {
  MeasurementStore store;
  store.paths[0].alcUp = 77;  // another path's readings stay
  ASSERT_EQ(
      decodeExtendedDiagnosticAnswer(extendedAnswer(extendedFields()), 1, blockMeter(), store), 0);
  const PathReadings& p = store.paths[1];
  EXPECT_DOUBLE_EQ(p.flowVelocity, 2.6);  // position 3: path 2's own
  EXPECT_DOUBLE_EQ(store.site.averageFlowVelocity, 2.55);
  EXPECT_DOUBLE_EQ(p.soundSpeed, 4862.2);
  EXPECT_FALSE(store.site.metricVelocity);
  EXPECT_DOUBLE_EQ(p.deltaTime, 85.3);
  EXPECT_TRUE(store.site.nanoseconds);
  EXPECT_EQ(p.alcUp, 48);
  EXPECT_EQ(p.alcDown, 51);
  EXPECT_EQ(p.transmitRate, 40);
  EXPECT_EQ(p.adcBuffer, 72);
  EXPECT_DOUBLE_EQ(p.snrUp, 38.5);
  EXPECT_DOUBLE_EQ(p.snrDown, 38.1);
  EXPECT_EQ(p.envelopeChange, 6);
  EXPECT_EQ(p.referenceCount, 64);
  EXPECT_DOUBLE_EQ(p.flow, 211.9);
  EXPECT_DOUBLE_EQ(p.standardFlow, 0);  // empty gives 0
  EXPECT_DOUBLE_EQ(store.site.pressure, 60.25);
  EXPECT_DOUBLE_EQ(store.site.compressibility, 0.8812);
  EXPECT_DOUBLE_EQ(p.soundSpeedDifference, 0.012);
  EXPECT_EQ(store.site.flowUnitsText, "GAL/MIN");
  EXPECT_DOUBLE_EQ(store.site.total, 1234567.8);
  EXPECT_EQ(store.site.totalUnitsText, "GAL");
  EXPECT_TRUE(p.nullTrackActive);
  EXPECT_EQ(p.nullTrackAlc, 55);
  EXPECT_DOUBLE_EQ(p.nullTrackDeltaTime, 12.5);
  EXPECT_EQ(p.statusWord, 0x3FFu);  // either case of hexadecimal digits
  EXPECT_DOUBLE_EQ(p.correlationQuality, 0.32);
  EXPECT_EQ(p.accepted, 97);
  EXPECT_EQ(p.searchStateText, "Measurement");
  EXPECT_DOUBLE_EQ(store.site.temperature, 68.3);
  EXPECT_EQ(store.site.temperatureUnit, 'F');
  EXPECT_EQ(store.site.meterDateText, "02.29.24");
  EXPECT_EQ(store.site.meterTimeText, "23.59.58");
  EXPECT_EQ(store.site.meterTime.stamp, 1709251198);  // 2024-02-29 23:59:58
  EXPECT_EQ(store.paths[0].alcUp, 77);

  // Metric units, microseconds, the temperature unit left empty, and the line
  // cut after position 34 (35-37 may be left out).
  std::vector<std::string> f = extendedFields();
  f[8] = "M/SEC";
  f[10] = "u";
  f.resize(35);
  ASSERT_EQ(decodeExtendedDiagnosticAnswer(extendedAnswer(f), 1, blockMeter(), store), 0);
  EXPECT_TRUE(store.site.metricVelocity);
  EXPECT_FALSE(store.site.nanoseconds);
  EXPECT_EQ(store.site.temperatureUnit, '\0');
  EXPECT_DOUBLE_EQ(store.site.temperature, 0);
}

TEST(ExtendedDiagnosticAnswer, FaultsLeaveTheStoreAsItWas) {
  struct Case {
    const char* what;
    std::size_t field;
    const char* value;  // nullptr: the line ends before this position
    int fault;
  };
  const Case cases[] = {
      {"no field line", 0, nullptr, 20403},
      {"empty date", 0, "", 20327},
      {"no time", 1, nullptr, 20328},
      {"time too long", 1, "12.00.00.000000000", 20328},
      {"February 30th", 0, "02.30.24", 20329},
      {"hour 24", 1, "24.00.00", 20329},
      {"flow velocity not a number", 3, "2.5x", 20349},
      {"no sound speed", 7, nullptr, 20330},
      {"sound speed empty", 7, "", 20330},
      {"delta time with an exponent", 9, "8.5e-8", 20331},
      {"ALC up real", 11, "48.5", 20332},
      {"ALC down", 12, "x", 20333},
      {"transmit rate", 13, "", 20334},
      {"ADC buffer", 14, "7 2", 20335},
      {"SNR up", 15, "+38", 20336},
      {"SNR down", 16, "", 20337},
      {"envelope", 17, nullptr, 20338},
      {"reference count", 18, "", 20339},
      {"pressure", 21, "60 bar", 20349},
      {"flow units too long", 24, "GALLONS PER MINUTE", 20340},
      {"no flow units", 24, nullptr, 20340},
      {"total", 25, "", 20341},
      {"total units", 26, nullptr, 20342},
      {"NullTrack flag", 27, "yes", 20349},
      {"status word not hexadecimal", 30, "3FG", 20343},
      {"status word of nine digits", 30, "0000003FF", 20343},
      {"status word empty", 30, "", 20343},
      {"correlation", 31, "", 20344},
      {"reserved integer", 32, "", 20345},
      {"accepted", 33, "97%", 20346},
      {"search state too long", 34, "MeasurementsAreOK", 20347},
      {"no search state", 34, nullptr, 20347},
      {"temperature", 35, "warm", 20349},
      {"temperature unit", 36, "K", 20348},
      {"temperature unit word", 36, "FF", 20348},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> f = extendedFields();
    if (c.value == nullptr)
      f.resize(c.field);
    else
      f[c.field] = c.value;
    MeasurementStore store;
    store.paths[1].alcUp = 11;
    store.site.total = 5;
    EXPECT_EQ(decodeExtendedDiagnosticAnswer(extendedAnswer(f), 1, blockMeter(), store), c.fault);
    EXPECT_EQ(store.paths[1].alcUp, 11);
    EXPECT_DOUBLE_EQ(store.site.total, 5);
    EXPECT_TRUE(store.site.meterDateText.empty());
  }
}

TEST(ExtendedDiagnosticAnswer, HeaderAndEarlyEnd) {
  const MeterFacts facts = blockMeter();
  MeasurementStore store;
  const std::string line = join(extendedFields());
  EXPECT_EQ(decodeExtendedDiagnosticAnswer("2180118\r\n" + line, 1, facts, store), 20112);
  EXPECT_EQ(decodeExtendedDiagnosticAnswer("2180118X\r\n" + line, 1, facts, store), 20101);
  EXPECT_EQ(decodeExtendedDiagnosticAnswer("01801181\r\n" + line, 1, facts, store), 20103);
  EXPECT_EQ(decodeExtendedDiagnosticAnswer("22801181\r\n" + line, 1, facts, store), 20104);
  EXPECT_EQ(decodeExtendedDiagnosticAnswer("21001181\r\n" + line, 1, facts, store), 20105);
  EXPECT_EQ(decodeExtendedDiagnosticAnswer("21800181\r\n" + line, 1, facts, store), 20107);
  // Nothing after the header, or nothing at all; the text after ETX is not read.
  EXPECT_EQ(decodeExtendedDiagnosticAnswer("21801181\r\n\x03" + line, 1, facts, store), 20403);
  EXPECT_EQ(decodeExtendedDiagnosticAnswer("\r\n", 1, facts, store), 20403);
  MeterFacts plain = facts;
  plain.extendedDiagnostics = false;
  EXPECT_EQ(decodeExtendedDiagnosticAnswer("21801181\r\n", 1, plain, store), 20404);
  EXPECT_TRUE(store.site.meterDateText.empty());
}

// --- Echoflux -------------------------------------------------------------------

// Channel 0 in the Echoflux mode, meter kind 1.
MeterFacts echofluxMeter() {
  MeterFacts facts;
  applyCapabilityWord(facts, 0x11000, true);
  facts.extendedDiagnostics = true;
  facts.echofluxMode = true;
  return facts;
}

std::vector<std::string> channelFields() {
  return {"30",  "16", "211.9", "24",   "2.355", "5", "120", "18",
          "800", "0",  "600",   "40.5", "0",     "1", "1.0"};
}

const char* kFigureLine =
    "ECHO0001,7326L,3.04.02M,12.08.26,21.21.11,2.3655,4862.20,M,83.305,n,112.540,112.455,0,50,50,"
    "Measurement,72,38.5,38.1,6";

std::string echofluxAnswer(const std::vector<std::string>& channel, const std::string& spectrum,
                           const std::string& figures = kFigureLine) {
  return "00810001\r\n" + join(channel) + "\r\n" + spectrum + "\r\n" + figures + "\x03\r\n";
}

TEST(EchofluxAnswer, ChannelLineSpectrumAndFigures) {
  MeasurementStore store;
  ASSERT_EQ(decodeEchofluxAnswer(echofluxAnswer(channelFields(), "1,2,90,3,0"), 0, echofluxMeter(),
                                 store),
            0);
  const EchofluxReadings& e = store.echoflux[0];
  EXPECT_EQ(e.noiseReading, 30u);
  EXPECT_EQ(e.lowMarkerBin, 16);
  EXPECT_DOUBLE_EQ(store.paths[0].flow, 211.9);
  EXPECT_EQ(e.highMarkerBin, 24);
  EXPECT_DOUBLE_EQ(store.paths[0].flowVelocity, 2.355);
  EXPECT_EQ(e.spectrumBins, 5u);
  EXPECT_EQ(e.fftPeak, 120u);
  EXPECT_EQ(e.fftsPerSecond, 18);
  EXPECT_EQ(e.dopplerFrequency, 800);
  EXPECT_EQ(e.signalStrength, 600);
  EXPECT_DOUBLE_EQ(e.deviation, 40.5);
  EXPECT_TRUE(e.highFlowRange);
  EXPECT_TRUE(e.liquid());
  EXPECT_EQ(e.spectrum[2], 90);
  EXPECT_EQ(e.spectrum[4], 0);
  EXPECT_TRUE(store.site.metricVelocity);
  EXPECT_EQ(store.site.meterTimeText, "21.21.11");

  // A shorter spectrum later clears the bins past its end; "0" is the low range
  // and another fluid value is slurry.
  std::vector<std::string> f = channelFields();
  f[5] = "2";
  f[13] = "0";
  f[14] = "1.25";
  ASSERT_EQ(decodeEchofluxAnswer(echofluxAnswer(f, "7,8"), 0, echofluxMeter(), store), 0);
  EXPECT_EQ(store.echoflux[0].spectrumBins, 2u);
  EXPECT_EQ(store.echoflux[0].spectrum[2], 0);
  EXPECT_FALSE(store.echoflux[0].highFlowRange);
  EXPECT_FALSE(store.echoflux[0].liquid());

  // No bins: the spectrum line is empty.
  f[5] = "0";
  ASSERT_EQ(decodeEchofluxAnswer(echofluxAnswer(f, ""), 0, echofluxMeter(), store), 0);
  EXPECT_EQ(store.echoflux[0].spectrumBins, 0u);
}

TEST(EchofluxAnswer, FaultsLeaveTheStoreAsItWas) {
  struct Case {
    const char* what;
    std::size_t field;  // channel line field to change, or 99 for none
    const char* value;
    const char* spectrum;
    int fault;
  };
  const Case cases[] = {
      {"noise level empty", 0, "", "1,2,90,3,0", 20204},
      {"first marker empty", 1, "", "1,2,90,3,0", 20205},
      {"flow empty", 2, "", "1,2,90,3,0", 20206},
      {"velocity empty", 4, "", "1,2,90,3,0", 20208},
      {"bin count empty", 5, "", "1,2,90,3,0", 20209},
      {"bin count over 256", 5, "257", "1,2,90,3,0", 20210},
      {"FFT peak empty", 6, "", "1,2,90,3,0", 20211},
      {"FFT rate empty", 7, "", "1,2,90,3,0", 20212},
      {"Doppler empty", 8, "", "1,2,90,3,0", 20213},
      {"signal empty", 10, "", "1,2,90,3,0", 20215},
      {"deviation empty", 11, "", "1,2,90,3,0", 20216},
      {"flow range empty", 13, "", "1,2,90,3,0", 20218},
      {"fluid empty", 14, "", "1,2,90,3,0", 20219},
      {"flow range word", 13, "H", "1,2,90,3,0", 20221},
      {"negative integer", 6, "-120", "1,2,90,3,0", 20223},
      {"integer with a point", 8, "800.0", "1,2,90,3,0", 20223},
      {"real with two points", 11, "40.5.1", "1,2,90,3,0", 20222},
      {"real with a sign inside", 2, "21-1", "1,2,90,3,0", 20222},
      {"bin empty", 99, nullptr, "1,,90,3,0", 20224},
      {"too few bins", 99, nullptr, "1,2,90,3", 20225},
      {"too many bins", 99, nullptr, "1,2,90,3,0,0", 20225},
      {"bin not a number", 99, nullptr, "1,2,9O,3,0", 20226},
      {"bin beyond 16 bits", 99, nullptr, "1,2,65536,3,0", 20226},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> f = channelFields();
    if (c.field < f.size()) f[c.field] = c.value;
    MeasurementStore store;
    store.echoflux[0].signalStrength = 9;
    store.paths[0].flow = 3;
    EXPECT_EQ(decodeEchofluxAnswer(echofluxAnswer(f, c.spectrum), 0, echofluxMeter(), store),
              c.fault);
    EXPECT_EQ(store.echoflux[0].signalStrength, 9);
    EXPECT_DOUBLE_EQ(store.paths[0].flow, 3);
    EXPECT_EQ(store.echoflux[0].spectrumBins, 0u);
  }

  // The channel line's field count, a short figure line and an early end.
  MeasurementStore store;
  const MeterFacts facts = echofluxMeter();
  std::vector<std::string> f = channelFields();
  f.push_back("0");
  EXPECT_EQ(decodeEchofluxAnswer(echofluxAnswer(f, "1,2,90,3,0"), 0, facts, store), 20220);
  f.resize(14);
  EXPECT_EQ(decodeEchofluxAnswer(echofluxAnswer(f, "1,2,90,3,0"), 0, facts, store), 20220);
  const std::string nineteen =
      std::string(kFigureLine).substr(0, std::string(kFigureLine).rfind(','));
  EXPECT_EQ(decodeEchofluxAnswer(echofluxAnswer(channelFields(), "1,2,90,3,0", nineteen), 0, facts,
                                 store),
            20305);
  const std::string lines = "00810001\r\n" + join(channelFields()) + "\r\n1,2,90,3,0";
  EXPECT_EQ(decodeEchofluxAnswer(lines + "\x03", 0, facts, store), 20401);
  EXPECT_EQ(decodeEchofluxAnswer("00810001\r\n" + join(channelFields()) + "\x03", 0, facts, store),
            20401);
  EXPECT_EQ(decodeEchofluxAnswer("\r\n\x03\r\n", 0, facts, store), 20402);
  MeterFacts older = facts;
  older.memoryBlock = false;
  EXPECT_EQ(decodeEchofluxAnswer("", 0, older, store), 20401);
  EXPECT_EQ(decodeEchofluxAnswer("00810101\r\n" + join(channelFields()), 0, facts, store), 20108);
  EXPECT_EQ(store.echoflux[0].fftPeak, 0u);
}

// --- Kind-0 figures ----------------------------------------------------------------

TEST(SignalFigures, PathAndSiteReadingsAndTheNullTrackSignal) {
  SignalFigures f;
  f.gainUp = 48;
  f.gainDown = 53;
  f.snrUp = 38.5;
  f.snrDown = 38.1;
  f.adcFill = 72;
  f.envelopeChange = 6;
  f.timeDifference = 85.3;
  f.nanoseconds = true;
  f.flowVelocity = 2.35;
  f.soundSpeed = 4862.2;
  f.metric = true;
  f.searchStateCode = 6;
  f.frequencyCode = 64;
  f.dateText = "12.08.26";
  f.timeText = "21.21.11";
  f.meterTimeValid = parseMeterDateTime(f.dateText, f.timeText, f.meterTime);

  PathReadings path;
  SiteReadings site;
  takeSignalFigures(f, path, site);
  const std::int64_t stamp = site.meterTime.stamp;
  EXPECT_EQ(stamp, 1796764871);  // 2026-12-08 21:21:11
  EXPECT_EQ(path.alcUp, 48);
  EXPECT_EQ(path.alcDown, 53);
  EXPECT_DOUBLE_EQ(path.snrDown, 38.1);
  EXPECT_EQ(path.adcBuffer, 72);
  EXPECT_EQ(path.envelopeChange, 6);
  EXPECT_DOUBLE_EQ(path.deltaTime, 85.3);
  EXPECT_DOUBLE_EQ(path.flowVelocity, 2.35);
  EXPECT_DOUBLE_EQ(path.soundSpeed, 4862.2);
  EXPECT_EQ(path.searchStateCode, 6);
  EXPECT_TRUE(site.metricVelocity);
  EXPECT_TRUE(site.nanoseconds);
  EXPECT_EQ(site.meterTime.stamp, f.meterTime.stamp);

  // A time that fails the rule (taken as sent with extended diagnostics)
  // keeps the last good time stamp.
  f.timeText = "99.99.99";
  f.meterTimeValid = false;
  takeSignalFigures(f, path, site);
  EXPECT_EQ(site.meterTimeText, "99.99.99");
  EXPECT_EQ(site.meterTime.stamp, stamp);

  // The NullTrack signal fills the NullTrack readings only.
  PathReadings nullTrack;
  nullTrack.alcUp = 1;
  takeNullTrackFigures(f, nullTrack);
  EXPECT_TRUE(nullTrack.nullTrackActive);
  EXPECT_EQ(nullTrack.nullTrackAlc, 50);
  EXPECT_DOUBLE_EQ(nullTrack.nullTrackDeltaTime, 85.3);
  EXPECT_EQ(nullTrack.referenceCount, 64);
  EXPECT_EQ(nullTrack.alcUp, 1);
}

TEST(DiagnosticQuery, KindDigitByExtendedDiagnostics) {
  EXPECT_EQ(diagnosticQueryText(true, 2), "qg 228\r");
  EXPECT_EQ(diagnosticQueryText(false, 0), "qg 008\r");
}

}  // namespace
