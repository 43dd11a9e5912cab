#include "transfer/site_session.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "common/hex.h"
#include "common/paths.h"
#include "common/profile_file.h"
#include "common/result.h"
#include "link/exchange.h"
#include "link/exchange_loop.h"
#include "link/link_reopen.h"
#include "link/packet.h"

namespace tarnlux {

namespace {

constexpr int kInfoTimeoutMs = 50000;
constexpr int kListFirstPhaseMs = 15000;
constexpr int kListKeepAliveMs = 3000;
constexpr std::size_t kSitePathMax = 256;
constexpr std::size_t kSiteFileNameMax = 12;  // 8 + "." + 3

constexpr const char* kReceiveDirectoryTooLongText =
    "Erreur reception fichier info site. Nom repertoire trop long";
constexpr const char* kNoFileText = "Erreur envoi fichier infos site, pas de fichier saisi";
constexpr const char* kFileNameTooLongText = "Erreur envoi fichier info site. Nom fichier trop long";
constexpr const char* kPathTooLongText = "Erreur envoi fichier info site. Chemin complet trop long";
constexpr const char* kSendDirectoryTooLongText = "Erreur envoi fichier info site. Nom repertoire trop long";
constexpr const char* kSeekFailedText = "Erreur de positionnement du fichier";
constexpr const char* kBadFileText = "Fichier incorrect ou corrompu";
constexpr const char* kNoSiteNumberText = "Impossible obtenir numero type site";
constexpr const char* kCannotOpenText = "Impossible ouvrir fichier: ";
constexpr const char* kCannotCreateDirectoryText = "Impossible de creer le repertoire, code d'erreur: ";
constexpr const char* kWriteFailedText = "Erreur d'ecriture de fichier, code d'erreur: ";

constexpr const char* kReceiveOkDisabledText = "Reception infos site OK. Compteur desactive. Reactiver.";
constexpr const char* kSendOkDisabledText = "Envoi infos site OK. Compteur desactive. Reactiver.";
constexpr const char* kCancelledDisabledText = "Transfert infos site annule. Compteur desactive. Reactiver.";
constexpr const char* kFailedDisabledText = "Compteur desactive. Reactiver.";
constexpr const char* kCancelUnconfirmedDisabledText = "Verif annul. Conf impossible. Cptr desactive. Reactiver.";

constexpr Alternatives kEnableAnswers = {"int enab",         "Bad Parameter(s)", "Mauvais parametre(s)",
                                         "Param.Errato(i)", "Schlechte Einst.", "Parametro Malo(s)"};

// A failure result carried on without a code of its own.
constexpr int kSiteFailed = 1;

bool isPacketFault(int rc) { return rc >= kPacketTooShort && rc <= kPacketWrongSequence; }

// A copy of the context that Stop no longer interrupts: the closing ETX and
// the last enable reads must go out after a cancel.
OperationContext uncancellable(const OperationContext& ctx) {
  OperationContext copy = ctx;
  copy.cancelFlag = nullptr;
  return copy;
}

std::string_view trimBlanks(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

// The state of one transfer between its start and its end texts.
class SiteTransfer {
 public:
  SiteTransfer(MeterLink& link, const MeterDescription& meter, const SiteTransferHooks& hooks,
               OperationContext& ctx)
      : link_(link), meter_(meter), hooks_(hooks), ctx_(ctx) {}

  // "dnsite gg": the transfer number, then the enable states before.
  int start() {
    int rc = withTcpRetry(link_, ctx_, [&](OperationContext& attempt) { return openTransfer(attempt); });
    if (rc != kOk) return rc;
    started_ = true;
    rc = purgeInput(link_, 50000, 500, ctx_);
    if (rc != kOk) return rc;
    return readChannelEnableStates(link_, before_, ctx_);
  }

  // One pass through an engine: the command, then packet after packet.
  template <typename Pass, typename OnReply>
  int run(Pass& pass, const std::string& command, const std::string& firstPacket, OnReply onStep) {
    int rc = sendCommand(link_, command, kSendBaseTimeoutMs, ctx_);
    if (rc == kOk && !firstPacket.empty()) rc = sendCommand(link_, firstPacket, kSendBaseTimeoutMs, ctx_);
    if (rc != kOk) return rc;
    const char* marker = command.c_str();
    for (;;) {
      std::int64_t elapsed = 0;
      std::string_view received;
      rc = receivePacket(link_, marker, packeting_.transferNumber, elapsed, kPacketTimeoutMs, ctx_, &received);
      if (rc != kOk && !isPacketFault(rc)) return rc;
      marker = nullptr;
      // Past the first answer the meter takes bytes at line speed.
      link_.bulkTransfer = true;
      const std::string line(received);
      const SiteStep step = onStep(pass, line, rc);
      if (!step.reply.empty()) {
        rc = sendCommand(link_, step.reply, kSendBaseTimeoutMs, ctx_);
        if (rc != kOk) return rc;
      }
      totalRetries_ += step.retry ? 1 : 0;
      progress(pass);
      if (step.kind == SiteStep::Kind::Done) return kOk;
      if (step.kind == SiteStep::Kind::Failed) {
        failedHere_ = true;
        peerCancelled_ = step.peerCancelled;
        failureText_ = step.message;
        ctx_.report(step.message, step.code);
        return step.code > 0 ? step.code : kSiteFailed;
      }
    }
  }

  template <typename Pass>
  void progress(const Pass& pass) {
    if (!hooks_.progress) return;
    SiteProgress p;
    p.packet = pass.packets();
    p.retries = pass.retriesOfPacket();
    p.totalRetries = totalRetries_;
    p.verifying = verifying_;
    p.characters = std::to_string(pass.characters());
    if (total_ > 0) p.characters += " de " + std::to_string(total_);
    hooks_.progress(p);
  }

  // The end of every transfer: ETX after a failure or Stop, the enable states
  // after, the status text.
  SiteTransferOutcome finish(int rc, const char* okText, const char* okDisabledText) {
    SiteTransferOutcome outcome;
    outcome.result = rc;
    outcome.retries = totalRetries_;
    // Link codes lie below the packet faults; a failure of the transfer's own
    // rules or of the site file may carry a small code too, and leaves the
    // link as it was: the meter still gets its ETX.
    const bool transportGone = rc > 0 && rc < kPacketTooShort && !failedHere_;
    outcome.transportFailed = transportGone;
    OperationContext closing = uncancellable(ctx_);
    bool confirmed = true;
    if (started_ && rc != kOk && !transportGone) {
      if (!peerCancelled_) {
        closing.quiet = true;
        confirmed = sendCommand(link_, packeting_.cancelPacket(), kSendBaseTimeoutMs, closing) == kOk &&
                    purgeInput(link_, 50000, 500, closing) == kOk;
        closing.quiet = ctx_.quiet;
      } else {
        purgeInput(link_, 50000, 500, closing);
      }
    }
    link_.bulkTransfer = false;
    if (started_ && !transportGone) {
      ChannelEnableStates after{};
      OperationContext reads = closing;
      reads.quiet = true;
      if (readChannelEnableStates(link_, after, reads) == kOk) {
        for (int i = 0; i < kChannelEnableCount; ++i) {
          if (before_[i] > 0 && after[i] <= 0) outcome.channelDisabled = true;
        }
      } else {
        confirmed = false;
      }
    }
    const bool disabled = outcome.channelDisabled;
    if (rc == kOk) {
      outcome.status = disabled ? okDisabledText : okText;
    } else if (rc == kCancelled && !confirmed) {
      outcome.status = disabled ? kCancelUnconfirmedDisabledText : kCancelUnconfirmedText;
    } else if (rc == kCancelled) {
      outcome.status = disabled ? kCancelledDisabledText : kSiteCancelledText;
    } else {
      outcome.status = disabled ? kFailedDisabledText
                                : failureText_.empty() ? kCommunicationFailedText : failureText_;
    }
    return outcome;
  }

  // The first pass of a receive: the texts the file is written from.
  int receiveFirst(int siteNumber, const std::string& siteName, std::vector<std::string>& texts,
                   int& packets) {
    SiteReceivePass pass(packeting_, nullptr);
    const int rc = run(pass, pass.command(siteNumber, siteName), {}, receiveStep());
    texts = pass.texts();
    packets = pass.packets();
    return rc;
  }

  // The verification pass: the site received once more and compared with `expected`.
  int verify(int siteNumber, const std::string& siteName, const std::vector<std::string>& expected,
             const char* mismatchText) {
    int rc = purgeInput(link_, 50000, 500, ctx_);
    if (rc != kOk) return rc;
    if (ctx_.progress != nullptr) ctx_.progress->start(kVerifyingSiteText);
    std::size_t total = 0;
    for (const std::string& text : expected) total += text.size();
    setVerifying(true, total);
    SiteReceivePass pass(packeting_, &expected, mismatchText);
    return run(pass, pass.command(siteNumber, siteName), {}, receiveStep());
  }

  // Sends `lines` then "<EOT>".
  int send(int siteNumber, const std::string& siteName, const std::vector<std::string>& lines) {
    SiteSendPass pass(packeting_, lines);
    setVerifying(false, 0);
    total_ = 0;
    for (const std::string& line : lines) total_ += line.size();
    const std::string command = pass.command(siteNumber, siteName);
    const std::string first = pass.currentPacket();
    const int rc = run(pass, command, first, [](SiteSendPass& p, const std::string& line, int check) {
      return p.onAnswer(line, check);
    });
    packets_ = pass.packets();
    return rc;
  }

  int sentPackets() const { return packets_; }
  // A failure of this side (the site file) with the link still up.
  void failedHere() { failedHere_ = true; }
  SitePacketing& packeting() { return packeting_; }
  void setVerifying(bool verifying, std::size_t total) {
    verifying_ = verifying;
    total_ = total;
  }
  int totalRetries() const { return totalRetries_; }

 private:
  std::function<SiteStep(SiteReceivePass&, const std::string&, int)> receiveStep() {
    return [this](SiteReceivePass& pass, const std::string& line, int check) {
      return pass.onPacket(line, check, ctx_.nowMs());
    };
  }

  int openTransfer(OperationContext& attempt) {
    int rc = purgeInput(link_, 50000, 3000, attempt);
    if (rc == kOk) rc = sendCommand(link_, "dnsite gg\r", kSendBaseTimeoutMs, attempt);
    if (rc != kOk) return rc;
    std::int64_t elapsed = 0;
    std::string_view line;
    rc = receivePacket(link_, "dnsite gg", -1, elapsed, kPacketTimeoutMs, attempt, &line);
    if (isPacketFault(rc)) {
      attempt.report(kPacketErrorText, rc);
      return rc;
    }
    if (rc != kOk) return rc;
    const int high = hexValue(line[4]);
    const int low = hexValue(line[5]);
    if (high < 0 || low < 0) {
      attempt.report(kPacketDataErrorText, kSiteBadTransferField);
      return kSiteBadTransferField;
    }
    packeting_.transferNumber = high * 16 + low;
    packeting_.numbered = meter_.numbered;
    packeting_.counter = meter_.counterStart & 0xFF;
    return kOk;
  }

  MeterLink& link_;
  const MeterDescription& meter_;
  const SiteTransferHooks& hooks_;
  OperationContext& ctx_;
  SitePacketing packeting_;
  ChannelEnableStates before_{};
  bool started_ = false;
  bool peerCancelled_ = false;
  bool failedHere_ = false;
  std::string failureText_;
  bool verifying_ = false;
  std::size_t total_ = 0;
  int totalRetries_ = 0;
  int packets_ = 0;
};

int reportWithCode(const OperationContext& ctx, const char* text, int code) {
  ctx.report(std::string(text) + std::to_string(code));
  return code;
}

// Reads a site file: its lines without their line ends. 0 or a reported fault.
int readSiteFileLines(const std::string& path, std::vector<std::string>& lines, OperationContext& ctx) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    const int code = errno;
    ctx.report(kCannotOpenText, code, path);
    return code != 0 ? code : kSiteFailed;
  }
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  in.seekg(0, std::ios::beg);
  if (size < 0 || !in) {
    ctx.report(kSeekFailedText);
    return kSiteFailed;
  }
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // Packets carry printable text only; a line the meter cannot take spoils the file.
    bool printable = line.size() <= kSiteFileLineMax;
    for (unsigned char c : line) printable = printable && c >= 0x20 && c < 0x7F;
    if (!printable) {
      ctx.report(kBadFileText);
      return kSiteFailed;
    }
    lines.push_back(line);
  }
  if (lines.empty() || lines.front().empty()) {
    ctx.report(kBadFileText);
    return kSiteFailed;
  }
  return kOk;
}

// Writes the site file whole through a temporary file: an earlier file stays
// until the new one is complete.
int writeSiteFile(const std::string& directory, const std::string& fileName,
                  const std::vector<std::string>& texts, std::string& path, OperationContext& ctx) {
  std::string folder(trimBlanks(directory));
  folder = withTrailingSeparator(folder.empty() ? currentProgramDirectory() : folder);
  if (folder.size() > kSitePathMax) {
    ctx.report(kReceiveDirectoryTooLongText);
    return kSiteFailed;
  }
  path = folder + fileName;
  if (const int rc = ensureParentDirectory(path); rc != 0) return reportWithCode(ctx, kCannotCreateDirectoryText, rc);
  std::string data;
  for (const std::string& text : texts) data += text + "\r\n";
  if (const int rc = writeFileAtomically(path, data); rc != 0) return reportWithCode(ctx, kWriteFailedText, rc);
  return kOk;
}

}  // namespace

int readSiteCatalogue(MeterLink& link, SiteCatalogue& out, std::string& status, OperationContext& ctx) {
  status = kCollectingMeterInfoText;
  const auto failed = [&](int rc) {
    status = kCommunicationFailedText;
    return rc;
  };
  int rc = resyncPrompt(link, 0, true, false, ChannelFacts{}, ctx);
  if (rc == kOk) rc = sendCommand(link, "info\r", kSendBaseTimeoutMs, ctx);
  ReceivedText received;
  if (rc == kOk) rc = receiveUntil(link, "-", "\r", kInfoTimeoutMs, ctx, &received);
  if (rc != kOk) return failed(rc);
  MeterDescription meter;
  rc = parseMeterInfo(std::string_view(link.receiveArea(), received.length), meter);
  if (rc != kOk) {
    ctx.report(kSiteMeterDataInvalidText, rc);
    return failed(rc);
  }

  rc = sendCommand(link, "ls\r", kSendBaseTimeoutMs, ctx);
  unsigned mask = 0;
  Alternatives alternatives = {meter.model.c_str(), kNoSiteTexts[0], kNoSiteTexts[1], kNoSiteTexts[2],
                               kNoSiteTexts[3], kNoSiteTexts[4]};
  if (rc == kOk) {
    rc = receiveWithKeepAlive(link, mask, alternatives, "\r", kListFirstPhaseMs, kListKeepAliveMs, ctx,
                              &received);
  }
  if (rc != kOk) return failed(rc);
  std::vector<SiteEntry> sites;
  if (mask == 1) {
    rc = parseSiteList(std::string_view(link.receiveArea(), received.length), meter.model, sites);
    if (rc != kOk) {
      ctx.report(kSiteMeterDataInvalidText, rc);
      return failed(rc);
    }
  }
  status = sites.empty() ? kNoSitesListedText : "";
  out.meter = std::move(meter);
  out.sites = std::move(sites);
  return kOk;
}

int readChannelEnableStates(MeterLink& link, ChannelEnableStates& states, OperationContext& ctx) {
  for (int i = 0; i < kChannelEnableCount; ++i) {
    int rc = sendCommand(link, "cv " + std::to_string(i) + " enab\r", kSendBaseTimeoutMs, ctx);
    unsigned mask = 0;
    ReceivedText received;
    if (rc == kOk) rc = receiveOneOf(link, mask, kEnableAnswers, "\r", 0x3f, 0, kAnswerTimeoutMs, ctx, &received);
    if (rc != kOk) return rc;
    states[static_cast<std::size_t>(i)] = -1;
    if (mask == 1) {
      const char* value = link.receiveArea() + received.markerOffset + std::strlen(kEnableAnswers[0]);
      char* end = nullptr;
      const long parsed = std::strtol(value, &end, 10);
      if (end != value) states[static_cast<std::size_t>(i)] = static_cast<int>(parsed);
    }
  }
  return kOk;
}

SiteTransferOutcome receiveSite(MeterLink& link, const MeterDescription& meter, int siteNumber,
                                const std::string& siteName, const std::string& directory,
                                const std::string& fileName, const SiteTransferHooks& hooks,
                                OperationContext& ctx) {
  SiteTransfer transfer(link, meter, hooks, ctx);
  std::vector<std::string> texts;
  int packets = 0;
  std::string path;
  int rc = transfer.start();
  if (rc == kOk) rc = transfer.receiveFirst(siteNumber, siteName, texts, packets);
  if (rc == kOk) rc = transfer.verify(siteNumber, siteName, texts, kReceiveMismatchText);
  if (rc == kOk) {
    const std::string name = trimmed(fileName).empty() ? siteFileName(siteName, siteNumber) : trimmed(fileName);
    rc = writeSiteFile(directory, name, texts, path, ctx);
    if (rc != kOk) transfer.failedHere();
  }
  SiteTransferOutcome outcome = transfer.finish(rc, kReceiveOkText, kReceiveOkDisabledText);
  outcome.packets = packets;
  if (rc == kOk) outcome.filePath = path;
  return outcome;
}

SiteTransferOutcome sendSite(MeterLink& link, const MeterDescription& meter, const std::string& path,
                             const SiteTransferHooks& hooks, OperationContext& ctx) {
  SiteTransferOutcome refused;
  refused.result = kSiteFailed;
  refused.status = kCommunicationFailedText;
  const auto refuse = [&](const char* text) {
    ctx.report(text);
    refused.status = text;
    return refused;
  };
  const std::string file(trimBlanks(path));
  const std::size_t slash = file.find_last_of('/');
  const std::string baseName = slash == std::string::npos ? file : file.substr(slash + 1);
  const std::string folder = slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
  if (baseName.empty()) return refuse(kNoFileText);
  if (baseName.size() > kSiteFileNameMax || siteNameOfFileName(baseName).size() > kSiteNameLength) {
    return refuse(kFileNameTooLongText);
  }
  if (folder.size() > kSitePathMax) return refuse(kSendDirectoryTooLongText);
  if (file.size() > kSitePathMax) return refuse(kPathTooLongText);
  const int siteNumber = siteNumberOfFileName(baseName);
  if (siteNumber < 0) return refuse(kNoSiteNumberText);
  std::vector<std::string> lines;
  if (const int rc = readSiteFileLines(file, lines, ctx); rc != kOk) {
    refused.result = rc;
    return refused;
  }
  if (lines.front().rfind(meter.fileHeader(), 0) != 0) {
    if (!hooks.confirm || !hooks.confirm(kVersionMismatchText, kVersionMismatchCaption)) {
      refused.result = kCancelled;
      refused.status.clear();
      return refused;
    }
  }

  SiteTransfer transfer(link, meter, hooks, ctx);
  const std::string siteName = siteNameOfFileName(baseName);
  int rc = transfer.start();
  if (rc == kOk) rc = transfer.send(siteNumber, siteName, lines);
  if (rc == kOk) rc = transfer.verify(siteNumber, siteName, lines, kSendMismatchText);
  SiteTransferOutcome outcome = transfer.finish(rc, kSendOkText, kSendOkDisabledText);
  outcome.packets = transfer.sentPackets();
  return outcome;
}

std::string rememberedSiteDirectory(const std::string& settingsPath) {
  return readProfileString(settingsPath, kSiteDirectorySection, kSiteSettingsKey);
}

std::string rememberedSiteFileName(const std::string& settingsPath) {
  return readProfileString(settingsPath, kSiteFileNameSection, kSiteSettingsKey);
}

int rememberSiteFile(const std::string& settingsPath, const std::string& directory,
                     const std::string& fileName) {
  ProfileFile profile(settingsPath);
  if (const int rc = profile.load(); rc != 0) return rc;
  profile.set(kSiteDirectorySection, kSiteSettingsKey, directory);
  profile.set(kSiteFileNameSection, kSiteSettingsKey, fileName);
  return profile.save();
}

}  // namespace tarnlux

