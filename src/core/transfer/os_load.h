#pragma once

// Loading a new operating system into the meter: the boot loader handshake,
// then the file block by block through the XMODEM sender.

#include <cstdint>
#include <functional>
#include <string>

#include "common/op_context.h"
#include "link/transport.h"
#include "transfer/xmodem_sender.h"

namespace tarnlux {

// Where the file's directory and name are remembered in the settings file.
inline constexpr const char* kOsLoadDirectorySection = "DIRECTORIES";
inline constexpr const char* kOsLoadFileSection = "FILE_NAMES";
inline constexpr const char* kOsLoadKey = "OPERATING_SYSTEM";

// Below this speed a load takes long enough to be worth a question first.
inline constexpr std::uint32_t kOsLoadAdvisedBaud = 38400;
inline constexpr const char* kOsLoadSpeedCaption = "Attention";
inline constexpr const char* kOsLoadSpeedQuestion =
    "Vitesse transmission inferieure a 38400. Duree transfert excessive.\n"
    "Voulez-vous annuler pour changer la vitesse de transmission?\n"
    "Ou, selectionnez OK pour continuer.";

inline constexpr const char* kOsLoadBusyText = "Env fichier syst exploit a comptr, patientez....";
inline constexpr const char* kOsLoadDoneText = "Env fichier syst exploit OK";
inline constexpr const char* kOsLoadRefusedText = "Envoi fichier annule par compteur";
inline constexpr const char* kOsLoadStoppedText = "Envoi fichier annule";
inline constexpr const char* kOsLoadTooManyText =
    "Erreur envoi fichier systeme d'exploitation. Trop de tentatives ";
inline constexpr const char* kOsLoadLinkFailedText = "Echec de communication";

// The counters the screen shows while the file goes.
struct OsLoadCounters {
  std::uint64_t block = 0;      // "Paquet:" - the block on the line, from 1
  std::uint64_t blocksAcknowledged = 0;
  std::uint64_t bytesSent = 0;  // "Octets envoyes:" ... "de" fileSize
  std::uint64_t fileSize = 0;
  int retries = 0;              // "Tentatives:" of the current block
  int totalRetries = 0;         // "Total tentatives:"
};

// "%u de %u" as "Octets envoyes:" shows it.
std::string bytesSentText(const OsLoadCounters& counters);

enum class OsLoadStage { NotStarted, Declined, FileFault, Handshake, Transfer };

struct OsLoadRequest {
  std::string directory;  // as typed; blanks are trimmed
  std::string fileName;
  // The speed of the line: asked about below kOsLoadAdvisedBaud on a serial
  // line. True from the question means OK (go on).
  std::uint32_t lineBaud = kOsLoadAdvisedBaud;
  bool serialLine = true;
  std::function<bool()> confirmSlowLine;
  // Called as the counters change.
  std::function<void(const OsLoadCounters&)> showCounters;
};

struct OsLoadResult {
  OsLoadStage stage = OsLoadStage::NotStarted;
  XmodemSender::Outcome outcome = XmodemSender::Outcome::Running;
  OsLoadCounters counters;
  // The status line's final text (empty when it is cleared).
  std::string status;
};

// The full path of the file after the checks of the entries, or empty with the
// fault reported through ctx.
std::string osLoadFilePath(const std::string& directory, const std::string& fileName,
                           const OperationContext& ctx);

// Runs a load: the speed question, the file checks, the handshake ("bootload",
// answered by NAK, or by "confirm - " and then NAK; on TCP a failed handshake
// reopens the link once), the transfer without per-byte pacing (restored
// after), and the final status in result.status. 0 when the meter took the
// file; -2 when stopped or the question was declined; the transport's code; -1
// otherwise. Failures other than the status line's are reported through ctx.
int loadOperatingSystem(MeterLink& link, const OsLoadRequest& request, OsLoadResult& result,
                        OperationContext& ctx);

// The transfer alone, once the receiver's first NAK came: runs `sender` over
// the link until it ends, sending CAN CAN on ctx's cancel flag. `onChange` is
// called when the counters may have changed. 0 when the sender ended (see its
// outcome), or the transport's code (reported).
int runXmodemTransfer(MeterLink& link, XmodemSender& sender, const std::function<void()>& onChange,
                      OperationContext& ctx);

}  // namespace tarnlux
