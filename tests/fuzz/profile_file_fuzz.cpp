// The settings-file reader. Besides not crashing, what it reads must be written
// back unchanged: a file read and saved again loses no line.
#include <string>

#include "common/profile_file.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarnlux;
  fuzz::Input in(data, size);
  ProfileFile first;
  first.parse(in.text());
  const std::string written = first.serialize();
  ProfileFile second;
  second.parse(written);
  if (second.serialize() != written) __builtin_trap();
  // A few keys only: each look-up walks the section, and a long file of keys
  // would otherwise make every run quadratic.
  const std::vector<std::string> keys = first.keys("Settings");
  for (std::size_t i = 0; i < keys.size() && i < 8; ++i) {
    if (first.get("Settings", keys[i]) != second.get("Settings", keys[i])) __builtin_trap();
  }
  first.set("Settings", "Port", "COM1");
  first.remove("Settings", "Port");
  return 0;
}
