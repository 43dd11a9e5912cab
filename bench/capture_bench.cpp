// Figures of a long data capture through the query loop against the
// simulated meter (single-path liquid meter, 3-second period):
//   1. an unlimited capture of DAYS days (7 days = 201,600 rows) on an
//      accelerated clock: wall time, periods queried, rows, log size, resident
//      memory at start, middle and end (must stay flat), CPU per period (this
//      process, and the meter's);
//   2. a real-time capture of SECONDS seconds: the share of one core the loop
//      uses, most of it waiting between periods (target < 2 %).
// Usage: capture_bench [DAYS=7] [CLOCK_FACTOR=1000] [REALTIME_SECONDS=30] [METER_PORT]
// Without METER_PORT the bench starts tarnlux-meter itself.

#include <sys/resource.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "common/clock.h"
#include "common/op_context.h"
#include "common/result.h"
#include "diag/query_loop.h"
#include "link/connect.h"
#include "meter_process.h"
#include "test_context.h"

namespace {

using namespace tarnlux;
using Steady = std::chrono::steady_clock;

double cpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// CPU seconds of another process (utime + stime from /proc), -1 when unknown.
double processCpuSeconds(pid_t pid) {
  if (pid <= 0) return -1;
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const std::size_t close = text.rfind(')');
  if (close == std::string::npos) return -1;
  std::string field;
  std::size_t at = close + 2;
  for (int n = 3; n <= 15; ++n) {
    const std::size_t end = text.find(' ', at);
    if (n == 14 || n == 15) field += text.substr(at, end - at) + " ";
    at = end + 1;
  }
  long utime = 0;
  long stime = 0;
  if (std::sscanf(field.c_str(), "%ld %ld", &utime, &stime) != 2) return -1;
  return static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

long residentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}

long long fileSize(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? static_cast<long long>(info.st_size) : -1;
}

LinkSettings tcpTo(int port) {
  LinkSettings settings;
  settings.portName = kTcpPortName;
  settings.ipAddress = "127.0.0.1";
  settings.ipPort = static_cast<std::uint16_t>(port);
  settings.portMissing = 0;
  return settings;
}

// Counts periods and rows, samples the resident memory, stops at the target.
class BenchHost final : public QueryLoopHost {
 public:
  BenchHost(double factor, long targetRows) : factor_(factor), targetRows_(targetRows) {}

  QueryLoop* loop = nullptr;
  long periods = 0;
  long rows = 0;
  long latePeriods = 0;  // passes that made up more than one period
  long rssStart = -1;
  long rssMiddle = -1;
  long rssEnd = -1;
  CaptureEndReport end;
  Steady::time_point deadline = Steady::time_point::max();

  void showStatus(const std::string&) override {}
  void idle(std::int64_t clockMs) override {
    const double us = std::clamp(static_cast<double>(clockMs) * 1000.0 / factor_, 20.0, 10'000.0);
    timespec pause{0, static_cast<long>(us) * 1000};
    ::nanosleep(&pause, nullptr);
  }
  void periodDone(const QueryPeriodReport& report) override {
    ++periods;
    if (report.periods > 1) ++latePeriods;
    rows += report.rowsWritten;
    if (rssStart < 0 && rows > 0) rssStart = residentKiB();
    if (rssMiddle < 0 && targetRows_ > 0 && rows >= targetRows_ / 2) rssMiddle = residentKiB();
    if ((targetRows_ > 0 && rows >= targetRows_) || Steady::now() >= deadline) {
      rssEnd = residentKiB();
      loop->requestStop();
    }
  }
  void captureEnded(const CaptureEndReport& report) override { end = report; }

 private:
  double factor_;
  long targetRows_;
};

struct Session {
  MeterLink link;
  MeterFacts facts;
  MeterBlockStore block;
  ConnectOutcome outcome;
};

// One capture run; returns false when the meter could not be reached.
bool runCapture(int port, const Clock& clock, double maxSeconds, const std::string& logPath,
                BenchHost& host, double& wall, double& cpu) {
  std::atomic<int> cancel{0};
  OperationContext ctx;
  ctx.cancelFlag = &cancel;
  ctx.errorSink = [](const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); };

  auto session = std::make_unique<Session>();
  const ChooseChannel first = [](unsigned selectable) {
    for (int n = 0; n < 4; ++n) {
      if ((selectable >> n & 1u) != 0) return n;
    }
    return -2;
  };
  if (connectToMeter(session->link, tcpTo(port), session->facts, session->block, first,
                     session->outcome, ctx) != kOk) {
    return false;
  }

  OperationContext loopCtx = ctx;
  loopCtx.clock = &clock;
  LinkQueryLoopMeter meter(session->link, session->facts, session->block, session->outcome);
  auto trend = std::make_unique<TrendStore>();
  auto store = std::make_unique<MeasurementStore>();
  QueryLoop loop(QueryHostKind::Diagnostic, meter, host, *trend, *store, loopCtx);
  host.loop = &loop;
  CaptureRequest request;
  const std::size_t slash = logPath.rfind('/');
  request.directory = logPath.substr(0, slash + 1);
  request.fileName = logPath.substr(slash + 1);
  request.iniPath = request.directory + "quillmap.ini";

  const double cpuBefore = cpuSeconds();
  const auto start = Steady::now();
  if (maxSeconds > 0) {
    host.deadline = start + std::chrono::duration_cast<Steady::duration>(
                                std::chrono::duration<double>(maxSeconds));
  }
  loop.pressCaptureButton(request);
  wall = std::chrono::duration<double>(Steady::now() - start).count();
  cpu = cpuSeconds() - cpuBefore;
  OperationContext closing;
  closing.quiet = true;
  session->link.closeLink(false, closing);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const double days = argc > 1 ? std::atof(argv[1]) : 7.0;
  const double factor = argc > 2 ? std::atof(argv[2]) : 1000.0;
  const double realtimeSeconds = argc > 3 ? std::atof(argv[3]) : 30.0;
  int port = argc > 4 ? std::atoi(argv[4]) : 0;

  test::MeterProcess meter;
  if (port == 0) {
    if (!meter.startTcp({"--profile", "liquid1"})) {
      std::printf("meter did not start: %s\n", meter.error().c_str());
      return 1;
    }
    port = meter.tcpPort();
  }
  test::TempDir dir;
  const long targetRows = static_cast<long>(days * 86400.0 / 3.0);

  // 1. The long capture on the accelerated clock.
  {
    ScaledClock clock(factor);
    BenchHost host(factor, targetRows);
    const std::string log = dir.file("LONG.CSV");
    const double meterCpuBefore = processCpuSeconds(meter.pid());
    double wall = 0;
    double cpu = 0;
    if (!runCapture(port, clock, 0, log, host, wall, cpu)) {
      std::printf("long capture: could not connect\n");
      return 1;
    }
    const double meterCpu = processCpuSeconds(meter.pid()) - meterCpuBefore;
    std::printf("long capture: %.2f days at a 3 s period on a x%.0f clock\n", days, factor);
    std::printf(
        "  rows %d (target %ld), periods queried %ld (%ld made up late periods), summary %d\n",
        host.end.rows, targetRows, host.periods, host.latePeriods, host.end.summaryWritten ? 1 : 0);
    std::printf("  wall %.1f s, log %lld bytes (%.1f bytes a row)\n", wall, fileSize(log),
                host.end.rows > 0 ? static_cast<double>(fileSize(log)) / host.end.rows : 0.0);
    std::printf("  resident memory: start %ld KiB, middle %ld KiB, end %ld KiB\n", host.rssStart,
                host.rssMiddle, host.rssEnd);
    std::printf("  CPU: this process %.2f s = %.1f us a period", cpu,
                host.periods > 0 ? 1e6 * cpu / static_cast<double>(host.periods) : 0.0);
    if (meterCpu >= 0) {
      std::printf("; the meter %.2f s = %.1f us a period", meterCpu,
                  host.periods > 0 ? 1e6 * meterCpu / static_cast<double>(host.periods) : 0.0);
    }
    std::printf("\n");
    if (host.periods > 0) {
      const double full = 201600.0 / static_cast<double>(std::max(host.end.rows, 1)) * wall;
      std::printf("  extrapolated to 7 days (201,600 rows) at this rate: %.0f s\n", full);
    }
  }

  // 2. Real time: how much of a core the loop takes between periods.
  if (realtimeSeconds > 0) {
    BenchHost host(1.0, 0);
    double wall = 0;
    double cpu = 0;
    const double meterCpuBefore = processCpuSeconds(meter.pid());
    if (!runCapture(port, systemClock(), realtimeSeconds, dir.file("REAL.CSV"), host, wall, cpu)) {
      std::printf("real-time capture: could not connect\n");
      return 1;
    }
    const double meterCpu = processCpuSeconds(meter.pid()) - meterCpuBefore;
    std::printf("real-time capture: wall %.1f s, %ld periods, %d rows\n", wall, host.periods,
                host.end.rows);
    std::printf("  CPU %.3f s = %.3f %% of one core (target < 2 %%)", cpu, 100.0 * cpu / wall);
    if (meterCpu >= 0) std::printf("; the meter %.3f %%", 100.0 * meterCpu / wall);
    std::printf("\n");
  }
  return 0;
}
