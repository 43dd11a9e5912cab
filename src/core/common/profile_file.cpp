#include "common/profile_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace tarnlux {

namespace {
constexpr std::size_t npos = static_cast<std::size_t>(-1);

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

std::string trimmed(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && isBlank(text[begin])) ++begin;
  while (end > begin && isBlank(text[end - 1])) --end;
  return std::string(text.substr(begin, end - begin));
}

void ProfileFile::parse(std::string_view text) {
  lines_.clear();
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view raw = text.substr(pos, end - pos);
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    pos = end + 1;

    Line line;
    line.raw = std::string(raw);
    const std::string body = trimmed(raw);
    if (!body.empty() && body.front() == '[') {
      const std::size_t close = body.find(']');
      if (close != std::string::npos) {
        line.kind = Line::Section;
        line.section = trimmed(std::string_view(body).substr(1, close - 1));
      }
    } else if (!body.empty() && body.front() != ';') {
      const std::size_t eq = body.find('=');
      if (eq != std::string::npos) {
        line.kind = Line::Key;
        line.key = trimmed(std::string_view(body).substr(0, eq));
        line.value = trimmed(std::string_view(body).substr(eq + 1));
      }
    }
    lines_.push_back(std::move(line));
  }
}

int ProfileFile::load() {
  lines_.clear();
  std::ifstream in(path_, std::ios::binary);
  if (!in) return errno == ENOENT ? 0 : errno;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  parse(buffer.str());
  return 0;
}

std::string ProfileFile::serialize() const {
  std::string out;
  for (const Line& line : lines_) {
    out += line.raw;
    out += "\r\n";
  }
  return out;
}

int ProfileFile::save() const { return writeFileAtomically(path_, serialize()); }

std::size_t ProfileFile::findSection(std::string_view section) const {
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].kind == Line::Section && equalsIgnoreCase(lines_[i].section, section)) return i;
  }
  return npos;
}

std::size_t ProfileFile::findKey(std::string_view section, std::string_view key) const {
  const std::size_t start = findSection(section);
  if (start == npos) return npos;
  for (std::size_t i = start + 1; i < lines_.size() && lines_[i].kind != Line::Section; ++i) {
    if (lines_[i].kind == Line::Key && equalsIgnoreCase(lines_[i].key, key)) return i;
  }
  return npos;
}

bool ProfileFile::hasSection(std::string_view section) const { return findSection(section) != npos; }

std::optional<std::string> ProfileFile::get(std::string_view section, std::string_view key) const {
  const std::size_t i = findKey(section, key);
  if (i == npos) return std::nullopt;
  return lines_[i].value;
}

std::string ProfileFile::getString(std::string_view section, std::string_view key,
                                   std::string_view fallback) const {
  auto value = get(section, key);
  return value ? *value : std::string(fallback);
}

std::vector<std::string> ProfileFile::keys(std::string_view section) const {
  std::vector<std::string> out;
  const std::size_t start = findSection(section);
  if (start == npos) return out;
  for (std::size_t i = start + 1; i < lines_.size() && lines_[i].kind != Line::Section; ++i) {
    if (lines_[i].kind == Line::Key) out.push_back(lines_[i].key);
  }
  return out;
}

void ProfileFile::set(std::string_view section, std::string_view key, std::string_view value) {
  Line line;
  line.kind = Line::Key;
  line.value = trimmed(value);
  const std::size_t existing = findKey(section, key);
  if (existing != npos) {
    line.key = lines_[existing].key;
    line.raw = line.key + "=" + line.value;
    lines_[existing] = std::move(line);
    return;
  }
  line.key = std::string(key);
  line.raw = line.key + "=" + line.value;
  std::size_t start = findSection(section);
  if (start == npos) {
    // A blank line between sections keeps the file readable.
    if (!lines_.empty() && !trimmed(lines_.back().raw).empty()) lines_.push_back(Line{});
    Line header;
    header.kind = Line::Section;
    header.section = std::string(section);
    header.raw = "[" + header.section + "]";
    lines_.push_back(std::move(header));
    lines_.push_back(std::move(line));
    return;
  }
  // After the last non-blank line of the section.
  std::size_t insertAt = start + 1;
  for (std::size_t i = start + 1; i < lines_.size() && lines_[i].kind != Line::Section; ++i) {
    if (!trimmed(lines_[i].raw).empty()) insertAt = i + 1;
  }
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), std::move(line));
}

bool ProfileFile::remove(std::string_view section, std::string_view key) {
  const std::size_t i = findKey(section, key);
  if (i == npos) return false;
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
  return true;
}

std::string readProfileString(const std::string& path, std::string_view section,
                              std::string_view key, std::string_view fallback) {
  ProfileFile file(path);
  file.load();
  return file.getString(section, key, fallback);
}

int writeProfileString(const std::string& path, std::string_view section, std::string_view key,
                       std::string_view value) {
  ProfileFile file(path);
  if (int rc = file.load(); rc != 0) return rc;
  file.set(section, key, value);
  return file.save();
}

int writeFileAtomically(const std::string& path, std::string_view data) {
  std::string temp = path + ".tmpXXXXXX";
  int fd = mkstemp(temp.data());
  if (fd < 0) return errno;
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      ::close(fd);
      ::unlink(temp.c_str());
      return err;
    }
    done += static_cast<std::size_t>(n);
  }
  if (::fsync(fd) != 0 || ::close(fd) != 0) {
    const int err = errno;
    ::unlink(temp.c_str());
    return err;
  }
  // mkstemp makes the file private; settings files are ordinary user files.
  ::chmod(temp.c_str(), 0644);
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    const int err = errno;
    ::unlink(temp.c_str());
    return err;
  }
  return 0;
}

}  // namespace tarnlux
