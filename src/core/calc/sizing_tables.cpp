#include "calc/sizing_tables.h"

#include <cmath>
#include <numbers>

namespace tarnlux {

const SizingMaterial kSizingMaterials[kSizingMaterialCount] = {
    {"Acier", 126000, false},
    {"ABS", 90000, true},
    {"Aluminium", 120000, false},
    {"Fer noir", 126000, false},
    {"Laiton", 89400, false},
    {"Fonte", 110000, false},
    {"CuNi (70/30)", 103500, false},
    {"CuNi (90/10)", 98600, false},
    {"Cuivre", 89400, false},
    {"Fonte ductile", 110000, false},
    {"PRV", 97000, true},
    {"Verre", 129000, true},
    {"Hastelloy", 118000.01, false},
    {"Inconel", 119000.01, false},
    {"Kynar (PVDF)", 86700, true},
    {"Monel", 107000, false},
    {"Nickel", 118000, false},
    {"Polyethylene", 76800, true},
    {"PVC (plastique)", 100000, true},
    {"Teflon", 48200, true},
    {"Titane", 124000, false},
    {"Aucun", 1, true},
    {"Ciment", 110000, true},
    {"Goudr. de houille", 100000, true},
    {"Email", 100000, true},
    {"Verre", 129000, true},
    {"Plastique", 90000, true},
    {"PEHD", 63000, true},
    {"Teflon", 48200, true},
    {"Gomme", 63000, true},
};

const SizingMaterial& sizingPipeMaterial(int pipeIndex) {
  if (pipeIndex < 0 || pipeIndex >= kSizingPipeMaterialCount) pipeIndex = 0;
  return kSizingMaterials[pipeIndex];
}

const SizingMaterial& sizingLinerMaterial(int linerIndex) {
  if (linerIndex < 0 || linerIndex >= kSizingLinerMaterialCount) linerIndex = 0;
  return kSizingMaterials[kSizingFirstLinerRow + linerIndex];
}

const SizingGas kSizingGases[kSizingGasCount] = {
    {"Gaz ammoniac", 400, 0.01, 0.59},
    {"Gaz argon", 320, 0.01, 1.38},
    {"Monoxyde de carbone", 350, 0.01, 0.97},
    {"Gaz ethane", 280, 0.01, 1.05},
    {"Helium", 1000, 0.01, 0.14},
    {"Hydrogene", 1320, 0.01, 0.07},
    {"Methane", 440, 0.01, 0.55},
    {"Gaz naturel", 400, 0.01, 0.65},
    {"Nitrogene", 350, 0.01, 0.97},
    {"Oxygene", 312, 0.01, 1.1},
    {"Propane", 230, 0.01, 1.55},
    {"Ethylene", 300, 0.01, 0.98},
    {"Util. un/des gaz AGA8", 400, 0.01, 0.65},
};

// Handbook figures near the temperature the name gives (20 C otherwise).
const SizingLiquid kSizingLiquids[kSizingLiquidCount] = {
    {"27 % saumure de CaCl", 1840, 3.0, 1.26},
    {"30 % d'ethylene glycol", 1620, 2.2, 1.04},
    {"40 % d'ethylene glycol", 1680, 2.9, 1.05},
    {"50 % d'ethylene glycol", 1720, 3.8, 1.07},
    {"10 % d'ethylene glycol", 1535, 1.3, 1.01},
    {"20 % d'ethylene glycol", 1580, 1.7, 1.03},
    {"50 % glycol/50 % H2O", 1720, 3.8, 1.07},
    {"Acide acetique", 1173, 1.16, 1.05},
    {"Acetone", 1174, 0.4, 0.79},
    {"Alcool", 1207, 1.52, 0.79},
    {"Ammoniaque (-33C)", 1729, 0.3, 0.68},
    {"Benzene", 1306, 0.71, 0.88},
    {"Brome", 889, 0.34, 3.12},
    {"Carbinol (20C)", 1121, 0.74, 0.79},
    {"CCl4 @20C", 938, 0.61, 1.59},
    {"Chlore", 850, 0.3, 1.56},
    {"Chlorobenzene", 1273, 0.72, 1.11},
    {"Chloroforme", 987, 0.38, 1.49},
    {"Cyclohexane (20C)", 1284, 1.3, 0.78},
    {"Decane (20C)", 1252, 1.26, 0.73},
    {"Ether diethylique", 985, 0.32, 0.71},
    {"Dimethyl cetone", 1174, 0.4, 0.79},
    {"Dimethylbenzene (20C)", 1343, 0.93, 0.87},
    {"Ethanol", 1207, 1.52, 0.79},
    {"Ether (20C)", 985, 0.32, 0.71},
    {"Alcool ethylique", 1207, 1.52, 0.79},
    {"Ethylene glycol", 1658, 17.8, 1.11},
    {"Fluor @ -143C", 403, 1, 0.545},
    {"Acide formique @ 20C", 1287, 1.43, 1.22},
    {"Freon R12", 774, 0.2, 1.33},
    {"Gaz", 1250, 0.6, 0.7},
    {"Glycerine", 1940, 1180, 1.26},
    {"Glycerol", 1904, 1180, 1.26},
    {"Glycol", 1658, 17.8, 1.11},
    {"Heptane @ 20C", 1162, 0.59, 0.68},
    {"Hexane", 1083, 0.5, 0.66},
    {"Isobutane", 919, 0.3, 0.56},
    {"Isopentane (20C)", 980, 0.34, 0.62},
    {"Isopropanol (20C)", 1170, 2.7, 0.79},
    {"Kerosene", 1324, 2.3, 0.81},
    {"MEK", 1210, 0.5, 0.81},
    {"Mercure (24C)", 1449, 0.114, 13.594},
    {"Methanol", 1121, 0.74, 0.79},
    {"Acetate de methyle", 1211, 0.44, 0.93},
    {"Alcool methyl. (20C)", 1121, 0.74, 0.79},
    {"Methylbenzene (20C)", 1328, 0.64, 0.87},
    {"Carbinol de methyle", 1207, 1.52, 0.79},
    {"Cyanure de methyle", 1290, 0.44, 0.78},
    {"Iod. de methyle (20C)", 834, 0.22, 2.28},
    {"Methylbutane(20C)", 980, 0.34, 0.62},
    {"Methylphenol (20C)", 1541, 11, 1.03},
    {"Lait", 1548, 2, 1.03},
    {"Naphta", 1225, 0.8, 0.76},
    {"Butane-n (0C)", 1085, 0.32, 0.6},
    {"Heptane-n @ 20C", 1162, 0.59, 0.68},
    {"Nitrobenzene (20C)", 1473, 1.5, 1.2},
    {"Octane", 1192, 0.73, 0.7},
    {"Petrole (Diesel)", 1250, 3.5, 0.85},
    {"Petrole (carburant AA)", 1298, 2.0, 0.8},
    {"Huile (lubrifiant)", 1530, 100, 0.87},
    {"Huile (olive)", 1431, 100, 0.91},
    {"Huile (cacahouete)", 1458, 70, 0.92},
    {"Huile (sperme)", 1440, 30, 0.88},
    {"Huile SAE 20", 1487, 90, 0.906},
    {"Huile (castor)", 1477, 650, 0.97},
    {"C5H12, N pentane (20C)", 1008, 0.36, 0.63},
    {"Brom. de phenyle (20C)", 1170, 0.69, 1.5},
    {"Chlorure de phenyle", 1273, 0.72, 1.11},
    {"Propane", 1003, 0.3, 0.58},
    {"Alcool propyl. (20C)", 1222, 2.5, 0.8},
    {"Propylene (-13C)", 963, 0.25, 0.56},
    {"Refrigerant C318 (0C)", 574, 0.25, 1.62},
    {"Refrigerant R11 (0C)", 828, 0.3, 1.53},
    {"Refrigerant R113 (0C)", 783, 0.46, 1.62},
    {"Refrigerant R114 (0C)", 665, 0.3, 1.52},
    {"Refrigerant R115 (0C)", 656, 0.2, 1.37},
    {"Refrigerant R12 (-40C)", 774, 0.25, 1.49},
    {"Refriger. R14 (-150C)", 875, 0.3, 1.75},
    {"Refrigerant R21 (0C)", 891, 0.3, 1.43},
    {"Refrigerant R22 (50C)", 894, 0.2, 1.49},
    {"Silicone", 990, 30, 0.99},
    {"NaNO3 (336C)", 1763, 1.5, 1.88},
    {"Acide sulfurique", 1257, 14.6, 1.84},
    {"C2H2Cl4 (20C)", 1147, 1.18, 1.59},
    {"CCl4 (20C)", 938, 0.61, 1.59},
    {"Tetradecane (20C)", 1331, 2.86, 0.76},
    {"Toluene", 1328, 0.64, 0.87},
    {"Trichloroethene", 1028, 0.39, 1.46},
    {"Trichloroethane (20C)", 985, 0.6, 1.33},
    {"Triethylene glycol", 1608, 40, 1.12},
    {"Terebenthine", 1255, 1.4, 0.88},
    {"Eau (13C)", 1460, 1.2, 1.0},
    {"Eau (20C)", 1482, 1, 1.0},
    {"Eau (50C)", 1543, 0.55, 0.99},
    {"Eau (75C)", 1555, 0.38, 0.975},
    {"Eau (100C)", 1543, 0.29, 0.96},
    {"Eau (125C)", 1518, 0.23, 0.94},
    {"Eau (150C)", 1480, 0.2, 0.92},
    {"Eau (175C)", 1428, 0.17, 0.89},
    {"Eau (200C)", 1362, 0.15, 0.87},
    {"Eau (225C)", 1284, 0.14, 0.84},
    {"Eau (250C)", 1195, 0.13, 0.8},
    {"Eau distillee", 1498, 1, 1.0},
    {"Eau lourde", 1388, 1.1, 1.1},
    {"Eau de mer", 1531, 1.05, 1.025},
    {"Alcool methylique(20C)", 1121, 0.74, 0.79},
    {"Autre", 1500, 1, 1},
};

namespace {

constexpr double kDegree = std::numbers::pi / 180.0;

// name, g1, g2, g3, wall constant, min OD, max OD, wall from, wall to, frequency, gas band
constexpr SensorSize kUniversal7327Sizes[] = {
    {"A1", 0.335, 4.84, 0.03, 0.25, 0.23, 2, 0, 0, 3750000, 0, 0},
    {"A2", 0.335, 4.84, 0.03, 0.25, 0.5, 2, 0, 0, 3000000, 0, 0},
    {"B1", 0.671, 5.99, 0.03, 0.25, 0.5, 3, 0, 0, 3400000, 0, 0},
    {"B2", 0.671, 5.99, 0.03, 0.25, 0.5, 3, 0, 0, 2700000, 0, 0},
    {"B3", 0.671, 5.99, 0.03, 0.25, 0.75, 5, 0, 0, 2100000, 0, 0},
    {"C1", 1.342, 10.605, 0.03, 0.375, 2, 10, 0, 0, 1700000, 0, 0},
    {"C2", 1.342, 10.605, 0.03, 0.375, 2, 10, 0, 0, 1350000, 0, 0},
    {"C3", 1.342, 10.605, 0.03, 0.375, 2, 12, 0, 0, 1100000, 0, 0},
    {"D1", 2.885, 21.21, 0.03, 0.75, 4, 20, 0, 0, 850000, 0, 0},
    {"D2", 2.885, 21.21, 0.03, 0.75, 6, 24, 0, 0, 680000, 0, 0},
    {"D3", 2.885, 21.21, 0.03, 0.75, 8, 24, 0, 0, 540000, 0, 0},
    {"E1", 4.226, 33.2, 0.03, 0.75, 10, 120, 0, 0, 430000, 0, 0},
    {"E2", 4.226, 33.2, 0.03, 0.75, 10, 240, 0, 0, 340000, 0, 0},
    {"E3", 4.226, 33.2, 0.03, 0.75, 12, 360, 0, 0, 270000, 0, 0},
};

constexpr SensorSize kRs7327Sizes[] = {
    {"A1H", 0.485, 0.37, 9.29, 0, 0.5, 2, 0.025, 0.04, 3300000, 0, 0},
    {"A2H", 0.728, 0.13, 11.44, 0, 0.75, 4, 0.04, 0.06, 2300000, 0, 0},
    {"A3H", 0.85, 0, 12.52, 0, 0.75, 4, 0.06, 0.08, 1650000, 0, 0},
    {"B1H", 1.214, 0.73, 15.73, 0, 1, 10, 0.08, 0.12, 1200000, 1, 1.9},
    {"B2H", 1.942, 0, 22.16, 0, 1.5, 13, 0.12, 0.16, 850000, 1.9, 3},
    {"B3H", 1.942, 0, 22.16, 0, 1, 10, 0.106, 0.128, 1000000, 0, 0},
    {"C1H", 2.427, 0.97, 26.45, 0, 3, 21, 0.16, 0.23, 600000, 3, 4},
    {"C2H", 3.398, 0, 35.03, 0, 4, 25, 0.23, 0.32, 435000, 4, 7},
    {"D1H", 4.854, 0.97, 47.9, 0, 6, 120, 0.32, 0.44, 310000, 7, 9},
    {"D2H", 5.825, 0, 56.48, 0, 6, 240, 0.44, 0.62, 225000, 9, 13},
    {"D3H", 4.854, 0.97, 47.9, 0, 6, 120, 0.293, 0.354, 360000, 0, 0},
    {"D4H", 5.825, 0, 56.48, 0, 8, 360, 0.62, 1, 160000, 13, 48},
};

constexpr SensorSize kUniversal648Sizes[] = {
    {"1", 0.9341, 11.34, 0.2, 0, 0.5, 4, 0, 0, 2400000, 0, 0},
    {"2A", 1.5808, 18.59, 0.32, 0, 1.25, 8, 0, 0, 2000000, 0, 0},
    {"2", 1.5808, 18.59, 0.32, 0, 1.25, 8, 0, 0, 1500000, 0, 0},
    {"3A", 2.2993, 26.651, 0.32, 0, 6, 24, 0, 0, 1000000, 0, 0},
    {"3", 2.2993, 26.651, 0.32, 0, 6, 24, 0, 0, 750000, 0, 0},
    {"4A", 3.5927, 41.158, 0.32, 0, 16, 48, 0, 0, 530000, 0, 0},
    {"4", 3.5927, 41.158, 0.32, 0, 16, 48, 0, 0, 375000, 0, 0},
};

constexpr SensorType kGasTypes[] = {
    {"7327 Univ.", SensorFamily::Universal7327},
    {"7327RS-T1", SensorFamily::Rs7327},
    {"7327RS-T2", SensorFamily::Rs7327},
    {"7327RS-T3", SensorFamily::Rs7327},
};
constexpr SensorType kLiquidTypes[] = {
    {"648 Univ.", SensorFamily::Universal648}, {"7327 Univ.", SensorFamily::Universal7327},
    {"7327RS-T1", SensorFamily::Rs7327},       {"7327RS-T2", SensorFamily::Rs7327},
    {"7327RS-T3", SensorFamily::Rs7327},
};

}  // namespace

SensorFamilyInfo sensorFamilyInfo(SensorFamily family) {
  switch (family) {
    case SensorFamily::Universal648:
      return {95000.0, 35.28 * kDegree};
    case SensorFamily::Rs7327:
      return {97000.0, 1.029744258676655};
    default:
      return {97000.0, 41.813 * kDegree};
  }
}

double sensorPhaseVelocity(SensorFamily family) {
  const SensorFamilyInfo info = sensorFamilyInfo(family);
  return info.wedgeSpeed / std::sin(info.wedgeAngle);
}

std::span<const SensorType> sensorTypes(SizingMode mode) {
  if (mode == SizingMode::Gas) return kGasTypes;
  return kLiquidTypes;
}

std::span<const SensorSize> sensorSizes(SizingMode mode, SensorFamily family) {
  switch (family) {
    case SensorFamily::Universal648:
      return kUniversal648Sizes;
    case SensorFamily::Rs7327:
      // Gas mode offers B1H to D4H.
      if (mode == SizingMode::Gas) return std::span<const SensorSize>(kRs7327Sizes).subspan(3);
      return kRs7327Sizes;
    default:
      // Gas mode offers the largest universal size alone.
      if (mode == SizingMode::Gas) return std::span<const SensorSize>(kUniversal7327Sizes).last(1);
      return kUniversal7327Sizes;
  }
}

}  // namespace tarnlux
