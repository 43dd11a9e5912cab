// "tarnlux-cli limits write" and "meter-info" against the simulated meter:
// the screens' save from a script, its refusals and what a reconnect reads.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "cli_process.h"
#include "meter_process.h"

namespace tarnlux {
namespace {

using test::MeterProcess;

struct VerbRun {
  int status = -1;
  std::string out;
  std::string err;
  std::map<std::string, std::string> keys;
};

VerbRun cli(const MeterProcess& meter, std::vector<std::string> args) {
  args.insert(args.begin(), {"--link", "tcp:127.0.0.1:" + std::to_string(meter.tcpPort())});
  test::CliRun done = test::runCli(args);
  return {done.status, done.out, done.err, test::keyValueLines(done.out)};
}

TEST(LimitsVerbs, SavedWithThePasswordAndKeptAcrossAReconnect) {
  MeterProcess meter;
  ASSERT_TRUE(meter.startTcp({"--profile", "gas4"})) << meter.error();

  // The block names no site yet: the save needs one.
  VerbRun run = cli(meter, {"limits", "write", "--password", "GAS4PASS", "snr.warning=12.5"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Empl. compteur doit contenir 1 car. minimum"), std::string::npos);

  run = cli(meter, {"meter-info", "--password", "gas4pass", "location=site_a",
                    "manufacture_date=12-03-2019"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.keys["status"], "Enreg donnees OK");
  EXPECT_NE(run.keys["sent"].find(",SITE_A,,,12-03-2019,"), std::string::npos) << run.out;

  run = cli(meter, {"limits", "write", "--password", "WRONG", "snr.warning=12.5"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("M. de p. incorrect"), std::string::npos) << run.err;
  EXPECT_EQ(run.out, "status=Enreg donnees arr.\n");

  // An empty value takes the screen's (gas) value.
  run = cli(meter, {"limits", "write", "--password", "GAS4PASS", "snr.warning=12.5",
                    "limit.alc.fail=30", "alc.warning="});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.keys["status"], "Enreg donnees OK");
  EXPECT_EQ(run.keys["sent"].rfind("1,45,30,12.5,10,", 0), 0u) << run.out;

  // The same again: nothing to send, and no password needed for it.
  run = cli(meter, {"limits", "write", "snr.warning=12.5"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "status=Enreg donnees OK\n");

  run = cli(meter, {"block", "read"});
  EXPECT_EQ(run.keys["limit.snr.warning"], "12.5");
  EXPECT_EQ(run.keys["limit.alc.fail"], "30");
  run = cli(meter, {"meter-info"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "location=SITE_A\nspool_part_number=\nspool_serial_number=\n"
            "manufacture_date=12-03-2019\nflowmeter_part_number=\nflowmeter_serial_number=\n");
}

TEST(LimitsVerbs, RefusalsGiveTheScreensMessageAndSendNothing) {
  MeterProcess meter;
  ASSERT_TRUE(meter.startTcp()) << meter.error();
  ASSERT_EQ(cli(meter, {"meter-info", "location=SITE_A"}).status, 0);

  struct Case {
    std::vector<std::string> args;
    const char* message;
  };
  const std::vector<Case> refused = {
      // The screen's priority order, not the command line's.
      {{"limits", "write", "adc.warning=0", "snr.fail=x"}, "Valeur incorrecte pour limite echec SNR"},
      {{"limits", "write", "alc.warning=0"}, "Numero incorrect pour limite avertissement ALC"},
      {{"limits", "write", "alc.warning=10"}, "ALC"},  // warning past its fail limit
      {{"meter-info", "location=A B"}, "Car non valide, utiliser lettres, chiffres"},
      {{"meter-info", "location=SIXTEEN_CHARS_AB"},
       "Trop de caracteres pour emplacement / No pt de mesure"},
  };
  for (const Case& c : refused) {
    const VerbRun run = cli(meter, c.args);
    EXPECT_EQ(run.status, 1) << c.args.back();
    EXPECT_NE(run.err.find(c.message), std::string::npos) << c.args.back() << ": " << run.err;
    EXPECT_EQ(run.out, "") << c.args.back();
  }
  EXPECT_EQ(cli(meter, {"block", "read"}).keys["generation"], "0") << "only the first save went out";

  EXPECT_EQ(cli(meter, {"meter-info", "location=FIFTEEN_CHARS_1"}).status, 0);
  EXPECT_EQ(cli(meter, {"meter-info"}).keys["location"], "FIFTEEN_CHARS_1");
  EXPECT_EQ(cli(meter, {"limits", "write", "fft_peak.warning=70"}).status, 2) << "Echoflux only";
  EXPECT_EQ(cli(meter, {"limits", "write", "alc=30"}).status, 2);
  EXPECT_EQ(cli(meter, {"meter-info", "site=X"}).status, 2);
}

}  // namespace
}  // namespace tarnlux
