#include "calc/aga8_results_page.h"

#include "calc/aga8_units.h"
#include "calc/entry_text.h"

namespace tarnlux {

namespace {

ResultsCell header(std::string text) { return {std::move(text), true, ResultsAlign::Left, 1}; }
ResultsCell label(std::string text) { return {std::move(text), false, ResultsAlign::Left, 1}; }
ResultsCell number(double value) {
  return {formatResultNumber(value), false, ResultsAlign::Right, 1};
}
ResultsCell fixed4(double value, bool bold = false) {
  return {fixedNumberText(value, 4), bold, ResultsAlign::Right, 1};
}

struct Row {
  const char* label;
  ResultsCell value;
  const char* unit;
};

const char* kTemperatureAxisNames[kAga8TemperatureUnitCount] = {
    "Temperature (deg F)", "Temperature (deg C )", "Temperature (deg R )", "Temperature (deg K )"};

}  // namespace

ResultsPage aga8SinglePointPage(const GasRecord& gas, const Aga8Units& units) {
  const bool metricVelocity = units.velocity == kAga8MetresPerSecond;
  const bool metricEnthalpy = units.enthalpy == kAga8KilojoulesPerKilogram;
  const bool metricDensity = units.density == kAga8KilogramsPerCubicMetre;

  ResultsCell cstar = (gas.Cstar > 0.3 && gas.Cstar < 1.3)
                          ? number(gas.Cstar)
                          : ResultsCell{kAga8CstarUnsolved, false, ResultsAlign::Right, 1};
  const Row left[9] = {
      {"Vitesse du son:", number(aga8VelocityToDisplay(gas.speedOfSound, units.velocity)),
       metricVelocity ? "M/SEC" : "PI/SEC"},
      {"C*:", cstar, ""},
      {"Exposant isentrop:", number(gas.kappa), ""},
      {"Enthalpie spec:", number(aga8EnthalpyToDisplay(gas.H, units.enthalpy)),
       metricEnthalpy ? "kJ/kg" : "Btu/lbm"},
      {"Entropie spec:", number(aga8EntropyToDisplay(gas.S, units.enthalpy)),
       metricEnthalpy ? "kJ/kg-K" : "Btu/lbm-F"},
      {"Densite\xC2\xA0molaire:", number(gas.Df), "moles/dm3"},
      {"Masse vol:", number(aga8DensityToDisplay(gas.Rhof, units.density)),
       metricDensity ? "kg/M3" : "lb/pi3"},
      {"RD(gaz ideal):", number(gas.RDideal), ""},
      {"RD(gaz reel):", number(gas.RDreal), ""},
  };
  // Ho is the ideal-gas enthalpy: it is labelled as such, beside the ideal and
  // real heat capacities.
  const Row right[9] = {
      {"Zb:", number(gas.Zb), ""},
      {"Zf:", number(gas.Zf), ""},
      {"Fpv:", number(gas.Fpv), ""},
      {"Masse molaire:", number(gas.molarMass), ""},
      {"Pc(gaz ideal):", number(gas.Cpi * 0.001), "kJ/kg-K"},
      {"Pc(gaz reel):", number(gas.Cp * 0.001), "kJ/kg-K"},
      {"Vc(gaz reel):", number(gas.Cv * 0.001), "kJ/kg-K"},
      {"Pc/Vc:", number(gas.k), ""},
      {"Enthalpie(gaz ideal):", number(gas.Ho * 0.001), "kJ/kg"},
  };

  ResultsGrid grid;
  grid.rows.push_back({header("Champ"), header("Valeur"), header("Unites"), header("Champ"),
                       header("Valeur"), header("Unites")});
  for (int r = 0; r < 9; ++r) {
    grid.rows.push_back({label(left[r].label), left[r].value, label(left[r].unit),
                         label(right[r].label), right[r].value, label(right[r].unit)});
  }
  fitColumns(grid, 8);
  ResultsPage page;
  page.grids.push_back(std::move(grid));
  return page;
}

ResultsPage aga8TablePage(const Aga8Results& results, const Aga8Units& units) {
  const bool metricDensity = units.density == kAga8KilogramsPerCubicMetre;
  const int temperatureUnit =
      units.temperature >= 0 && units.temperature < kAga8TemperatureUnitCount ? units.temperature
                                                                              : 0;
  const int pressureUnit =
      units.pressure >= 0 && units.pressure < kAga8PressureUnitCount ? units.pressure : 0;
  const std::string pressureAxis =
      std::string("Pression (") + kAga8PressureUnitNames[pressureUnit] + ")";

  auto table = [&](const char* title, bool density) {
    ResultsGrid grid;
    std::vector<ResultsCell> titleRow{header(title)};
    titleRow.push_back({pressureAxis, true, ResultsAlign::Centre, kAga8TableSteps});
    for (int p = 1; p < kAga8TableSteps; ++p)
      titleRow.push_back({{}, false, ResultsAlign::Left, 0});
    grid.rows.push_back(std::move(titleRow));

    std::vector<ResultsCell> headerRow{header(kTemperatureAxisNames[temperatureUnit])};
    for (int p = 0; p < kAga8TableSteps; ++p) {
      const double pa = aga8TableAxisValue(results.minimumPressure, results.maximumPressure, p);
      headerRow.push_back(fixed4(aga8PressureToDisplay(pa, pressureUnit), true));
    }
    grid.rows.push_back(std::move(headerRow));

    for (int t = 0; t < kAga8TableSteps; ++t) {
      const double k =
          aga8TableAxisValue(results.minimumTemperature, results.maximumTemperature, t);
      std::vector<ResultsCell> row{fixed4(aga8TemperatureToDisplay(k, temperatureUnit), true)};
      for (int p = 0; p < kAga8TableSteps; ++p) {
        const std::size_t i = static_cast<std::size_t>(kAga8TableSteps * t + p);
        row.push_back(fixed4(density ? aga8DensityToDisplay(results.table.Rhof[i], units.density)
                                     : results.table.Zf[i]));
      }
      grid.rows.push_back(std::move(row));
    }
    fitColumns(grid, 8);
    return grid;
  };

  ResultsPage page;
  page.grids.push_back(table(metricDensity ? "Densite (kg/M3)" : "Densite (lbm/pi3)", true));
  page.grids.push_back(table("Facteur-Z", false));
  return page;
}

ResultsPage aga8ResultsPage(const Aga8Results& results, const Aga8Units& units) {
  return results.tableMode ? aga8TablePage(results, units)
                           : aga8SinglePointPage(results.gas, units);
}

}  // namespace tarnlux
