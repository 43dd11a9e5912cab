#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "menu_screen.h"

namespace tarnlux::meter {

class Meter;

// What the interpreter gives out, in order. The kinds let the session apply
// its faults (delay, split, garbage) to answers only, never to the echo.
struct Output {
  enum class Kind {
    Echo,    // the received characters sent back, as a terminal does
    Answer,  // the reply to a command line, prompt included
    Screen,  // menu screen drawing and prompt redraws
    Cancel,  // CAN or ETX: reply text not yet sent is to be dropped
    Boot,    // "bootload": the boot loader takes the port from here
  };
  Kind kind;
  std::string bytes;
};

inline constexpr std::string_view kPrompt = "> ";

// The meter's line editor and command prompt for one port. Bytes in, outputs
// out; no I/O and no clock.
//
// At the prompt: printable characters are collected and echoed; "\r" runs
// the line; "\n" and NUL are ignored; backspace (0x08) and DEL erase the last
// character; form feed (0x0C) drops the typed line and redraws the prompt;
// CAN (0x18) and ETX (0x03) drop the typed line and cut short a reply still
// being sent; ESC and the character after it are ignored; XON and XOFF never
// reach a line. The command "menu" enters the menu screen.
//
// In the menu screen everything is ignored, without echo, until six ESC "D"
// pairs have arrived; the sixth brings the prompt back. A form feed redraws
// the menu.
//
// The command "Menue" opens the full-screen menu (menu_screen.h); arrow keys
// (ESC "[" sequences) typed at the prompt are ignored whole.
class CommandInterpreter {
 public:
  CommandInterpreter(Meter& meter, bool startInMenu);

  void feed(std::string_view bytes, std::vector<Output>& out);
  bool inMenu() const { return menu_; }
  bool inFullScreenMenu() const { return screenMenu_.active(); }
  const MenuScreen& menuScreen() const { return screenMenu_; }

  // Longest command line kept; longer lines answer an error.
  static constexpr std::size_t kMaxLine = 8192;

 private:
  void atPrompt(char c, std::vector<Output>& out);
  void inMenuScreen(char c, std::vector<Output>& out);
  void runLine(std::vector<Output>& out);
  void enterMenu(std::vector<Output>& out);
  // Site transfers (interpreter_sites.cpp): the site commands, and the
  // packet lines that stand in for the prompt while a transfer runs.
  bool siteCommand(const std::string& line, std::vector<Output>& out);
  void packetByte(char c, std::vector<Output>& out);

  Meter& meter_;
  std::string line_;
  bool overflow_ = false;
  bool escape_ = false;
  bool menu_ = false;
  int escDPairs_ = 0;
  std::string packet_;
  bool sequence_ = false;  // inside an ESC "[" sequence at the prompt
  MenuScreen screenMenu_;
};

// The menu screen's text.
extern const std::string_view kMenuScreen;

}  // namespace tarnlux::meter
