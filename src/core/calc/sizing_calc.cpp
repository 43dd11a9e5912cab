// The sizing tools' calculation: fluid properties at the two operating
// points, sensor type, size, mount and spacing, the installation figures and
// the application problems.
//
// The installation figures model a clamp-on transit-time path. A wedge of
// sound speed cw at angle tw launches a wave whose phase velocity along the
// pipe is Vp = cw / sin(tw); Snell's law keeps Vp in every layer, so the
// angle in a layer of sound speed c is asin(c / Vp) (no real angle when
// c >= Vp: the wall then carries a plate wave across its thickness). With N
// traverses of the bore Di at the fluid angle tf:
//   transit time in the fluid   TN = N Di / (c cos tf)
//   axial travel in the fluid   S  = N Di tan tf
//   time difference at flow V   dt = 2 N Di tan tf (V / K) / c^2
// K is the profile factor: the mean velocity over the bore divided by the
// mean along the diameter the beam crosses.

#include <algorithm>
#include <climits>
#include <cmath>
#include <numbers>

#include "calc/aga8_screen_rules.h"
#include "calc/entry_text.h"
#include "calc/sizing.h"

namespace tarnlux {

namespace {

constexpr double kBaseTemperatureK = 288.71;
constexpr double kBasePressurePa = 101325.0084;
constexpr double kPascalsPerPsi = 6894.75729;
constexpr double kAirMolarMass = 28.9626;
constexpr double kLbPerInch3PerKgPerM3 = 3.61272920e-5;
constexpr double kWaterLbPerCubicInch = kSizingWaterDensity * kLbPerInch3PerKgPerM3;
constexpr double kSquareInchesPerSecondPerCentistoke =
    1e-6 * kSizingInchesPerMetre * kSizingInchesPerMetre;
constexpr double kGasConstant = 8.314462618;  // J/(mol K)

constexpr const char* kZFactorFailure =
    "Ne peut pas calculer le facteur Z pour la conversion des unites de volume/masse";
constexpr const char* kConversionFailure =
    "Ne peut pas obtenir des donnees pour la conversion des unites de volume/masse";

// Temperatures of the type rules.
constexpr double k70F = 294.2611111;
constexpr double k140F = 333.15;
constexpr double k200F = 366.4833333;
constexpr double kGasTypeLimitK = 397.0388889;        // 255 F
constexpr double kLiquidAnyTypeLimitK = 505.3722223;  // 450 F
constexpr double k250F = 394.2611112;
constexpr double k150F = 338.7055556;
constexpr double k220F = 377.5944445;
constexpr double kMinus40F = 233.15;
constexpr double k30F = 272.0388888;
constexpr double k90F = 305.37222222;

// Reynolds numbers bounding the transition between laminar and turbulent flow.
constexpr double kTransitionStart = 1700.0;
constexpr double kTransitionEnd = 5000.0;

// The meter's timing: the standard deviation of one transit-time difference
// is a fixed fraction of the signal period (the correlation locks to a part of
// a cycle), never better than the 100 ps of its clock interpolation; the
// S filter averages four times as many bursts, which halves it.
constexpr double kTimingFractionOfPeriod = 0.25e-3;
constexpr double kTimingFloor = 100e-12;

// The meter's velocity range: what it measures whatever the installation.
constexpr double kLiquidVelocityRange = 40.0 * 12.0;  // 40 ft/s
constexpr double kGasVelocityRange = 100.0 * 12.0;    // 100 ft/s

struct CompressibleGas {
  double criticalK;
  double criticalPa;
  double acentric;
  double molarMass;  // g/mol
  double heatRatio;  // ideal-gas Cp/Cv near ambient
};
// Ammonia and ethylene are outside the AGA8 component list.
constexpr CompressibleGas kAmmonia = {405.4, 11.333e6, 0.253, 17.0305, 1.31};
constexpr CompressibleGas kEthylene = {282.34, 5.041e6, 0.087, 28.0532, 1.24};

// Second-virial compressibility of the Pitzer correlation, good for vapours
// well away from saturation: Z = 1 + (B0 + w B1) Pr / Tr.
double virialZ(const CompressibleGas& g, double temperature, double pressure) {
  const double tr = temperature / g.criticalK;
  const double pr = pressure / g.criticalPa;
  const double b0 = 0.083 - 0.422 / std::pow(tr, 1.6);
  const double b1 = 0.139 - 0.172 / std::pow(tr, 4.2);
  return 1.0 + (b0 + g.acentric * b1) * pr / tr;
}

int aga8ComponentOf(int gasRow) {
  switch (gasRow) {
    case kArgonGas:
      return kAga8Argon;
    case kCarbonMonoxideGas:
      return kAga8CarbonMonoxide;
    case kEthaneGas:
      return kAga8Ethane;
    case kHeliumGas:
      return kAga8Helium;
    case kHydrogenGas:
      return kAga8Hydrogen;
    case kMethaneGas:
      return kAga8Methane;
    case kNitrogenGas:
      return kAga8Nitrogen;
    case kOxygenGas:
      return kAga8Oxygen;
    case kPropaneGas:
      return kAga8Propane;
    default:
      return -1;
  }
}

std::array<double, kAga8ComponentCount> naturalGasMixture() {
  std::array<double, kAga8ComponentCount> m{};
  m[kAga8Methane] = 0.965222;
  m[kAga8Ethane] = 0.018186;
  m[kAga8Propane] = 0.004596;
  m[kAga8IButane] = 0.000977;
  m[kAga8NButane] = 0.001007;
  m[kAga8IPentane] = 0.000473;
  m[kAga8NPentane] = 0.000324;
  m[kAga8NHexane] = 0.000664;
  m[kAga8CarbonDioxide] = 0.005956;
  m[kAga8Nitrogen] = 0.002595;
  return m;
}

// Angle in a layer of sound speed c for the family's phase velocity; false
// when the layer carries no refracted wave (c >= Vp).
bool layerAngle(double c, double vp, double& angle) {
  const double s = c / vp;
  if (!(s > 0.0) || s >= 1.0) return false;
  angle = std::asin(s);
  return true;
}

// Time (s) across a layer of thickness t (in) and sound speed c: along the
// refracted ray, or straight across when the layer carries a plate wave.
double layerTime(double thickness, double c, double vp, double plateSpeed) {
  if (!(thickness > 0.0) || !(c > 1.0)) return 0.0;
  double angle = 0.0;
  if (layerAngle(c, vp, angle)) return thickness / (c * std::cos(angle));
  return thickness / plateSpeed;
}

// Axial offset (in) of a ray crossing a layer.
double layerTravel(double thickness, double c, double vp) {
  double angle = 0.0;
  if (!(thickness > 0.0) || !layerAngle(c, vp, angle)) return 0.0;
  return thickness * std::tan(angle);
}

struct Geometry {
  double vp = 0.0;
  double cw = 0.0;
  double di = 0.0;
  double angle = 0.0;  // fluid
  int traverses = 2;
  double travel = 0.0;  // axial, exit point to exit point, in
  double fluidTime = 0.0;
  double totalTime = 0.0;
};

Geometry pathGeometry(SensorFamily family, const SensorSize& size, double diameter, double wall,
                      double liner, double wallSpeed, double linerSpeed, double soundSpeed,
                      int traverses) {
  Geometry g;
  const SensorFamilyInfo info = sensorFamilyInfo(family);
  g.cw = info.wedgeSpeed;
  g.vp = sensorPhaseVelocity(family);
  g.di = diameter - 2.0 * (wall + liner);
  g.traverses = traverses;
  if (!layerAngle(soundSpeed, g.vp, g.angle)) g.angle = std::numbers::pi / 2 * 0.999;
  const double plate = family == SensorFamily::Rs7327 ? kRsReferenceSpeed : wallSpeed;
  // The beam crosses the wall and the liner once going in and once coming out.
  g.travel = traverses * g.di * std::tan(g.angle) +
             2.0 * (layerTravel(wall, wallSpeed, g.vp) + layerTravel(liner, linerSpeed, g.vp));
  g.fluidTime = traverses * g.di / (soundSpeed * std::cos(g.angle));
  // g1 stands for the ray's length in each wedge.
  g.totalTime = g.fluidTime +
                2.0 * (layerTime(wall, wallSpeed, g.vp, plate) +
                       layerTime(liner, linerSpeed, g.vp, linerSpeed)) +
                2.0 * size.g1 / g.cw;
  return g;
}

// The sensor's beam width at the pipe (in): the receiving sensor still takes
// the beam when its landing point moves by half of it.
double beamWidth(const SensorSize& size) { return size.g1; }

// Length of the mounting track (in) and the step of its index positions (in;
// 0 for a track set anywhere). The 7327RS wedges carry their index mark g2
// ahead of the beam exit point.
double trackLength(SensorFamily family, const SensorSize& size) {
  return family == SensorFamily::Rs7327 ? size.g3 : size.g2;
}
double trackStep(SensorFamily family, const SensorSize& size) {
  return family == SensorFamily::Rs7327 ? 0.0 : size.g3;
}
double indexCorrection(SensorFamily family, const SensorSize& size) {
  return family == SensorFamily::Rs7327 ? size.g2 : 0.0;
}

constexpr int kSpacingOffsets = 4;

bool sameSide(int mount) { return mount == kMountReflect || mount == kMountFourPass; }

// A same-side path fits when the two sensors, facing each other, keep g1 of
// clearance between their exit points and the spacing is within the four
// track offsets; the 7327 Univ. reflect path also needs a wall no thicker than
// the size's wall constant (two wall crossings more than a direct path would
// otherwise lose the signal).
bool reflectFits(SensorFamily family, const SensorSize& size, const Geometry& g, double wall) {
  if (g.travel < size.g1) return false;
  if (g.travel + indexCorrection(family, size) > kSpacingOffsets * trackLength(family, size))
    return false;
  if (family == SensorFamily::Universal7327 && wall > size.wallConstant) return false;
  return true;
}

// Coupling range of a size: the 7327RS sizes take their wall band; a
// universal size couples through walls up to four times its wall constant
// (648: 0.75 in per inch of g1, its beam width).
bool wallInCouplingRange(SensorFamily family, const SensorSize& size, double wall) {
  if (family == SensorFamily::Rs7327) return wall > size.wallFrom && wall <= size.wallTo;
  const double limit =
      family == SensorFamily::Universal7327 ? 4.0 * size.wallConstant : 0.75 * size.g1;
  return wall <= limit;
}

// A size couples when the fluid takes a refracted beam (a margin below the
// limit for the 7327RS wedges, whose beam grazes otherwise), the bore is at
// least three wavelengths wide for a beam to form, and the wall is no more
// than 40 shear wavelengths thick (attenuation).
bool couplingTest(SensorFamily family, const SensorSize& size, double diameter, double wall,
                  double liner, double wallSpeed, double soundSpeed) {
  const double vp = sensorPhaseVelocity(family);
  const double margin = family == SensorFamily::Rs7327 ? kRsLimitMargin : 1.0;
  if (!(soundSpeed * margin < vp)) return false;
  const double di = diameter - 2.0 * (wall + liner);
  if (di * size.frequency / soundSpeed < 3.0) return false;
  if (wall * size.frequency / wallSpeed > 40.0) return false;
  return true;
}

double timingRepeatability(double frequency, bool sFilter) {
  const double sigma = std::max(kTimingFloor, kTimingFractionOfPeriod / frequency);
  return sFilter ? sigma / 2.0 : sigma;
}

double reynoldsNumber(double velocity, double di, double centistokes) {
  if (!(centistokes > 0.0)) return 0.0;
  return std::fabs(velocity) * di / (centistokes * kSquareInchesPerSecondPerCentistoke);
}

bool inTransition(double reynolds) {
  return reynolds >= kTransitionStart && reynolds <= kTransitionEnd;
}

}  // namespace

double sizingStandardVolumeFactor(double temperature, double pressure, double Zb, double Zf) {
  if (temperature == 0.0 || Zf == 0.0) return 1.0;
  return (kBaseTemperatureK / temperature) * (pressure / kBasePressurePa) * (Zb / Zf);
}

double ammoniaSaturationK(double p) {
  return 232.3 + 0.7255 * p - 0.002176 * p * p + 2.535e-6 * p * p * p;
}

double ethyleneSaturationK(double p) {
  // The fitted line peaks near the critical pressure; a saturation line never
  // falls as the pressure rises, so it is held at its top beyond that.
  constexpr double kPeak = 0.2005 / (2 * 0.00013);
  p = std::min(p, kPeak);
  return 197.1 + 0.2005 * p - 0.00013 * p * p;
}

std::optional<SizingFailure> sizingGasPoint(int gasRow, const std::array<double, 21>& mixture,
                                            double temperature, double pressure, bool maximum,
                                            SizingPoint& point) {
  point.temperature = temperature;
  point.pressure = pressure;
  if (gasRow < 0 || gasRow >= kSizingGasCount) {
    return SizingFailure{std::string(kZFactorFailure) + ": Calculs AGA8", 11000};
  }
  if (gasRow == kAmmoniaGas || gasRow == kEthyleneGas) {
    const bool ammonia = gasRow == kAmmoniaGas;
    const double psia = pressure / kPascalsPerPsi;
    const double saturation = ammonia ? ammoniaSaturationK(psia) : ethyleneSaturationK(psia);
    if (temperature <= saturation) {
      std::string what = ammonia ? "Ammoniaque liquide" : "Ethylene liquide";
      what += maximum ? " avec debit, temperature et pression maximum"
                      : " avec debit, temperature et pression minimum";
      return SizingFailure{std::string(kZFactorFailure) + ": " + what, maximum ? 11002 : 11001};
    }
    const CompressibleGas& g = ammonia ? kAmmonia : kEthylene;
    point.Zf = virialZ(g, temperature, pressure);
    point.Zb = virialZ(g, kBaseTemperatureK, kBasePressurePa);
    if (!(point.Zf > 0.0) || !(point.Zb > 0.0)) {
      return SizingFailure{std::string(kZFactorFailure) + ": Calculs AGA8", kAga8ZNotPositive};
    }
    const double kgPerMol = g.molarMass / 1000.0;
    // Speed of sound of a real gas near the ideal: c^2 = gamma Z R T / M.
    point.soundSpeed = std::sqrt(g.heatRatio * point.Zf * kGasConstant * temperature / kgPerMol) *
                       kSizingInchesPerMetre;
    const double rhof = pressure * kgPerMol / (point.Zf * kGasConstant * temperature);
    point.idealRelativeDensity = g.molarMass / kAirMolarMass;
    point.baseRelativeDensity = rhof / kSizingAirBaseDensity;
  } else {
    GasRecord gas;
    if (gasRow == kNaturalGas) {
      gas.mixture = naturalGasMixture();
    } else if (gasRow == kAga8CompositionGas) {
      gas.mixture = mixture;
    } else {
      gas.mixture[static_cast<std::size_t>(aga8ComponentOf(gasRow))] = 1.0;
    }
    gas.Tb = kBaseTemperatureK;
    gas.Pb = kBasePressurePa;
    gas.Tf = temperature;
    gas.Pf = pressure;
    gas.forceUpdate = 1;
    aga8Calculate(gas);
    if (gas.status != kAga8Normal) {
      return SizingFailure{std::string(kZFactorFailure) + ": Calculs AGA8", gas.status};
    }
    point.Zf = gas.Zf;
    point.Zb = gas.Zb;
    point.soundSpeed = gas.speedOfSound * kSizingInchesPerMetre;
    point.idealRelativeDensity = gas.molarMass / kAirMolarMass;
    point.baseRelativeDensity = gas.Rhof / kSizingAirBaseDensity;
  }
  point.standardVolumeFactor =
      sizingStandardVolumeFactor(temperature, pressure, point.Zb, point.Zf);
  point.density = point.baseRelativeDensity * kSizingAirBaseDensity * kLbPerInch3PerKgPerM3;
  return std::nullopt;
}

double sizingClampMinimumPressure(int pipe, double soundSpeed, double relativeDensity,
                                  double frequency, double wall, double diameter,
                                  double co2Percent) {
  const SizingMaterial& material = sizingPipeMaterial(pipe);
  if (material.nonMetal && pipe != kGlassPipeRow) return 99973.980705;
  const double molarMass = relativeDensity * kAirMolarMass;
  const double u = frequency / 1e6;
  if (!(soundSpeed > 0.0) || !(molarMass > 0.0) || !(u > 0.0) || !(wall > 0.0) ||
      !(diameter > 0.0)) {
    return -1.0;
  }
  double kmat = 1.0;
  if (pipe == kAluminiumRow) kmat = 0.12537997885983235;
  if (pipe == kTitaniumRow) kmat = 0.40080185043555006;
  const double a = 5.1937 - 15.758 * u + 18.427 * u * u - 8.5558 * std::pow(u, 3) +
                   1.8471 * std::pow(u, 4) - 0.1528 * std::pow(u, 5);
  const double psi = kmat * 63.0 * 400200.0 / (soundSpeed * molarMass) * a *
                         std::max(std::pow(20.0 * wall / diameter, 1.5), 1.0) *
                         (1.0 + co2Percent / 20.0) +
                     14.5;
  return psi * kPascalsPerPsi;
}

std::vector<bool> sizingSuitableTypes(SizingMode mode, double maxTemperature, int pipe, double wall,
                                      double diameter) {
  const auto types = sensorTypes(mode);
  std::vector<bool> suitable(types.size(), false);
  const SizingMaterial& material = sizingPipeMaterial(pipe);
  const double w = wall > 0.0 ? wall : 0.001;
  for (std::size_t t = 0; t < types.size(); ++t) {
    const SensorType& type = types[t];
    if (mode == SizingMode::Gas) {
      if (maxTemperature > kGasTypeLimitK) continue;
      if (!isRsType(type)) {
        suitable[t] = true;
      } else if (material.nonMetal) {
        suitable[t] = true;
      } else if (pipe == kSteelRow) {
        suitable[t] = w >= 0.025 && w <= 1.0 && diameter / w >= 9.0;
      }
    } else {
      if (maxTemperature > kLiquidAnyTypeLimitK) continue;
      if (type.family == SensorFamily::Universal648) {
        suitable[t] = true;
        continue;
      }
      if (maxTemperature > kGasTypeLimitK) continue;
      if (!isRsType(type)) {
        suitable[t] = true;
      } else {
        suitable[t] = pipe == kSteelRow && w >= 0.025 && w <= 0.9 && diameter / w >= 10.0;
      }
    }
  }
  return suitable;
}

int sizingRecommendedType(SizingMode mode, const std::vector<bool>& suitable,
                          double meanTemperature) {
  const auto types = sensorTypes(mode);
  const double d70 = std::fabs(meanTemperature - k70F);
  const double d140 = std::fabs(meanTemperature - k140F);
  const double d200 = std::fabs(meanTemperature - k200F);
  int chosen = -1;
  for (std::size_t t = 0; t < types.size() && t < suitable.size(); ++t) {
    if (!suitable[t]) continue;
    const std::string name = types[t].name;
    bool match = !isRsType(types[t]);
    if (name == "7327RS-T1") match = d70 < d140;
    if (name == "7327RS-T2") match = d140 <= d70 && d140 < d200;
    if (name == "7327RS-T3") match = d200 <= d140;
    if (match) chosen = static_cast<int>(t);
  }
  return chosen;
}

std::vector<int> sizingRankSizes(SizingMode mode, SensorFamily family, int pipe, double diameter,
                                 double wall, double liner, double soundSpeed, int& accepted) {
  const auto sizes = sensorSizes(mode, family);
  const int count = std::min<int>(static_cast<int>(sizes.size()), 50);
  const SizingMaterial& material = sizingPipeMaterial(pipe);
  const double cs = material.shearSpeed;
  const double vp = sensorPhaseVelocity(family);
  std::vector<int> good;
  std::vector<int> rejected;
  auto couples = [&](const SensorSize& s) {
    return couplingTest(family, s, diameter, wall, liner, cs, soundSpeed);
  };

  if (isUniversalFamily(family) || vp / cs > 1.0) {
    // Score each size by how far its frequency lies from a wall resonance.
    const double sinTheta = cs / vp;
    const double cosTheta = std::sqrt(std::max(0.0, 1.0 - sinTheta * sinTheta));
    const double f0 = cs / (2.0 * wall * cosTheta);
    std::vector<double> score(static_cast<std::size_t>(count), 0.0);
    for (int j = 0; j < count; ++j) {
      const SensorSize& s = sizes[static_cast<std::size_t>(j)];
      bool reject = false;
      double n = std::max(1.0, std::round(s.frequency / f0));
      double sc = std::fabs(n * f0 / s.frequency * 100.0 - 100.0) + 10.0;
      if (material.nonMetal) {
        sc = (count - 1.0) / (j + 1.0) + 5.0;
      } else {
        if (sc > 30.0 || !std::isfinite(sc)) reject = true;
        if (n > 2.0) sc *= n;
      }
      if (!(s.maxOd > 0.0) || !(s.minOd > 0.0) || diameter > s.maxOd || diameter <= s.minOd ||
          !couples(s)) {
        reject = true;
      }
      score[static_cast<std::size_t>(j)] = sc;
      (reject ? rejected : good).push_back(j);
    }
    // Neighbours exchanged until in order: equal scores keep the family order.
    for (std::size_t pass = 0; pass < good.size(); ++pass) {
      for (std::size_t i = 0; i + 1 < good.size(); ++i) {
        if (score[static_cast<std::size_t>(good[i + 1])] < score[static_cast<std::size_t>(good[i])])
          std::swap(good[i], good[i + 1]);
      }
    }
  } else {
    for (int j = 0; j < count; ++j) {
      const SensorSize& s = sizes[static_cast<std::size_t>(j)];
      const bool fits = material.nonMetal ? diameter >= s.minOd && diameter <= s.maxOd
                                          : wall > s.wallFrom && wall <= s.wallTo;
      (fits && couples(s) ? good : rejected).push_back(j);
    }
    if (mode == SizingMode::Gas && good.size() > 1) {
      // Gas: the size whose diameter band has its middle nearest the pipe
      // first; sizes without a band after those with one.
      auto distance = [&](int j) {
        const SensorSize& s = sizes[static_cast<std::size_t>(j)];
        if (!(s.gasBandTo > 0.0)) return 1e300;
        return std::fabs(diameter - (s.gasBandFrom + s.gasBandTo) / 2.0);
      };
      std::stable_sort(good.begin(), good.end(),
                       [&](int a, int b) { return distance(a) < distance(b); });
    }
    if (good.size() > 1 && diameter / wall > 35.0) std::swap(good.front(), good.back());
  }
  accepted = static_cast<int>(good.size());
  std::vector<int> order = good;
  order.insert(order.end(), rejected.begin(), rejected.end());
  if (mode == SizingMode::Gas && family == SensorFamily::Rs7327 && material.nonMetal &&
      good.empty() && count > 0) {
    const SensorSize& last = sizes[static_cast<std::size_t>(count - 1)];
    if (diameter > last.gasBandTo) {
      std::rotate(order.begin(), order.end() - 1, order.end());
    }
  }
  return order;
}

std::optional<std::string> sizingSoundSpeedLimit(SizingMode mode, SensorFamily family,
                                                 double soundSpeed, int velocityUnit) {
  const double upper = sensorPhaseVelocity(family);
  if (!(soundSpeed > upper)) return std::nullopt;
  const double lower = mode == SizingMode::Gas ? 3937.007874 : 15748.0314;
  const double scale = velocityUnit == kSizingFeetPerSecond ? 12.0 : kSizingInchesPerMetre;
  const char* unit = velocityUnit == kSizingFeetPerSecond ? "pieds/s" : "metres/s";
  auto text = [](double value) {
    // Rounded up at the fourth decimal, trailing zeros dropped.
    std::string t = fixedNumberText(std::ceil(value * 10000.0 - 1e-6) / 10000.0, 4);
    while (!t.empty() && t.back() == '0') t.pop_back();
    if (!t.empty() && t.back() == '.') t.pop_back();
    return t;
  };
  return std::string(kSizingSoundSpeedMessage) + "\n\n" + text(lower / scale) + " " + unit +
         " <= Vs < " + text(upper / scale) + " " + unit;
}

std::span<const char* const> sizingMounts(SizingMode mode) {
  static constexpr const char* kGas[] = {"Direct", "Refleter", "3-pass-direct", "4-pass-refl."};
  if (mode == SizingMode::Gas) return kGas;
  return std::span<const char* const>(kGas).first(2);
}

int sizingTraverses(int mount) { return std::clamp(mount, 0, 3) + 1; }

double sizingProfileFactor(double reynolds) {
  constexpr double kLaminar = 0.75;  // parabolic profile: the diameter sees 4/3 of the mean
  auto turbulent = [](double re) { return 1.0 / (1.119 - 0.011 * std::log10(re)); };
  if (reynolds <= kTransitionStart) return kLaminar;
  if (reynolds >= kTransitionEnd) return turbulent(reynolds);
  const double x =
      std::log(reynolds / kTransitionStart) / std::log(kTransitionEnd / kTransitionStart);
  return kLaminar + x * (turbulent(kTransitionEnd) - kLaminar);
}

double sizingRepeatabilityPercent(const SizingResults& r, double velocity, double reynolds) {
  if (!(velocity > 0.0)) return 100.0;
  const double k = sizingProfileFactor(reynolds);
  const SizingPoint& p = r.points[0];
  const double c = p.soundSpeed > 0.0 ? p.soundSpeed : 1.0;
  const double lever = 2.0 * sizingTraverses(r.mount) * r.innerDiameter * std::tan(r.fluidAngle);
  const double timing = lever > 0.0 ? k * r.timeRepeatability * c * c / lever : 0.0;
  // The profile itself wanders: little in settled laminar or turbulent flow,
  // much while it switches between the two.
  const double profile = inTransition(reynolds)        ? 0.01
                         : reynolds < kTransitionStart ? 0.001
                                                       : 0.002;
  const double percent = 100.0 * std::hypot(timing, profile * velocity) / velocity;
  return std::min(percent, 100.0);
}

bool SizingResults::anyProblem() const {
  return std::any_of(problems.begin(), problems.end(), [](bool b) { return b; });
}

std::optional<SizingFailure> sizingCalculate(const SizingInput& in, SizingResults& r) {
  const SizingMode mode = in.mode;
  r = SizingResults{};
  r.mode = mode;
  r.choices = in.choices;
  r.sFilter = in.sFilter;
  const bool gas = mode == SizingMode::Gas;
  const SizingEntries& e = in.entries;
  const double diameter = e.value(mode, SizingRole::OutsideDiameter);
  const double wall = e.value(mode, SizingRole::Wall);
  const int pipe = in.choices.safe(mode, kSizingPipeMaterial);
  const int linerIndex = in.choices.safe(mode, kSizingLinerMaterial);
  const double liner = linerIndex == 0 ? 0.0 : e.value(mode, SizingRole::Liner);
  const double estimatedVs = e.value(mode, SizingRole::SoundSpeed);
  const double viscosity = e.value(mode, SizingRole::Viscosity);
  const int fluid = in.choices.safe(mode, kSizingFluid);
  const int volumeUnit = in.choices.safe(mode, kSizingVolumeMassUnit);
  const int timeUnit = in.choices.safe(mode, kSizingTimeUnit);
  const SizingMaterial& pipeMaterial = sizingPipeMaterial(pipe);
  const SizingMaterial& linerMaterial = sizingLinerMaterial(linerIndex);
  r.innerDiameter = diameter - 2.0 * (wall + liner);
  const double area = std::numbers::pi * r.innerDiameter * r.innerDiameter / 4.0;

  // Fluid at the two operating points.
  const SizingRole temperatures[2] = {SizingRole::MinimumTemperature,
                                      SizingRole::MaximumTemperature};
  const SizingRole pressures[2] = {SizingRole::MinimumPressure, SizingRole::MaximumPressure};
  const SizingRole flows[2] = {SizingRole::MinimumFlow, SizingRole::MaximumFlow};
  std::array<double, 21> mixture{};
  double co2Percent = 0.0;
  if (gas && fluid == kAga8CompositionGas) {
    for (int c = 0; c < kAga8CompositionEntryCount; ++c) {
      mixture[static_cast<std::size_t>(aga8EntryComponent(c))] =
          e.values[static_cast<std::size_t>(kSizingGasCompositionFirst + c)];
    }
    co2Percent = mixture[kAga8CarbonDioxide] * 100.0;
    r.problems[kProblemCarbonDioxide] = co2Percent > 10.0;
    r.problems[kProblemHydrogenSulphide] = mixture[kAga8HydrogenSulphide] > 0.2;
  } else if (gas && fluid == kNaturalGas) {
    co2Percent = 0.5956;
  }
  for (int i = 0; i < 2; ++i) {
    SizingPoint& p = r.points[i];
    const double t = e.value(mode, temperatures[i]);
    if (gas) {
      if (auto failure = sizingGasPoint(fluid, mixture, t, e.value(mode, pressures[i]), i == 1, p))
        return failure;
      p.kinematicViscosity =
          p.density > 0.0 ? 1000.0 * viscosity / (p.density / kLbPerInch3PerKgPerM3) : 0.0;
    } else {
      p.temperature = t;
      p.soundSpeed = estimatedVs;
      p.density = e.value(mode, SizingRole::Density) * kWaterLbPerCubicInch;
      p.kinematicViscosity = viscosity;
      p.standardVolumeFactor = 1.0;
    }
    p.flow = e.value(mode, flows[i]);
    const SizingFlowBasis basis{area, p.density, p.standardVolumeFactor};
    const std::optional<double> actual =
        sizingFlowToActual(mode, p.flow, volumeUnit, timeUnit, basis);
    if (!actual) return SizingFailure{kConversionFailure, -1};
    p.actualFlow = *actual;
    p.velocity = area > 0.0 ? p.actualFlow / area : 0.0;
    p.reynolds = reynoldsNumber(p.velocity, r.innerDiameter, p.kinematicViscosity);
  }

  // Type.
  const double tMin = e.value(mode, SizingRole::MinimumTemperature);
  const double tMax = e.value(mode, SizingRole::MaximumTemperature);
  const double hottest = std::max(tMin, tMax);
  const double coldest = std::min(tMin, tMax);
  r.suitable = sizingSuitableTypes(mode, hottest, pipe, wall, diameter);
  r.recommendedType = sizingRecommendedType(mode, r.suitable, (tMin + tMax) / 2.0);
  const auto types = sensorTypes(mode);
  const int fallback = gas ? 1 : 0;
  r.type = r.recommendedType >= 0 ? r.recommendedType : fallback;
  if (in.user.type >= 0 && in.user.type < static_cast<int>(types.size())) r.type = in.user.type;
  const SensorType& type = types[static_cast<std::size_t>(r.type)];
  const SensorFamily family = type.family;
  if (auto message = sizingSoundSpeedLimit(mode, family, estimatedVs,
                                           in.choices.safe(mode, kSizingVelocityUnit))) {
    return SizingFailure{*message, -1};
  }

  // Size.
  r.sizeOrder =
      sizingRankSizes(mode, family, pipe, diameter, wall, liner, estimatedVs, r.acceptedSizes);
  const auto sizes = sensorSizes(mode, family);
  r.size = r.sizeOrder.empty() ? 0 : r.sizeOrder.front();
  if (in.user.size >= 0 && in.user.size < static_cast<int>(sizes.size())) r.size = in.user.size;
  const SensorSize& size = sizes[static_cast<std::size_t>(r.size)];
  const bool haveSize = r.acceptedSizes > 0 || in.user.size >= 0;

  auto geometryFor = [&](int mount) {
    return pathGeometry(family, size, diameter, wall, liner, pipeMaterial.shearSpeed,
                        linerMaterial.shearSpeed, estimatedVs, sizingTraverses(mount));
  };

  // Mount.
  int mount = kMountReflect;
  if (gas) {
    if (!haveSize) {
      // No size fits: decide on the bore against the wall and liner the beam
      // crosses twice per path. Thin walls on a wide bore lose little in the
      // wall, so the single crossing of a direct path is enough; a narrow bore
      // behind thick walls needs four traverses for a time difference above
      // the wall-borne noise.
      const double ratio = r.innerDiameter / (2.0 * (wall + liner));
      if (ratio > 10.0 || pipe != kSteelRow) {
        mount = kMountDirect;
      } else if (ratio < 4.0 && r.innerDiameter < 12.5) {
        mount = kMountFourPass;
      }
    } else if (diameter > 144.0 || diameter > size.maxOd || pipeMaterial.nonMetal ||
               !reflectFits(family, size, geometryFor(kMountReflect), wall)) {
      mount = kMountDirect;
    }
  } else if (diameter / wall < 12.3 || diameter < 0.56 || pipeMaterial.nonMetal) {
    mount = kMountDirect;
  }
  const int mountCount = static_cast<int>(sizingMounts(mode).size());
  if (in.user.mount >= 0 && in.user.mount < mountCount) mount = in.user.mount;
  r.mount = mount;

  // Path and spacing.
  const Geometry g = geometryFor(mount);
  r.fluidAngle = g.angle;
  r.transitTimeFluid = g.fluidTime;
  r.transitTimeTotal = g.totalTime;
  r.spacingLength = g.travel + indexCorrection(family, size);
  const double track = trackLength(family, size);
  r.spacing = track > 0.0 ? std::clamp(static_cast<int>(std::floor(r.spacingLength / track)), 0,
                                       kSpacingOffsets - 1)
                          : 0;
  if (in.user.spacing >= 0 && in.user.spacing < kSpacingOffsets) r.spacing = in.user.spacing;
  const double step = trackStep(family, size);
  const double onTrack = r.spacingLength - r.spacing * track;
  r.indexNumber = step > 0.0 ? static_cast<int>(std::lround(std::max(0.0, onTrack) / step)) : 0;

  // Timing and the figures derived from it.
  r.timeRepeatability = timingRepeatability(size.frequency, in.sFilter);
  const double lever = 2.0 * g.traverses * g.di * std::tan(g.angle);  // dt = lever V / (K c^2)
  for (SizingPoint& p : r.points) {
    const double k = sizingProfileFactor(p.reynolds);
    const double c = p.soundSpeed;
    p.cyclesDt = c > 0.0 ? lever * p.velocity / (k * c * c) * size.frequency : 0.0;
    p.repeatability = lever > 0.0 ? k * r.timeRepeatability * c * c / lever : 0.0;
  }
  // The sound speed change that moves the fluid transit time by one cycle:
  // TN = N Di / (c sqrt(1 - s^2)) with s = c / Vp, so
  // |dTN/dc| = N Di |1 - 2 s^2| / (c^2 (1 - s^2)^1.5).
  {
    const double s = estimatedVs / g.vp;
    const double slope = g.traverses * g.di * std::fabs(1.0 - 2.0 * s * s) /
                         (estimatedVs * estimatedVs * std::pow(1.0 - s * s, 1.5));
    r.oneCycleSoundSpeed = slope > 0.0 ? 1.0 / (size.frequency * slope) : 0.0;
  }
  // Sound speeds that keep the beam on the receiver: the landing point may
  // move by half the beam width either way.
  {
    const double half = beamWidth(size) / 2.0;
    const double across = g.traverses * g.di;
    const double s0 = across * std::tan(g.angle);
    auto speedFor = [&](double travel) {
      if (!(travel > 0.0)) return 0.0;
      const double t = travel / across;
      return g.vp * t / std::sqrt(1.0 + t * t);
    };
    r.soundSpeedLow = speedFor(s0 - half);
    r.soundSpeedHigh = speedFor(s0 + half);
  }
  // Highest velocity: the flow carries the wave downstream by V x TN; past
  // half the beam width the receiver loses it. Never more than the meter's
  // own velocity range.
  {
    const double drift = g.fluidTime > 0.0 ? beamWidth(size) / 2.0 / g.fluidTime : 0.0;
    r.maximumVelocity = std::min(drift, gas ? kGasVelocityRange : kLiquidVelocityRange);
  }

  // Flows in the user's unit.
  auto toFlowUnit = [&](double velocity, const SizingPoint& p) {
    const SizingFlowBasis basis{area, p.density, p.standardVolumeFactor};
    return sizingFlowFromActual(mode, velocity * area, volumeUnit, timeUnit, basis).value_or(0.0);
  };
  r.flowRepeatability = toFlowUnit(r.points[0].repeatability, r.points[0]);
  r.flowLimitLow = toFlowUnit(r.points[0].repeatability / 0.02, r.points[0]);
  r.flowLimitHigh = toFlowUnit(r.maximumVelocity, r.points[1]);
  r.reynoldsOneFlow =
      toFlowUnit(r.points[0].kinematicViscosity * kSquareInchesPerSecondPerCentistoke /
                     std::max(r.innerDiameter, 1e-9),
                 r.points[0]);

  // Gas installation figures.
  if (gas) {
    const double relativeDensity = fluid == kAga8CompositionGas
                                       ? r.points[0].idealRelativeDensity
                                       : kSizingGases[fluid].relativeDensity;
    r.clampMinimumPressure = sizingClampMinimumPressure(
        pipe, r.points[0].soundSpeed, relativeDensity, size.frequency, wall, diameter, co2Percent);
    const double coldestPressure = std::min(e.value(mode, SizingRole::MinimumPressure),
                                            e.value(mode, SizingRole::MaximumPressure));
    r.problems[kProblemClampPressure] =
        r.clampMinimumPressure > 0.0 && coldestPressure < r.clampMinimumPressure;
    // Wall-borne sound rings around a metal pipe and reaches the receiver
    // before the gas path does; damping sheets of 0.08 in, one per quarter
    // inch of wall, absorb it. Plastics damp it themselves.
    if (!pipeMaterial.nonMetal) {
      r.dampingLayers = std::clamp(static_cast<int>(std::ceil(wall / 0.25)), 1, 8);
      r.dampingThickness = 0.08 * r.dampingLayers;
    }
  }

  // Problems.
  const double vmax = r.points[1].velocity;
  r.problems[kProblemMaximumDiameter] = diameter > size.maxOd;
  r.problems[kProblemMinimumDiameter] = diameter <= size.minOd;
  r.problems[kProblemPipeTooSmall] = (sameSide(mount) && g.travel < size.g1) ||
                                     r.innerDiameter * size.frequency / estimatedVs < 3.0;
  r.problems[kProblemFlowAboveLimit] = vmax > r.maximumVelocity;
  r.problems[kProblemAccuracyAtMinimumFlow] =
      r.points[0].flow == 0.0 || r.flowRepeatability / r.points[0].flow > 0.02;
  const std::string typeName = type.name;
  double hot = gas ? k250F : kLiquidAnyTypeLimitK;
  if (!gas && family != SensorFamily::Universal648) hot = k250F;
  if (typeName == "7327RS-T1") hot = k150F;
  if (typeName == "7327RS-T2") hot = k220F;
  double cold = kMinus40F;
  if (typeName == "7327RS-T2") cold = k30F;
  if (typeName == "7327RS-T3") cold = k90F;
  r.problems[kProblemTemperatureHigh] = hottest > hot;
  r.problems[kProblemTemperatureLow] = coldest < cold;
  r.problems[kProblemPoorCoupling] = !wallInCouplingRange(family, size, wall);
  r.problems[kProblemWallRatio] = !pipeMaterial.nonMetal && diameter / wall < 10.0;
  r.problems[kProblemWallTooThick] = family == SensorFamily::Rs7327 && wall > 1.25;
  r.problems[kProblemSmallPipe] = diameter <= (gas ? 1.0 : 0.25);
  r.problems[kProblemReynoldsTransition] =
      inTransition(r.points[0].reynolds) || inTransition(r.points[1].reynolds);
  r.valid = true;
  return std::nullopt;
}

}  // namespace tarnlux
