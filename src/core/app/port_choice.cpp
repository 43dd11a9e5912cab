#include "app/port_choice.h"

#include <filesystem>
#include <system_error>

#include "link/link_settings.h"

namespace tarnlux {

namespace {

std::string deviceBehind(const std::string& name) {
  if (!isSerialPortName(name) || name.empty() || name.front() != '/') return {};
  std::error_code error;
  const std::filesystem::path target = std::filesystem::canonical(name, error);
  return error ? std::string() : target.string();
}

}  // namespace

int portChoiceIndex(const std::vector<std::string>& choices, const std::string& portName) {
  for (std::size_t i = 0; i < choices.size(); ++i) {
    if (choices[i] == portName) return static_cast<int>(i);
  }
  const std::string device = deviceBehind(portName);
  if (device.empty()) return -1;
  for (std::size_t i = 0; i < choices.size(); ++i) {
    if (deviceBehind(choices[i]) == device) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace tarnlux
