#include "link/link_reopen.h"

#include <string>

#include "common/result.h"
#include "link/exchange_loop.h"

namespace tarnlux {

using exchange_detail::quietCopy;

int reopenLink(MeterLink& link, OperationContext& ctx) {
  const LinkSettings settings = link.settings();
  const std::uint32_t flags = link.meterFlags;
  OperationContext closing = quietCopy(ctx);
  link.closeLink(false, closing);
  const int rc = link.openLink(settings, true, kReopenConnectTimeoutMs, ctx);
  link.meterFlags = flags;
  if (rc == kOk) ctx.notice(settings.ipAddress + ":" + std::to_string(settings.ipPort));
  return rc;
}

int withTcpRetry(MeterLink& link, OperationContext& ctx,
                 const std::function<int(OperationContext& attemptCtx)>& exchange) {
  if (link.kind() != TransportKind::Tcp) return exchange(ctx);
  OperationContext first = quietCopy(ctx);
  int rc = exchange(first);
  if (rc == kOk || rc == kCancelled) return rc;
  rc = reopenLink(link, ctx);
  if (rc != kOk) return rc;
  return exchange(ctx);
}

}  // namespace tarnlux
