#include "app/manual_file.h"

#include <fstream>

namespace tarnlux {

std::string findManualFile(const std::string& programDirectory) {
  for (const char* name : {kManualFileName, kLegacyManualFileName}) {
    std::string path = programDirectory + name;
    if (std::ifstream(path, std::ios::binary).is_open()) return path;
  }
  return {};
}

}  // namespace tarnlux
