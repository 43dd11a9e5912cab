#pragma once

// Where the build put the programs under test and where the test data lives,
// as absolute paths. Kept out of the compile flags of every test, so moving the
// source tree changes one file's flags, not all of them.

#include <string>

namespace tarnlux::test {

const char* meterBinary();
const char* cliBinary();
// tests/data of the source tree.
std::string testDataDir();
// The standards data shared with the project (the AGA8 and AGA10 tables).
std::string sharedDataDir();

}  // namespace tarnlux::test
