#include "line_settings.h"

#include <termios.h>

#include <vector>

namespace tarnlux::meter {

namespace {

struct Speed {
  unsigned baud;
  speed_t code;
};

constexpr Speed kSpeeds[] = {{1200, B1200},   {2400, B2400},   {4800, B4800},   {9600, B9600},
                             {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200}};

bool speedCode(unsigned baud, speed_t& code) {
  for (const Speed& s : kSpeeds) {
    if (s.baud == baud) {
      code = s.code;
      return true;
    }
  }
  return false;
}

std::vector<std::string_view> splitDash(std::string_view text) {
  std::vector<std::string_view> parts;
  std::size_t pos = 0;
  while (true) {
    const std::size_t dash = text.find('-', pos);
    parts.push_back(
        text.substr(pos, dash == std::string_view::npos ? std::string_view::npos : dash - pos));
    if (dash == std::string_view::npos) break;
    pos = dash + 1;
  }
  return parts;
}

}  // namespace

bool parseLineSettings(std::string_view text, LineSettings& out, std::string& error) {
  const std::vector<std::string_view> parts = splitDash(text);
  const auto bad = [&](const std::string& why) {
    error = "bad --line \"" + std::string(text) + "\": " + why +
            " (expected BAUD-DATABITS-PARITY-STOPBITS[-xon], e.g. 9600-7-I-1-xon)";
    return false;
  };
  if (parts.size() != 4 && parts.size() != 5) return bad("wrong number of fields");
  LineSettings s;
  unsigned baud = 0;
  for (char c : parts[0]) {
    if (c < '0' || c > '9' || baud > 1000000) return bad("baud rate is not a number");
    baud = baud * 10 + static_cast<unsigned>(c - '0');
  }
  speed_t code;
  if (parts[0].empty() || !speedCode(baud, code)) {
    return bad("baud rate must be 1200, 2400, 4800, 9600, 19200, 38400, 57600 or 115200");
  }
  s.baud = baud;
  if (parts[1] != "7" && parts[1] != "8") return bad("data bits must be 7 or 8");
  s.dataBits = parts[1][0] - '0';
  if (parts[2] != "I" && parts[2] != "P" && parts[2] != "A") {
    return bad("parity must be I (odd), P (even) or A (none)");
  }
  s.parity = parts[2][0];
  if (parts[3] != "1" && parts[3] != "2") return bad("stop bits must be 1 or 2");
  s.stopBits = parts[3][0] - '0';
  if (parts.size() == 5) {
    if (parts[4] != "xon") return bad("the last field can only be xon");
    s.xonXoff = true;
  }
  out = s;
  return true;
}

void applyLineSettings(const LineSettings& settings, termios& t) {
  cfmakeraw(&t);
  speed_t code = B9600;
  speedCode(settings.baud, code);
  cfsetispeed(&t, code);
  cfsetospeed(&t, code);
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB);
  t.c_cflag |= (settings.dataBits == 7 ? CS7 : CS8) | CLOCAL | CREAD;
  if (settings.parity == 'I') t.c_cflag |= PARENB | PARODD;
  if (settings.parity == 'P') t.c_cflag |= PARENB;
  if (settings.stopBits == 2) t.c_cflag |= CSTOPB;
  if (settings.xonXoff) t.c_iflag |= IXON | IXOFF;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
}

bool sameFraming(const LineSettings& settings, const termios& t) {
  speed_t code = B9600;
  speedCode(settings.baud, code);
  // The pseudo-terminal driver forces 8 data bits without parity whatever is
  // asked, so only the speed and the stop bits tell a client's settings apart.
  if (cfgetospeed(&t) != code) return false;
  return ((t.c_cflag & CSTOPB) != 0) == (settings.stopBits == 2);
}

}  // namespace tarnlux::meter
