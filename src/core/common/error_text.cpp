#include "common/error_text.h"

namespace tarnlux {

namespace {

thread_local int lastError = 0;

std::string joined(std::string_view message, std::string_view extra, std::string_view extra2) {
  std::string text;
  text.reserve(message.size() + extra.size() + extra2.size() + 32);
  text.append(message).append(extra).append(extra2);
  return text;
}

void appendCode(std::string& text, int code) {
  if (code < 0) return;
  if (code == 0) code = lastSystemError();
  text.append(kErrorCodeSeparator).append(std::to_string(code));
}

}  // namespace

std::string errorBoxText(std::string_view message, std::string_view extra, std::string_view extra2,
                         int code) {
  std::string text = joined(message, extra, extra2);
  appendCode(text, code);
  if (text.size() > 1256) text.resize(1256);
  return text;
}

std::string statusErrorText(std::string_view message, std::string_view extra,
                            std::string_view extra2, int code) {
  std::string text;
  if (code < 0) text = std::string(kErrorCaption) + " - ";
  text += joined(message, extra, extra2);
  appendCode(text, code);
  if (text.size() > 256) text.resize(256);
  return text;
}

int lastSystemError() { return lastError; }
void setLastSystemError(int code) { lastError = code; }

}  // namespace tarnlux
