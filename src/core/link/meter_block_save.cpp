#include "link/meter_block_save.h"

#include "common/result.h"

namespace tarnlux {

const char* blockSaveStatusText(BlockSaveEnd end) {
  switch (end) {
    case BlockSaveEnd::Saved:
    case BlockSaveEnd::NothingToSend:
      return kBlockSavedText;
    case BlockSaveEnd::Refused:
      return kBlockSaveRefusedText;
    case BlockSaveEnd::Interrupted:
      return kBlockSaveInterruptedText;
    case BlockSaveEnd::Failed:
      break;
  }
  return "";
}

BlockSaveEnd saveMeterBlock(MeterLink& link, int channel, const MeterFacts& facts,
                            MeterBlockStore& store, const MeterBlockFields& staging,
                            const PasswordDialog& askPassword, OperationContext& ctx, int& code) {
  code = kOk;
  if (store.state.fromMeter && staging == store.state.block) return BlockSaveEnd::NothingToSend;

  if (ctx.progress != nullptr) ctx.progress->start(kBlockSavingText);
  bool refused = false;
  const PasswordDialog dialog = [&](std::string_view meterPassword, std::string& newPassword) {
    const int rc = askPassword ? askPassword(meterPassword, newPassword) : kCancelled;
    refused = rc == kCancelled;
    return rc;
  };
  code = checkMeterPassword(link, channel, dialog, ctx);
  if (code == kOk) code = writeMeterBlockFields(link, channel, facts, store, staging, ctx);
  if (code == kOk) {
    store.working = staging;
    return BlockSaveEnd::Saved;
  }
  if (refused) return BlockSaveEnd::Refused;
  return code == kCancelled ? BlockSaveEnd::Interrupted : BlockSaveEnd::Failed;
}

}  // namespace tarnlux
