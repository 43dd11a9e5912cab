#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarnlux {

// Location/TAG names: 1 to 15 characters of "A"-"Z", "0"-"9" and "_"; lower
// case is taken as upper case.

enum class SiteNameFault { None, Empty, TooLong, BadCharacter };

inline constexpr std::size_t kSiteNameMaxLength = 15;

// Applies the rule; on success `name` holds the upper-case form.
SiteNameFault checkSiteName(std::string_view text, std::string& name);
// The message shown for a fault (empty for None).
const char* siteNameMessage(SiteNameFault fault);

// The error texts of the name list file; the caller appends the code.
std::string siteListOpenFailedText(const std::string& path);
std::string siteListWriteFailedText(const std::string& path);
// Which of the two texts a failed save reports: true when the file could not
// be created at all (no folder, no permission, read-only), false when writing
// or replacing it failed.
bool isSiteListOpenFailure(int code);

// The list of known names kept in namelist.ini in the program directory: one
// name per line, sorted by byte value. Every change rewrites the file whole.
class SiteNameList {
 public:
  static constexpr const char* kFileName = "namelist.ini";

  // Reads the file. Lines end with CR, LF or both; empty lines and names that
  // fail the rule are dropped; the names are sorted and duplicates dropped, so
  // a hand-edited file still gives a sorted list. A missing file gives an
  // empty list and 0; another read failure leaves the list empty and returns errno.
  int load(const std::string& path);
  void parse(std::string_view text);
  // Every name followed by CR LF (a text file, like every file the program writes).
  std::string serialize() const;
  // Rewrites the file atomically. 0 or errno.
  int save(const std::string& path) const;

  const std::vector<std::string>& names() const { return names_; }
  bool contains(std::string_view name) const;
  // Inserts at the sorted position; false when the name is already there.
  bool insert(const std::string& name);
  // False when the name is not in the list.
  bool remove(std::string_view name);

 private:
  std::vector<std::string> names_;
};

}  // namespace tarnlux
