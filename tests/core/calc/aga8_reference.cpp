#include "aga8_reference.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "aga8_data.h"

namespace tarnlux::test {

namespace {

constexpr long double kGasConstant = 8.31451L;  // J/(mol K) = kPa dm3/(mol K)
constexpr long double kCalorie = 4.184L;
constexpr long double kReferencePressure = 101.325L;  // kPa, of the ideal-gas entropies

struct Term {
  long double a, u;
  int b, c, k, g, q, f, s, w;
};

struct Component {
  long double E, K, G, Q, F, S, W, mass;
  long double ideal[11];  // A .. K of the heat-capacity fit, in calories
};

std::array<Term, 58> terms() {
  std::array<Term, 58> t{};
  for (const auto& row : readCsv(aga8DataFile("eos_terms.csv"))) {
    auto v = [&row](const char* key) { return *numberField(row, key); };
    auto i = [&v](const char* key) { return static_cast<int>(v(key)); };
    t[i("n") - 1] = {v("an"), v("un"), i("bn"), i("cn"), i("kn"),
                     i("gn"), i("qn"), i("fn"), i("sn"), i("wn")};
  }
  return t;
}

const std::array<Term, 58>& termTable() {
  static const auto t = terms();
  return t;
}

std::array<Component, 21> components() {
  std::array<Component, 21> c{};
  auto index = [](const std::map<std::string, std::string>& row) {
    return static_cast<int>(*numberField(row, "index")) - 1;
  };
  for (const auto& row : readCsv(aga8DataFile("component_params.csv"))) {
    Component& m = c[index(row)];
    m.E = *numberField(row, "Ei_K");
    m.K = *numberField(row, "Ki");
    m.G = *numberField(row, "Gi");
    m.Q = *numberField(row, "Qi");
    m.F = *numberField(row, "Fi");
    m.S = *numberField(row, "Si");
    m.W = *numberField(row, "Wi");
  }
  for (const auto& row : readCsv(aga8DataFile("molar_masses_1994.csv")))
    c[index(row)].mass = *numberField(row, "molar_mass_g_per_mol");
  static const char* const kIdealColumns[11] = {"A_cal_per_mol",  "B_cal_per_molK",
                                                "C_cal_per_molK", "D_K",
                                                "E_cal_per_molK", "F_K",
                                                "G_cal_per_molK", "H_K",
                                                "I_cal_per_molK", "J_K",
                                                "K_cal_per_molK"};
  for (const auto& row : readCsv(aga8DataFile("ideal_gas_aga10.csv"))) {
    for (int n = 0; n < 11; ++n) c[index(row)].ideal[n] = *numberField(row, kIdealColumns[n]);
  }
  return c;
}

const std::array<Component, 21>& componentTable() {
  static const auto c = components();
  return c;
}

// Unlike-pair parameters E*, U*, K*, G* (1 for pairs the file leaves out).
struct Pair {
  long double E = 1, U = 1, K = 1, G = 1;
};

const std::array<std::array<Pair, 21>, 21>& pairTable() {
  static const auto table = [] {
    std::array<std::array<Pair, 21>, 21> p{};
    for (const auto& row : readCsv(aga8DataFile("binary_params.csv"))) {
      const int i = static_cast<int>(*numberField(row, "index_i")) - 1;
      const int j = static_cast<int>(*numberField(row, "index_j")) - 1;
      const Pair v{*numberField(row, "Eij"), *numberField(row, "Uij"), *numberField(row, "Kij"),
                   *numberField(row, "Gij")};
      p[i][j] = p[j][i] = v;
    }
    return p;
  }();
  return table;
}

// (X + 1 - n)^n for a 0/1 exponent n.
long double flag(int n, long double x) { return n == 1 ? x : 1.0L; }

}  // namespace

Aga8Reference::Aga8Reference(const std::array<double, 21>& x) : x_(x) {
  const auto& c = componentTable();
  const auto& pair = pairTable();
  const auto& term = termTable();

  long double sumK = 0, sumU = 0, k5 = 0, u5 = 0, g = 0, q = 0, f = 0;
  for (int i = 0; i < 21; ++i) {
    molarMass_ += x[i] * c[i].mass;
    sumK += x[i] * std::pow(c[i].K, 2.5L);
    sumU += x[i] * std::pow(c[i].E, 2.5L);
    g += x[i] * c[i].G;
    q += x[i] * c[i].Q;
    f += x[i] * x[i] * c[i].F;
  }
  k5 = sumK * sumK;
  u5 = sumU * sumU;
  for (int i = 0; i < 21; ++i) {
    for (int j = i + 1; j < 21; ++j) {
      const long double xx = 2.0L * x[i] * x[j];
      k5 += xx * (std::pow(pair[i][j].K, 5.0L) - 1) * std::pow(c[i].K * c[j].K, 2.5L);
      u5 += xx * (std::pow(pair[i][j].U, 5.0L) - 1) * std::pow(c[i].E * c[j].E, 2.5L);
      g += xx * (pair[i][j].G - 1) * (c[i].G + c[j].G) / 2;
    }
  }
  size3_ = std::pow(k5, 0.6L);
  const long double u = std::pow(u5, 0.2L);

  for (int n = 0; n < 18; ++n) {
    const Term& t = term[n];
    long double sum = 0;
    for (int i = 0; i < 21; ++i) {
      for (int j = 0; j < 21; ++j) {
        if (x[i] == 0 || x[j] == 0) continue;
        const long double eij = pair[i][j].E * std::sqrt((long double)c[i].E * c[j].E);
        const long double gij = pair[i][j].G * (c[i].G + c[j].G) / 2;
        const long double bStar = flag(t.g, gij) * flag(t.q, c[i].Q * c[j].Q) *
                                  flag(t.f, std::sqrt((long double)c[i].F * c[j].F)) *
                                  flag(t.s, c[i].S * c[j].S) * flag(t.w, c[i].W * c[j].W);
        sum += x[i] * x[j] * std::pow(eij, t.u) * std::pow(c[i].K * c[j].K, 1.5L) * bStar;
      }
    }
    bCoef_[n] = t.a * sum;
  }
  for (int n = 12; n < 58; ++n) {
    const Term& t = term[n];
    cCoef_[n] = t.a * flag(t.g, g) * flag(t.q, q * q) * flag(t.f, f) * std::pow(u, t.u);
  }
}

Aga8Reference::Helmholtz Aga8Reference::residual(long double temperatureK, long double rho) const {
  const auto& term = termTable();
  // Every u_n is a multiple of 1/2 from -13 to 23 and every b_n, k_n an
  // integer up to 9: tables of powers replace pow() in the sums.
  constexpr int kNegative = 26;      // u down to -13
  long double tPow[kNegative + 47];  // T^(-n/2) at [n + kNegative]
  tPow[kNegative] = 1;
  const long double root = std::sqrt(temperatureK);
  for (int n = 1; n < 47; ++n) tPow[kNegative + n] = tPow[kNegative + n - 1] / root;
  for (int n = 1; n <= kNegative; ++n) tPow[kNegative - n] = tPow[kNegative - n + 1] * root;
  auto tToMinus = [&tPow](long double u) {
    return tPow[kNegative + static_cast<int>(std::lround(2 * u))];
  };
  const long double x = size3_ * rho;
  long double xPow[10];
  xPow[0] = 1;
  for (int n = 1; n < 10; ++n) xPow[n] = xPow[n - 1] * x;
  long double expTerm[5];
  for (int n = 0; n < 5; ++n) expTerm[n] = std::exp(-xPow[n]);

  Helmholtz r;
  // One term tau = (density part) T^-u: the density derivatives scale it by
  // m and m2, the temperature derivatives by -u and u (u + 1).
  auto add = [&r](long double tau, long double m, long double m2, long double u) {
    r.phi += tau;
    r.d += m * tau;
    r.dd += m2 * tau;
    r.t += -u * tau;
    r.dt += -u * m * tau;
    r.tt += u * (u + 1) * tau;
  };
  for (int n = 0; n < 18; ++n) {
    add(bCoef_[n] * tToMinus(term[n].u) * rho, 1, 0, term[n].u);
    if (n >= 12) add(-x * cCoef_[n] * tToMinus(term[n].u), 1, 0, term[n].u);
  }
  for (int n = 12; n < 58; ++n) {
    const Term& t = term[n];
    const long double ckx = t.c * t.k * xPow[t.k];
    const long double tau =
        cCoef_[n] * tToMinus(t.u) * xPow[t.b] * (t.c == 1 ? expTerm[t.k] : 1.0L);
    const long double m = t.b - ckx;
    add(tau, m, m * m - m - t.k * ckx, t.u);
  }
  return r;
}

void Aga8Reference::idealGas(long double temperatureK, long double& cp, long double& h,
                             long double& s) const {
  const auto& c = componentTable();
  cp = h = s = 0;
  const long double T = temperatureK;
  for (int i = 0; i < 21; ++i) {
    if (x_[i] == 0) continue;
    const long double* p = c[i].ideal;
    const long double A = p[0], B = p[1], K = p[10];
    long double cpi = B, hi = A + B * T, si = K + B * std::log(T);
    for (int pairIndex = 0; pairIndex < 4; ++pairIndex) {
      const long double coef = p[2 + 2 * pairIndex];
      const long double theta = p[3 + 2 * pairIndex];
      if (coef == 0) continue;
      const long double y = theta / T;
      if (pairIndex % 2 == 0) {  // sinh terms C, G
        cpi += coef * std::pow(y / std::sinh(y), 2.0L);
        hi += coef * theta / std::tanh(y);
        si += coef * (y / std::tanh(y) - std::log(std::sinh(y)));
      } else {  // cosh terms E, I
        cpi += coef * std::pow(y / std::cosh(y), 2.0L);
        hi -= coef * theta * std::tanh(y);
        si -= coef * (y * std::tanh(y) - std::log(std::cosh(y)));
      }
    }
    cp += x_[i] * cpi * kCalorie;
    h += x_[i] * hi * kCalorie;
    s += x_[i] * si * kCalorie;
  }
}

ReferenceState Aga8Reference::at(long double temperatureK, long double rho) const {
  const long double R = kGasConstant, T = temperatureK;
  const Helmholtz r = residual(T, rho);
  long double cp0 = 0, h0 = 0, s0 = 0;
  idealGas(T, cp0, h0, s0);
  long double mixing = 0;
  for (double xi : x_) {
    if (xi > 0) mixing -= R * xi * std::log((long double)xi);
  }
  const long double perKg = 1000.0L / molarMass_;
  ReferenceState st;
  st.T = T;
  st.rho = rho;
  st.Z = 1 + r.d;
  st.P = rho * R * T * st.Z;
  st.rhoMass = rho * molarMass_;
  st.dPdRho = R * T * (1 + 2 * r.d + r.dd);
  const long double cv = cp0 - R - R * (r.tt + 2 * r.t);
  st.cv = cv * perKg;
  const long double dPdT = rho * R * (1 + r.d + r.dt);
  const long double cp = cv + T * dPdT * dPdT / (rho * rho * st.dPdRho);
  st.k = cp / cv;
  st.W = std::sqrt(1000.0L * st.k * st.dPdRho / molarMass_);
  st.kappa = st.k * (1 + 2 * r.d + r.dd) / st.Z;
  st.h = (h0 + R * T * r.d - R * T * r.t) * perKg;
  st.s = (s0 + mixing - R * std::log(rho * R * T / kReferencePressure) - R * (r.phi + r.t)) * perKg;
  return st;
}

std::optional<ReferenceState> Aga8Reference::atPressure(long double temperatureK,
                                                        long double pressureKpa) const {
  const long double T = temperatureK;
  auto pressure = [&](long double rho) {
    return rho * kGasConstant * T * (1 + residual(T, rho).d);
  };
  // Walk up the isotherm from half the ideal-gas density until the pressure
  // passes the target; an isotherm that turns down first has no gas state there.
  long double lo = 0, hi = 0.5L * pressureKpa / (kGasConstant * T);
  for (int i = 0;; ++i) {
    if (i == 200 || at(T, hi).dPdRho <= 0) return std::nullopt;
    if (pressure(hi) >= pressureKpa) break;
    lo = hi;
    hi *= 1.25L;
  }
  // Newton inside the bracket, halving when a step would leave it.
  long double rho = 0.5L * (lo + hi);
  for (int i = 0; i < 200; ++i) {
    const ReferenceState st = at(T, rho);
    const long double error = st.P - pressureKpa;
    if (error == 0) break;
    (error > 0 ? hi : lo) = rho;
    const long double next = rho - error / st.dPdRho;
    if (std::fabs(next - rho) <= 1e-18L * rho) break;
    rho = (next > lo && next < hi) ? next : 0.5L * (lo + hi);
  }
  return at(T, rho);
}

std::optional<ReferenceState> Aga8Reference::onIsentrope(long double rho, long double s,
                                                         long double temperatureGuess) const {
  // At fixed density, T ds/dT = Cv > 0: Newton on ln T.
  long double lnT = std::log(temperatureGuess);
  for (int i = 0; i < 100; ++i) {
    const ReferenceState st = at(std::exp(lnT), rho);
    const long double step = std::clamp((s - st.s) / st.cv, -0.3L, 0.3L);
    if (std::fabs(step) < 1e-15L) return st;
    lnT += step;
  }
  return std::nullopt;
}

std::optional<long double> Aga8Reference::criticalFlowFactor(const ReferenceState& plenum,
                                                             ReferenceState* throat) const {
  // Along the isentrope, F(rho) = (h0 - h) - W^2 / 2 is -W0^2 / 2 at the
  // plenum and grows as the gas expands; the throat is the first root on the
  // way down from the plenum density. Dense gas can meet states that are no
  // gas (falling pressure) on the way: a root right before them is found by
  // closing in on their edge; past them there is no throat to compare with.
  long double lastT = plenum.T;
  auto F = [&](long double rho, ReferenceState& st) -> std::optional<long double> {
    const auto found = onIsentrope(rho, plenum.s, lastT);
    if (!found || !(found->dPdRho > 0)) return std::nullopt;
    st = *found;
    lastT = st.T;
    return (plenum.h - st.h) - st.W * st.W / 2;
  };
  ReferenceState st;
  long double hi = plenum.rho, fHi = -plenum.W * plenum.W / 2;  // last gas state, F <= 0
  long double lo = 0, fLo = 0;
  for (int i = 0; lo == 0; ++i) {
    if (i == 300) return std::nullopt;
    long double rho = hi * 0.98L;
    auto f = F(rho, st);
    // Close in on the edge of the states that are no gas.
    for (long double none = rho; !f && hi - none > 1e-12L * hi;) {
      rho = 0.5L * (hi + none);
      f = F(rho, st);
      if (!f) {
        none = rho;
      } else if (*f <= 0) {
        hi = rho;
        fHi = *f;
        f = std::nullopt;
      }
    }
    if (!f) return std::nullopt;
    if (*f > 0) {
      lo = rho;
      fLo = *f;
    } else {
      hi = rho;
      fHi = *f;
    }
  }
  // Regula falsi with the Illinois halving, far below the C* compared.
  int side = 0;
  for (int i = 0; i < 300 && hi - lo > 1e-14L * hi; ++i) {
    const long double rho = (lo * fHi - hi * fLo) / (fHi - fLo);
    const auto f = F(rho, st);
    if (!f) return std::nullopt;
    if (*f == 0) break;
    if (*f > 0) {
      lo = rho;
      fLo = *f;
      if (side == 1) fHi /= 2;
      side = 1;
    } else {
      hi = rho;
      fHi = *f;
      if (side == -1) fLo /= 2;
      side = -1;
    }
  }
  if (throat) *throat = st;
  return st.rhoMass * st.W / std::sqrt(plenum.Z * plenum.P * 1000.0L * plenum.rhoMass);
}

}  // namespace tarnlux::test
