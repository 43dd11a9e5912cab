#pragma once

// The periodic query loop shared by the diagnostic screen, the trend graph and
// the system summary: every period it reads each active path of the connected
// meter back to back, grades nothing itself but keeps the measurement store
// current, adds trend points and, on request, capture log rows. A late period
// is made up by interpolated points and rows, never by querying twice.
//
// The engine knows no window and no link: the meter side is a QueryLoopMeter
// (LinkQueryLoopMeter talks to a real meter), the screen side a QueryLoopHost.
// Time comes from the operation context's clock, so tests run it on a
// ManualClock and long captures run on an accelerated one.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "common/op_context.h"
#include "diag/capture_files.h"
#include "diag/capture_log.h"
#include "diag/measurement_store.h"
#include "diag/pass_fail_limits.h"
#include "graph/grade_colour.h"
#include "graph/trend_store.h"
#include "link/connect.h"
#include "link/meter_block_io.h"
#include "link/meter_facts.h"
#include "link/transport.h"

namespace tarnlux {

// The screen the loop runs for: it decides the period, the reads and the texts.
enum class QueryHostKind { Diagnostic, Trend, Summary };

// Texts the loop shows in the screen's status line.
inline constexpr const char* kQueryNotConnectedText = "Non connecte au compteur";
inline constexpr const char* kQueryNoActivePathText = "Auc canal active";
// The progress line appends its turning spinner ("|" first) to this text.
inline constexpr const char* kQueryCollectingText = "Collecte donnees compteur...";
inline constexpr const char* kQueryGraphStoppedText = "Graph. arrete";
inline constexpr const char* kQuerySummaryStoppedText = "Interrogation arretee";
inline constexpr const char* kQueryAllFailedCaptureText =
    "Impossible de capturer donnees si tous les canaux sont en echec";

// --- The loop's rules, kept apart for the screens and the tests -------------

// Paths configured for the connection's mode: on a multipath site every
// transit-time path that is not an Echoflux one; on a single channel the
// selected channel when it is configured for the current mode (transit time,
// or Echoflux); none without a channel. Bit n = path n.
unsigned configuredQueryPaths(const MeterFacts& facts);

struct ActivePathChoice {
  unsigned mask = 0;       // the paths the loop reads; 0: "Auc canal active"
  bool allFailed = false;  // every configured path failed: variable reads only
};

// The paths a loop run reads. With extended diagnostics every configured path;
// without, the failed ones (bit n of `failedPaths`) are left out, and when
// none remain the diagnostic screen and the summary keep the configured paths
// in the all-failed mode while the trend graph has nothing to read.
ActivePathChoice chooseActivePaths(const MeterFacts& facts, unsigned failedPaths,
                                   QueryHostKind host);

// Seconds between two periods: 3 for fewer than three paths, 6 for three or
// four; doubled on the diagnostic screen and the summary without extended
// diagnostics (the variable reads take longer there).
int queryPeriodSeconds(int activePaths, QueryHostKind host, bool extendedDiagnostics);

// Hundredths of a second in `ms` milliseconds (whole seconds x 100 plus the
// milliseconds / 10), the unit of the loop's due times.
std::int64_t hundredthsOf(std::int64_t ms);

// How many periods a pass that started at `elapsed` makes up for the period due
// at `due` (both in hundredths): 1 + (elapsed - due) / (period x 100).
int periodsToMakeUp(std::int64_t elapsed, std::int64_t due, int periodSeconds);

// The trend values of a period: per quantity and active path the current
// reading (gain level: the mean of up and down; on Echoflux channels the
// signal), and their means over the active paths.
TrendPeriod trendPeriodOf(const MeasurementStore& store, unsigned activeMask, bool echofluxMode);

// The grade of one path's readings: the worst of its graded figures (transit
// time, or the Echoflux channel judgement).
GradeColour pathGrade(const MeasurementStore& store, int path, unsigned activeMask,
                      const PassFailLimits& limits, const MeterFacts& facts);

// "ok", "warning" or "fail".
const char* gradeKeyword(GradeColour grade);

// --- What the loop needs from the meter --------------------------------------

// One path's part of a pass.
struct PathRead {
  int path = 0;
  // The diagnostic variable reads ("accept", "rep_rate", "make_state", the
  // reads of failed paths, the Echoflux kind-0 query) before the query.
  bool variableReads = false;
  // The diagnostic query ("qg"); left out in the all-failed mode.
  bool query = true;
  bool lastPathOfPass = false;
};

class QueryLoopMeter {
 public:
  virtual ~QueryLoopMeter() = default;
  virtual bool connected() const = 0;
  virtual const MeterFacts& facts() const = 0;
  // Paths whose latest status word says they do not measure (bit n = path n).
  virtual unsigned failedPaths() const = 0;
  virtual bool tcpLink() const = 0;
  // Closes and reopens the TCP connection (5000 ms to connect). 0 or the
  // code, reported unless ctx.quiet.
  virtual int reopenLink(OperationContext& ctx) = 0;

  // The reads of one path into `store`. 0 or the exchange's code.
  virtual int readPath(const PathRead& read, MeasurementStore& store, OperationContext& ctx) = 0;
  // Typed variable reads ("cv INDEX NAME").
  virtual int readDouble(std::string_view name, int index, double& value,
                         OperationContext& ctx) = 0;
  virtual int readInt(std::string_view name, int index, std::int32_t& value,
                      OperationContext& ctx) = 0;
  virtual int readUnsigned(std::string_view name, int index, std::uint32_t& value,
                           OperationContext& ctx) = 0;
  virtual int readText(std::string_view name, int index, std::string& value,
                       OperationContext& ctx) = 0;

  // What a capture log's header says about the meter and the connection,
  // with the reads it needs (path set-ups, or the length units). 0 or the code.
  virtual int captureHeaderFacts(unsigned capturedPaths, CaptureHeaderFacts& facts,
                                 OperationContext& ctx) = 0;
  // Writes the capture start into the meter's memory block (last-report date
  // and time), verified. 0 or the code, reported unless ctx.quiet.
  virtual int recordCaptureStart(const LastReportStamp& stamp, OperationContext& ctx) = 0;
};

// --- What the loop tells its screen -------------------------------------------

// After the last path of a period (or each read of the all-failed mode). The
// readings it points to are valid during the periodDone call only.
struct QueryPeriodReport {
  int periods = 1;      // d: the periods this pass makes up for (0 in the all-failed mode)
  int firstRow = 0;     // number (from 1) of the first capture row written now
  int rowsWritten = 0;  // capture rows written now
  unsigned activeMask = 0;
  const MeasurementStore* latest = nullptr;
  // The readings of the period before (interpolated rows start from them).
  const MeasurementStore* previous = nullptr;
};

// The readings capture row `firstRow + k - 1` was written from (k from 1 to
// rowsWritten): the latest readings for the first row of a capture, else the
// step k of d from the previous period to the latest.
MeasurementStore capturedRowReadings(const QueryPeriodReport& report, int k);

struct CaptureEndReport {
  bool opened = false;          // a log file was written
  std::string path;             // the log's path
  int rows = 0;                 // rows written
  bool summaryWritten = false;  // the summary block is in the log
  std::string message;          // the reason, when it ended on a fault
};

class QueryLoopHost {
 public:
  virtual ~QueryLoopHost() = default;
  virtual void showStatus(const std::string& text) = 0;
  // Nothing is due for `clockMs` ms of the loop's clock: wait, at most 10 ms
  // of real time (the loop pumps and tests its flags after every wait).
  virtual void idle(std::int64_t clockMs);
  // The loop runs: nothing drawn yet (Print disabled).
  virtual void loopStarted(unsigned /*activeMask*/, int /*periodSeconds*/, bool /*allFailed*/) {}
  // A period was read: redraw, Print enabled.
  virtual void periodDone(const QueryPeriodReport& /*report*/) {}
  // A capture ended (the capture button reads "Debut" again; propose a new
  // file name).
  virtual void captureEnded(const CaptureEndReport& /*report*/) {}
  // The loop ended on an exit request: close the screen now.
  virtual void closeScreen() {}
  // Creates the log file of a capture; 0 or the error number with `message`.
  virtual int openCaptureSink(const CaptureTarget& target, std::unique_ptr<CaptureSink>& sink,
                              std::string& message);
};

// A capture as the screen asks for it (directory and file-name boxes, length).
struct CaptureRequest {
  std::string directory;
  std::string fileName;
  std::string startupDirectory;  // where an empty directory box points
  int lengthSeconds = 0;         // 30 ... 3600, 0 = unlimited
  std::string iniPath;           // where the last log is remembered (quillmap.ini)
};

enum class QueryLoopEnd {
  AlreadyRunning,  // another loop runs: nothing done
  NotConnected,    // "Non connecte au compteur"
  NoActivePath,    // "Auc canal active"
  Stopped,         // Stop (or Exit): "Graph. arrete" / "Interrogation arretee"
  Exited,          // Exit while running: the screen was closed
  Ended,           // the loop ended by itself without a failure report
  Failed,          // an exchange failed (already reported)
};

// True while any loop runs in the program.
bool queryLoopRunning();

class QueryLoop {
 public:
  // `base` gives the cancel flag (required), pump, clock, quiet flag and error
  // sink; the loop adds its progress line.
  QueryLoop(QueryHostKind kind, QueryLoopMeter& meter, QueryLoopHost& host, TrendStore& trend,
            MeasurementStore& store, const OperationContext& base);
  ~QueryLoop();
  QueryLoop(const QueryLoop&) = delete;
  QueryLoop& operator=(const QueryLoop&) = delete;

  // Query: runs until stopped, an error or an exit request. Does nothing when
  // a loop already runs.
  QueryLoopEnd run();

  // Stop: the loop ends at its next pass.
  void requestStop();
  // Exit or window close. While the loop runs it ends first and then closes
  // the screen (true comes back); otherwise the capture flags are cleared and
  // the screen closes at once.
  bool requestExit();
  // The capture button. While capturing: the capture ends at the next period
  // with its summary (or at once when the loop is idle). Otherwise a capture
  // starts (its log opens on the next period), and the loop with it when idle.
  void pressCaptureButton(const CaptureRequest& request);
  // A new capture length (0 = unlimited) applies at once to a running capture.
  void setCaptureLength(int lengthSeconds);

  // How the latest run ended.
  QueryLoopEnd lastEnd() const { return lastEnd_; }
  bool running() const { return running_; }
  bool capturing() const { return capturing_; }
  int periodSeconds() const { return periodSeconds_; }
  unsigned activeMask() const { return activeMask_; }
  bool allFailedMode() const { return allFailed_; }
  const CaptureLog& captureLog() const { return log_; }
  // The multipath channel's status word read by the summary ("abar").
  std::uint32_t siteStatusWord() const { return siteStatusWord_; }

 private:
  bool cancelled() const;
  QueryLoopEnd runLoop();
  // Runs one exchange of the loop. Over TCP the first failure is quiet and
  // spends the run's one reconnection on a retry that reports. A channel that
  // does not get ready (`path`'s "Echec canal n") is never retried, so its
  // message is shown even when the attempt was quiet.
  int withReconnection(const std::function<int(OperationContext&)>& exchange, int path = -1);
  int readPathStep(int path, bool lastPath, OperationContext& ctx);
  int readAllFailedStep();
  void finishPeriod(std::int64_t elapsedAtPassStart);
  void writeCaptureRows(int periods, QueryPeriodReport& report);
  bool openCapture();
  void endCapture(bool withSummary, const std::string& message);
  void clearCaptureFlags();

  QueryHostKind kind_;
  QueryLoopMeter& meter_;
  QueryLoopHost& host_;
  TrendStore& trend_;
  MeasurementStore& store_;
  OperationContext ctx_;
  ProgressLine progress_;

  QueryLoopEnd lastEnd_ = QueryLoopEnd::Ended;
  bool running_ = false;
  bool exitRequested_ = false;
  bool capturing_ = false;
  bool firstRowPending_ = false;
  bool captureStopRequested_ = false;
  bool logOpened_ = false;
  CaptureRequest request_;
  CaptureLog log_;

  unsigned activeMask_ = 0;
  int firstPath_ = -1;
  int lastPath_ = -1;
  int currentPath_ = -1;
  bool allFailed_ = false;
  int periodSeconds_ = 3;
  std::int64_t dueHundredths_ = 0;
  bool reconnectionSpent_ = false;
  int headerReadFailure_ = 0;  // the capture header's failed read, which ends the loop
  std::uint32_t siteStatusWord_ = 0;
  // The readings at the end of the previous period (with heap storage: the
  // store is large).
  std::unique_ptr<MeasurementStore> previous_;
};

// --- The real meter -------------------------------------------------------------

// The loop's meter over the program's link, as a connect left it.
class LinkQueryLoopMeter final : public QueryLoopMeter {
 public:
  LinkQueryLoopMeter(MeterLink& link, MeterFacts& facts, MeterBlockStore& block,
                     const ConnectOutcome& outcome)
      : link_(link), facts_(facts), block_(block), outcome_(outcome) {}

  bool connected() const override { return link_.isOpen() && facts_.meterFlags != 0; }
  const MeterFacts& facts() const override { return facts_; }
  unsigned failedPaths() const override { return facts_.channelFailures & 0xFu; }
  bool tcpLink() const override { return link_.kind() == TransportKind::Tcp; }
  int reopenLink(OperationContext& ctx) override;
  int readPath(const PathRead& read, MeasurementStore& store, OperationContext& ctx) override;
  int readDouble(std::string_view name, int index, double& value, OperationContext& ctx) override;
  int readInt(std::string_view name, int index, std::int32_t& value,
              OperationContext& ctx) override;
  int readUnsigned(std::string_view name, int index, std::uint32_t& value,
                   OperationContext& ctx) override;
  int readText(std::string_view name, int index, std::string& value,
               OperationContext& ctx) override;
  int captureHeaderFacts(unsigned capturedPaths, CaptureHeaderFacts& facts,
                         OperationContext& ctx) override;
  int recordCaptureStart(const LastReportStamp& stamp, OperationContext& ctx) override;

 private:
  MeterLink& link_;
  MeterFacts& facts_;
  MeterBlockStore& block_;
  const ConnectOutcome& outcome_;
};

}  // namespace tarnlux
