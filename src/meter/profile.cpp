#include "profile.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "number_text.h"

#ifndef TARNLUX_METER_PROFILE_DIR
#define TARNLUX_METER_PROFILE_DIR "profiles"
#endif

namespace tarnlux::meter {

namespace {

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool validName(std::string_view name) {
  if (name.empty() || name.size() > 32) return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
  });
}

bool parseFlag(std::string_view value, bool& out) {
  const std::string v = lower(value);
  if (v == "yes" || v == "1" || v == "true") {
    out = true;
  } else if (v == "no" || v == "0" || v == "false") {
    out = false;
  } else {
    return false;
  }
  return true;
}

// Identity texts travel inside comma-separated answers.
bool validIdentityText(std::string_view text) {
  if (text.empty() || text.size() > 16) return false;
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return c > ' ' && c < 127 && c != ','; });
}

// The text of a char value: quoted to keep blanks, else trimmed.
std::string charText(std::string_view value) {
  value = trim(value);
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
    value = value.substr(1, value.size() - 2);
  }
  return std::string(value);
}

class Parser {
 public:
  Parser(std::string_view origin, Profile& profile) : origin_(origin), profile_(profile) {}

  bool parse(std::string_view text, std::string& error) {
    std::size_t pos = 0;
    int lineNo = 0;
    while (pos <= text.size() && error.empty()) {
      std::size_t end = text.find('\n', pos);
      if (end == std::string_view::npos) end = text.size();
      ++lineNo;
      line_ = lineNo;
      const std::string_view line = trim(text.substr(pos, end - pos));
      pos = end + 1;
      if (line.empty() || line[0] == ';' || line[0] == '#') continue;
      if (line.front() == '[') {
        if (line.back() != ']') return fail("a section line must end with \"]\"", error);
        if (!enterSection(lower(trim(line.substr(1, line.size() - 2))), error)) return false;
        continue;
      }
      const std::size_t eq = line.find('=');
      if (eq == std::string_view::npos) return fail("expected key = value", error);
      const std::string key = lower(trim(line.substr(0, eq)));
      const std::string_view value = trim(line.substr(eq + 1));
      if (key.empty()) return fail("a key is missing before \"=\"", error);
      if (!entry(key, value, error)) return false;
    }
    return error.empty();
  }

 private:
  enum class Section { None, Meter, Signal, Cv, Qm, Query };

  bool fail(const std::string& message, std::string& error) const {
    error = "profile " + std::string(origin_) + " line " + std::to_string(line_) + ": " + message;
    return false;
  }

  bool enterSection(const std::string& name, std::string& error) {
    if (name == "meter") {
      section_ = Section::Meter;
    } else if (name == "signal") {
      section_ = Section::Signal;
    } else if (name == "cv") {
      section_ = Section::Cv;
    } else if (name == "qm") {
      section_ = Section::Qm;
    } else if (name.rfind("query ", 0) == 0) {
      const std::string_view kind = trim(std::string_view(name).substr(6));
      if (kind.size() != 1 || !std::isxdigit(static_cast<unsigned char>(kind[0]))) {
        return fail("a query section is [query K] with one hexadecimal digit K", error);
      }
      section_ = Section::Query;
      queryKind_ = static_cast<int>(std::stoi(std::string(kind), nullptr, 16));
    } else {
      return fail("unknown section [" + name + "]", error);
    }
    return true;
  }

  bool entry(const std::string& key, std::string_view value, std::string& error) {
    switch (section_) {
      case Section::None:
        return fail("key outside any section", error);
      case Section::Meter:
        return meterEntry(key, value, error);
      case Section::Signal:
        return signalEntry(key, value, error);
      case Section::Cv:
        return variableEntry(profile_.cvVariables, key, value, error);
      case Section::Qm:
        return variableEntry(profile_.qmVariables, key, value, error);
      case Section::Query:
        if (key != "line") return fail("a query section holds only \"line =\" entries", error);
        profile_.queryLines[queryKind_].emplace_back(value);
        return true;
    }
    return true;
  }

  bool meterEntry(const std::string& key, std::string_view value, std::string& error) {
    if (key == "description") {
      profile_.description = std::string(value);
    } else if (key == "type" || key == "version") {
      if (!validIdentityText(value)) {
        return fail(key + " must be 1 to 16 printable characters without blanks or commas", error);
      }
      (key == "type" ? profile_.typeText : profile_.versionText) = std::string(value);
    } else if (key == "capabilities") {
      const std::optional<double> word = parseHexWord(value);
      if (!word || *word > 0xFFFFF)
        return fail("capabilities must be at most 5 hexadecimal digits", error);
      profile_.capabilities = static_cast<std::uint32_t>(*word);
    } else if (key == "memory_block") {
      if (!parseFlag(value, profile_.memoryBlock))
        return fail("memory_block must be yes or no", error);
    } else if (key == "metric") {
      if (!parseFlag(value, profile_.metric)) return fail("metric must be yes or no", error);
    } else {
      return fail("unknown key \"" + key + "\" in [meter]", error);
    }
    return true;
  }

  bool signalEntry(const std::string& key, std::string_view value, std::string& error) {
    SignalFigures& s = profile_.signal;
    struct RealKey {
      const char* name;
      double* target;
    };
    const RealKey reals[] = {{"sound_speed", &s.soundSpeed},
                             {"arrival_up", &s.arrivalUp},
                             {"arrival_down", &s.arrivalDown},
                             {"snr_up", &s.snrUp},
                             {"snr_down", &s.snrDown}};
    for (const RealKey& r : reals) {
      if (key != r.name) continue;
      const std::optional<double> v = parseReal(value);
      if (!v) return fail(key + " must be a number", error);
      *r.target = *v;
      return true;
    }
    struct IntKey {
      const char* name;
      int* target;
    };
    const IntKey ints[] = {
        {"adc_fill", &s.adcFill}, {"envelope", &s.envelope}, {"frequency_code", &s.frequencyCode}};
    for (const IntKey& k : ints) {
      if (key != k.name) continue;
      const std::optional<double> v = parseInteger(value, 0, 9999);
      if (!v) return fail(key + " must be a whole number from 0 to 9999", error);
      *k.target = static_cast<int>(*v);
      return true;
    }
    return fail("unknown key \"" + key + "\" in [signal]", error);
  }

  // "name = type[size] values ~noise" defines; "name@N = values" sets index N.
  bool variableEntry(std::vector<Variable>& list, const std::string& key, std::string_view value,
                     std::string& error) {
    const std::size_t at = key.find('@');
    if (at != std::string::npos) return indexEntry(list, key, at, value, error);
    if (!validName(key)) {
      return fail("variable names are 1 to 32 of a-z, 0-9 and _", error);
    }
    std::size_t space = value.find_first_of(" \t");
    std::string_view typeText = value.substr(0, space);
    std::string_view rest =
        space == std::string_view::npos ? std::string_view() : trim(value.substr(space));
    std::size_t size = 1;
    const std::size_t bracket = typeText.find('[');
    if (bracket != std::string_view::npos) {
      if (typeText.back() != ']') return fail("a size is written type[N]", error);
      const std::optional<double> n =
          parseInteger(typeText.substr(bracket + 1, typeText.size() - bracket - 2), 1, 4096);
      if (!n) return fail("a size must be from 1 to 4096", error);
      size = static_cast<std::size_t>(*n);
      typeText = typeText.substr(0, bracket);
    }
    const std::optional<VarType> type = typeFromWord(typeText);
    if (!type) {
      return fail(
          "unknown type \"" + std::string(typeText) + "\" (unsigned, int, short, double or char)",
          error);
    }
    Variable v;
    if (*type == VarType::Char) {
      const std::string text = charText(rest);
      if (text.size() > size) return fail("text longer than the variable", error);
      v = makeVariable(key, *type, size, {}, text, 0);
    } else {
      std::vector<double> numbers;
      double noise = 0;
      if (!numbersWithNoise(*type, rest, size, numbers, noise, error)) return false;
      v = makeVariable(key, *type, size, numbers, {}, noise);
    }
    const auto old =
        std::find_if(list.begin(), list.end(), [&](const Variable& x) { return x.name == key; });
    if (old != list.end()) return fail("variable \"" + key + "\" is defined twice", error);
    list.push_back(std::move(v));
    return true;
  }

  bool indexEntry(std::vector<Variable>& list, const std::string& key, std::size_t at,
                  std::string_view value, std::string& error) {
    const std::string name = key.substr(0, at);
    const std::optional<double> index =
        parseInteger(std::string_view(key).substr(at + 1), 0, kIndexCount - 1);
    if (!index)
      return fail("an index after \"@\" must be from 0 to " + std::to_string(kIndexCount - 1),
                  error);
    const auto it =
        std::find_if(list.begin(), list.end(), [&](const Variable& x) { return x.name == name; });
    if (it == list.end()) return fail("\"" + name + "\" must be defined before its indexes", error);
    const int i = static_cast<int>(*index);
    if (it->type == VarType::Char) {
      const std::string text = charText(value);
      if (text.size() > it->size) return fail("text longer than the variable", error);
      std::string filled = text;
      filled.resize(it->size, kFillChar);
      it->texts[i] = filled;
      return true;
    }
    std::vector<double> numbers;
    if (!numbersWithNoise(it->type, value, it->size, numbers, it->noise, error)) return false;
    const Variable shaped = makeVariable(name, it->type, it->size, numbers, {}, 0);
    it->numbers[i] = shaped.numbers[0];
    return true;
  }

  bool numbersWithNoise(VarType type, std::string_view text, std::size_t size,
                        std::vector<double>& numbers, double& noise, std::string& error) {
    const std::size_t tilde = text.find('~');
    if (tilde != std::string_view::npos) {
      std::vector<double> spread;
      if (!parseNumbers(type, trim(text.substr(tilde + 1)), spread) || spread.size() != 1) {
        return fail("noise is written ~N after the values", error);
      }
      noise = spread[0] < 0 ? -spread[0] : spread[0];
      text = trim(text.substr(0, tilde));
    }
    if (!parseNumbers(type, text, numbers)) {
      return fail(type == VarType::Unsigned ? "unsigned values are hexadecimal numbers"
                                            : "bad number for a " + std::string(typeWord(type)),
                  error);
    }
    if (numbers.size() > size) return fail("more values than the variable holds", error);
    return true;
  }

  std::string_view origin_;
  Profile& profile_;
  Section section_ = Section::None;
  int queryKind_ = 0;
  int line_ = 0;
};

}  // namespace

bool parseProfile(std::string_view text, std::string_view origin, Profile& out,
                  std::string& error) {
  Profile profile;
  error.clear();
  Parser parser(origin, profile);
  if (!parser.parse(text, error)) return false;
  profile.name = out.name;
  out = std::move(profile);
  return true;
}

std::string profileDirectory() { return TARNLUX_METER_PROFILE_DIR; }

bool loadProfile(std::string_view nameOrPath, Profile& out, std::string& error) {
  const std::string given(nameOrPath);
  const bool isPath = given.find('/') != std::string::npos ||
                      (given.size() > 4 && given.compare(given.size() - 4, 4, ".ini") == 0);
  if (!isPath && !validName(given)) {
    error = "profile name \"" + given + "\" must be made of a-z, 0-9 and _ (or give a path)";
    return false;
  }
  const std::string path = isPath ? given : profileDirectory() + "/" + given + ".ini";
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
    error = "profile " + path + " is not a file";
    return false;
  }
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    error = "cannot open profile " + path + ": " + std::strerror(errno);
    return false;
  }
  std::ostringstream content;
  content << file.rdbuf();
  const std::string text = content.str();
  if (text.size() > 1'000'000) {
    error = "profile " + path + " is too large";
    return false;
  }
  std::string stem = path.substr(path.find_last_of('/') + 1);
  if (stem.size() > 4 && stem.compare(stem.size() - 4, 4, ".ini") == 0)
    stem.resize(stem.size() - 4);
  out.name = stem;
  return parseProfile(text, path, out, error);
}

}  // namespace tarnlux::meter

namespace tarnlux::meter {

bool setProfileIdentifier(Profile& profile, std::string_view text, std::string& error) {
  if (text.empty() || text.size() > kIdentifierLength ||
      text.find_first_not_of(' ') == std::string_view::npos) {
    error = "--id needs 1 to 8 characters, not all blanks";
    return false;
  }
  for (char c : text) {
    // "~" is the fill, "|" ends a char listing and "," ends an answer field.
    if (c < 0x20 || c > 0x7E || c == '~' || c == '|' || c == ',') {
      error = "--id takes printable characters other than ~ | and ,";
      return false;
    }
  }
  for (Variable& v : profile.cvVariables) {
    if (v.name != "id" || v.type != VarType::Char) continue;
    for (std::string& value : v.texts) {
      // Only the indexes that carry an identifier (channels, the site) take it.
      if (value.find_first_not_of(" ~") == std::string::npos) continue;
      value.assign(text.substr(0, v.size));
      value.resize(v.size, kFillChar);
    }
    return true;
  }
  error = "the profile has no char variable \"id\"";
  return false;
}

}  // namespace tarnlux::meter
