#include "calc/aga8.h"

#include <cmath>
#include <mutex>
#include <new>

#include "calc/aga8_thermo.h"

namespace tarnlux {

static_assert(aga8::kSolved == kAga8Normal && aga8::kIterationLimit == kAga8IterationLimit &&
              aga8::kPressureNotRising == kAga8PressureNotRising);
static_assert(aga8::kComponents == kAga8ComponentCount);

namespace {

constexpr double kAirMolarMass = 28.96256;  // g/mol
constexpr double kConditionChange = 0.001;  // Pa or K: smaller changes reuse the last results

bool usableComposition(const std::array<double, kAga8ComponentCount>& x) {
  double total = 0;
  for (double xi : x) {
    if (!std::isfinite(xi) || xi < 0) return false;
    total += xi;
  }
  return total > 0;
}

bool usableConditions(double pressurePa, double temperatureK) {
  return std::isfinite(pressurePa) && pressurePa >= 0 && std::isfinite(temperatureK) &&
         temperatureK > 0;
}

bool moved(double now, double then) { return std::fabs(now - then) > kConditionChange; }

// Compressibility of air at the base conditions, for the real relative density.
double airCompressibility(double baseT, double basePa) {
  const double virial = 0.000591 * baseT - 0.12527 - 6.62e-7 * baseT * baseT;  // dm3/mol
  return 1.0 + virial * (basePa * 1e-6) / (0.00831451 * baseT);
}

void clearOutputs(GasRecord& gas) {
  gas.molarMass = gas.Zb = gas.Zf = gas.Fpv = gas.Db = gas.Df = gas.Rhob = gas.Rhof = 0;
  gas.RDideal = gas.RDreal = gas.Ho = gas.H = gas.S = gas.Cpi = gas.Cp = gas.Cv = 0;
  gas.k = gas.kappa = gas.speedOfSound = gas.Cstar = 0;
}

}  // namespace

double aga8CompositionTotal(const GasRecord& gas) {
  double total = 0;
  for (double xi : gas.mixture) total += xi;
  return total;
}

bool aga8CompositionTotalOk(double total) {
  return total >= kAga8MinCompositionTotal && total <= kAga8MaxCompositionTotal;
}

struct Aga8Calculator::Parts {
  aga8::ThermoModel thermo;
  aga8::Composition x{};
  bool haveComposition = false;

  struct Base {
    bool valid = false;
    double P = 0, T = 0;
    double rho = 0, Z = 0;
  } base;

  struct Flowing {
    bool valid = false;
    double P = 0, T = 0, velocity = 0;
    aga8::State state;
    double cstar = 0;
  } flowing;

  // Composition terms are redone when asked or when the mixture differs; the
  // condition results only when the mixture really changed.
  void useComposition(const aga8::Composition& mixture, bool force) {
    const bool changed = !haveComposition || mixture != x;
    if (changed || force) thermo.setComposition(mixture);
    if (changed) {
      x = mixture;
      haveComposition = true;
      base.valid = false;
      flowing.valid = false;
    }
  }
};

Aga8Calculator::Aga8Calculator() : parts_(std::make_unique<Parts>()) {}
Aga8Calculator::~Aga8Calculator() = default;

double Aga8Calculator::calculate(GasRecord& gas, double plenumVelocity) {
  Parts& p = *parts_;
  gas.status = kAga8Normal;
  clearOutputs(gas);
  if (!usableComposition(gas.mixture) || !usableConditions(gas.Pb, gas.Tb) ||
      !usableConditions(gas.Pf, gas.Tf) || !std::isfinite(plenumVelocity)) {
    gas.forceUpdate = 0;
    gas.status = kAga8ZNotPositive;
    return 0;
  }

  p.useComposition(gas.mixture, gas.forceUpdate != 0);
  gas.forceUpdate = 0;
  const double molarMass = p.thermo.molarMass();
  gas.molarMass = molarMass;

  if (!p.base.valid || moved(gas.Pb, p.base.P) || moved(gas.Tb, p.base.T)) {
    p.base.valid = false;
    double rho = 0;
    const int rc = p.thermo.density(gas.Tb, gas.Pb, rho);
    if (rc != aga8::kSolved) {
      gas.status = rc;
      return 0;
    }
    p.base = {true, gas.Pb, gas.Tb, rho, p.thermo.detail().compressibility(rho)};
  }

  if (!p.flowing.valid || moved(gas.Pf, p.flowing.P) || moved(gas.Tf, p.flowing.T) ||
      plenumVelocity != p.flowing.velocity) {
    p.flowing.valid = false;
    aga8::State st;
    int rc = p.thermo.state(gas.Tf, gas.Pf, st);
    double cstar = 0;
    if (rc == aga8::kSolved && st.Z > 0)
      rc = p.thermo.criticalFlowFactor(st, plenumVelocity, cstar);
    if (rc != aga8::kSolved) {
      gas.status = rc;
      return 0;
    }
    p.flowing.P = gas.Pf;
    p.flowing.T = gas.Tf;
    p.flowing.velocity = plenumVelocity;
    p.flowing.state = st;
    p.flowing.cstar = cstar;
    p.flowing.valid = true;
  }

  const aga8::State& f = p.flowing.state;
  if (!(p.base.Z > 0) || !(f.Z > 0)) {
    gas.status = kAga8ZNotPositive;
    return 0;
  }

  gas.Zb = p.base.Z;
  gas.Db = p.base.rho;
  gas.Rhob = p.base.rho * molarMass;
  gas.Zf = f.Z;
  gas.Df = f.rho;
  gas.Rhof = f.rhoMass;
  gas.Fpv = std::sqrt(gas.Zb / gas.Zf);
  gas.RDideal = molarMass / kAirMolarMass;
  gas.RDreal = gas.RDideal * airCompressibility(gas.Tb, gas.Pb) / gas.Zb;
  gas.Ho = f.h0;
  gas.H = f.h;
  gas.S = f.s;
  gas.Cpi = f.cp0;
  gas.Cp = f.cp;
  gas.Cv = f.cv;
  gas.k = f.k;
  gas.kappa = f.kappa;
  gas.speedOfSound = f.W;
  gas.Cstar = p.flowing.cstar;
  return gas.Cstar;
}

int Aga8Calculator::stateFromEnthalpyEntropy(const GasRecord& gas, double h, double s,
                                             bool nearFlowingState, double& temperatureK,
                                             double& pressurePa) {
  if (!usableComposition(gas.mixture) || !std::isfinite(h) || !std::isfinite(s) ||
      (nearFlowingState && !(usableConditions(gas.Pf, gas.Tf) && gas.Pf > 0))) {
    return kAga8ZNotPositive;
  }
  parts_->useComposition(gas.mixture, false);
  const aga8::SearchLimits limits =
      nearFlowingState ? aga8::plenumSearchLimits(gas.Tf, gas.Pf) : aga8::fullSearchLimits();
  aga8::State st;
  const int rc = parts_->thermo.stateFromEnthalpyEntropy(h, s, limits, st);
  if (rc != aga8::kSolved) return rc;
  temperatureK = st.T;
  pressurePa = st.P;
  return kAga8Normal;
}

namespace {

std::mutex gCalculatorMutex;
std::unique_ptr<Aga8Calculator> gCalculator;

// Creates the working parts once; a failed creation is retried on the next call.
int createCalculator() {
  if (!gCalculator) {
    try {
      gCalculator = std::make_unique<Aga8Calculator>();
    } catch (const std::bad_alloc&) {
      return kAga8PartsAllocationFailed;
    }
  }
  return kAga8PartsCreated;
}

}  // namespace

double aga8Calculate(GasRecord& gas, double plenumVelocity) {
  std::lock_guard<std::mutex> lock(gCalculatorMutex);
  if (createCalculator() != kAga8PartsCreated) {
    gas.status = kAga8PartsAllocationFailed;
    return 0;
  }
  return gCalculator->calculate(gas, plenumVelocity);
}

}  // namespace tarnlux
