// The periodic query loop on a ManualClock with a scripted meter: path
// choice, periods, late periods, the capture's life and the failure rules.

#include "diag/query_loop.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "capture_scenarios.h"
#include "common/profile_file.h"
#include "common/result.h"
#include "test_context.h"

using namespace tarnlux;
using namespace tarnlux::test;

namespace {

constexpr std::uint32_t kSinglePathFlags = 0x10010;  // channel 1 in transit time
constexpr std::uint32_t kFourPathFlags = 0x403FF;    // multipath site, four paths

struct PathCall {
  PathRead read;
  bool quiet = false;
};

// A meter whose answers the test scripts: every path read succeeds with
// healthy readings unless `failures` holds a code for that call.
class ScriptedMeter final : public QueryLoopMeter {
 public:
  MeterFacts meterFacts;
  unsigned failed = 0;
  bool tcp = false;
  int reopenResult = kOk;
  int reopens = 0;
  std::deque<int> failures;  // results of the next readPath calls
  std::vector<PathCall> calls;
  std::vector<std::string> variables;  // names read, in order
  double velocity = 1.0;               // what the next answers carry
  std::string flowUnits = "GAL/MIN";
  std::vector<LastReportStamp> recorded;
  std::deque<int> headerFailures;  // results of the next captureHeaderFacts calls
  std::vector<bool> headerQuiet;

  bool connected() const override { return true; }
  const MeterFacts& facts() const override { return meterFacts; }
  unsigned failedPaths() const override { return failed; }
  bool tcpLink() const override { return tcp; }
  int reopenLink(OperationContext&) override {
    ++reopens;
    return reopenResult;
  }
  int readPath(const PathRead& read, MeasurementStore& store, OperationContext& ctx) override {
    calls.push_back({read, ctx.quiet});
    const int rc = failures.empty() ? kOk : failures.front();
    if (!failures.empty()) failures.pop_front();
    if (rc > 0) ctx.report("Impossible de recevoir des donnees", rc);
    if (rc != kOk) return rc;
    PathReadings& p = store.paths[static_cast<std::size_t>(read.path)];
    p.flowVelocity = velocity;
    p.flow = velocity * 10;
    p.statusWord = 0x3FF;
    p.searchStateText = "Measurement";
    setMeterTime(store, "03.14.24", "10.00.00");
    store.site.flowUnitsText = flowUnits;
    return kOk;
  }
  int readDouble(std::string_view n, int, double& v, OperationContext&) override {
    v = velocity;
    return noted(n);
  }
  int readInt(std::string_view n, int, std::int32_t& v, OperationContext&) override {
    v = 1;
    return noted(n);
  }
  int readUnsigned(std::string_view n, int, std::uint32_t& v, OperationContext&) override {
    v = 0x3FF;
    return noted(n);
  }
  int readText(std::string_view n, int, std::string& v, OperationContext&) override {
    v = flowUnits;
    return noted(n);
  }
  int noted(std::string_view name) {
    variables.emplace_back(name);
    return kOk;
  }
  int captureHeaderFacts(unsigned paths, CaptureHeaderFacts& facts,
                         OperationContext& ctx) override {
    headerQuiet.push_back(ctx.quiet);
    const int rc = headerFailures.empty() ? kOk : headerFailures.front();
    if (!headerFailures.empty()) headerFailures.pop_front();
    if (rc > 0) ctx.report("Impossible de recevoir des donnees", rc);
    if (rc != kOk) return rc;
    fillCaptureFacts(facts, meterFacts);
    facts.capturedPaths = paths;
    return kOk;
  }
  int recordCaptureStart(const LastReportStamp& stamp, OperationContext&) override {
    recorded.push_back(stamp);
    return kOk;
  }
};

// Log bytes kept in memory; appends past `capacity` fail as a full disk does.
class MemorySink final : public CaptureSink {
 public:
  MemorySink(std::string* bytes, std::size_t capacity) : bytes_(bytes), capacity_(capacity) {}
  int append(std::string_view data) override {
    if (bytes_->size() + data.size() > capacity_) return ENOSPC;
    bytes_->append(data);
    return 0;
  }
  int close() override { return 0; }

 private:
  std::string* bytes_;
  std::size_t capacity_;
};

// Waiting moves the ManualClock; `overshootMs` makes the next wait overrun.
class RecordingHost final : public QueryLoopHost {
 public:
  ManualClock* clock = nullptr;
  std::int64_t overshootMs = 0;
  std::vector<std::string> statuses;
  std::vector<QueryPeriodReport> periods;
  std::vector<std::int64_t> periodTimes;
  std::vector<CaptureEndReport> ends;
  int closes = 0;
  std::string log;
  std::size_t capacity = std::string::npos;
  std::function<void(int periodCount)> afterPeriod;

  void showStatus(const std::string& text) override { statuses.push_back(text); }
  void idle(std::int64_t clockMs) override {
    clock->advance(clockMs + overshootMs);
    overshootMs = 0;
  }
  void periodDone(const QueryPeriodReport& report) override {
    periods.push_back(report);
    periodTimes.push_back(clock->nowMs());
    if (afterPeriod) afterPeriod(static_cast<int>(periods.size()));
  }
  void captureEnded(const CaptureEndReport& report) override { ends.push_back(report); }
  void closeScreen() override { ++closes; }
  int openCaptureSink(const CaptureTarget&, std::unique_ptr<CaptureSink>& sink,
                      std::string&) override {
    sink = std::make_unique<MemorySink>(&log, capacity);
    return 0;
  }
  std::string lastStatus() const { return statuses.empty() ? "" : statuses.back(); }
};

struct Rig {
  ManualClock clock;
  RecordingContext recording;
  ScriptedMeter meter;
  RecordingHost host;
  std::unique_ptr<TrendStore> trend = std::make_unique<TrendStore>();
  std::unique_ptr<MeasurementStore> store = std::make_unique<MeasurementStore>();
  std::unique_ptr<QueryLoop> loop;
  TempDir dir;
  int pumps = 0;

  explicit Rig(QueryHostKind kind, std::uint32_t flags = kSinglePathFlags, bool extended = true) {
    MeterFacts& f = meter.meterFacts;
    applyCapabilityWord(f, flags, true);
    f.extendedDiagnostics = extended;
    f.selectedChannel = f.multiPath ? -1 : 0;
    host.clock = &clock;
    OperationContext ctx = recording.ctx;
    ctx.clock = &clock;
    // A loop that never ends fails the test instead of hanging it.
    ctx.pump = [this] {
      if (++pumps > 100000) {
        ADD_FAILURE() << "the loop did not end";
        loop->requestStop();
      }
    };
    loop = std::make_unique<QueryLoop>(kind, meter, host, *trend, *store, ctx);
  }

  CaptureRequest capture(int lengthSeconds) const {
    return {dir.path(), "LOG.CSV", "", lengthSeconds, dir.file("quillmap.ini")};
  }
  void stopAfterPeriods(int n) {
    host.afterPeriod = [this, n](int count) {
      if (count >= n) loop->requestStop();
    };
  }
};

// Data rows of a log: the lines between the heading row and the summary.
std::vector<std::string> dataRows(const std::string& log) {
  std::vector<std::string> rows;
  std::size_t at = log.find("\r\n\r\nDate,Heure");
  if (at == std::string::npos) return rows;
  at = log.find("\r\n", at + 4) + 2;
  while (at < log.size()) {
    const std::size_t end = log.find("\r\n", at);
    if (end == std::string::npos || end == at) break;
    rows.push_back(log.substr(at, end - at));
    at = end + 2;
  }
  return rows;
}

std::string sampleCount(const std::string& log) {
  const std::size_t at = log.find("Nbre d'echantillons,");
  return at == std::string::npos ? "" : log.substr(at + 20, log.find("\r\n", at) - at - 20);
}

TEST(QueryLoopRules, ActivePathsAndPeriodByHostAndMeter) {
  struct Case {
    const char* name;
    std::uint32_t flags;
    int channel;
    bool echoflux;
    bool extended;
    unsigned failed;
    QueryHostKind host;
    unsigned mask;
    bool allFailed;
    int period;
  };
  using H = QueryHostKind;
  const Case cases[] = {
      {"multipath, four paths, extended", 0x403FF, -1, false, true, 0x3, H::Diagnostic, 0xF, false,
       6},
      {"multipath without extended on the diagnostic screen", 0x403FF, -1, false, false, 0x0,
       H::Diagnostic, 0xF, false, 12},
      {"failed paths dropped without extended", 0x403FF, -1, false, false, 0x5, H::Diagnostic, 0xA,
       false, 6},
      {"trend keeps the short period", 0x403FF, -1, false, false, 0x0, H::Trend, 0xF, false, 6},
      {"summary doubles like the diagnostic screen", 0x40037, -1, false, false, 0, H::Summary, 0x3,
       false, 6},
      {"echoflux paths never on a multipath site", 0x4F0FF, -1, false, true, 0, H::Diagnostic, 0x0,
       false, 0},
      {"single transit-time channel", 0x10030, 1, false, true, 0, H::Trend, 0x2, false, 3},
      {"single channel in the other mode", 0x10030, 1, true, true, 0, H::Diagnostic, 0x0, false, 0},
      {"echoflux channel", 0x11000, 0, true, true, 0, H::Diagnostic, 0x1, false, 3},
      {"no channel", 0x10010, -1, false, true, 0, H::Diagnostic, 0x0, false, 0},
      {"all failed: diagnostic screen reads variables", 0x10010, 0, false, false, 0x1,
       H::Diagnostic, 0x1, true, 6},
      {"all failed: the trend has nothing", 0x10010, 0, false, false, 0x1, H::Trend, 0x0, false, 0},
      {"failed paths kept with extended diagnostics", 0x10010, 0, false, true, 0x1, H::Trend, 0x1,
       false, 3},
  };
  for (const Case& c : cases) {
    MeterFacts f;
    applyCapabilityWord(f, c.flags, true);
    f.selectedChannel = c.channel;
    f.echofluxMode = c.echoflux;
    f.extendedDiagnostics = c.extended;
    const ActivePathChoice choice = chooseActivePaths(f, c.failed, c.host);
    EXPECT_EQ(choice.mask, c.mask) << c.name;
    EXPECT_EQ(choice.allFailed, c.allFailed) << c.name;
    if (c.mask != 0) {
      EXPECT_EQ(queryPeriodSeconds(__builtin_popcount(c.mask), c.host, c.extended), c.period)
          << c.name;
    }
  }
  // The late-period rule in hundredths.
  EXPECT_EQ(periodsToMakeUp(700, 300, 3), 2);
  EXPECT_EQ(periodsToMakeUp(590, 300, 3), 1);
  EXPECT_EQ(periodsToMakeUp(1200, 300, 3), 4);
  EXPECT_EQ(hundredthsOf(4'567), 456);
}

TEST(QueryLoop, PathsOfAPeriodBackToBackThenIdleUntilDue) {
  Rig rig(QueryHostKind::Summary, kFourPathFlags, /*extended=*/false);
  rig.meter.meterFacts.gasMeter = true;
  rig.stopAfterPeriods(2);
  EXPECT_EQ(rig.loop->run(), QueryLoopEnd::Stopped);
  EXPECT_EQ(rig.host.lastStatus(), kQuerySummaryStoppedText);
  EXPECT_FALSE(queryLoopRunning());
  ASSERT_EQ(rig.meter.calls.size(), 8u);
  for (std::size_t i = 0; i < 8; ++i) {
    EXPECT_EQ(rig.meter.calls[i].read.path, static_cast<int>(i % 4));
    EXPECT_EQ(rig.meter.calls[i].read.lastPathOfPass, i % 4 == 3);
    EXPECT_TRUE(rig.meter.calls[i].read.variableReads);
  }
  // Four paths without extended diagnostics on the summary: every 12 s.
  EXPECT_EQ(rig.host.periodTimes[1] - rig.host.periodTimes[0], 12'000);
  // Per path the velocity and units; on the last the gas, site and total reads.
  EXPECT_EQ(
      std::vector<std::string>(rig.meter.variables.begin(), rig.meter.variables.begin() + 13),
      (std::vector<std::string>{"vfv", "flegend", "vfv", "flegend", "vfv", "flegend", "vfv",
                                "flegend", "stdflow", "abar", "totmod", "ptotal", "tlegend"}));
  EXPECT_EQ(rig.loop->siteStatusWord(), 0x3FFu);

  // The trend graph with extended diagnostics makes the query alone.
  Rig trend(QueryHostKind::Trend);
  trend.stopAfterPeriods(1);
  trend.loop->run();
  ASSERT_EQ(trend.meter.calls.size(), 1u);
  EXPECT_FALSE(trend.meter.calls[0].read.variableReads);
  EXPECT_TRUE(trend.meter.variables.empty());
  EXPECT_EQ(trend.host.lastStatus(), kQueryGraphStoppedText);
}

TEST(QueryLoop, ALatePassMakesUpWholePeriodsWithInterpolatedPointsAndRows) {
  for (const auto& [lateMs, periods] : {std::pair{4000, 2}, std::pair{2900, 1}}) {
    Rig rig(QueryHostKind::Diagnostic);  // one path, extended: 3 s
    double firstMadeUpRow = 0;
    rig.host.afterPeriod = [&, late = lateMs](int count) {
      if (count == 1) {
        rig.meter.velocity = 3.0;
        rig.host.overshootMs = late;  // the wait for period 2 overruns
      }
      // What a host grades each row by (the report is valid during the call).
      if (count == 2) {
        firstMadeUpRow = capturedRowReadings(rig.host.periods.back(), 1).paths[0].flowVelocity;
      }
      if (count == 3) rig.loop->requestStop();
    };
    rig.loop->pressCaptureButton(rig.capture(0));
    ASSERT_EQ(rig.host.periods.size(), 3u) << lateMs;
    EXPECT_EQ(rig.host.periods[1].periods, periods);
    EXPECT_EQ(rig.host.periods[1].rowsWritten, periods);
    EXPECT_EQ(rig.host.periods[1].firstRow, 2);
    // The due time moved by d periods.
    EXPECT_EQ(rig.host.periodTimes[2] - rig.host.periodTimes[0], (periods + 1) * 3000);
    EXPECT_EQ(rig.trend->validCount(), 2 + periods);
    const std::vector<std::string> rows = dataRows(rig.host.log);
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(2 + periods));
    if (periods == 2) {
      // The first made-up point and row lie halfway.
      EXPECT_DOUBLE_EQ(rig.trend->sample(0, 0, rig.trend->slotOfOldest(1)), 2.0);
      EXPECT_NE(rows[1].find(",2.000,"), std::string::npos) << rows[1];
      EXPECT_DOUBLE_EQ(firstMadeUpRow, 2.0);
    }
  }
}

TEST(QueryLoop, ThirtySecondsAtSixSecondsWritesFiveRowsThenTheSummary) {
  Rig rig(QueryHostKind::Diagnostic, kSinglePathFlags, /*extended=*/false);
  rig.stopAfterPeriods(7);
  rig.loop->pressCaptureButton(rig.capture(30));
  EXPECT_EQ(rig.loop->periodSeconds(), 6);
  ASSERT_EQ(rig.host.ends.size(), 1u);
  EXPECT_TRUE(rig.host.ends[0].opened);
  EXPECT_EQ(rig.host.ends[0].rows, 5);
  EXPECT_TRUE(rig.host.ends[0].summaryWritten);
  EXPECT_EQ(dataRows(rig.host.log).size(), 5u);
  EXPECT_EQ(sampleCount(rig.host.log), "5");
  // Querying went on after the log closed.
  EXPECT_EQ(rig.host.periods[5].rowsWritten, 0);
  // Without extended diagnostics nothing is written into the meter or the
  // report generator's settings.
  EXPECT_TRUE(rig.meter.recorded.empty());
  EXPECT_EQ(readWholeFile(rig.dir.file("quillmap.ini")), "");
}

TEST(QueryLoop, StopAfterOneRowWritesItsSummaryAndRemembersTheLog) {
  Rig rig(QueryHostKind::Diagnostic);
  rig.stopAfterPeriods(1);
  rig.loop->pressCaptureButton(rig.capture(0));
  EXPECT_EQ(rig.host.lastStatus(), kQueryGraphStoppedText);
  ASSERT_EQ(rig.host.ends.size(), 1u);
  EXPECT_TRUE(rig.host.ends[0].summaryWritten);
  const std::vector<std::string> rows = dataRows(rig.host.log);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].rfind("03-14-24,10:00:00,", 0), 0u) << rows[0];
  EXPECT_EQ(sampleCount(rig.host.log), "1");
  // With extended diagnostics the capture start goes into the meter and the
  // log is remembered for the report generator.
  ASSERT_EQ(rig.meter.recorded.size(), 1u);
  EXPECT_EQ(rig.meter.recorded[0].date, "03-14-24");
  EXPECT_EQ(rig.meter.recorded[0].time, "10:00");
  EXPECT_EQ(readProfileString(rig.dir.file("quillmap.ini"), "LAST_REPORT", "FILENAME"),
            rig.dir.file("LOG.CSV"));
}

TEST(QueryLoop, CancelledExchangesAndFailedChannelsEndTheLoopWithTheSummaryOfWhatWasWritten) {
  for (const int code : {kCancelled, kChannelNotReady}) {
    Rig rig(QueryHostKind::Diagnostic);
    rig.meter.tcp = true;
    rig.meter.failures = {kOk, code};
    rig.loop->pressCaptureButton(rig.capture(0));
    EXPECT_EQ(rig.meter.reopens, 0) << code;
    if (code == kCancelled) {
      EXPECT_TRUE(rig.recording.errors.empty());
    } else {
      // The channel's failure is not mended by reconnecting: its message,
      // kept back on the quiet first attempt, is still shown once.
      ASSERT_EQ(rig.recording.errors.size(), 1u);
      EXPECT_NE(rig.recording.errors[0].find("Echec canal 1"), std::string::npos);
    }
    ASSERT_EQ(rig.host.ends.size(), 1u);
    EXPECT_TRUE(rig.host.ends[0].summaryWritten) << code;
    EXPECT_EQ(rig.host.ends[0].rows, 1);
  }
}

TEST(QueryLoop, OneTcpReconnectionPerRunThenTheFailureIsReported) {
  Rig rig(QueryHostKind::Diagnostic);
  rig.meter.tcp = true;
  rig.meter.failures = {kOk, 10054, kOk, 10054};
  rig.loop->pressCaptureButton(rig.capture(0));
  ASSERT_EQ(rig.meter.calls.size(), 4u);
  EXPECT_TRUE(rig.meter.calls[1].quiet);   // the first failure says nothing
  EXPECT_FALSE(rig.meter.calls[2].quiet);  // the retry after reconnecting reports
  EXPECT_FALSE(rig.meter.calls[3].quiet);  // no second reconnection in this run
  EXPECT_EQ(rig.meter.reopens, 1);
  ASSERT_EQ(rig.recording.errors.size(), 1u);
  EXPECT_NE(rig.recording.errors[0].find("10054"), std::string::npos);
  EXPECT_EQ(rig.loop->lastEnd(), QueryLoopEnd::Failed);
  // A failure ends the capture without its summary, the rows kept.
  ASSERT_EQ(rig.host.ends.size(), 1u);
  EXPECT_EQ(rig.host.ends[0].rows, 2);
  EXPECT_FALSE(rig.host.ends[0].summaryWritten);
  EXPECT_EQ(dataRows(rig.host.log).size(), 2u);
  EXPECT_EQ(rig.host.log.find("Valeur moyenne"), std::string::npos);

  // When the reconnection itself fails the loop ends on its code.
  Rig again(QueryHostKind::Trend);
  again.meter.tcp = true;
  again.meter.failures = {10054};
  again.meter.reopenResult = 111;
  EXPECT_EQ(again.loop->run(), QueryLoopEnd::Failed);
  EXPECT_EQ(again.meter.calls.size(), 1u);
}

TEST(QueryLoop, AConnectionDroppedWhileTheHeaderIsReadIsMendedOnce) {
  // The log's header reads belong to the pass: the run's one reconnection
  // covers them, and the capture opens as if nothing happened.
  Rig rig(QueryHostKind::Diagnostic);
  rig.meter.tcp = true;
  rig.meter.headerFailures = {10057};
  rig.stopAfterPeriods(3);
  rig.loop->pressCaptureButton(rig.capture(30));
  EXPECT_EQ(rig.meter.reopens, 1);
  ASSERT_EQ(rig.meter.headerQuiet.size(), 2u);
  EXPECT_TRUE(rig.meter.headerQuiet[0]);
  EXPECT_FALSE(rig.meter.headerQuiet[1]);
  EXPECT_TRUE(rig.recording.errors.empty());
  ASSERT_FALSE(rig.host.ends.empty());
  EXPECT_TRUE(rig.host.ends[0].opened);
  EXPECT_GT(rig.host.ends[0].rows, 0);

  // Over a serial line there is nothing to reopen: the capture ends, said
  // once, and so does the loop, as after any failed exchange.
  Rig serial(QueryHostKind::Diagnostic);
  serial.meter.headerFailures = {10057};
  serial.stopAfterPeriods(3);
  serial.loop->pressCaptureButton(serial.capture(30));
  EXPECT_EQ(serial.meter.reopens, 0);
  ASSERT_FALSE(serial.host.ends.empty());
  EXPECT_FALSE(serial.host.ends[0].opened);
  EXPECT_EQ(serial.recording.errors.size(), 1u);
  EXPECT_EQ(serial.loop->lastEnd(), QueryLoopEnd::Failed);
  EXPECT_EQ(serial.meter.calls.size(), 1u);
  EXPECT_FALSE(queryLoopRunning());
}

TEST(QueryLoop, AllFailedModeReadsVariablesOnlyAndRefusesACapture) {
  Rig rig(QueryHostKind::Diagnostic, kSinglePathFlags, /*extended=*/false);
  rig.meter.failed = 0x1;
  rig.stopAfterPeriods(3);
  EXPECT_EQ(rig.loop->run(), QueryLoopEnd::Stopped);
  EXPECT_TRUE(rig.loop->allFailedMode());
  ASSERT_EQ(rig.meter.calls.size(), 3u);
  for (const PathCall& call : rig.meter.calls) EXPECT_FALSE(call.read.query);
  EXPECT_EQ(rig.host.periodTimes.back(), rig.host.periodTimes.front());  // no waiting

  Rig capture(QueryHostKind::Diagnostic, kSinglePathFlags, /*extended=*/false);
  capture.meter.failed = 0x1;
  capture.loop->pressCaptureButton(capture.capture(0));
  EXPECT_EQ(capture.host.lastStatus(), kQueryAllFailedCaptureText);
  ASSERT_EQ(capture.host.ends.size(), 1u);
  EXPECT_EQ(capture.host.ends[0].message, kQueryAllFailedCaptureText);
  EXPECT_FALSE(capture.host.ends[0].opened);
  EXPECT_FALSE(capture.loop->running());
}

TEST(QueryLoop, ChangedUnitsOrAFullDiskEndTheCaptureWithoutSummaryKeepingWholeRows) {
  Rig units(QueryHostKind::Diagnostic);
  units.host.afterPeriod = [&](int count) {
    if (count == 2) units.meter.flowUnits = "LIT/MIN";
    if (count == 4) units.loop->requestStop();
  };
  units.loop->pressCaptureButton(units.capture(0));
  ASSERT_EQ(units.host.ends.size(), 1u);
  EXPECT_EQ(units.host.ends[0].message, kCaptureUnitsChangedText);
  EXPECT_EQ(units.host.ends[0].rows, 2);
  EXPECT_FALSE(units.host.ends[0].summaryWritten);
  EXPECT_EQ(dataRows(units.host.log).size(), 2u);
  EXPECT_EQ(units.host.periods.size(), 4u);  // querying went on

  // A disk that fills up while the second row is written.
  const std::string twoRows = units.host.log;
  const std::size_t headerAndRow = twoRows.find(dataRows(twoRows)[1]);
  Rig disk(QueryHostKind::Diagnostic);
  disk.host.capacity = headerAndRow + 10;
  disk.stopAfterPeriods(3);
  disk.loop->pressCaptureButton(disk.capture(0));
  ASSERT_EQ(disk.host.ends.size(), 1u);
  EXPECT_EQ(disk.host.ends[0].message, std::string(kCaptureWriteText) + std::to_string(ENOSPC));
  EXPECT_EQ(disk.host.ends[0].rows, 1);
  EXPECT_FALSE(disk.host.ends[0].summaryWritten);
  EXPECT_EQ(disk.host.log, twoRows.substr(0, headerAndRow));
}

TEST(QueryLoop, ExitDuringACaptureWritesTheSummaryThenClosesTheScreen) {
  Rig rig(QueryHostKind::Diagnostic);
  EXPECT_FALSE(rig.loop->requestExit());  // idle: closes at once
  EXPECT_EQ(rig.host.closes, 1);
  rig.host.afterPeriod = [&](int count) {
    EXPECT_EQ(rig.loop->run(), QueryLoopEnd::AlreadyRunning);  // a second Query
    if (count == 2) {
      EXPECT_TRUE(rig.loop->requestExit());
    }
  };
  rig.loop->pressCaptureButton(rig.capture(0));
  EXPECT_EQ(rig.host.closes, 2);
  ASSERT_EQ(rig.host.ends.size(), 1u);
  EXPECT_TRUE(rig.host.ends[0].summaryWritten);
  EXPECT_EQ(sampleCount(rig.host.log), "2");
}

TEST(QueryLoop, CaptureButtonAndLengthChangesWhileRunning) {
  Rig rig(QueryHostKind::Diagnostic);  // 3 s
  rig.host.afterPeriod = [&](int count) {
    if (count == 1) rig.loop->setCaptureLength(12);                // 4 rows
    if (count == 6) rig.loop->pressCaptureButton(rig.capture(0));  // a new capture
    if (count == 7) rig.loop->pressCaptureButton({});              // its stop
    if (count == 9) rig.loop->requestStop();
  };
  rig.loop->pressCaptureButton(rig.capture(30));
  ASSERT_EQ(rig.host.ends.size(), 2u);
  EXPECT_EQ(rig.host.ends[0].rows, 4);
  EXPECT_TRUE(rig.host.ends[0].summaryWritten);
  // Stopped with the button: the next period's row, then the summary.
  EXPECT_EQ(rig.host.ends[1].rows, 2);
  EXPECT_TRUE(rig.host.ends[1].summaryWritten);
}

}  // namespace
