#include "limits_verb.h"

#include <cstdio>
#include <map>
#include <string>
#include <utility>

#include "cli_messages.h"
#include "common/result.h"
#include "diag/limit_fields.h"
#include "diag/meter_info_fields.h"
#include "link/meter_block_save.h"

namespace tarnlux::cli {

namespace {

// "NAME.warning" or "NAME.fail", NAME with or without the "limit." that
// block read prints in front of it.
const LimitFieldPair* findLimitKey(MeterBlockLayout layout, std::string_view key, bool& warning) {
  const std::size_t dot = key.rfind('.');
  if (dot == std::string_view::npos) return nullptr;
  const std::string_view part = key.substr(dot + 1);
  if (part != "warning" && part != "fail") return nullptr;
  warning = part == "warning";
  std::string_view name = key.substr(0, dot);
  if (name.rfind("limit.", 0) == 0) name.remove_prefix(6);
  return findLimitFieldPair(layout, name);
}

const char* layoutName(MeterBlockLayout layout) {
  return layout == MeterBlockLayout::Echoflux ? "echoflux" : "transit_time";
}

}  // namespace

int saveBlockForVerb(Connection& c, const Options& options, const MeterBlockFields& staging,
                     OperationContext& ctx) {
  if (staging.info.location.empty()) {
    if (!ctx.quiet) showMessage(kMeterInfoLocationRequired);
    return 1;
  }
  std::string refusal;
  int code = kOk;
  const BlockSaveEnd end =
      saveMeterBlock(c.link, c.facts.blockChannel(), c.facts, c.block, staging,
                     passwordDialogForVerb(options, refusal), ctx, code);
  if (end == BlockSaveEnd::Refused && !ctx.quiet) showPasswordRefusal(options, refusal);
  std::printf("status=%s\n", blockSaveStatusText(end));
  // A block that went out but was not found on reading back is shown too:
  // it says what the meter was asked to keep.
  if (end == BlockSaveEnd::Saved || (end == BlockSaveEnd::Failed && code == kBlockNotConfirmed)) {
    std::string sent = c.block.state.lastEncoded;
    if (!sent.empty() && sent.back() == '\r') sent.pop_back();
    std::printf("sent=%s\n", escapedText(sent).c_str());
  }
  std::fflush(stdout);
  return end == BlockSaveEnd::Saved || end == BlockSaveEnd::NothingToSend ? 0 : 1;
}

int runLimitsWrite(const LinkSettings& settings, const Options& options, OperationContext& ctx) {
  // Names are checked before the meter is touched; the channel's layout once
  // connected.
  for (const auto& assignment : options.assignments) {
    bool warning = false;
    if (findLimitKey(MeterBlockLayout::TransitTime, assignment.first, warning) == nullptr &&
        findLimitKey(MeterBlockLayout::Echoflux, assignment.first, warning) == nullptr) {
      return usageError("limits write: unknown limit " + assignment.first,
                        "accepted: NAME.warning=V and NAME.fail=V, NAME as block read prints it");
    }
  }

  Connection c;
  const int status = connectForVerb(settings, options, ctx, c);
  if (status != 0) return status;
  if (!requireBlock(c)) return 1;
  const MeterBlockLayout layout = layoutForWrite(c.facts.echofluxMode);
  for (const auto& assignment : options.assignments) {
    bool warning = false;
    if (findLimitKey(layout, assignment.first, warning) == nullptr) {
      return usageError("limits write: " + assignment.first + " is not a limit of the " +
                        layoutName(layout) + " screen");
    }
  }
  if (blockFieldsForWrite(c, "limits write", ctx) != 0) return 1;

  // The screen's staging copy: the values the program works with, the
  // fields typed applied in turn. A refused field keeps its old value and is
  // reported in the screen's priority order, not the command line's.
  MeterBlockFields staging = c.block.state.block;
  std::map<std::pair<const LimitFieldPair*, bool>, const char*> refused;
  std::map<const LimitFieldPair*, bool> touched;
  for (const auto& [key, value] : options.assignments) {
    bool warning = false;
    const LimitFieldPair* pair = findLimitKey(layout, key, warning);
    const LimitFieldCheck check = checkLimitField(*pair, warning, value, c.facts.gasMeter);
    if (check.ok) {
      setLimitField(*pair, warning, check.value, staging.limits);
      touched[pair] = true;
    } else {
      refused[{pair, warning}] = check.message;
    }
  }
  for (const LimitFieldPair& pair : limitFieldPairs(layout)) {
    for (const bool warning : {true, false}) {
      const auto found = refused.find({&pair, warning});
      if (found == refused.end()) continue;
      if (!ctx.quiet) showMessage(found->second);
      return 1;
    }
  }
  for (const LimitFieldPair& pair : limitFieldPairs(layout)) {
    if (touched.count(&pair) != 0 && !limitPairInOrder(pair, staging.limits)) {
      if (!ctx.quiet) showMessage(limitOrderMessage(pair));
      return 1;
    }
  }
  return saveBlockForVerb(c, options, staging, ctx);
}

}  // namespace tarnlux::cli
