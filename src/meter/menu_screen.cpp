#include "menu_screen.h"

#include <cstdio>

namespace tarnlux::meter {

namespace {

constexpr char kEsc = 0x1B;
constexpr char kFormFeed = 0x0C;
constexpr int kPairsToLeave = 6;
constexpr int kFooterRow = 20;
constexpr const char* kClear = "\x1b[2J";

std::string at(int row, int column) {
  char text[24];
  std::snprintf(text, sizeof text, "\x1b[%d;%dH", row, column);
  return text;
}

MenuScreen::Node page(std::string title, std::vector<std::string> lines) {
  return MenuScreen::Node{std::move(title), {}, std::move(lines)};
}

}  // namespace

MenuScreen::MenuScreen() {
  root_.title = "MAIN MENU";
  root_.items = {
      Node{"Meter Set-up",
           {page("Meter Type", {"Type       : Dual channel", "Channels   : 4", "Firmware   : 5.20"}),
            page("Channel Set-up", {"Channel 1  : Transit-time", "Channel 2  : Transit-time",
                                    "Channel 3  : Off", "Channel 4  : Off"}),
            page("System Units", {"Units      : Metric", "Flow       : M3/HR", "Totals     : M3"})},
           {}},
      Node{"Site Set-up",
           {page("Pipe Data", {"Outside dia: 114.30 mm", "Wall       : 6.02 mm", "Material   : Steel"}),
            page("Liquid Data", {"Liquid     : Water", "Sound speed: 1482 m/s", "Viscosity  : 1.00 cS"}),
            page("Sites", {"1  PUMP_A", "2  PUMP_B"})},
           {}},
      Node{"Diagnostics",
           {page("Flow Data", {"Velocity   : 1.234 m/s", "Flow       : 45.67 M3/HR", "Accepted   : 96 %"}),
            page("Signal Data", {"Gain up    : 61", "Gain down  : 60", "SNR        : 38 dB"})},
           {}},
      page("Meter Info", {"Serial     : 0004711", "Clock      : running", "Memory     : OK"}),
  };
}

std::string MenuScreen::enter() {
  active_ = true;
  state_ = State::Plain;
  escDPairs_ = 0;
  stack_.assign(1, Level{&root_, 0});
  return draw();
}

std::vector<std::string> MenuScreen::path() const {
  std::vector<std::string> titles;
  for (const Level& l : stack_) titles.push_back(l.node->title);
  return titles;
}

std::string MenuScreen::itemRow(int i, bool chosen) const {
  const Node& item = level().node->items[static_cast<std::size_t>(i)];
  char label[64];
  std::snprintf(label, sizeof label, " %d  %-20s", i + 1, item.title.c_str());
  return at(kFirstItemRow + i, 3) + (chosen ? "\x1b[7m" : "") + label + (chosen ? "\x1b[0m" : "");
}

std::string MenuScreen::draw() const {
  const Node& node = *level().node;
  std::string out = std::string(kClear) + at(1, 1);
  std::string title;
  for (const Level& l : stack_) title += (title.empty() ? "" : " / ") + l.node->title;
  out += title + at(2, 1) + std::string(title.size(), '=');
  if (!node.items.empty()) {
    for (int i = 0; i < static_cast<int>(node.items.size()); ++i) out += itemRow(i, i == level().chosen);
    out += at(kFooterRow, 1) + "Up/Down: choose  Right/Enter: open  Left: back";
  } else {
    for (std::size_t i = 0; i < node.page.size(); ++i) {
      out += at(kFirstItemRow + static_cast<int>(i), 3) + node.page[i];
    }
    out += at(kFooterRow, 1) + "Left: back";
  }
  out += at(kFooterRow + 1, 1);
  return out;
}

std::string MenuScreen::open(int i) {
  const Node& node = *level().node;
  if (i < 0 || i >= static_cast<int>(node.items.size())) return {};
  stack_.back().chosen = i;
  stack_.push_back(Level{&node.items[static_cast<std::size_t>(i)], 0});
  return draw();
}

std::string MenuScreen::back(bool& left) {
  if (stack_.size() > 1) {
    stack_.pop_back();
    return draw();
  }
  return leave(left);
}

std::string MenuScreen::leave(bool& left) {
  active_ = false;
  left = true;
  return std::string(kClear) + at(1, 1) + "> ";
}

std::string MenuScreen::key(char final, bool& left) {
  Level& l = stack_.back();
  const int count = static_cast<int>(l.node->items.size());
  switch (final) {
    case 'A':
    case 'B': {
      if (count == 0) return {};
      const int next = (l.chosen + (final == 'A' ? count - 1 : 1)) % count;
      std::string out = itemRow(l.chosen, false);
      l.chosen = next;
      return out + itemRow(next, true) + at(kFooterRow + 1, 1);
    }
    case 'C':
      return open(l.chosen);
    case 'D':
      return back(left);
    default:
      return {};
  }
}

std::string MenuScreen::feed(char c, bool& left) {
  left = false;
  if (!active_) return {};
  switch (state_) {
    case State::Escape:
      if (c == '[') {
        state_ = State::Sequence;
        return {};
      }
      state_ = c == kEsc ? State::Escape : State::Plain;
      if (c == 'D' && ++escDPairs_ >= kPairsToLeave) return leave(left);
      return {};
    case State::Sequence:
      if ((c >= '0' && c <= '9') || c == ';') return {};
      state_ = State::Plain;
      return key(c, left);
    case State::Plain:
      break;
  }
  if (c == kEsc) {
    state_ = State::Escape;
  } else if (c == kFormFeed) {
    return draw();
  } else if (c == '\r') {
    return open(level().chosen);
  } else if (c >= '1' && c <= '9') {
    return open(c - '1');
  }
  return {};
}

}  // namespace tarnlux::meter
