#include "calc/sizing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <map>

#include "calc/aga8_screen_rules.h"
#include "calc/sizing_settings.h"
#include "common/profile_file.h"
#include "test_context.h"

using namespace tarnlux;
using tarnlux::test::TempDir;

namespace {

constexpr double kInPerM = 1.0 / 0.0254;
double kelvinFromF(double f) { return (f + 459.67) / 1.8; }

// Inches, deg F, PSIG, feet per second, "Pieds cube std" per day (gas) or
// gallons per minute (liquid); the fluid left at its default.
SizingChoices usChoices(SizingMode mode) {
  SizingChoices c;
  c.index = {kSizingInches,
             kSizingFahrenheit,
             mode == SizingMode::Gas ? 3 : -1,
             kSizingFeetPerSecond,
             0,
             0,
             mode == SizingMode::Gas ? 3 : 1,
             0,
             0,
             sizingDefaultFluid(mode)};
  return c;
}

// Field texts by key, over the fluid's figures.
std::vector<std::string> fields(SizingMode mode, const SizingChoices& choices,
                                const std::map<std::string, std::string>& typed) {
  SizingEntries entries(mode);
  sizingFillFluid(mode, choices.safe(mode, kSizingFluid), entries);
  std::vector<std::string> texts(static_cast<std::size_t>(sizingEntryCount(mode)));
  for (int e = 0; e < sizingEntryCount(mode); ++e) {
    const auto i = static_cast<std::size_t>(e);
    if (entries.set[i]) texts[i] = sizingDisplayText(mode, e, entries.values[i], choices);
    const auto found = typed.find(sizingEntryInfo(mode, e).key);
    if (found != typed.end()) texts[i] = found->second;
  }
  return texts;
}

std::map<std::string, std::string> gasLine(const std::string& od = "12.75",
                                           const std::string& wall = "0.375") {
  return {{"OUTSIDE_DIAMETER", od},        {"WALL_THICKNESS", wall},
          {"MINIMUM_FLOWRATE", "5000000"}, {"MAXIMUM_FLOWRATE", "50000000"},
          {"MINIMUM_TEMPERATURE", "60"},   {"MAXIMUM_TEMPERATURE", "80"},
          {"MINIMUM_PRESSURE", "1000"},    {"MAXIMUM_PRESSURE", "1000"}};
}

std::map<std::string, std::string> waterLine(const std::string& od = "2.375",
                                             const std::string& wall = "0.154") {
  return {{"OUTSIDE_DIAMETER", od},   {"WALL_THICKNESS", wall},      {"MINIMUM_FLOWRATE", "5"},
          {"MAXIMUM_FLOWRATE", "50"}, {"MINIMUM_TEMPERATURE", "68"}, {"MAXIMUM_TEMPERATURE", "68"}};
}

SizingInput inputFor(SizingMode mode, const SizingChoices& choices,
                     const std::map<std::string, std::string>& typed) {
  const SizingValidation v = sizingValidate(mode, fields(mode, choices, typed), choices);
  EXPECT_TRUE(v.ok()) << v.message;
  SizingInput in;
  in.mode = mode;
  in.choices = choices;
  in.entries = SizingEntries(mode);
  in.entries.values = v.values;
  for (std::size_t i = 0; i < v.empty.size(); ++i) in.entries.set[i] = !v.empty[i];
  return in;
}

SizingResults calculated(const SizingInput& in) {
  SizingResults r;
  const auto failure = sizingCalculate(in, r);
  EXPECT_FALSE(failure) << (failure ? failure->message : "");
  return r;
}

std::string problems(const SizingResults& r) {
  std::string list;
  for (int p = 0; p < kSizingProblemCount; ++p) {
    if (r.problems[static_cast<std::size_t>(p)]) list += std::to_string(p) + " ";
  }
  return list;
}

}  // namespace

TEST(SizingTables, FixedRowsAsGiven) {
  EXPECT_STREQ(kSizingMaterials[21].name, "Aucun");
  EXPECT_EQ(kSizingMaterials[12].shearSpeed, 118000.01);
  EXPECT_STREQ(kSizingGases[7].name, "Gaz naturel");
  EXPECT_STREQ(kSizingLiquids[92].name, "Eau (20C)");
  EXPECT_STREQ(kSizingLiquids[106].name, "Autre");
  struct Row {
    const char* name;
    double speed, viscosity, density;
  };
  for (const Row& row :
       {Row{"Mercure (24C)", 1449, 0.114, 13.594}, Row{"Glycerine", 1940, 1180, 1.26},
        Row{"Huile SAE 20", 1487, 90, 0.906}, Row{"Eau (100C)", 1543, 0.29, 0.96},
        Row{"Fluor @ -143C", 403, 1, 0.545}}) {
    bool found = false;
    for (const SizingLiquid& l : kSizingLiquids) {
      if (std::string(l.name) != row.name) continue;
      found = true;
      EXPECT_EQ(l.soundSpeed, row.speed) << row.name;
      EXPECT_EQ(l.viscosity, row.viscosity) << row.name;
      EXPECT_EQ(l.relativeDensity, row.density) << row.name;
    }
    EXPECT_TRUE(found) << row.name;
  }
  // Every liquid passes the tool's own entry ranges.
  SizingChoices us = usChoices(SizingMode::Liquid);
  for (int row = 0; row < kSizingLiquidCount; ++row) {
    us.index[kSizingFluid] = row;
    const auto v =
        sizingValidate(SizingMode::Liquid, fields(SizingMode::Liquid, us, waterLine()), us);
    EXPECT_TRUE(v.ok()) << kSizingLiquids[row].name << ": " << v.message;
  }
  EXPECT_EQ(sensorSizes(SizingMode::Gas, SensorFamily::Rs7327).size(), 9u);
  EXPECT_STREQ(sensorSizes(SizingMode::Gas, SensorFamily::Universal7327)[0].name, "E3");
  EXPECT_EQ(sensorSizes(SizingMode::Liquid, SensorFamily::Rs7327).size(), 12u);
}

TEST(SizingValidation, EntriesRefusedAndAccepted) {
  const SizingChoices gasUs = usChoices(SizingMode::Gas);
  SizingChoices gasMetric;  // mm, deg C, BARA, metres/s
  SizingChoices cement = gasUs;
  cement.index[kSizingLinerMaterial] = 1;
  const SizingChoices liquidUs = usChoices(SizingMode::Liquid);
  struct Case {
    SizingMode mode;
    SizingChoices choices;
    std::map<std::string, std::string> changes;
    int failedEntry;
    std::string message;
  };
  const Case cases[] = {
      {SizingMode::Gas,
       gasUs,
       {{"OUTSIDE_DIAMETER", "0.24"}, {"WALL_THICKNESS", "0.05"}},
       0,
       "Diametre exterieur en-dehors de la plage"},
      {SizingMode::Gas, gasUs, {{"OUTSIDE_DIAMETER", "0.25"}, {"WALL_THICKNESS", "0.05"}}, -1, ""},
      {SizingMode::Gas, gasMetric, {{"ESTIMATED_VS", "99"}}, 3, kSizingSoundSpeedMessage},
      {SizingMode::Gas, gasUs, {{"WALL_THICKNESS", "4.3"}}, 1, kSizingWallRatioMessage},
      {SizingMode::Gas, gasUs, {{"LINER_THICKNESS", ""}}, -1, ""},
      {SizingMode::Gas,
       cement,
       {{"LINER_THICKNESS", ""}},
       2,
       "Epaisseur du revetement interieur en-dehors de la plage"},
      {SizingMode::Gas, cement, {{"LINER_THICKNESS", "4"}}, 2, kSizingLinerRatioMessage},
      {SizingMode::Gas,
       gasUs,
       {{"MAXIMUM_FLOWRATE", "-1"}},
       6,
       "Le debit maximum ne peut pas etre negatif"},
      {SizingMode::Gas,
       gasUs,
       {{"MAXIMUM_TEMPERATURE", "1001"}},
       8,
       "Temperature en-dehors de la plage"},
      // -14 PSIG is 0.7 psia: below the 1 psia floor.
      {SizingMode::Gas, gasUs, {{"MINIMUM_PRESSURE", "-14"}}, 9, "Pression en-dehors de la plage"},
      {SizingMode::Liquid,
       liquidUs,
       {{"KINEMATIC_VISCOSITY", "0.009"}},
       4,
       "Viscosite en-dehors de la plage"},
      {SizingMode::Liquid,
       liquidUs,
       {{"DENSITY", "0.09"}},
       5,
       "Masse volumique en-dehors de la plage"},
      {SizingMode::Liquid, liquidUs, {{"ESTIMATED_VS", "abc"}}, 3, kSizingSoundSpeedMessage},
  };
  for (const Case& c : cases) {
    auto typed = c.mode == SizingMode::Gas ? gasLine() : waterLine();
    for (const auto& [k, v] : c.changes) typed[k] = v;
    const SizingValidation v = sizingValidate(c.mode, fields(c.mode, c.choices, typed), c.choices);
    EXPECT_EQ(v.failedEntry, c.failedEntry) << v.message;
    EXPECT_EQ(v.message, c.message);
  }
}

TEST(SizingValidation, CompositionCheckedOnlyForTheAga8Row) {
  SizingChoices c = usChoices(SizingMode::Gas);
  auto typed = gasLine();
  typed["METHANE_PERCENTAGE"] = "50";
  EXPECT_TRUE(sizingValidate(SizingMode::Gas, fields(SizingMode::Gas, c, typed), c).ok());
  c.index[kSizingFluid] = kAga8CompositionGas;
  const auto v = sizingValidate(SizingMode::Gas, fields(SizingMode::Gas, c, typed), c);
  EXPECT_EQ(v.message, kAga8TotalMessage);
  typed["METHANE_PERCENTAGE"] = "100";
  EXPECT_TRUE(sizingValidate(SizingMode::Gas, fields(SizingMode::Gas, c, typed), c).ok());
}

TEST(SizingUnits, FluidFillsAndConversionsRoundTrip) {
  SizingChoices metric;
  SizingEntries e(SizingMode::Liquid);
  sizingFillFluid(SizingMode::Liquid, 41, e);  // "Mercure (24C)"
  EXPECT_EQ(sizingDisplayText(SizingMode::Liquid, 3, e.values[3], metric), "1449.0");
  EXPECT_EQ(sizingDisplayText(SizingMode::Liquid, 4, e.values[4], metric), "0.114");
  EXPECT_EQ(sizingDisplayText(SizingMode::Liquid, 5, e.values[5], metric), "13.594");
  SizingChoices api = metric;
  api.index[kSizingDensityUnit] = 1;
  EXPECT_NEAR(sizingToDisplay(SizingMode::Liquid, SizingQuantity::Density, 1.0, api), 10.0, 1e-9);
  SizingChoices gas = usChoices(SizingMode::Gas);
  EXPECT_NEAR(sizingFromDisplay(SizingMode::Gas, SizingQuantity::Pressure, 0.0, gas), 101325.0,
              1e-6);
  for (SizingQuantity q :
       {SizingQuantity::Length, SizingQuantity::Velocity, SizingQuantity::Temperature,
        SizingQuantity::Pressure, SizingQuantity::Density}) {
    const double back =
        sizingFromDisplay(SizingMode::Gas, q, sizingToDisplay(SizingMode::Gas, q, 321.5, gas), gas);
    EXPECT_NEAR(back, 321.5, 1e-9);
  }
  // 1 gallon a second of actual flow in the gallons unit; 1 lb/s of water.
  const SizingFlowBasis basis{10.0, 0.0361, 1.0};
  EXPECT_NEAR(*sizingFlowToActual(SizingMode::Liquid, 60.0, 0, 1, basis), 231.0, 1e-9);
  EXPECT_NEAR(*sizingFlowToActual(SizingMode::Liquid, 1.0, 13, 0, basis), 1.0 / 0.0361, 1e-9);
  EXPECT_FALSE(sizingFlowToActual(SizingMode::Gas, 1.0, 0, 0, SizingFlowBasis{}));
  EXPECT_EQ(sizingFlowUnitText(SizingMode::Gas, gas), "Pieds cube std/J");
  EXPECT_EQ(sizingFlowUnitText(SizingMode::Gas, gas, "Kilo"), "Kilo Pieds cube std/J");
}

TEST(SizingGas, PropertiesAtTheOperatingPoints) {
  SizingPoint p;
  const std::array<double, 21> none{};
  // Natural gas at 1000 psig and 60 F: Z near 0.86, sound near 413 m/s.
  ASSERT_FALSE(sizingGasPoint(kNaturalGas, none, kelvinFromF(60), 1014.7 * 6894.75729, false, p));
  EXPECT_NEAR(p.Zf, 0.86, 0.01);
  EXPECT_NEAR(p.soundSpeed / kInPerM, 413, 6);
  EXPECT_NEAR(p.standardVolumeFactor,
              sizingStandardVolumeFactor(kelvinFromF(60), 1014.7 * 6894.75729, p.Zb, p.Zf), 1e-12);
  EXPECT_DOUBLE_EQ(sizingStandardVolumeFactor(0, 1e5, 1, 1), 1.0);
  EXPECT_NEAR(sizingStandardVolumeFactor(288.71, 101325.0084, 0.998, 0.998), 1.0, 1e-12);
  // Ammonia and ethylene below their saturation lines are liquids.
  const auto cold = sizingGasPoint(kAmmoniaGas, none, 240.0, 101325.0, false, p);
  ASSERT_TRUE(cold);
  EXPECT_EQ(cold->code, 11001);
  EXPECT_EQ(cold->message,
            "Ne peut pas calculer le facteur Z pour la conversion des unites de volume/masse: "
            "Ammoniaque liquide avec debit, temperature et pression minimum");
  const auto hot = sizingGasPoint(kEthyleneGas, none, 200.0, 101325.0, true, p);
  ASSERT_TRUE(hot);
  EXPECT_EQ(hot->code, 11002);
  // Above it: near-ideal vapour, sound speed of the right size.
  ASSERT_FALSE(sizingGasPoint(kAmmoniaGas, none, 300.0, 101325.0, false, p));
  EXPECT_NEAR(p.Zf, 0.99, 0.01);
  EXPECT_NEAR(p.soundSpeed / kInPerM, 430, 15);
  EXPECT_GT(ammoniaSaturationK(200), ammoniaSaturationK(100));
  EXPECT_GE(ethyleneSaturationK(1500), ethyleneSaturationK(700));
}

TEST(SizingGas, ClampPressureByHand) {
  // Steel, D1H (0.31 MHz), 12.75 x 0.375 in, 16000 in/s, relative density 0.65,
  // 0.5956 % CO2: 63 x 400200 / (16000 x 18.826) x A(0.31) x 1.0298 + 14.5 psi.
  const double u = 0.31;
  const double a = 5.1937 - 15.758 * u + 18.427 * u * u - 8.5558 * u * u * u +
                   1.8471 * u * u * u * u - 0.1528 * std::pow(u, 5);
  const double psi = 63.0 * 400200.0 / (16000.0 * 0.65 * 28.9626) * a * (1 + 0.5956 / 20) + 14.5;
  EXPECT_NEAR(sizingClampMinimumPressure(0, 16000, 0.65, 310000, 0.375, 12.75, 0.5956),
              psi * 6894.75729, 1e-6);
  EXPECT_NEAR(psi, 173.2, 0.1);
  EXPECT_EQ(sizingClampMinimumPressure(18, 16000, 0.65, 310000, 0.375, 12.75, 0), 99973.980705);
  EXPECT_EQ(sizingClampMinimumPressure(0, 0, 0.65, 310000, 0.375, 12.75, 0), -1.0);
  // Thick walls need more pressure; aluminium far less.
  EXPECT_GT(sizingClampMinimumPressure(0, 16000, 0.65, 310000, 1.0, 4.0, 0),
            sizingClampMinimumPressure(0, 16000, 0.65, 310000, 0.1, 4.0, 0));
  EXPECT_LT(sizingClampMinimumPressure(2, 16000, 0.65, 310000, 0.375, 12.75, 0),
            sizingClampMinimumPressure(0, 16000, 0.65, 310000, 0.375, 12.75, 0));
}

TEST(SizingTypes, SuitabilityAndRecommendation) {
  struct Case {
    SizingMode mode;
    double minF, maxF;
    int pipe;
    double wall, diameter;
    std::string suitable;  // one letter per type
    std::string label;
  };
  const Case cases[] = {
      {SizingMode::Gas, 60, 80, 0, 0.375, 12.75, "1111", "7327RS-T1"},
      {SizingMode::Gas, 130, 150, 0, 0.375, 12.75, "1111", "7327RS-T2"},
      {SizingMode::Gas, 200, 240, 0, 0.375, 12.75, "1111", "7327RS-T3"},
      {SizingMode::Gas, 60, 256, 0, 0.375, 12.75, "0000", kSizingContactFactory},
      {SizingMode::Gas, 60, 80, 0, 0.5, 4.0, "1000", "7327 Univ."},
      {SizingMode::Gas, 60, 80, 2, 0.375, 12.75, "1000", "7327 Univ."},  // aluminium
      {SizingMode::Gas, 60, 80, 18, 0.375, 12.75, "1111", "7327RS-T1"},  // PVC
      {SizingMode::Gas, 60, 80, 0, 0.95, 12.75, "1111", "7327RS-T1"},
      {SizingMode::Liquid, 60, 80, 0, 0.95, 12.75, "11000", "7327 Univ."},
      {SizingMode::Liquid, 60, 460, 0, 0.375, 12.75, "00000", kSizingContactFactory},
      {SizingMode::Liquid, 60, 300, 0, 0.375, 12.75, "10000", "648 Univ."},
      {SizingMode::Liquid, 130, 150, 0, 0.375, 12.75, "11111", "7327RS-T2"},
  };
  for (const Case& c : cases) {
    const auto suitable =
        sizingSuitableTypes(c.mode, kelvinFromF(c.maxF), c.pipe, c.wall, c.diameter);
    std::string letters;
    for (bool s : suitable) letters += s ? '1' : '0';
    EXPECT_EQ(letters, c.suitable) << c.minF << " " << c.maxF;
    SizingResults r;
    r.mode = c.mode;
    r.suitable = suitable;
    r.recommendedType =
        sizingRecommendedType(c.mode, suitable, (kelvinFromF(c.minF) + kelvinFromF(c.maxF)) / 2);
    EXPECT_EQ(sizingTypeLabel(r), c.label) << c.minF << " " << c.maxF;
  }
}

TEST(SizingTypes, SoundSpeedLimitOfTheType) {
  EXPECT_FALSE(sizingSoundSpeedLimit(SizingMode::Liquid, SensorFamily::Rs7327, 2800 * kInPerM, 0));
  EXPECT_EQ(*sizingSoundSpeedLimit(SizingMode::Liquid, SensorFamily::Rs7327, 2900 * kInPerM, 0),
            "Vs estimees en-dehors de la plage\n\n400 metres/s <= Vs < 2874.3514 metres/s");
}

TEST(SizingSizes, RankingForTypicalPipes) {
  int accepted = 0;
  // Steel 12 in gas line: the wall band picks D1H.
  auto order =
      sizingRankSizes(SizingMode::Gas, SensorFamily::Rs7327, 0, 12.75, 0.375, 0, 16000, accepted);
  EXPECT_EQ(accepted, 1);
  EXPECT_STREQ(
      sensorSizes(SizingMode::Gas, SensorFamily::Rs7327)[static_cast<std::size_t>(order[0])].name,
      "D1H");
  EXPECT_EQ(order.size(), 9u);
  // 2 in PVC water, universal family: plastics rank by list order from the end.
  order = sizingRankSizes(SizingMode::Liquid, SensorFamily::Universal7327, 18, 2.375, 0.154, 0,
                          58346, accepted);
  EXPECT_EQ(accepted, 6);
  EXPECT_STREQ(sensorSizes(SizingMode::Liquid,
                           SensorFamily::Universal7327)[static_cast<std::size_t>(order[0])]
                   .name,
               "C3");
  // Steel wall resonance: a score above 30 rejects E3 on a 0.375 in wall.
  sizingRankSizes(SizingMode::Gas, SensorFamily::Universal7327, 0, 12.75, 0.375, 0, 16000,
                  accepted);
  EXPECT_EQ(accepted, 0);
}

TEST(SizingInstallation, HandCalculationOnTwoInchPvcWater) {
  SizingChoices c = usChoices(SizingMode::Liquid);
  c.index[kSizingPipeMaterial] = 18;  // PVC
  auto line = waterLine();
  line["MINIMUM_FLOWRATE"] = "20";
  const SizingResults r = calculated(inputFor(SizingMode::Liquid, c, line));
  EXPECT_EQ(sizingTypeLabel(r), "7327 Univ.");
  EXPECT_EQ(sizingSizeName(r, r.size), "C3");
  EXPECT_EQ(r.mount, kMountDirect);  // plastic pipe
  // Di = 2.375 - 2 x 0.154; sin tf = c / (97000 / sin 41.813 deg).
  const double di = 2.067, cf = 1482 * kInPerM;
  const double s = cf / (97000 / std::sin(41.813 * M_PI / 180));
  const double tn = di / (cf * std::sqrt(1 - s * s));
  EXPECT_NEAR(r.innerDiameter, di, 1e-9);
  EXPECT_NEAR(r.transitTimeFluid, tn, 1e-12);
  EXPECT_NEAR(tn * 1e6, 38.7, 0.1);
  EXPECT_GT(r.transitTimeTotal, r.transitTimeFluid);
  // 20 gallons a minute in a 2.067 in bore.
  EXPECT_NEAR(r.points[0].velocity, 20 * 231.0 / 60 / (M_PI * di * di / 4), 1e-9);
  EXPECT_NEAR(r.points[0].reynolds, r.points[0].velocity * di / (1.0 * 1e-6 * kInPerM * kInPerM),
              1e-6);
  // dt = 2 Di tan tf V / (K c^2), in cycles of 1.1 MHz.
  const double k = sizingProfileFactor(r.points[1].reynolds);
  EXPECT_NEAR(r.points[1].cyclesDt,
              2 * di * s / std::sqrt(1 - s * s) * r.points[1].velocity / (k * cf * cf) * 1.1e6,
              1e-9);
  EXPECT_EQ(problems(r), "");
  // At 5 gallons a minute one reading wanders by more than 2 %.
  line["MINIMUM_FLOWRATE"] = "5";
  EXPECT_EQ(problems(calculated(inputFor(SizingMode::Liquid, c, line))), "4 ");
}

TEST(SizingInstallation, FiguresBehavePhysically) {
  const SizingChoices c = usChoices(SizingMode::Liquid);
  auto at = [&](const std::string& od, const std::string& wall) {
    return calculated(inputFor(SizingMode::Liquid, c, waterLine(od, wall)));
  };
  const SizingResults small = at("4.5", "0.237");
  const SizingResults large = at("12.75", "0.375");
  // A longer path: more transit time, a wider spacing, a lower beam-drift limit.
  EXPECT_GT(large.transitTimeFluid, small.transitTimeFluid);
  EXPECT_GT(large.spacingLength, small.spacingLength);
  // Same flow in a bigger bore: slower, fewer cycles of dt.
  EXPECT_LT(large.points[1].velocity, small.points[1].velocity);
  EXPECT_LT(large.points[1].cyclesDt, small.points[1].cyclesDt);
  EXPECT_LE(small.maximumVelocity, 40 * 12.0 + 1e-9);
  EXPECT_LT(small.soundSpeedLow, 1482 * kInPerM);
  EXPECT_GT(small.soundSpeedHigh, 1482 * kInPerM);
  // Repeatability in percent falls as the flow rises in settled turbulence.
  double last = 1e9;
  for (double v : {20.0, 50.0, 100.0, 200.0}) {
    const double percent = sizingRepeatabilityPercent(small, v, 1e5);
    EXPECT_LT(percent, last);
    last = percent;
  }
  // The profile factor rises from laminar to turbulent without a jump.
  EXPECT_DOUBLE_EQ(sizingProfileFactor(1000), 0.75);
  EXPECT_NEAR(sizingProfileFactor(1e5), 0.947, 0.01);
  EXPECT_LT(sizingProfileFactor(3000), sizingProfileFactor(4999));
  EXPECT_NEAR(sizingProfileFactor(4999.999), sizingProfileFactor(5000.001), 1e-6);
  // The S filter halves the timing noise.
  SizingInput in = inputFor(SizingMode::Liquid, c, waterLine("4.5", "0.237"));
  in.sFilter = true;
  EXPECT_NEAR(calculated(in).timeRepeatability, small.timeRepeatability / 2, 1e-18);
}

TEST(SizingInstallation, TwelveInchSteelNaturalGas) {
  const SizingResults r =
      calculated(inputFor(SizingMode::Gas, usChoices(SizingMode::Gas), gasLine()));
  EXPECT_EQ(sizingTypeLabel(r), "7327RS-T1");
  EXPECT_EQ(sizingSizeName(r, r.size), "D1H");
  EXPECT_NEAR(r.points[0].Zf, 0.86, 0.01);
  // 5 MMscfd at 1000 psig: about 0.9 ft/s in a 12 in bore.
  EXPECT_NEAR(r.points[0].velocity / 12, 0.92, 0.03);
  EXPECT_NEAR(r.clampMinimumPressure / 6894.75729, 170, 5);
  EXPECT_FALSE(r.problems[kProblemClampPressure]);
  const ResultsPage page = sizingResultsPage(r, 1);
  EXPECT_EQ(page.grids[0].text(1, 0), "Fact. Z(env.):");
  EXPECT_EQ(page.grids[0].text(6, 3), "centistokes");
  // At 100 psig the clamp force needs more gas: the problem shows.
  auto low = gasLine();
  low["MINIMUM_PRESSURE"] = "100";
  EXPECT_TRUE(calculated(inputFor(SizingMode::Gas, usChoices(SizingMode::Gas), low))
                  .problems[kProblemClampPressure]);
}

TEST(SizingProblems, FlagsAndTexts) {
  SizingChoices gas = usChoices(SizingMode::Gas);
  auto tiny = gasLine("0.25", "0.05");
  const SizingResults r = calculated(inputFor(SizingMode::Gas, gas, tiny));
  EXPECT_TRUE(r.problems[kProblemSmallPipe]);
  EXPECT_EQ(sizingProblemText(SizingMode::Gas, kProblemSmallPipe, kSizingInches),
            "Le diametre de conduite doit etre superieur a 1 pouce   [Contacter l'usine]");
  EXPECT_EQ(sizingProblemText(SizingMode::Liquid, kProblemSmallPipe, kSizingMillimetres),
            "Le diametre de conduite doit etre superieur a 6,35 mm [Contacter l'usine]");
  EXPECT_EQ(sizingResultsPage(r, 3).grids[0].rows.size(),
            static_cast<std::size_t>(1 + std::count(r.problems.begin(), r.problems.end(), true)));
  // A composition rich in CO2.
  gas.index[kSizingFluid] = kAga8CompositionGas;
  auto rich = gasLine();
  rich["METHANE_PERCENTAGE"] = "85";
  rich["CO2_PERCENTAGE"] = "15";
  const SizingResults co2 = calculated(inputFor(SizingMode::Gas, gas, rich));
  EXPECT_TRUE(co2.problems[kProblemCarbonDioxide]);
  EXPECT_FALSE(co2.problems[kProblemHydrogenSulphide]);
  // Laminar-turbulent transition in a viscous oil line, and a zero minimum flow.
  SizingChoices oil = usChoices(SizingMode::Liquid);
  oil.index[kSizingFluid] = 63;  // "Huile SAE 20"
  auto line = waterLine("4.5", "0.237");
  line["MAXIMUM_FLOWRATE"] = "300";
  line["MINIMUM_FLOWRATE"] = "0";
  const SizingResults o = calculated(inputFor(SizingMode::Liquid, oil, line));
  EXPECT_TRUE(o.problems[kProblemReynoldsTransition]);
  EXPECT_TRUE(o.problems[kProblemAccuracyAtMinimumFlow]);
}

TEST(SizingGraph, AxisAndCurve) {
  EXPECT_DOUBLE_EQ(sizingTickStep(2.0), 0.2);
  EXPECT_DOUBLE_EQ(sizingTickStep(5.0), 0.5);
  EXPECT_DOUBLE_EQ(sizingTickStep(9.0), 1.0);
  EXPECT_DOUBLE_EQ(sizingTickStep(15.0), 2.0);
  EXPECT_DOUBLE_EQ(sizingTickStep(150.0), 20.0);
  const SizingResults r =
      calculated(inputFor(SizingMode::Liquid, usChoices(SizingMode::Liquid), waterLine()));
  const SizingGraph g = sizingRepeatabilityGraph(r);
  EXPECT_EQ(g.title, "Repetabilite vs. debit");
  EXPECT_EQ(g.flowAxisLabel, "Debit(Gallons/MIN)");
  EXPECT_LE(g.flowFrom, g.transitionStartFlow);
  EXPECT_GE(g.flowTo, 50.0);
  EXPECT_LE(g.flowLabels.size(), 11u);
  EXPECT_LE(g.percentMax, 100.0);
  for (const auto& [flow, percent] : g.curve) EXPECT_LE(percent, g.percentMax);
  EXPECT_EQ(g.transitionText.rfind("Dem. transition RN = ", 0), 0u);
}

TEST(SizingSetupFile, GasRoundTripBitForBit) {
  TempDir dir;
  SizingSession session(SizingMode::Gas);
  session.choices = usChoices(SizingMode::Gas);
  SizingInput in = inputFor(SizingMode::Gas, session.choices, gasLine());
  session.entries = in.entries;
  EXPECT_EQ(saveSizingSetupFile(dir.file("a.gas"), session).message, kSetupNoResults);
  ASSERT_FALSE(sizingCalculate(in, session.results));
  session.user.type = 2;
  ASSERT_FALSE(saveSizingSetupFile(dir.file("a.gas"), session).failed());
  const std::string bytes = test::readWholeFile(dir.file("a.gas"));
  ASSERT_EQ(bytes.size(), 314u);
  EXPECT_EQ(bytes.substr(0, 35), std::string("norvane gas tool calculation setup") + '\0');
  EXPECT_EQ(static_cast<unsigned char>(bytes[305]), kNaturalGas);
  EXPECT_EQ(static_cast<unsigned char>(bytes[306]), 2);

  SizingSession back(SizingMode::Gas);
  ASSERT_FALSE(openSizingSetupFile(dir.file("a.gas"), back).failed());
  EXPECT_EQ(back.choices.index, session.choices.index);
  EXPECT_EQ(back.user.type, 2);
  for (std::size_t i = 0; i < 32; ++i)
    EXPECT_EQ(std::bit_cast<std::uint64_t>(back.entries.values[i]),
              std::bit_cast<std::uint64_t>(session.entries.values[i]));
}

TEST(SizingSetupFile, CorruptFilesRefusedWithTheirCodes) {
  SizingSetupFile setup;
  setup.choices = usChoices(SizingMode::Liquid);
  SizingInput in = inputFor(SizingMode::Liquid, setup.choices, waterLine());
  setup.values = in.entries.values;
  const std::vector<std::uint8_t> good = encodeSizingSetupFile(SizingMode::Liquid, setup);
  ASSERT_EQ(good.size(), 136u);
  auto fixed = [](std::vector<std::uint8_t> b) {
    putSetupWord(b, 134, setupFileChecksum(b, 39, 133));
    return b;
  };
  auto with = [&](std::size_t at, std::uint8_t v, bool fix) {
    auto b = good;
    b[at] = v;
    return fix ? fixed(b) : b;
  };
  auto withValue = [&](int entry, double v) {
    auto b = good;
    putSetupDouble(b, 40 + 8 * static_cast<std::size_t>(entry), v);
    return fixed(b);
  };
  struct Case {
    std::vector<std::uint8_t> bytes;
    int code;
  };
  const Case cases[] = {
      {good, 0},
      {std::vector<std::uint8_t>(good.begin(), good.end() - 1), 1},
      {with(3, 'X', true), 2},
      {with(39, 0x55, false), 3},
      {with(38, 0x55, false), 0},  // outside the checksum run
      {with(120, 2, true), 4},     // length unit
      {with(128, 107, true), 12},  // liquid
      {with(129, 5, true), 13},    // chosen type
      {withValue(0, 0.1), 100},
      {withValue(4, 0.009), 104},
      {withValue(9, 100.0), 109},
  };
  for (const Case& c : cases) {
    SizingSetupFile out;
    EXPECT_EQ(decodeSizingSetupFile(SizingMode::Liquid, c.bytes, out), c.code);
  }
}

TEST(SizingSettings, SectionsWrittenOnlyWhenChangedAndReadBack) {
  TempDir dir;
  const std::string path = dir.file("qm.cfg");
  test::writeWholeFile(path, "[ENERGY]\r\nFLOWRATE=3FF0000000000000\r\n");
  SizingSession gas(SizingMode::Gas);
  sizingApplyRememberedChoices(gas);
  EXPECT_EQ(gas.choices.at(kSizingFluid), kNaturalGas);
  EXPECT_TRUE(gas.entries.set[3]);  // the natural gas sound speed
  gas.choices.index[kSizingLengthUnit] = kSizingInches;
  gas.entries.values[0] = 12.75;
  gas.entries.set[0] = true;
  ASSERT_EQ(writeSizingSettings(path, gas), 0);
  EXPECT_TRUE(sizingSettingsChanges(gas).empty());
  const std::string text = test::readWholeFile(path);
  EXPECT_NE(text.find("[XSELECT_GAS]"), std::string::npos);
  EXPECT_NE(text.find("DIMENSION_UNITS=pouces"), std::string::npos);
  EXPECT_NE(text.find("GAS_NAME=Gaz naturel"), std::string::npos);
  EXPECT_NE(text.find("FLOWRATE=3FF0000000000000"), std::string::npos);
  EXPECT_EQ(text.find("PRESSURE_UNITS=BARA\r\nVELOCITY"),
            text.find("PRESSURE_UNITS=BARA\r\nVELOCITY"));

  ProfileFile file(path);
  ASSERT_EQ(file.load(), 0);
  SizingSession again(SizingMode::Gas);
  readSizingSettings(file, again);
  SizingSession liquid(SizingMode::Liquid);
  readSizingSettings(file, liquid);
  sizingApplyRememberedChoices(again);
  sizingApplyRememberedChoices(liquid);
  EXPECT_EQ(again.choices.at(kSizingLengthUnit), kSizingInches);
  EXPECT_EQ(again.entries.values[0], 12.75);
  // The liquid tool keeps its own settings.
  EXPECT_EQ(liquid.choices.at(kSizingLengthUnit), kSizingMillimetres);
  EXPECT_FALSE(liquid.entries.set[0]);
  EXPECT_EQ(liquid.choices.at(kSizingFluid), kSizingDefaultLiquid);
}
