#include "cli_messages.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "common/error_text.h"

namespace tarnlux::cli {

namespace {

bool quietMessages = false;

void writeLine(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fputc('\n', stderr);
}

}  // namespace

void setMessagesQuiet(bool quiet) { quietMessages = quiet; }
bool messagesQuiet() { return quietMessages; }

bool quietRequested(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    if (arg == "--") return false;
    if (arg == "--quiet") return true;
  }
  return false;
}

int usageError(const std::string& reason, const std::string& detail) {
  if (!quietMessages) {
    writeLine("tarnlux-cli: " + reason);
    if (!detail.empty()) writeLine(detail);
    writeLine("see tarnlux-cli --help");
    std::fflush(stderr);
  }
  return 2;
}

void showMessage(const std::string& text, const std::string& detail) {
  if (quietMessages) return;
  writeLine(text);
  const std::string second = detail.empty() ? systemDescriptionOf(text) : detail;
  if (!second.empty()) writeLine(second);
  std::fflush(stderr);
}

void showCliMessage(const std::string& text) {
  if (quietMessages) return;
  writeLine("tarnlux-cli: " + text);
  std::fflush(stderr);
}

void showNotice(const std::string& text) {
  if (quietMessages) return;
  writeLine(text);
  std::fflush(stderr);
}

std::string systemDescriptionOf(std::string_view text) {
  // Error boxes end in " - Code d'erreur: N", the capture's file errors in ", code: N".
  std::string_view separator = kErrorCodeSeparator;
  std::size_t at = text.rfind(separator);
  if (at == std::string_view::npos) {
    separator = ", code: ";
    at = text.rfind(separator);
  }
  if (at == std::string_view::npos) return {};
  const std::string_view digits = text.substr(at + separator.size());
  int code = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), code);
  if (error != std::errc() || end != digits.data() + digits.size()) return {};
  // The transport reports these socket conditions by their socket numbers.
  switch (code) {
    case 10022: code = EINVAL; break;
    case 10035: code = EWOULDBLOCK; break;
    case 10037: code = EALREADY; break;
    case 10056: code = EISCONN; break;
    case 10057: code = ENOTCONN; break;
    default:
      // The program's own codes (packets, answers, blocks) start at 20000.
      if (code <= 0 || code >= 4096) return {};
  }
  return std::string("(") + std::strerror(code) + ")";
}

}  // namespace tarnlux::cli
