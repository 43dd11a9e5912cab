#include "link/comm_settings.h"

#include <gtest/gtest.h>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "test_context.h"

using namespace tarnlux;
using tarnlux::test::readWholeFile;
using tarnlux::test::TempDir;
using tarnlux::test::writeWholeFile;

namespace {

// A machine with the given serial devices; counts probes so tests can tell
// which devices were opened.
class FakeScanner : public SerialPortScanner {
 public:
  explicit FakeScanner(std::vector<std::string> present, std::set<std::string> alsoExisting = {})
      : present_(std::move(present)), alsoExisting_(std::move(alsoExisting)) {}
  std::vector<std::string> presentDevices() const override { return present_; }
  bool deviceExists(const std::string& device) const override {
    probed.push_back(device);
    return alsoExisting_.count(device) != 0 ||
           std::find(present_.begin(), present_.end(), device) != present_.end();
  }
  mutable std::vector<std::string> probed;

 private:
  std::vector<std::string> present_;
  std::set<std::string> alsoExisting_;
};

LinkSettings readFromText(const std::string& text) {
  ProfileFile file;
  file.parse(text);
  return readLinkSettings(file);
}

}  // namespace

TEST(CommSettingsRead, ValuesOutsideTheChoicesGiveTheDefaults) {
  const LinkSettings s = readFromText(
      "[COMMUNICATIONS]\nBAUDRATE=14400\nDATA_BITS=9\nSTOP_BITS=1.5\nPARITY=pair\n"
      "FLOW_CONTROL=xon/xoff\nIP_ADDRESS=10.0.0.256\nIP_PORT=65536\n");
  EXPECT_EQ(s.baudRate, 9600u);
  EXPECT_EQ(s.dataBits, 7);
  EXPECT_EQ(s.stopBitsCode, 0);
  EXPECT_EQ(s.parityCode, 1);  // "pair" is not "PAIR": the default, odd
  EXPECT_EQ(s.flowControl, 1);
  EXPECT_EQ(s.ipAddress, "");
  EXPECT_EQ(s.portMissing, 1);
  EXPECT_EQ(s.portName, "");

  // A missing section reads exactly like the defaults of a fresh record.
  EXPECT_EQ(readFromText(""), LinkSettings());
}

TEST(CommSettingsRead, EveryChoiceIsTakenWhenWrittenExactly) {
  const LinkSettings s = readFromText(
      "[communications]\nPORT=/dev/ttyUSB1\nBAUDRATE=115200\nDATA_BITS=8\nSTOP_BITS=2\n"
      "PARITY=AUCUN\nFLOW_CONTROL=AUCUN\nIP_ADDRESS=192.168.001.010\nIP_PORT=0\n");
  EXPECT_EQ(s.portName, "/dev/ttyUSB1");
  EXPECT_EQ(s.baudRate, 115200u);
  EXPECT_EQ(s.dataBits, 8);
  EXPECT_EQ(s.stopBitsCode, 2);
  EXPECT_EQ(s.parityCode, 0);
  EXPECT_EQ(s.flowControl, 0);
  EXPECT_EQ(s.ipAddress, "192.168.001.010");
  EXPECT_EQ(s.ipPort, 0);
  EXPECT_EQ(s.portMissing, 0);

  for (const std::string& baud : baudRateChoices()) {
    EXPECT_EQ(readFromText("[COMMUNICATIONS]\nBAUDRATE=" + baud + "\n").baudRate, std::stoul(baud));
  }
  EXPECT_EQ(readFromText("[COMMUNICATIONS]\nPARITY=PAIR\n").parityCode, 2);
  EXPECT_EQ(readFromText("[COMMUNICATIONS]\nIP_PORT=\n").portMissing, 1);
  EXPECT_EQ(readFromText("[COMMUNICATIONS]\nIP_PORT=80x\n").portMissing, 1);
}

TEST(CommSettingsRead, LegacyComNamesMapToTheFirstUarts) {
  EXPECT_EQ(mapLegacyPortName("COM1"), "/dev/ttyS0");
  EXPECT_EQ(mapLegacyPortName("COM20"), "/dev/ttyS19");
  for (const char* unchanged : {"COM0", "COM21", "COM01", "com3", "COM", "COM3X", "TCP/IP", "/dev/ttyUSB0"}) {
    EXPECT_EQ(mapLegacyPortName(unchanged), unchanged) << unchanged;
  }
  EXPECT_EQ(readFromText("[COMMUNICATIONS]\nPORT=COM3\n").portName, "/dev/ttyS2");
  // Device paths are kept whole; an absurdly long name is dropped.
  const std::string longPath = "/dev/serial/by-id/" + std::string(200, 'x');
  EXPECT_EQ(readFromText("[COMMUNICATIONS]\nPORT=" + longPath + "\n").portName, longPath);
  EXPECT_EQ(readFromText("[COMMUNICATIONS]\nPORT=/" + std::string(300, 'x') + "\n").portName, "");
}

TEST(CommSettingsRead, SerialTransportIsChosenByDevicePathOrUpperCaseCom) {
  EXPECT_TRUE(isSerialPortName("/dev/ttyUSB0"));
  EXPECT_TRUE(isSerialPortName("COM3"));
  EXPECT_FALSE(isSerialPortName("com3"));
  EXPECT_FALSE(isSerialPortName("TCP/IP"));
  EXPECT_FALSE(isSerialPortName(""));
}

TEST(CommSettingsRules, AddressRule) {
  for (const char* good : {"", "0.0.0.0", "255.255.255.255", "010.001.1.1", "192.168.1.200"}) {
    EXPECT_TRUE(isValidIpAddress(good)) << good;
  }
  for (const char* bad : {"1.2.3", "1.2.3.4.", "1.2.3.4.5", "1..3.4", ".1.2.3", "1.2.3.256", "1.2.3.0256",
                          " 1.2.3.4", "1.2.3.a", "1,2,3,4", "1.2.3.-4"}) {
    EXPECT_FALSE(isValidIpAddress(bad)) << bad;
  }
}

TEST(CommSettingsRules, PortRule) {
  std::uint16_t port = 7;
  EXPECT_TRUE(parseIpPort("65535", port));
  EXPECT_EQ(port, 65535);
  EXPECT_TRUE(parseIpPort(" 0080 ", port));
  EXPECT_EQ(port, 80);
  port = 7;
  for (const char* bad : {"65536", "", "  ", "-1", "+1", "80a", "8 0", "99999999999999999999999"}) {
    EXPECT_FALSE(parseIpPort(bad, port)) << bad;
  }
  EXPECT_EQ(port, 7);  // a rejected text leaves the port alone
}

TEST(CommSettingsText, StatusPaneText) {
  LinkSettings s;
  EXPECT_EQ(lineSettingsText(s, false), "9600 7-I-1");
  s.baudRate = 19200;
  s.dataBits = 8;
  s.parityCode = 0;
  s.stopBitsCode = 2;
  EXPECT_EQ(lineSettingsText(s, false), "19200 8-A-2");
  s.parityCode = 2;
  EXPECT_EQ(lineSettingsText(s, false), "19200 8-P-2");
  EXPECT_EQ(lineSettingsText(s, true), "TCP/IP");
}

TEST(CommSettingsSave, WritesAllEightKeysAndKeepsOtherSections) {
  TempDir dir;
  const std::string path = dir.file("qm.cfg");
  writeWholeFile(path, "[AGA8]\r\nAGA8_TABLE=1\r\n\r\n[COMMUNICATIONS]\r\nPORT=COM1\r\nEXTRA=kept\r\n");
  LinkSettings s;
  s.portName = "/dev/ttyUSB0";
  s.baudRate = 19200;
  s.dataBits = 8;
  s.stopBitsCode = 2;
  s.parityCode = 2;
  s.flowControl = 0;
  s.ipAddress = "10.1.2.3";
  s.ipPort = 502;
  s.portMissing = 0;
  ASSERT_EQ(saveLinkSettings(path, s), 0);
  EXPECT_EQ(readWholeFile(path),
            "[AGA8]\r\nAGA8_TABLE=1\r\n\r\n[COMMUNICATIONS]\r\nPORT=/dev/ttyUSB0\r\nEXTRA=kept\r\n"
            "BAUDRATE=19200\r\nDATA_BITS=8\r\nSTOP_BITS=2\r\nPARITY=PAIR\r\nFLOW_CONTROL=AUCUN\r\n"
            "IP_ADDRESS=10.1.2.3\r\nIP_PORT=502\r\n");

  // Round trip through start-up with the port present.
  FakeScanner scanner({"/dev/ttyUSB0"});
  LinkSettings back;
  ASSERT_EQ(loadLinkSettings(path, back, scanner), 0);
  EXPECT_EQ(back, s);
}

TEST(CommSettingsSave, MissingIpPortIsWrittenEmptyAndReadBackMissing) {
  TempDir dir;
  const std::string path = dir.file("qm.cfg");
  LinkSettings s;
  s.portName = "TCP/IP";
  s.ipAddress = "127.0.0.1";
  s.ipPort = 1234;  // ignored: the flag says there is no port
  s.portMissing = 1;
  ASSERT_EQ(saveLinkSettings(path, s), 0);
  EXPECT_NE(readWholeFile(path).find("\r\nIP_PORT=\r\n"), std::string::npos);
  EXPECT_NE(readWholeFile(path).find("\r\nSTOP_BITS=1\r\nPARITY=IMPAIR\r\nFLOW_CONTROL=XON/XOFF\r\n"),
            std::string::npos);
  LinkSettings back;
  FakeScanner none({});
  ASSERT_EQ(loadLinkSettings(path, back, none), 0);
  EXPECT_EQ(back.portMissing, 1);
  EXPECT_EQ(back.ipPort, 0);
  EXPECT_EQ(back.portName, "TCP/IP");
}

TEST(CommSettingsLoad, AbsentPortBecomesTheFirstPresentDeviceAndIsWrittenBack) {
  TempDir dir;
  const std::string path = dir.file("qm.cfg");
  writeWholeFile(path, "[COMMUNICATIONS]\r\nPORT=COM3\r\nBAUDRATE=4800\r\n");
  FakeScanner scanner({"/dev/serial/by-id/usb-adapter", "/dev/ttyS0"});
  LinkSettings s;
  ASSERT_EQ(loadLinkSettings(path, s, scanner), 0);
  EXPECT_EQ(s.portName, "/dev/serial/by-id/usb-adapter");
  EXPECT_EQ(s.baudRate, 4800u);
  // Only PORT is written back; the rest of the file stays as it was.
  EXPECT_EQ(readWholeFile(path), "[COMMUNICATIONS]\r\nPORT=/dev/serial/by-id/usb-adapter\r\nBAUDRATE=4800\r\n");
}

TEST(CommSettingsLoad, NoDeviceGivesTcpAndAFileIsCreated) {
  TempDir dir;
  const std::string path = dir.file("qm.cfg");
  FakeScanner none({});
  LinkSettings s;
  ASSERT_EQ(loadLinkSettings(path, s, none), 0);
  EXPECT_EQ(s.portName, "TCP/IP");
  EXPECT_EQ(readWholeFile(path), "[COMMUNICATIONS]\r\nPORT=TCP/IP\r\n");

  // A lower-case "com" name is not a serial port: it is replaced as well.
  writeWholeFile(path, "[COMMUNICATIONS]\r\nPORT=com1\r\n");
  FakeScanner one({"/dev/ttyACM0"});
  ASSERT_EQ(loadLinkSettings(path, s, one), 0);
  EXPECT_EQ(s.portName, "/dev/ttyACM0");
}

TEST(CommSettingsLoad, ConfiguredPortThatExistsStandsAndNothingIsWritten) {
  TempDir dir;
  const std::string path = dir.file("qm.cfg");
  const std::string text = "[COMMUNICATIONS]\nPORT=/dev/ttyUSB3\n";
  writeWholeFile(path, text);
  LinkSettings s;
  // Present in the scan.
  FakeScanner listed({"/dev/ttyUSB0", "/dev/ttyUSB3"});
  ASSERT_EQ(loadLinkSettings(path, s, listed), 0);
  EXPECT_EQ(s.portName, "/dev/ttyUSB3");
  // Not scanned but there (a pseudo-terminal, a device the scan does not know).
  FakeScanner other({"/dev/ttyUSB0"}, {"/dev/ttyUSB3"});
  ASSERT_EQ(loadLinkSettings(path, s, other), 0);
  EXPECT_EQ(s.portName, "/dev/ttyUSB3");
  EXPECT_EQ(readWholeFile(path), text);

  writeWholeFile(path, "[COMMUNICATIONS]\nPORT=TCP/IP\n");
  FakeScanner devices({"/dev/ttyUSB0"});
  ASSERT_EQ(loadLinkSettings(path, s, devices), 0);
  EXPECT_EQ(s.portName, "TCP/IP");
  EXPECT_TRUE(devices.probed.empty());
  EXPECT_EQ(readWholeFile(path), "[COMMUNICATIONS]\nPORT=TCP/IP\n");
}

TEST(CommSettingsPortList, OpenDeviceIsListedWithoutProbingAndTcpComesLast) {
  FakeScanner scanner({"/dev/ttyUSB0", "/dev/ttyUSB1"});
  EXPECT_EQ(portChoices(scanner, ""), (std::vector<std::string>{"/dev/ttyUSB0", "/dev/ttyUSB1", "TCP/IP"}));
  EXPECT_EQ(portChoices(scanner, "/dev/ttyUSB1"),
            (std::vector<std::string>{"/dev/ttyUSB0", "/dev/ttyUSB1", "TCP/IP"}));
  EXPECT_EQ(portChoices(scanner, "/dev/pts/7"),
            (std::vector<std::string>{"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/pts/7", "TCP/IP"}));
  EXPECT_TRUE(scanner.probed.empty());

  // The configured port is kept in the list when it exists.
  FakeScanner withPty({"/dev/ttyUSB0"}, {"/tmp/meter-pty"});
  EXPECT_EQ(portChoices(withPty, "", "/tmp/meter-pty"),
            (std::vector<std::string>{"/dev/ttyUSB0", "/tmp/meter-pty", "TCP/IP"}));
  EXPECT_EQ(portChoices(withPty, "", "/tmp/gone"), (std::vector<std::string>{"/dev/ttyUSB0", "TCP/IP"}));
  EXPECT_EQ(portChoices(withPty, "", "TCP/IP"), (std::vector<std::string>{"/dev/ttyUSB0", "TCP/IP"}));
}

TEST(SerialPortScan, PrefersByIdNamesSortsNaturallyAndSkipsMissingUarts) {
  TempDir dir;
  const std::string dev = dir.file("dev");
  const std::string sys = dir.file("sys");
  ASSERT_EQ(::mkdir(dev.c_str(), 0755), 0);
  ASSERT_EQ(::mkdir((dev + "/serial").c_str(), 0755), 0);
  ASSERT_EQ(::mkdir((dev + "/serial/by-id").c_str(), 0755), 0);
  for (const char* node : {"ttyUSB10", "ttyUSB2", "ttyUSB1", "ttyACM0", "ttyS0", "ttyS1", "ttyS10", "ttyUSBx",
                           "tty0", "null"}) {
    writeWholeFile(dev + "/" + node, "");
  }
  ASSERT_EQ(::symlink("../../ttyUSB1", (dev + "/serial/by-id/usb-FTDI_A-if00").c_str()), 0);
  ASSERT_EQ(::symlink("../../ttyUSB9", (dev + "/serial/by-id/usb-unplugged").c_str()), 0);
  for (const auto& [name, type] : {std::pair{"ttyS0", "4"}, {"ttyS1", "0"}, {"ttyS10", "4"}}) {
    const std::string folder = sys + "/class/tty/" + name;
    std::filesystem::create_directories(folder);
    writeWholeFile(folder + "/type", std::string(type) + "\n");
  }

  SerialPortScanner scanner(dev, sys);
  EXPECT_EQ(scanner.presentDevices(),
            (std::vector<std::string>{dev + "/serial/by-id/usb-FTDI_A-if00", dev + "/ttyUSB2", dev + "/ttyUSB10",
                                      dev + "/ttyACM0", dev + "/ttyS0", dev + "/ttyS10"}));
}

TEST(SerialPortScan, DeviceExistsForCharacterDevicesOnly) {
  int master = -1;
  int slave = -1;
  char name[128];
  ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
  TempDir dir;
  writeWholeFile(dir.file("plain"), "x");
  SerialPortScanner scanner;
  EXPECT_TRUE(scanner.deviceExists(name));
  EXPECT_FALSE(scanner.deviceExists(dir.file("plain")));
  EXPECT_FALSE(scanner.deviceExists(dir.file("absent")));
  EXPECT_FALSE(scanner.deviceExists(""));
  ::close(slave);
  ::close(master);
  EXPECT_FALSE(scanner.deviceExists(name));
}
