#pragma once

#include <string>
#include <vector>

namespace tarnlux {

// Which entry of the port list stands for `portName`: the entry of that name,
// else a serial entry that is the same device under another name (a
// /dev/serial/by-id link and the kernel name it points at). -1 when none.
int portChoiceIndex(const std::vector<std::string>& choices, const std::string& portName);

}  // namespace tarnlux
