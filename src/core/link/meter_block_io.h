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

// Writes the working values into the block of `channel`: copies them into the
// block fields, encodes in the layout of the current Echoflux mode (with head
// and tail when facts.alarmStorage), refuses a block longer than the capacity
// ("Trop de donnees pour memoire configuration du compteur", nothing sent),
// sends "cv %d qmmem[0] <block>", purges (5000 ms, quiet 3000 ms), reads the
// block back and requires the written text in it ("Erreur de confirmation de
// memoire du compteur (reenregistrer les donnees)", kBlockNotConfirmed). Only a
// confirmed write becomes the block last read; the working values are kept
// either way. 0 or a code. A block never read (capacity unknown) is read first.
inline constexpr int kBlockNotConfirmed = 21042;
int writeMeterBlock(MeterLink& link, int channel, const MeterFacts& facts, MeterBlockStore& store,
                    OperationContext& ctx);

// The second half of a write: waits for the meter to settle (5000 ms, quiet
// 3000 ms), reads the block back and looks for the text last encoded in it.
// Also answers, after a write that was interrupted once its text had gone
// out, whether the meter took it. 0 (committed as after a write),
// kBlockNotConfirmed (reported) or the exchange's code.
int confirmMeterBlockWrite(MeterLink& link, int channel, const MeterFacts& facts,
                           MeterBlockStore& store, OperationContext& ctx);

// Writes the block as the meter holds it (the fields last read) with
// `change` applied, as writeMeterBlock does; the working values keep whatever
// the user has been editing and only receive the same change. For writes the
// program makes on its own (the last-report stamp of a capture): they must
// not carry unsaved or default limits into the meter. 0 or the code.
int updateMeterBlock(MeterLink& link, int channel, const MeterFacts& facts, MeterBlockStore& store,
                     const std::function<void(MeterBlockFields&)>& change, OperationContext& ctx);

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
