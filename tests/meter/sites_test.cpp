#include "sites.h"

#include <gtest/gtest.h>

#include "meter.h"
#include "meter_test_util.h"

using namespace tarnlux::meter;
using namespace tarnlux::meter::test;

namespace {

// A packet as the service program sends it: type = the site type number, sequence 0.
std::string clientPacket(int type, const std::string& text) {
  char head[8];
  std::snprintf(head, sizeof head, "%02X%02X00", static_cast<unsigned>(text.size() + 4), static_cast<unsigned>(type));
  std::string body = std::string(head + 2) + text;
  unsigned sum = 0;
  for (char c : body) sum += static_cast<unsigned char>(c);
  char check[4];
  std::snprintf(check, sizeof check, "%02X", sum & 0xFF);
  return std::string(head, 2) + body + check + "\r";
}

TEST(MeterSites, PlainTransferOutHasNoEchoAndEtxEndsIt) {
  Meter meter{smallProfile(false), 1, [] { return kFixedTime; }};
  CommandInterpreter interpreter{meter, false};
  const int type = meter.sites().typeNumber();
  char gg[32];
  std::snprintf(gg, sizeof gg, "0600%02XGG", static_cast<unsigned>(type));
  EXPECT_EQ(feedAll(interpreter, "dnsite gg\r").substr(0, 19), std::string("dnsite gg\r\n") + gg);

  const std::string first = feedAll(interpreter, "upsite 5 PUMP12\r");
  EXPECT_EQ(first.rfind("upsite 5 PUMP12\r\n", 0), 0u);
  EXPECT_NE(first.find("7326G-3.02.00M PUMP12 "), std::string::npos) << first;
  EXPECT_TRUE(meter.sites().packetMode());
  // An ETX inside a packet is the program cancelling, not a line editor key.
  EXPECT_EQ(feedAll(interpreter, clientPacket(type, "\x03")), "\r\n> ");
  EXPECT_FALSE(meter.sites().packetMode());
}

TEST(MeterSites, TakesASiteOfItsOwnTypeOnly) {
  Meter meter{smallProfile(true), 1, [] { return kFixedTime; }};
  CommandInterpreter interpreter{meter, false};
  const int type = meter.sites().typeNumber();
  char head[64];
  std::snprintf(head, sizeof head, "7326G-3.02.00M NEW %02X (03)", static_cast<unsigned>(type));

  feedAll(interpreter, "dnsite 3 NEW * 10\r");
  const std::string ack = feedAll(interpreter, clientPacket(type, std::string("10") + head));
  EXPECT_EQ(ack.substr(2, 2), "00") << "status";
  EXPECT_EQ(ack.substr(6, 3), "10\x06") << "the counter, then ACK";
  feedAll(interpreter, clientPacket(type, "10" + std::string(head)));  // a repeat: acknowledged, not stored
  feedAll(interpreter, clientPacket(type, "11LINE"));
  feedAll(interpreter, clientPacket(type, "12<EOT>"));
  ASSERT_NE(meter.sites().site(3), nullptr);
  EXPECT_EQ(*meter.sites().site(3), (std::vector<std::string>{head, "LINE"}));

  feedAll(interpreter, "dnsite 4 ODD * 20\r");
  const std::string refused = feedAll(interpreter, clientPacket(type, "20OTHER-1.0 ODD 00 (04)"));
  EXPECT_NE(refused.find("20\x03Type de site incorrect"), std::string::npos) << refused;
  EXPECT_EQ(meter.sites().site(4), nullptr);
}

}  // namespace
