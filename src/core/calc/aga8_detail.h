#pragma once

#include <array>

namespace tarnlux::aga8 {

inline constexpr int kComponents = 21;
using Composition = std::array<double, kComponents>;

// Gas constant. With pressures in kPa and molar densities in mol/dm3,
// P = rho R T Z holds directly (1 kPa dm3 = 1 J).
inline constexpr double kR = 8.31451;  // J/(mol K)

// Outcomes of the density search (same numbers as the record's status).
inline constexpr int kSolved = 9000;
inline constexpr int kIterationLimit = 9004;
inline constexpr int kPressureNotRising = 9005;

// Residual Helmholtz energy phi = a_res / (R T) and its reduced derivatives.
// Every caloric property follows from these six numbers.
struct Residual {
  double phi = 0;  // phi
  double d = 0;    // rho dphi/drho          (= Z - 1)
  double dd = 0;   // rho^2 d2phi/drho2
  double t = 0;    // T dphi/dT
  double dt = 0;   // rho T d2phi/(drho dT)
  double tt = 0;   // T^2 d2phi/dT2
};

// The detail characterization equation of state for one mixture.
// Composition terms are set once per mixture, temperature terms once per
// temperature; the density loops then only evaluate the density part.
class DetailModel {
 public:
  DetailModel();

  // x in mole fractions, in the component order of the data tables. Not
  // normalised here: the caller decides what a valid mixture is.
  void setComposition(const Composition& x);
  void setTemperature(double temperatureK);

  double temperature() const { return t_; }
  double molarMass() const { return molarMass_; }  // g/mol
  double sizeK3() const { return k3_; }            // K^3, dm3/mol
  double energyU() const { return u_; }            // K
  double secondVirial() const { return b_; }       // dm3/mol at the current temperature

  // At the current temperature; rho in mol/dm3.
  double compressibility(double rho) const;
  double pressure(double rho) const;  // kPa
  Residual residual(double rho) const;

  // Molar density (mol/dm3) at the current temperature and the pressure
  // (kPa): bracketing search then a Brent root search. Returns kSolved,
  // kIterationLimit or kPressureNotRising. A pressure of 0 gives density 0.
  int solveDensity(double pressureKpa, double& rho) const;

 private:
  static constexpr int kVirialTerms = 18;
  static constexpr int kFirstDensityTerm = 12;  // 0-based index of term 13
  static constexpr int kTerms = 58;

  // Composition-independent part of each second-virial pair sum:
  // E_ij^u_n (K_i K_j)^(3/2) B*_nij.
  double pairVirial_[kVirialTerms][kComponents][kComponents];
  // (K_ij^5 - 1)(K_i K_j)^(5/2), (U_ij^5 - 1)(E_i E_j)^(5/2), (G*_ij - 1)(G_i + G_j)/2.
  double pairK5_[kComponents][kComponents];
  double pairU5_[kComponents][kComponents];
  double pairG_[kComponents][kComponents];

  // Composition terms.
  double molarMass_ = 0;
  double k3_ = 0;
  double u_ = 0;
  double virialX_[kVirialTerms] = {};  // a_n sum_ij x_i x_j (pair part), without T^-u_n
  double coefX_[kTerms] = {};          // C*_n without T^-u_n (terms 13..58)

  // Temperature terms.
  double t_ = 0;
  double b_ = 0;                       // B(T)
  double virialT_[kVirialTerms] = {};  // the terms of B(T)
  double coefT_[kTerms] = {};          // C*_n(T)
};

}  // namespace tarnlux::aga8
