#include "calc/aga8_detail.h"

#include <cmath>

#include "aga8_tables.h"

namespace tarnlux::aga8 {

static_assert(aga8data::kComponentCount == kComponents);
static_assert(aga8data::kTermCount == 58);

namespace {

// A factor (X + 1 - flag)^flag with a 0/1 flag: X when the flag is set, else 1.
double flagged(int flag, double x) { return flag != 0 ? x : 1.0; }

}  // namespace

DetailModel::DetailModel() {
  using aga8data::kComponentParams;

  double eStar[kComponents][kComponents];
  double uStar[kComponents][kComponents];
  double kStar[kComponents][kComponents];
  double gStar[kComponents][kComponents];
  for (int i = 0; i < kComponents; ++i) {
    for (int j = 0; j < kComponents; ++j) {
      eStar[i][j] = uStar[i][j] = kStar[i][j] = gStar[i][j] = 1.0;
    }
  }
  for (const auto& p : aga8data::kBinary) {
    eStar[p.i][p.j] = eStar[p.j][p.i] = p.E;
    uStar[p.i][p.j] = uStar[p.j][p.i] = p.U;
    kStar[p.i][p.j] = kStar[p.j][p.i] = p.K;
    gStar[p.i][p.j] = gStar[p.j][p.i] = p.G;
  }

  for (int i = 0; i < kComponents; ++i) {
    const auto& ci = kComponentParams[i];
    for (int j = 0; j < kComponents; ++j) {
      const auto& cj = kComponentParams[j];
      const double eij = eStar[i][j] * std::sqrt(ci.E * cj.E);
      const double gij = gStar[i][j] * (ci.G + cj.G) / 2.0;
      const double kk15 = std::pow(ci.K * cj.K, 1.5);
      for (int n = 0; n < kVirialTerms; ++n) {
        const auto& t = aga8data::kTerms[n];
        double v = std::pow(eij, t.u) * kk15;
        v *= flagged(t.g, gij);
        v *= flagged(t.q, ci.Q * cj.Q);
        v *= flagged(t.f, std::sqrt(ci.F * cj.F));
        v *= flagged(t.s, ci.S * cj.S);
        v *= flagged(t.w, ci.W * cj.W);
        pairVirial_[n][i][j] = v;
      }
      pairK5_[i][j] = (std::pow(kStar[i][j], 5.0) - 1.0) * std::pow(ci.K * cj.K, 2.5);
      pairU5_[i][j] = (std::pow(uStar[i][j], 5.0) - 1.0) * std::pow(ci.E * cj.E, 2.5);
      pairG_[i][j] = (gStar[i][j] - 1.0) * (ci.G + cj.G) / 2.0;
    }
  }
}

void DetailModel::setComposition(const Composition& x) {
  using aga8data::kComponentParams;

  // Only the components present take part: most gases use a handful of the 21.
  int present[kComponents];
  int count = 0;
  for (int i = 0; i < kComponents; ++i) {
    if (x[i] != 0.0) present[count++] = i;
  }

  double mass = 0, k5 = 0, u5 = 0, g = 0, q = 0, f = 0;
  for (int a = 0; a < count; ++a) {
    const int i = present[a];
    const auto& c = kComponentParams[i];
    mass += x[i] * aga8data::kMolarMass[i];
    k5 += x[i] * std::pow(c.K, 2.5);
    u5 += x[i] * std::pow(c.E, 2.5);
    g += x[i] * c.G;
    q += x[i] * c.Q;
    f += x[i] * x[i] * c.F;
  }
  k5 *= k5;
  u5 *= u5;
  for (int a = 0; a < count; ++a) {
    for (int b = a + 1; b < count; ++b) {
      const int i = present[a];
      const int j = present[b];
      const double xij = 2.0 * x[i] * x[j];
      k5 += xij * pairK5_[i][j];
      u5 += xij * pairU5_[i][j];
      g += xij * pairG_[i][j];
    }
  }
  molarMass_ = mass;
  k3_ = std::pow(k5, 0.6);
  u_ = std::pow(u5, 0.2);

  for (int n = 0; n < kVirialTerms; ++n) {
    double sum = 0;
    for (int a = 0; a < count; ++a) {
      const int i = present[a];
      sum += x[i] * x[i] * pairVirial_[n][i][i];
      for (int b = a + 1; b < count; ++b) {
        const int j = present[b];
        sum += 2.0 * x[i] * x[j] * pairVirial_[n][i][j];
      }
    }
    virialX_[n] = aga8data::kTerms[n].a * sum;
  }
  for (int n = kFirstDensityTerm; n < kTerms; ++n) {
    const auto& t = aga8data::kTerms[n];
    coefX_[n] = t.a * flagged(t.g, g) * flagged(t.q, q * q) * flagged(t.f, f) * std::pow(u_, t.u);
  }
  t_ = 0;  // temperature terms are stale now
}

void DetailModel::setTemperature(double temperatureK) {
  if (temperatureK == t_) return;
  t_ = temperatureK;
  b_ = 0;
  for (int n = 0; n < kVirialTerms; ++n) {
    virialT_[n] = virialX_[n] * std::pow(temperatureK, -aga8data::kTerms[n].u);
    b_ += virialT_[n];
  }
  for (int n = kFirstDensityTerm; n < kTerms; ++n) {
    coefT_[n] = coefX_[n] * std::pow(temperatureK, -aga8data::kTerms[n].u);
  }
}

double DetailModel::compressibility(double rho) const {
  const double x = k3_ * rho;
  double xp[10];
  xp[0] = 1.0;
  for (int m = 1; m < 10; ++m) xp[m] = xp[m - 1] * x;
  const double ex[5] = {1.0, std::exp(-x), std::exp(-xp[2]), std::exp(-xp[3]), std::exp(-xp[4])};

  double z = 1.0 + b_ * rho;
  for (int n = kFirstDensityTerm; n < kVirialTerms; ++n) z -= x * coefT_[n];
  for (int n = kFirstDensityTerm; n < kTerms; ++n) {
    const auto& t = aga8data::kTerms[n];
    if (t.c == 0) {
      z += coefT_[n] * t.b * xp[t.b];
    } else {
      z += coefT_[n] * (t.b - t.k * xp[t.k]) * xp[t.b] * ex[t.k];
    }
  }
  return z;
}

double DetailModel::pressure(double rho) const { return rho * kR * t_ * compressibility(rho); }

Residual DetailModel::residual(double rho) const {
  const double x = k3_ * rho;
  double xp[10];
  xp[0] = 1.0;
  for (int m = 1; m < 10; ++m) xp[m] = xp[m - 1] * x;
  const double ex[5] = {1.0, std::exp(-x), std::exp(-xp[2]), std::exp(-xp[3]), std::exp(-xp[4])};

  Residual r;
  // Each term is tau(rho) T^-u: rho d/drho gives m tau, rho^2 d2/drho2 gives
  // m2 tau, and the temperature derivatives follow from u alone.
  auto add = [&r](double tau, double m, double m2, double u) {
    r.phi += tau;
    r.d += m * tau;
    r.dd += m2 * tau;
    r.t -= u * tau;
    r.dt -= u * m * tau;
    r.tt += u * (u + 1.0) * tau;
  };
  for (int n = 0; n < kVirialTerms; ++n) add(virialT_[n] * rho, 1.0, 0.0, aga8data::kTerms[n].u);
  for (int n = kFirstDensityTerm; n < kVirialTerms; ++n)
    add(-x * coefT_[n], 1.0, 0.0, aga8data::kTerms[n].u);
  for (int n = kFirstDensityTerm; n < kTerms; ++n) {
    const auto& t = aga8data::kTerms[n];
    const double ckx = t.c == 0 ? 0.0 : t.k * xp[t.k];  // c_n k_n x^k_n
    const double tau = coefT_[n] * xp[t.b] * ex[t.c == 0 ? 0 : t.k];
    const double m = t.b - ckx;
    add(tau, m, m * m - m - t.k * ckx, t.u);
  }
  return r;
}

int DetailModel::solveDensity(double pressureKpa, double& rho) const {
  const double p = pressureKpa;
  rho = 0;
  if (p == 0.0) return kSolved;  // the zero-pressure limit: no gas, Z = 1

  // Bracketing: walk up the isotherm until the pressure passes the target.
  const double rt = kR * t_;
  const double vIdeal = rt / p;
  double rho1 = 0, p1 = 0;
  double rho2 = std::fabs(b_) < 0.167 * vIdeal ? 0.95 / (vIdeal + b_) : 1.15 / vIdeal;
  double step = rho2 / 20.0;
  double rhoMax = 1.0 / k3_;
  if (t_ > 1.2593 * u_) rhoMax *= 20.0;
  bool fixedStep = false;  // the maximum density was passed once: small fixed steps from here
  double p2 = 0;
  bool bracketed = false;
  for (int pass = 0; pass < 200; ++pass) {
    if (!fixedStep && rho2 > rhoMax) {
      fixedStep = true;
      step = 0.01 * (rhoMax - rho1) + p / rt / 20.0;
      rho2 = rho1 + step;
      continue;
    }
    p2 = pressure(rho2);
    if (p2 == p) {
      rho = rho2;
      return kSolved;
    }
    if (p2 > p) {
      bracketed = true;
      break;
    }
    if (!(p2 > p1)) return kPressureNotRising;  // NaN lands here too
    rho1 = rho2;
    p1 = p2;
    if (!fixedStep) step *= 2.0;
    rho2 = rho1 + step;
  }
  if (!bracketed) return kIterationLimit;

  // Brent's method on P(rho) - p inside [rho1, rho2].
  double a = rho1, fa = p1 - p;
  double b = rho2, fb = p2 - p;
  double c = a, fc = fa;
  double d = b - a, e = d;
  double lastStep = b - a;
  for (int iter = 0; iter < 150; ++iter) {
    if ((fb > 0 && fc > 0) || (fb < 0 && fc < 0)) {
      c = a;
      fc = fa;
      d = e = b - a;
    }
    if (std::fabs(fc) < std::fabs(fb)) {
      a = b;
      b = c;
      c = a;
      fa = fb;
      fb = fc;
      fc = fa;
    }
    const double minStep = 1e-7 * std::fabs(b);
    const double half = 0.5 * (c - b);
    if (fb == 0.0 || (std::fabs(fb) < 1e-6 * p && std::fabs(lastStep) < 1e-6 * std::fabs(b)) ||
        std::fabs(half) <= minStep) {
      // The last steps are held to at least 1e-7 rho, so the best point can sit
      // that far from the root; inside a bracket this tight one linear
      // interpolation lands on it without another pressure evaluation.
      rho = b;
      if (fb != 0.0 && fc != fb && std::fabs(c - b) <= 1e-6 * std::fabs(b))
        rho = b - fb * (c - b) / (fc - fb);
      return kSolved;
    }
    if (std::fabs(e) >= minStep && std::fabs(fa) > std::fabs(fb)) {
      const double s = fb / fa;
      double pp, q;
      if (a == c) {  // linear interpolation
        pp = 2.0 * half * s;
        q = 1.0 - s;
      } else {  // inverse quadratic interpolation
        const double qa = fa / fc;
        const double r = fb / fc;
        pp = s * (2.0 * half * qa * (qa - r) - (b - a) * (r - 1.0));
        q = (qa - 1.0) * (r - 1.0) * (s - 1.0);
      }
      if (pp > 0) q = -q;
      pp = std::fabs(pp);
      if (2.0 * pp < std::fmin(3.0 * half * q - std::fabs(minStep * q), std::fabs(e * q))) {
        e = d;
        d = pp / q;
      } else {  // interpolation would leave the bracket or crawl: bisect
        d = half;
        e = d;
      }
    } else {
      d = half;
      e = d;
    }
    a = b;
    fa = fb;
    b += std::fabs(d) > minStep ? d : std::copysign(minStep, half);
    lastStep = b - a;
    fb = pressure(b) - p;
  }
  return kIterationLimit;
}

}  // namespace tarnlux::aga8
