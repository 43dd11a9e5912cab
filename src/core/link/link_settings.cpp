#include "link/link_settings.h"

namespace tarnlux {

bool isSerialPortName(const std::string& portName) {
  // A device path, or a Windows-style "COMn" name (mapped to a device when the
  // port is opened). The prefix is case-sensitive: "com3" selects TCP.
  if (!portName.empty() && portName.front() == '/') return true;
  return portName.compare(0, 3, "COM") == 0;
}

}  // namespace tarnlux
