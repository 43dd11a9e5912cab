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
  for (const std::string& key : first.keys("Settings")) {
    if (first.get("Settings", key) != second.get("Settings", key)) __builtin_trap();
  }
  first.set("Settings", "Port", "COM1");
  first.remove("Settings", "Port");
  return 0;
}
