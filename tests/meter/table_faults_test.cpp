// The table listing faults that let the service program's read-back be tested.

#include <gtest/gtest.h>

#include "meter_test_util.h"

using namespace tarnlux::meter;

TEST(TableFaults, ListingShortOrOffWhileTheStoredValuesStay) {
  Meter meter{test::smallProfile(), 7, [] { return test::kFixedTime; }};
  ASSERT_EQ(meter.execute("cv 0 temp_grid[0] 143.150,0,3,4,5,6,7,8,9,473.149"), "");
  FaultSet faults;
  std::string error;
  ASSERT_TRUE(parseFaults("table-short=temp_grid,table-off=temp_grid", faults, error)) << error;
  meter.applyStateFaults(faults);
  EXPECT_EQ(meter.execute("cv 0 temp_grid"),
            "double temp_grid[0] 143.151 0 3 4 \r\n[4] 5 6 7 8 \r\n[8] 9 \r\n");
  EXPECT_EQ(meter.execute("cv 0 temp_grid[9]"), "double temp_grid[9] 473.149\r\n");
  EXPECT_FALSE(parseFaults("table-short", faults, error));
  EXPECT_FALSE(parseFaults("table-off=", faults, error));
}
