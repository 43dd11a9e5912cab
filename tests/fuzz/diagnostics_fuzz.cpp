// The kind-2 (extended diagnostics) and Echoflux diagnostic answers.
#include "diag/path_diagnostics.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarnlux;
  fuzz::Input in(data, size);
  const std::uint8_t choice = in.take();
  const int path = in.take() % 4;
  const std::string_view answer = in.text();
  const MeterFacts facts = fuzz::factsFor(answer, choice);
  MeasurementStore store;
  if (choice & 0x80)
    decodeEchofluxAnswer(answer, path, facts, store);
  else
    decodeExtendedDiagnosticAnswer(answer, path, facts, store);
  return 0;
}
