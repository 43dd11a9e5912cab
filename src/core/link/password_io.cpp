#include "link/password_io.h"

#include "link/exchange.h"
#include "link/exchange_loop.h"

namespace tarnlux {
namespace {

using exchange_detail::quietCopy;

inline constexpr int kPasswordAnswerTimeoutMs = 50000;

bool isTcp(const MeterLink& link) { return link.kind() == TransportKind::Tcp; }

// The one reconnection a TCP link gets after a failed exchange.
int reopenLink(MeterLink& link, OperationContext& ctx) {
  const LinkSettings settings = link.settings();
  const std::uint32_t flags = link.meterFlags;
  OperationContext closing = quietCopy(ctx);
  link.closeLink(false, closing);
  const int rc = link.openLink(settings, true, 5000, ctx);
  link.meterFlags = flags;
  return rc;
}

// "cv n pw[0] <new>" followed by the purge that lets the meter settle.
int sendNewPassword(MeterLink& link, int channel, const std::string& newPassword,
                    OperationContext& ctx) {
  int rc = sendCommand(link, passwordWriteCommand(channel, newPassword), kSendBaseTimeoutMs, ctx);
  if (rc != kOk) return rc;
  return purgeInput(link, 5000, 3000, ctx);
}

}  // namespace

int readPassword(MeterLink& link, int channel, std::string& password, OperationContext& ctx) {
  int rc = sendCommand(link, passwordReadCommand(channel), kSendBaseTimeoutMs, ctx);
  if (rc != kOk) return rc;
  ReceivedText received;
  rc = receiveUntil(link, "char", "\r", kPasswordAnswerTimeoutMs, ctx, &received);
  if (rc != kOk) return rc;
  const std::string_view answer(link.receiveArea() + received.markerOffset,
                                received.length - received.markerOffset);
  rc = parsePasswordAnswer(answer, password);
  if (rc != kOk) ctx.report(kPasswordReadFailedText, rc);
  return rc;
}

int checkMeterPassword(MeterLink& link, int channel, const PasswordDialog& dialog,
                       OperationContext& ctx) {
  std::string meterPassword;
  int rc;
  if (isTcp(link)) {
    // The first failure on TCP is not the user's concern yet: only the
    // attempt after the reconnection reports.
    OperationContext first = quietCopy(ctx);
    rc = readPassword(link, channel, meterPassword, first);
    if (rc != kOk && rc != kCancelled) {
      rc = reopenLink(link, ctx);
      if (rc == kOk) rc = readPassword(link, channel, meterPassword, ctx);
    }
  } else {
    rc = readPassword(link, channel, meterPassword, ctx);
  }
  if (rc != kOk) return rc;
  if (meterPassword.empty()) return kOk;

  std::string newPassword;
  rc = dialog(meterPassword, newPassword);
  if (rc != kOk) return rc;
  if (newPassword.empty()) return kOk;

  if (isTcp(link)) {
    OperationContext first = quietCopy(ctx);
    rc = sendNewPassword(link, channel, newPassword, first);
    if (rc != kOk && rc != kCancelled) {
      rc = reopenLink(link, ctx);
      if (rc == kOk) rc = sendNewPassword(link, channel, newPassword, ctx);
    }
  } else {
    rc = sendNewPassword(link, channel, newPassword, ctx);
  }
  if (rc != kOk) return rc;

  std::string readBack;
  rc = readPassword(link, channel, readBack, ctx);
  if (rc != kOk) return rc;
  if (!passwordChangeConfirmed(readBack, newPassword)) {
    ctx.report(kPasswordChangeNotConfirmedText);
    return kPasswordChangeNotConfirmed;
  }
  return kOk;
}

}  // namespace tarnlux
