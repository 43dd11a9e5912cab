// Time of one full AGA8 point (equation of state, AGA10 properties, C*) and of
// the 10 x 10 table the AGA8 screen computes.

#include <benchmark/benchmark.h>

#include <array>

#include "calc/aga8.h"
#include "calc/aga8_table.h"
#include "calc/aga8_thermo.h"

using namespace tarnlux;

namespace {

// The 21-component check mixture: every term of the model is active.
constexpr std::array<double, kAga8ComponentCount> kMixture = {
    0.77824, 0.02,   0.06,    0.08,    0.03,    0.0001,  0.0025,  0.004, 0.002, 0.005, 0.0015,
    0.003,   0.0005, 0.00165, 0.00215, 0.00088, 0.00024, 0.00015, 9e-05, 0.007, 0.001};
// Gulf Coast gas: a typical pipeline gas with 10 components.
constexpr std::array<double, kAga8ComponentCount> kGulfCoast = {
    0.965222, 0.002595, 0.005956, 0.018186, 0.004596, 0, 0, 0, 0, 0, 0.000977,
    0.001007, 0.000473, 0.000324, 0.000664, 0,        0, 0, 0, 0, 0};

GasRecord record(const std::array<double, kAga8ComponentCount>& x) {
  GasRecord gas;
  gas.mixture = x;
  gas.Pb = 101325.0;
  gas.Tb = 288.15;
  gas.Tf = 300.0;
  gas.Pf = 7e6;
  return gas;
}

// A full single point as the screen runs it: new flowing conditions each time
// (so nothing comes from the cache but the base state), C* included.
void BM_Aga8SinglePoint(benchmark::State& state, std::array<double, kAga8ComponentCount> x) {
  Aga8Calculator calc;
  GasRecord gas = record(x);
  int i = 0;
  for (auto _ : state) {
    gas.forceUpdate = 1;
    gas.Pf = 7e6 + 1.0 * (i++ % 2);
    benchmark::DoNotOptimize(calc.calculate(gas));
  }
  if (gas.status != kAga8Normal) state.SkipWithError("calculation failed");
}
BENCHMARK_CAPTURE(BM_Aga8SinglePoint, gulf_coast, kGulfCoast)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Aga8SinglePoint, check_mixture_21, kMixture)->Unit(benchmark::kMicrosecond);

// Dense gas whose throat lies near the dew line (methane at 0 C and 20 MPa):
// the throat drop is refined through the last two refinements, not substituted.
void BM_Aga8SinglePointDense(benchmark::State& state) {
  Aga8Calculator calc;
  std::array<double, kAga8ComponentCount> methane{};
  methane[kAga8Methane] = 1.0;
  GasRecord gas = record(methane);
  gas.Tf = 273.15;
  int i = 0;
  for (auto _ : state) {
    gas.forceUpdate = 1;
    gas.Pf = 20e6 + 1.0 * (i++ % 2);
    benchmark::DoNotOptimize(calc.calculate(gas));
  }
  if (gas.status != kAga8Normal) state.SkipWithError("calculation failed");
}
BENCHMARK(BM_Aga8SinglePointDense)->Unit(benchmark::kMicrosecond);

// The same point with everything recomputed: a different gas on every call.
void BM_Aga8SinglePointNewGas(benchmark::State& state) {
  Aga8Calculator calc;
  GasRecord gases[2] = {record(kGulfCoast), record(kMixture)};
  int i = 0;
  for (auto _ : state) {
    GasRecord& gas = gases[i++ % 2];
    gas.forceUpdate = 1;
    benchmark::DoNotOptimize(calc.calculate(gas));
  }
}
BENCHMARK(BM_Aga8SinglePointNewGas)->Unit(benchmark::kMicrosecond);

// One state without C*: the density solution and the AGA10 properties alone.
void BM_Aga8StateWithoutCstar(benchmark::State& state) {
  aga8::ThermoModel thermo;
  thermo.setComposition(kMixture);
  aga8::State st;
  int i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(thermo.state(300.0 + 0.01 * (i++ % 2), 7e6, st));
  }
}
BENCHMARK(BM_Aga8StateWithoutCstar)->Unit(benchmark::kMicrosecond);

// The screen's table: 100 points, 2 to 12 MPa and 260 to 330 K.
void BM_Aga8Table(benchmark::State& state) {
  Aga8Table table;
  for (auto _ : state) {
    GasRecord gas = record(kGulfCoast);
    gas.Pf = 2e6;
    gas.Tf = 260.0;
    benchmark::DoNotOptimize(aga8ComputeTable(gas, 12e6, 330.0, table));
  }
}
BENCHMARK(BM_Aga8Table)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
