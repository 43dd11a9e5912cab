#include "calc/aga8_table.h"

#include <gtest/gtest.h>

#include <vector>

#include "aga8_data.h"
#include "common/result.h"
#include "test_context.h"

using namespace tarnlux;
using tarnlux::test::aga8Record;
using tarnlux::test::aga8TestGases;

namespace {

GasRecord gulfCoast(double minimumT, double minimumP) {
  return aga8Record(aga8TestGases().at("gulf_coast"), minimumT, minimumP);
}

}  // namespace

TEST(Aga8TableAxis, TenEqualStepsEndingExactlyOnTheMaximum) {
  EXPECT_EQ(aga8TableAxisValue(270.0, 315.0, 0), 270.0);
  EXPECT_DOUBLE_EQ(aga8TableAxisValue(270.0, 315.0, 1), 275.0);
  EXPECT_DOUBLE_EQ(aga8TableAxisValue(270.0, 315.0, 5), 295.0);
  EXPECT_EQ(aga8TableAxisValue(0.1, 0.7, 9), 0.7);
  for (int i = 0; i < kAga8TableSteps; ++i) EXPECT_EQ(aga8TableAxisValue(3e6, 3e6, i), 3e6);
}

// Each cell is the single-point result at its grid conditions, temperature
// steps in the outer index; the record returns to the minima.
TEST(Aga8Table, EveryCellIsTheSinglePointResultAtItsConditions) {
  GasRecord gas = gulfCoast(270.0, 2e6);
  Aga8Table table;
  std::vector<int> order;
  const int rc = aga8ComputeTable(gas, 11e6, 315.0, table, [&order](int t, int p) {
    order.push_back(10 * t + p);
    return true;
  });
  ASSERT_EQ(rc, kAga8Normal);
  EXPECT_EQ(gas.status, kAga8Normal);
  EXPECT_EQ(gas.Tf, 270.0);
  EXPECT_EQ(gas.Pf, 2e6);
  ASSERT_EQ(order.size(), 100u);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(order[i], i);

  Aga8Calculator calc;
  for (int t : {0, 4, 9}) {
    for (int p : {0, 7, 9}) {
      GasRecord point = gulfCoast(270.0 + 5.0 * t, 2e6 + 1e6 * p);
      calc.calculate(point);
      EXPECT_NEAR(table.Zf[10 * t + p], point.Zf, 1e-12) << t << "," << p;
      EXPECT_NEAR(table.Rhof[10 * t + p], point.Rhof, 1e-9) << t << "," << p;
    }
  }
  // Denser at high pressure and low temperature.
  EXPECT_GT(table.Rhof[9], table.Rhof[0]);
  EXPECT_GT(table.Rhof[9], table.Rhof[99]);
}

TEST(Aga8Table, EqualMinimumAndMaximumStillFillsTheTable) {
  GasRecord gas = gulfCoast(290.0, 5e6);
  Aga8Table table;
  ASSERT_EQ(aga8ComputeTable(gas, 5e6, 290.0, table), kAga8Normal);
  for (int i = 1; i < 100; ++i) EXPECT_EQ(table.Zf[i], table.Zf[0]);
}

TEST(Aga8Table, StopEndsTheTableAfterTheCurrentCell) {
  GasRecord gas = gulfCoast(270.0, 2e6);
  Aga8Table table;
  table.Zf.fill(-1.0);
  int cells = 0;
  const int rc = aga8ComputeTable(gas, 11e6, 315.0, table, [&cells](int t, int p) {
    ++cells;
    return !(t == 3 && p == 4);
  });
  EXPECT_EQ(rc, kCancelled);
  EXPECT_EQ(cells, 35);
  EXPECT_GT(table.Zf[34], 0.0);
  EXPECT_EQ(table.Zf[35], -1.0);
  EXPECT_EQ(gas.Tf, 270.0);
  EXPECT_EQ(gas.Pf, 2e6);
}

TEST(Aga8Table, ContextCancelFlagStopsAndTheSpinnerPumpRuns) {
  tarnlux::test::RecordingContext rec;
  int pumps = 0;
  rec.ctx.pump = [&] {
    if (++pumps == 12) rec.cancel = 1;
  };
  GasRecord gas = gulfCoast(270.0, 2e6);
  Aga8Table table;
  EXPECT_EQ(aga8ComputeTable(gas, 11e6, 315.0, table, rec.ctx), kCancelled);
  EXPECT_EQ(pumps, 12);

  // Already cancelled: nothing is computed.
  pumps = 0;
  EXPECT_EQ(aga8ComputeTable(gas, 11e6, 315.0, table, rec.ctx), kCancelled);
  EXPECT_EQ(pumps, 0);
}

// The first failing grid point ends the whole table with its code: cooling
// the gas down to 120 K condenses it somewhere on the way.
TEST(Aga8Table, FirstFailingPointEndsTheTable) {
  int firstFailure = -1, failureCode = kAga8Normal;
  Aga8Calculator calc;
  for (int i = 0; i < 100 && firstFailure < 0; ++i) {
    GasRecord point =
        gulfCoast(aga8TableAxisValue(300.0, 120.0, i / 10), aga8TableAxisValue(2e6, 11e6, i % 10));
    calc.calculate(point);
    if (point.status != kAga8Normal) {
      firstFailure = i;
      failureCode = point.status;
    }
  }
  ASSERT_GT(firstFailure, 10);

  GasRecord gas = gulfCoast(300.0, 2e6);
  Aga8Table table;
  table.Zf.fill(-1.0);
  int cells = 0;
  const int rc = aga8ComputeTable(gas, 11e6, 120.0, table, [&cells](int, int) {
    ++cells;
    return true;
  });
  EXPECT_EQ(rc, failureCode);
  EXPECT_EQ(gas.status, failureCode);
  EXPECT_EQ(cells, firstFailure);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(table.Zf[i] > 0.0, i < firstFailure) << i;
  EXPECT_EQ(gas.Tf, 300.0);
  EXPECT_EQ(gas.Pf, 2e6);
}
