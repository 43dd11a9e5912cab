#include "diag/meter_info_fields.h"

namespace tarnlux {

namespace {

const std::vector<MeterInfoFieldRule> kRules = {
    {"location", "Empl/No pt m:", 15, "Trop de caracteres pour emplacement / No pt de mesure",
     kMeterInfoLocationCharacters, &MeterInfoTexts::location},
    {"spool_part_number", "No piece tiroir cyl:", 31, "Trop de caracteres pour ref pt de mesure",
     "Car non valide pour ref pt de mesure", &MeterInfoTexts::spoolPartNumber},
    {"spool_serial_number", "No serie tiroir cyl:", 16,
     "Trop de caracteres pour no serie pt de mesure", "Car non valide pour no serie pt de mesure",
     &MeterInfoTexts::spoolSerialNumber},
    {"manufacture_date", "Date de fabrication:", 16, "Trop de caracteres pour date du fabricant",
     kMeterInfoDateMessage, &MeterInfoTexts::manufactureDate},
    {"flowmeter_part_number", "Ref debitmetre:", 31, "Trop de caracteres pour ref debitmetre",
     "Car non valide pour ref debitmetre", &MeterInfoTexts::flowmeterPartNumber},
    {"flowmeter_serial_number", "No serie\xA0"
                                "debitmetre:",
     16, "Trop de caracteres pour no serie debitmetre", "Car non valide pour no serie debitmetre",
     &MeterInfoTexts::flowmeterSerialNumber},
};

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isLocationText(std::string_view text) {
  for (char c : text) {
    const bool allowed = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || isDigit(c) || c == '_';
    if (!allowed) return false;
  }
  return true;
}

// The separators and fill of the block would cut the field short when the
// meter's block is read back.
bool isBlockText(std::string_view text) {
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7F || c == ',' || c == '|' || c == '~') return false;
  }
  return true;
}

bool isDateText(std::string_view text) {
  int groups = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t digits = 0;
    while (i < text.size() && isDigit(text[i])) ++i, ++digits;
    if (digits == 0 || digits > 4) return false;
    ++groups;
    if (i == text.size()) break;
    const char separator = text[i++];
    if ((separator != '-' && separator != '/' && separator != '.') || i == text.size()) return false;
  }
  return groups == 2 || groups == 3;
}

}  // namespace

const std::vector<MeterInfoFieldRule>& meterInfoFieldRules() { return kRules; }

const MeterInfoFieldRule* findMeterInfoField(std::string_view key) {
  for (const MeterInfoFieldRule& rule : kRules)
    if (key == rule.key) return &rule;
  return nullptr;
}

MeterInfoFieldCheck checkMeterInfoField(const MeterInfoFieldRule& rule, std::string_view text) {
  MeterInfoFieldCheck check;
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  check.text = std::string(text);
  if (text.size() > rule.maxLength) {
    check.message = rule.tooLongMessage;
    return check;
  }
  bool allowed = true;
  if (text.empty()) {
    allowed = true;
  } else if (rule.text == &MeterInfoTexts::location) {
    allowed = isLocationText(text);
  } else if (rule.text == &MeterInfoTexts::manufactureDate) {
    allowed = isDateText(text);
  } else {
    allowed = isBlockText(text);
  }
  if (!allowed) {
    check.message = rule.badCharacterMessage;
    return check;
  }
  // The location names the site: kept in upper case, as connect stores it.
  if (rule.text == &MeterInfoTexts::location) {
    for (char& c : check.text) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  }
  check.ok = true;
  return check;
}

}  // namespace tarnlux
