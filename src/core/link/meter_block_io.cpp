#include "link/meter_block_io.h"

#include <string_view>

#include "link/exchange.h"
#include "link/exchange_loop.h"
#include "link/link_reopen.h"

namespace tarnlux {
namespace {

// Sends a read of a reserved char variable and leaves its listing, from "char"
// up to the line end, in `answer`.
int receiveReservedVariable(MeterLink& link, const std::string& command, std::string_view& answer,
                            OperationContext& ctx) {
  int rc = sendCommand(link, command, kSendBaseTimeoutMs, ctx);
  if (rc != kOk) return rc;
  ReceivedText received;
  rc = receiveUntil(link, "char", "\r", kBlockAnswerTimeoutMs, ctx, &received);
  if (rc != kOk) return rc;
  answer = std::string_view(link.receiveArea() + received.markerOffset,
                            received.length - received.markerOffset);
  return kOk;
}

int readMeterBlockText(MeterLink& link, int channel, bool verifyOnly, const MeterFacts& facts,
                       MeterBlockStore& store, std::string_view& answer, OperationContext& ctx) {
  int rc = receiveReservedVariable(link, meterBlockReadCommand(channel), answer, ctx);
  if (rc != kOk) return rc;
  rc = readMeterBlockAnswer(answer, layoutForRead(facts.meterFlags, channel), facts.alarmStorage,
                            verifyOnly, store.state);
  if (rc != kOk) ctx.report(kMeterBlockCorruptText, rc);
  return rc;
}

}  // namespace

int readMeterBlock(MeterLink& link, int channel, bool verifyOnly, const MeterFacts& facts,
                   MeterBlockStore& store, OperationContext& ctx) {
  std::string_view answer;
  return readMeterBlockText(link, channel, verifyOnly, facts, store, answer, ctx);
}

int writeMeterBlockFields(MeterLink& link, int channel, const MeterFacts& facts,
                          MeterBlockStore& store, const MeterBlockFields& fields,
                          OperationContext& ctx) {
  std::string_view answer;
  // Without a read the capacity is unknown and every block would count as too long.
  if (store.state.capacity == 0) {
    const int rc = readMeterBlockText(link, channel, true, facts, store, answer, ctx);
    if (rc != kOk) return rc;
  }

  std::string command;
  int rc = prepareMeterBlockWrite(channel, fields, layoutForWrite(facts.echofluxMode),
                                  facts.alarmStorage, store.state, command);
  if (rc != kOk) {
    // Only a full block is the plain capacity case; a field the block cannot
    // carry gets its code so the screen's input can be found.
    ctx.report(kMeterBlockTooLongText, rc == kBlockTooLong ? -1 : rc);
    return rc;
  }

  rc = sendCommand(link, command, kSendBaseTimeoutMs, ctx);
  if (rc != kOk) return rc;
  return confirmMeterBlockWrite(link, channel, facts, store, fields, ctx);
}

int confirmMeterBlockWrite(MeterLink& link, int channel, const MeterFacts& facts,
                           MeterBlockStore& store, const MeterBlockFields& fields,
                           OperationContext& ctx) {
  int rc = purgeInput(link, 5000, 3000, ctx);
  if (rc != kOk) return rc;
  std::string_view answer;
  rc = readMeterBlockText(link, channel, true, facts, store, answer, ctx);
  if (rc != kOk) return rc;
  if (!meterBlockWriteConfirmed(answer, store.state.lastEncoded)) {
    ctx.report(kMeterBlockNotConfirmedText);
    return kBlockNotConfirmed;
  }
  commitMeterBlockWrite(store.state, fields);
  return kOk;
}

int writeMeterBlock(MeterLink& link, int channel, const MeterFacts& facts, MeterBlockStore& store,
                    OperationContext& ctx) {
  const MeterBlockFields fields = store.working;
  return writeMeterBlockFields(link, channel, facts, store, fields, ctx);
}

int updateMeterBlock(MeterLink& link, int channel, const MeterFacts& facts, MeterBlockStore& store,
                     const std::function<void(MeterBlockFields&)>& change, OperationContext& ctx) {
  MeterBlockFields fields = store.state.block;
  change(fields);
  const int rc = writeMeterBlockFields(link, channel, facts, store, fields, ctx);
  // What the meter did not confirm it does not hold: the working values stay.
  if (rc == kOk) change(store.working);
  return rc;
}

bool isBlockFormatFault(int code) {
  return code >= kBlockNoTypeWord && code <= kBlockBadCheckValue;
}

int rereadMeterBlock(MeterLink& link, int channel, const MeterFacts& facts, MeterBlockStore& store,
                     OperationContext& ctx) {
  if (store.state.fromMeter) return kOk;
  const auto attempt = [&](OperationContext& attemptCtx) {
    // An answer that came too late for the failed read must not be taken
    // for this one's.
    const int purged = purgeInput(link, 5000, 50, attemptCtx);
    if (purged != kOk) return purged;
    return readMeterBlock(link, channel, false, facts, store, attemptCtx);
  };
  int rc = kOk;
  if (link.kind() != TransportKind::Tcp) {
    rc = attempt(ctx);
  } else {
    // A dropped connection is mended once; a corrupt block would only be
    // read corrupt again.
    OperationContext first = exchange_detail::quietCopy(ctx);
    rc = attempt(first);
    if (isBlockFormatFault(rc)) {
      ctx.report(kMeterBlockCorruptText, rc);
    } else if (rc != kOk && rc != kCancelled) {
      rc = reopenLink(link, ctx);
      if (rc == kOk) rc = attempt(ctx);
    }
  }
  // The limits in force are the meter's as soon as its block is known.
  if (rc == kOk) store.useBlockValues();
  return rc;
}

int readCommandBlock(MeterLink& link, int channel, int faultBase, MeterBlockStore& store,
                     OperationContext& ctx) {
  std::string_view answer;
  int rc = receiveReservedVariable(link, commandBlockReadCommand(channel), answer, ctx);
  if (rc != kOk) return rc;
  rc = readCommandBlockAnswer(answer, faultBase, store.state.commandSequence);
  if (rc != kOk) ctx.report(kMeterBlockCorruptText, rc);
  return rc;
}

int writeCommandBlock(MeterLink& link, int channel, const std::vector<std::string>& fields,
                      MeterBlockStore& store, OperationContext& ctx) {
  const std::string command =
      commandBlockWriteCommand(channel, store.state.commandSequence, fields);
  return sendCommand(link, command, kSendBaseTimeoutMs, ctx);
}

}  // namespace tarnlux
