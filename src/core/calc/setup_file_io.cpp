#include "calc/setup_file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string_view>

#include "common/profile_file.h"

namespace tarnlux {

namespace {

bool isWriteFailure(int code) {
  return code == ENOSPC || code == EDQUOT || code == EFBIG || code == EIO;
}

SetupFileError writeFailure(const std::string& path, int code) {
  if (isWriteFailure(code)) return {kSetupWriteError, kSetupWriteErrorNumber, -1};
  return {kSetupCannotOpen, path, code};
}

// Writing in place, for a writable file in a folder where no temporary file
// may be made.
int writeInPlace(const std::string& path, std::span<const std::uint8_t> bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC);
  if (fd < 0) return errno;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      ::close(fd);
      return err;
    }
    done += static_cast<std::size_t>(n);
  }
  return ::close(fd) == 0 ? 0 : errno;
}

}  // namespace

SetupFileError writeSetupFile(const std::string& path, std::span<const std::uint8_t> bytes) {
  std::string target = path;
  struct stat info {};
  const bool exists = ::stat(path.c_str(), &info) == 0;
  if (exists) {
    // The rename replaces a link, not the file it names.
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) != nullptr) target = resolved;
    if (S_ISDIR(info.st_mode)) return {kSetupCannotOpen, path, EISDIR};
    // A file the user may not write stays refused, as opening it would be.
    if (::access(target.c_str(), W_OK) != 0) return {kSetupCannotOpen, path, errno};
  }
  const std::string_view data(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  int rc = writeFileAtomically(target, data);
  if (rc == EACCES && exists) rc = writeInPlace(target, bytes);
  if (rc != 0) return writeFailure(path, rc);
  if (exists) ::chmod(target.c_str(), info.st_mode & 07777);
  return {};
}

SetupFileError readSetupFile(const std::string& path, std::size_t size,
                             std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) {
    if (errno == ENOENT) return {};
    return {kSetupCannotOpen, path, errno};
  }
  bytes.resize(size);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(fd, bytes.data() + done, size - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      ::close(fd);
      bytes.clear();
      return {kSetupReadError, {}, err};
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);
  bytes.resize(done);
  return {};
}

std::uint16_t setupFileChecksum(std::span<const std::uint8_t> bytes, std::size_t first,
                                std::size_t last) {
  std::uint16_t sum = 0;
  for (std::size_t i = first; i <= last && i < bytes.size(); ++i) {
    sum = static_cast<std::uint16_t>(sum + bytes[i]);
  }
  return sum;
}

void putSetupDouble(std::span<std::uint8_t> bytes, std::size_t offset, double value) {
  const auto bits = std::bit_cast<std::uint64_t>(value);
  for (std::size_t i = 0; i < 8; ++i)
    bytes[offset + i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

double getSetupDouble(std::span<const std::uint8_t> bytes, std::size_t offset) {
  std::uint64_t bits = 0;
  for (std::size_t i = 0; i < 8; ++i)
    bits |= static_cast<std::uint64_t>(bytes[offset + i]) << (8 * i);
  return std::bit_cast<double>(bits);
}

void putSetupWord(std::span<std::uint8_t> bytes, std::size_t offset, std::uint16_t value) {
  bytes[offset] = static_cast<std::uint8_t>(value & 0xFF);
  bytes[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

std::uint16_t getSetupWord(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return static_cast<std::uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}

std::string withDefaultExtension(const std::string& path, const std::string& extension) {
  const std::size_t slash = path.find_last_of('/');
  const std::size_t dot = path.find_last_of('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) return path;
  return path + "." + extension;
}

}  // namespace tarnlux
