#include "calc/aga8_thermo.h"

#include <algorithm>
#include <cmath>

#include "aga8_tables.h"

namespace tarnlux::aga8 {

namespace {

constexpr double kJoulesPerCalorie = 4.184;
constexpr double kLn2 = 0.69314718055994530942;

// ln sinh|x| and ln cosh x without overflow for large arguments.
double logSinh(double x) {
  x = std::fabs(x);
  return x + std::log1p(-std::exp(-2.0 * x)) - kLn2;
}
double logCosh(double x) {
  x = std::fabs(x);
  return x + std::log1p(std::exp(-2.0 * x)) - kLn2;
}

// Relative convergence and step limit of both state searches.
constexpr double kSearchTolerance = 0.001;
constexpr int kSearchSteps = 100;

// Secant search for f(x) = 0 within [lo, hi], from x0 and then second(x0),
// stopping when a step changes x by at most kSearchTolerance relative, or
// failing after kSearchSteps evaluations. eval(x, f) returns a code; the last
// successful evaluation is the answer. A point without a usable state
// (kPressureNotRising: the probe fell on the liquid side) is pulled halfway
// back towards the last point that had one (for the first point, towards
// `safe`), so one overshooting step does not end a search whose root is sound.
template <class Eval, class Second>
int secantSearch(double x0, Second second, double lo, double hi, double safe, Eval eval) {
  int steps = 0;
  auto probe = [&](double& x, double toward, double& f) {
    for (;;) {
      if (++steps > kSearchSteps) return kIterationLimit;
      const int rc = eval(x, f);
      if (rc != kPressureNotRising) return rc;
      x = 0.5 * (x + toward);
    }
  };
  x0 = std::clamp(x0, lo, hi);
  double f0 = 0;
  int rc = probe(x0, safe, f0);
  if (rc != kSolved || f0 == 0.0) return rc;
  double x1 = std::clamp(second(x0), lo, hi);
  double f1 = 0;
  rc = probe(x1, x0, f1);
  for (;;) {
    if (rc != kSolved || f1 == 0.0) return rc;
    if (f1 == f0) return kIterationLimit;  // flat: no root to move to
    const double raw = x1 - f1 * (x1 - x0) / (f1 - f0);
    double x2 = std::clamp(raw, lo, hi);
    // Pointing beyond the limit it already stands on: the root is outside,
    // and the standstill must not pass for convergence.
    if (x2 != raw && x2 == x1) return kIterationLimit;
    const bool last = std::fabs(x2 - x1) <= kSearchTolerance * std::fabs(x2);
    double f2 = 0;
    rc = probe(x2, x1, f2);
    if (rc != kSolved || last) return rc;
    x0 = x1;
    f0 = f1;
    x1 = x2;
    f1 = f2;
  }
}

}  // namespace

IdealGas idealGasComponent(int component, double temperatureK) {
  const auto& c = aga8data::kIdealGas[component];
  const double t = temperatureK;
  IdealGas g;
  g.cp = c.B;
  g.h = c.A + c.B * t;
  g.s = c.K + c.B * std::log(t);
  // sinh terms (C, D) and (G, H); cosh terms (E, F) and (I, J). A zero
  // coefficient drops its term (its temperature column is a placeholder).
  auto sinhTerm = [&g, t](double coef, double theta) {
    if (coef == 0.0) return;
    const double x = theta / t;
    const double ratio = x / std::sinh(x);
    g.cp += coef * ratio * ratio;
    g.h += coef * theta / std::tanh(x);
    g.s += coef * (x / std::tanh(x) - logSinh(x));
  };
  auto coshTerm = [&g, t](double coef, double theta) {
    if (coef == 0.0) return;
    const double x = theta / t;
    const double ratio = x / std::cosh(x);
    g.cp += coef * ratio * ratio;
    g.h -= coef * theta * std::tanh(x);
    g.s -= coef * (x * std::tanh(x) - logCosh(x));
  };
  sinhTerm(c.C, c.D);
  coshTerm(c.E, c.F);
  sinhTerm(c.G, c.H);
  coshTerm(c.I, c.J);
  g.cp *= kJoulesPerCalorie;
  g.h *= kJoulesPerCalorie;
  g.s *= kJoulesPerCalorie;
  return g;
}

SearchLimits plenumSearchLimits(double plenumT, double plenumP) {
  return {plenumT + 10.0, 0.67 * plenumT, 1.5 * plenumT, plenumP, 0.1 * plenumP, 2.0 * plenumP};
}

SearchLimits fullSearchLimits() { return {283.15, 143.0, 473.15, 1013250.0, 10000.0, 1.379e8}; }

void ThermoModel::setComposition(const Composition& x) {
  x_ = x;
  detail_.setComposition(x);
  double mixing = 0;
  for (double xi : x) {
    if (xi > 0) mixing -= xi * std::log(xi);
  }
  mixingEntropy_ = kR * mixing;
  idealT_ = 0;
}

const IdealGas& ThermoModel::idealGas(double temperatureK) {
  if (temperatureK != idealT_) {
    ideal_ = IdealGas{};
    for (int i = 0; i < kComponents; ++i) {
      if (x_[i] == 0.0) continue;
      const IdealGas g = idealGasComponent(i, temperatureK);
      ideal_.cp += x_[i] * g.cp;
      ideal_.h += x_[i] * g.h;
      ideal_.s += x_[i] * g.s;
    }
    idealT_ = temperatureK;
  }
  return ideal_;
}

int ThermoModel::density(double temperatureK, double pressurePa, double& rho) {
  detail_.setTemperature(temperatureK);
  return detail_.solveDensity(pressurePa * 1e-3, rho);
}

int ThermoModel::state(double temperatureK, double pressurePa, State& out) {
  double rho = 0;
  const int rc = density(temperatureK, pressurePa, rho);
  if (rc != kSolved) return rc;

  const double t = temperatureK;
  const double m = detail_.molarMass();
  const double perKg = 1000.0 / m;
  const Residual r = detail_.residual(rho);
  const IdealGas& ig = idealGas(t);

  const double z = 1.0 + r.d;
  const double cv = ig.cp - kR - kR * (r.tt + 2.0 * r.t);
  const double dPdRho = kR * t * (1.0 + 2.0 * r.d + r.dd);  // J/mol
  // T (dP/dT)^2 / (rho^2 dP/drho) with the density factored out, so the
  // zero-density limit (Cp = Cv + R) comes out without 0/0.
  const double dPdTPerRho = kR * (1.0 + r.d + r.dt);
  const double cp = cv + t * dPdTPerRho * dPdTPerRho / dPdRho;

  out.T = t;
  out.P = pressurePa;
  out.rho = rho;
  out.Z = z;
  out.rhoMass = rho * m;
  out.h0 = ig.h * perKg;
  out.h = (ig.h + kR * t * (z - 1.0) - kR * t * r.t) * perKg;
  out.s = (ig.s + mixingEntropy_ - kR * std::log(pressurePa / kEntropyReferencePa) -
           kR * (r.phi + r.t) + kR * std::log(z)) *
          perKg;
  out.cp0 = ig.cp * perKg;
  out.cp = cp * perKg;
  out.cv = cv * perKg;
  out.k = cp / cv;
  out.W = std::sqrt(1000.0 * out.k * dPdRho / m);
  // rho_mass W^2 / P, written so that it holds at zero pressure too.
  out.kappa = out.k * (1.0 + 2.0 * r.d + r.dd) / z;
  return kSolved;
}

int ThermoModel::pressureForEntropy(double temperatureK, double s, const SearchLimits& limits,
                                    double& pStart, State& out) {
  auto second = [&limits](double p0) {
    const double p1 = std::clamp(p0 * 0.9, limits.pMin, limits.pMax);
    return p1 != p0 ? p1 : p0 * 1.1;
  };
  // Lower pressures are on the gas side.
  const int rc =
      secantSearch(pStart, second, limits.pMin, limits.pMax, limits.pMin, [&](double p, double& f) {
        const int code = state(temperatureK, p, out);
        f = out.s - s;
        return code;
      });
  if (rc == kSolved) pStart = out.P;  // the next temperature starts from here
  return rc;
}

int ThermoModel::stateFromEnthalpyEntropy(double h, double s, const SearchLimits& limits,
                                          State& out) {
  double pGuess = limits.pStart;
  auto second = [&limits](double t0) {
    const double t1 = std::clamp(t0 - 10.0, limits.tMin, limits.tMax);
    return t1 != t0 ? t1 : t0 + 10.0;
  };
  // A temperature where no pressure within the limits has the entropy is
  // stepped back from like a liquid probe; higher temperatures are on the gas side.
  return secantSearch(limits.tStart, second, limits.tMin, limits.tMax, limits.tMax,
                      [&](double t, double& f) {
                        const int code = pressureForEntropy(t, s, limits, pGuess, out);
                        f = out.h - h;
                        return code == kSolved ? kSolved : kPressureNotRising;
                      });
}

int ThermoModel::criticalFlowFactor(const State& plenum, double velocity, double& cstar) {
  cstar = 0;
  // No expansion starts from zero pressure.
  if (!(plenum.P > 0)) return kSolved;

  const SearchLimits limits = plenumSearchLimits(plenum.T, plenum.P);
  double dh = (plenum.W * plenum.W - velocity * velocity) / 2.0;
  State throat;
  for (int refinement = 0; refinement < 99; ++refinement) {
    const int rc = stateFromEnthalpyEntropy(plenum.h - dh, plenum.s, limits, throat);
    if (rc != kSolved) return rc;
    const double next = (throat.W * throat.W - velocity * velocity) / 2.0;
    if (!std::isfinite(next)) break;
    const bool settled = std::fabs(next - dh) < 1.0 || next == dh;
    dh = next;
    if (settled) break;
  }
  const double value = throat.rhoMass * throat.W / std::sqrt(plenum.Z * plenum.P * plenum.rhoMass);
  cstar = std::isfinite(value) ? value : 0.0;
  return kSolved;
}

}  // namespace tarnlux::aga8
