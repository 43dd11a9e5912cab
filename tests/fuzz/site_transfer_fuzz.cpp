// The site screen's readers: the "info" answer, the "ls" listing, and packet
// lines fed to the receive and send passes. The first byte picks the reader
// (0 info, 1 listing, else packets; bit 7 the numbered variant), the rest is
// the meter's text, packet lines ending at CR.
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "link/packet.h"
#include "transfer/site_list.h"
#include "transfer/site_transfer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tarnlux::fuzz::Input in(data, size);
  const std::uint8_t choice = in.take();
  const int transferNumber = in.take();
  const std::string_view text = in.text();
  if ((choice & 0x7f) == 0) {
    tarnlux::MeterDescription meter;
    tarnlux::parseMeterInfo(text, meter);
    return 0;
  }
  if ((choice & 0x7f) == 1) {
    std::vector<tarnlux::SiteEntry> sites;
    std::string faultLine;
    tarnlux::parseSiteList(text, "7326L", sites, &faultLine);
    return 0;
  }
  tarnlux::SitePacketing receiving{transferNumber, (choice & 0x80) != 0, choice & 0x0f};
  tarnlux::SitePacketing sending = receiving;
  const std::vector<std::string> expected{"7326L-3.04.02M PUMP12 4E", "LINE"};
  tarnlux::SiteReceivePass first(receiving, nullptr);
  tarnlux::SiteReceivePass verify(receiving, &expected);
  tarnlux::SiteSendPass send(sending, expected);
  std::int64_t now = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\r', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(start, end - start);
    start = end + 1;
    const int check = tarnlux::checkPacketLine(line, transferNumber);
    now += 4000;
    first.onPacket(line, check, now);
    verify.onPacket(line, check, now);
    send.onAnswer(line, check);
  }
  return 0;
}
