#pragma once

// The save shared by the limits and meter information screens: the screen
// edits a staging copy of the block; the live values (the working values the
// grading uses, and the block fields later program writes start from) change
// only when the meter has confirmed the staging copy.

#include "common/op_context.h"
#include "link/meter_block_io.h"
#include "link/password_io.h"

namespace tarnlux {

inline constexpr const char* kBlockSavingText = "Enreg config donnees sur compteur...";
inline constexpr const char* kBlockSavedText = "Enreg donnees OK";
inline constexpr const char* kBlockSaveRefusedText = "Enreg donnees arr.";
inline constexpr const char* kBlockSaveInterruptedText =
    "Enreg donnees interr - Impossible conf enreg";

enum class BlockSaveEnd {
  Saved,          // written and confirmed
  NothingToSend,  // the staging copy is what the meter holds
  Refused,        // the password step was refused
  Interrupted,    // the user cancelled while it ran
  Failed,         // reported by the step that failed
};

// The status line after a save: "Enreg donnees OK", "Enreg donnees arr.",
// "Enreg donnees interr - Impossible conf enreg", or empty after a failure
// (its message was shown).
const char* blockSaveStatusText(BlockSaveEnd end);

// Saves `staging` into the block of `channel`. When it equals the block the
// meter holds, nothing is sent. Otherwise shows kBlockSavingText with the
// spinner, runs the password step with `askPassword`, and writes and verifies
// the block (writeMeterBlockFields). Only a confirmed write makes `staging` the
// working values and the block fields; any other end leaves both as they
// were. `code` gets the failing step's code (0 when saved or nothing sent).
BlockSaveEnd saveMeterBlock(MeterLink& link, int channel, const MeterFacts& facts,
                            MeterBlockStore& store, const MeterBlockFields& staging,
                            const PasswordDialog& askPassword, OperationContext& ctx, int& code);

}  // namespace tarnlux
