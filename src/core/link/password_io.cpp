#include "link/password_io.h"

#include "link/exchange.h"
#include "link/link_reopen.h"

namespace tarnlux {
namespace {

inline constexpr int kPasswordAnswerTimeoutMs = 50000;

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
  int rc = withTcpRetry(link, ctx, [&](OperationContext& attempt) {
    return readPassword(link, channel, meterPassword, attempt);
  });
  if (rc != kOk) return rc;
  if (meterPassword.empty()) return kOk;

  std::string newPassword;
  rc = dialog(meterPassword, newPassword);
  if (rc != kOk) return rc;
  if (newPassword.empty()) return kOk;

  rc = withTcpRetry(link, ctx, [&](OperationContext& attempt) {
    return sendNewPassword(link, channel, newPassword, attempt);
  });
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
