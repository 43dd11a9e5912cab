// The sizing tools' results pages, recommendation box texts and the
// repeatability graph.

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

#include "calc/entry_text.h"
#include "calc/sizing.h"

namespace tarnlux {

namespace {

constexpr const char* kLetters[] = {"A", "B", "C", "D"};
constexpr double kMicroseconds = 1e6;

std::string trimmedNumber(double value, int decimals) {
  std::string t = fixedNumberText(value, decimals);
  if (t.find('.') != std::string::npos) {
    while (!t.empty() && t.back() == '0') t.pop_back();
    if (!t.empty() && t.back() == '.') t.pop_back();
  }
  if (t == "-0") t = "0";
  return t;
}

ResultsCell label(std::string text) { return {std::move(text), false, ResultsAlign::Left, 1}; }
ResultsCell value(std::string text) { return {std::move(text), false, ResultsAlign::Right, 1}; }
ResultsCell header(std::string text) { return {std::move(text), true, ResultsAlign::Centre, 1}; }
// A text over the three value columns.
std::vector<ResultsCell> wideRow(std::string name, std::string text) {
  return {label(std::move(name)), ResultsCell{std::move(text), false, ResultsAlign::Left, 3},
          ResultsCell{"", false, ResultsAlign::Left, 0},
          ResultsCell{"", false, ResultsAlign::Left, 0}};
}

const SensorType& typeOf(const SizingResults& r) {
  const auto types = sensorTypes(r.mode);
  return types[static_cast<std::size_t>(
      std::clamp<int>(r.type, 0, static_cast<int>(types.size()) - 1))];
}

const SensorSize& sizeOf(const SizingResults& r) {
  const auto sizes = sensorSizes(r.mode, typeOf(r).family);
  return sizes[static_cast<std::size_t>(
      std::clamp<int>(r.size, 0, static_cast<int>(sizes.size()) - 1))];
}

std::string velocityText(const SizingResults& r, double inchesPerSecond, int decimals) {
  return fixedNumberText(
      sizingToDisplay(r.mode, SizingQuantity::Velocity, inchesPerSecond, r.choices), decimals);
}

std::string velocityUnit(const SizingResults& r) {
  return sizingUnitText(r.mode, SizingQuantity::Velocity, r.choices);
}

std::string lengthUnit(const SizingResults& r) {
  return sizingUnitText(r.mode, SizingQuantity::Length, r.choices);
}

// The recommended sensor and mount in braces, the track position for the 648.
std::string sensorCell(const SizingResults& r) {
  const std::string mount = sizingMounts(r.mode)[static_cast<std::size_t>(r.mount)];
  const std::string sensor = std::string(typeOf(r).name) + " " + sizeOf(r).name;
  char buffer[160];
  if (typeOf(r).family == SensorFamily::Universal648) {
    std::snprintf(buffer, sizeof buffer, " {%s %d}          %s ", sensor.c_str(), r.indexNumber,
                  mount.c_str());
  } else {
    std::snprintf(buffer, sizeof buffer, " {%s}          %s ", sensor.c_str(), mount.c_str());
  }
  return buffer;
}

std::vector<ResultsCell> spacingRow(const SizingResults& r) {
  const double ltn = sizingToDisplay(r.mode, SizingQuantity::Length, r.spacingLength, r.choices);
  return {label(sensorCell(r)), label("LTN:"), value(fixedNumberText(ltn, 3)),
          label(lengthUnit(r))};
}

void installationRows(const SizingResults& r, ResultsGrid& grid) {
  const SizingPoint& lo = r.points[0];
  const SizingPoint& hi = r.points[1];
  grid.rows.push_back({label("Cycl. dT:"), value(fixedNumberText(lo.cyclesDt, 2)),
                       value(fixedNumberText(hi.cyclesDt, 2)), label("cycles")});
  auto reynolds = [](double re) {
    return std::to_string(
        static_cast<unsigned>(std::clamp(re, 0.0, static_cast<double>(UINT_MAX))));
  };
  grid.rows.push_back(
      {label("#Reynolds:"), value(reynolds(lo.reynolds)), value(reynolds(hi.reynolds)), label("")});
  grid.rows.push_back({label("Vitesse flux:"), value(velocityText(r, lo.velocity, 2)),
                       value(velocityText(r, hi.velocity, 2)), label(velocityUnit(r))});
  grid.rows.push_back(spacingRow(r));
  const std::string flowUnit = sizingFlowUnitText(r.mode, r.choices);
  grid.rows.push_back(
      wideRow("Repetab. estimee:", " " + fixedNumberText(r.flowRepeatability, 4) + " " + flowUnit));
  grid.rows.push_back(wideRow("Limites plage de Vs:", " " + velocityText(r, r.soundSpeedLow, 0) +
                                                          " " + velocityUnit(r) + " " +
                                                          velocityText(r, r.soundSpeedHigh, 0) +
                                                          " " + velocityUnit(r)));
  grid.rows.push_back(
      wideRow("TN:", " " + fixedNumberText(r.transitTimeFluid * kMicroseconds, 2) + " us"));
  grid.rows.push_back(
      wideRow("TL:", " " + fixedNumberText(r.transitTimeTotal * kMicroseconds, 2) + " us"));
  grid.rows.push_back(
      wideRow("1 cy. Vs:", " " + velocityText(r, r.oneCycleSoundSpeed, 1) + " " + velocityUnit(r)));
  grid.rows.push_back(
      wideRow("VFmax:", " " + velocityText(r, r.maximumVelocity, 3) + " " + velocityUnit(r)));
}

// Columns fitted to the single cells, then the last one widened until every
// text over the three value columns fits too.
void fitSizingColumns(ResultsGrid& grid) {
  fitColumns(grid, 10);
  if (grid.columnWidths.size() < 4) return;
  for (const auto& row : grid.rows) {
    if (row.size() < 2 || row[1].span != 3) continue;
    const int have = grid.columnWidths[1] + grid.columnWidths[2] + grid.columnWidths[3];
    const int need = static_cast<int>(row[1].text.size()) + 2;
    if (need > have) grid.columnWidths[3] += need - have;
  }
}

std::vector<ResultsCell> headerRow() {
  return {header(""), header("Debit min"), header("Debit max"), header("Unites")};
}

ResultsPage gasProcessPage(const SizingResults& r) {
  ResultsGrid grid;
  grid.rows.push_back(headerRow());
  const SizingPoint& lo = r.points[0];
  const SizingPoint& hi = r.points[1];
  grid.rows.push_back({label("Fact. Z(env.):"), value(fixedNumberText(lo.Zf, 4)),
                       value(fixedNumberText(hi.Zf, 4)), label("")});
  const int densityUnit = r.choices.safe(r.mode, kSizingDensityUnit);
  auto density = [&](double relative) {
    return fixedNumberText(sizingToDisplay(r.mode, SizingQuantity::Density, relative, r.choices),
                           4);
  };
  grid.rows.push_back(
      {label("Densite:"), value(density(lo.baseRelativeDensity)),
       value(density(hi.baseRelativeDensity)),
       label(densityUnit == 0 ? "" : sizingUnitText(r.mode, SizingQuantity::Density, r.choices))});
  grid.rows.push_back({label("Vs approx.:"), value(velocityText(r, lo.soundSpeed, 0)),
                       value(velocityText(r, hi.soundSpeed, 0)), label(velocityUnit(r))});
  grid.rows.push_back({label("comp vol. std:"), value(fixedNumberText(lo.standardVolumeFactor, 2)),
                       value(fixedNumberText(hi.standardVolumeFactor, 2)), label("")});
  grid.rows.push_back({label("Vitesse flux:"), value(velocityText(r, lo.velocity, 2)),
                       value(velocityText(r, hi.velocity, 2)), label(velocityUnit(r))});
  grid.rows.push_back({label("Visc. approx.:"), value(fixedNumberText(lo.kinematicViscosity, 1)),
                       value(fixedNumberText(hi.kinematicViscosity, 1)), label("centistokes")});
  fitSizingColumns(grid);
  ResultsPage page;
  page.grids.push_back(std::move(grid));
  return page;
}

ResultsPage gasInstallationPage(const SizingResults& r) {
  ResultsGrid grid;
  grid.rows.push_back(headerRow());
  const std::string pressureUnit = sizingUnitText(r.mode, SizingQuantity::Pressure, r.choices);
  std::string clamp;
  if (r.clampMinimumPressure > 0.0) {
    clamp = " " +
            fixedNumberText(sizingToDisplay(r.mode, SizingQuantity::Pressure,
                                            r.clampMinimumPressure, r.choices),
                            0) +
            " " + pressureUnit;
  }
  grid.rows.push_back(wideRow("Pression de serv. min.:", clamp));
  const std::string flowUnit = sizingFlowUnitText(r.mode, r.choices);
  grid.rows.push_back(
      wideRow("Limites du debit:", " " + fixedNumberText(r.flowLimitLow, 2) + " " + flowUnit + " " +
                                       fixedNumberText(r.flowLimitHigh, 2) + " " + flowUnit));
  const double thickness =
      sizingToDisplay(r.mode, SizingQuantity::Length, r.dampingThickness, r.choices);
  grid.rows.push_back({label("Materiau amortissant:"),
                       label(r.dampingLayers > 0 ? "Feuille amortissante" : "Aucun"),
                       label("Couches " + std::to_string(r.dampingLayers)),
                       label(fixedNumberText(thickness, 2) + " " + lengthUnit(r))});
  installationRows(r, grid);
  fitSizingColumns(grid);
  ResultsPage page;
  page.grids.push_back(std::move(grid));
  return page;
}

ResultsPage liquidApplicationPage(const SizingResults& r) {
  ResultsGrid grid;
  grid.rows.push_back(headerRow());
  installationRows(r, grid);
  fitSizingColumns(grid);
  ResultsPage page;
  page.grids.push_back(std::move(grid));
  return page;
}

ResultsPage problemsPage(const SizingResults& r) {
  ResultsGrid grid;
  grid.rows.push_back({ResultsCell{kSizingProblemsTab, true, ResultsAlign::Left, 1}});
  for (int p = 0; p < kSizingProblemCount; ++p) {
    if (!r.problems[static_cast<std::size_t>(p)]) continue;
    grid.rows.push_back(
        {label(sizingProblemText(r.mode, p, r.choices.safe(r.mode, kSizingLengthUnit)))});
  }
  fitColumns(grid, 10);
  ResultsPage page;
  page.grids.push_back(std::move(grid));
  return page;
}

}  // namespace

std::string sizingProblemText(SizingMode mode, int problem, int lengthUnit) {
  static constexpr const char* kTexts[kSizingProblemCount] = {
      "Diametre de conduite maximal depasse   [Selectionner une taille de capteur superieure]",
      "Diametre de conduite minimal depasse   [Selectionner une taille de capteur inferieure]",
      "Diametre de conduite trop petit pour le capteur selectionne",
      "Le debit depasse la limite de l'installation",
      "Limite de precision au debit minimum",
      "Temperature superieure aux limites du capteur",
      "Temperature inferieure aux limites du capteur",
      "Mauvaise adaptation du capteur a la paroi de la conduite   [Contacter l'usine]",
      "Mauvais rapport diametre/epaisseur de paroi   [Contacter l'usine]",
      "Epaisseur de la paroi excessive   [Contacter l'usine]",
      "",
      "La pression peut etre trop basse pour la fixation par serrage   [Contacter l'usine]",
      "% molaire de dioxyde de carbone trop eleve",
      "% molaire de H2S trop eleve",
      "Exploitation dans ou pres de la zone de transition de Reynolds",
  };
  if (problem < 0 || problem >= kSizingProblemCount) return {};
  if (problem != kProblemSmallPipe) return kTexts[problem];
  const bool mm = lengthUnit == kSizingMillimetres;
  if (mode == SizingMode::Gas) {
    return mm ? "Le diametre de conduite doit etre superieur a 25,4 mm [Contacter l'usine]"
              : "Le diametre de conduite doit etre superieur a 1 pouce   [Contacter l'usine]";
  }
  return mm ? "Le diametre de conduite doit etre superieur a 6,35 mm [Contacter l'usine]"
            : "Le diametre de conduite doit etre superieur a 0,25 pouce   [Contacter l'usine]";
}

std::array<const char*, 2> sizingTabNames(SizingMode mode) {
  if (mode == SizingMode::Gas) return {"Gaz/Calc. de processus", "Calc. d'installation"};
  return {"Calc. d'application", "Graphique de reproductibilite"};
}

ResultsPage sizingResultsPage(const SizingResults& r, int page) {
  if (!r.valid) return {};
  if (page == 3) return problemsPage(r);
  if (r.mode == SizingMode::Gas) return page == 2 ? gasInstallationPage(r) : gasProcessPage(r);
  return page == 2 ? ResultsPage{} : liquidApplicationPage(r);
}

std::vector<std::string> sizingTypeTexts(const SizingResults& r) {
  std::vector<std::string> texts;
  const auto types = sensorTypes(r.mode);
  for (std::size_t t = 0; t < types.size(); ++t) {
    const bool suitable = t < r.suitable.size() && r.suitable[t];
    texts.push_back(suitable ? std::string(types[t].name) + " " + kSizingRecommended
                             : std::string(types[t].name));
  }
  return texts;
}

std::string sizingTypeLabel(const SizingResults& r) {
  if (r.recommendedType < 0) return kSizingContactFactory;
  return sensorTypes(r.mode)[static_cast<std::size_t>(r.recommendedType)].name;
}

std::string sizingSizeName(const SizingResults& r, int familyIndex) {
  const auto sizes = sensorSizes(r.mode, typeOf(r).family);
  if (familyIndex < 0 || familyIndex >= static_cast<int>(sizes.size())) return {};
  return sizes[static_cast<std::size_t>(familyIndex)].name;
}

int sizingSpacingCount(const SizingResults&) { return 4; }

std::string sizingSpacingText(const SizingResults& r, int spacing) {
  if (spacing < 0 || spacing >= 4) return {};
  if (typeOf(r).family == SensorFamily::Universal648) return kLetters[spacing];
  return std::to_string(spacing);
}

double sizingTickStep(double span) {
  if (!(span > 0.0) || !std::isfinite(span)) return 1.0;
  const double power = std::pow(10.0, std::floor(std::log10(span)));
  const double ratio = span / power;
  if (ratio < 2.1) return 0.2 * power;
  if (ratio < 5.1) return 0.5 * power;
  if (ratio < 10.1) return power;
  return 2.0 * power;
}

SizingGraph sizingRepeatabilityGraph(const SizingResults& r) {
  SizingGraph graph;
  graph.title = "Repetabilite vs. debit";
  graph.flowAxisLabel = "Debit(" + sizingFlowUnitText(r.mode, r.choices) + ")";
  if (!r.valid) return graph;
  graph.transitionStartFlow = 1700.0 * r.reynoldsOneFlow;
  graph.transitionEndFlow = 5000.0 * r.reynoldsOneFlow;
  const double flows[] = {r.points[0].flow, r.points[1].flow, graph.transitionStartFlow,
                          graph.transitionEndFlow};
  graph.flowFrom = *std::min_element(std::begin(flows), std::end(flows));
  graph.flowTo = *std::max_element(std::begin(flows), std::end(flows));
  if (!(graph.flowTo > graph.flowFrom)) {
    graph.flowFrom -= 0.5;
    graph.flowTo += 0.5;
  }
  graph.tickStep = sizingTickStep(graph.flowTo - graph.flowFrom);
  std::vector<double> ticks;
  for (double t = std::ceil(graph.flowFrom / graph.tickStep) * graph.tickStep;
       t <= graph.flowTo + graph.tickStep * 1e-9 && ticks.size() < 1000; t += graph.tickStep) {
    ticks.push_back(t);
  }
  const std::size_t every = ticks.size() > 11 ? (ticks.size() + 10) / 11 : 1;
  for (std::size_t i = 0; i < ticks.size(); i += every) {
    graph.flowTicks.push_back(ticks[i]);
    graph.flowLabels.push_back(trimmedNumber(ticks[i], 3));
  }

  // The curve: the flow's velocity through the minimum point's conversion.
  const double perFlow = r.points[0].flow > 0.0   ? r.points[0].velocity / r.points[0].flow
                         : r.points[1].flow > 0.0 ? r.points[1].velocity / r.points[1].flow
                                                  : 0.0;
  const double reynoldsPerVelocity =
      r.points[0].velocity > 0.0   ? r.points[0].reynolds / r.points[0].velocity
      : r.points[1].velocity > 0.0 ? r.points[1].reynolds / r.points[1].velocity
                                   : 0.0;
  double largest = 0.0;
  constexpr int kSamples = 200;
  for (int i = 0; i <= kSamples; ++i) {
    const double flow = graph.flowFrom + (graph.flowTo - graph.flowFrom) * i / kSamples;
    if (!(flow > 0.0)) continue;
    const double velocity = flow * perFlow;
    const double percent = sizingRepeatabilityPercent(r, velocity, velocity * reynoldsPerVelocity);
    graph.curve.emplace_back(flow, percent);
    largest = std::max(largest, percent);
  }
  graph.percentMax = std::min(
      100.0,
      largest > 0.0 ? sizingTickStep(largest) * std::ceil(largest / sizingTickStep(largest)) : 1.0);
  graph.transitionText = "Dem. transition RN = " + trimmedNumber(graph.transitionStartFlow, 3);
  return graph;
}

}  // namespace tarnlux
