// The meter's diagnostic answers: the extended answer (kind 2), the Echoflux
// channel answer (kind 0 on an Echoflux channel), the drift of the readings
// and the units fault.

#include "diag_answers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "drift.h"
#include "meter.h"
#include "meter_test_util.h"
#include "profile.h"

using namespace tarnlux::meter;
using namespace tarnlux::meter::test;

namespace {

std::vector<std::string> linesOf(const std::string& answer) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = answer.find("\r\n", start);
    if (end == std::string::npos) break;
    lines.push_back(answer.substr(start, end - start));
    start = end + 2;
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

Profile shipped(const char* name) {
  Profile p;
  std::string error;
  EXPECT_TRUE(loadProfile(name, p, error)) << error;
  return p;
}

class DiagAnswers : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
  }
  // The field line of "qg 2P8" (the ETX at its end taken off).
  static std::vector<std::string> extended(Meter& m, int path) {
    const std::vector<std::string> lines = linesOf(m.execute("qg 2" + std::to_string(path) + "8"));
    EXPECT_EQ(lines.size(), 2u);
    std::string line = lines.size() > 1 ? lines[1] : std::string();
    if (!line.empty() && line.back() == '\x03') line.pop_back();
    return fieldsOf(line);
  }
};

TEST_F(DiagAnswers, ExtendedAnswerLayout) {
  std::time_t now = kFixedTime;
  Meter m(shipped("gas4"), 7, [&now] { return now; });
  EXPECT_EQ(linesOf(m.execute("qg 218"))[0], "21803FF4");
  now += 61;  // the meter's clock moves on
  const std::vector<std::string> f = extended(m, 1);
  ASSERT_EQ(f.size(), 38u);
  EXPECT_EQ(f[0], "03.14.26");
  EXPECT_EQ(f[1], "09.27.54");
  for (int i : {2, 3, 4, 5, 6, 7, 19, 20, 21, 22})
    EXPECT_FALSE(f[static_cast<std::size_t>(i)].empty()) << i;
  EXPECT_EQ(f[8], "M");
  EXPECT_EQ(f[10], "u");
  EXPECT_EQ(f[18], "128") << "the NullTrack index's frequency code";
  EXPECT_EQ(f[24], "M3/HR");
  EXPECT_EQ(f[26], "M3");
  EXPECT_EQ(f[27], "1") << "path 2 runs NullTrack";
  EXPECT_FALSE(f[28].empty());
  EXPECT_EQ(f[30], "3FF");
  EXPECT_EQ(f[32], "0");
  EXPECT_EQ(f[34], "Measurement");
  EXPECT_EQ(f[36], "C");

  // Path 4 has no NullTrack; a liquid meter leaves the gas positions empty.
  const std::vector<std::string> p4 = extended(m, 3);
  EXPECT_EQ(p4[27], "0");
  EXPECT_TRUE(p4[28].empty());
  Meter liquid(shipped("liquid1"), 7, [] { return kFixedTime; });
  const std::vector<std::string> l = extended(liquid, 0);
  ASSERT_EQ(l.size(), 38u);
  EXPECT_TRUE(l[3].empty()) << "channel 2 does not exist";
  for (int i : {20, 21, 22, 23}) EXPECT_TRUE(l[static_cast<std::size_t>(i)].empty()) << i;
  EXPECT_EQ(l[8], "E");
  EXPECT_EQ(l[10], "n");
  EXPECT_EQ(l[36], "F");

  // Without the memory block: the header alone.
  Meter old(shipped("old"), 7, [] { return kFixedTime; });
  EXPECT_EQ(old.execute("qg 208"), "2080010\r\n");
}

TEST_F(DiagAnswers, FailuresShowInTheStatusWordAndTheSearchState) {
  Meter m(shipped("gas4"), 7, [] { return kFixedTime; });
  FaultSet faults;
  std::string error;
  ASSERT_TRUE(parseFaults("not-measuring=2,nulltrack-fail=0", faults, error)) << error;
  m.applyStateFaults(faults);
  const std::vector<std::string> failed = extended(m, 2);
  EXPECT_EQ(failed[30], "3EF");
  EXPECT_EQ(failed[34], "TNSRCH");
  EXPECT_EQ(failed[33], "0");
  const std::vector<std::string> nullTrack = extended(m, 0);
  EXPECT_EQ(nullTrack[30], "3FD");
  EXPECT_EQ(nullTrack[27], "0");
  EXPECT_TRUE(nullTrack[28].empty());
  // The variables the older program reads agree.
  EXPECT_EQ(Reader::token(m.execute("cv 2 make_state"), "short", "make_state"), "3");
}

TEST_F(DiagAnswers, EchofluxChannelAnswer) {
  Meter m(shipped("echoflux"), 3, [] { return kFixedTime; });
  const std::string text = m.execute("qg 008");
  ASSERT_TRUE(text.ends_with("\x03\r\n"));
  const std::vector<std::string> lines = linesOf(text);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "00810001");
  const std::vector<std::string> channel = fieldsOf(lines[1]);
  ASSERT_EQ(channel.size(), 15u);
  const int bins = std::atoi(channel[5].c_str());
  EXPECT_EQ(bins, 64);
  EXPECT_EQ(fieldsOf(lines[2]).size(), static_cast<std::size_t>(bins));
  for (const std::string& bin : fieldsOf(lines[2]))
    EXPECT_EQ(bin.find_first_not_of("0123456789"), std::string::npos) << bin;
  EXPECT_LT(std::atoi(channel[1].c_str()), std::atoi(channel[3].c_str()));
  EXPECT_TRUE(channel[13] == "0" || channel[13] == "1");
  const std::vector<std::string> figures = fieldsOf(lines[3].substr(0, lines[3].size() - 1));
  EXPECT_GE(figures.size(), 20u);
  EXPECT_EQ(figures[0], "ECHO0001");
  // The signal graph's resolutions still get bursts.
  EXPECT_EQ(linesOf(m.execute("qg 001"))[1].size(), 1031u);
}

TEST_F(DiagAnswers, DriftRepeatsWithTheSeedAndCrossesTheLimits) {
  const auto run = [](std::uint32_t seed) {
    Meter m(shipped("liquid1"), seed, [] { return kFixedTime; });
    std::vector<std::vector<std::string>> answers;
    for (int i = 0; i < 200; ++i) answers.push_back(extended(m, 0));
    return answers;
  };
  const auto first = run(42);
  EXPECT_EQ(first, run(42));
  EXPECT_NE(first, run(43));

  // Over 200 passes: the gains, SNRs and % accepted each leave the green
  // band now and then, go red at times, and come back.
  int alcWarning = 0, alcFail = 0, snrOut = 0, acceptedOut = 0, correlationOut = 0;
  int green = 0;
  for (const auto& f : first) {
    const int alc = std::min(std::atoi(f[11].c_str()), std::atoi(f[12].c_str()));
    alcWarning += alc < 30 && alc >= 20;
    alcFail += alc < 20;
    snrOut += std::min(std::atof(f[15].c_str()), std::atof(f[16].c_str())) < 20.0;
    acceptedOut += std::atoi(f[33].c_str()) < 90;
    correlationOut += std::atof(f[31].c_str()) > 0.75;
    green += alc >= 30;
  }
  EXPECT_GT(alcWarning + alcFail, 0);
  EXPECT_GT(snrOut, 0);
  EXPECT_GT(acceptedOut, 0);
  EXPECT_GT(correlationOut, 0);
  EXPECT_GT(green, 150) << "mostly in order";
}

TEST_F(DiagAnswers, DriftStaysWithinItsCourse) {
  const Drift drift(9);
  const DriftCourse course{50, 3, 25, 15};
  for (int k = 0; k < 500; ++k) {
    const double v = drift.value(DriftQuantity::Gain, 0, k, course);
    const int e = drift.excursion(DriftQuantity::Gain, 0, k);
    if (k < kDriftBlock) {
      EXPECT_EQ(e, 0) << k;
    }
    const double centre = e == 0 ? 50 : e == 1 ? 25 : 15;
    EXPECT_LE(std::abs(v - centre), 3.0001) << k;
  }
  // The first answer of a path (the identification at connect) is the base.
  EXPECT_EQ(drift.value(DriftQuantity::Gain, 0, 0, course), 50);
  EXPECT_EQ(drift.value(DriftQuantity::Gain, 0, 1, course), 50);
}

TEST_F(DiagAnswers, UnitsChangeSwitchesVelocitiesAndFlowUnits) {
  Meter m(shipped("liquid1"), 5, [] { return kFixedTime; });
  FaultSet faults;
  std::string error;
  ASSERT_TRUE(parseFaults("units-change=2", faults, error)) << error;
  EXPECT_FALSE(parseFaults("units-change", faults, error));
  EXPECT_FALSE(parseFaults("units-change=0", faults, error));
  m.applyStateFaults(faults);

  std::vector<std::string> f = extended(m, 0);
  f = extended(m, 0);
  EXPECT_EQ(f[8], "E");
  EXPECT_EQ(f[24], "GAL/MIN");
  const double feet = std::atof(f[2].c_str());
  f = extended(m, 0);  // the third diagnostic query
  EXPECT_EQ(f[8], "M");
  EXPECT_EQ(f[24], "L/MIN");
  EXPECT_NEAR(std::atof(f[2].c_str()), feet / 3.28084, 0.05);
  EXPECT_NEAR(std::atof(f[7].c_str()), 1482.0, 5.0);
  // The variables and the signal answer follow.
  EXPECT_EQ(Reader::text(m.execute("cv 0 flegend")), "L/MIN");
  EXPECT_NEAR(std::atof(Reader::token(m.execute("cv 0 vfv"), "double", "vfv").c_str()),
              feet / 3.28084, 0.05);
  EXPECT_EQ(fieldsOf(linesOf(m.execute("qg 001"))[3])[7], "M");
}

}  // namespace

namespace {

TEST_F(DiagAnswers, NullTrackReadingsLieAboveThePaths) {
  Meter gas(shipped("gas4"), 1, [] { return kFixedTime; });
  EXPECT_EQ(nullTrackIndex(gas, 0), 5);
  EXPECT_EQ(nullTrackIndex(gas, 1), 6);
  EXPECT_EQ(nullTrackIndex(gas, 2), -1);
  Meter old(shipped("oldnulltrack"), 1, [] { return kFixedTime; });
  for (const char* v :
       {"abar", "accept", "rep_rate", "make_state", "sigstr", "delta_t", "fx", "vfv", "flegend",
        "stdflow", "totmod", "mtotal", "ptotal", "ntotal", "tlegend"}) {
    EXPECT_NE(old.cv().find(v), nullptr) << v;
  }
  EXPECT_EQ(nullTrackIndex(old, 0), 2);
  EXPECT_EQ(nullTrackIndex(old, 1), -1);
  // The NullTrack digit of the kind-0 query reads that index's figures:
  // 1.2e-8 s in nanoseconds, the NullTrack gain 47, frequency code 96.
  const std::vector<std::string> f = fieldsOf(linesOf(old.execute("qg 028"))[3]);
  ASSERT_EQ(f.size(), 21u);
  EXPECT_NEAR(std::atof(f[8].c_str()), 12.0, 1.0);
  EXPECT_NEAR(std::atoi(f[13].c_str()), 47, 4);
  EXPECT_EQ(f[20], "96");
}

}  // namespace
