#pragma once

#include <string>
#include <vector>

namespace tarnlux::meter {

// The meter's full-screen menu, drawn with VT100 sequences for a terminal:
// ESC "[2J" clears, ESC "[row;colH" places, ESC "[7m" / ESC "[0m" mark the
// chosen item. Keys: up and down arrows choose, right arrow, Enter or the
// item's digit open, left arrow goes back one level (from the main menu back
// to the command prompt), form feed draws the screen again, six ESC "D" pairs
// leave from any depth. Everything else is ignored, without echo.
//
// Bytes in, screen bytes out; no I/O.
class MenuScreen {
 public:
  struct Node {
    std::string title;
    std::vector<Node> items;        // a menu...
    std::vector<std::string> page;  // ...or a page of text
  };

  MenuScreen();

  bool active() const { return active_; }
  // Enters at the main menu; the drawing.
  std::string enter();
  // One received byte; what to send back. Sets `left` when the menu handed
  // back to the prompt (the returned bytes then end with the prompt).
  std::string feed(char c, bool& left);

  // Where the menu stands: titles from the main menu down.
  std::vector<std::string> path() const;
  int chosen() const { return level().chosen; }

  static constexpr int kFirstItemRow = 4;

 private:
  struct Level {
    const Node* node;
    int chosen;
  };
  const Level& level() const { return stack_.back(); }
  std::string draw() const;
  std::string itemRow(int i, bool chosen) const;
  std::string key(char final, bool& left);
  std::string open(int i);
  std::string back(bool& left);
  std::string leave(bool& left);

  Node root_;
  std::vector<Level> stack_;
  bool active_ = false;
  enum class State { Plain, Escape, Sequence } state_ = State::Plain;
  int escDPairs_ = 0;
};

}  // namespace tarnlux::meter
