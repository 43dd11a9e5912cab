#pragma once

#include "calc/aga8_detail.h"

namespace tarnlux::aga8 {

// Ideal-gas reference pressure of the entropy constants.
inline constexpr double kEntropyReferencePa = 101325.0;

// Ideal-gas heat capacity, enthalpy and entropy of one component or of a
// mixture (mole-fraction average, without the mixing term). J/(mol K), J/mol,
// J/(mol K) at 101.325 kPa.
struct IdealGas {
  double cp = 0;
  double h = 0;
  double s = 0;
};
IdealGas idealGasComponent(int component, double temperatureK);

// Every property of one state, mass-specific where a mass basis applies.
struct State {
  double T = 0;    // K
  double P = 0;    // Pa
  double rho = 0;  // mol/dm3
  double Z = 0;
  double rhoMass = 0;  // kg/m3
  double h0 = 0;       // ideal-gas enthalpy, J/kg
  double h = 0;        // J/kg
  double s = 0;        // J/(kg K)
  double cp0 = 0;      // J/(kg K)
  double cp = 0;       // J/(kg K)
  double cv = 0;       // J/(kg K)
  double k = 0;        // Cp/Cv
  double kappa = 0;    // isentropic exponent
  double W = 0;        // speed of sound, m/s
  double dvdT = 0;     // (dv/dT) at constant pressure, m3/(kg K): steers the state searches
};

// Where a state is searched for from its enthalpy and entropy.
struct SearchLimits {
  double tStart, tMin, tMax;  // K
  double pStart, pMin, pMax;  // Pa
};

// Near a known plenum state (the throat of a nozzle fed from it).
SearchLimits plenumSearchLimits(double plenumT, double plenumP);
// Anywhere in the range the calculation accepts.
SearchLimits fullSearchLimits();

// Caloric properties, speed of sound and the state searches, on top of the
// equation of state.
class ThermoModel {
 public:
  void setComposition(const Composition& x);
  double molarMass() const { return detail_.molarMass(); }
  const DetailModel& detail() const { return detail_; }

  // Molar density (mol/dm3) only, for states where no caloric value is needed.
  int density(double temperatureK, double pressurePa, double& rho);
  int state(double temperatureK, double pressurePa, State& out);

  // The state with specific enthalpy h (J/kg) and entropy s (J/(kg K)):
  // secant search on temperature for h, around a secant search on pressure
  // for s, each to a relative change of 0.001 and at most 100 steps.
  int stateFromEnthalpyEntropy(double h, double s, const SearchLimits& limits, State& out);

  // C* of the plenum state for a plenum velocity (m/s). Returns kSolved or
  // the code of the failed search; cstar is 0 when it has no finite value.
  int criticalFlowFactor(const State& plenum, double velocity, double& cstar);

 private:
  const IdealGas& idealGas(double temperatureK);
  // The search above; a state held on the temperature limit (the enthalpy
  // lies beyond it) is returned with atLimit set instead of as a failure.
  int searchEnthalpyEntropy(double h, double s, const SearchLimits& limits, State& out,
                            bool& atLimit);
  int pressureForEntropy(double temperatureK, double s, const SearchLimits& limits, double& pStart,
                         State& out);

  DetailModel detail_;
  Composition x_{};
  double mixingEntropy_ = 0;  // -R sum x ln x, J/(mol K)
  double idealT_ = 0;
  IdealGas ideal_;
};

}  // namespace tarnlux::aga8
