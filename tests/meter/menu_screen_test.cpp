#include "menu_screen.h"

#include <gtest/gtest.h>

#include "interpreter.h"
#include "meter.h"
#include "meter_test_util.h"

using namespace tarnlux::meter;
using namespace tarnlux::meter::test;

namespace {

std::string feed(MenuScreen& menu, std::string_view bytes, bool* leftOut = nullptr) {
  std::string out;
  for (char c : bytes) {
    bool left = false;
    out += menu.feed(c, left);
    if (left && leftOut != nullptr) *leftOut = true;
  }
  return out;
}

TEST(MenuScreen, ArrowsChooseOpenAndGoBack) {
  MenuScreen menu;
  const std::string drawn = menu.enter();
  EXPECT_EQ(drawn.rfind("\x1b[2J\x1b[1;1HMAIN MENU", 0), 0u) << drawn;
  EXPECT_NE(drawn.find("\x1b[4;3H\x1b[7m 1  Meter Set-up"), std::string::npos) << "first item chosen";
  // Down moves the mark: the old row drawn plain, the new one marked.
  const std::string down = feed(menu, "\x1b[B");
  EXPECT_EQ(down.rfind("\x1b[4;3H 1  Meter Set-up", 0), 0u) << down;
  EXPECT_NE(down.find("\x1b[5;3H\x1b[7m 2  Site Set-up"), std::string::npos);
  EXPECT_EQ(menu.chosen(), 1);
  feed(menu, "\x1b[A\x1b[A");  // up wraps round to the last item
  EXPECT_EQ(menu.chosen(), 3);
  // Right opens, a digit opens, Enter opens; text and other keys are ignored.
  EXPECT_EQ(feed(menu, "xyz\b"), "");
  feed(menu, "1");
  feed(menu, "\x1b[B\r");
  EXPECT_EQ(menu.path(), (std::vector<std::string>{"MAIN MENU", "Meter Set-up", "Channel Set-up"}));
  EXPECT_NE(feed(menu, "\x0C").find("Channel 3  : Off"), std::string::npos) << "form feed redraws";
  bool left = false;
  feed(menu, "\x1b[D\x1b[D", &left);
  EXPECT_EQ(menu.path(), (std::vector<std::string>{"MAIN MENU"}));
  EXPECT_FALSE(left);
  EXPECT_EQ(feed(menu, "\x1b[D", &left), "\x1b[2J\x1b[1;1H> ");
  EXPECT_TRUE(left);
  EXPECT_FALSE(menu.active());
}

TEST(MenuScreen, CommandButtonAndEscDPairsReachThePromptFromAnyDepth) {
  Meter meter{smallProfile(), 7, [] { return kFixedTime; }};
  std::string command;
  for (int i = 0; i < 6; ++i) command += "\x1b[D";
  command += std::string(18, '\b');
  for (const std::string& way : {command, std::string("\x1b" "D\x1b" "D\x1b" "D\x1b" "D\x1b" "D\x1b" "D")}) {
    CommandInterpreter interpreter(meter, false);
    std::string out = feedAll(interpreter, "\rMenue\r");
    EXPECT_TRUE(interpreter.inFullScreenMenu());
    feedAll(interpreter, "2\r");  // two levels down
    EXPECT_EQ(interpreter.menuScreen().path().size(), 3u);
    out = feedAll(interpreter, way);
    EXPECT_FALSE(interpreter.inFullScreenMenu());
    EXPECT_TRUE(out.ends_with("> ")) << out;
    // Nothing of the sequence is left on the line: the prompt answers.
    EXPECT_EQ(feedAll(interpreter, "test\r"), "test\r\n???\r\n> ");
  }
  // Arrow keys typed at the prompt are ignored whole.
  CommandInterpreter interpreter(meter, false);
  EXPECT_EQ(feedAll(interpreter, "\x1b[A\x1b[12;3Htest\r"), "test\r\n???\r\n> ");
}

}  // namespace
