#include "site_verb.h"

#include <cstdio>
#include <string>

#include "cli_messages.h"
#include "common/paths.h"
#include "common/profile_file.h"
#include "common/result.h"
#include "link/transport.h"
#include "transfer/site_session.h"

namespace tarnlux::cli {

namespace {

constexpr int kConnectTimeoutMs = 5000;

int transferResult(const SiteTransferOutcome& outcome, const OperationContext& ctx) {
  if (outcome.result == kOk) {
    // The transfer worked, but the meter needs the engineer's hand.
    if (outcome.channelDisabled && !ctx.quiet) showNotice(outcome.status);
    std::printf("packets=%d\nretries=%d\n", outcome.packets, outcome.retries);
    return 0;
  }
  // Failures were reported as they happened; the end text says how it ended.
  if (!ctx.quiet && !outcome.status.empty() &&
      (outcome.result == kCancelled || outcome.channelDisabled)) {
    showMessage(outcome.status);
  }
  return 1;
}

int saveSite(MeterLink& link, const SiteCatalogue& catalogue, const Options& options, OperationContext& ctx) {
  const SiteEntry* entry = nullptr;
  for (const SiteEntry& site : catalogue.sites) {
    if (site.number == options.siteNumber) entry = &site;
  }
  if (entry == nullptr) {
    showCliMessage("the meter lists no site " + std::to_string(options.siteNumber));
    return 1;
  }
  // Into --dir, else the site directory of the settings file, else the working directory.
  std::string directory = options.directory;
  if (directory.empty()) {
    directory = trimmed(readProfileString(settingsFilePath(currentProgramDirectory()), kSiteDirectorySection,
                                          kSiteSettingsKey));
  }
  if (directory.empty()) directory = currentProgramDirectory();
  const SiteTransferOutcome outcome =
      receiveSite(link, catalogue.meter, entry->number, entry->name, directory, options.captureName, {}, ctx);
  if (outcome.result == kOk) std::printf("file=%s\n", outcome.filePath.c_str());
  return transferResult(outcome, ctx);
}

int restoreSite(MeterLink& link, const SiteCatalogue& catalogue, const Options& options,
                OperationContext& ctx) {
  SiteTransferHooks hooks;
  hooks.confirm = [&](const std::string& question, const std::string&) {
    if (options.siteYes) return true;
    if (!ctx.quiet) showMessage(question, "tarnlux-cli: --yes answers OK");
    return false;
  };
  return transferResult(sendSite(link, catalogue.meter, options.siteFile, hooks, ctx), ctx);
}

}  // namespace

int runSite(const LinkSettings& settings, const Options& options, OperationContext& ctx) {
  MeterLink link;
  if (link.openLink(settings, false, kConnectTimeoutMs, ctx) != kOk) return 1;
  SiteCatalogue catalogue;
  std::string status;
  int result = readSiteCatalogue(link, catalogue, status, ctx) == kOk ? 0 : 1;
  if (result == 0) {
    if (options.verb == Verb::SiteList) {
      if (catalogue.sites.empty()) {
        showMessage(kNoSitesListedText);
        result = 1;
      }
      for (const SiteEntry& site : catalogue.sites) std::printf("site=%d name=%s\n", site.number, site.name.c_str());
    } else if (options.verb == Verb::SiteSave) {
      result = saveSite(link, catalogue, options, ctx);
    } else {
      result = restoreSite(link, catalogue, options, ctx);
    }
  }
  std::fflush(stdout);
  OperationContext closing = ctx;
  closing.quiet = true;
  closing.cancelFlag = nullptr;
  link.closeLink(false, closing);
  return result;
}

}  // namespace tarnlux::cli
