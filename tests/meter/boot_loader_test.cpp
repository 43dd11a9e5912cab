#include "boot_loader.h"

#include <gtest/gtest.h>

#include "line_pacing.h"
#include "meter.h"
#include "meter_test_util.h"
#include "session.h"

using namespace tarnlux::meter;
using namespace tarnlux::meter::test;

namespace {

const std::string kAck = "\x06";
const std::string kNak = "\x15";

std::string block(std::uint8_t number, const std::string& data, int checksumOffset = 0) {
  std::string b = {'\x01', static_cast<char>(number), static_cast<char>(~number)};
  std::string padded = data;
  padded.resize(128, '\0');
  unsigned sum = 0;
  for (char c : padded) sum += static_cast<std::uint8_t>(c);
  return b + padded + static_cast<char>((sum + static_cast<unsigned>(checksumOffset)) & 0xFF);
}

struct Loader {
  explicit Loader(BootFaults faults = {}) : boot(faults) {}
  std::string send(const std::string& bytes) {
    std::string out;
    boot.receive(bytes, now, out);
    return out;
  }
  std::string wait(std::int64_t ms) {
    now += ms;
    std::string out;
    boot.advanceTime(now, out);
    return out;
  }
  std::string command() {
    std::string out;
    boot.command(now, out);
    return out;
  }
  BootLoader boot;
  std::int64_t now = 0;
};

TEST(BootLoader, ReceivesAnImageAndAnswersEachBlock) {
  Loader l;
  EXPECT_EQ(l.command(), kNak);
  EXPECT_EQ(l.wait(BootLoader::kNakPeriodMs), kNak);  // asks again while nothing comes
  std::string image;
  for (int i = 1; i <= 257; ++i) {
    const std::string data(128, static_cast<char>(i));
    image += data;
    // XON and XOFF are data too; a block may come in pieces.
    const std::string b = block(static_cast<std::uint8_t>(i), data);
    EXPECT_EQ(l.send(b.substr(0, 50)), "");
    ASSERT_EQ(l.send(b.substr(50)), kAck) << i;
  }
  EXPECT_EQ(l.send(block(1, std::string(128, 1))), kAck);  // a repeat of the last: taken again
  EXPECT_EQ(l.send(block(2, "x", 1)), kNak);              // bad checksum
  EXPECT_EQ(l.send("\x01\x02"), "");
  EXPECT_EQ(l.wait(BootLoader::kByteTimeoutMs), kNak);  // a block cut short
  EXPECT_EQ(l.send("\x04"), kAck);
  EXPECT_FALSE(l.boot.active());
  EXPECT_EQ(l.boot.loadedImage(), image);
  EXPECT_EQ(l.boot.completedLoads(), 1);

  Loader cancelled;
  cancelled.command();
  cancelled.send(block(1, "a"));
  EXPECT_EQ(cancelled.send("\x18\x18"), "");
  EXPECT_FALSE(cancelled.boot.active());
  EXPECT_EQ(cancelled.boot.completedLoads(), 0);
}

TEST(BootLoader, FaultsAndVariants) {
  BootFaults confirm;
  confirm.confirm = true;
  Loader c(confirm);
  EXPECT_EQ(c.command(), "confirm - ");
  EXPECT_EQ(c.send("bootload\r"), "bootload\r\n" + kNak);
  Loader declined(confirm);
  declined.command();
  EXPECT_EQ(declined.send("no\r"), "no\r\n> ");
  EXPECT_FALSE(declined.boot.active());

  struct Case {
    const char* fault;
    std::string firstReply;
  } cases[] = {
      {"boot-refuse", "\x18\x18Image rejected\r\nFail\r\n"},
      {"boot-refuse=bare", "\x18\x18"},
      {"boot-corrupt=1", kNak},
      {"boot-drop=1", ""},
      {"boot-nak", kNak},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.fault);
    FaultSet faults;
    std::string error;
    ASSERT_TRUE(parseFaults(k.fault, faults, error)) << error;
    Loader l(faults.boot);
    l.command();
    EXPECT_EQ(l.send(block(1, "a")), k.firstReply);
  }
  // The NAK fault never gives up; the real loader does after ten errors.
  FaultSet nak;
  std::string error;
  ASSERT_TRUE(parseFaults("boot-nak", nak, error));
  Loader stubborn(nak.boot);
  Loader normal;
  stubborn.command();
  normal.command();
  for (int i = 0; i < 9; ++i) normal.send(block(1, "a", 1));
  for (int i = 0; i < 20; ++i) EXPECT_EQ(stubborn.send(block(1, "a")), kNak);
  EXPECT_EQ(normal.send(block(1, "a", 1)), "\x18\x18Too many errors\r\nFail\r\n");
  EXPECT_FALSE(parseFaults("boot-corrupt", nak, error));
  EXPECT_FALSE(parseFaults("boot-refuse=loud", nak, error));
}

TEST(BootLoader, SessionHandsThePortToTheLoaderAndBack) {
  Meter meter{smallProfile(), 5, [] { return kFixedTime; }};
  Session session(meter, FaultSet{}, 3);
  session.start(0);
  std::string out;
  session.receive("bootload\r", 1);
  session.takeDue(1, out);
  EXPECT_EQ(out, "bootload\r\n" + kNak);
  EXPECT_TRUE(session.binaryInput());
  out.clear();
  session.receive(block(1, "\x11\x13"), 2);
  session.receive("\x04", 3);
  session.takeDue(3, out);
  EXPECT_EQ(out, kAck + kAck);
  EXPECT_EQ(session.bootLoader().loadedImage(), std::string("\x11\x13") + std::string(126, '\0'));
  out.clear();
  session.receive("test\r", 4);  // the prompt again after the restart
  session.takeDue(4, out);
  EXPECT_NE(out.find("???"), std::string::npos) << out;
}

TEST(LinePacer, CarriesBytesAtTheLineSpeed) {
  LineSettings line;
  line.baud = 115200;  // 8 data bits, no parity, 1 stop: 10 bits a character
  LinePacer pacer(line);
  EXPECT_EQ(pacer.charMicros(), 87);
  pacer.arrive("abc", 1000);
  EXPECT_EQ(pacer.takeArrived(1086), "");
  EXPECT_EQ(pacer.takeArrived(1087), "a");
  EXPECT_EQ(pacer.nextDueUs(0), 1174);
  EXPECT_EQ(pacer.takeArrived(5000), "bc");
  pacer.outputQueued(2000);
  EXPECT_EQ(pacer.takeSendable(132, 2000), 0u);
  EXPECT_EQ(pacer.takeSendable(132, 2000 + 87 * 10), 10u);
  EXPECT_EQ(pacer.takeSendable(122, 2000 + 87 * 10 + 86), 0u);
  LineSettings slow;
  slow.baud = 1200;
  slow.dataBits = 7;
  slow.parity = 'I';
  slow.stopBits = 2;
  EXPECT_EQ(LinePacer(slow).charMicros(), 9167);  // 11 bits
}

}  // namespace
