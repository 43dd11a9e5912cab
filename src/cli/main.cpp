// tarnlux-cli: the meter link from the command line, for scripts.
// Output forms and exit statuses are relied on by scripts: 0 success, 1 failure
// (the error box text on stderr), 2 usage error.

#include <signal.h>

#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "block_verb.h"
#include "calc_verbs.h"
#include "capture_verb.h"
#include "cli_messages.h"
#include "cli_options.h"
#include "common/op_context.h"
#include "common/paths.h"
#include "common/result.h"
#include "common/version.h"
#include "link/comm_settings.h"
#include "link/connect.h"
#include "link/exchange.h"
#include "link/transport.h"
#include "link/typed_read.h"
#include "events_verb.h"
#include "settings_verb.h"
#include "storage_verb.h"
#include "limits_verb.h"
#include "meter_info_verb.h"
#include "report_verbs.h"
#include "link_choice.h"
#include "osload_verb.h"
#include "signal_verb.h"
#include "size_verb.h"
#include "site_verb.h"
#include "term_verb.h"

namespace {

using namespace tarnlux;

std::atomic<int> cancelRequested{0};

extern "C" void onInterrupt(int) { cancelRequested.store(1); }

void installInterruptHandler() {
  struct sigaction action {};
  action.sa_handler = onInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no restart: a waiting poll returns at once
  ::sigaction(SIGINT, &action, nullptr);
  // A "timeout" or a dropped terminal session ends the run as Ctrl-C does:
  // a capture still closes its log with the summary.
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigaction(SIGHUP, &action, nullptr);
}

int exitStatus(int result) { return result == kOk ? 0 : 1; }

int runRead(MeterLink& link, const cli::Options& options, OperationContext& ctx) {
  int result = purgeInput(link, 5000, 50, ctx);
  if (result != kOk) return result;
  switch (options.readType) {
    case cli::ReadType::Unsigned: {
      std::uint32_t value = 0;
      result = readUnsigned(link, options.name, "unsigned", options.index, value, false, ctx);
      if (result == kOk) std::printf("%" PRIu32 "\n", value);
      break;
    }
    case cli::ReadType::Int:
    case cli::ReadType::Short: {
      std::int32_t value = 0;
      const char* type = options.readType == cli::ReadType::Int ? "int" : "short";
      result = readInt(link, "cv", options.name, type, options.index, value, 10, ctx);
      if (result == kOk) std::printf("%" PRId32 "\n", value);
      break;
    }
    case cli::ReadType::Double: {
      double value = 0;
      result = readDouble(link, options.name, options.index, value, ctx);
      if (result == kOk) std::printf("%.17g\n", value);
      break;
    }
    case cli::ReadType::Text: {
      std::string value;
      result = readText(link, options.name, options.index, value, false, ctx);
      if (result == kOk) std::printf("%s\n", value.c_str());
      break;
    }
    case cli::ReadType::Id: {
      std::string raw;
      std::string display;
      result = readMeterId(link, options.index, raw, display, ctx);
      if (result == kOk) std::printf("%s\n", raw.c_str());
      break;
    }
  }
  return result;
}

int runSend(MeterLink& link, const cli::Options& options, OperationContext& ctx) {
  const int result = sendCommand(link, options.text + "\r", kSendBaseTimeoutMs, ctx);
  if (result != kOk) return result;
  char last = '\n';
  const int received = receiveUntilQuiet(
      link, options.quietMs, kAnswerTimeoutMs,
      [&last](std::string_view data) {
        if (data.empty()) return;
        std::fwrite(data.data(), 1, data.size(), stdout);
        std::fflush(stdout);
        last = data.back();
      },
      ctx);
  // The meter's prompt ends without a line end; the output still ends a line.
  if (last != '\n') std::fputc('\n', stdout);
  // A line still talking after the answer time-out has had its say: what came is printed.
  return received == kTimeout ? kOk : received;
}

// Exit status of identify: 0, 1 failure, 2 when the channel could not be chosen.
int runIdentify(const LinkSettings& settings, const cli::Options& options, OperationContext& ctx) {
  cli::Connection c;
  const int status = cli::connectForVerb(settings, options, ctx, c);
  if (status != 0) return status;
  const MeterFacts& facts = c.facts;

  std::printf("meter_flags=0x%05X\n", static_cast<unsigned>(facts.meterFlags));
  std::printf("version=%s\n", facts.versionText.c_str());
  std::printf("type=%s\n", facts.typeText.c_str());
  std::printf("gas=%d\n", facts.gasMeter ? 1 : 0);
  std::printf("memory_block=%d\n", facts.memoryBlock ? 1 : 0);
  std::printf("multipath=%d\n", facts.multiPath ? 1 : 0);
  std::printf("alarm_storage=%d\n", facts.alarmStorage ? 1 : 0);
  std::printf("echoflux=%d\n", facts.echofluxMode ? 1 : 0);
  std::printf("extended_diagnostics=%d\n", facts.extendedDiagnostics ? 1 : 0);
  std::printf("metric=%d\n", facts.metricUnits ? 1 : 0);
  // A multi-path meter measures on its site, not on a chosen channel.
  if (facts.selectedChannel >= 0) {
    std::printf("channel=%d\n", facts.selectedChannel + 1);
    std::printf("id=%s\n", facts.channelIdDisplay[static_cast<std::size_t>(facts.selectedChannel)].c_str());
  } else {
    std::printf("channel=\n");
    std::printf("id=\n");
  }
  std::printf("site_id=%s\n", facts.siteIdDisplay.c_str());
  std::printf("location=%s\n", facts.locationName.c_str());
  std::printf("channel_failures=0x%02X\n", static_cast<unsigned>(facts.channelFailures));
  if (c.outcome.blockRead) {
    std::printf("block=%d\n", c.outcome.blockReadResult);
  } else {
    std::printf("block=\n");
  }
  cli::printBlockLimits(c.block.state.block.limits,
                        layoutForRead(facts.meterFlags, facts.blockChannel()));
  std::fflush(stdout);
  return 0;
}

int run(const cli::Options& options) {
  OperationContext ctx;
  ctx.cancelFlag = &cancelRequested;
  ctx.quiet = options.quiet;
  ctx.errorSink = [](const std::string& text) { cli::showMessage(text); };
  // The one reconnection mended a dropped link: worth knowing, not a failure.
  ctx.noticeSink = [](const std::string& where) {
    cli::showNotice("reconnected=" + where + " (notice: the link dropped and was opened again)");
  };

  LinkSettings settings;
  if (const int status = cli::chooseLink(options, settings); status != 0) return status;

  if (options.verb == cli::Verb::Identify) return runIdentify(settings, options, ctx);
  if (options.verb == cli::Verb::Signal) return cli::runSignal(settings, options, ctx);
  if (options.verb == cli::Verb::BlockRead) return cli::runBlockRead(settings, options, ctx);
  if (options.verb == cli::Verb::BlockWrite) return cli::runBlockWrite(settings, options, ctx);
  if (options.verb == cli::Verb::Capture) return cli::runCapture(settings, options, ctx);
  if (options.verb == cli::Verb::Settings) return cli::runSettings(settings, options, ctx);
  if (options.verb == cli::Verb::Storage) return cli::runStorage(settings, options, ctx);
  if (options.verb == cli::Verb::Events) return cli::runEvents(settings, options, ctx);
  if (options.verb == cli::Verb::SiteList || options.verb == cli::Verb::SiteSave ||
      options.verb == cli::Verb::SiteRestore) {
    return cli::runSite(settings, options, ctx);
  }
  if (options.verb == cli::Verb::LimitsWrite) return cli::runLimitsWrite(settings, options, ctx);
  if (options.verb == cli::Verb::MeterInfo) return cli::runMeterInfo(settings, options, ctx);
  if (options.verb == cli::Verb::Term) return cli::runTerm(settings, options, ctx);
  if (options.verb == cli::Verb::OsLoad) return cli::runOsLoadVerb(settings, options.calcArgs, ctx);

  auto link = std::make_unique<MeterLink>();
  int result = link->openLink(settings, false, 5000, ctx);
  if (result != kOk) return exitStatus(result);

  switch (options.verb) {
    case cli::Verb::Probe:
      result = resyncPrompt(*link, 0, true, false, ChannelFacts{}, ctx);
      break;
    case cli::Verb::Read:
      result = runRead(*link, options, ctx);
      break;
    case cli::Verb::Send:
      result = runSend(*link, options, ctx);
      break;
    default:
      break;
  }
  std::fflush(stdout);

  OperationContext closing = ctx;
  closing.quiet = true;
  closing.cancelFlag = nullptr;
  link->closeLink(false, closing);
  return exitStatus(result);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  cli::setMessagesQuiet(cli::quietRequested(args));
  cli::Options options;
  std::string error;
  if (!cli::parseOptions(args, options, error)) return cli::usageError(error);

  if (options.verb == cli::Verb::Help) {
    std::fputs(cli::helpText(), stdout);
    return 0;
  }
  if (options.verb == cli::Verb::Version) {
    std::printf("tarnlux-cli %s\n", kProgramVersion);
    return 0;
  }
  // The calculators need no link or settings file.
  if (options.verb == cli::Verb::Aga8) return cli::runAga8(options.calcArgs, options.quiet);
  if (options.verb == cli::Verb::Energy) return cli::runEnergy(options.calcArgs, options.quiet);
  if (options.verb == cli::Verb::Report) return cli::runReport(options.calcArgs, options.quiet);
  if (options.verb == cli::Verb::Trend) return cli::runTrendVerb(options.calcArgs, options.quiet);
  if (options.verb == cli::Verb::Size) return cli::runSize(options.calcArgs, options.quiet);
  installInterruptHandler();
  return run(options);
}
