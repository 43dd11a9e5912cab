#include "terminal/key_table.h"

namespace tarnlux {

namespace {

constexpr char kEsc = 0x1B;
constexpr char kBackspace = 0x08;
constexpr char kTab = 0x09;
constexpr char kDel = 0x7F;
constexpr int kCommandLefts = 6;
constexpr int kCommandBackspaces = 18;
constexpr const char* kMenuCommand = "Menue";

}  // namespace

std::string termKeyBytes(TermKey key, char character) {
  switch (key) {
    case TermKey::Character: {
      const auto code = static_cast<unsigned char>(character);
      if (code >= 127 || character == kTab) return {};
      return std::string(1, character);
    }
    case TermKey::Left: return "\x1b[D";
    case TermKey::Up: return "\x1b[A";
    case TermKey::Right: return "\x1b[C";
    case TermKey::Down: return "\x1b[B";
    case TermKey::Delete: return std::string(1, kBackspace);
    case TermKey::F1: return "\x1bOP";
    case TermKey::F2: return "\x1bOQ";
    case TermKey::F3: return "\x1bOR";
    case TermKey::F4: return "\x1bOS";
  }
  return {};
}

bool isArrowKey(TermKey key) {
  return key == TermKey::Left || key == TermKey::Up || key == TermKey::Right || key == TermKey::Down;
}

std::string commandButtonBytes() {
  std::string bytes;
  for (int i = 0; i < kCommandLefts; ++i) bytes += termKeyBytes(TermKey::Left);
  bytes.append(kCommandBackspaces, kBackspace);
  return bytes;
}

std::string menuButtonBytes() { return std::string("\r") + kMenuCommand + "\r"; }

std::string menuRedrawButtonBytes() { return "\x0C"; }

void TermKeyDecoder::key(Result& result, TermKey k, char c) {
  const std::string bytes = termKeyBytes(k, c);
  if (bytes.empty()) return;
  result.toSend += bytes;
  result.arrowKeyLast = isArrowKey(k);
  result.anyKey = true;
}

TermKeyDecoder::Result TermKeyDecoder::feed(std::string_view bytes) {
  Result result;
  for (const char c : bytes) {
    if (held_.empty()) {
      if (c == kQuitKey) {
        result.quit = true;
        return result;
      }
      if (c == kEsc) {
        held_.push_back(c);
      } else if (c == kDel) {
        key(result, TermKey::Delete);
      } else {
        key(result, TermKey::Character, c);
      }
      continue;
    }
    held_.push_back(c);
    if (held_.size() == 2) {
      if (c != '[' && c != 'O') {
        // ESC and a character: Alt held with the key; the key alone.
        held_.clear();
        if (c == kQuitKey) {
          result.quit = true;
          return result;
        }
        key(result, TermKey::Character, c);
      }
      continue;
    }
    // ESC "[" or ESC "O" then parameters up to a final character.
    if ((c >= '0' && c <= '9') || c == ';') {
      if (held_.size() > 8) held_.clear();  // no key of ours is that long
      continue;
    }
    const std::string seq = held_.substr(1);
    held_.clear();
    if (seq == "[D" || seq == "OD") key(result, TermKey::Left);
    else if (seq == "[A" || seq == "OA") key(result, TermKey::Up);
    else if (seq == "[C" || seq == "OC") key(result, TermKey::Right);
    else if (seq == "[B" || seq == "OB") key(result, TermKey::Down);
    else if (seq == "[3~") key(result, TermKey::Delete);
    else if (seq == "OP" || seq == "[11~" || seq == "[[A") key(result, TermKey::F1);
    else if (seq == "OQ" || seq == "[12~" || seq == "[[B") key(result, TermKey::F2);
    else if (seq == "OR" || seq == "[13~" || seq == "[[C") key(result, TermKey::F3);
    else if (seq == "OS" || seq == "[14~" || seq == "[[D") key(result, TermKey::F4);
    else if (seq == "[[") held_ = "\x1b[[";  // the console's F keys: one more character
  }
  return result;
}

TermKeyDecoder::Result TermKeyDecoder::flush() {
  Result result;
  // A lone ESC is a character key of its own (code 27, below 127).
  if (held_ == "\x1b") key(result, TermKey::Character, kEsc);
  held_.clear();
  return result;
}

}  // namespace tarnlux
