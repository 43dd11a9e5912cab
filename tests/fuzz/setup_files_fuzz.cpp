// The set-up files of the AGA8 and energy calculators.
#include "calc/aga8_setup_file.h"
#include "calc/energy_setup_file.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarnlux;
  fuzz::Input in(data, size);
  const bool energy = in.flag();
  const std::span<const std::uint8_t> bytes(in.data(), in.size());
  if (energy) {
    EnergySetupFile setup;
    decodeEnergySetupFile(bytes, setup);
  } else {
    Aga8SetupFile setup;
    decodeAga8SetupFile(bytes, setup);
  }
  return 0;
}
