// Figures of the trend over a folder of long capture logs:
//   - LOGS logs of one day each at a 3-second period (28,800 rows a log),
//     written by the capture writer (four-path gas meter with extended
//     diagnostics, the widest rows there are) into FOLDER, once;
//   - the time to the multi-report pages and the trend log, against `cat` of
//     the same files in the same run (cat before and after, best of each);
//   - peak memory (VmHWM) of the trend, run in a child process, for the whole
//     folder and for its first tenth: it must not grow with the folder.
// Usage: report_trend_bench [FOLDER=/tmp/tarnlux-trend-bench] [LOGS=50]

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "../tests/core/diag/capture_scenarios.h"
#include "common/clock.h"
#include "diag/capture_log.h"
#include "reports/report_page.h"
#include "reports/report_trend.h"

namespace {

using namespace tarnlux;
using Steady = std::chrono::steady_clock;

constexpr int kRowsPerDay = 24 * 3600 / 3;

std::string logName(int i) {
  char name[32];
  std::snprintf(name, sizeof name, "LOG%02d.CSV", i + 1);
  return name;
}

bool writeLog(const std::string& folder, int day) {
  test::CaptureScenario s = test::multipathGasExtended();
  char date[16];
  std::snprintf(date, sizeof date, "01.%02d.25", day % 28 + 1);
  for (test::CapturePeriod& p : s.periods) test::setMeterTime(p.readings, date, "00.00.00");
  s.settings = {3, 0};
  CaptureLog log;
  if (log.openCaptureLog(folder, logName(day), "", s.facts, s.periods.front().readings, s.settings) != 0) {
    std::fprintf(stderr, "%s\n", log.message().c_str());
    return false;
  }
  for (int row = 0; row < kRowsPerDay; ++row) {
    const MeasurementStore& readings = s.periods[static_cast<std::size_t>(row) % s.periods.size()].readings;
    if (log.writeCaptureRows(readings, 1) != 0) return false;
  }
  return log.writeCaptureSummary() == 0 && log.closeCaptureLog() == 0;
}

double seconds(Steady::time_point start) {
  return std::chrono::duration<double>(Steady::now() - start).count();
}

double timeCat(const std::string& folder, int logs) {
  std::string command = "cat";
  for (int i = 0; i < logs; ++i) command += " '" + folder + logName(i) + "'";
  command += " > /dev/null";
  const auto start = Steady::now();
  if (std::system(command.c_str()) != 0) return -1;
  return seconds(start);
}

long peakKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}

// The trend of the first `logs` logs (copied by hard links into a folder of
// their own), in a child: its wall time and peak memory come back through a pipe.
struct TrendFigures {
  double seconds = -1;
  long peakKiB = -1;
  int logs = 0;
  long long trendLogBytes = 0;
};

TrendFigures trendInChild(const std::string& folder) {
  int fds[2];
  if (::pipe(fds) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    TrendFigures f;
    const auto start = Steady::now();
    std::vector<ReportData> collected;
    std::string trendLog;
    std::string message;
    if (runTrend(folder, systemClock().localNow(), collected, trendLog, message) == 0) {
      const std::vector<ReportPage> pages = multiReportPages(collected);
      f.seconds = seconds(start);
      f.logs = static_cast<int>(collected.size());
      struct stat st {};
      if (::stat(trendLog.c_str(), &st) == 0) f.trendLogBytes = st.st_size;
      ::unlink(trendLog.c_str());
      if (pages.empty()) f.seconds = -1;
    } else {
      std::fprintf(stderr, "%s\n", message.c_str());
    }
    f.peakKiB = peakKiB();
    if (::write(fds[1], &f, sizeof f) != static_cast<ssize_t>(sizeof f)) _exit(1);
    _exit(0);
  }
  ::close(fds[1]);
  TrendFigures f;
  if (::read(fds[0], &f, sizeof f) != static_cast<ssize_t>(sizeof f)) f = {};
  ::close(fds[0]);
  ::waitpid(pid, nullptr, 0);
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  std::string folder = argc > 1 ? argv[1] : "/tmp/tarnlux-trend-bench";
  if (folder.back() != '/') folder += '/';
  const int logs = argc > 2 ? std::atoi(argv[2]) : 50;
  ::mkdir(folder.c_str(), 0755);

  long long bytes = 0;
  const auto generating = Steady::now();
  int written = 0;
  for (int i = 0; i < logs; ++i) {
    struct stat st {};
    const std::string path = folder + logName(i);
    if (::stat(path.c_str(), &st) != 0) {
      if (!writeLog(folder, i)) return 1;
      ++written;
      ::stat(path.c_str(), &st);
    }
    bytes += st.st_size;
  }
  std::printf("folder=%s logs=%d rows=%lld bytes=%lld (generated %d in %.1f s)\n", folder.c_str(),
              logs, static_cast<long long>(logs) * kRowsPerDay, bytes, written, seconds(generating));

  // A smaller folder of the first tenth, for the memory comparison.
  const std::string small = folder + "tenth/";
  ::mkdir(small.c_str(), 0755);
  const int tenth = std::max(2, logs / 10);
  for (int i = 0; i < tenth; ++i) ::link((folder + logName(i)).c_str(), (small + logName(i)).c_str());

  const double catBefore = timeCat(folder, logs);
  const TrendFigures whole = trendInChild(folder);
  const TrendFigures again = trendInChild(folder);
  const double catAfter = timeCat(folder, logs);
  const TrendFigures part = trendInChild(small);
  const double cat = std::min(catBefore, catAfter);
  const double trend = std::min(whole.seconds, again.seconds);

  std::printf("cat: %.3f s, %.3f s (best %.3f s, %.0f MB/s)\n", catBefore, catAfter, cat,
              static_cast<double>(bytes) / 1e6 / cat);
  std::printf("trend pages + trend log: %.3f s, %.3f s (best %.3f s) = %.2f x cat; logs=%d trend log %lld bytes\n",
              whole.seconds, again.seconds, trend, trend / cat, whole.logs, whole.trendLogBytes);
  std::printf("peak memory: %ld KiB for %d logs, %ld KiB for %d logs\n", whole.peakKiB, whole.logs,
              part.peakKiB, part.logs);
  return 0;
}
