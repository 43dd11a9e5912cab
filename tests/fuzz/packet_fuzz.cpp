// One received packet line.
#include "fuzz_input.h"
#include "link/packet.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tarnlux::fuzz::Input in(data, size);
  const std::uint8_t choice = in.take();
  tarnlux::checkPacketLine(in.text(), choice == 0xff ? -1 : choice);
  return 0;
}
