// tarnlux-cli aga8 and energy: the keys, table form and exit statuses that
// scripts rely on, and that the numbers are the calculators' own.

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "calc/aga8.h"
#include "calc/aga8_screen_rules.h"
#include "calc/aga8_setup_file.h"
#include "calc/setup_file_io.h"
#include "cli_process.h"
#include "test_context.h"
#include "test_paths.h"

namespace tarnlux {
namespace {

using test::CliRun;
using test::runCli;

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) result.push_back(line);
  return result;
}

// key=value lines in order of appearance.
std::vector<std::pair<std::string, std::string>> keyValues(const std::string& text) {
  std::vector<std::pair<std::string, std::string>> result;
  for (const std::string& line : lines(text)) {
    const std::size_t equals = line.find('=');
    result.emplace_back(line.substr(0, equals), equals == std::string::npos ? "" : line.substr(equals + 1));
  }
  return result;
}

std::map<std::string, std::string> keyMap(const std::string& text) {
  std::map<std::string, std::string> result;
  for (auto& [key, value] : keyValues(text)) result[key] = value;
  return result;
}

double number(const std::map<std::string, std::string>& values, const std::string& key) {
  const auto it = values.find(key);
  EXPECT_NE(it, values.end()) << key;
  return it == values.end() ? NAN : std::stod(it->second);
}

std::string printed(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.17g", value);
  return buffer;
}

using CsvRow = std::map<std::string, std::string>;

std::vector<CsvRow> readCsv(const std::string& path) {
  std::vector<CsvRow> rows;
  std::ifstream in(path);
  std::string line;
  std::vector<std::string> header;
  auto split = [](const std::string& text) {
    std::vector<std::string> fields;
    std::stringstream s(text);
    for (std::string field; std::getline(s, field, ',');) fields.push_back(field);
    if (!text.empty() && text.back() == ',') fields.emplace_back();
    return fields;
  };
  if (std::getline(in, line)) header = split(line);
  while (std::getline(in, line)) {
    const auto fields = split(line);
    CsvRow row;
    for (std::size_t i = 0; i < header.size() && i < fields.size(); ++i) row[header[i]] = fields[i];
    rows.push_back(row);
  }
  return rows;
}

std::string aga8Data(const std::string& name) {
  return test::sharedDataDir() + "/aga8/" + name;
}

// The data folder names components in words; the command line by the screen's keys.
std::string cliComponentName(std::string name) {
  static const std::map<std::string, std::string> kByKey = {{"carbon dioxide", "co2"},
                                                            {"hydrogen sulphide", "h2s"},
                                                            {"carbon monoxide", "co"},
                                                            {"oxygen", "o2"}};
  if (const auto it = kByKey.find(name); it != kByKey.end()) return it->second;
  std::erase(name, '-');
  return name;
}

// --comp for a test gas, every component listed (zeros included).
std::string compositionOption(const CsvRow& gas) {
  std::string list;
  for (const auto& [column, value] : gas) {
    if (column == "gas" || column == "molar_mass_g_per_mol") continue;
    if (!list.empty()) list += ",";
    list += cliComponentName(column) + "=" + printed(std::stod(value) * 100.0);
  }
  return list;
}

CsvRow testGas(const std::string& name) {
  for (const CsvRow& row : readCsv(aga8Data("test_gases.csv"))) {
    if (row.at("gas") == name) return row;
  }
  ADD_FAILURE() << "no test gas " << name;
  return {};
}

const std::vector<std::string> kBase = {"--base-pressure", "101325", "--base-temperature", "288.15"};

std::vector<std::string> aga8Args(const std::string& comp, double pressurePa, double temperatureK) {
  std::vector<std::string> args = {"aga8", "--comp", comp, "--pressure", printed(pressurePa),
                                   "--temperature", printed(temperatureK)};
  args.insert(args.end(), kBase.begin(), kBase.end());
  return args;
}

double halfLastDigit(double value, int digits) {
  const int exponent = static_cast<int>(std::floor(std::log10(std::fabs(value))));
  return 0.5 * std::pow(10.0, exponent - digits + 1);
}

}  // namespace

// A 21-component reference gas, so every component name reaches its own slot,
// and the full key list in its fixed order.
TEST(Aga8Cli, ReferenceGasToPublishedDigits) {
  CsvRow ref;
  for (const CsvRow& row : readCsv(aga8Data("refs_public.csv"))) {
    if (row.at("id") == "computed_aga10_nist_mix_300K_10000kPa") ref = row;
  }
  ASSERT_FALSE(ref.empty());
  const int digits = std::stoi(ref.at("sig_digits"));
  const CliRun run = runCli(aga8Args(compositionOption(testGas(ref.at("gas"))),
                                     std::stod(ref.at("P_kPa")) * 1000.0, std::stod(ref.at("T_K"))));
  ASSERT_EQ(run.status, 0) << run.err;

  std::vector<std::string> keys;
  for (const auto& [key, value] : keyValues(run.out)) keys.push_back(key);
  const std::vector<std::string> expected = {
      "status", "zb", "zf",  "fpv", "db", "df", "rhob", "rhof",  "rd_ideal",    "rd_real", "molar_mass",
      "ho",     "h",  "s",   "cpi", "cp", "cv", "k",    "kappa", "sound_speed", "cstar"};
  EXPECT_EQ(keys, expected);

  const auto values = keyMap(run.out);
  EXPECT_EQ(values.at("status"), "9000");
  const double z = std::stod(ref.at("Z"));
  const double w = std::stod(ref.at("W_m_per_s"));
  EXPECT_NEAR(number(values, "zf"), z, halfLastDigit(z, digits));
  EXPECT_NEAR(number(values, "sound_speed"), w, halfLastDigit(w, digits));
}

// The set-up file as the screen saves it: helium-first entry order, Pa and K.
// Options given beside it replace its conditions.
TEST(Aga8Cli, SetupFileMatchesTheCore) {
  const CsvRow gulf = testGas("gulf_coast");
  Aga8Entries entries;
  for (int entry = 0; entry < kAga8CompositionEntryCount; ++entry) {
    std::string key = aga8EntryKey(entry);
    key = key.substr(0, key.find("_PERCENTAGE"));
    for (const auto& [column, value] : gulf) {
      std::string name = cliComponentName(column);
      for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      if (name == key) entries.values[static_cast<std::size_t>(entry)] = std::stod(value);
    }
  }
  entries.values[kAga8BasePressureEntry] = 101560.0;
  entries.values[kAga8PressureEntry] = 6.0e6;
  entries.values[kAga8MaxPressureEntry] = 9.0e6;
  entries.values[kAga8BaseTemperatureEntry] = 288.7;
  entries.values[kAga8TemperatureEntry] = 273.15;
  entries.values[kAga8MaxTemperatureEntry] = 320.0;

  Aga8SetupFile setup;
  setup.values = entries.values;
  setup.units = Aga8Units{0, 0, 0, 0, 0};
  test::TempDir dir;
  const std::string path = dir.file("gulf.cpf");
  ASSERT_FALSE(writeSetupFile(path, encodeAga8SetupFile(setup)).failed());

  auto expected = [&entries](double pressure) {
    Aga8Entries e = entries;
    e.values[kAga8PressureEntry] = pressure;
    GasRecord gas;
    aga8FillGasRecord(e, gas);
    Aga8Calculator().calculate(gas);
    return gas;
  };

  const GasRecord plain = expected(6.0e6);
  const auto fromFile = keyMap(runCli({"aga8", "--setup", path}).out);
  EXPECT_EQ(fromFile.at("zf"), printed(plain.Zf));
  EXPECT_EQ(fromFile.at("zb"), printed(plain.Zb));
  EXPECT_EQ(fromFile.at("sound_speed"), printed(plain.speedOfSound));

  const GasRecord overridden = expected(4.0e6);
  const CliRun run = runCli({"aga8", "--setup", path, "--pressure", "4e6"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(keyMap(run.out).at("zf"), printed(overridden.Zf));

  const std::string corrupt = dir.file("short.cpf");
  test::writeWholeFile(corrupt, "abc");
  const CliRun bad = runCli({"aga8", "--setup", corrupt});
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.err.find("Fichier incorrect ou corrompu - Code d'erreur: 1"), std::string::npos);
}

// 100 points, temperature outer, both axes ending on the maxima exactly; a
// grid point agrees with the single-point run at its conditions.
TEST(Aga8Cli, TableGrid) {
  std::vector<std::string> args = aga8Args("methane=100", 1.0e6, 250.0);
  args.insert(args.end(), {"--table", "--max-pressure", "1e7", "--max-temperature", "340"});
  const CliRun run = runCli(args);
  ASSERT_EQ(run.status, 0) << run.err;
  const auto rows = lines(run.out);
  ASSERT_EQ(rows.size(), 101u);
  EXPECT_EQ(rows[0], "pressure,temperature,zf,rhof");
  EXPECT_EQ(rows[1].rfind("1000000,250,", 0), 0u) << rows[1];
  EXPECT_EQ(rows[2].rfind("2000000,250,", 0), 0u) << rows[2];
  EXPECT_EQ(rows[11].rfind("1000000,260,", 0), 0u) << rows[11];
  EXPECT_EQ(rows[100].rfind("10000000,340,", 0), 0u) << rows[100];

  // Row 57: temperature step 5 (300 K), pressure step 6 (7 MPa).
  std::vector<std::string> cells;
  std::stringstream s(rows[57]);
  for (std::string cell; std::getline(s, cell, ',');) cells.push_back(cell);
  ASSERT_EQ(cells.size(), 4u);
  EXPECT_EQ(cells[0], "7000000");
  EXPECT_EQ(cells[1], "300");
  const auto point = keyMap(runCli(aga8Args("methane=100", 7.0e6, 300.0)).out);
  EXPECT_NEAR(std::stod(cells[2]), number(point, "zf"), 1e-13);
  EXPECT_NEAR(std::stod(cells[3]), number(point, "rhof"), 1e-11);
}

// Dense methane at 0 C and 20 MPa, whose throat lies below the coldest
// temperature the first throat search may try: every result, C* within 1e-4
// of the independent evaluation (0.9146289).
TEST(Aga8Cli, DenseGasGivesEveryResult) {
  const CliRun run = runCli(aga8Args("methane=100", 2.0e7, 273.15));
  ASSERT_EQ(run.status, 0) << run.err;
  const auto values = keyMap(run.out);
  EXPECT_EQ(values.at("status"), "9000");
  EXPECT_NEAR(number(values, "zf"), 0.756639137, 1e-9);
  EXPECT_NEAR(number(values, "cstar"), 0.9146289, 1e-4 * 0.9146289);
}

// Usage errors and what the screen refuses: status 2, nothing on stdout.
TEST(Aga8Cli, RefusedInputs) {
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  auto with = [](std::vector<std::string> args, std::initializer_list<std::string> more) {
    args.insert(args.end(), more);
    return args;
  };
  const std::vector<Case> cases = {
      {aga8Args("methane=99,butane=1", 1e6, 300), "unknown component \"butane\""},
      {aga8Args("methane=50,methane=50", 1e6, 300), "given twice"},
      {aga8Args("methane=99", 1e6, 300), "Le total de composition du gaz doit etre 100%, +/- .01%"},
      {aga8Args("methane=101,ethane=-1", 1e6, 300), "Valeur incorrecte pour pourcentage ethane"},
      {aga8Args("methane=abc", 1e6, 300), "Valeur incorrecte pour pourcentage methane"},
      {aga8Args("methane=100", 1.38e8, 300), " Pression hors limites"},
      {aga8Args("methane=100", 1e6, 500), " Temperature hors limites"},
      {{"aga8", "--comp", "methane=100", "--temperature", "300", "--base-pressure", "101325",
        "--base-temperature", "288.15"},
       "Saisie requise pour pression"},
      {with(aga8Args("methane=100", 1e6, 300), {"--table", "--max-pressure", "2e6"}),
       "Saisie requise pour temperature maximum"},
      {with(aga8Args("methane=100", 1e6, 300), {"--max-pressure", "2e6"}), "apply to --table"},
      {with(aga8Args("methane=100", 1e6, 300), {"--setup", "x.cpf"}), "exclude each other"},
      {with(aga8Args("methane=100", 1e6, 300), {"--bogus", "1"}), "unknown option --bogus"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    const CliRun run = runCli(c.args);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
  }
}

namespace {

std::vector<std::string> energyExample(const std::string& service, const std::string& liquid = "Eau") {
  return {"energy",    "--flow",    "100",     "--prefix", "none",   "--volume",  "Gallons",
          "--time",    "MIN",       "--temperature-unit", "deg F", "--supply", "180",
          "--return",  "160",       "--liquid", liquid,    "--location", "Retour", "--service",
          service,     "--rate-unit", "BTU / h"};
}

}  // namespace

// 100 gal/min of water, 180 F out and 160 F back, sensor on the return.
TEST(EnergyCli, WaterExampleAndItsVariants) {
  const CliRun heating = runCli(energyExample("Chauffage"));
  ASSERT_EQ(heating.status, 0) << heating.err;
  const auto h = keyMap(heating.out);
  EXPECT_NEAR(number(h, "energy_rate"), 978062.0, 1.0);
  EXPECT_EQ(h.at("energy_rate_unit"), "BTU / h");
  EXPECT_DOUBLE_EQ(number(h, "temperature_difference"), 20.0);
  EXPECT_EQ(h.at("density_unit"), "lbs/gal");
  // Mass flow is the sensor's density times the flow.
  EXPECT_NEAR(number(h, "mass_flow"), number(h, "density") * 100.0, 1e-9);
  // Pt1000 at 180 F (82.2 C) and 160 F (71.1 C).
  EXPECT_NEAR(number(h, "rtd_supply"), 1317.4, 0.05);
  EXPECT_NEAR(number(h, "rtd_return"), 1275.0, 0.05);

  const auto cooling = keyMap(runCli(energyExample("Refroidissement")).out);
  EXPECT_DOUBLE_EQ(number(cooling, "energy_rate"), -number(h, "energy_rate"));

  // A glycol shows no density figures: the keys stay, empty.
  const CliRun glycol = runCli(energyExample("Chauffage", "30 % d'ethylene glycol"));
  ASSERT_EQ(glycol.status, 0) << glycol.err;
  const auto g = keyMap(glycol.out);
  EXPECT_EQ(g.at("density"), "");
  EXPECT_EQ(g.at("mass_flow"), "");
  EXPECT_EQ(g.at("density_unit"), "");
  EXPECT_GT(number(g, "energy_rate"), 0.0);

  // "Kilo" multiplies the flow field.
  std::vector<std::string> kilo = energyExample("Chauffage");
  kilo[2] = "0.1";
  kilo[4] = "Kilo";
  EXPECT_NEAR(number(keyMap(runCli(kilo).out), "energy_rate"), number(h, "energy_rate"), 1e-6);
}

TEST(EnergyCli, RefusedInputs) {
  auto replaced = [](const std::string& option, const std::string& value) {
    std::vector<std::string> args = energyExample("Chauffage");
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
      if (args[i] == option) args[i + 1] = value;
    }
    return args;
  };
  std::vector<std::string> noFlow = energyExample("Chauffage");
  noFlow.erase(noFlow.begin() + 1, noFlow.begin() + 3);
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {replaced("--liquid", "Water"), "--liquid takes one of"},
      {replaced("--volume", "barrels"), "--volume takes one of"},
      {replaced("--prefix", "giga"), "--prefix takes one of \"none\", \"Kilo\", \"Mega\""},
      {replaced("--flow", "1e999"), "Nombre invalide"},
      {replaced("--supply", "-201"), "Temperature en-dehors de la plage"},
      {replaced("--return", "x"), "Nombre invalide pour la temperature retour"},
      {noFlow, "Entree requise pour le debit"},
  };
  for (const auto& [args, message] : cases) {
    SCOPED_TRACE(message);
    const CliRun run = runCli(args);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
  }
}

}  // namespace tarnlux
