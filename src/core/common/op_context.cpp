#include "common/op_context.h"

#include "common/error_text.h"

namespace tarnlux {

void OperationContext::report(std::string_view message, int code, std::string_view extra,
                              std::string_view extra2) const {
  if (quiet || !errorSink) return;
  errorSink(errorBoxText(message, extra, extra2, code));
}

}  // namespace tarnlux
