#include "diag/text_format.h"

#include <cstdarg>
#include <cstdio>

namespace tarnlux {

namespace {

// Declared a printf-style function taking a va_list, so the compiler checks
// the callers' format strings instead of warning that this one is not literal.
__attribute__((format(printf, 2, 0))) void appendFormatList(std::string& out, const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  char buffer[512];
  const int n = std::vsnprintf(buffer, sizeof buffer, format, copy);
  va_end(copy);
  if (n <= 0) return;
  if (static_cast<std::size_t>(n) < sizeof buffer) {
    out.append(buffer, static_cast<std::size_t>(n));
    return;
  }
  const std::size_t start = out.size();
  out.resize(start + static_cast<std::size_t>(n) + 1);
  std::vsnprintf(out.data() + start, static_cast<std::size_t>(n) + 1, format, args);
  out.resize(start + static_cast<std::size_t>(n));
}

}  // namespace

std::string formatText(const char* format, ...) {
  std::string out;
  va_list args;
  va_start(args, format);
  appendFormatList(out, format, args);
  va_end(args);
  return out;
}

void appendFormat(std::string& out, const char* format, ...) {
  va_list args;
  va_start(args, format);
  appendFormatList(out, format, args);
  va_end(args);
}

}  // namespace tarnlux
