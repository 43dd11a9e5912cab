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

// Secant search for f(x) = 0 within [lo, hi], from x0 and then second(x0, f0),
// stopping when a step changes x by at most kSearchTolerance relative, or
// failing after kSearchSteps evaluations. eval(x, f) returns a code; the last
// successful evaluation is the answer. A point without a usable state
// (kPressureNotRising: the probe fell on the liquid side) is pulled halfway
// back towards the last point that had one (for the first point, towards
// `safe`), so one overshooting step does not end a search whose root is sound;
// the point that failed becomes a limit, as no state lies beyond it either.
// A search whose root lies beyond a limit stops on that limit (or, for a
// failed point, as near it as the tolerance): it succeeds with atLimit set,
// and the caller decides whether that point is of any use.
template <class Eval, class Second>
int secantSearch(double x0, Second second, double lo, double hi, double safe, bool& atLimit,
                 Eval eval) {
  atLimit = false;
  int steps = 0;
  auto probe = [&](double& x, double toward, double& f) {
    for (;;) {
      if (++steps > kSearchSteps) return kIterationLimit;
      const int rc = eval(x, f);
      if (rc != kPressureNotRising) return rc;
      if (x < toward) lo = x;
      if (x > toward) hi = x;
      x = 0.5 * (x + toward);
    }
  };
  x0 = std::clamp(x0, lo, hi);
  double f0 = 0;
  int rc = probe(x0, safe, f0);
  if (rc != kSolved || f0 == 0.0) return rc;
  double x1 = std::clamp(second(x0, f0), lo, hi);
  double f1 = 0;
  rc = probe(x1, x0, f1);
  const double scale = std::max(std::fabs(f0), std::fabs(f1));
  for (;;) {
    if (rc != kSolved || f1 == 0.0) return rc;
    if (f1 == f0) return kIterationLimit;  // flat: no root to move to
    const double raw = x1 - f1 * (x1 - x0) / (f1 - f0);
    double x2 = std::clamp(raw, lo, hi);
    const bool last = std::fabs(x2 - x1) <= kSearchTolerance * std::fabs(x2);
    if (last && x2 != raw) {
      atLimit = true;
      // Already standing there: the state in hand is that of the limit.
      if (x2 == x1) return kSolved;
    }
    double f2 = 0;
    rc = probe(x2, x1, f2);
    // A last step that matches clearly worse has closed in on a jump, not a
    // root: near the dew line the density search can land on the liquid branch.
    if (rc == kSolved && last && !atLimit && std::fabs(f2) > std::fabs(f1) &&
        std::fabs(f2) > 1e-8 * scale)
      return kIterationLimit;
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
  // (dv/dT)_P = (dP/dT)_rho / (rho^2 (dP/drho)_T), molar in dm3/(mol K);
  // unbounded at zero density, where nothing is searched.
  out.dvdT = rho > 0 ? dPdTPerRho / (rho * dPdRho) / m : 0.0;
  return kSolved;
}

int ThermoModel::pressureForEntropy(double temperatureK, double s, const SearchLimits& limits,
                                    double& pStart, State& out) {
  // The second point is a Newton step, (ds/dP)_T = -(dv/dT)_P, so the
  // secant starts close and its last step leaves the entropy met far inside
  // the tolerance: in dense gas C* magnifies a throat entropy error severalfold.
  auto second = [&limits, &out](double p0, double f0) {
    const double p1 = p0 + f0 / out.dvdT;
    if (std::isfinite(p1) && p1 != p0 && out.dvdT > 0) return p1;
    const double fallback = std::clamp(p0 * 0.9, limits.pMin, limits.pMax);
    return fallback != p0 ? fallback : p0 * 1.1;
  };
  // Lower pressures are on the gas side.
  bool atLimit = false;
  const int rc = secantSearch(pStart, second, limits.pMin, limits.pMax, limits.pMin, atLimit,
                              [&](double p, double& f) {
                                const int code = state(temperatureK, p, out);
                                f = out.s - s;
                                return code;
                              });
  // A limit pressure has another entropy: no state of this temperature.
  if (rc == kSolved && atLimit) return kIterationLimit;
  if (rc == kSolved) pStart = out.P;  // the next temperature starts from here
  return rc;
}

int ThermoModel::stateFromEnthalpyEntropy(double h, double s, const SearchLimits& limits,
                                          State& out) {
  bool atLimit = false;
  const int rc = searchEnthalpyEntropy(h, s, limits, out, atLimit);
  // The limit temperature has another enthalpy: not the state asked for.
  return rc == kSolved && atLimit ? kIterationLimit : rc;
}

int ThermoModel::searchEnthalpyEntropy(double h, double s, const SearchLimits& limits, State& out,
                                       bool& atLimit) {
  double pGuess = limits.pStart;
  // Newton step for the second point too: along the isentrope
  // dh/dT = v (dP/dT)_s = Cp / (T rho (dv/dT)_P).
  auto second = [&limits, &out](double t0, double f0) {
    const double slope = out.cp / (out.T * out.rhoMass * out.dvdT);
    const double t1 = t0 - f0 / slope;
    if (std::isfinite(t1) && t1 != t0 && slope > 0) return t1;
    const double fallback = std::clamp(t0 - 10.0, limits.tMin, limits.tMax);
    return fallback != t0 ? fallback : t0 + 10.0;
  };
  // A temperature where no pressure within the limits has the entropy is
  // stepped back from like a liquid probe; higher temperatures are on the gas side.
  return secantSearch(limits.tStart, second, limits.tMin, limits.tMax, limits.tMax, atLimit,
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
  bool atLimit = false;
  // Taking the recomputed drop as the next one settles only while the sound
  // speed changes slowly along the expansion. In dense gas it changes as fast
  // as the enthalpy or faster (the drops swing between 40 and 150 kJ/kg for
  // methane at 30 MPa and 300 K), so once a change fails to halve, the next
  // drop is the one that zeroes the recomputed drop minus the drop reached,
  // through the last two refinements, kept inside the drops known to fall
  // short of and to pass the throat. Measured on the state reached, the
  // throat is then as close as 1 J/kg whatever the searches' own tolerance:
  // dense gas multiplies an enthalpy error severalfold in C*.
  bool substituting = true;
  double lastDh = 0, lastChange = 0, lastResidual = 0;
  double shortOf = 0, past = HUGE_VAL;
  for (int refinement = 0; refinement < 99; ++refinement) {
    // The first drop overshoots the throat where the gas is dense, often past
    // the coldest temperature searched. The state held on that limit is still
    // the isentrope's, and its sound speed brings the next drop back inside.
    const int rc = searchEnthalpyEntropy(plenum.h - dh, plenum.s, limits, throat, atLimit);
    if (rc != kSolved) {
      // No state for this drop: it went past the throat into the liquid
      // side. Halve towards the drops known to fall short, while any are left.
      past = std::min(past, dh);
      const double refined = 0.5 * (shortOf + past);
      if (!(refined > 1.0) || refinement == 98) return rc;
      substituting = false;
      dh = refined;
      continue;
    }
    const double next = (throat.W * throat.W - velocity * velocity) / 2.0;
    if (!std::isfinite(next)) break;
    const double change = next - dh;
    const double residual = next - (plenum.h - throat.h);
    if (residual > 0) shortOf = std::max(shortOf, dh);
    if (residual < 0) past = std::min(past, dh);
    double refined = next;
    bool settled = std::fabs(change) < 1.0 || next == dh;
    if (refinement > 0 && (!substituting || std::fabs(change) > 0.5 * std::fabs(lastChange))) {
      substituting = false;
      refined = residual != lastResidual ? dh - residual * (dh - lastDh) / (residual - lastResidual)
                                         : 0.5 * (shortOf + past);
      if (!(refined > shortOf && refined < past) && past != HUGE_VAL)
        refined = 0.5 * (shortOf + past);
      settled = std::fabs(residual) < 1.0 || refined == dh;
    }
    lastDh = dh;
    lastChange = change;
    lastResidual = residual;
    dh = refined;
    if (settled) break;
  }
  // A throat held on a limit is not the throat.
  if (atLimit) return kIterationLimit;
  const double value = throat.rhoMass * throat.W / std::sqrt(plenum.Z * plenum.P * plenum.rhoMass);
  cstar = std::isfinite(value) ? value : 0.0;
  return kSolved;
}

}  // namespace tarnlux::aga8
