#include "terminal/term_session.h"

#include "common/result.h"
#include "link/exchange.h"
#include "link/link_reopen.h"

namespace tarnlux {

namespace {

constexpr int kWouldBlock = 10035;

OperationContext quietOf(const OperationContext& ctx) {
  OperationContext quiet = ctx;
  quiet.quiet = true;
  return quiet;
}

}  // namespace

int TermSession::send(std::string_view bytes, OperationContext& ctx) {
  if (bytes.empty()) return kOk;
  if (failed_ || !link_.isOpen()) {
    ctx.report(kTermLinkFailedText);
    return -1;
  }
  OperationContext quiet = quietOf(ctx);
  int rc = sendCommand(link_, bytes, kTermSendBaseTimeoutMs, quiet);
  if (rc != kOk && rc != kCancelled && link_.kind() == TransportKind::Tcp) {
    if (reopenLink(link_, quiet) == kOk) rc = sendCommand(link_, bytes, kTermSendBaseTimeoutMs, quiet);
  }
  if (rc != kOk && rc != kCancelled) {
    failed_ = true;
    ctx.report(kTermSendFailedText, rc);
  }
  return rc;
}

long TermSession::poll(OperationContext& ctx, std::string* received) {
  if (failed_ || !link_.isOpen()) return 0;
  int status = 0;
  std::size_t n = link_.readAvailable(0, status, pending_);
  if (n == 0 && status != 0 && status != kWouldBlock && link_.kind() == TransportKind::Tcp) {
    OperationContext quiet = quietOf(ctx);
    if (reopenLink(link_, quiet) == kOk) {
      status = 0;
      n = link_.readAvailable(0, status, pending_);
    }
  }
  if (n == 0) {
    if (status != 0 && status != kWouldBlock) {
      failed_ = true;
      ctx.report(kTermReceiveFailedText, status);
      return -1;
    }
    return 0;
  }
  char* area = link_.receiveArea();
  area[n] = '\0';
  const std::string_view data(area, n);
  if (capture_ != nullptr && capture_->isOpen()) {
    if (const int error = capture_->append(data); error != 0) captureError_ = error;
  }
  emulator_.feed(data);
  if (received != nullptr) received->assign(data);
  return static_cast<long>(n);
}

}  // namespace tarnlux
