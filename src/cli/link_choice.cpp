#include "link_choice.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "cli_messages.h"
#include "common/paths.h"
#include "common/profile_file.h"
#include "link/comm_settings.h"

namespace tarnlux::cli {

namespace {

int noLink(const std::string& path, const std::string& why) {
  return usageError("no link to the meter: " + why,
                    "give --link tcp:HOST:PORT or --link serial:DEVICE, or set the link up in " +
                        path);
}

}  // namespace

int chooseLink(const Options& options, LinkSettings& settings) {
  if (options.link) {
    settings = *options.link;
    return 0;
  }
  if (!options.directory.empty()) {
    struct stat info {};
    if (::stat(options.directory.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
      return usageError("--dir " + options.directory + ": not a directory");
    }
  }
  const std::string directory =
      options.directory.empty() ? currentProgramDirectory() : withTrailingSeparator(options.directory);
  const std::string path = settingsFilePath(directory);
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return noLink(path, path + " does not exist");
  ProfileFile file(path);
  if (const int rc = file.load(); rc != 0) {
    return noLink(path, path + " cannot be read (" + std::strerror(rc) + ")");
  }
  if (trimmed(file.getString(kCommSection, "PORT")).empty()) {
    return noLink(path, path + " names no port");
  }
  settings = readLinkSettings(file);
  return 0;
}

}  // namespace tarnlux::cli
