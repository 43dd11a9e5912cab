#include "calc_verbs.h"

#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>

#include "calc/aga8.h"
#include "calc/aga8_screen_rules.h"
#include "calc/aga8_setup_file.h"
#include "calc/aga8_table.h"
#include "calc/energy.h"
#include "calc/setup_file_io.h"
#include "cli_messages.h"
#include "cli_options.h"
#include "common/error_text.h"

namespace tarnlux::cli {

namespace {

// An input the screen itself would refuse: its own message, as it shows it,
// in the usage error's form; `detail` gives the accepted range.
int refused(const std::string& message, const std::string& detail = {}) {
  return usageError(message, detail);
}

int failure(const std::string& message, bool /*quiet: the messages know*/) {
  showMessage(message);
  return 1;
}

// Results that are not numbers (a division by a zero condition, an overflow)
// are never printed as inf or nan: the key stays empty and the run fails.
struct ResultPrinter {
  std::string firstBad;
  void real(const char* key, double value) {
    if (std::isfinite(value)) {
      std::printf("%s=%.17g\n", key, value);
    } else {
      std::printf("%s=\n", key);
      if (firstBad.empty()) firstBad = key;
    }
  }
  int status(int status) const {
    if (firstBad.empty() || status != 0) return status;
    showCliMessage("the calculation gave no finite value for " + firstBad);
    return 1;
  }
};

std::optional<double> parseReal(const std::string& text) {
  double value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || stop != end || !std::isfinite(value)) return std::nullopt;
  return value;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// ---- aga8 -------------------------------------------------------------------

// A component is named by its settings key without "_PERCENTAGE", in lower
// case: "methane", "co2", "ibutane", "co", "o2", ...
std::string componentName(int entry) {
  std::string name = aga8EntryKey(entry);
  name.resize(name.size() - std::string("_PERCENTAGE").size());
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

int componentEntry(const std::string& name) {
  for (int entry = 0; entry < kAga8CompositionEntryCount; ++entry) {
    if (equalsNoCase(componentName(entry), name)) return entry;
  }
  return -1;
}

std::string componentNames() {
  std::string names;
  for (int entry = 0; entry < kAga8CompositionEntryCount; ++entry) {
    names += (entry == 0 ? "" : ", ") + componentName(entry);
  }
  return names;
}

struct Aga8Request {
  // The option texts in entry order; composition texts are percent.
  std::array<std::optional<std::string>, kAga8EntryCount> texts;
  bool composition = false;
  std::string setupPath;
  bool table = false;
};

bool parseComposition(const std::string& list, Aga8Request& request, std::string& error) {
  std::array<std::optional<std::string>, kAga8CompositionEntryCount> texts;
  if (!parseCompositionList(list, texts, error)) return false;
  for (int entry = 0; entry < kAga8CompositionEntryCount; ++entry) {
    request.texts[static_cast<std::size_t>(entry)] = texts[static_cast<std::size_t>(entry)];
  }
  request.composition = true;
  return true;
}

bool parseAga8Options(const std::vector<std::string>& args, Aga8Request& request, bool& help,
                      std::string& error) {
  static const struct {
    const char* option;
    int entry;
  } kConditions[] = {
      {"--base-pressure", kAga8BasePressureEntry},       {"--pressure", kAga8PressureEntry},
      {"--max-pressure", kAga8MaxPressureEntry},         {"--base-temperature", kAga8BaseTemperatureEntry},
      {"--temperature", kAga8TemperatureEntry},          {"--max-temperature", kAga8MaxTemperatureEntry},
  };
  RepeatGuard repeats;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help") {
      help = true;
      return true;
    }
    if (arg.rfind("--", 0) == 0 && !repeats.first(arg, error)) return false;
    if (arg == "--table") {
      request.table = true;
      continue;
    }
    if (i + 1 >= args.size()) {
      error = arg.rfind("--", 0) == 0 ? arg + " needs a value" : "unexpected argument " + arg;
      return false;
    }
    const std::string& value = args[++i];
    bool known = false;
    for (const auto& c : kConditions) {
      if (arg == c.option) {
        request.texts[static_cast<std::size_t>(c.entry)] = value;
        known = true;
      }
    }
    if (known) continue;
    if (arg == "--comp") {
      if (request.composition) {
        error = "--comp given twice";
        return false;
      }
      if (!parseComposition(value, request, error)) return false;
    } else if (arg == "--setup") {
      request.setupPath = value;
    } else {
      error = "unknown option " + arg;
      return false;
    }
  }
  if (request.composition && !request.setupPath.empty()) {
    error = "--comp and --setup exclude each other";
    return false;
  }
  if (!request.table && (request.texts[kAga8MaxPressureEntry] || request.texts[kAga8MaxTemperatureEntry])) {
    error = "--max-pressure and --max-temperature apply to --table";
    return false;
  }
  return true;
}

struct EntryFault {
  std::string message;
  std::string detail;  // the accepted range
};

std::string rangeText(int entry) {
  if (aga8IsPressureEntry(entry)) return "accepted: more than 0 up to 1.379e8 Pa (absolute)";
  return "accepted: 143 to 473.15 K";
}

// The screen's checks on internal values (Pa absolute, K), in entry order;
// the first failure gives its message. Beyond the screen, a pressure or a
// base condition of 0 is refused: the results would divide by it.
std::optional<EntryFault> checkEntries(const Aga8Entries& entries, bool table) {
  for (int entry = 0; entry < kAga8EntryCount; ++entry) {
    if (!aga8EntryActive(entry, table)) continue;
    const double value = entries.values[static_cast<std::size_t>(entry)];
    // Fractions, absolute pressures and kelvins: nothing may be negative.
    if (value < 0.0 || !std::isfinite(value)) return EntryFault{aga8BadValueMessage(entry, table), {}};
    const bool flowing = entry == kAga8PressureEntry || entry == kAga8MaxPressureEntry ||
                         entry == kAga8TemperatureEntry || entry == kAga8MaxTemperatureEntry;
    if (flowing && (!aga8WithinRange(entry, value) || value == 0.0)) {
      return EntryFault{aga8OutOfRangeMessage(entry), rangeText(entry)};
    }
    if ((entry == kAga8BasePressureEntry || entry == kAga8BaseTemperatureEntry) && value == 0.0) {
      return EntryFault{aga8BadValueMessage(entry, table),
                        entry == kAga8BasePressureEntry ? "accepted: more than 0 Pa (absolute)"
                                                        : "accepted: more than 0 K"};
    }
  }
  const Aga8TotalCheck total = aga8CheckTotal(entries.values);
  if (!total.ok) {
    return EntryFault{kAga8TotalMessage, "total: " + total.text + " %, accepted: 99.99 to 100.01 %"};
  }
  return std::nullopt;
}

void printGas(const GasRecord& gas, ResultPrinter& out) {
  std::printf("status=%d\n", static_cast<int>(gas.status));
  auto printReal = [&out](const char* key, double value) { out.real(key, value); };
  printReal("zb", gas.Zb);
  printReal("zf", gas.Zf);
  printReal("fpv", gas.Fpv);
  printReal("db", gas.Db);
  printReal("df", gas.Df);
  printReal("rhob", gas.Rhob);
  printReal("rhof", gas.Rhof);
  printReal("rd_ideal", gas.RDideal);
  printReal("rd_real", gas.RDreal);
  printReal("molar_mass", gas.molarMass);
  printReal("ho", gas.Ho);
  printReal("h", gas.H);
  printReal("s", gas.S);
  printReal("cpi", gas.Cpi);
  printReal("cp", gas.Cp);
  printReal("cv", gas.Cv);
  printReal("k", gas.k);
  printReal("kappa", gas.kappa);
  printReal("sound_speed", gas.speedOfSound);
  printReal("cstar", gas.Cstar);
}

int runTable(GasRecord& gas, const Aga8Entries& entries, bool quiet) {
  const double minimumPressure = entries.values[kAga8PressureEntry];
  const double maximumPressure = entries.values[kAga8MaxPressureEntry];
  const double minimumTemperature = entries.values[kAga8TemperatureEntry];
  const double maximumTemperature = entries.values[kAga8MaxTemperatureEntry];
  Aga8Table table;
  int done = 0;
  const int result = aga8ComputeTable(gas, maximumPressure, maximumTemperature, table,
                                      [&done](int, int) {
                                        ++done;
                                        return true;
                                      });
  // The cells computed before a failing point are still worth printing; a
  // cell that is not a number ends the table there.
  std::printf("pressure,temperature,zf,rhof\n");
  for (int cell = 0; cell < done; ++cell) {
    const int t = cell / kAga8TableSteps;
    const int p = cell % kAga8TableSteps;
    const double zf = table.Zf[static_cast<std::size_t>(cell)];
    const double rhof = table.Rhof[static_cast<std::size_t>(cell)];
    if (!std::isfinite(zf) || !std::isfinite(rhof)) {
      std::fflush(stdout);
      showCliMessage("the calculation gave no finite value at point " + std::to_string(cell + 1));
      return 1;
    }
    std::printf("%.17g,%.17g,%.17g,%.17g\n", aga8TableAxisValue(minimumPressure, maximumPressure, p),
                aga8TableAxisValue(minimumTemperature, maximumTemperature, t), zf, rhof);
  }
  std::fflush(stdout);
  return result == kAga8Normal ? 0 : failure(aga8CalculationStatus(result), quiet);
}

// ---- energy -----------------------------------------------------------------

constexpr double kPoundsPerKilogram = 2.20462;  // as the results page converts

struct EnergyOption {
  const char* option;
  int selection;
};
constexpr EnergyOption kEnergySelectionOptions[] = {
    {"--temperature-unit", kEnergyTemperatureSelection},
    {"--rate-unit", kEnergyRateSelection},
    {"--volume", kEnergyVolumeSelection},
    {"--time", kEnergyTimeSelection},
    {"--liquid", kEnergyLiquidSelection},
    {"--location", kEnergyLocationSelection},
    {"--service", kEnergyServiceSelection},
};
constexpr const char* kEnergyFieldOptions[kEnergyEntryCount] = {"--flow", "--supply", "--return"};
constexpr const char* kPrefixTexts[] = {"none", "Kilo", "Mega"};

std::string listOf(const char* const* names, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += std::string(i == 0 ? "\"" : ", \"") + names[i] + "\"";
  return text;
}

// A list text as the screen shows it, in any case.
bool chooseListText(const std::string& option, const std::string& text, const char* const* names,
                    int count, int& index, std::string& error) {
  for (int i = 0; i < count; ++i) {
    if (equalsNoCase(text, names[i])) {
      index = i;
      return true;
    }
  }
  error = option + " takes one of " + listOf(names, count);
  return false;
}

bool parseEnergyOptions(const std::vector<std::string>& args, EnergyChoices& choices, int& prefix,
                        std::array<std::string, kEnergyEntryCount>& fields, bool& help,
                        std::string& error) {
  for (int s = 0; s < kEnergySelectionCount; ++s) choices.index[static_cast<std::size_t>(s)] = 0;
  RepeatGuard repeats;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help") {
      help = true;
      return true;
    }
    if (arg.rfind("--", 0) == 0 && !repeats.first(arg, error)) return false;
    if (i + 1 >= args.size()) {
      error = arg.rfind("--", 0) == 0 ? arg + " needs a value" : "unexpected argument " + arg;
      return false;
    }
    const std::string& value = args[++i];
    bool known = false;
    for (int f = 0; f < kEnergyEntryCount; ++f) {
      if (arg == kEnergyFieldOptions[f]) {
        fields[static_cast<std::size_t>(f)] = value;
        known = true;
      }
    }
    for (const EnergyOption& o : kEnergySelectionOptions) {
      if (arg != o.option) continue;
      const EnergySelectionInfo& info = kEnergySelections[o.selection];
      if (!chooseListText(arg, value, info.names, info.count,
                          choices.index[static_cast<std::size_t>(o.selection)], error)) {
        return false;
      }
      known = true;
    }
    if (arg == "--prefix") {
      if (!chooseListText(arg, value, kPrefixTexts, 3, prefix, error)) return false;
      known = true;
    }
    if (!known) {
      error = "unknown option " + arg;
      return false;
    }
  }
  return true;
}

void printOptional(ResultPrinter& out, const char* key, bool shown, double value) {
  if (shown) {
    out.real(key, value);
  } else {
    std::printf("%s=\n", key);
  }
}

}  // namespace

bool parseCompositionList(const std::string& list,
                          std::array<std::optional<std::string>, kAga8CompositionEntryCount>& texts,
                          std::string& error) {
  std::size_t start = 0;
  while (start <= list.size()) {
    const std::size_t comma = std::min(list.find(',', start), list.size());
    const std::string item = list.substr(start, comma - start);
    start = comma + 1;
    const std::size_t equals = item.find('=');
    if (equals == std::string::npos) {
      error = "--comp needs name=percent items, not \"" + item + "\"";
      return false;
    }
    const std::string name = item.substr(0, equals);
    const int entry = componentEntry(name);
    if (entry < 0) {
      error = "unknown component \"" + name + "\" (one of " + componentNames() + ")";
      return false;
    }
    auto& text = texts[static_cast<std::size_t>(entry)];
    if (text) {
      error = "component " + name + " given twice";
      return false;
    }
    text = item.substr(equals + 1);
  }
  return true;
}

int runAga8(const std::vector<std::string>& args, bool quiet) {
  Aga8Request request;
  bool help = false;
  std::string error;
  if (!parseAga8Options(args, request, help, error)) return usageError(error);
  if (help) {
    std::fputs(helpText(), stdout);
    return 0;
  }

  Aga8SetupFile setup;
  if (!request.setupPath.empty()) {
    std::vector<std::uint8_t> bytes;
    SetupFileError read = readSetupFile(request.setupPath, kAga8SetupFileSize, bytes);
    if (!read.failed()) {
      if (const int code = decodeAga8SetupFile(bytes, setup); code != 0) read = setupFileCorrupt(code);
    }
    if (read.failed()) return failure(errorBoxText(read.message, read.extra, {}, read.code), quiet);
  }

  // Options first, then the set-up file, then the screen's defaults: an empty
  // composition counts 0, a missing condition is refused.
  Aga8Entries entries;
  for (int entry = 0; entry < kAga8EntryCount; ++entry) {
    if (!aga8EntryActive(entry, request.table)) continue;
    const std::size_t i = static_cast<std::size_t>(entry);
    if (const auto& text = request.texts[i]) {
      // Full precision, as scripts print their numbers; the screen's ranges follow.
      std::optional<double> value = parseReal(*text);
      if (!value) return refused(aga8BadValueMessage(entry, request.table));
      entries.values[i] = aga8IsCompositionEntry(entry) ? *value / 100.0 : *value;
    } else if (!request.setupPath.empty()) {
      entries.values[i] = setup.values[i];
    } else if (aga8IsCompositionEntry(entry)) {
      entries.values[i] = 0.0;
    } else {
      return refused(aga8InputRequiredMessage(entry, request.table));
    }
    entries.set[i] = true;
  }
  if (auto fault = checkEntries(entries, request.table)) return refused(fault->message, fault->detail);

  GasRecord gas;
  aga8FillGasRecord(entries, gas);
  if (request.table) return runTable(gas, entries, quiet);

  aga8Calculate(gas);
  ResultPrinter out;
  printGas(gas, out);
  std::fflush(stdout);
  return out.status(gas.status == kAga8Normal ? 0 : failure(aga8CalculationStatus(gas.status), quiet));
}

int runEnergy(const std::vector<std::string>& args, bool quiet) {
  (void)quiet;  // nothing here fails once the inputs pass
  EnergyChoices choices;
  int prefix = kEnergyNoPrefix;
  std::array<std::string, kEnergyEntryCount> fields;
  bool help = false;
  std::string error;
  if (!parseEnergyOptions(args, choices, prefix, fields, help, error)) return usageError(error);
  if (help) {
    std::fputs(helpText(), stdout);
    return 0;
  }
  const EnergyValidation validation = energyValidate(fields, choices, prefix);
  if (!validation.ok()) return refused(validation.message);

  EnergyEntries entries;
  entries.values = validation.values;
  entries.set.fill(true);
  const EnergyResults r = energyCalculate(entries, choices);
  // The unit column exactly as the page writes it.
  const ResultsPage page = energyResultsPage(r, choices);
  const ResultsGrid& grid = page.grids.front();
  auto unit = [&grid](int row) { return grid.text(row, 2); };

  const int volume = choices.volumeUnit();
  const double massScale =
      volume == kEnergyLitres || volume == kEnergyCubicMetres ? 1.0 / kPoundsPerKilogram : 1.0;
  const int temperatureUnit = choices.temperatureUnit();

  ResultPrinter out;
  out.real("temperature_difference", energyTemperatureToDisplay(r.supplyK, temperatureUnit) -
                                          energyTemperatureToDisplay(r.returnK, temperatureUnit));
  std::printf("temperature_difference_unit=%s\n", unit(1).c_str());
  // Per chosen volume: in3 per unit volume is the flow conversion of 1 unit/s.
  printOptional(out, "density", r.water,
                r.densityAtSensor * energyFlowFromDisplay(1.0, volume, 0) * massScale);
  std::printf("density_unit=%s\n", unit(2).c_str());
  printOptional(out, "mass_flow", r.water,
                energyFlowToDisplay(r.massFlow, kEnergyCubicInches, choices.timeUnit()) * massScale);
  std::printf("mass_flow_unit=%s\n", unit(3).c_str());
  out.real("energy_rate", energyRateToDisplay(r.energyRate, choices.rateUnit()));
  std::printf("energy_rate_unit=%s\n", unit(4).c_str());
  out.real("rtd_supply", r.supplyResistance);
  out.real("rtd_return", r.returnResistance);
  std::fflush(stdout);
  return out.status(0);
}

}  // namespace tarnlux::cli
