// tarnlux-cli size: the option names and output keys scripts rely on, and the
// refused-entry status.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli_process.h"

namespace tarnlux {
namespace {

using test::runCli;

std::vector<std::string> keysOf(const std::string& text) {
  std::vector<std::string> keys;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) keys.push_back(line.substr(0, line.find('=')));
  return keys;
}

bool hasLine(const std::string& text, const std::string& line) {
  return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
}

TEST(SizeCli, GasAndLiquidLinesAndStatuses) {
  const auto gas = runCli({"size",
                           "gas",
                           "--dimension-units",
                           "pouces",
                           "--temperature-units",
                           "deg F",
                           "--pressure-units",
                           "PSIG",
                           "--outside-diameter",
                           "12.75",
                           "--wall-thickness",
                           "0.375",
                           "--minimum-flowrate",
                           "5000000",
                           "--maximum-flowrate",
                           "50000000",
                           "--time-units",
                           "J",
                           "--minimum-temperature",
                           "60",
                           "--maximum-temperature",
                           "80",
                           "--minimum-pressure",
                           "1000",
                           "--maximum-pressure",
                           "1000"});
  ASSERT_EQ(gas.status, 0) << gas.err;
  const auto keys = keysOf(gas.out);
  EXPECT_EQ(keys.front(), "entry.outside_diameter");
  EXPECT_TRUE(hasLine(gas.out, "entry.estimated_vs=400.0"));  // filled by "Gaz naturel"
  EXPECT_TRUE(hasLine(gas.out, "suitable=7327 Univ.,7327RS-T1,7327RS-T2,7327RS-T3"));
  EXPECT_TRUE(hasLine(gas.out, "type=7327RS-T1"));
  EXPECT_TRUE(hasLine(gas.out, "size=D1H"));
  EXPECT_NE(gas.out.find("\nresult.Fact. Z(env.)=0.8"), std::string::npos);
  EXPECT_NE(gas.out.find("\nresult.Pression de serv. min.= 1"), std::string::npos);

  const auto hot = runCli({"size",
                           "gas",
                           "--dimension-units",
                           "pouces",
                           "--temperature-units",
                           "deg F",
                           "--outside-diameter",
                           "0.25",
                           "--wall-thickness",
                           "0.05",
                           "--minimum-flowrate",
                           "1",
                           "--maximum-flowrate",
                           "2",
                           "--minimum-temperature",
                           "60",
                           "--maximum-temperature",
                           "256",
                           "--minimum-pressure",
                           "50",
                           "--maximum-pressure",
                           "50"});
  ASSERT_EQ(hot.status, 0) << hot.err;
  EXPECT_TRUE(hasLine(hot.out, "type=Contacter l'usine"));
  EXPECT_TRUE(hasLine(hot.out, "suitable="));
  EXPECT_TRUE(hasLine(
      hot.out,
      "problem=Le diametre de conduite doit etre superieur a 1 pouce   [Contacter l'usine]"));

  const auto water =
      runCli({"size", "liquid", "--liquid-name", "Mercure (24C)", "--outside-diameter", "60",
              "--wall-thickness", "4", "--minimum-flowrate", "1", "--maximum-flowrate", "2",
              "--minimum-temperature", "20", "--maximum-temperature", "20"});
  ASSERT_EQ(water.status, 0) << water.err;
  EXPECT_TRUE(hasLine(water.out, "entry.estimated_vs=1449.0"));
  EXPECT_TRUE(hasLine(water.out, "entry.kinematic_viscosity=0.114"));
  EXPECT_TRUE(hasLine(water.out, "entry.density=13.594"));
  EXPECT_NE(water.out.find("\nresult.TN= "), std::string::npos);

  const auto refused = runCli({"size", "liquid", "--outside-diameter", "100", "--wall-thickness",
                               "5", "--kinematic-viscosity", "0.009"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err, "Viscosite en-dehors de la plage\n");
  EXPECT_EQ(runCli({"size", "liquid", "--pressure-units", "PSIA"}).status, 2);
  EXPECT_EQ(runCli({"size", "gas", "--gas-name", "Vapeur"}).status, 2);
}

}  // namespace
}  // namespace tarnlux
