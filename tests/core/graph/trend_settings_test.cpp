// The trend quantity lists, the per-quantity scaling and the quantities a
// meter cannot supply.

#include "graph/trend_settings.h"

#include <gtest/gtest.h>

namespace tarnlux {
namespace {

TEST(TrendSettings, ListsPerMeterKind) {
  EXPECT_EQ(trendDataList(false, false, false).names.size(), 4u);
  const TrendDataList gas = trendDataList(false, true, true);
  ASSERT_EQ(gas.names.size(), 6u);
  EXPECT_EQ(gas.names[0], "Vit. flux chemin (a/c vit. moy)");
  EXPECT_EQ(gas.names[5], "Debit-vol. stand. chemin (av. moy.)");
  const TrendDataList echo = trendDataList(true, false, true);
  EXPECT_EQ(echo.names, (std::vector<std::string>{"Vit debit chemin", "Signal chemin(mV)",
                                                  "Debit chemin"}));
  EXPECT_EQ(echo.quantities, (std::vector<int>{0, 2, 3}));
  EXPECT_EQ(spanMinutesOf("15 Minutes"), 15);
  EXPECT_EQ(spanMinutesOf("1 minute"), 1);
}

TEST(TrendSettings, ScalingEdits) {
  const std::string gap = "La valeur maximum doit depasser la valeur minimum d'au moins 0.02";
  const struct {
    const char* maximum;
    const char* minimum;
    bool manualRange;
    unsigned errors;
    const char* lastMessage;
  } cases[] = {
      {"10", "9.99", false, TrendScaling::kRangeTooNarrow, nullptr},
      {"10", "9.5", true, 0, ""},
      {"abc", "1", false, TrendScaling::kMaximumInvalid, ""},
      {"", "1", false, 0, ""},
      {"1234567890123456", "1", false, TrendScaling::kMaximumInvalid, ""},
  };
  for (const auto& c : cases) {
    TrendScaling s;
    chooseManualScale(s, true);
    const ScaleEditOutcome max = applyScaleMaximum(s, c.maximum);
    const ScaleEditOutcome min = applyScaleMinimum(s, c.minimum);
    EXPECT_EQ(s.usesManualRange(), c.manualRange) << c.maximum << " / " << c.minimum;
    EXPECT_EQ(s.errors, c.errors) << c.maximum << " / " << c.minimum;
    EXPECT_EQ(min.message, c.lastMessage ? std::string(c.lastMessage) : gap);
    if (std::string(c.maximum) == "abc") {
      EXPECT_EQ(max.message, "Nbre incorrect pour val. maximum");
    }
  }
  TrendScaling s;
  chooseManualScale(s, true);
  EXPECT_EQ(applyScaleMaximum(s, " 10 ").shownText, "10.00");
  applyScaleMinimum(s, "9.99");
  ScaleRefusal refusal = scaleRefusal(s);
  EXPECT_EQ(refusal.message, gap);
  EXPECT_TRUE(refusal.focusMaximum);
  applyScaleMinimum(s, "x");
  refusal = scaleRefusal(s);
  EXPECT_EQ(refusal.message, "Nbre incorrect pour val. minimum");
  EXPECT_TRUE(refusal.focusMinimum);
  // Automatic scaling never refuses, and letters only complain while manual.
  chooseManualScale(s, false);
  EXPECT_TRUE(scaleRefusal(s).message.empty());
  EXPECT_TRUE(applyScaleMaximum(s, "y").message.empty());
  EXPECT_EQ(scaleFieldText(true, 9.5), "9.5");
  EXPECT_EQ(scaleFieldText(false, 9.5), "");
}

TEST(TrendSettings, QuantitiesAMeterCannotSupply) {
  TrendQuantityFacts f;
  EXPECT_EQ(trendQuantityProblem(4, f), kNoSoundSpeedDifferenceText);
  EXPECT_EQ(trendQuantityProblem(5, f), kNoStandardFlowText);
  f.aga8Computed = true;
  f.aga8InputValid = false;
  EXPECT_EQ(trendQuantityProblem(5, f), kStandardFlowInputText);
  f.standardFlowOn = true;
  EXPECT_EQ(trendQuantityProblem(5, f), "");
  f.gasMeter = true;
  f.actualVolumeSupported = false;
  EXPECT_EQ(trendQuantityProblem(3, f), kNoActualVolumeText);
  f.aga8SoundSpeed = 340;
  EXPECT_EQ(trendQuantityProblem(4, f), "");
  EXPECT_EQ(trendQuantityProblem(0, f), "");
}

}  // namespace
}  // namespace tarnlux
