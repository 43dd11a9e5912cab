#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnlux {

// A settings file in the profile format: sections in brackets, key=value lines.
// Section and key names match without regard to case; values are taken as they
// stand after trimming blanks. A missing file reads as empty, so every reader
// falls back to its defaults. The file is rewritten whole and atomically
// (temporary file, then rename) with CR LF line ends; lines the program does not
// understand (comments, blank lines) are kept.
class ProfileFile {
 public:
  ProfileFile() = default;
  explicit ProfileFile(std::string path) : path_(std::move(path)) {}

  // Reads the file; a missing file gives an empty profile and 0. Other read
  // failures return errno (the profile stays empty).
  int load();
  // Rewrites the file atomically. Returns 0 or errno.
  int save() const;

  const std::string& path() const { return path_; }

  std::optional<std::string> get(std::string_view section, std::string_view key) const;
  std::string getString(std::string_view section, std::string_view key,
                        std::string_view fallback = {}) const;
  // Sets a value; a new key goes at the end of its section, a new section at the
  // end of the file.
  void set(std::string_view section, std::string_view key, std::string_view value);
  // Removes a key; true when it was there.
  bool remove(std::string_view section, std::string_view key);
  std::vector<std::string> keys(std::string_view section) const;
  bool hasSection(std::string_view section) const;

  // The text the file would be written with.
  std::string serialize() const;
  void parse(std::string_view text);

 private:
  struct Line {
    std::string raw;      // the line as read (without its line end)
    std::string section;  // for section headers: the name
    std::string key;      // for key lines: the key as written
    std::string value;    // for key lines: the trimmed value
    enum Kind { Other, Section, Key } kind = Other;
  };
  // Index of the section header line, or npos.
  std::size_t findSection(std::string_view section) const;
  std::size_t findKey(std::string_view section, std::string_view key) const;

  std::string path_;
  std::vector<Line> lines_;
};

// One-shot helpers with the semantics of the platform's profile calls: each
// read opens the file, each write rewrites it.
std::string readProfileString(const std::string& path, std::string_view section,
                              std::string_view key, std::string_view fallback = {});
int writeProfileString(const std::string& path, std::string_view section, std::string_view key,
                       std::string_view value);

// Writes `data` to `path` through a temporary file in the same folder and a
// rename, so a failed write leaves the previous file whole. Returns 0 or errno.
int writeFileAtomically(const std::string& path, std::string_view data);

bool equalsIgnoreCase(std::string_view a, std::string_view b);
std::string trimmed(std::string_view text);

}  // namespace tarnlux
