#include "diag/capture_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "common/paths.h"
#include "common/profile_file.h"
#include "diag/capture_header.h"
#include "diag/text_format.h"

namespace tarnlux {

namespace {

constexpr std::size_t kPrefixLength = 24;
constexpr std::size_t kDirectoryMax = 256;
constexpr std::size_t kFileNameMax = 256;
constexpr std::size_t kPathMax = 260;
constexpr std::size_t kSettingsFolderMax = 243;

std::string withCode(const char* text, int code) { return text + std::to_string(code); }

bool isRegularFile(int fd) {
  struct stat info {};
  return ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}

int openFile(const std::string& path, bool& created, bool replaceExisting) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd >= 0) {
    created = true;
    return fd;
  }
  if (errno != EEXIST || !replaceExisting) return -1;
  created = false;
  return ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
}

}  // namespace

std::string proposedCaptureFileName(const std::optional<std::string>& siteIdentifier,
                                    std::string_view location, const LocalTime& now) {
  std::string name = siteIdentifier ? *siteIdentifier : std::string("________");
  // A multi-path site's identifier keeps its blanks, and a meter may hold any
  // character there: none of that may split or misplace the file name.
  for (char& c : name) {
    if (c == ' ' || c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20) c = '_';
  }
  name += location;
  if (name.size() < kPrefixLength) name.append(kPrefixLength - name.size(), '_');
  appendFormat(name, "%02d%02d%02d", now.month, now.day, now.year % 100);
  name += '_';
  appendFormat(name, "%02d%02d", now.hour, now.minute);
  name += ".CSV";
  return name;
}

std::string proposedCaptureFileName(const MeterFacts& meter, const Clock& clock) {
  return proposedCaptureFileName(captureSiteIdentifier(meter), meter.locationName,
                                 clock.localNow());
}

int resolveCaptureTarget(std::string_view directoryText, std::string_view fileNameText,
                         const std::string& startupDirectory, CaptureTarget& target,
                         std::string& message) {
  std::string directory = trimmed(directoryText);
  if (directory.empty()) directory = startupDirectory;
  directory = withTrailingSeparator(directory);
  if (directory.size() > kDirectoryMax) {
    message = kCaptureDirectoryTooLongText;
    return kCaptureDirectoryTooLong;
  }
  const std::string name = trimmed(fileNameText);
  if (name.empty()) {
    message = kCaptureNoFileNameText;
    return kCaptureNoFileName;
  }
  if (name.size() > kFileNameMax) {
    message = kCaptureFileNameTooLongText;
    return kCaptureFileNameTooLong;
  }
  if (directory.size() + name.size() > kPathMax) {
    message = kCapturePathTooLongText;
    return kCapturePathTooLong;
  }
  target.directory = directory;
  target.path = directory + name;
  return 0;
}

FileCaptureSink::~FileCaptureSink() {
  if (fd_ >= 0) ::close(fd_);
}

std::string fileExistsQuestion(std::string_view name) {
  return std::string(name) + " existe deja.\nVoulez-vous le remplacer ?";
}

int FileCaptureSink::open(const CaptureTarget& target, std::unique_ptr<FileCaptureSink>& sink,
                          std::string& message, bool replaceExisting) {
  bool created = false;
  int fd = openFile(target.path, created, replaceExisting);
  if (fd < 0 && errno == ENOENT && !target.directory.empty()) {
    if (::mkdir(target.directory.c_str(), 0755) != 0 && errno != EEXIST) {
      const int err = errno;
      message = withCode(kCaptureDirectoryCreateText, err);
      return err;
    }
    fd = openFile(target.path, created, replaceExisting);
  }
  if (fd < 0) {
    const int err = errno;
    message = err == EEXIST && !replaceExisting ? fileExistsQuestion(target.path)
                                                : withCode(kCaptureFileOpenText, err);
    return err;
  }
  sink.reset(new FileCaptureSink(fd, target.path, created));
  return 0;
}

int FileCaptureSink::append(std::string_view data) {
  if (fd_ < 0) return EBADF;
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd_, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int err = n < 0 ? errno : ENOSPC;
      // Cut a partly written piece off again, so the file ends after the last
      // whole row.
      if (done > 0 && isRegularFile(fd_)) {
        if (::ftruncate(fd_, static_cast<off_t>(size_)) == 0) {
          ::lseek(fd_, static_cast<off_t>(size_), SEEK_SET);
        }
      }
      return err;
    }
    done += static_cast<std::size_t>(n);
  }
  size_ += static_cast<long long>(data.size());
  return 0;
}

int FileCaptureSink::close() {
  if (fd_ < 0) return 0;
  int err = 0;
  if (isRegularFile(fd_) && ::fsync(fd_) != 0) err = errno;
  if (::close(fd_) != 0 && err == 0) err = errno;
  fd_ = -1;
  return err;
}

void FileCaptureSink::discard() {
  if (fd_ < 0) return;
  const bool regular = isRegularFile(fd_);
  if (regular && !created_) {
    // A file that was there before: leave it empty rather than half-written.
    if (::ftruncate(fd_, 0) != 0) {
      // Nothing more can be done; the failure was reported already.
    }
  }
  ::close(fd_);
  fd_ = -1;
  if (regular && created_) ::unlink(path_.c_str());
}

int recordLastCaptureLog(const std::string& logPath, bool extendedDiagnostics,
                         const std::string& startupDirectory, const std::string& iniPath) {
  if (!extendedDiagnostics || logPath.empty()) return 0;
  const std::size_t slash = iniPath.rfind('/');
  const std::size_t folderLength = slash == std::string::npos ? 0 : slash;
  if (folderLength > kSettingsFolderMax) return 0;
  const std::string fullPath =
      logPath.front() == '/' ? logPath : withTrailingSeparator(startupDirectory) + logPath;
  if (int rc = ensureParentDirectory(iniPath); rc != 0) return rc;
  return writeProfileString(iniPath, "LAST_REPORT", "FILENAME", fullPath);
}

}  // namespace tarnlux
