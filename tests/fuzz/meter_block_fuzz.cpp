// The memory block and the command block answers.
#include "fuzz_input.h"
#include "link/meter_block.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarnlux;
  fuzz::Input in(data, size);
  const std::uint8_t choice = in.take();
  const std::string_view answer = in.text();
  if (choice & 0x80) {
    char sequence = 'z';
    readCommandBlockAnswer(answer, 21040, sequence);
    return 0;
  }
  const MeterBlockLayout layout = (choice & 1) ? MeterBlockLayout::Echoflux : MeterBlockLayout::TransitTime;
  const bool alarmStorage = (choice & 2) != 0;
  MeterBlockState state;
  if (readMeterBlockAnswer(answer, layout, alarmStorage, (choice & 4) != 0, state) == 0) {
    // What was read must encode again, or at least fail cleanly.
    std::string text;
    encodeMeterBlock(state.block, layout, alarmStorage, state.generation, text);
    meterBlockWriteConfirmed(answer, text);
  }
  return 0;
}
