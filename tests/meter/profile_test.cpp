#include "profile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "meter.h"
#include "queries.h"
#include "test_context.h"

using namespace tarnlux::meter;

namespace {

TEST(Profiles, ShippedProfilesLoadWithEveryVariableTheProgramReads) {
  for (const char* name : {"liquid1", "gas4", "echoflux", "old", "twochannel", "legacy", "dual2"}) {
    SCOPED_TRACE(name);
    Profile p;
    std::string error;
    ASSERT_TRUE(loadProfile(name, p, error)) << error;
    EXPECT_EQ(p.name, name);
    Meter meter(p, 1);
    for (const char* v :
         {"abar",      "accept", "rep_rate", "make_state", "sigstr",  "delta_t",   "fx",
          "enab",      "id",     "pw",       "vfv",        "flegend", "stdflow",   "totmod",
          "mtotal",    "ptotal", "ntotal",   "tlegend",    "p_units", "temp_grid", "pres_grid",
          "dens_grid", "z_grid", "qmmem",    "qmcmd"}) {
      EXPECT_NE(meter.cv().find(v), nullptr) << v;
    }
    EXPECT_NE(meter.qm().find("alc_avg"), nullptr);
    // The memory block fits the largest block the program writes.
    EXPECT_GE(meter.cv().find("qmmem")->size, 480u);
    EXPECT_EQ(meter.cv().find("dens_grid")->size, 100u);
    // Blank on every meter but the protected gas4.
    EXPECT_EQ(meter.cv().find("pw")->size, 8u);
    EXPECT_EQ(meter.cv().find("pw")->texts[4], p.name == "gas4" ? "GAS4PASS" : "        ");
    // The reserved blocks start empty: all fill characters, so the first read
    // finds no head and no fields.
    for (const char* block : {"qmmem", "qmcmd"}) {
      const auto* v = meter.cv().find(block);
      EXPECT_EQ(v->type, VarType::Char) << block;
      EXPECT_EQ(v->texts[0], std::string(v->size, '~')) << block;
    }
    const auto make = meter.cv().number("make_state", 0, 0);
    EXPECT_TRUE(make >= 1 && make <= 21);
  }
}

TEST(Profiles, DefaultIsASinglePathLiquidMeterAndGas4AMultiPathGasMeter) {
  Profile liquid;
  Profile gas;
  std::string error;
  ASSERT_TRUE(loadProfile(kDefaultProfile, liquid, error)) << error;
  ASSERT_TRUE(loadProfile("gas4", gas, error)) << error;
  EXPECT_TRUE(liquid.memoryBlock);
  EXPECT_FALSE(liquid.gas());
  EXPECT_EQ(queryHeader(liquid, 5, 0, 1), "50100101");
  EXPECT_TRUE(gas.gas());
  EXPECT_EQ(gas.capabilities >> 16, 4u) << "kind 4: multi-path";
  EXPECT_EQ((gas.capabilities >> 4) & 0xF, 0xFu) << "four transit-time paths";
  Meter meter(gas, 1);
  // The site slot (low two bits + 1) is present and measuring.
  const int site = static_cast<int>(gas.capabilities & 3) + 1;
  EXPECT_EQ(meter.cv().text("id", site), "GAS4SITE");
  EXPECT_EQ(static_cast<unsigned>(meter.cv().number("abar", site, 0)) & 0x10, 0x10u);
}

// The roles the profiles play in the tests; a profile edited out of its role
// would leave those tests passing for the wrong reason.
TEST(Profiles, EachNamedMeterHasTheCapabilitiesOfItsRole) {
  auto load = [](const char* name) {
    Profile p;
    std::string error;
    EXPECT_TRUE(loadProfile(name, p, error)) << error;
    return p;
  };
  auto nibble = [](const Profile& p, int shift) { return (p.capabilities >> shift) & 0xFu; };

  const Profile gas = load("gas4");
  EXPECT_TRUE(gas.memoryBlock);
  EXPECT_GE(gas.versionText.substr(2), "04.00") << "alarm storage from x.04.00";
  EXPECT_NE(nibble(gas, 8), 0u) << "NullTrack on some paths";
  EXPECT_EQ(nibble(gas, 8) & ~nibble(gas, 4), 0u) << "only on transit-time paths";
  EXPECT_NE(gas.capabilities & 0x8u, 0u) << "NullTrack needs the extended channel state";

  const Profile echo = load("echoflux");
  EXPECT_TRUE(echo.memoryBlock);
  EXPECT_EQ(nibble(echo, 12), 1u);
  EXPECT_EQ(nibble(echo, 4), 0u) << "one channel: connects without a choice";
  EXPECT_GE(echo.versionText, "3.02.00M") << "the version must allow the Echoflux mode";

  const Profile old = load("old");
  EXPECT_EQ(old.versionText, "3.01.06E");
  EXPECT_FALSE(old.memoryBlock);

  const Profile two = load("twochannel");
  EXPECT_TRUE(two.memoryBlock);
  EXPECT_FALSE(two.gas());
  EXPECT_EQ(nibble(two, 4), 0x3u);
  EXPECT_EQ(nibble(two, 12), 0u);
  Meter meter(two, 1);
  EXPECT_NE(meter.cv().text("id", 0), meter.cv().text("id", 1));
  EXPECT_EQ(static_cast<unsigned>(meter.cv().number("abar", 1, 0)) & 0x10, 0x10u) << "both measure";

  const Profile liquid = load("liquid1");
  EXPECT_TRUE(liquid.memoryBlock) << "extended diagnostics come with the memory block";
  EXPECT_EQ(nibble(liquid, 4) | nibble(liquid, 12), 1u);
}

std::vector<std::string> fieldsOf(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (std::size_t comma; (comma = line.find(',', start)) != std::string::npos; start = comma + 1) {
    fields.push_back(line.substr(start, comma - start));
  }
  fields.push_back(line.substr(start));
  return fields;
}

// Kinds 3, 4 and 5 as docs/meter-answers.md lays them out.
TEST(Profiles, SiteAnswersFollowTheDocumentedLayouts) {
  for (const char* name : {"liquid1", "gas4", "dual2", "echoflux", "twochannel"}) {
    SCOPED_TRACE(name);
    Profile p;
    std::string error;
    ASSERT_TRUE(loadProfile(name, p, error)) << error;

    ASSERT_EQ(p.queryLines[4].size(), 1u);
    const auto identity = fieldsOf(p.queryLines[4][0]);
    ASSERT_EQ(identity.size(), 17u);
    EXPECT_EQ(identity[0], "{id}");
    EXPECT_EQ(identity[3], "{date}");
    EXPECT_EQ(identity[4], "{time}");
    EXPECT_TRUE(identity[8] == "0" || identity[8] == "1") << "length units";
    EXPECT_TRUE(identity[11].empty() == identity[12].empty()) << "K factor and its unit";
    EXPECT_TRUE(identity[14] == "PSIA" || identity[14] == "BARA");
    EXPECT_TRUE(identity[16] == "F" || identity[16] == "C");

    ASSERT_EQ(p.queryLines[3].size(), 1u);
    const auto setup = fieldsOf(p.queryLines[3][0]);
    ASSERT_EQ(setup.size(), 16u);
    EXPECT_TRUE(setup[10].empty()) << "field 10 is not used";
    for (int required : {0, 1, 2, 5, 6, 14, 15}) EXPECT_FALSE(setup[required].empty()) << required;

    const std::vector<std::string>& config = p.queryLines[5];
    ASSERT_FALSE(config.empty());
    EXPECT_EQ(config[0].rfind("Calibrate Type,", 0), 0u);
    for (std::size_t i = 0; i < config.size(); ++i) {
      if (config[i].rfind("AGA8 Tables,Enabled,", 0) != 0) continue;
      ASSERT_GE(config.size(), i + 22);
      EXPECT_EQ(fieldsOf(config[i + 1]).size(), 10u) << "pressures";
      for (std::size_t row = 2; row <= 21; ++row) EXPECT_EQ(fieldsOf(config[i + row]).size(), 11u);
    }
  }
}

TEST(Profiles, IndexOverridesNoiseAndQuotedTexts) {
  Profile p;
  std::string error;
  ASSERT_TRUE(
      parseProfile("; comment\r\n[CV]\r\nx = unsigned 1F ~10\r\nx@3 = 20\r\n"
                   "g = double[5] 1 2\r\nt = char[6] \"  a \"\r\nt@1 = b\r\n",
                   "inline", p, error))
      << error;
  ASSERT_EQ(p.cvVariables.size(), 3u);
  const Variable& x = p.cvVariables[0];
  EXPECT_EQ(x.numbers[0][0], 0x1F);
  EXPECT_EQ(x.numbers[3][0], 0x20);
  EXPECT_EQ(x.noise, 0x10) << "unsigned noise is hexadecimal too";
  EXPECT_EQ(p.cvVariables[1].numbers[0], (std::vector<double>{1, 2, 2, 2, 2}));
  EXPECT_EQ(p.cvVariables[2].texts[0], "  a ~~");
  EXPECT_EQ(p.cvVariables[2].texts[1], "b~~~~~");
}

struct BadProfile {
  const char* text;
  const char* message;
};

class BadProfiles : public ::testing::TestWithParam<BadProfile> {};

TEST_P(BadProfiles, AreRefusedWithTheLineAndTheReason) {
  Profile p;
  std::string error;
  EXPECT_FALSE(parseProfile(GetParam().text, "bad.ini", p, error));
  EXPECT_NE(error.find("profile bad.ini line "), std::string::npos) << error;
  EXPECT_NE(error.find(GetParam().message), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Profiles, BadProfiles,
    ::testing::Values(
        BadProfile{"x = 1\n", "line 1: key outside any section"},
        BadProfile{"[meter\n", "must end with"},
        BadProfile{"[meters]\n", "unknown section [meters]"},
        BadProfile{"[query G]\n", "one hexadecimal digit"},
        BadProfile{"[meter]\ncolour = red\n", "line 2: unknown key \"colour\""},
        BadProfile{"[meter]\ncapabilities = 100000\n", "at most 5 hexadecimal digits"},
        BadProfile{"[meter]\nversion = 3,02\n", "without blanks or commas"},
        BadProfile{"[meter]\nmemory_block = maybe\n", "yes or no"},
        BadProfile{"[meter]\njust text\n", "expected key = value"},
        BadProfile{"[cv]\nx = float 1\n", "unknown type \"float\""},
        BadProfile{"[cv]\nx = int 1.5\n", "bad number for a int"},
        BadProfile{"[cv]\nx = unsigned 1G\n", "hexadecimal"},
        BadProfile{"[cv]\nx = short 40000\n", "bad number for a short"},
        BadProfile{"[cv]\nx = int[0] 1\n", "from 1 to 4096"},
        BadProfile{"[cv]\nx = double[2] 1 2 3\n", "more values"},
        BadProfile{"[cv]\nx = char[2] abc\n", "text longer"},
        BadProfile{"[cv]\nx@1 = 5\n", "must be defined before"},
        BadProfile{"[cv]\nx = int 1\nx@16 = 5\n", "from 0 to 15"},
        BadProfile{"[cv]\nx = int 1\nx = int 2\n", "line 3: variable \"x\" is defined twice"},
        BadProfile{"[cv]\nX-Y = int 1\n", "variable names"},
        BadProfile{"[cv]\nx = int 1 ~a\n", "noise"},
        BadProfile{"[signal]\nadc_fill = -1\n", "whole number"},
        BadProfile{"[query 4]\ntext = a\n", "only \"line =\""}));

TEST(Profiles, MissingOrUnreadableFilesAreRefusedClearly) {
  Profile p;
  std::string error;
  EXPECT_FALSE(loadProfile("no_such_meter", p, error));
  EXPECT_NE(error.find("cannot open profile"), std::string::npos) << error;
  EXPECT_NE(error.find("no_such_meter.ini"), std::string::npos) << error;
  EXPECT_FALSE(loadProfile("Bad-Name", p, error));
  EXPECT_NE(error.find("a-z, 0-9"), std::string::npos) << error;
  tarnlux::test::TempDir dir;
  EXPECT_FALSE(loadProfile(dir.path(), p, error)) << "a folder is no profile";
  EXPECT_NE(error.find("not a file"), std::string::npos) << error;
  const std::string binary = dir.file("binary.ini");
  tarnlux::test::writeWholeFile(binary, std::string("\x7f"
                                                    "ELF\0\0\x01[cv]",
                                                    11));
  EXPECT_FALSE(loadProfile(binary, p, error));
  EXPECT_NE(error.find("binary.ini line 1"), std::string::npos) << error;
}

}  // namespace

namespace {

TEST(Profiles, IdentifierOptionReplacesEveryIdentifierTheProfileGives) {
  Profile p;
  std::string error;
  ASSERT_TRUE(loadProfile("gas4", p, error)) << error;
  ASSERT_TRUE(setProfileIdentifier(p, "GAS 7", error)) << error;
  Meter meter(p, 1);
  for (int index = 0; index <= 4; ++index) EXPECT_EQ(meter.cv().find("id")->texts[index], "GAS 7~~~");
  EXPECT_EQ(meter.cv().find("id")->texts[5], "        ");  // no channel there: stays blank
  EXPECT_EQ(meter.cv().text("id", 4), "GAS 7");

  for (const char* bad : {"", "        ", "TOOLONG99", "A~B", "A|B", "A,B", "A\tB"}) {
    Profile q;
    ASSERT_TRUE(loadProfile("liquid1", q, error));
    EXPECT_FALSE(setProfileIdentifier(q, bad, error)) << bad;
    EXPECT_EQ(q.cvVariables.empty(), false);
  }
}

}  // namespace
