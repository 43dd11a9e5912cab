// The sizing tools' set-up files. A choice bit mends the check sum first, so
// the fuzzer also reaches the fields behind it. A file read and written again
// must read back the same.
#include <vector>

#include "calc/sizing_settings.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarnlux;
  fuzz::Input in(data, size);
  const std::uint8_t choice = in.take();
  const SizingMode mode = (choice & 1) != 0 ? SizingMode::Liquid : SizingMode::Gas;
  std::vector<std::uint8_t> bytes(in.data(), in.data() + in.size());
  const std::size_t fileSize = sizingSetupFileSize(mode);
  if ((choice & 2) != 0 && bytes.size() >= fileSize) {
    // The file ends with the wrapping sum of the bytes from just inside the
    // header up to the sum itself.
    const std::size_t at = fileSize - 2;
    std::uint16_t sum = 0;
    const std::size_t start = mode == SizingMode::Gas ? 36 : 39;
    for (std::size_t i = start; i < at; ++i) sum = static_cast<std::uint16_t>(sum + bytes[i]);
    bytes[at] = static_cast<std::uint8_t>(sum);
    bytes[at + 1] = static_cast<std::uint8_t>(sum >> 8);
  }
  SizingSetupFile setup;
  if (decodeSizingSetupFile(mode, bytes, setup) != 0) return 0;
  const std::vector<std::uint8_t> again = encodeSizingSetupFile(mode, setup);
  SizingSetupFile second;
  if (decodeSizingSetupFile(mode, again, second) != 0) __builtin_trap();
  if (second.choices.index != setup.choices.index || second.user.type != setup.user.type ||
      second.sFilter != setup.sFilter)
    __builtin_trap();
  return 0;
}
