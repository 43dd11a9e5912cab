#include "osload_verb.h"

#include <cinttypes>
#include <cstdio>
#include <memory>

#include "cli_messages.h"
#include "capture_verb.h"
#include "cli_options.h"
#include "common/clock.h"
#include "common/result.h"
#include "link/transport.h"
#include "transfer/os_load.h"

namespace tarnlux::cli {

namespace {

struct OsLoadArgs {
  std::string file;
  bool yes = false;
  bool fastClock = false;
};

// Status 0, or the usage status once the error is shown.
int parseOsLoadArgs(const std::vector<std::string>& args, OsLoadArgs& out) {
  RepeatGuard repeats;
  std::string error;
  bool fileGiven = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
      if (!repeats.first(arg, error)) return usageError(error);
      if (arg == "--yes") {
        out.yes = true;
      } else if (arg == "--clock") {
        if (i + 1 >= args.size() || args[i + 1] != "fast") return usageError("--clock takes fast");
        ++i;
        out.fastClock = true;
      } else {
        return usageError("osload: unknown option " + arg);
      }
      continue;
    }
    if (fileGiven) return usageError("osload takes one FILE");
    out.file = arg;
    fileGiven = true;
  }
  if (!fileGiven || out.file.empty()) return usageError("osload needs FILE");
  return 0;
}

void printCounters(const OsLoadResult& result) {
  std::printf("blocks=%" PRIu64 "\n", result.counters.blocksAcknowledged);
  std::printf("bytes=%" PRIu64 "\n", result.counters.bytesSent);
  std::printf("retries=%d\n", result.counters.totalRetries);
  std::printf("status=%s\n", result.status.c_str());
  std::fflush(stdout);
}

}  // namespace

int runOsLoadVerb(const LinkSettings& settings, const std::vector<std::string>& args,
                  OperationContext& callerCtx) {
  OperationContext ctx = callerCtx;
  OsLoadArgs parsed;
  if (const int status = parseOsLoadArgs(args, parsed); status != 0) return status;

  std::unique_ptr<ScaledClock> fastClock;
  if (parsed.fastClock) {
    fastClock = std::make_unique<ScaledClock>(kFastClockFactor);
    ctx.clock = fastClock.get();
  }

  MeterLink link;
  if (link.openLink(settings, false, 5000, ctx) != kOk) return 1;

  OsLoadRequest request;
  const std::size_t slash = parsed.file.find_last_of('/');
  if (slash != std::string::npos) {
    request.directory = parsed.file.substr(0, slash + 1);
    request.fileName = parsed.file.substr(slash + 1);
  } else {
    request.fileName = parsed.file;
  }
  request.lineBaud = settings.baudRate;
  request.serialLine = link.kind() == TransportKind::Serial;
  request.confirmSlowLine = [&parsed]() {
    if (parsed.yes) return true;
    // The screen's question, answered Cancel: a script says --yes to go on.
    showMessage(std::string(kOsLoadSpeedQuestion) + "\n(osload --yes answers OK)");
    return false;
  };

  OsLoadResult result;
  const int rc = loadOperatingSystem(link, request, result, ctx);
  if (result.stage == OsLoadStage::Handshake || result.stage == OsLoadStage::Transfer) {
    printCounters(result);
    // Texts the status line shows and no error box has said already.
    const bool saidAlready = result.outcome == XmodemSender::Outcome::TooManyAttempts;
    if (rc != kOk && !result.status.empty() && !saidAlready && !ctx.quiet) showMessage(result.status);
  }

  OperationContext closing = ctx;
  closing.quiet = true;
  closing.cancelFlag = nullptr;
  link.closeLink(false, closing);
  return rc == kOk ? 0 : 1;
}

}  // namespace tarnlux::cli
