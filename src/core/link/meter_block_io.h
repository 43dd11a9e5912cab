#pragma once

// Reading and writing the memory block (qmmem) and the command block (qmcmd)
// over the link. The text rules live in meter_block.h; this file adds the
// exchanges around them.

#include <functional>
#include <string>
#include <vector>

#include "common/op_context.h"
#include "link/meter_block.h"
#include "link/meter_facts.h"
#include "link/transport.h"

namespace tarnlux {

// The application-wide record of the memory block: the block fields with what
// persists between reads and writes (generation, capacity, last texts), and the
// working values the screens edit and the grading uses. A read fills only the
// block fields; a screen that wants the meter's values calls useBlockValues()
// after its read; a write copies the working values into the block fields.
struct MeterBlockStore {
  MeterBlockState state;
  MeterBlockFields working;

  // Working values := block fields (after a successful read).
  void useBlockValues() { working = state.block; }
};

// Receive limit of the block and password reads.
inline constexpr int kBlockAnswerTimeoutMs = 50000;

// Reads the block of `channel` (0..3; on multi-path meters the site slot):
// sends "cv %d qmmem\r" and receives until "char" and then "\r". The layout is
// the channel's (its Echoflux bit in facts.meterFlags); head and tail are
// recognised when facts.alarmStorage is set. With `verifyOnly` only the frame
// is checked and the capacity remembered (the caller compares the text, which
// stays in the link's receive area). Fields are decoded into store.state.block;
// the working values are not touched. A failed read changes nothing but the
// capacity. 0, a link code (reported by the exchange), or 21021..21039
// reported as "Memoire de configuration du compteur corrompue (reenregistrer)"
// with the code.
int readMeterBlock(MeterLink& link, int channel, bool verifyOnly, const MeterFacts& facts,
                   MeterBlockStore& store, OperationContext& ctx);

// Writes `fields` into the block of `channel`: encodes them in the layout of
// the current Echoflux mode (with head and tail when facts.alarmStorage),
// refuses a block longer than the capacity ("Trop de donnees pour memoire
// configuration du compteur", nothing sent), sends "cv %d qmmem[0] <block>",
// purges (5000 ms, quiet 3000 ms), reads the block back and requires the
// written text in it ("Erreur de confirmation de memoire du compteur
// (reenregistrer les donnees)", kBlockNotConfirmed). Only a confirmed write
// changes the block fields (to `fields`) and the block last read; the working
// values are not touched. 0 or a code. A block never read (capacity unknown)
// is read first.
inline constexpr int kBlockNotConfirmed = 21042;
int writeMeterBlockFields(MeterLink& link, int channel, const MeterFacts& facts,
                          MeterBlockStore& store, const MeterBlockFields& fields,
                          OperationContext& ctx);

// Writes the working values (writeMeterBlockFields); after a confirmed write
// they are also the block fields.
int writeMeterBlock(MeterLink& link, int channel, const MeterFacts& facts, MeterBlockStore& store,
                    OperationContext& ctx);

// The second half of a write: waits for the meter to settle (5000 ms, quiet
// 3000 ms), reads the block back and looks for the text last encoded in it.
// Also answers, after a write that was interrupted once its text had gone
// out, whether the meter took it. `fields` are those the write encoded; they
// become the block fields when confirmed. 0 (committed as after a write),
// kBlockNotConfirmed (reported) or the exchange's code.
int confirmMeterBlockWrite(MeterLink& link, int channel, const MeterFacts& facts,
                           MeterBlockStore& store, const MeterBlockFields& fields,
                           OperationContext& ctx);

// Writes the block as the meter holds it (the block fields) with `change`
// applied; once the meter confirmed it, the working values receive the same
// change and otherwise keep whatever they hold. For writes the program makes
// on its own (the site name, the last-report stamp of a capture): they must
// not carry unsaved or default limits into the meter. The caller makes sure
// the block fields are the meter's (state.fromMeter, rereadMeterBlock) unless
// it means to replace a block that cannot be read. 0 or the code.
int updateMeterBlock(MeterLink& link, int channel, const MeterFacts& facts, MeterBlockStore& store,
                     const std::function<void(MeterBlockFields&)>& change, OperationContext& ctx);

// A read fault that says the meter's block cannot be decoded (21021..21039),
// as against a time-out, a link failure or a cancel, which say nothing of
// what the meter holds.
bool isBlockFormatFault(int code);

// Before a write that keeps the fields it does not change: when the block
// fields are not known to be the meter's (the last read failed), purges and
// reads the block again, on TCP with one reconnection. On success the working
// values become the meter's too. 0, or the read's code: after a format fault
// the block fields keep what they held (the defaults after a connect) and
// only a fresh block may be written; after any other code nothing may be.
int rereadMeterBlock(MeterLink& link, int channel, const MeterFacts& facts, MeterBlockStore& store,
                     OperationContext& ctx);

// Reads the command block of `channel` ("cv %d qmcmd\r") and takes its
// sequence character into store.state.commandSequence. Faults are numbered
// from `faultBase` (see readCommandBlockAnswer) and reported as
// "Memoire de configuration du compteur corrompue (reenregistrer)".
int readCommandBlock(MeterLink& link, int channel, int faultBase, MeterBlockStore& store,
                     OperationContext& ctx);

// Hands a command to the meter through its command block: advances the
// sequence character and sends "cv %d qmcmd[0] S,f1,...,fn,CK,S<EOT>\r".
int writeCommandBlock(MeterLink& link, int channel, const std::vector<std::string>& fields,
                      MeterBlockStore& store, OperationContext& ctx);

}  // namespace tarnlux
