// The storage answer, and what the set-up screen makes of the state it gives.
#include <string>

#include "diag/alarm_storage.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarnlux;
  fuzz::Input in(data, size);
  const std::uint8_t choice = in.take();
  const std::string_view answer = in.text();
  AlarmStorageState state;
  state.usedBytes = 12345;  // a mark: a fault must leave the state alone
  if (parseStorageAnswer(answer, state) != 0) {
    if (state.usedBytes != 12345 || state.allocatedBytes != 0) __builtin_trap();
    return 0;
  }
  const AlarmStorageTexts texts = alarmStorageTexts(state);
  if (texts.allocatedKb.empty()) __builtin_trap();
  AlarmStorageRequest request;
  request.enable = (choice & 1) != 0;
  request.clear = (choice & 2) != 0;
  request.freeMemory = (choice & 4) != 0;
  request.memoryText = std::string(answer.substr(0, choice >> 4));
  const AlarmStorageDecision decision = decideStorageApply(request, state, choice >> 3);
  if (decision.send && (decision.commandValue & kStorageStateRequest) == 0) __builtin_trap();
  if (decision.requestedKb > kStorageMaxKilobytes) __builtin_trap();
  return 0;
}
