#pragma once

#include <string>
#include <string_view>

namespace tarnlux {

// What each key of the terminal sends to the meter.
enum class TermKey { Character, Left, Up, Right, Down, Delete, F1, F2, F3, F4 };

// The bytes a key sends: a character key below 127 sends itself (Tab is not
// sent: it moves the focus), the arrows ESC "[" D/A/C/B, Delete a backspace,
// F1 to F4 ESC "O" P/Q/R/S. Empty when the key sends nothing.
std::string termKeyBytes(TermKey key, char character = 0);
bool isArrowKey(TermKey key);

// The three buttons of the terminal.
// "Commande": out of any menu depth back to the command prompt, the typed
// line erased.
std::string commandButtonBytes();
// "Menu": the meter's menu command on a line of its own.
std::string menuButtonBytes();
// "Menu/Afficher": the menu drawn again.
std::string menuRedrawButtonBytes();

// Turns the keys a text terminal (the command line's controlling terminal)
// sends into what the terminal screen's keys send: arrows and F1 to F4 in
// their usual encodings, the Delete key (ESC "[3~") and the Backspace key
// (DEL) as a backspace; other sequences and Tab are dropped. A sequence split
// between reads is finished by the next one. Ctrl-] ends the session.
class TermKeyDecoder {
 public:
  struct Result {
    std::string toSend;
    bool arrowKeyLast = false;  // the last key decoded was an arrow
    bool anyKey = false;        // at least one key was decoded
    bool quit = false;          // Ctrl-] was typed (what follows it is dropped)
  };
  static constexpr char kQuitKey = 0x1D;  // Ctrl-]

  Result feed(std::string_view bytes);
  // Whether a lone ESC is held waiting for the rest of a sequence.
  bool pending() const { return !held_.empty(); }
  // The held ESC was a key of its own (no sequence followed in time): sent.
  Result flush();

 private:
  void key(Result& result, TermKey k, char c = 0);
  std::string held_;
};

}  // namespace tarnlux
