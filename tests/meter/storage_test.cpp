// The meter's alarm storage: commands written into the command block and the
// storage answer they get.

#include "storage.h"

#include <gtest/gtest.h>

#include <string>

#include "meter.h"
#include "profile.h"

using namespace tarnlux::meter;

namespace {

// "cv 0 qmcmd[0] S,CODE,,CK,S<EOT>" with its check value.
std::string commandLine(char sequence, const std::string& code, bool goodCheck = true) {
  const std::string text = std::string(1, sequence) + "," + code + ",,";
  char check[4];
  std::snprintf(check, sizeof check, "%02X", textCheckValue(text) ^ (goodCheck ? 0 : 1));
  return "cv 0 qmcmd[0] " + text + check + "," + sequence + "\x04";
}

TEST(MeterStorage, CommandsChangeTheStateTheAnswerReports) {
  Profile profile;
  std::string error;
  ASSERT_TRUE(loadProfile("liquid1", profile, error)) << error;
  Meter meter(profile, 1);
  struct Step {
    std::string code;
    std::string fields;  // between the bars, without the check value
  };
  const Step steps[] = {
      {"20", "0,0,0,0,0,0,1,"},
      {"4021", "65536,0,0,1,0,0,1,"},      // enable with 64 KB
      {"8020", "65536,0,0,1,0,0,1,"},      // an allocation while allocated changes nothing
      {"8024", "131072,0,0,1,0,0,1,"},     // free and allocate 128 KB
      {"22", "131072,0,0,0,0,0,1,"},       // disable
      {"24", "0,0,0,0,0,0,1,"},            // free
  };
  char sequence = '0';
  for (const Step& step : steps) {
    const std::string answer = meter.execute(commandLine(sequence++, step.code));
    char check[4];
    std::snprintf(check, sizeof check, "%02X", textCheckValue(step.fields));
    EXPECT_EQ(answer, "|" + step.fields + check + "|\x03\r\n") << step.code;
  }
  // The block the service program wrote sets the limits up.
  meter.execute("cv 0 qmmem[0] 0,30,15");
  const std::string answer = meter.execute(commandLine(sequence++, "20"));
  EXPECT_EQ(answer.substr(0, 15), "|0,0,0,2,1,0,1,") << answer;

  // A command with a wrong check value, or not a storage command, gets no state.
  EXPECT_EQ(meter.execute(commandLine(sequence++, "21", false)), "\x03\r\n");
  EXPECT_EQ(meter.execute(commandLine(sequence++, "10")), "\x03\r\n");
}

}  // namespace
