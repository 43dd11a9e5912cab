#pragma once

#include <array>
#include <functional>

#include "calc/aga8.h"

namespace tarnlux {

struct OperationContext;

inline constexpr int kAga8TableSteps = 10;

// Zf and Rhof (kg/m3) over 10 temperatures by 10 pressures, element
// [10 * t + p] for temperature step t and pressure step p.
struct Aga8Table {
  std::array<double, kAga8TableSteps * kAga8TableSteps> Zf{};
  std::array<double, kAga8TableSteps * kAga8TableSteps> Rhof{};
};

// Step i (0..9) of 10 equal steps from minimum to maximum; step 9 is the
// maximum exactly.
double aga8TableAxisValue(double minimum, double maximum, int step);

// Called after each computed cell; returning false stops the table (Stop).
using Aga8CellDone = std::function<bool(int temperatureStep, int pressureStep)>;

// Computes the table from gas.Pf / gas.Tf (the minima) to the maxima, the
// temperature in the outer loop. Every point is a full calculation through
// aga8Calculate. Stops at the first point whose status is not kAga8Normal
// (gas.status keeps it) or when cellDone returns false. Afterwards gas.Pf and
// gas.Tf hold the minima again.
// Returns kAga8Normal when all 100 cells are filled, the failing status, or
// kCancelled.
int aga8ComputeTable(GasRecord& gas, double maximumPressurePa, double maximumTemperatureK,
                     Aga8Table& table, const Aga8CellDone& cellDone = {});

// Same, waiting the usual way: after each cell the context's progress line and
// pump are served, and its cancel flag stops the table.
int aga8ComputeTable(GasRecord& gas, double maximumPressurePa, double maximumTemperatureK,
                     Aga8Table& table, const OperationContext& ctx);

}  // namespace tarnlux
