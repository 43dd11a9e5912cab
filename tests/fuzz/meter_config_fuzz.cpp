// The configuration answer.
#include "fuzz_input.h"
#include "reports/meter_config.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarnlux;
  fuzz::Input in(data, size);
  const std::uint8_t choice = in.take();
  const std::string_view answer = in.text();
  const MeterFacts facts = fuzz::factsFor(answer, choice);
  MeterConfiguration out;
  decodeMeterConfiguration(answer, (choice >> 1) % 4, (choice & 1) != 0, facts.meterFlags, out);
  return 0;
}
