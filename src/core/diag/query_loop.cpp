#include "diag/query_loop.h"

#include <time.h>

#include <algorithm>
#include <bit>
#include <utility>

#include "common/paths.h"
#include "common/result.h"
#include "diag/grading.h"

namespace tarnlux {

namespace {

// Only one loop runs in the program: a second Query press, or a second
// screen's loop, finds this set and does nothing.
bool loopRunning = false;

constexpr std::int64_t kIdleSliceMs = 10;

int nextPathAfter(unsigned mask, int path) {
  const unsigned above = path >= 3 ? 0u : mask & ~((2u << path) - 1u);
  return above == 0 ? -1 : std::countr_zero(above);
}

// The index the site-wide variables are read at: the multipath channel on a
// multipath site, else the path itself.
int siteIndexFor(const MeterFacts& facts, int path) {
  return facts.multiPath ? meter_flags::siteSlot(facts.meterFlags) : path;
}

}  // namespace

// --- Rules ---------------------------------------------------------------------

unsigned configuredQueryPaths(const MeterFacts& facts) {
  const unsigned transit = meter_flags::transitTimeChannels(facts.meterFlags);
  const unsigned echoflux = meter_flags::echofluxChannels(facts.meterFlags);
  if (facts.multiPath) return transit & ~echoflux & 0xFu;
  const int channel = facts.selectedChannel;
  if (channel < 0 || channel > 3) return 0;
  const unsigned bit = 1u << channel;
  const bool configured = facts.echofluxMode ? (echoflux & bit) != 0 && (transit & bit) == 0
                                             : (transit & bit) != 0 && (echoflux & bit) == 0;
  return configured ? bit : 0;
}

ActivePathChoice chooseActivePaths(const MeterFacts& facts, unsigned failedPaths,
                                   QueryHostKind host) {
  ActivePathChoice choice;
  const unsigned configured = configuredQueryPaths(facts);
  if (facts.extendedDiagnostics) {
    choice.mask = configured;
    return choice;
  }
  choice.mask = configured & ~failedPaths & 0xFu;
  if (choice.mask == 0 && configured != 0 && host != QueryHostKind::Trend) {
    choice.mask = configured;
    choice.allFailed = true;
  }
  return choice;
}

int queryPeriodSeconds(int activePaths, QueryHostKind host, bool extendedDiagnostics) {
  const int base = activePaths < 3 ? 3 : 6;
  return host != QueryHostKind::Trend && !extendedDiagnostics ? base * 2 : base;
}

std::int64_t hundredthsOf(std::int64_t ms) { return ms / 1000 * 100 + ms % 1000 / 10; }

int periodsToMakeUp(std::int64_t elapsed, std::int64_t due, int periodSeconds) {
  const std::int64_t late = elapsed > due ? elapsed - due : 0;
  const std::int64_t d = 1 + late / (static_cast<std::int64_t>(periodSeconds) * 100);
  return d > 1'000'000'000 ? 1'000'000'000 : static_cast<int>(d);
}

TrendPeriod trendPeriodOf(const MeasurementStore& store, unsigned activeMask, bool echofluxMode) {
  TrendPeriod period;
  period.averagePathMask = activeMask & 0xFu;
  int count = 0;
  for (int p = 0; p < kTrendPaths; ++p) {
    const auto i = static_cast<std::size_t>(p);
    const PathReadings& r = store.paths[i];
    period.statusWords[i] = r.statusWord;
    const double gain = echofluxMode ? static_cast<double>(store.echoflux[i].signalStrength)
                                     : (static_cast<double>(r.alcUp) + r.alcDown) / 2.0;
    const double values[kTrendQuantities] = {r.flowVelocity,         r.soundSpeed,  gain, r.flow,
                                             r.soundSpeedDifference, r.standardFlow};
    for (int q = 0; q < kTrendQuantities; ++q) {
      period.pathValues[static_cast<std::size_t>(q)][i] = values[q];
    }
    if ((period.averagePathMask & (1u << p)) == 0) continue;
    ++count;
    for (int q = 0; q < kTrendQuantities; ++q)
      period.averages[static_cast<std::size_t>(q)] += values[q];
  }
  if (count > 0) {
    for (double& average : period.averages) average /= count;
  }
  return period;
}

GradeColour pathGrade(const MeasurementStore& store, int path, unsigned activeMask,
                      const PassFailLimits& limits, const MeterFacts& facts) {
  GradingContext context;
  context.meterFlags = facts.meterFlags;
  context.multiPath = facts.multiPath;
  context.extendedDiagnostics = facts.extendedDiagnostics;
  context.metricVelocity = store.site.metricVelocity;
  return facts.echofluxMode ? judgeEchofluxChannel(store, path, limits, context)
                            : judgeTransitTimePath(store, path, activeMask, limits, context);
}

const char* gradeKeyword(GradeColour grade) {
  switch (grade) {
    case GradeColour::Green:
      return "ok";
    case GradeColour::Yellow:
      return "warning";
    case GradeColour::Red:
      return "fail";
  }
  return "fail";
}

MeasurementStore capturedRowReadings(const QueryPeriodReport& report, int k) {
  if (report.latest == nullptr) return {};
  if (report.firstRow <= 1 || report.previous == nullptr) return *report.latest;
  return interpolatedReadings(*report.previous, *report.latest, k, report.periods);
}

bool queryLoopRunning() { return loopRunning; }

// --- Host defaults -----------------------------------------------------------------

void QueryLoopHost::idle(std::int64_t clockMs) {
  const std::int64_t ms = std::clamp<std::int64_t>(clockMs, 1, kIdleSliceMs);
  timespec pause{0, static_cast<long>(ms * 1'000'000)};
  ::nanosleep(&pause, nullptr);
}

int QueryLoopHost::openCaptureSink(const CaptureTarget& target, std::unique_ptr<CaptureSink>& sink,
                                   std::string& message) {
  std::unique_ptr<FileCaptureSink> file;
  const int rc = FileCaptureSink::open(target, file, message);
  if (rc == 0) sink = std::move(file);
  return rc;
}

// --- The loop ------------------------------------------------------------------------

QueryLoop::QueryLoop(QueryHostKind kind, QueryLoopMeter& meter, QueryLoopHost& host,
                     TrendStore& trend, MeasurementStore& store, const OperationContext& base)
    : kind_(kind),
      meter_(meter),
      host_(host),
      trend_(trend),
      store_(store),
      ctx_(base),
      progress_([this](const std::string& text) { host_.showStatus(text); }),
      previous_(std::make_unique<MeasurementStore>()) {
  ctx_.progress = &progress_;
}

QueryLoop::~QueryLoop() {
  // A screen torn down with a capture open still leaves a whole log.
  if (log_.isOpen()) log_.closeCaptureLog();
}

bool QueryLoop::cancelled() const { return ctx_.cancelled(); }

void QueryLoop::requestStop() {
  if (running_ && ctx_.cancelFlag != nullptr) ctx_.cancelFlag->store(1);
}

bool QueryLoop::requestExit() {
  if (running_) {
    exitRequested_ = true;
    if (ctx_.cancelFlag != nullptr) ctx_.cancelFlag->store(1);
    return true;
  }
  clearCaptureFlags();
  host_.closeScreen();
  return false;
}

void QueryLoop::clearCaptureFlags() {
  capturing_ = false;
  firstRowPending_ = false;
  captureStopRequested_ = false;
}

void QueryLoop::pressCaptureButton(const CaptureRequest& request) {
  if (capturing_) {
    if (running_) {
      captureStopRequested_ = true;
    } else {
      clearCaptureFlags();
      host_.captureEnded({});
    }
    return;
  }
  request_ = request;
  capturing_ = true;
  firstRowPending_ = true;
  captureStopRequested_ = false;
  logOpened_ = false;
  if (!running_) {
    const QueryLoopEnd end = run();
    // The loop could not start: no capture either.
    if (end == QueryLoopEnd::AlreadyRunning || end == QueryLoopEnd::NotConnected ||
        end == QueryLoopEnd::NoActivePath) {
      clearCaptureFlags();
    }
  }
}

void QueryLoop::setCaptureLength(int lengthSeconds) {
  request_.lengthSeconds = lengthSeconds > 0 ? lengthSeconds : 0;
  if (log_.isOpen()) log_.setCaptureLength(request_.lengthSeconds);
}

QueryLoopEnd QueryLoop::run() {
  if (running_ || loopRunning) return QueryLoopEnd::AlreadyRunning;
  lastEnd_ = runLoop();
  return lastEnd_;
}

QueryLoopEnd QueryLoop::runLoop() {
  if (!meter_.connected()) {
    host_.showStatus(kQueryNotConnectedText);
    return QueryLoopEnd::NotConnected;
  }
  const MeterFacts& facts = meter_.facts();
  const ActivePathChoice choice = chooseActivePaths(facts, meter_.failedPaths(), kind_);
  if (choice.mask == 0) {
    host_.showStatus(kQueryNoActivePathText);
    return QueryLoopEnd::NoActivePath;
  }

  running_ = true;
  loopRunning = true;
  exitRequested_ = false;
  reconnectionSpent_ = false;
  activeMask_ = choice.mask;
  allFailed_ = choice.allFailed;
  firstPath_ = std::countr_zero(activeMask_);
  lastPath_ = 31 - std::countl_zero(activeMask_);
  currentPath_ = firstPath_;
  periodSeconds_ = queryPeriodSeconds(std::popcount(activeMask_), kind_, facts.extendedDiagnostics);
  dueHundredths_ = 0;
  *previous_ = store_;

  trend_.clear();
  trend_.setActivePaths(activeMask_, facts.multiPath);
  trend_.setPeriod(periodSeconds_);
  host_.loopStarted(activeMask_, periodSeconds_, allFailed_);

  const std::int64_t startMs = ctx_.nowMs();
  progress_.start(kQueryCollectingText);
  std::int64_t progressShownMs = startMs;

  int error = kOk;
  std::string endMessage;
  while (!cancelled()) {
    const std::int64_t now = ctx_.nowMs();
    const std::int64_t elapsed = hundredthsOf(now - startMs);
    int rc = kOk;
    if (allFailed_) {
      if (capturing_) {
        endMessage = kQueryAllFailedCaptureText;
        endCapture(false, endMessage);
        break;
      }
      rc = readAllFailedStep();
    } else if (elapsed < dueHundredths_) {
      host_.idle((dueHundredths_ - elapsed) * 10);
    } else {
      const bool last = currentPath_ == lastPath_;
      rc = withReconnection(
          [&](OperationContext& ctx) { return readPathStep(currentPath_, last, ctx); },
          currentPath_);
      if (rc == kOk) {
        if (last) {
          finishPeriod(elapsed);
          rc = std::exchange(headerReadFailure_, kOk);
          currentPath_ = firstPath_;
        } else {
          currentPath_ = nextPathAfter(activeMask_, currentPath_);
        }
      }
    }
    // A cancelled exchange (-2, or -3 for a channel the user gave up on)
    // ends the loop without a report.
    if (rc == kCancelled || rc == kChannelNotReady) break;
    if (rc != kOk) {
      error = rc;
      break;
    }
    if (const std::int64_t t = ctx_.nowMs(); t - progressShownMs > 499) {
      progress_.forceRefresh(t);
      progressShownMs = t;
    }
    if (ctx_.pump) ctx_.pump();
  }

  const bool stoppedByUser = cancelled();
  if (capturing_) endCapture(error == kOk, {});
  running_ = false;
  loopRunning = false;
  if (ctx_.cancelFlag != nullptr) ctx_.cancelFlag->store(0);

  if (exitRequested_) {
    exitRequested_ = false;
    host_.closeScreen();
    return QueryLoopEnd::Exited;
  }
  if (stoppedByUser) {
    host_.showStatus(kind_ == QueryHostKind::Summary ? kQuerySummaryStoppedText
                                                     : kQueryGraphStoppedText);
    return QueryLoopEnd::Stopped;
  }
  host_.showStatus(endMessage);
  return error != kOk ? QueryLoopEnd::Failed : QueryLoopEnd::Ended;
}

int QueryLoop::withReconnection(const std::function<int(OperationContext&)>& exchange, int path) {
  // Over TCP the first failure is not the user's concern yet: the link gets
  // one reconnection per run, and only the retry reports.
  const bool reconnectable = meter_.tcpLink() && !reconnectionSpent_;
  OperationContext first = ctx_;
  if (reconnectable) first.quiet = true;
  int rc = exchange(first);
  if (rc == kChannelNotReady && first.quiet && !ctx_.quiet && path >= 0) {
    ctx_.report(channelFailureMessage(path, meter_.facts().multiPath));
  }
  if (rc == kOk || rc == kCancelled || rc == kChannelNotReady || !reconnectable) return rc;
  reconnectionSpent_ = true;
  rc = meter_.reopenLink(ctx_);
  if (rc != kOk) return rc;
  return exchange(ctx_);
}

int QueryLoop::readPathStep(int path, bool lastPath, OperationContext& ctx) {
  const MeterFacts& facts = meter_.facts();
  PathRead read;
  read.path = path;
  read.variableReads = kind_ != QueryHostKind::Trend || facts.echofluxMode;
  read.query = true;
  read.lastPathOfPass = lastPath;
  int rc = meter_.readPath(read, store_, ctx);
  if (rc != kOk) return rc;

  const auto p = static_cast<std::size_t>(path);
  if (!facts.extendedDiagnostics) {
    if ((rc = meter_.readDouble("vfv", path, store_.paths[p].flowVelocity, ctx)) != kOk) return rc;
    if ((rc = meter_.readText("flegend", path, store_.site.flowUnitsText, ctx)) != kOk) return rc;
    if (facts.gasMeter && lastPath) {
      rc = meter_.readInt("stdflow", siteIndexFor(facts, path), store_.site.standardFlow, ctx);
      if (rc != kOk) return rc;
    }
  }
  if (kind_ == QueryHostKind::Summary && lastPath) {
    if (facts.multiPath) {
      rc = meter_.readUnsigned("abar", meter_flags::siteSlot(facts.meterFlags), siteStatusWord_,
                               ctx);
      if (rc != kOk) return rc;
    }
    if (!facts.extendedDiagnostics) {
      const int index = siteIndexFor(facts, path);
      std::int32_t mode = 0;
      if ((rc = meter_.readInt("totmod", index, mode, ctx)) != kOk) return rc;
      static const char* const kTotals[] = {"mtotal", "ptotal", "ntotal", "ntotal"};
      double total = 0;
      if (mode >= 0 && mode <= 3) {
        if ((rc = meter_.readDouble(kTotals[mode], index, total, ctx)) != kOk) return rc;
      }
      store_.site.total = total;
      if ((rc = meter_.readText("tlegend", index, store_.site.totalUnitsText, ctx)) != kOk) {
        return rc;
      }
    }
  }
  return kOk;
}

int QueryLoop::readAllFailedStep() {
  PathRead read;
  read.path = firstPath_;
  read.variableReads = true;
  read.query = false;
  read.lastPathOfPass = true;
  const bool reconnectable = meter_.tcpLink() && !reconnectionSpent_;
  OperationContext first = ctx_;
  if (reconnectable) first.quiet = true;
  int rc = meter_.readPath(read, store_, first);
  if (rc != kOk && rc != kCancelled && rc != kChannelNotReady && reconnectable) {
    reconnectionSpent_ = true;
    rc = meter_.reopenLink(ctx_);
    if (rc == kOk) rc = meter_.readPath(read, store_, ctx_);
  }
  if (rc != kOk) return rc;
  QueryPeriodReport report;
  report.periods = 0;
  report.activeMask = activeMask_;
  report.latest = &store_;
  report.previous = previous_.get();
  host_.periodDone(report);
  return kOk;
}

void QueryLoop::finishPeriod(std::int64_t elapsedAtPassStart) {
  const int d = periodsToMakeUp(elapsedAtPassStart, dueHundredths_, periodSeconds_);
  QueryPeriodReport report;
  report.periods = d;
  report.activeMask = activeMask_;
  report.latest = &store_;
  report.previous = previous_.get();
  if (capturing_) writeCaptureRows(d, report);

  trend_.storePeriod(trendPeriodOf(store_, activeMask_, meter_.facts().echofluxMode), d,
                     ctx_.nowMs() / 1000);
  host_.periodDone(report);
  *previous_ = store_;
  dueHundredths_ += static_cast<std::int64_t>(d) * periodSeconds_ * 100;
}

void QueryLoop::writeCaptureRows(int periods, QueryPeriodReport& report) {
  if (firstRowPending_) {
    firstRowPending_ = false;
    // Stopped before its first row: nothing to open.
    if (captureStopRequested_) {
      endCapture(false, {});
      return;
    }
    if (!openCapture()) return;
  }
  if (!log_.isOpen()) return;
  const int before = log_.rowCount();
  const int rc = log_.writeCaptureRows(store_, periods);
  report.firstRow = before + 1;
  report.rowsWritten = log_.rowCount() - before;
  if (rc != kOk) {
    endCapture(false, log_.message());
    return;
  }
  if (log_.lengthReached() || captureStopRequested_) endCapture(true, {});
}

bool QueryLoop::openCapture() {
  CaptureHeaderFacts facts;
  // The header's reads are exchanges of this pass: a dropped TCP link gets
  // the run's reconnection here as well.
  const int headerRead = withReconnection(
      [&](OperationContext& ctx) { return meter_.captureHeaderFacts(activeMask_, facts, ctx); });
  if (headerRead != kOk) {
    // The exchange said what failed. Like any failed exchange of the pass,
    // it ends the loop, not only the capture.
    headerReadFailure_ = headerRead;
    endCapture(false, {});
    return false;
  }
  CaptureTarget target;
  std::string message;
  if (resolveCaptureTarget(request_.directory, request_.fileName, request_.startupDirectory, target,
                           message) != 0) {
    endCapture(false, message);
    return false;
  }
  std::unique_ptr<CaptureSink> sink;
  if (host_.openCaptureSink(target, sink, message) != 0 || !sink) {
    endCapture(false, message);
    return false;
  }
  CaptureSettings settings;
  settings.periodSeconds = periodSeconds_;
  settings.lengthSeconds = request_.lengthSeconds;
  if (log_.openCaptureLog(std::move(sink), target.path, facts, store_, settings) != kOk) {
    endCapture(false, log_.message());
    return false;
  }
  logOpened_ = true;
  // The meter keeps the start of its latest capture; a failed write is
  // reported by the block I/O and does not stop the capture.
  if (log_.lastReport().record) {
    withReconnection(
        [&](OperationContext& ctx) { return meter_.recordCaptureStart(log_.lastReport(), ctx); });
  }
  return true;
}

void QueryLoop::endCapture(bool withSummary, const std::string& message) {
  CaptureEndReport report;
  report.message = message;
  report.opened = logOpened_;
  if (logOpened_) report.path = log_.path();
  if (log_.isOpen()) {
    if (withSummary && log_.rowCount() > 0) {
      if (log_.writeCaptureSummary() == kOk) {
        report.summaryWritten = true;
      } else {
        report.message = log_.message();
      }
    }
    if (log_.closeCaptureLog() != kOk && report.message.empty()) report.message = log_.message();
  }
  report.rows = logOpened_ ? log_.rowCount() : 0;
  if (logOpened_) {
    std::string ini = request_.iniPath.empty() ? quillmapIniPath() : request_.iniPath;
    recordLastCaptureLog(report.path, meter_.facts().extendedDiagnostics, request_.startupDirectory,
                         ini);
  }
  logOpened_ = false;
  clearCaptureFlags();
  host_.captureEnded(report);
}

}  // namespace tarnlux
