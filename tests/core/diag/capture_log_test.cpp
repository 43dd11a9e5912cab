#include "diag/capture_log.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fstream>

#include "capture_scenarios.h"
#include "common/profile_file.h"
#include "test_context.h"
#include "test_paths.h"

using namespace tarnlux;
using namespace tarnlux::test;

namespace {

// Bytes kept in memory; appends past `capacity` fail as a full disk would.
class MemorySink final : public CaptureSink {
 public:
  explicit MemorySink(std::string* bytes, std::size_t capacity = std::string::npos)
      : bytes_(bytes), capacity_(capacity) {}
  int append(std::string_view data) override {
    if (capacity_ != std::string::npos && bytes_->size() + data.size() > capacity_) return ENOSPC;
    bytes_->append(data);
    return 0;
  }
  int close() override { return 0; }
  void discard() override { bytes_->clear(); }

 private:
  std::string* bytes_;
  std::size_t capacity_;
};

std::string goldenPath(const std::string& name) {
  return test::testDataDir() + "/capture/" + name;
}

void expectGolden(const std::string& actual, const std::string& name) {
  const std::string path = goldenPath(name);
  if (const char* update = std::getenv("TARNLUX_UPDATE_GOLDEN");
      update && std::string(update) == "1") {
    writeWholeFile(path, actual);
  }
  const std::string expected = readWholeFile(path);
  ASSERT_FALSE(expected.empty()) << path;
  if (actual == expected) return;
  // Point at the first line that differs.
  std::size_t line = 1, i = 0;
  while (i < actual.size() && i < expected.size() && actual[i] == expected[i]) {
    if (actual[i] == '\n') ++line;
    ++i;
  }
  auto lineAt = [](const std::string& text, std::size_t at) {
    const std::size_t begin = text.rfind('\n', at == 0 ? 0 : at - 1);
    const std::size_t start = begin == std::string::npos ? 0 : begin + 1;
    return text.substr(start, text.find('\n', start) - start);
  };
  ADD_FAILURE() << name << " differs at line " << line << "\n  written:  " << lineAt(actual, i)
                << "\n  expected: " << lineAt(expected, i);
}

// Runs a scenario through a log on disk and returns the file.
std::string runCapture(const CaptureScenario& s, const TempDir& dir, const std::string& name) {
  CaptureLog log;
  EXPECT_EQ(
      log.openCaptureLog(dir.path(), name, "", s.facts, s.periods.front().readings, s.settings), 0)
      << log.message();
  for (const CapturePeriod& period : s.periods) {
    EXPECT_EQ(log.writeCaptureRows(period.readings, period.periods), 0) << log.message();
  }
  EXPECT_EQ(log.writeCaptureSummary(), 0);
  EXPECT_EQ(log.closeCaptureLog(), 0);
  return readWholeFile(dir.file(name));
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

class FixedLocalClock final : public Clock {
 public:
  explicit FixedLocalClock(LocalTime t) : t_(t) {}
  std::int64_t nowMs() const override { return 0; }
  LocalTime localNow() const override { return t_; }

 private:
  LocalTime t_;
};

}  // namespace

TEST(CaptureLogGolden, SinglePathLiquidTransitTime) {
  TempDir dir;
  expectGolden(runCapture(singlePathLiquid(), dir, "single.csv"), "single_path_liquid.csv");
}

TEST(CaptureLogGolden, FourPathGasMultipathExtended) {
  TempDir dir;
  expectGolden(runCapture(multipathGasExtended(), dir, "gas.csv"), "multipath_gas_extended.csv");
}

TEST(CaptureLogGolden, NullTrackChannel) {
  TempDir dir;
  expectGolden(runCapture(nullTrackChannel(), dir, "nt.csv"), "nulltrack.csv");
}

TEST(CaptureLogGolden, EchofluxChannel) {
  TempDir dir;
  expectGolden(runCapture(echofluxChannel(), dir, "ef.csv"), "echoflux.csv");
}

TEST(CaptureFileName, SitePrefixPaddedThenLocalDateAndTime) {
  LocalTime t;
  t.year = 2024;
  t.month = 3;
  t.day = 7;
  t.hour = 9;
  t.minute = 5;
  EXPECT_EQ(proposedCaptureFileName(std::string("SITE0001"), "PUMP7", t),
            "SITE0001PUMP7___________030724_0905.CSV");
  EXPECT_EQ(proposedCaptureFileName(std::nullopt, "", t),
            "________________________030724_0905.CSV");
  // A longer prefix stays whole.
  EXPECT_EQ(proposedCaptureFileName(std::string("ABCDEFGH"), "LOCATION_NAME_XYZ", t),
            "ABCDEFGHLOCATION_NAME_XYZ030724_0905.CSV");

  MeterFacts meter;
  meter.selectedChannel = 1;
  meter.channelIdDisplay[1] = "CHAN_TWO";
  meter.locationName = "LOC";
  t.year = 2031;
  t.hour = 23;
  t.minute = 59;
  const FixedLocalClock clock(t);
  EXPECT_EQ(proposedCaptureFileName(meter, clock), "CHAN_TWOLOC_____________030731_2359.CSV");
  meter.multiPath = true;
  // A multi-path site's identifier keeps its blanks; the file name does not.
  meter.siteIdDisplay = "MP SITE ";
  EXPECT_EQ(proposedCaptureFileName(meter, clock), "MP_SITE_LOC_____________030731_2359.CSV");
  meter.siteIdDisplay = "../A\tB/";
  EXPECT_EQ(proposedCaptureFileName(meter, clock), ".._A_B_LOC______________030731_2359.CSV");
  meter.multiPath = false;
  meter.selectedChannel = -1;
  EXPECT_EQ(proposedCaptureFileName(meter, clock), "________LOC_____________030731_2359.CSV");
}

TEST(CaptureTargetChecks, TrimmingDefaultsAndLengthLimits) {
  CaptureTarget target;
  std::string message;
  EXPECT_EQ(resolveCaptureTarget("  /data/logs  ", "  a.csv ", "/start/", target, message), 0);
  EXPECT_EQ(target.directory, "/data/logs/");
  EXPECT_EQ(target.path, "/data/logs/a.csv");
  EXPECT_EQ(resolveCaptureTarget("   ", "a.csv", "/start/", target, message), 0);
  EXPECT_EQ(target.path, "/start/a.csv");

  EXPECT_EQ(resolveCaptureTarget("/d", "  ", "", target, message), kCaptureNoFileName);
  EXPECT_EQ(message, "Erreur capture donnees, pas de fichier saisi");

  // 256 characters with the separator are allowed, 257 are not.
  const std::string dir255 = "/" + std::string(254, 'd');
  EXPECT_EQ(resolveCaptureTarget(dir255, "a", "", target, message), 0);
  EXPECT_EQ(resolveCaptureTarget(dir255 + "d", "a", "", target, message), kCaptureDirectoryTooLong);
  EXPECT_EQ(message, "Erreur capture donnees. Nom repertoire trop long");

  EXPECT_EQ(resolveCaptureTarget("/dd", std::string(256, 'n'), "", target, message), 0);
  EXPECT_EQ(resolveCaptureTarget("/ddd", std::string(256, 'n'), "", target, message),
            kCapturePathTooLong);
  EXPECT_EQ(message, "Erreur capture donnees. Chemin complet trop long");
  EXPECT_EQ(resolveCaptureTarget("/d", std::string(257, 'n'), "", target, message),
            kCaptureFileNameTooLong);
  EXPECT_EQ(message, "Erreur capture donnees. Nom fichier trop long");
  // Directory and name together: 260 allowed, 261 not.
  EXPECT_EQ(resolveCaptureTarget(dir255, std::string(4, 'n'), "", target, message), 0);
  EXPECT_EQ(resolveCaptureTarget(dir255, std::string(5, 'n'), "", target, message),
            kCapturePathTooLong);
}

TEST(CaptureOpen, CreatesOneMissingDirectoryLevelAndReportsOtherFailures) {
  TempDir dir;
  const CaptureScenario s = singlePathLiquid();
  const MeasurementStore& first = s.periods.front().readings;
  {
    CaptureLog log;
    ASSERT_EQ(log.openCaptureLog(dir.path() + "new", "a.csv", "", s.facts, first, s.settings), 0)
        << log.message();
    EXPECT_EQ(log.path(), dir.path() + "new/a.csv");
  }
  EXPECT_FALSE(readWholeFile(dir.path() + "new/a.csv").empty());

  CaptureLog log;
  EXPECT_EQ(log.openCaptureLog(dir.path() + "x/y", "a.csv", "", s.facts, first, s.settings),
            ENOENT);
  EXPECT_EQ(log.message(), "Erreur creation repertoire capture donnees, code: 2");
  EXPECT_FALSE(log.isOpen());

  ::mkdir((dir.path() + "taken.csv").c_str(), 0755);
  EXPECT_EQ(log.openCaptureLog(dir.path(), "taken.csv", "", s.facts, first, s.settings), EISDIR);
  EXPECT_EQ(log.message(), "Erreur ouverture fichier capture donnees, code: 21");

  // An existing log of the same name is replaced.
  writeWholeFile(dir.file("old.csv"), std::string(100000, 'x'));
  ASSERT_EQ(log.openCaptureLog(dir.path(), "old.csv", "", s.facts, first, s.settings), 0);
  log.closeCaptureLog();
  const std::string replaced = readWholeFile(dir.file("old.csv"));
  EXPECT_EQ(replaced.rfind("Journal de capture de donnees Norvane\r\n", 0), 0u);
  EXPECT_EQ(replaced.find("xxxx"), std::string::npos);
}

TEST(CaptureOpen, LengthUnitsOtherThanInchesOrMillimetresStopBeforeAnyFile) {
  TempDir dir;
  CaptureScenario s = singlePathLiquid();
  s.facts.identity.lengthUnits = 2;
  CaptureLog log;
  EXPECT_EQ(log.openCaptureLog(dir.path(), "a.csv", "", s.facts, s.periods[0].readings, s.settings),
            kCaptureBadLengthUnits);
  EXPECT_EQ(log.message(), "Donnees compt. non valables - Code d'erreur: 21021");
  struct stat info {};
  EXPECT_NE(::stat(dir.file("a.csv").c_str(), &info), 0);
}

TEST(CaptureOpen, HeaderHeldByAFullDiskIsAWriteErrorAndNoCapture) {
  const CaptureScenario s = singlePathLiquid();
  CaptureLog log;
  EXPECT_EQ(log.openCaptureLog("/dev", "full", "", s.facts, s.periods[0].readings, s.settings),
            ENOSPC);
  EXPECT_EQ(log.message(), "Erreur ecriture fichier capture donnees, code: 28");
  EXPECT_FALSE(log.isOpen());
  EXPECT_FALSE(log.lastReport().record);
  struct stat info {};
  EXPECT_EQ(::stat("/dev/full", &info), 0);  // a device is never removed

  // A header that does not fit leaves no half-written file behind.
  std::string bytes;
  EXPECT_EQ(log.openCaptureLog(std::make_unique<MemorySink>(&bytes, 100), "m", s.facts,
                               s.periods[0].readings, s.settings),
            ENOSPC);
  EXPECT_TRUE(bytes.empty());
}

TEST(CaptureRows, AWriteFailureKeepsEveryWholeRowAndEndsWithoutSummary) {
  const CaptureScenario s = singlePathLiquid();
  std::string bytes;
  // Room for the header and one row only.
  std::string probe;
  {
    CaptureLog sizing;
    sizing.openCaptureLog(std::make_unique<MemorySink>(&probe), "m", s.facts, s.periods[0].readings,
                          s.settings);
    sizing.writeCaptureRows(s.periods[0].readings, 1);
  }
  CaptureLog log;
  ASSERT_EQ(log.openCaptureLog(std::make_unique<MemorySink>(&bytes, probe.size() + 20), "m",
                               s.facts, s.periods[0].readings, s.settings),
            0);
  EXPECT_EQ(log.writeCaptureRows(s.periods[0].readings, 1), 0);
  EXPECT_EQ(log.writeCaptureRows(s.periods[1].readings, 1), ENOSPC);
  EXPECT_EQ(log.message(), "Erreur ecriture fichier capture donnees, code: 28");
  EXPECT_TRUE(log.failed());
  EXPECT_FALSE(log.isOpen());
  EXPECT_EQ(bytes, probe);
  EXPECT_EQ(log.writeCaptureSummary(), 0);
  EXPECT_EQ(bytes, probe);
  EXPECT_EQ(log.closeCaptureLog(), 0);
}

TEST(CaptureRows, APartialWriteOnDiskIsCutBackToTheLastWholeRow) {
  TempDir dir;
  const CaptureScenario s = singlePathLiquid();
  CaptureLog log;
  ASSERT_EQ(log.openCaptureLog(dir.path(), "a.csv", "", s.facts, s.periods[0].readings, s.settings),
            0);
  ASSERT_EQ(log.writeCaptureRows(s.periods[0].readings, 1), 0);
  // Every row is in the file as soon as it is written.
  const std::string kept = readWholeFile(dir.file("a.csv"));
  EXPECT_NE(kept.find("\r\n03-14-24,23:59:58,120.500,"), std::string::npos);
  EXPECT_EQ(kept.substr(kept.size() - 2), "\r\n");

  // A file size limit 20 bytes on: the next row is written in part, then refused.
  void (*previous)(int) = std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  rlimit limited = saved;
  limited.rlim_cur = kept.size() + 20;
  ::setrlimit(RLIMIT_FSIZE, &limited);
  const int rc = log.writeCaptureRows(s.periods[1].readings, 1);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);

  EXPECT_EQ(rc, EFBIG);
  EXPECT_EQ(log.message(),
            "Erreur ecriture fichier capture donnees, code: " + std::to_string(EFBIG));
  EXPECT_EQ(readWholeFile(dir.file("a.csv")), kept);
}

TEST(CaptureRows, ChangedUnitsStopTheCaptureWithoutARowOrSummary) {
  for (int change = 0; change < 2; ++change) {
    const CaptureScenario s = singlePathLiquid();
    std::string bytes;
    CaptureLog log;
    ASSERT_EQ(log.openCaptureLog(std::make_unique<MemorySink>(&bytes), "m", s.facts,
                                 s.periods[0].readings, s.settings),
              0);
    ASSERT_EQ(log.writeCaptureRows(s.periods[0].readings, 1), 0);
    const std::string before = bytes;
    MeasurementStore changed = s.periods[1].readings;
    if (change == 0) {
      changed.site.metricVelocity = true;
    } else {
      changed.site.flowUnitsText = "GAL/HR";
    }
    EXPECT_EQ(log.writeCaptureRows(changed, 1), kCaptureUnitsChanged);
    EXPECT_EQ(log.message(), "Err capt donnees, param comptr changes pendant capt donnees");
    EXPECT_EQ(log.writeCaptureSummary(), 0);
    EXPECT_EQ(bytes, before);
    EXPECT_EQ(log.rowCount(), 1);
  }
}

TEST(CaptureRows, ALatePeriodIsFilledInEqualStepsOnePeriodApart) {
  CaptureScenario s = singlePathLiquid();
  std::string bytes;
  CaptureLog log;
  MeasurementStore a = s.periods[0].readings;
  PathReadings& p = a.paths[1];
  p.flow = 100;
  p.alcUp = 50;
  p.alcDown = 40;
  p.adcBuffer = 10;
  p.statusWord = 0x3FF;
  p.searchStateCode = 6;
  ASSERT_EQ(log.openCaptureLog(std::make_unique<MemorySink>(&bytes), "m", s.facts, a, s.settings),
            0);
  // A late first period still gives one row: there is nothing to fill from.
  ASSERT_EQ(log.writeCaptureRows(a, 3), 0);
  EXPECT_EQ(log.rowCount(), 1);

  MeasurementStore b = a;
  b.paths[1].flow = 106;          // steps of 2
  b.paths[1].alcUp = 42;          // -8 / 3 = -2 (towards zero)
  b.paths[1].alcDown = 41;        // 1 / 3 = 0: the current value throughout
  b.paths[1].adcBuffer = 17;      // 7 / 3 = 2
  b.paths[1].statusWord = 0x3EF;  // states are the current ones
  b.paths[1].searchStateCode = 3;
  setMeterTime(b, "01.01.25", "00.00.00");  // rows keep counting from the first stamp
  ASSERT_EQ(log.writeCaptureRows(b, 3), 0);
  EXPECT_EQ(log.rowCount(), 4);

  const std::vector<std::string> lines = linesOf(bytes);
  const std::size_t first = lines.size() - 4;
  EXPECT_EQ(lines[first].substr(0, 42), "03-14-24,23:59:58,100.000,3.250,4850.25,__");
  EXPECT_EQ(
      lines[first + 1],
      "03-15-24,00:00:01,102.000,3.250,4850.25,____F_____,48,41,1.250,35,34,12,10,40,95,TNSRCH,0");
  EXPECT_EQ(
      lines[first + 2],
      "03-15-24,00:00:04,104.000,3.250,4850.25,____F_____,46,41,1.250,35,34,14,10,40,95,TNSRCH,0");
  EXPECT_EQ(
      lines[first + 3],
      "03-15-24,00:00:07,106.000,3.250,4850.25,____F_____,42,41,1.250,35,34,17,10,40,95,TNSRCH,0");
}

TEST(CaptureRows, TheCaptureLengthBoundsTheRows) {
  CaptureScenario s = singlePathLiquid();
  s.settings = {6, 30};
  std::string bytes;
  CaptureLog log;
  ASSERT_EQ(log.openCaptureLog(std::make_unique<MemorySink>(&bytes), "m", s.facts,
                               s.periods[0].readings, s.settings),
            0);
  EXPECT_EQ(log.rowsToWrite(), 5);
  ASSERT_EQ(log.writeCaptureRows(s.periods[0].readings, 1), 0);
  ASSERT_EQ(log.writeCaptureRows(s.periods[1].readings, 1), 0);
  ASSERT_EQ(log.writeCaptureRows(s.periods[1].readings, 1), 0);
  EXPECT_FALSE(log.lengthReached());
  // Three late periods, two rows left.
  ASSERT_EQ(log.writeCaptureRows(s.periods[2].readings, 3), 0);
  EXPECT_EQ(log.rowCount(), 5);
  EXPECT_TRUE(log.lengthReached());
  ASSERT_EQ(log.writeCaptureSummary(), 0);
  EXPECT_NE(bytes.find("\r\nNbre d'echantillons,5\r\n"), std::string::npos);

  log.setCaptureLength(0);
  EXPECT_EQ(log.rowsToWrite(), 0);
  EXPECT_FALSE(log.lengthReached());
}

TEST(CaptureSummary, OneRowIsItsOwnAverageMinimumAndMaximum) {
  const CaptureScenario s = singlePathLiquid();
  std::string bytes;
  CaptureLog log;
  ASSERT_EQ(log.openCaptureLog(std::make_unique<MemorySink>(&bytes), "m", s.facts,
                               s.periods[0].readings, s.settings),
            0);
  // Nothing to summarise before the first row.
  const std::string header = bytes;
  EXPECT_EQ(log.writeCaptureSummary(), 0);
  EXPECT_EQ(bytes, header);

  ASSERT_EQ(log.writeCaptureRows(s.periods[0].readings, 1), 0);
  ASSERT_EQ(log.writeCaptureSummary(), 0);
  const std::vector<std::string> lines = linesOf(bytes);
  const std::string values = ",120.500,3.250,4850.25,,45,44,1.250,35,34,70,10,40,95,,";
  ASSERT_GE(lines.size(), 10u);
  const std::size_t at = lines.size() - 10;
  EXPECT_EQ(lines[at], "");
  EXPECT_EQ(lines[at + 1], "Valeur moyenne," + values);
  EXPECT_EQ(lines[at + 2], "Minimum," + values);
  EXPECT_EQ(lines[at + 3], "Maximum," + values);
  EXPECT_EQ(lines[at + 8], "");
  EXPECT_EQ(lines[at + 9], "Nbre d'echantillons,1");
}

TEST(CaptureHeader, NoSiteLineWithoutAChannelAndTheLastReportStamp) {
  CaptureScenario s = singlePathLiquid();
  s.facts.siteIdentifier.reset();
  s.facts.info.lastReportDate = "01-02-24";
  const std::string header = captureHeaderIdentity(s.facts);
  EXPECT_EQ(header.find("Nom du site"), std::string::npos);
  EXPECT_NE(header.find("\nDate/heure dernier rapport,01-02-24,\n"), std::string::npos);

  // Only a meter with extended diagnostics records the capture start.
  std::string bytes;
  CaptureLog log;
  ASSERT_EQ(log.openCaptureLog(std::make_unique<MemorySink>(&bytes), "m", s.facts,
                               s.periods[0].readings, s.settings),
            0);
  EXPECT_FALSE(log.lastReport().record);
  s.facts.extendedDiagnostics = true;
  ASSERT_EQ(log.openCaptureLog(std::make_unique<MemorySink>(&bytes), "m", s.facts,
                               s.periods[0].readings, s.settings),
            0);
  EXPECT_TRUE(log.lastReport().record);
  EXPECT_EQ(log.lastReport().date, "03-14-24");
  EXPECT_EQ(log.lastReport().time, "23:59");

  const LastReportStamp odd = lastReportStamp("1.2.3", "10.20");
  EXPECT_EQ(odd.date, "1-2-3");
  EXPECT_EQ(odd.time, "10");
  EXPECT_EQ(lastReportStamp("", "1234").time, "1234");
}

TEST(CaptureUnits, GasFlowUnitsTranslateOnlyTheExactForms) {
  EXPECT_EQ(translatedGasFlowUnits("CU FT/SEC", false), "PCAS");
  EXPECT_EQ(translatedGasFlowUnits("CU FT/DAY", true), "PCSJ");
  EXPECT_EQ(translatedGasFlowUnits("KCU FT/MIN", false), "MPCAM");
  EXPECT_EQ(translatedGasFlowUnits("MCU FT/HR", true), "MMPCSH");
  EXPECT_EQ(translatedGasFlowUnits("CU M/HR", false), "M3/HR");
  EXPECT_EQ(translatedGasFlowUnits("CU M/DAY", true), "M3N/JR");
  EXPECT_EQ(translatedGasFlowUnits("KCU M/SEC", true), "E3 M3N/SEC");
  EXPECT_EQ(translatedGasFlowUnits("MCU M/DAY", false), "E6 M3/JR");
  for (const char* unchanged :
       {"CU FT/HR ", "CU FT/WEEK", "CUFT/HR", "LB/HR", "CU FT", "", "/HR"}) {
    EXPECT_EQ(translatedGasFlowUnits(unchanged, true), unchanged);
  }

  // Liquid meters write the meter's text as received.
  CaptureHeaderFacts facts;
  SiteReadings site;
  site.flowUnitsText = "CU FT/HR";
  EXPECT_EQ(captureLayout(facts, site).flowUnits, "CU FT/HR");
  facts.gasMeter = true;
  EXPECT_EQ(captureLayout(facts, site).flowUnits, "PCAH");
}

TEST(LastCaptureLog, RecordedForTheReportGeneratorWithExtendedDiagnostics) {
  TempDir dir;
  const std::string ini = dir.path() + "config/tarnlux/quillmap.ini";
  EXPECT_EQ(recordLastCaptureLog("logs/a.csv", false, "/start/", ini), 0);
  EXPECT_EQ(readProfileString(ini, "LAST_REPORT", "FILENAME"), "");

  EXPECT_EQ(recordLastCaptureLog("logs/a.csv", true, "/start/", ini), 0);
  EXPECT_EQ(readProfileString(ini, "LAST_REPORT", "FILENAME"), "/start/logs/a.csv");
  EXPECT_EQ(recordLastCaptureLog("/data/b.csv", true, "/start/", ini), 0);
  EXPECT_EQ(readProfileString(ini, "LAST_REPORT", "FILENAME"), "/data/b.csv");
  EXPECT_NE(readWholeFile(ini).find("\r\n"), std::string::npos);

  // A settings folder path of 244 characters or more is not written to.
  const std::string folder = dir.path() + std::string(244 - dir.path().size(), 'f');
  EXPECT_EQ(recordLastCaptureLog("/data/b.csv", true, "/start/", folder + "/quillmap.ini"), 0);
  struct stat info {};
  EXPECT_NE(::stat(folder.c_str(), &info), 0);
  const std::string shorter = dir.path() + std::string(243 - dir.path().size(), 'g');
  EXPECT_EQ(recordLastCaptureLog("/data/b.csv", true, "/start/", shorter + "/quillmap.ini"), 0);
  EXPECT_EQ(readProfileString(shorter + "/quillmap.ini", "LAST_REPORT", "FILENAME"), "/data/b.csv");
}
