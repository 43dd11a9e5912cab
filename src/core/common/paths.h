#pragma once

#include <string>

namespace tarnlux {

// The program directory: the working directory when the program starts, with a
// trailing separator; empty when it cannot be read.
std::string currentProgramDirectory();

// Program directory + "qm.cfg".
std::string settingsFilePath(const std::string& programDirectory);

// Where "quillmap.ini" lives: $XDG_CONFIG_HOME/tarnlux, else ~/.config/tarnlux.
// The folder is created on demand by writers (ensureParentDirectory).
std::string quillmapIniPath();

// Creates the folders above `path` (like mkdir -p). Returns 0 or errno.
int ensureParentDirectory(const std::string& path);

// Appends the path separator when missing (an empty text stays empty).
std::string withTrailingSeparator(std::string directory);

}  // namespace tarnlux
