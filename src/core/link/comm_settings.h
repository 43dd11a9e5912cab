#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/profile_file.h"
#include "link/link_settings.h"

namespace tarnlux {

// The COMMUNICATIONS section of qm.cfg and the choice lists of the
// communication set-up screen.

inline constexpr const char* kCommSection = "COMMUNICATIONS";

// Choice lists as shown and stored.
const std::vector<std::string>& baudRateChoices();      // "1200" ... "115200"
const std::vector<std::string>& dataBitsChoices();      // "7", "8"
const std::vector<std::string>& stopBitsChoices();      // "1", "2"
const std::vector<std::string>& parityChoices();        // "IMPAIR", "PAIR", "AUCUN" (codes 1, 2, 0)
const std::vector<std::string>& flowControlChoices();   // "AUCUN", "XON/XOFF"
std::string parityName(std::uint8_t parityCode);        // code -> "IMPAIR" | "PAIR" | "AUCUN"
int parityCodeOf(std::string_view name);                // name -> code, -1 when not a choice

// Address rule: empty, or four groups of 1..3 decimal digits, each 0..255,
// separated by three points.
bool isValidIpAddress(std::string_view text);
// IP port field rule: a decimal number 0..65535 (after trimming). False otherwise.
bool parseIpPort(std::string_view text, std::uint16_t& port);

// Serial devices present on this machine, in the order the port list shows
// them, preferring stable /dev/serial/by-id names over the kernel names they
// point at. A device that exists but cannot be opened for lack of permission or
// because another program holds it is still listed.
class SerialPortScanner {
 public:
  SerialPortScanner() = default;
  // Looks under `deviceRoot` instead of /dev and `sysRoot` instead of /sys
  // (tests build a device tree of their own).
  SerialPortScanner(std::string deviceRoot, std::string sysRoot)
      : deviceRoot_(std::move(deviceRoot)), sysRoot_(std::move(sysRoot)) {}
  virtual ~SerialPortScanner() = default;
  virtual std::vector<std::string> presentDevices() const;
  // True when the device exists (opens, or refuses with "busy" or "permission").
  virtual bool deviceExists(const std::string& device) const;

 private:
  bool isRealUart(const std::string& kernelName) const;

  std::string deviceRoot_ = "/dev";
  std::string sysRoot_ = "/sys";
};

// A settings file carried over from Windows names ports "COMn": that is
// /dev/ttyS(n-1) here. Other names come back unchanged.
std::string mapLegacyPortName(const std::string& portName);

// Reads the COMMUNICATIONS section with every read rule (invalid values give
// the defaults); the port is taken as written (legacy names mapped).
LinkSettings readLinkSettings(const ProfileFile& file);

// Start-up: reads the section, then confirms the port. A serial port that is
// not present becomes the first present device, or "TCP/IP" when there is
// none, and PORT is written back at once. Returns 0 or the errno of that write.
int loadLinkSettings(const std::string& settingsPath, LinkSettings& settings,
                     const SerialPortScanner& scanner = SerialPortScanner());

// Writes all eight keys. Returns 0 or errno.
int saveLinkSettings(const std::string& settingsPath, const LinkSettings& settings);

// The set-up screen's port list: the present serial devices, with the device
// the link holds open listed without probing, then "TCP/IP" last.
std::vector<std::string> portChoices(const SerialPortScanner& scanner,
                                     const std::string& openDevice);
// The same, with the configured port listed too when it exists but is not a
// scanned device (a pseudo-terminal, for instance), so the screen keeps it.
std::vector<std::string> portChoices(const SerialPortScanner& scanner,
                                     const std::string& openDevice,
                                     const std::string& configuredPort);

// Status bar pane 1: "TCP/IP" for a TCP link, else "%u %u-%c-%c" such as
// "9600 7-I-1" (baud, data bits, first letter of the parity name, stop bits).
std::string lineSettingsText(const LinkSettings& settings, bool isTcp);

}  // namespace tarnlux
