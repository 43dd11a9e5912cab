#pragma once

// A second, deliberately plain evaluation of the detail equation of state and
// the AGA10 relations, written from the equations and the coefficient files
// alone (nothing of the calculator is used). It works in long double and in
// temperature and density, so every property is a direct function of the
// reduced Helmholtz energy; pressure is matched by its own root search, and
// the nozzle throat by a search along the isentrope in density.

#include <array>
#include <optional>

namespace tarnlux::test {

struct ReferenceState {
  long double T = 0;    // K
  long double rho = 0;  // mol/dm3
  long double P = 0;    // kPa
  long double Z = 0;
  long double rhoMass = 0;  // kg/m3
  long double h = 0;        // J/kg
  long double s = 0;        // J/(kg K)
  long double cv = 0;       // J/(kg K)
  long double k = 0;        // Cp/Cv
  long double kappa = 0;    // isentropic exponent
  long double W = 0;        // m/s
  long double dPdRho = 0;   // kPa dm3/mol: positive on every state a gas can have
};

class Aga8Reference {
 public:
  // Mole fractions in the component order of the data files.
  explicit Aga8Reference(const std::array<double, 21>& x);

  long double molarMass() const { return molarMass_; }
  ReferenceState at(long double temperatureK, long double rho) const;
  // The gas state at a pressure (kPa): the lowest density that has it.
  std::optional<ReferenceState> atPressure(long double temperatureK, long double pressureKpa) const;
  // C* of a plenum state and its sonic throat (same entropy, enthalpy lower
  // by half the throat's sound speed squared).
  std::optional<long double> criticalFlowFactor(const ReferenceState& plenum,
                                                ReferenceState* throat = nullptr) const;

 private:
  struct Helmholtz {
    long double phi = 0, d = 0, dd = 0, t = 0, dt = 0, tt = 0;
  };
  Helmholtz residual(long double temperatureK, long double rho) const;
  void idealGas(long double temperatureK, long double& cp, long double& h, long double& s) const;
  // The temperature of a density with the entropy s (J/(kg K)).
  std::optional<ReferenceState> onIsentrope(long double rho, long double s,
                                            long double temperatureGuess) const;

  std::array<double, 21> x_{};
  long double molarMass_ = 0;
  long double size3_ = 0;  // K^3
  // B(T) = sum bCoef_[n] T^-u_n (n < 18), C*_n(T) = cCoef_[n] T^-u_n.
  std::array<long double, 58> bCoef_{};
  std::array<long double, 58> cCoef_{};
};

}  // namespace tarnlux::test
