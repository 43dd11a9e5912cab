// Typed-read answers: "unsigned", "int", "double", text and meter-identifier reads.
#include <array>
#include <string>

#include "fuzz_input.h"
#include "link/typed_read.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarnlux;
  fuzz::Input in(data, size);
  static constexpr std::array<std::string_view, 8> kNames = {"abar", "stdflow", "totmod", "vfv",
                                                             "delta_t", "flegend", "sigstr", "fx"};
  const std::uint8_t choice = in.take();
  const std::string_view name = kNames[(choice >> 3) % kNames.size()];
  const std::string_view answer = in.text();
  switch (choice % 6) {
    case 0: {
      std::uint32_t value = 0;
      parseUnsignedAnswer(answer, "unsigned", name, value);
      break;
    }
    case 1:
    case 2: {
      std::int32_t value = 0;
      parseIntAnswer(answer, "int", name, choice % 6 == 1 ? 10 : 16, value);
      break;
    }
    case 3: {
      double value = 0;
      parseDoubleAnswer(answer, name, value);
      break;
    }
    case 4: {
      std::string value;
      if (parseTextAnswer(answer, (choice & 0x80) != 0, value) == 0 &&
          (value.empty() || value.size() > kMaxTextValue))
        __builtin_trap();  // the rule promises 1 to 15 characters
      break;
    }
    default: {
      std::string raw, shown;
      if (parseMeterIdAnswer(answer, raw, shown) == 0 && raw.size() != kMeterIdLength) __builtin_trap();
      break;
    }
  }
  return 0;
}
