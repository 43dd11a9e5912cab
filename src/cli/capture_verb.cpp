#include "capture_verb.h"

#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "block_verb.h"
#include "cli_messages.h"
#include "common/clock.h"
#include "common/paths.h"
#include "common/profile_file.h"
#include "common/result.h"
#include "diag/query_loop.h"

namespace tarnlux::cli {

namespace {

// The loop without a screen: rows are printed with their grades as they are
// written, the status line is not shown, and the end of the capture ends the
// run (the screen would go on querying).
class CaptureHost final : public QueryLoopHost {
 public:
  CaptureHost(const MeterFacts& facts, const PassFailLimits& limits, double clockFactor,
              bool replaceExisting)
      : facts_(facts), limits_(limits), clockFactor_(clockFactor), replaceExisting_(replaceExisting) {}

  // A log that appeared since the name was checked is not replaced either.
  int openCaptureSink(const CaptureTarget& target, std::unique_ptr<CaptureSink>& sink,
                      std::string& message) override {
    std::unique_ptr<FileCaptureSink> file;
    const int rc = FileCaptureSink::open(target, file, message, replaceExisting_);
    if (rc == 0) sink = std::move(file);
    return rc;
  }

  QueryLoop* loop = nullptr;
  CaptureEndReport end;
  bool ended = false;

  void showStatus(const std::string&) override {}

  void idle(std::int64_t clockMs) override {
    // The wait in real time: the clock may run faster than the machine's.
    const double realUs = static_cast<double>(clockMs) * 1000.0 / clockFactor_;
    const long us = static_cast<long>(std::clamp(realUs, 100.0, 10'000.0));
    timespec pause{0, us * 1000};
    ::nanosleep(&pause, nullptr);
  }

  void loopStarted(unsigned, int periodSeconds, bool) override {
    std::printf("period=%d\n", periodSeconds);
    std::fflush(stdout);
  }

  void periodDone(const QueryPeriodReport& report) override {
    for (int k = 1; k <= report.rowsWritten; ++k) {
      const MeasurementStore readings = capturedRowReadings(report, k);
      std::printf("row=%d", report.firstRow + k - 1);
      for (int path = 0; path < 4; ++path) {
        if ((report.activeMask >> path & 1u) == 0) continue;
        const GradeColour grade = pathGrade(readings, path, report.activeMask, limits_, facts_);
        std::printf(" path%d=%s", path + 1, gradeKeyword(grade));
      }
      std::printf("\n");
    }
    if (report.rowsWritten > 0) std::fflush(stdout);
  }

  void captureEnded(const CaptureEndReport& report) override {
    end = report;
    ended = true;
    // Nothing is left to do once the log is closed.
    if (loop != nullptr) loop->requestStop();
  }

 private:
  const MeterFacts& facts_;
  const PassFailLimits& limits_;
  double clockFactor_;
  bool replaceExisting_;
};

bool fileExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

// A relative directory taken from the working directory, so log= names the
// file wherever the caller stands.
std::string absoluteDirectory(const std::string& directory) {
  std::error_code error;
  const std::filesystem::path path = std::filesystem::absolute(directory.empty() ? "." : directory, error);
  if (error) return directory;
  return withTrailingSeparator(path.lexically_normal().string());
}

// The proposed name, or the first of NAME_2.CSV, NAME_3.CSV, ... not taken:
// two captures started within one minute keep both logs.
std::string freeProposedName(const std::string& directory, const std::string& proposed) {
  const std::size_t dot = proposed.rfind('.');
  const std::string stem = dot == std::string::npos ? proposed : proposed.substr(0, dot);
  const std::string extension = dot == std::string::npos ? std::string() : proposed.substr(dot);
  std::string name = proposed;
  for (int n = 2; n < 1000 && fileExists(directory + name); ++n) {
    name = stem + "_" + std::to_string(n) + extension;
  }
  return name;
}

const char* statusTextOf(QueryLoopEnd end) {
  switch (end) {
    case QueryLoopEnd::NotConnected:
      return kQueryNotConnectedText;
    case QueryLoopEnd::NoActivePath:
      return kQueryNoActivePathText;
    default:
      return nullptr;
  }
}

}  // namespace

int runCapture(const LinkSettings& settings, const Options& options, OperationContext& ctx) {
  // The log goes where --dir points, else where the program's settings say,
  // else into the program directory; always named by an absolute path.
  const std::string programDirectory = absoluteDirectory(
      options.directory.empty() ? currentProgramDirectory() : withTrailingSeparator(options.directory));
  CaptureRequest request;
  request.startupDirectory = programDirectory;
  request.directory =
      options.directory.empty()
          ? readProfileString(settingsFilePath(programDirectory), "DIRECTORIES", "DATA_CAPTURE")
          : programDirectory;
  request.directory = trimmed(request.directory);
  if (!request.directory.empty()) request.directory = absoluteDirectory(request.directory);

  // A name given is checked before the meter is touched: its length with the
  // directory, and that no file of that name is there to be lost.
  if (!options.captureName.empty()) {
    CaptureTarget target;
    std::string message;
    if (resolveCaptureTarget(request.directory, options.captureName, request.startupDirectory,
                             target, message) != 0) {
      return usageError(message + ": " + options.captureName);
    }
    if (!options.captureOverwrite && fileExists(target.path)) {
      showMessage(fileExistsQuestion(target.path), "tarnlux-cli: --overwrite replaces it");
      return 1;
    }
  }

  Connection c;
  const int status = connectForVerb(settings, options, ctx, c);
  if (status != 0) return status;

  if (options.captureName.empty()) {
    CaptureTarget target;
    std::string message;
    resolveCaptureTarget(request.directory, "x", request.startupDirectory, target, message);
    request.fileName =
        freeProposedName(target.directory, proposedCaptureFileName(c.facts, systemClock()));
  } else {
    request.fileName = options.captureName;
  }
  request.lengthSeconds = options.captureUnlimited ? 0 : options.captureSeconds;
  request.iniPath = quillmapIniPath();

  std::unique_ptr<ScaledClock> fastClock;
  OperationContext loopCtx = ctx;
  double factor = 1.0;
  if (options.fastClock) {
    factor = kFastClockFactor;
    fastClock = std::make_unique<ScaledClock>(factor);
    loopCtx.clock = fastClock.get();
  }

  LinkQueryLoopMeter meter(c.link, c.facts, c.block, c.outcome);
  CaptureHost host(c.facts, c.block.working.limits, factor,
                   options.captureOverwrite && !options.captureName.empty());
  auto trend = std::make_unique<TrendStore>();
  const QueryHostKind kind = options.captureHost == CaptureHostChoice::Summary
                                 ? QueryHostKind::Summary
                                 : QueryHostKind::Diagnostic;
  QueryLoop loop(kind, meter, host, *trend, measurementStore(), loopCtx);
  host.loop = &loop;
  loop.pressCaptureButton(request);
  const QueryLoopEnd end = loop.lastEnd();

  const CaptureEndReport& report = host.end;
  std::printf("rows=%d\n", report.rows);
  std::printf("summary=%d\n", report.summaryWritten ? 1 : 0);
  std::printf("log=%s\n", report.opened ? report.path.c_str() : "");
  std::fflush(stdout);

  if (const char* text = statusTextOf(end); text != nullptr) {
    ctx.report(text);
    return 1;
  }
  // A failed exchange was reported where it failed.
  if (end == QueryLoopEnd::Failed) return 1;
  if (!report.message.empty()) {
    ctx.report(report.message);
    return 1;
  }
  if (!report.summaryWritten) {
    showCliMessage(std::string("capture ") +
                   (report.opened ? "ended without its summary" : "stopped before its first row"));
    return 1;
  }
  return 0;
}

}  // namespace tarnlux::cli
