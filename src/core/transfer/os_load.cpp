#include "transfer/os_load.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "common/error_text.h"
#include "common/profile_file.h"
#include "common/result.h"
#include "link/exchange.h"
#include "link/exchange_loop.h"
#include "link/link_reopen.h"

namespace tarnlux {

namespace {

constexpr const char* kNoFileText = "Erreur envoi fichier systeme d'exploitation, pas de fichier saisi";
constexpr const char* kDirectoryTooLongText =
    "Erreur envoi fichier systeme d'exploitation, nom repertoire trop long";
constexpr const char* kNameTooLongText = "Erreur envoi fichier systeme d'exploitation, nom fichier trop long";
constexpr const char* kPathTooLongText =
    "Erreur envoi fichier systeme d'exploitation, chemin complet trop long";
constexpr const char* kOpenFailedText = "Impossible ouvrir fichier: ";
constexpr const char* kSeekFailedText = "Erreur de positionnement du fichier";
constexpr const char* kReadFailedText = "Erreur de lecture de fichier";

constexpr std::size_t kDirectoryMax = 256;
constexpr std::size_t kNameMax = 256;
constexpr std::size_t kPathMax = 260;
constexpr std::size_t kReadChunk = 4096;
constexpr int kHandshakeTimeoutMs = 50000;
constexpr int kPurgeTotalMs = 50000;
constexpr int kPurgeQuietMs = 3000;

// The file read in chunks of kReadChunk, handed out as the sender asks.
class ChunkedFile {
 public:
  explicit ChunkedFile(int fd) : fd_(fd), chunk_(kReadChunk) {}
  ~ChunkedFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  ChunkedFile(const ChunkedFile&) = delete;
  ChunkedFile& operator=(const ChunkedFile&) = delete;

  int read(char* into, std::size_t want, std::size_t& got) {
    got = 0;
    if (pos_ == end_ && !atEnd_) {
      ssize_t n;
      do {
        n = ::read(fd_, chunk_.data(), chunk_.size());
      } while (n < 0 && errno == EINTR);
      if (n < 0) return errno;
      pos_ = 0;
      end_ = static_cast<std::size_t>(n);
      atEnd_ = n == 0;
    }
    got = std::min(want, end_ - pos_);
    std::memcpy(into, chunk_.data() + pos_, got);
    pos_ += got;
    return 0;
  }

 private:
  int fd_;
  std::vector<char> chunk_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  bool atEnd_ = false;
};

// Opens the file and measures it by seeking to its end and back. The
// descriptor, or -1 with the fault reported.
int openOsFile(const std::string& path, std::uint64_t& size, const OperationContext& ctx) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat info {};
  int error = fd < 0 ? errno : 0;
  // A directory opens for reading here; it is no file to send.
  if (fd >= 0 && ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) error = EISDIR;
  if (error != 0) {
    if (fd >= 0) ::close(fd);
    setLastSystemError(error);
    ctx.report(kOpenFailedText, error, path);
    return -1;
  }
  const off_t end = ::lseek(fd, 0, SEEK_END);
  if (end < 0 || ::lseek(fd, 0, SEEK_SET) != 0) {
    const int seekError = errno;
    ::close(fd);
    ctx.report(kSeekFailedText, seekError);
    return -1;
  }
  size = static_cast<std::uint64_t>(end);
  return fd;
}

// "bootload", answered by NAK at once or by "confirm - " first.
int bootloaderHandshake(MeterLink& link, OperationContext& ctx) {
  int rc = purgeInput(link, kPurgeTotalMs, kPurgeQuietMs, ctx);
  if (rc != kOk) return rc;
  rc = sendCommand(link, "bootload\r", kSendBaseTimeoutMs, ctx);
  if (rc != kOk) return rc;
  unsigned matched = 0;
  const Alternatives answers{"confirm - ", "\x15", nullptr, nullptr, nullptr, nullptr};
  rc = receiveOneOf(link, matched, answers, nullptr, 0, 0, kHandshakeTimeoutMs, ctx);
  if (rc != kOk || matched != 1u) return rc;
  rc = sendCommand(link, "bootload\r", kSendBaseTimeoutMs, ctx);
  if (rc != kOk) return rc;
  return receiveUntil(link, nullptr, "\x15", kHandshakeTimeoutMs, ctx);
}

// Sends protocol bytes even when the cancel flag is set (the CAN CAN of a stop).
int sendRaw(MeterLink& link, const std::string& bytes, const OperationContext& ctx) {
  OperationContext sending = ctx;
  sending.cancelFlag = nullptr;
  return sendCommand(link, bytes, kSendBaseTimeoutMs, sending);
}

// The CAN CAN that ends a transfer must reach the meter before the caller
// closes the link, whose purge would discard it: the driver's queue is let
// drain, then the time two characters take on the line. Real time: it is
// about the line, not the operation's time-outs.
void letCancelLeave(MeterLink& link, const OperationContext& ctx) {
  if (link.kind() != TransportKind::Serial) return;
  using Steady = std::chrono::steady_clock;
  const std::uint32_t baud = std::max<std::uint32_t>(link.settings().baudRate, 300);
  const auto lineTime = std::chrono::milliseconds(2 * 11 * 1000 / baud + 30);
  const auto drainLimit = Steady::now() + std::chrono::seconds(2);
  while (link.outputQueueLength() > 0 && Steady::now() < drainLimit) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ctx.tick();
  }
  const auto until = Steady::now() + lineTime;
  while (Steady::now() < until) {
    std::this_thread::sleep_for(std::min<Steady::duration>(std::chrono::milliseconds(10), until - Steady::now()));
    ctx.tick();
  }
}

OsLoadCounters countersOf(const XmodemSender& sender) {
  OsLoadCounters c;
  c.block = sender.currentBlock();
  c.blocksAcknowledged = sender.blocksAcknowledged();
  c.bytesSent = sender.bytesSent();
  c.fileSize = sender.fileSize();
  c.retries = sender.retries();
  c.totalRetries = sender.totalRetries();
  return c;
}

// Puts the pacing back however the load ends.
class BulkTransferScope {
 public:
  explicit BulkTransferScope(MeterLink& link) : link_(link), before_(link.bulkTransfer) {
    link_.bulkTransfer = true;
  }
  ~BulkTransferScope() { link_.bulkTransfer = before_; }
  BulkTransferScope(const BulkTransferScope&) = delete;
  BulkTransferScope& operator=(const BulkTransferScope&) = delete;

 private:
  MeterLink& link_;
  bool before_;
};

}  // namespace

std::string bytesSentText(const OsLoadCounters& counters) {
  char text[64];
  std::snprintf(text, sizeof text, "%" PRIu64 " %s %" PRIu64, counters.bytesSent, "de",
                counters.fileSize);
  return text;
}

std::string osLoadFilePath(const std::string& directory, const std::string& fileName,
                           const OperationContext& ctx) {
  std::string dir = trimmed(directory);
  const std::string name = trimmed(fileName);
  if (name.empty()) {
    ctx.report(kNoFileText);
    return {};
  }
  if (!dir.empty() && dir.back() != '/') dir += '/';
  if (dir.size() > kDirectoryMax) {
    ctx.report(kDirectoryTooLongText);
    return {};
  }
  if (name.size() > kNameMax) {
    ctx.report(kNameTooLongText);
    return {};
  }
  if (dir.size() + name.size() > kPathMax) {
    ctx.report(kPathTooLongText);
    return {};
  }
  return dir + name;
}

int runXmodemTransfer(MeterLink& link, XmodemSender& sender, const std::function<void()>& onChange,
                      OperationContext& ctx) {
  using exchange_detail::isTransportError;
  std::string out;
  sender.start(ctx.nowMs(), out);
  exchange_detail::IdleWait idle;
  for (;;) {
    if (!out.empty()) {
      const int rc = sendRaw(link, out, ctx);
      out.clear();
      if (rc != kOk) return rc;
      if (onChange) onChange();
    }
    if (sender.finished()) {
      if (sender.outcome() != XmodemSender::Outcome::Completed &&
          sender.outcome() != XmodemSender::Outcome::Refused) {
        letCancelLeave(link, ctx);
      }
      return kOk;
    }
    if (ctx.cancelled()) {
      sender.cancel(out);
      continue;
    }
    int status = 0;
    bool pending = false;
    const std::size_t n = link.readAvailable(0, status, pending);
    if (n > 0) {
      idle.progressed();
      sender.receive(std::string_view(link.receiveArea(), n), ctx.nowMs(), out);
      if (onChange && out.empty()) onChange();
      continue;
    }
    if (isTransportError(status)) return exchange_detail::reportReceiveFailure(status, ctx);
    sender.advanceTime(ctx.nowMs(), out);
    if (out.empty() && !sender.finished()) {
      idle.forRead(link);
      ctx.tick();
    }
  }
}

int loadOperatingSystem(MeterLink& link, const OsLoadRequest& request, OsLoadResult& result,
                        OperationContext& ctx) {
  result = OsLoadResult{};
  if (request.serialLine && request.lineBaud != kOsLoadAdvisedBaud) {
    if (!request.confirmSlowLine || !request.confirmSlowLine()) {
      result.stage = OsLoadStage::Declined;
      return kCancelled;
    }
  }
  result.stage = OsLoadStage::FileFault;
  const std::string path = osLoadFilePath(request.directory, request.fileName, ctx);
  if (path.empty()) return kTimeout;
  std::uint64_t size = 0;
  const int fd = openOsFile(path, size, ctx);
  if (fd < 0) return kTimeout;
  ChunkedFile file(fd);
  result.counters.fileSize = size;

  result.stage = OsLoadStage::Handshake;
  if (ctx.progress != nullptr) {
    ctx.progress->start(kOsLoadBusyText);
    ctx.progress->forceRefresh(ctx.nowMs());
  }
  int rc = withTcpRetry(link, ctx, [&](OperationContext& attempt) { return bootloaderHandshake(link, attempt); });
  if (rc != kOk) {
    result.status = rc == kCancelled ? kOsLoadStoppedText : kOsLoadLinkFailedText;
    return rc;
  }

  result.stage = OsLoadStage::Transfer;
  BulkTransferScope bulk(link);
  XmodemSender sender(size, [&file](char* into, std::size_t want, std::size_t& got) {
    return file.read(into, want, got);
  });
  const auto changed = [&]() {
    result.counters = countersOf(sender);
    if (request.showCounters) request.showCounters(result.counters);
  };
  rc = runXmodemTransfer(link, sender, changed, ctx);
  result.counters = countersOf(sender);
  result.outcome = sender.outcome();
  if (rc != kOk) return rc;
  switch (sender.outcome()) {
    case XmodemSender::Outcome::Completed:
      result.status = kOsLoadDoneText;
      return kOk;
    case XmodemSender::Outcome::Refused:
      result.status = kOsLoadRefusedText;
      if (!sender.refusalReason().empty()) result.status += " - " + sender.refusalReason();
      return kTimeout;
    case XmodemSender::Outcome::TooManyAttempts:
      result.status = kOsLoadTooManyText;
      ctx.report(kOsLoadTooManyText);
      return kTimeout;
    case XmodemSender::Outcome::Cancelled:
      result.status = kOsLoadStoppedText;
      return kCancelled;
    case XmodemSender::Outcome::ReadFailed:
      result.status.clear();
      ctx.report(kReadFailedText, sender.readError());
      return kTimeout;
    case XmodemSender::Outcome::Running:
      break;
  }
  return kTimeout;
}

}  // namespace tarnlux
