#pragma once

// What the site screen learns from the meter before any transfer: the meter's
// description ("info") and its site list ("ls"), and the rules of site file
// names. Pure text handling; the exchange that fetches the texts is in
// site_session.h.

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace tarnlux {

// Faults in the "info" answer and the site list ("Donnees compt. non valables"
// with the code).
inline constexpr int kInfoNoDash = 20101;
inline constexpr int kInfoEmptyModel = 20102;
inline constexpr int kInfoEmptyVersion = 20103;
inline constexpr int kInfoBadCounter = 20104;
inline constexpr int kSiteBadNameCharacter = 20105;
inline constexpr int kSiteNoSpaceAfterName = 20106;
inline constexpr int kSiteEmptyName = 20107;
inline constexpr int kSiteBadNumber = 20109;
inline constexpr int kSiteNoClosingBracket = 20110;

inline constexpr std::size_t kSiteNameLength = 8;
inline constexpr int kHighestSiteNumber = 19;

// The answers that mean the meter holds no site, in the meter's five languages.
inline constexpr std::array<const char*, 5> kNoSiteTexts = {"No Sites", "Pas de site", "Nessun Sito",
                                                           "Keine Messorte", "No Lugares"};

struct MeterDescription {
  std::string model;    // before the "-" of the answer's last line, at most 16
  std::string version;  // after the "-", up to a blank, at most 16
  bool numbered = false;  // " *" and a hexadecimal counter start followed
  int counterStart = 0;
  // "MODEL-VERSION": how a site file of this meter begins.
  std::string fileHeader() const { return model + "-" + version; }
};

// Reads the "info" answer (the received text up to the "\r" after the "-").
// 0 or a fault above.
int parseMeterInfo(std::string_view answer, MeterDescription& out);

struct SiteEntry {
  std::string name;  // trailing blanks removed
  int number = 0;
};

// Reads the "ls" listing: one entry per line, an 8-character name, a blank and
// "[N]". Lines holding the meter's model text (its page headers), what comes
// before the first of them (the echo of "ls", a late prompt) and the prompt
// are not entries. 0 or a fault above; `faultLine` gets the
// offending line.
int parseSiteList(std::string_view listing, std::string_view model, std::vector<SiteEntry>& out,
                  std::string* faultLine = nullptr);

// "PUMP12" in slot 5 -> "PUMP12.005".
std::string siteFileName(std::string_view siteName, int siteNumber);

// The site number of a site file name: its extension is "0", then "0" or "1",
// then a digit. -1 for any other name.
int siteNumberOfFileName(std::string_view fileName);
// The site name a file name carries: the part before the extension.
std::string siteNameOfFileName(std::string_view fileName);

}  // namespace tarnlux
