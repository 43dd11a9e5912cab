// The answer header, the echo split and the capability answer.
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarnlux;
  fuzz::Input in(data, size);
  const std::uint8_t choice = in.take();
  const std::string_view text = in.text();

  AnswerText parts = splitAnswer(answerAfterEcho(text, "qg A01\r"));
  AnswerHeader header;
  readAnswerHeader(parts.header, header);

  MeterFacts facts = fuzz::factsFor(text, choice);
  facts.meterFlags ^= (choice & 0x80) ? 0x10u : 0u;  // now and then a word that must not match
  checkAnswerHeader(parts.header, choice & 0x0f, (choice >> 4) & 0x07, 1, facts);

  std::uint32_t flags = 0;
  bool kindReported = false;
  readCapabilityAnswer(text, flags, kindReported);
  return 0;
}
