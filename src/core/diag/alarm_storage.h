#pragma once

// The meter's storage of alarm and warning events: its state as the meter
// reports it, the texts the set-up screen shows for it, the decision of what
// an Apply sends, and the exchanges through the command block.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/op_context.h"
#include "link/meter_block_io.h"
#include "link/meter_facts.h"
#include "link/transport.h"

namespace tarnlux {

// Storage answer faults.
inline constexpr int kStorageNoFirstBar = 20201;
inline constexpr int kStorageNoSecondBar = 20202;
inline constexpr int kStorageTextAfterBar = 20203;
inline constexpr int kStorageBadAllocated = 20204;  // fields 1 to 7: 20204 to 20210
inline constexpr int kStorageBadUsed = 20205;
inline constexpr int kStorageBadFull = 20206;
inline constexpr int kStorageBadStatus = 20207;
inline constexpr int kStorageBadMatch = 20208;
inline constexpr int kStorageBadErrorCode = 20209;
inline constexpr int kStorageBadSiteEnabled = 20210;
inline constexpr int kStorageCheckLength = 20211;
inline constexpr int kStorageCheckDiffers = 20212;
inline constexpr int kStorageCheckCharacter = 20213;
inline constexpr int kStorageNotDigit = 20214;
inline constexpr int kStorageFewFields = 20215;
// Faults of the command block read made before a storage command (base + 0 to
// + 9, as readCommandBlockAnswer numbers them).
inline constexpr int kStorageCommandBlockFaultBase = 20216;

// Command value bits.
inline constexpr unsigned kStorageStateRequest = 0x20;
inline constexpr unsigned kStorageEnableBit = 0x01;
inline constexpr unsigned kStorageDisableBit = 0x02;
inline constexpr unsigned kStorageFreeBit = 0x04;
inline constexpr unsigned kStorageClearBit = 0x08;
inline constexpr unsigned kStorageMaxKilobytes = 4095;

// Texts of the storage set-up.
inline constexpr const char* kStorageMemoryInvalidText = "Valeur de la demande de memoire invalide";
inline constexpr const char* kStorageMemoryWhileInactiveText =
    "Demande de memoire impossible si memorisation inactive";
inline constexpr const char* kStorageMemoryWithoutFreeText =
    "Impossible de demander une quantite de memoire differente sans liberer de la memoire";
inline constexpr const char* kStorageCommandStoppedText =
    "Commande arretee - Impossible de confirmer la bonne execution";
inline constexpr const char* kStorageSettingsSection = "STORAGE";
inline constexpr const char* kStorageMemoryKey = "MEMORY";

struct AlarmStorageState {
  std::uint32_t allocatedBytes = 0;
  std::uint32_t usedBytes = 0;
  bool memoryFull = false;
  bool enabled = false;      // status bit 0
  bool limitsSetUp = false;  // status bit 1
  bool limitsMatch = false;
  std::uint32_t limitsError = 0;
  std::uint32_t siteEnabled = 0;
};

// Parses the storage answer (the text after the echo of the command, up to
// the meter's terminator). 0, -1 when the answer begins with ETX (no answer),
// or a fault 20201 to 20215. `out` changes only on success.
int parseStorageAnswer(std::string_view answer, AlarmStorageState& out);

// The texts the screen shows for a state.
struct AlarmStorageTexts {
  std::string allocatedKb;     // bytes / 1024, "0" when none
  std::string percentFull;     // "100" when full, "%.2f" without trailing zeros, "" when none allocated
  std::string limitsCorrect;   // "Oui", "Non", or "Non - Code d'erreur: N"
  std::string limitsMatch;     // "Oui" / "Non"
  std::string siteEnabled;     // "Oui" / "Non"
  std::string storageActive;   // "Oui" only when everything needed is there
  bool active = false;
};
AlarmStorageTexts alarmStorageTexts(const AlarmStorageState& state);

// What the user asks for on Apply.
struct AlarmStorageRequest {
  bool enable = false;
  std::string memoryText;  // requested kilobytes as typed; empty counts as "0"
  bool clear = false;
  bool freeMemory = false;
};

// The outcome of the Apply rules: a refusal (its message), nothing to send, or
// the command value to send. `requestedKb` is the amount to remember after a
// good answer.
struct AlarmStorageDecision {
  std::string refusal;  // empty when not refused
  bool focusMemory = false;
  bool send = false;
  unsigned commandValue = kStorageStateRequest;
  unsigned requestedKb = 0;
};
AlarmStorageDecision decideStorageApply(const AlarmStorageRequest& request,
                                        const AlarmStorageState& meter, unsigned rememberedKb);

// The remembered request from the settings file (STORAGE / MEMORY): a whole
// number of kilobytes, 0 when missing or invalid.
unsigned rememberedStorageKb(const std::string& settingsPath);

// The channel storage commands address: the site slot on a multi-path meter,
// else the selected channel (-1 when none).
int storageChannel(const MeterFacts& facts);

// One storage command: checks the link (one reconnection over TCP), reads the
// command block when `readBlockFirst`, writes "S,value,," with its check value
// and reads the storage answer up to the meter's terminator (50,000 ms).
// Answer faults are reported as "Donnees compt. non valables" with the code,
// an answer beginning with ETX as "Pas de reponse du compteur". 0 or the code;
// `state` changes only when the answer was good.
int runStorageCommand(MeterLink& link, const MeterFacts& facts, MeterBlockStore& block,
                      unsigned commandValue, bool readBlockFirst, AlarmStorageState& state,
                      OperationContext& ctx);

}  // namespace tarnlux
