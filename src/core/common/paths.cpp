#include "common/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace tarnlux {

std::string withTrailingSeparator(std::string directory) {
  if (!directory.empty() && directory.back() != '/') directory += '/';
  return directory;
}

std::string currentProgramDirectory() {
  char buffer[4096];
  if (::getcwd(buffer, sizeof buffer) == nullptr) return {};
  return withTrailingSeparator(buffer);
}

std::string settingsFilePath(const std::string& programDirectory) {
  return programDirectory + "qm.cfg";
}

std::string quillmapIniPath() {
  std::string base;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg != '\0') {
    base = xdg;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    base = std::string(home) + "/.config";
  } else {
    base = ".";
  }
  return withTrailingSeparator(base) + "tarnlux/quillmap.ini";
}

int ensureParentDirectory(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos || slash == 0) return 0;
  const std::string parent = path.substr(0, slash);
  struct stat info {};
  if (::stat(parent.c_str(), &info) == 0) return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
  if (int rc = ensureParentDirectory(parent); rc != 0) return rc;
  if (::mkdir(parent.c_str(), 0755) != 0 && errno != EEXIST) return errno;
  return 0;
}

}  // namespace tarnlux
