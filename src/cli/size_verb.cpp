#include "size_verb.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <optional>

#include "calc/entry_text.h"
#include "calc/sizing.h"
#include "calc_verbs.h"
#include "cli_messages.h"
#include "cli_options.h"

namespace tarnlux::cli {

namespace {

// "OUTSIDE_DIAMETER" -> "--outside-diameter".
std::string optionName(const std::string& key) {
  std::string name = "--";
  for (char c : key)
    name += c == '_' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

std::string lowerKey(const std::string& key) {
  std::string name;
  for (char c : key) name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

std::string listOf(const char* const* names, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += std::string(i == 0 ? "\"" : ", \"") + names[i] + "\"";
  return text;
}

int failure(const std::string& message, bool quiet) {
  if (!quiet) showMessage(message);
  return 1;
}

// The cells of a row after its label, joined by "|".
std::string cellsOf(const ResultsGrid& grid, int row) {
  std::string text;
  const auto& cells = grid.rows[static_cast<std::size_t>(row)];
  for (std::size_t c = 1; c < cells.size(); ++c) {
    if (cells[c].span == 0) continue;
    if (c > 1) text += "|";
    text += cells[c].text;
  }
  return text;
}

std::string labelOf(const std::string& text) {
  std::string label = text;
  while (!label.empty() && label.front() == ' ') label.erase(0, 1);
  while (!label.empty() && label.back() == ' ') label.pop_back();
  if (!label.empty() && label.back() == ':') label.pop_back();
  return label;
}

}  // namespace

int runSize(const std::vector<std::string>& args, bool quiet) {
  if (args.empty() || (args[0] != "gas" && args[0] != "liquid")) {
    if (!args.empty() && args[0] == "--help") {
      std::fputs(helpText(), stdout);
      return 0;
    }
    return usageError("size needs gas or liquid");
  }
  const SizingMode mode = args[0] == "gas" ? SizingMode::Gas : SizingMode::Liquid;
  const int entryCount = sizingEntryCount(mode);
  const int plainEntries = mode == SizingMode::Gas ? kSizingGasCompositionFirst : entryCount;

  SizingChoices choices;
  for (int s = 0; s < kSizingSelectionCount; ++s) {
    if (sizingHasSelection(mode, s))
      choices.index[static_cast<std::size_t>(s)] = choices.safe(mode, s);
  }
  bool sFilter = false;
  std::vector<std::optional<std::string>> texts(static_cast<std::size_t>(entryCount));
  std::array<std::optional<std::string>, kAga8CompositionEntryCount> composition;
  bool haveComposition = false;

  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help") {
      std::fputs(helpText(), stdout);
      return 0;
    }
    if (i + 1 >= args.size()) {
      return usageError(arg.rfind("--", 0) == 0 ? arg + " needs a value"
                                                : "unexpected argument " + arg);
    }
    const std::string& value = args[++i];
    bool known = false;
    for (int entry = 0; entry < plainEntries && !known; ++entry) {
      if (arg == optionName(sizingEntryInfo(mode, entry).key)) {
        texts[static_cast<std::size_t>(entry)] = value;
        known = true;
      }
    }
    for (int s = 0; s < kSizingSelectionCount && !known; ++s) {
      if (!sizingHasSelection(mode, s)) continue;
      const SizingSelectionInfo info = sizingSelectionInfo(mode, s);
      if (arg != optionName(info.key)) continue;
      const auto found = std::find_if(info.names, info.names + info.count,
                                      [&](const char* name) { return value == name; });
      if (found == info.names + info.count) {
        return usageError(arg + " takes one of " + listOf(info.names, info.count));
      }
      choices.index[static_cast<std::size_t>(s)] = static_cast<int>(found - info.names);
      known = true;
    }
    if (!known && arg == "--xdcr-filter") {
      if (value != "0" && value != "1") return usageError("--xdcr-filter takes 0 or 1");
      sFilter = value == "1";
      known = true;
    }
    if (!known && arg == "--comp" && mode == SizingMode::Gas) {
      if (haveComposition) return usageError("--comp given twice");
      std::string error;
      if (!parseCompositionList(value, composition, error)) return usageError(error);
      haveComposition = true;
      known = true;
    }
    if (!known) return usageError("unknown option " + arg + " for size " + args[0]);
  }

  // The screen's entries: the fluid's figures, then what the options say.
  SizingEntries entries(mode);
  sizingFillFluid(mode, choices.safe(mode, kSizingFluid), entries);
  std::vector<std::string> fields(static_cast<std::size_t>(entryCount));
  for (int entry = 0; entry < entryCount; ++entry) {
    const auto i = static_cast<std::size_t>(entry);
    if (texts[i]) {
      fields[i] = *texts[i];
    } else if (entries.set[i]) {
      fields[i] = sizingDisplayText(mode, entry, entries.values[i], choices);
    }
  }
  for (int c = 0; c < kAga8CompositionEntryCount && haveComposition; ++c) {
    if (composition[static_cast<std::size_t>(c)]) {
      fields[static_cast<std::size_t>(kSizingGasCompositionFirst + c)] =
          *composition[static_cast<std::size_t>(c)];
    }
  }
  const SizingValidation validation = sizingValidate(mode, fields, choices);
  if (!validation.ok()) return failure(validation.message, quiet);

  SizingInput input;
  input.mode = mode;
  input.choices = choices;
  input.sFilter = sFilter;
  input.entries = SizingEntries(mode);
  input.entries.values = validation.values;
  for (int entry = 0; entry < entryCount; ++entry) {
    input.entries.set[static_cast<std::size_t>(entry)] =
        !validation.empty[static_cast<std::size_t>(entry)];
  }
  SizingResults results;
  if (auto failed = sizingCalculate(input, results)) {
    std::string message = failed->message;
    if (failed->code >= 0) message += " - Code d'erreur: " + std::to_string(failed->code);
    return failure(message, quiet);
  }

  for (int entry = 0; entry < entryCount; ++entry) {
    const auto i = static_cast<std::size_t>(entry);
    const SizingEntryInfo& info = sizingEntryInfo(mode, entry);
    std::string shown;
    if (!validation.empty[i]) shown = sizingDisplayText(mode, entry, validation.values[i], choices);
    if (info.quantity == SizingQuantity::Fraction && validation.empty[i]) shown.clear();
    std::printf("entry.%s=%s\n", lowerKey(info.key).c_str(), shown.c_str());
  }
  std::string suitable;
  const auto types = sensorTypes(mode);
  for (std::size_t t = 0; t < types.size(); ++t) {
    if (!results.suitable[t]) continue;
    if (!suitable.empty()) suitable += ",";
    suitable += types[t].name;
  }
  std::printf("suitable=%s\n", suitable.c_str());
  std::printf("type=%s\n", sizingTypeLabel(results).c_str());
  std::printf("size=%s\n", sizingSizeName(results, results.size).c_str());
  std::printf("mount=%s\n", sizingMounts(mode)[static_cast<std::size_t>(results.mount)]);
  std::printf("spacing=%s\n", sizingSpacingText(results, results.spacing).c_str());
  for (int p = 0; p < kSizingProblemCount; ++p) {
    if (results.problems[static_cast<std::size_t>(p)]) {
      std::printf("problem=%s\n",
                  sizingProblemText(mode, p, choices.safe(mode, kSizingLengthUnit)).c_str());
    }
  }
  for (int page = 1; page <= 2; ++page) {
    const ResultsPage shown = sizingResultsPage(results, page);
    for (const ResultsGrid& grid : shown.grids) {
      for (int row = 1; row < static_cast<int>(grid.rows.size()); ++row) {
        std::printf("result.%s=%s\n", labelOf(grid.text(row, 0)).c_str(),
                    cellsOf(grid, row).c_str());
      }
    }
  }
  std::fflush(stdout);
  return 0;
}

}  // namespace tarnlux::cli
