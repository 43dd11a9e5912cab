#include "transfer/site_list.h"

#include <cstdio>

#include "common/hex.h"

namespace tarnlux {

namespace {

constexpr std::size_t kDescriptionTextLength = 16;

bool isSiteNameCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' || c == '"' || c == '#';
}

std::string_view withoutLineEnds(std::string_view line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
  while (!line.empty() && line.front() == '\n') line.remove_prefix(1);
  return line;
}

bool onlyPrompt(std::string_view line) {
  for (char c : line) {
    if (c != '>' && c != ' ') return false;
  }
  return true;
}

}  // namespace

int parseMeterInfo(std::string_view answer, MeterDescription& out) {
  while (!answer.empty() && (answer.back() == '\r' || answer.back() == '\n' || answer.back() == '\0')) {
    answer.remove_suffix(1);
  }
  const std::size_t lineStart = answer.find_last_of("\r\n");
  const std::string_view line = lineStart == std::string_view::npos ? answer : answer.substr(lineStart + 1);
  const std::size_t dash = line.find('-');
  if (dash == std::string_view::npos) return kInfoNoDash;
  std::string_view model = line.substr(0, dash);
  while (!model.empty() && model.front() == ' ') model.remove_prefix(1);
  if (model.size() > kDescriptionTextLength) model = model.substr(model.size() - kDescriptionTextLength);
  if (model.empty()) return kInfoEmptyModel;
  std::string_view rest = line.substr(dash + 1);
  const std::string_view version = rest.substr(0, std::min(rest.find(' '), kDescriptionTextLength));
  if (version.empty()) return kInfoEmptyVersion;

  MeterDescription description;
  description.model = std::string(model);
  description.version = std::string(version);
  const std::size_t star = rest.find(" *");
  if (star != std::string_view::npos) {
    std::string_view digits = rest.substr(star + 2);
    int value = 0;
    std::size_t count = 0;
    while (count < digits.size() && hexValue(digits[count]) >= 0) {
      value = value * 16 + hexValue(digits[count]);
      if (++count > 2) return kInfoBadCounter;  // the counter travels as two digits
    }
    if (count == 0) return kInfoBadCounter;
    description.numbered = true;
    description.counterStart = value;
  }
  out = std::move(description);
  return 0;
}

int parseSiteList(std::string_view listing, std::string_view model, std::vector<SiteEntry>& out,
                  std::string* faultLine) {
  std::vector<SiteEntry> entries;
  std::size_t pos = 0;
  // What came before the first header is the tail of the previous answer and
  // the echo: on a slow line the prompt after "info" arrives with the echo of
  // "ls" ("\n> ls"), which is no entry.
  if (!model.empty()) {
    const std::size_t header = listing.find(model);
    if (header != std::string_view::npos) pos = listing.rfind('\r', header) + 1;  // npos + 1 == 0
  }
  while (pos < listing.size()) {
    std::size_t end = listing.find_first_of("\r", pos);
    if (end == std::string_view::npos) end = listing.size();
    const std::string_view line = withoutLineEnds(listing.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty() || onlyPrompt(line) || line == "ls" ||
        (!model.empty() && line.find(model) != std::string_view::npos)) {
      continue;
    }
    const auto fault = [&](int code) {
      if (faultLine != nullptr) *faultLine = std::string(line);
      return code;
    };
    const std::string_view name = line.substr(0, std::min(line.size(), kSiteNameLength));
    for (char c : name) {
      if (!isSiteNameCharacter(c)) return fault(kSiteBadNameCharacter);
    }
    if (line.size() <= kSiteNameLength || line[kSiteNameLength] != ' ') return fault(kSiteNoSpaceAfterName);
    std::string trimmedName(name);
    while (!trimmedName.empty() && trimmedName.back() == ' ') trimmedName.pop_back();
    if (trimmedName.empty()) return fault(kSiteEmptyName);
    std::string_view number = line.substr(kSiteNameLength + 1);
    if (number.empty() || number.front() != '[') return fault(kSiteBadNumber);
    number.remove_prefix(1);
    int value = 0;
    std::size_t digits = 0;
    while (digits < number.size() && digits < 2 && number[digits] >= '0' && number[digits] <= '9') {
      value = value * 10 + (number[digits] - '0');
      ++digits;
    }
    if (digits == 0) return fault(kSiteBadNumber);
    if (digits == number.size()) return fault(kSiteNoClosingBracket);
    if (number[digits] != ']') {
      return fault(number[digits] >= '0' && number[digits] <= '9' ? kSiteBadNumber : kSiteNoClosingBracket);
    }
    entries.push_back(SiteEntry{std::move(trimmedName), value});
  }
  out = std::move(entries);
  return 0;
}

std::string siteFileName(std::string_view siteName, int siteNumber) {
  char extension[8];
  std::snprintf(extension, sizeof extension, ".%03d", siteNumber < 0 ? 0 : siteNumber % 1000);
  return std::string(siteName) + extension;
}

int siteNumberOfFileName(std::string_view fileName) {
  const std::size_t slash = fileName.find_last_of('/');
  if (slash != std::string_view::npos) fileName.remove_prefix(slash + 1);
  const std::size_t dot = fileName.find_last_of('.');
  if (dot == std::string_view::npos || fileName.size() - dot != 4) return -1;
  const std::string_view extension = fileName.substr(dot + 1);
  if (extension[0] != '0' || (extension[1] != '0' && extension[1] != '1') || extension[2] < '0' ||
      extension[2] > '9') {
    return -1;
  }
  return (extension[1] - '0') * 10 + (extension[2] - '0');
}

std::string siteNameOfFileName(std::string_view fileName) {
  const std::size_t slash = fileName.find_last_of('/');
  if (slash != std::string_view::npos) fileName.remove_prefix(slash + 1);
  return std::string(fileName.substr(0, fileName.find_last_of('.')));
}

}  // namespace tarnlux
