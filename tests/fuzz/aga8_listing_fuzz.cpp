// The meter's listing of an AGA8 table array.
#include <vector>

#include "calc/aga8_meter_table.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarnlux;
  fuzz::Input in(data, size);
  const Aga8MeterArray& array = kAga8MeterArrays[in.take() % kAga8MeterArrays.size()];
  std::vector<double> values;
  if (parseAga8Listing(in.text(), array, values) == 0 && values.size() != array.count) __builtin_trap();
  aga8MeterReadBack(in.text().substr(0, 40));
  return 0;
}
