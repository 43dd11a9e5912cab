#pragma once

// The published AGA8 test gases and reference points, read from the shared
// data folder so the tests use exactly the numbers the data files hold.

#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "calc/aga8.h"
#include "test_paths.h"

namespace tarnlux::test {

inline std::string aga8DataFile(const std::string& name) {
  return test::sharedDataDir() + "/aga8/" + name;
}

// Rows of a comma-separated file with a header line; quoted fields may hold commas.
inline std::vector<std::map<std::string, std::string>> readCsv(const std::string& path) {
  std::vector<std::map<std::string, std::string>> rows;
  std::ifstream in(path);
  std::vector<std::string> header;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (char c : line) {
      if (c == '"') {
        quoted = !quoted;
      } else if (c == ',' && !quoted) {
        fields.emplace_back();
      } else {
        fields.back() += c;
      }
    }
    if (header.empty()) {
      header = fields;
      continue;
    }
    std::map<std::string, std::string> row;
    for (std::size_t i = 0; i < header.size() && i < fields.size(); ++i) row[header[i]] = fields[i];
    rows.push_back(row);
  }
  return rows;
}

inline std::optional<double> numberField(const std::map<std::string, std::string>& row,
                                         const std::string& key) {
  const auto it = row.find(key);
  if (it == row.end() || it->second.empty()) return std::nullopt;
  return std::strtod(it->second.c_str(), nullptr);
}

// Column names of test_gases.csv, in the record's component order.
inline const char* const kAga8GasColumns[kAga8ComponentCount] = {
    "methane",   "nitrogen",          "carbon dioxide", "ethane",          "propane",
    "water",     "hydrogen sulphide", "hydrogen",       "carbon monoxide", "oxygen",
    "i-butane",  "n-butane",          "i-pentane",      "n-pentane",       "n-hexane",
    "n-heptane", "n-octane",          "n-nonane",       "n-decane",        "helium",
    "argon"};

struct Aga8TestGas {
  std::string name;
  std::array<double, kAga8ComponentCount> mixture{};
  double molarMass = 0;
};

inline std::map<std::string, Aga8TestGas> aga8TestGases() {
  std::map<std::string, Aga8TestGas> gases;
  for (const auto& row : readCsv(aga8DataFile("test_gases.csv"))) {
    Aga8TestGas gas;
    gas.name = row.at("gas");
    for (int i = 0; i < kAga8ComponentCount; ++i)
      gas.mixture[i] = numberField(row, kAga8GasColumns[i]).value();
    gas.molarMass = numberField(row, "molar_mass_g_per_mol").value();
    gases[gas.name] = gas;
  }
  return gases;
}

// A record of the gas at the given flowing conditions, base 101.325 kPa and 15 C.
inline GasRecord aga8Record(const Aga8TestGas& gas, double temperatureK, double pressurePa) {
  GasRecord record;
  record.mixture = gas.mixture;
  record.Pb = 101325.0;
  record.Tb = 288.15;
  record.Tf = temperatureK;
  record.Pf = pressurePa;
  return record;
}

}  // namespace tarnlux::test
