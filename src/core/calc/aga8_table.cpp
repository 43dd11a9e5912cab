#include "calc/aga8_table.h"

#include "common/op_context.h"
#include "common/result.h"

namespace tarnlux {

double aga8TableAxisValue(double minimum, double maximum, int step) {
  if (step >= kAga8TableSteps - 1) return maximum;
  return minimum + (maximum - minimum) * step / (kAga8TableSteps - 1);
}

int aga8ComputeTable(GasRecord& gas, double maximumPressurePa, double maximumTemperatureK,
                     Aga8Table& table, const Aga8CellDone& cellDone) {
  const double minimumPressure = gas.Pf;
  const double minimumTemperature = gas.Tf;
  int result = kAga8Normal;
  for (int t = 0; t < kAga8TableSteps && result == kAga8Normal; ++t) {
    for (int p = 0; p < kAga8TableSteps; ++p) {
      gas.Tf = aga8TableAxisValue(minimumTemperature, maximumTemperatureK, t);
      gas.Pf = aga8TableAxisValue(minimumPressure, maximumPressurePa, p);
      gas.status = kAga8Normal;
      gas.forceUpdate = 1;
      aga8Calculate(gas, 0.0);
      if (gas.status != kAga8Normal) {
        result = gas.status;
        break;
      }
      table.Zf[kAga8TableSteps * t + p] = gas.Zf;
      table.Rhof[kAga8TableSteps * t + p] = gas.Rhof;
      if (cellDone && !cellDone(t, p)) {
        result = kCancelled;
        break;
      }
    }
  }
  gas.Pf = minimumPressure;
  gas.Tf = minimumTemperature;
  return result;
}

int aga8ComputeTable(GasRecord& gas, double maximumPressurePa, double maximumTemperatureK,
                     Aga8Table& table, const OperationContext& ctx) {
  if (ctx.cancelled()) return kCancelled;
  return aga8ComputeTable(gas, maximumPressurePa, maximumTemperatureK, table, [&ctx](int, int) {
    ctx.tick();
    return !ctx.cancelled();
  });
}

}  // namespace tarnlux
