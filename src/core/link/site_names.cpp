#include "link/site_names.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "common/profile_file.h"

namespace tarnlux {

SiteNameFault checkSiteName(std::string_view text, std::string& name) {
  if (text.empty()) return SiteNameFault::Empty;
  if (text.size() > kSiteNameMaxLength) return SiteNameFault::TooLong;
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    const bool allowed = (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    if (!allowed) return SiteNameFault::BadCharacter;
  }
  name = std::move(upper);
  return SiteNameFault::None;
}

const char* siteNameMessage(SiteNameFault fault) {
  switch (fault) {
    case SiteNameFault::Empty:
      return "Empl. compteur doit contenir 1 car. minimum";
    case SiteNameFault::TooLong:
      return "Empl. compteur trop long, 15 car maximum";
    case SiteNameFault::BadCharacter:
      return "Car non valide, utiliser lettres, chiffres et car soulignement";
    case SiteNameFault::None:
      break;
  }
  return "";
}

std::string siteListOpenFailedText(const std::string& path) {
  return "Impossible ouvrir fichier: " + path;
}

std::string siteListWriteFailedText(const std::string& path) {
  return "Impossible d'ecrire vers fichier: " + path;
}

bool isSiteListOpenFailure(int code) {
  switch (code) {
    case EACCES:
    case EPERM:
    case ENOENT:
    case ENOTDIR:
    case EROFS:
    case EISDIR:
    case ENAMETOOLONG:
    case ELOOP:
    case EMFILE:
    case ENFILE:
      return true;
    default:
      return false;
  }
}

int SiteNameList::load(const std::string& path) {
  names_.clear();
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return errno == ENOENT ? 0 : errno;
  std::string text;
  char block[2048];
  std::size_t n = 0;
  while ((n = std::fread(block, 1, sizeof block, file)) > 0) text.append(block, n);
  const int err = std::ferror(file) ? (errno != 0 ? errno : EIO) : 0;
  std::fclose(file);
  if (err != 0) return err;
  parse(text);
  return 0;
}

void SiteNameList::parse(std::string_view text) {
  names_.clear();
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    std::string name;
    if (end > start && checkSiteName(text.substr(start, end - start), name) == SiteNameFault::None) {
      names_.push_back(std::move(name));
    }
    start = end + 1;
  }
  std::sort(names_.begin(), names_.end());
  names_.erase(std::unique(names_.begin(), names_.end()), names_.end());
}

std::string SiteNameList::serialize() const {
  std::string text;
  for (const auto& name : names_) {
    text += name;
    text += "\r\n";
  }
  return text;
}

int SiteNameList::save(const std::string& path) const {
  return writeFileAtomically(path, serialize());
}

bool SiteNameList::contains(std::string_view name) const {
  return std::binary_search(names_.begin(), names_.end(), name);
}

bool SiteNameList::insert(const std::string& name) {
  // std::string compares by unsigned byte value, the order the file keeps.
  const auto at = std::lower_bound(names_.begin(), names_.end(), name);
  if (at != names_.end() && *at == name) return false;
  names_.insert(at, name);
  return true;
}

bool SiteNameList::remove(std::string_view name) {
  const auto at = std::lower_bound(names_.begin(), names_.end(), name);
  if (at == names_.end() || *at != name) return false;
  names_.erase(at);
  return true;
}

}  // namespace tarnlux
