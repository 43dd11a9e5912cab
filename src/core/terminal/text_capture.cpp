#include "terminal/text_capture.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "common/paths.h"
#include "common/profile_file.h"

namespace tarnlux {

namespace {

constexpr std::size_t kMaxDirectory = 256;
constexpr std::size_t kMaxFileName = 256;
constexpr std::size_t kMaxPath = 260;

bool isDirectory(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

TextCapture::~TextCapture() { close(); }

int TextCapture::open(std::string_view directoryText, std::string_view fileNameText,
                      const std::string& startupDirectory, std::string& message) {
  std::string directory = trimmed(directoryText);
  if (directory.empty()) directory = startupDirectory;
  directory = withTrailingSeparator(directory);
  if (directory.size() > kMaxDirectory) {
    message = kTextCaptureDirectoryTooLongText;
    return -1;
  }
  const std::string fileName(fileNameText);
  if (fileName.empty()) {
    message = kTextCaptureNoFileText;
    return -1;
  }
  if (fileName.size() > kMaxFileName) {
    message = kTextCaptureFileTooLongText;
    return -1;
  }
  const std::string path = directory + fileName;
  if (path.size() > kMaxPath) {
    message = kTextCapturePathTooLongText;
    return -1;
  }
  if (!directory.empty() && !isDirectory(directory)) {
    // Every missing level is made, as the user expects of a typed path.
    const int error = ensureParentDirectory(directory + "x");
    if (error != 0) {
      message = kTextCaptureDirectoryText + std::to_string(error);
      return error;
    }
  }
  close();
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) {
    const int error = errno;
    message = kTextCaptureOpenText + std::to_string(error);
    return error;
  }
  fd_ = fd;
  path_ = path;
  lastWasCr_ = false;
  return 0;
}

int TextCapture::append(std::string_view received) {
  if (fd_ < 0 || received.empty()) return 0;
  std::string text;
  text.reserve(received.size() + received.size() / 8);
  for (const char c : received) {
    if (c == '\n' && !lastWasCr_) text.push_back('\r');
    text.push_back(c);
    lastWasCr_ = c == '\r';
  }
  return writeAll(text);
}

int TextCapture::writeAll(std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd_, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return 0;
}

int TextCapture::close() {
  if (fd_ < 0) return 0;
  int result = 0;
  if (::close(fd_) != 0) result = errno;
  fd_ = -1;
  path_.clear();
  return result;
}

}  // namespace tarnlux
