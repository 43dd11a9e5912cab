#pragma once

// The one reconnection a TCP link gets after a failed exchange. The meter's
// TCP adapters drop a connection now and then; closing the socket and opening
// a new one brings the exchange back, while a serial line gains nothing from it.

#include <functional>

#include "common/op_context.h"
#include "link/transport.h"

namespace tarnlux {

inline constexpr int kReopenConnectTimeoutMs = 5000;

// Closes the link quietly and opens it again with the settings it was opened
// with (5000 ms connect limit). The capability word belongs to the connection,
// not to the socket, so it is kept. 0 or the open's code (reported unless quiet).
// A link opened again tells the context's notice sink "HOST:PORT".
int reopenLink(MeterLink& link, OperationContext& ctx);

// Runs `exchange`. On a TCP link its first attempt is quiet, and a failure
// other than a cancel reopens the link and runs it once more, this time
// reporting: the user only hears of a failure the reconnection did not mend.
// On a serial link it runs once with `ctx`. The exchange's result.
int withTcpRetry(MeterLink& link, OperationContext& ctx,
                 const std::function<int(OperationContext& attemptCtx)>& exchange);

}  // namespace tarnlux
