#pragma once

// The fixed tables of the gas and liquid sensor sizing tools: pipe and liner
// materials, gases, liquids, sensor types, families and sizes.

#include <span>

namespace tarnlux {

enum class SizingMode { Gas, Liquid };

// Pipe and liner materials: rows 0..20 are pipes, 21..29 liners.
struct SizingMaterial {
  const char* name;
  double shearSpeed;  // in/s
  bool nonMetal;
};
inline constexpr int kSizingMaterialCount = 30;
inline constexpr int kSizingPipeMaterialCount = 21;
inline constexpr int kSizingLinerMaterialCount = 9;
inline constexpr int kSizingFirstLinerRow = 21;
extern const SizingMaterial kSizingMaterials[kSizingMaterialCount];
enum SizingMaterialRow : int {
  kSteelRow = 0,
  kAluminiumRow = 2,
  kGlassPipeRow = 11,
  kTitaniumRow = 20,
  kNoLinerRow = 21,
};
const SizingMaterial& sizingPipeMaterial(int pipeIndex);    // 0..20
const SizingMaterial& sizingLinerMaterial(int linerIndex);  // 0..8 (row 21 + index)

// Gases: sound speed m/s, absolute viscosity cP, relative density.
struct SizingGas {
  const char* name;
  double soundSpeed;
  double viscosity;
  double relativeDensity;
};
inline constexpr int kSizingGasCount = 13;
extern const SizingGas kSizingGases[kSizingGasCount];
enum SizingGasRow : int {
  kAmmoniaGas = 0,
  kArgonGas,
  kCarbonMonoxideGas,
  kEthaneGas,
  kHeliumGas,
  kHydrogenGas,
  kMethaneGas,
  kNaturalGas,
  kNitrogenGas,
  kOxygenGas,
  kPropaneGas,
  kEthyleneGas,
  kAga8CompositionGas,
};

// Liquids: sound speed m/s, kinematic viscosity cS, relative density.
struct SizingLiquid {
  const char* name;
  double soundSpeed;
  double viscosity;
  double relativeDensity;
};
inline constexpr int kSizingLiquidCount = 107;
inline constexpr int kSizingDefaultLiquid = 92;  // "Eau (20C)"
extern const SizingLiquid kSizingLiquids[kSizingLiquidCount];

// Sensor families: wedge sound speed (in/s) and wedge angle (rad).
enum class SensorFamily { Universal7327, Universal648, Rs7327 };
struct SensorFamilyInfo {
  double wedgeSpeed;
  double wedgeAngle;
};
SensorFamilyInfo sensorFamilyInfo(SensorFamily family);
// Phase velocity along the pipe: the largest fluid sound speed the family can refract into.
double sensorPhaseVelocity(SensorFamily family);
inline bool isUniversalFamily(SensorFamily family) { return family != SensorFamily::Rs7327; }
// The 7327RS wall-mode reference speed and the margin kept below their limit.
inline constexpr double kRsReferenceSpeed = 232000.0;  // in/s
inline constexpr double kRsLimitMargin = 1.048;

// One sensor size. Lengths in inches, frequency in Hz. A wall band and a gas
// OD band of 0..0 mean none.
struct SensorSize {
  const char* name;
  double g1;
  double g2;
  double g3;
  double wallConstant;  // 7327 Univ. only
  double minOd;
  double maxOd;
  double wallFrom;
  double wallTo;
  double frequency;
  double gasBandFrom;
  double gasBandTo;
};

// Types of a mode, in list order.
struct SensorType {
  const char* name;
  SensorFamily family;
};
std::span<const SensorType> sensorTypes(SizingMode mode);
// The sizes a type offers in a mode, in family order.
std::span<const SensorSize> sensorSizes(SizingMode mode, SensorFamily family);

// The 7327RS temperature classes among the types.
inline bool isRsType(const SensorType& type) { return type.family == SensorFamily::Rs7327; }

}  // namespace tarnlux
