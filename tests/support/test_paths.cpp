#include "test_paths.h"

namespace tarnlux::test {

const char* meterBinary() { return TARNLUX_METER_BINARY; }
const char* cliBinary() { return TARNLUX_CLI_BINARY; }
std::string testDataDir() { return TARNLUX_TEST_DATA_DIR; }
std::string sharedDataDir() { return TARNLUX_SHARED_DATA_DIR; }

}  // namespace tarnlux::test
