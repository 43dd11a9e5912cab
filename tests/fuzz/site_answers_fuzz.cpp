// Identification (signal layout), channel identity (kind 4) and channel set-up (kind 3).
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarnlux;
  fuzz::Input in(data, size);
  const std::uint8_t choice = in.take();
  const int channel = in.take() % 5;
  const std::string_view answer = in.text();
  const MeterFacts facts = fuzz::factsFor(answer, choice);
  switch ((choice >> 6) % 3) {
    case 0: {
      IdentificationAnswer out;
      parseIdentificationAnswer(answer, channel, facts, out);
      break;
    }
    case 1: {
      ChannelIdentityAnswer out;
      parseChannelIdentityAnswer(answer, channel, facts, out);
      break;
    }
    default: {
      ChannelSetupAnswer out;
      parseChannelSetupAnswer(answer, channel, facts, out);
      break;
    }
  }
  return 0;
}
