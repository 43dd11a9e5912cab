#include <optional>

#include "link/exchange.h"
#include "link/exchange_loop.h"
#include "link/typed_read.h"

namespace tarnlux {

using exchange_detail::findIn;
using exchange_detail::receiveLoop;
using exchange_detail::reportReceiveTimeout;
using exchange_detail::resumeFrom;

namespace {

// The meter's command prompt starts a line with this character.
constexpr char kPromptMark = '>';

bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

// The command line as the meter echoes it: without the backspaces that clear
// its line first and without its line end.
std::string_view echoOf(std::string_view command) {
  while (!command.empty() && command.front() == '\b') command.remove_prefix(1);
  while (!command.empty() && isLineEnd(command.back())) command.remove_suffix(1);
  return command;
}

class VariableAnswerSearch {
 public:
  enum class Outcome { Waiting, Complete, NotComing };

  VariableAnswerSearch(std::string_view echo, std::string_view typeWord, char* area)
      : echo_(echo), typeWord_(typeWord), area_(area) {}

  // New bytes now fill [previousEnd, end).
  Outcome advance(std::size_t previousEnd, std::size_t end) {
    const std::string_view text(area_, end);
    if (echoEnd_ == npos && !echo_.empty()) {
      const std::size_t at = findIn(area_, resumeFrom(previousEnd, echo_.size(), 0), end, echo_);
      if (at != npos) echoEnd_ = scanned_ = at + echo_.size();
    }
    if (typeAt_ == npos) {
      const std::size_t floor = echoEnd_ == npos ? 0 : echoEnd_;
      // One more back: the character after a word decides whether it is whole.
      typeAt_ = findWholeWord(text, typeWord_, resumeFrom(previousEnd, typeWord_.size() + 1, floor),
                              false);
      if (typeAt_ == npos) return promptCameBack(end) ? Outcome::NotComing : Outcome::Waiting;
    }
    const std::size_t from = resumeFrom(previousEnd, 1, typeAt_ + typeWord_.size());
    const std::size_t cr = findIn(area_, from, end, "\r");
    if (cr == npos) return Outcome::Waiting;
    area_[cr] = '\0';
    length_ = cr;
    return Outcome::Complete;
  }

  std::size_t typeAt() const { return typeAt_; }
  std::size_t length() const { return length_; }

 private:
  static constexpr std::size_t npos = std::string_view::npos;
  enum class Scan { RestOfEcho, LineStart, InLine };

  // After the echo's line: at least one answer line, then the prompt. Only
  // looked for once the echo was seen, so a prompt left over from the
  // previous command does not count.
  bool promptCameBack(std::size_t end) {
    if (echoEnd_ == npos) return false;
    for (; scanned_ < end; ++scanned_) {
      const char c = area_[scanned_];
      switch (scan_) {
        case Scan::RestOfEcho:
          if (isLineEnd(c)) scan_ = Scan::LineStart;
          break;
        case Scan::LineStart:
          if (isLineEnd(c)) break;
          if (c == kPromptMark && answerLines_ > 0) return true;
          scan_ = Scan::InLine;
          break;
        case Scan::InLine:
          if (isLineEnd(c)) {
            ++answerLines_;
            scan_ = Scan::LineStart;
          }
          break;
      }
    }
    return false;
  }

  std::string_view echo_;
  std::string_view typeWord_;
  char* area_;
  std::size_t echoEnd_ = npos;
  std::size_t typeAt_ = npos;
  std::size_t length_ = 0;
  std::size_t scanned_ = 0;
  Scan scan_ = Scan::RestOfEcho;
  int answerLines_ = 0;
};

}  // namespace

std::size_t findWholeWord(std::string_view text, std::string_view word, std::size_t from,
                          bool endBounds) {
  if (word.empty()) return std::string_view::npos;
  const auto isWordCharacter = [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
  };
  for (std::size_t at = text.find(word, from); at != std::string_view::npos;
       at = text.find(word, at + 1)) {
    if (at > 0 && isWordCharacter(text[at - 1])) continue;
    const std::size_t after = at + word.size();
    if (after == text.size() ? endBounds : !isWordCharacter(text[after])) return at;
  }
  return std::string_view::npos;
}

int receiveVariableAnswer(MeterLink& link, std::string_view command, std::string_view typeWord,
                          int timeoutMs, OperationContext& ctx, std::string_view& answer) {
  char* area = link.receiveArea();
  VariableAnswerSearch search(echoOf(command), typeWord, area);
  return receiveLoop(link, timeoutMs, ctx,
                     [&](std::size_t previousEnd, std::size_t end) -> std::optional<int> {
                       switch (search.advance(previousEnd, end)) {
                         case VariableAnswerSearch::Outcome::Complete:
                           answer = std::string_view(area + search.typeAt(),
                                                     search.length() - search.typeAt());
                           return kOk;
                         case VariableAnswerSearch::Outcome::NotComing:
                           return reportReceiveTimeout(true, ctx);
                         case VariableAnswerSearch::Outcome::Waiting:
                           break;
                       }
                       return std::nullopt;
                     });
}

}  // namespace tarnlux
