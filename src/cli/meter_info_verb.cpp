#include "meter_info_verb.h"

#include <cstdio>

#include "cli_messages.h"
#include "common/result.h"
#include "diag/meter_info_fields.h"
#include "limits_verb.h"

namespace tarnlux::cli {

int runMeterInfo(const LinkSettings& settings, const Options& options, OperationContext& ctx) {
  for (const auto& assignment : options.assignments) {
    if (findMeterInfoField(assignment.first) == nullptr) {
      std::string names;
      for (const MeterInfoFieldRule& rule : meterInfoFieldRules()) {
        names += names.empty() ? rule.key : std::string(", ") + rule.key;
      }
      return usageError("meter-info: unknown field " + assignment.first, "accepted: " + names);
    }
  }

  Connection c;
  const int status = connectForVerb(settings, options, ctx, c);
  if (status != 0) return status;
  if (!requireBlock(c)) return 1;

  if (options.assignments.empty()) {
    // The connect read the block; its fault was reported there. A read lost
    // on the way is tried again.
    if (!c.outcome.blockRead || isBlockFormatFault(c.outcome.blockReadResult)) return 1;
    if (rereadMeterBlock(c.link, c.facts.blockChannel(), c.facts, c.block, ctx) != kOk) return 1;
    for (const MeterInfoFieldRule& rule : meterInfoFieldRules()) {
      std::printf("%s=%s\n", rule.key, escapedText(c.block.state.block.info.*rule.text).c_str());
    }
    std::fflush(stdout);
    return 0;
  }

  if (blockFieldsForWrite(c, "meter-info", ctx) != 0) return 1;
  MeterBlockFields staging = c.block.state.block;
  std::vector<const char*> refused(meterInfoFieldRules().size(), nullptr);
  for (const auto& [key, value] : options.assignments) {
    const MeterInfoFieldRule* rule = findMeterInfoField(key);
    const MeterInfoFieldCheck check = checkMeterInfoField(*rule, value);
    const auto index = static_cast<std::size_t>(rule - meterInfoFieldRules().data());
    if (!check.ok) {
      refused[index] = check.message;
      continue;
    }
    staging.info.*rule->text = check.text;
  }
  // The screen's order: the table's, the location first.
  for (const char* message : refused) {
    if (message == nullptr) continue;
    if (!ctx.quiet) showMessage(message);
    return 1;
  }
  return saveBlockForVerb(c, options, staging, ctx);
}

}  // namespace tarnlux::cli
