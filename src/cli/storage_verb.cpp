#include "cli_messages.h"
#include "storage_verb.h"

#include <cstdio>
#include <string>

#include "block_verb.h"
#include "common/paths.h"
#include "common/profile_file.h"
#include "common/result.h"
#include "diag/alarm_storage.h"

namespace tarnlux::cli {

namespace {

void line(const char* key, const std::string& value) { std::printf("%s=%s\n", key, value.c_str()); }

void printState(const AlarmStorageState& state) {
  const AlarmStorageTexts texts = alarmStorageTexts(state);
  line("enabled", state.enabled ? "1" : "0");
  line("limits_set_up", state.limitsSetUp ? "1" : "0");
  line("allocated_kb", texts.allocatedKb);
  line("percent_full", texts.percentFull);
  line("limits_correct", texts.limitsCorrect);
  line("limits_match", texts.limitsMatch);
  line("site_enabled", texts.siteEnabled);
  line("storage_active", texts.storageActive);
  std::fflush(stdout);
}

}  // namespace

int runStorage(const LinkSettings& settings, const Options& options, OperationContext& ctx) {
  Connection c;
  const int status = connectForVerb(settings, options, ctx, c);
  if (status != 0) return status;
  if (!c.facts.alarmStorage || storageChannel(c.facts) < 0) {
    showCliMessage("the meter does not keep alarm events");
    return 1;
  }
  AlarmStorageState state;
  if (runStorageCommand(c.link, c.facts, c.block, kStorageStateRequest, true, state, ctx) != kOk) {
    return 1;
  }
  const bool change = options.storageEnable || options.storageMemory || options.storageClear ||
                      options.storageFree;
  if (change) {
    const std::string directory = options.directory.empty()
                                      ? currentProgramDirectory()
                                      : withTrailingSeparator(options.directory);
    const std::string settingsPath = settingsFilePath(directory);
    const unsigned remembered = rememberedStorageKb(settingsPath);
    AlarmStorageRequest request;
    request.enable = options.storageEnable.value_or(state.enabled);
    request.memoryText = options.storageMemory.value_or(std::to_string(remembered));
    request.clear = options.storageClear;
    request.freeMemory = options.storageFree;
    const AlarmStorageDecision decision = decideStorageApply(request, state, remembered);
    if (!decision.refusal.empty()) {
      if (!ctx.quiet) showMessage(decision.refusal);
      return 1;
    }
    if (decision.send) {
      if (checkPasswordForVerb(c, options, ctx) != kOk) return 1;
      const int rc =
          runStorageCommand(c.link, c.facts, c.block, decision.commandValue, false, state, ctx);
      if (rc == kCancelled && !ctx.quiet) showMessage(kStorageCommandStoppedText);
      if (rc != kOk) return 1;
    }
    // The request is remembered once the meter has answered it.
    if (decision.send && decision.requestedKb != remembered &&
        writeProfileString(settingsPath, kStorageSettingsSection, kStorageMemoryKey,
                           std::to_string(decision.requestedKb)) != 0 &&
        !ctx.quiet) {
      showCliMessage("could not remember the memory in " + settingsPath);
    }
  }
  printState(state);
  return 0;
}

}  // namespace tarnlux::cli
