#pragma once

// Natural gas properties from composition, pressure and temperature: the
// AGA Report No. 8 detail characterization equation of state, with the
// AGA Report No. 10 caloric, speed-of-sound and critical-flow relations.

#include <array>
#include <cstdint>
#include <memory>

namespace tarnlux {

// Result codes of the computation, kept in GasRecord::status.
inline constexpr int kAga8Normal = 9000;
inline constexpr int kAga8PartsCreated = 9001;
inline constexpr int kAga8PartsAllocationFailed = 9002;
inline constexpr int kAga8ZNotPositive = 9003;  // also: conditions or composition unusable
inline constexpr int kAga8IterationLimit = 9004;
inline constexpr int kAga8PressureNotRising = 9005;
// Passing the largest allowed density only switches the density search to
// smaller steps; it never ends a calculation.
inline constexpr int kAga8MaxDensityPassed = 9006;

inline constexpr int kAga8ComponentCount = 21;

// Component order of GasRecord::mixture.
enum Aga8Component : int {
  kAga8Methane,
  kAga8Nitrogen,
  kAga8CarbonDioxide,
  kAga8Ethane,
  kAga8Propane,
  kAga8Water,
  kAga8HydrogenSulphide,
  kAga8Hydrogen,
  kAga8CarbonMonoxide,
  kAga8Oxygen,
  kAga8IButane,
  kAga8NButane,
  kAga8IPentane,
  kAga8NPentane,
  kAga8NHexane,
  kAga8NHeptane,
  kAga8NOctane,
  kAga8NNonane,
  kAga8NDecane,
  kAga8Helium,
  kAga8Argon,
};

// Range accepted for the flowing (and table) pressure and temperature.
inline constexpr double kAga8MaxPressurePa = 1.379e8;
inline constexpr double kAga8MinTemperatureK = 143.0;
inline constexpr double kAga8MaxTemperatureK = 473.15;

// The composition total must lie within 100 % +/- 0.01 %.
inline constexpr double kAga8MinCompositionTotal = 0.9999;
inline constexpr double kAga8MaxCompositionTotal = 1.0001;

// One gas: composition and conditions in, properties out. The AGA8 screen and
// the gas sensor tool each own one.
struct GasRecord {
  std::int32_t status = kAga8Normal;
  // Set before each computation: the composition terms are redone. Cleared by it.
  std::uint8_t forceUpdate = 1;
  std::array<double, kAga8ComponentCount> mixture{};  // mole fractions
  double Pb = 0;                                      // base pressure, Pa absolute
  double Tb = 0;                                      // base temperature, K
  double Pf = 0;                                      // flowing pressure, Pa absolute
  double Tf = 0;                                      // flowing temperature, K

  double molarMass = 0;  // g/mol
  double Zb = 0;
  double Zf = 0;
  double Fpv = 0;           // sqrt(Zb / Zf)
  double Db = 0;            // mol/dm3
  double Df = 0;            // mol/dm3
  double Rhob = 0;          // kg/m3
  double Rhof = 0;          // kg/m3
  double RDideal = 0;       // relative density, ideal gas
  double RDreal = 0;        // relative density, real gas
  double Ho = 0;            // ideal-gas specific enthalpy, J/kg
  double H = 0;             // specific enthalpy, J/kg
  double S = 0;             // specific entropy, J/(kg K), ideal-gas reference 101.325 kPa
  double Cpi = 0;           // ideal-gas Cp, J/(kg K)
  double Cp = 0;            // J/(kg K)
  double Cv = 0;            // J/(kg K)
  double k = 0;             // Cp/Cv
  double kappa = 0;         // isentropic exponent
  double speedOfSound = 0;  // m/s
  double Cstar = 0;         // critical flow factor
};

double aga8CompositionTotal(const GasRecord& gas);
bool aga8CompositionTotalOk(double total);

// The computation with its two working parts (equation of state and
// thermodynamics). It keeps the composition terms and the base and flowing
// results of its last call and recomputes each only when its inputs changed
// (conditions by more than 0.001 Pa or K), so a table over one gas costs one
// composition set-up and one base solution.
class Aga8Calculator {
 public:
  Aga8Calculator();
  ~Aga8Calculator();
  Aga8Calculator(const Aga8Calculator&) = delete;
  Aga8Calculator& operator=(const Aga8Calculator&) = delete;

  // Fills every output of the record and its status (kAga8Normal or a failure
  // code); returns C* (0 on failure).
  double calculate(GasRecord& gas, double plenumVelocity = 0.0);

  // Temperature (K) and pressure (Pa) of the record's gas with specific
  // enthalpy h (J/kg) and entropy s (J/(kg K)). Searched near the record's
  // flowing state when nearFlowingState, else over the whole accepted range.
  // Returns kAga8Normal or a failure code.
  int stateFromEnthalpyEntropy(const GasRecord& gas, double h, double s, bool nearFlowingState,
                               double& temperatureK, double& pressurePa);

 private:
  struct Parts;
  std::unique_ptr<Parts> parts_;
};

// The program's one computation, created on first use and kept to the end.
// Fills the record as Aga8Calculator::calculate does; when the working parts
// cannot be created the status is kAga8PartsAllocationFailed and it returns 0.
double aga8Calculate(GasRecord& gas, double plenumVelocity = 0.0);

}  // namespace tarnlux
