#include "signal_burst.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "faults.h"
#include "meter.h"
#include "meter_test_util.h"

using namespace tarnlux::meter;
using namespace tarnlux::meter::test;

namespace {

// The signal answer as the service program reads it, written out here from
// its layout: header, burst A, burst B, figures.
struct ReadBurst {
  int marker = -1;
  int alignment = -1;
  std::vector<int> samples;
};

ReadBurst readBurst(const std::string& line) {
  ReadBurst b;
  if (line.size() < 8 ||
      line.substr(0, 8).find_first_not_of("0123456789ABCDEF") != std::string::npos)
    return b;
  b.marker = std::stoi(line.substr(0, 3), nullptr, 16);
  b.alignment = std::stoi(line.substr(3, 3), nullptr, 16);
  int sample = static_cast<signed char>(std::stoi(line.substr(6, 2), nullptr, 16));
  b.samples.push_back(sample);
  for (std::size_t i = 8; i < line.size(); ++i) {
    const int code = static_cast<unsigned char>(line[i]);
    if (code < 33 || code > 127) return ReadBurst{};
    sample += code - 80;
    b.samples.push_back(sample);
  }
  return b;
}

std::vector<std::string> splitLines(const std::string& answer) {
  std::vector<std::string> lines;
  std::string body = answer.substr(0, answer.find('\x03'));
  for (std::size_t pos = 0; pos < body.size();) {
    std::size_t end = body.find("\r\n", pos);
    if (end == std::string::npos) end = body.size();
    lines.push_back(body.substr(pos, end - pos));
    pos = end + 2;
  }
  return lines;
}

std::vector<std::string> fieldsOf(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = line.find(',', start);
    fields.push_back(line.substr(start, comma - start));
    if (comma == std::string::npos) return fields;
    start = comma + 1;
  }
}

Profile liquidProfile() {
  const std::string text =
      "[meter]\ntype = 7326L\nversion = 3.04.02M\ncapabilities = 10118\nmemory_block = yes\n"
      "metric = no\n"
      "[signal]\nsound_speed = 4862.2\narrival_up = 112.540\narrival_down = 112.455\n"
      "adc_fill = 72\nsnr_up = 38.5\nsnr_down = 38.1\nenvelope = 6\n"
      "[cv]\nabar = unsigned 3FF\nmake_state = short 6\ndelta_t = double 8.53e-8\n"
      "delta_t@1 = 1.5e-9\nfx = int 64\nvfv = double 2.3456\nid = char[8] LIQ01234\n"
      "[qm]\nalc_avg = int 67072\nalc_avg@1 = 68352\n";
  Profile p;
  std::string error;
  EXPECT_TRUE(parseProfile(text, "test", p, error)) << error;
  return p;
}

class SignalBurstTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
  }
  std::vector<std::string> query(Meter& m, const std::string& code) {
    return splitLines(m.execute("qg " + code));
  }
  Meter meter{liquidProfile(), 11, [] { return kFixedTime; }};
};

}  // namespace

TEST_F(SignalBurstTest, SampleCountsPerResolutionAndBothBurstsAlike) {
  for (const auto& [code, count] :
       {std::pair{"001", 1024u}, {"002", 512u}, {"003", 341u}, {"008", 256u}, {"101", 1024u}}) {
    const std::vector<std::string> lines = query(meter, code);
    ASSERT_EQ(lines.size(), 4u) << code;
    const ReadBurst a = readBurst(lines[1]);
    const ReadBurst b = readBurst(lines[2]);
    EXPECT_EQ(a.samples.size(), count) << code;
    EXPECT_EQ(b.samples.size(), count) << code;
    EXPECT_LE(lines[1].size(), 1031u);
    for (const ReadBurst* burst : {&a, &b}) {
      EXPECT_LT(burst->marker, static_cast<int>(count));
      EXPECT_LT(burst->alignment, static_cast<int>(count));
      EXPECT_GT(burst->alignment, burst->marker) << "the reference point lies after the arrival";
    }
  }
}

TEST_F(SignalBurstTest, NoiseThenABurstAndTheDownstreamBurstAhead) {
  const std::vector<std::string> lines = query(meter, "001");
  const ReadBurst a = readBurst(lines[1]);
  const ReadBurst b = readBurst(lines[2]);
  const auto peak = [](const std::vector<int>& s, int from, int to) {
    int m = 0;
    for (int i = from; i < to; ++i) m = std::max(m, std::abs(s[static_cast<std::size_t>(i)]));
    return m;
  };
  // Before the arrival only noise; after it a burst that fits the plot (64 counts).
  EXPECT_LT(peak(a.samples, 0, a.marker - 10), 8);
  EXPECT_GT(peak(a.samples, a.marker, a.marker + 200), 35);
  EXPECT_LE(peak(a.samples, 0, 1024), 64);
  // Forward flow: B arrives a few samples before A, its reference point too,
  // and the offset the figures give lines B up with A.
  EXPECT_GT(a.marker - b.marker, 2);
  EXPECT_LT(a.marker - b.marker, 12);
  EXPECT_EQ(a.alignment - b.alignment, a.marker - b.marker);
  EXPECT_EQ(fieldsOf(lines[3])[21], std::to_string(b.marker - a.marker));

  // The carrier swings both ways; the envelope (kind 1) does not.
  int negative = 0;
  for (int s : a.samples) negative += s < -20;
  EXPECT_GT(negative, 5);
  const ReadBurst e = readBurst(query(meter, "101")[1]);
  EXPECT_GE(*std::min_element(e.samples.begin(), e.samples.end()), 0);
  EXPECT_GT(*std::max_element(e.samples.begin(), e.samples.end()), 35);
}

TEST_F(SignalBurstTest, FiguresAgreeWithTheMetersVariables) {
  std::vector<std::string> f = fieldsOf(query(meter, "001")[3]);
  ASSERT_EQ(f.size(), 22u);
  EXPECT_EQ(f[0], "LIQ01234");
  EXPECT_EQ(f[1], "7326L");
  EXPECT_EQ(f[2], "3.04.02M");
  EXPECT_EQ(f[3], "03.14.26");
  EXPECT_EQ(f[4], "09.26.53");
  EXPECT_EQ(f[5], "2.3456");   // vfv
  EXPECT_EQ(f[6], "4862.20");  // the profile's sound speed
  EXPECT_EQ(f[7], "E");
  EXPECT_EQ(f[8], "85.300");  // delta_t in nanoseconds on a liquid meter
  EXPECT_EQ(f[9], "n");
  EXPECT_EQ(f[10], "112.540");
  EXPECT_EQ(f[11], "112.455");
  EXPECT_EQ(f[13], "50");           // (4096 - 67072 / 32) / 40
  EXPECT_EQ(f[14], "49");           // index 1: (4096 - 68352 / 32) / 40
  EXPECT_EQ(f[15], "Measurement");  // memory-block meters name the search state
  EXPECT_EQ(f[16], "72");
  EXPECT_EQ(f[17], "38.5");
  EXPECT_EQ(f[18], "38.1");
  EXPECT_EQ(f[19], "6");
  EXPECT_EQ(f[20], "64");  // fx

  // Another channel digit (here the NullTrack digit 1) reads that index's variables.
  f = fieldsOf(query(meter, "011")[3]);
  EXPECT_EQ(f[8], "1.500");
  EXPECT_EQ(f[14], "50");  // alc_avg indexes 2 and 3 hold the definition's value
  EXPECT_EQ(query(meter, "011")[0], "01101181");

  // Older meters: search state as a code, no offset, answers end with CR LF.
  Profile older = liquidProfile();
  older.memoryBlock = false;
  Meter old(older, 3, [] { return kFixedTime; });
  const std::string text = old.execute("qg 001");
  EXPECT_TRUE(text.ends_with("\r\n"));
  EXPECT_EQ(text.find('\x03'), std::string::npos);
  f = fieldsOf(splitLines(text)[3]);
  ASSERT_EQ(f.size(), 21u);
  EXPECT_EQ(f[15], "6");
}

TEST_F(SignalBurstTest, EncodingCarriesStepsUpToFortySevenAndCatchesUp) {
  Burst burst;
  burst.marker = 0x12;
  burst.alignment = 0xAB;
  burst.samples = {-3, 44, -60, -60, 0};
  const std::string line = encodeBurst(burst);
  EXPECT_EQ(line.substr(0, 8), "0120ABFD");
  const ReadBurst read = readBurst(line);
  // +47 is DEL (127); -104 needs three characters of -47 and a catch-up.
  EXPECT_EQ(read.samples, (std::vector<int>{-3, 44, -3, -50, -3}));
  EXPECT_EQ(line[8], '\x7f');
}

TEST_F(SignalBurstTest, FaultSwitches) {
  FaultSet faults;
  std::string error;
  ASSERT_TRUE(parseFaults("no-signal=0,bad-signal=figures", faults, error)) << error;
  EXPECT_EQ(faults.signal.noSignal, 1u);
  EXPECT_EQ(faults.signal.malformed, SignalFaults::Malformed::Figures);
  EXPECT_FALSE(parseFaults("bad-signal=nonsense", faults, error));
  EXPECT_FALSE(parseFaults("no-signal", faults, error));

  meter.applyStateFaults(faults);
  EXPECT_EQ(meter.execute("qg 001"), "00101181\r\n\x03\r\n") << "the header alone";
  EXPECT_EQ(fieldsOf(query(meter, "011")[3]).size(), 20u);

  const auto faultyAnswer = [&](const std::string& what) {
    FaultSet f;
    EXPECT_TRUE(parseFaults("bad-signal=" + what, f, error)) << error;
    Meter faulty(liquidProfile(), 5, [] { return kFixedTime; });
    faulty.applyStateFaults(f);
    return query(faulty, "001");
  };
  EXPECT_EQ(readBurst(faultyAnswer("head")[1]).marker, -1);
  EXPECT_TRUE(readBurst(faultyAnswer("char")[1]).samples.empty());
  const std::vector<std::string> shortB = faultyAnswer("length");
  EXPECT_EQ(shortB[2].size() + 1, shortB[1].size());
  EXPECT_EQ(faultyAnswer("long")[1].size(), 1032u);
}
