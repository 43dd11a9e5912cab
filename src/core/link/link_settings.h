#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarnlux {

inline constexpr const char* kTcpPortName = "TCP/IP";

// How the program reaches the meter: a serial device or TCP/IP.
struct LinkSettings {
  std::string portName;            // serial device path ("/dev/ttyUSB0") or "TCP/IP"
  std::uint32_t baudRate = 9600;   // 1200 ... 115200
  std::uint8_t dataBits = 7;       // 7 or 8
  std::uint8_t stopBitsCode = 0;   // 0 = one stop bit, 2 = two
  std::uint8_t parityCode = 1;     // 0 none, 1 odd, 2 even
  std::uint8_t flowControl = 1;    // 0 none, 1 XON/XOFF
  std::string ipAddress;           // dotted decimal, empty when not set
  std::uint16_t ipPort = 0;
  std::uint8_t portMissing = 1;    // 1 when no valid IP port is set

  bool operator==(const LinkSettings&) const = default;
};

// True when the port name designates a serial device (the link then uses the
// serial transport); anything else, in practice "TCP/IP", selects TCP.
bool isSerialPortName(const std::string& portName);

}  // namespace tarnlux
