#pragma once

#include "common/error_text.h"

// The site screen's exchanges with the meter: the meter description and site
// list, then receiving a site into a site file or sending one back. The packet
// phase runs through the engines of site_transfer.h; this file moves their
// bytes over the link and keeps the rules around them (transfer start, channel
// enable states, the verification pass, the site file, the end texts).

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "common/op_context.h"
#include "link/transport.h"
#include "transfer/site_list.h"
#include "transfer/site_transfer.h"

namespace tarnlux {

inline constexpr const char* kCollectingMeterInfoText = "Collecte infos du compteur, patientez....";
inline constexpr const char* kNoSitesListedText = "Pas de sites indiques par compteur";
inline constexpr const char* kCommunicationFailedText = "Echec de communication";
inline constexpr const char* kSiteMeterDataInvalidText = kBadMeterDataText;
inline constexpr const char* kVerifyingSiteText = "Verification transf info site, patientez...";
inline constexpr const char* kReceiveOkText = "Reception info site OK";
inline constexpr const char* kSendOkText = "Envoi info site OK";
inline constexpr const char* kSiteCancelledText = "Transf info site annule";
inline constexpr const char* kCancelUnconfirmedText = "Verifier annulation. Impossible de confirmer transfert";
inline constexpr const char* kVersionMismatchText =
    "La version ne correspond pas.\nVoulez-vous annuler?  \nOu, selectionnez OK pour continuer.";
inline constexpr const char* kVersionMismatchCaption = "Attention";

// Settings file keys of the site file's directory and name.
inline constexpr const char* kSiteDirectorySection = "DIRECTORIES";
inline constexpr const char* kSiteFileNameSection = "FILE_NAMES";
inline constexpr const char* kSiteSettingsKey = "SITE";

inline constexpr int kChannelEnableCount = 9;
using ChannelEnableStates = std::array<int, kChannelEnableCount>;

struct SiteCatalogue {
  MeterDescription meter;
  std::vector<SiteEntry> sites;
};

// "info" and "ls" after getting the meter's attention. 0 with the catalogue
// (an empty site list is no failure: `status` says so), else the failure's
// code, reported, with `status` "Echec de communication" for exchange faults.
int readSiteCatalogue(MeterLink& link, SiteCatalogue& out, std::string& status, OperationContext& ctx);

// "cv N enab" for N = 0..8; -1 where the meter answers "Bad Parameter(s)" in
// any of its languages. 0 or the exchange's code.
int readChannelEnableStates(MeterLink& link, ChannelEnableStates& states, OperationContext& ctx);

// The counters the screen shows while a transfer runs.
struct SiteProgress {
  int packet = 0;
  std::string characters;  // "%u", or "%u de %u"
  int retries = 0;         // of the current packet
  int totalRetries = 0;
  bool verifying = false;
};

struct SiteTransferOutcome {
  int result = 0;          // 0, -2 cancelled, or the failure's code (1 when it has none)
  std::string status;      // the status line's final text
  std::string filePath;    // the site file written (receive)
  int packets = 0;         // data packets of the first pass
  int retries = 0;         // over the whole transfer
  bool channelDisabled = false;
  bool transportFailed = false;  // the link is gone: the program disconnects
};

struct SiteTransferHooks {
  std::function<void(const SiteProgress&)> progress;
  // The version question: true for OK (send anyway), false for Cancel.
  std::function<bool(const std::string& text, const std::string& caption)> confirm;
};

// Receives site `siteNumber` (`siteName`) into `directory`/`fileName` (the
// name left empty: NAME.NNN). The file appears only after the verification
// pass agreed, written whole; a failure leaves any earlier file as it was.
SiteTransferOutcome receiveSite(MeterLink& link, const MeterDescription& meter, int siteNumber,
                                const std::string& siteName, const std::string& directory,
                                const std::string& fileName, const SiteTransferHooks& hooks,
                                OperationContext& ctx);

// Sends the site file at `path` into the slot its extension names.
SiteTransferOutcome sendSite(MeterLink& link, const MeterDescription& meter, const std::string& path,
                             const SiteTransferHooks& hooks, OperationContext& ctx);

// The remembered directory and file name of the site screen (empty when none).
std::string rememberedSiteDirectory(const std::string& settingsPath);
std::string rememberedSiteFileName(const std::string& settingsPath);
int rememberSiteFile(const std::string& settingsPath, const std::string& directory,
                     const std::string& fileName);

}  // namespace tarnlux
