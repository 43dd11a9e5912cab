// Figures of the capture screens against the simulated meter (offscreen):
//  1. CPU of the program while the diagnostic screen queries a four-path meter
//     for 60 s of real time, beside the meter's own CPU time;
//  2. memory (resident set) through a 30-minute trend at full span, the loop
//     on an accelerated clock, sampled every simulated minute.
// Usage: diag_screen_bench [cpu-seconds] [trend-clock-factor]

#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "common/clock.h"
#include "common/result.h"
#include "diag/diag.h"
#include "graph/trend_settings.h"
#include "graph/trendgrf.h"
#include "link/connect.h"
#include "meter_process.h"
#include "../tests/ui/ui_test_support.h"

using namespace tarnlux;
using namespace tarnlux::ui;

namespace {

double selfCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double processCpuSeconds(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const std::size_t close = text.rfind(')');
  if (close == std::string::npos) return 0;
  std::vector<std::string> fields;
  std::size_t at = close + 2;
  while (at < text.size()) {
    const std::size_t space = text.find(' ', at);
    fields.push_back(text.substr(at, space - at));
    if (space == std::string::npos) break;
    at = space + 1;
  }
  // utime and stime are fields 14 and 15 of the line (11 and 12 after the name).
  if (fields.size() < 13) return 0;
  const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
  return (std::stod(fields[11]) + std::stod(fields[12])) / ticks;
}

long residentKiB() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  const int cpuSeconds = argc > 1 ? std::atoi(argv[1]) : 60;
  const double factor = argc > 2 ? std::atof(argv[2]) : 60.0;

  test::MeterProcess meter;
  if (!meter.startTcp({"--profile", "gas4"})) {
    std::fprintf(stderr, "meter: %s\n", meter.error().c_str());
    return 1;
  }

  {
    AppState app;
    if (!test::connectToTestMeter(app, meter.tcpPort())) return 1;
    diag screen(app);
    screen.resize(1024, 740);
    screen.show();
    const double meterBefore = processCpuSeconds(meter.pid());
    const double selfBefore = selfCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    QTimer::singleShot(cpuSeconds * 1000, &screen, [&] { screen.reject(); });
    screen.exec();
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double self = selfCpuSeconds() - selfBefore;
    const double meterCpu = processCpuSeconds(meter.pid()) - meterBefore;
    std::printf("diag_cpu_wall_s=%.1f\n", wall);
    std::printf("diag_periods=%d\n", screen.periodsDrawn());
    std::printf("diag_program_cpu_percent=%.2f\n", 100.0 * self / wall);
    std::printf("diag_meter_cpu_percent=%.2f\n", 100.0 * meterCpu / wall);
  }

  {
    AppState app;
    if (!test::connectToTestMeter(app, meter.tcpPort())) return 1;
    programTrendChoices().spanEntry = 3;  // 30 minutes: the whole span on show
    ScaledClock clock(factor);
    TrendGrf screen(app);
    screen.setClock(&clock, factor);
    screen.resize(1024, 700);
    screen.show();
    const std::int64_t startMs = clock.nowMs();
    std::vector<long> samples;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
      const std::int64_t minutes = (clock.nowMs() - startMs) / 60000;
      if (static_cast<std::int64_t>(samples.size()) <= minutes) samples.push_back(residentKiB());
      if (minutes >= 30) screen.reject();
    });
    sampler.start(20);
    screen.exec();
    std::printf("trend_periods=%d\n", screen.periodsDrawn());
    if (samples.size() > 1) {
      std::printf("trend_rss_kib_minute1=%ld\n", samples[1]);
      std::printf("trend_rss_kib_minute30=%ld\n", samples.back());
    }
    for (std::size_t i = 0; i < samples.size(); i += 5) {
      std::printf("trend_rss_kib[%zu]=%ld\n", i, samples[i]);
    }
  }
  return 0;
}
