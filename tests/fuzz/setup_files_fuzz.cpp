// The set-up files of the AGA8 and energy calculators. A choice bit mends the
// check sum first, so the fuzzer also reaches the fields behind it. A file
// that reads must write out and read back to the same bytes.
#include <vector>

#include "calc/aga8_setup_file.h"
#include "calc/energy_setup_file.h"
#include "calc/setup_file_io.h"
#include "fuzz_input.h"

namespace {

// The sum over [first, last] into its word at `at`, when the file is long enough.
void mendChecksum(std::vector<std::uint8_t>& bytes, std::size_t first, std::size_t last, std::size_t at) {
  if (bytes.size() < at + 2) return;
  tarnlux::putSetupWord(bytes, at, tarnlux::setupFileChecksum(bytes, first, last));
}

template <typename Setup, typename Encode, typename Decode>
void roundTrip(const std::vector<std::uint8_t>& bytes, Encode encode, Decode decode) {
  Setup setup;
  if (decode(bytes, setup) != 0) return;
  const auto written = encode(setup);
  Setup again;
  if (decode(written, again) != 0) __builtin_trap();
  if (encode(again) != written) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarnlux;
  fuzz::Input in(data, size);
  const std::uint8_t choice = in.take();
  const bool energy = (choice & 1) != 0;
  std::vector<std::uint8_t> bytes(in.data(), in.data() + in.size());
  if (energy) {
    if ((choice & 2) != 0) mendChecksum(bytes, 39, 71, 72);
    roundTrip<EnergySetupFile>(
        bytes, encodeEnergySetupFile,
        [](std::span<const std::uint8_t> b, EnergySetupFile& s) { return decodeEnergySetupFile(b, s); });
  } else {
    if ((choice & 2) != 0) mendChecksum(bytes, 32, 253, 254);
    roundTrip<Aga8SetupFile>(
        bytes, encodeAga8SetupFile,
        [](std::span<const std::uint8_t> b, Aga8SetupFile& s) { return decodeAga8SetupFile(b, s); });
  }
  return 0;
}
