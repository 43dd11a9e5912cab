#include "interpreter.h"

#include "meter.h"

namespace tarnlux::meter {

namespace {

constexpr char kEtx = 0x03;
constexpr char kBackspace = 0x08;
constexpr char kLineFeed = 0x0A;
constexpr char kFormFeed = 0x0C;
constexpr char kReturn = 0x0D;
constexpr char kXon = 0x11;
constexpr char kXoff = 0x13;
constexpr char kCan = 0x18;
constexpr char kEsc = 0x1B;
constexpr char kDel = 0x7F;
constexpr int kPairsToLeaveMenu = 6;

void emit(std::vector<Output>& out, Output::Kind kind, std::string_view bytes) {
  // Consecutive echoes travel as one piece.
  if (kind == Output::Kind::Echo && !out.empty() && out.back().kind == Output::Kind::Echo) {
    out.back().bytes += bytes;
    return;
  }
  out.push_back(Output{kind, std::string(bytes)});
}

}  // namespace

const std::string_view kMenuScreen =
    "\x0C"
    "MAIN MENU\r\n"
    "  1  Meter set-up\r\n"
    "  2  Site set-up\r\n"
    "  3  Diagnostics\r\n"
    "  ESC D: back\r\n";

CommandInterpreter::CommandInterpreter(Meter& meter, bool startInMenu)
    : meter_(meter), menu_(startInMenu) {}

void CommandInterpreter::feed(std::string_view bytes, std::vector<Output>& out) {
  for (char c : bytes) {
    if (screenMenu_.active()) {
      bool left = false;
      const std::string drawn = screenMenu_.feed(c, left);
      if (!drawn.empty()) emit(out, Output::Kind::Screen, drawn);
    } else if (menu_) {
      inMenuScreen(c, out);
    } else {
      atPrompt(c, out);
    }
  }
}

void CommandInterpreter::atPrompt(char c, std::vector<Output>& out) {
  if (meter_.sites().packetMode()) return packetByte(c, out);
  if (sequence_) {
    // Parameters, then the final letter; anything else ends it and counts.
    if ((c >= '0' && c <= '9') || c == ';') return;
    sequence_ = false;
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '~') return;
  }
  if (escape_) {
    escape_ = false;
    sequence_ = c == '[';
    return;
  }
  switch (c) {
    case kEsc:
      escape_ = true;
      return;
    case '\0':
    case kLineFeed:
    case kXon:
    case kXoff:
      return;
    case kReturn:
      emit(out, Output::Kind::Echo, "\r\n");
      runLine(out);
      return;
    case kBackspace:
    case kDel:
      if (!line_.empty() && !overflow_) {
        line_.pop_back();
        emit(out, Output::Kind::Echo, "\b \b");
      }
      return;
    case kFormFeed:
      line_.clear();
      overflow_ = false;
      emit(out, Output::Kind::Screen, std::string("\r\n") + std::string(kPrompt));
      return;
    case kCan:
    case kEtx:
      line_.clear();
      overflow_ = false;
      out.push_back(Output{Output::Kind::Cancel, {}});
      return;
    default:
      break;
  }
  if (line_.size() >= kMaxLine) {
    overflow_ = true;
    return;
  }
  line_ += c;
  emit(out, Output::Kind::Echo, std::string_view(&c, 1));
}

void CommandInterpreter::inMenuScreen(char c, std::vector<Output>& out) {
  if (escape_) {
    escape_ = false;
    if (c == 'D' && ++escDPairs_ >= kPairsToLeaveMenu) {
      menu_ = false;
      escDPairs_ = 0;
      emit(out, Output::Kind::Screen, std::string("\r\n") + std::string(kPrompt));
    }
    // An ESC directly after ESC starts a new pair.
    if (c == kEsc) escape_ = true;
    return;
  }
  if (c == kEsc) {
    escape_ = true;
  } else if (c == kFormFeed) {
    emit(out, Output::Kind::Screen, kMenuScreen);
  }
}

void CommandInterpreter::runLine(std::vector<Output>& out) {
  const std::string line = std::move(line_);
  const bool overflow = overflow_;
  line_.clear();
  overflow_ = false;
  if (overflow) {
    emit(out, Output::Kind::Answer, "Error: line too long\r\n" + std::string(kPrompt));
    return;
  }
  if (siteCommand(line, out)) return;
  if (line == "menu") {
    enterMenu(out);
    return;
  }
  if (line == "Menue") {
    emit(out, Output::Kind::Screen, screenMenu_.enter());
    return;
  }
  if (line == "bootload") {
    out.push_back(Output{Output::Kind::Boot, {}});
    return;
  }
  emit(out, Output::Kind::Answer, meter_.execute(line) + std::string(kPrompt));
}

void CommandInterpreter::enterMenu(std::vector<Output>& out) {
  menu_ = true;
  escDPairs_ = 0;
  emit(out, Output::Kind::Screen, kMenuScreen);
}

}  // namespace tarnlux::meter
