#include "link/comm_settings.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>

namespace tarnlux {

namespace {

constexpr const char* kKeyPort = "PORT";
constexpr const char* kKeyBaudRate = "BAUDRATE";
constexpr const char* kKeyDataBits = "DATA_BITS";
constexpr const char* kKeyStopBits = "STOP_BITS";
constexpr const char* kKeyParity = "PARITY";
constexpr const char* kKeyFlowControl = "FLOW_CONTROL";
constexpr const char* kKeyIpAddress = "IP_ADDRESS";
constexpr const char* kKeyIpPort = "IP_PORT";

// Device paths are longer than the old "COMnn" names; the limit only keeps a
// damaged file from carrying an absurd name around.
constexpr std::size_t kMaxPortName = 255;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool allDigits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), isDigit);
}

// "ttyUSB2" before "ttyUSB10": digit runs compare by value.
bool naturalLess(const std::string& a, const std::string& b) {
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < b.size()) {
    if (isDigit(a[i]) && isDigit(b[j])) {
      std::size_t ei = i;
      std::size_t ej = j;
      while (ei < a.size() && isDigit(a[ei])) ++ei;
      while (ej < b.size() && isDigit(b[ej])) ++ej;
      std::size_t si = i;
      std::size_t sj = j;
      while (si + 1 < ei && a[si] == '0') ++si;
      while (sj + 1 < ej && b[sj] == '0') ++sj;
      if (ei - si != ej - sj) return ei - si < ej - sj;
      const int cmp = a.compare(si, ei - si, b, sj, ej - sj);
      if (cmp != 0) return cmp < 0;
      i = ei;
      j = ej;
    } else {
      if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
      ++i;
      ++j;
    }
  }
  return a.size() - i < b.size() - j;
}

std::vector<std::string> entriesOf(const std::string& directory) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(directory.c_str());
  if (dir == nullptr) return names;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end(), naturalLess);
  return names;
}

std::string resolved(const std::string& path) {
  char buffer[PATH_MAX];
  if (::realpath(path.c_str(), buffer) == nullptr) return {};
  return buffer;
}

std::string baseName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool hasPrefixAndNumber(const std::string& name, std::string_view prefix) {
  return name.compare(0, prefix.size(), prefix) == 0 &&
         allDigits(std::string_view(name).substr(prefix.size()));
}

// The UART type the serial core publishes in sysfs (0 = no UART behind the
// node); -1 when the file cannot be read.
int sysfsUartType(const std::string& sysRoot, const std::string& kernelName) {
  std::ifstream in(sysRoot + "/class/tty/" + kernelName + "/type");
  int type = -1;
  if (!(in >> type)) return -1;
  return type;
}

bool contains(const std::vector<std::string>& list, const std::string& item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

}  // namespace

const std::vector<std::string>& baudRateChoices() {
  static const std::vector<std::string> choices{"1200",  "2400",  "4800",  "9600",
                                                "19200", "38400", "57600", "115200"};
  return choices;
}

const std::vector<std::string>& dataBitsChoices() {
  static const std::vector<std::string> choices{"7", "8"};
  return choices;
}

const std::vector<std::string>& stopBitsChoices() {
  static const std::vector<std::string> choices{"1", "2"};
  return choices;
}

const std::vector<std::string>& parityChoices() {
  static const std::vector<std::string> choices{"IMPAIR", "PAIR", "AUCUN"};
  return choices;
}

const std::vector<std::string>& flowControlChoices() {
  static const std::vector<std::string> choices{"AUCUN", "XON/XOFF"};
  return choices;
}

std::string parityName(std::uint8_t parityCode) {
  switch (parityCode) {
    case 0: return "AUCUN";
    case 2: return "PAIR";
    default: return "IMPAIR";
  }
}

int parityCodeOf(std::string_view name) {
  if (name == "IMPAIR") return 1;
  if (name == "PAIR") return 2;
  if (name == "AUCUN") return 0;
  return -1;
}

bool isValidIpAddress(std::string_view text) {
  if (text.empty()) return true;
  int groups = 0;
  std::size_t pos = 0;
  while (true) {
    std::size_t end = text.find('.', pos);
    const std::string_view group = text.substr(pos, end == std::string_view::npos ? text.npos : end - pos);
    if (group.size() < 1 || group.size() > 3 || !allDigits(group)) return false;
    int value = 0;
    for (char c : group) value = value * 10 + (c - '0');
    if (value > 255) return false;
    ++groups;
    if (end == std::string_view::npos) break;
    pos = end + 1;
  }
  return groups == 4;
}

bool parseIpPort(std::string_view text, std::uint16_t& port) {
  const std::string value = trimmed(text);
  if (!allDigits(value)) return false;
  std::uint32_t number = 0;
  for (char c : value) {
    number = number * 10 + static_cast<std::uint32_t>(c - '0');
    if (number > 65535) return false;
  }
  port = static_cast<std::uint16_t>(number);
  return true;
}

std::string mapLegacyPortName(const std::string& portName) {
  if (portName.size() < 4 || portName.size() > 5 || portName.compare(0, 3, "COM") != 0) return portName;
  const std::string digits = portName.substr(3);
  if (!allDigits(digits) || digits[0] == '0') return portName;
  const int number = std::atoi(digits.c_str());
  if (number < 1 || number > 20) return portName;
  return "/dev/ttyS" + std::to_string(number - 1);
}

// ---------------------------------------------------------------------------
// Port scan

bool SerialPortScanner::isRealUart(const std::string& kernelName) const {
  const int type = sysfsUartType(sysRoot_, kernelName);
  if (type >= 0) return type != 0;
  // Without sysfs, ask the driver itself.
  const std::string path = deviceRoot_ + "/" + kernelName;
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd >= 0) {
    serial_struct info{};
    const bool known = ::ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
    ::close(fd);
    return known;
  }
  if (errno == EBUSY) return true;
  struct stat st {};
  return ::stat((sysRoot_ + "/class/tty/" + kernelName + "/device").c_str(), &st) == 0;
}

std::vector<std::string> SerialPortScanner::presentDevices() const {
  std::vector<std::string> devices;
  // Stable names first: a re-plugged adapter keeps its by-id name.
  std::set<std::string> covered;
  const std::string byId = deviceRoot_ + "/serial/by-id";
  for (const std::string& name : entriesOf(byId)) {
    const std::string path = byId + "/" + name;
    const std::string target = resolved(path);
    if (target.empty()) continue;  // a link left dangling by an unplugged adapter
    covered.insert(target);
    devices.push_back(path);
  }

  const std::vector<std::string> all = entriesOf(deviceRoot_);
  for (const char* prefix : {"ttyUSB", "ttyACM", "ttyS"}) {
    for (const std::string& name : all) {
      if (!hasPrefixAndNumber(name, prefix)) continue;
      const std::string path = deviceRoot_ + "/" + name;
      if (covered.count(resolved(path)) != 0) continue;
      // The kernel makes ttyS nodes for UARTs that may not be fitted.
      if (std::string_view(prefix) == "ttyS" && !isRealUart(name)) continue;
      devices.push_back(path);
    }
  }
  return devices;
}

bool SerialPortScanner::deviceExists(const std::string& device) const {
  struct stat st {};
  if (device.empty() || ::stat(device.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) return false;
  const std::string kernelName = baseName(resolved(device));
  if (hasPrefixAndNumber(kernelName, "ttyS") && sysfsUartType(sysRoot_, kernelName) == 0) return false;
  const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd >= 0) {
    ::close(fd);
    return true;
  }
  // Held by another program, or not ours to open: it is there all the same.
  return errno == EACCES || errno == EBUSY || errno == EPERM;
}

// ---------------------------------------------------------------------------
// Settings file

LinkSettings readLinkSettings(const ProfileFile& file) {
  LinkSettings s;
  const std::string port = file.getString(kCommSection, kKeyPort);
  if (!port.empty()) {
    std::string mapped = mapLegacyPortName(port);
    if (mapped.size() <= kMaxPortName) s.portName = std::move(mapped);
  }

  const std::string baud = file.getString(kCommSection, kKeyBaudRate);
  s.baudRate = contains(baudRateChoices(), baud) ? static_cast<std::uint32_t>(std::stoul(baud)) : 9600;

  const std::string dataBits = file.getString(kCommSection, kKeyDataBits);
  s.dataBits = dataBits == "8" ? 8 : 7;

  s.stopBitsCode = file.getString(kCommSection, kKeyStopBits) == "2" ? 2 : 0;

  const int parity = parityCodeOf(file.getString(kCommSection, kKeyParity));
  s.parityCode = parity >= 0 ? static_cast<std::uint8_t>(parity) : 1;

  s.flowControl = file.getString(kCommSection, kKeyFlowControl) == "AUCUN" ? 0 : 1;

  const std::string address = file.getString(kCommSection, kKeyIpAddress);
  s.ipAddress = isValidIpAddress(address) ? address : std::string();

  std::uint16_t ipPort = 0;
  if (parseIpPort(file.getString(kCommSection, kKeyIpPort), ipPort)) {
    s.ipPort = ipPort;
    s.portMissing = 0;
  } else {
    s.ipPort = 0;
    s.portMissing = 1;
  }
  return s;
}

int loadLinkSettings(const std::string& settingsPath, LinkSettings& settings,
                     const SerialPortScanner& scanner) {
  ProfileFile file(settingsPath);
  const int loaded = file.load();
  settings = readLinkSettings(file);
  if (settings.portName == kTcpPortName) return loaded;

  const std::vector<std::string> present = scanner.presentDevices();
  if (isSerialPortName(settings.portName) &&
      (contains(present, settings.portName) || scanner.deviceExists(settings.portName))) {
    return loaded;
  }
  settings.portName = present.empty() ? std::string(kTcpPortName) : present.front();
  // A file that exists but cannot be read is not rewritten: its other sections
  // would be lost.
  if (loaded != 0) return loaded;
  file.set(kCommSection, kKeyPort, settings.portName);
  return file.save();
}

int saveLinkSettings(const std::string& settingsPath, const LinkSettings& settings) {
  ProfileFile file(settingsPath);
  if (const int rc = file.load(); rc != 0) return rc;
  file.set(kCommSection, kKeyPort, settings.portName);
  file.set(kCommSection, kKeyBaudRate, std::to_string(settings.baudRate));
  file.set(kCommSection, kKeyDataBits, std::to_string(static_cast<unsigned>(settings.dataBits)));
  file.set(kCommSection, kKeyStopBits, settings.stopBitsCode == 2 ? "2" : "1");
  file.set(kCommSection, kKeyParity, parityName(settings.parityCode));
  file.set(kCommSection, kKeyFlowControl, settings.flowControl == 0 ? "AUCUN" : "XON/XOFF");
  file.set(kCommSection, kKeyIpAddress, settings.ipAddress);
  file.set(kCommSection, kKeyIpPort,
           settings.portMissing != 0 ? std::string() : std::to_string(settings.ipPort));
  return file.save();
}

std::vector<std::string> portChoices(const SerialPortScanner& scanner, const std::string& openDevice) {
  return portChoices(scanner, openDevice, std::string());
}

std::vector<std::string> portChoices(const SerialPortScanner& scanner, const std::string& openDevice,
                                     const std::string& configuredPort) {
  std::vector<std::string> choices = scanner.presentDevices();
  auto listed = [&choices](const std::string& device) {
    if (contains(choices, device)) return true;
    // The same device under its other name (by-id link or kernel name).
    const std::string target = resolved(device);
    return !target.empty() && std::any_of(choices.begin(), choices.end(), [&](const std::string& c) {
      return resolved(c) == target;
    });
  };
  // The open device is not probed: opening it again would disturb the link.
  if (!openDevice.empty() && !listed(openDevice)) choices.push_back(openDevice);
  if (!configuredPort.empty() && isSerialPortName(configuredPort) && !listed(configuredPort) &&
      scanner.deviceExists(configuredPort)) {
    choices.push_back(configuredPort);
  }
  choices.emplace_back(kTcpPortName);
  return choices;
}

std::string lineSettingsText(const LinkSettings& settings, bool isTcp) {
  if (isTcp) return kTcpPortName;
  char text[48];
  std::snprintf(text, sizeof text, "%u %u-%c-%c", static_cast<unsigned>(settings.baudRate),
                static_cast<unsigned>(settings.dataBits), parityName(settings.parityCode)[0],
                settings.stopBitsCode == 2 ? '2' : '1');
  return text;
}

}  // namespace tarnlux
