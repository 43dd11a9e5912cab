#include "diag/limit_fields.h"

#include <gtest/gtest.h>

#include "diag/meter_info_fields.h"

namespace tarnlux {
namespace {

const LimitFieldPair& pair(MeterBlockLayout layout, const char* key) {
  const LimitFieldPair* found = findLimitFieldPair(layout, key);
  EXPECT_NE(found, nullptr) << key;
  return *found;
}

TEST(LimitFields, LeavingAnEdit) {
  const auto tt = MeterBlockLayout::TransitTime;
  const struct {
    const char* key;
    bool warning;
    const char* text;
    bool gas;
    bool ok;
    const char* shown;
  } cases[] = {
      {"alc", true, "", true, true, "45"},       // empty: the gas meter's value
      {"alc", true, "  ", false, true, "30"},
      {"alc", true, "0", false, false, nullptr},  // integers start at 1
      {"snr", false, "0", false, true, "0"},      // reals at 0
      {"alc", false, "2.5", false, false, nullptr},
      {"alc", false, "100", false, true, "100"},
      {"adc", true, "101", false, false, nullptr},  // a percentage
      {"correlation_quality", true, "0.750000", false, true, "0.75"},
      {"correlation_quality", true, "5", false, false, nullptr},
      {"snr", true, "-1", false, false, nullptr},
      {"snr", true, "inf", false, false, nullptr},
      {"snr", true, "1e3", false, true, "1000"},
      {"nulltrack_delta_time", true, "12.50", false, true, "12.5"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.key) + " " + c.text);
    const LimitFieldPair& p = pair(tt, c.key);
    const LimitFieldCheck check = checkLimitField(p, c.warning, c.text, c.gas);
    EXPECT_EQ(check.ok, c.ok);
    if (c.ok) {
      EXPECT_EQ(check.text, c.shown);
    } else {
      EXPECT_STREQ(check.message, c.warning ? p.warningMessage : p.failMessage);
    }
  }
  // The value kept is the one the block carries, six decimals.
  EXPECT_EQ(checkLimitField(pair(tt, "snr"), true, "0.1234567", false).value, 0.123457);
  EXPECT_STREQ(pair(tt, "nulltrack_alc").warningMessage,
               "Valeur incorrecte pour limite avertissement ALC NullTrack ");
}

TEST(LimitFields, PriorityOrderAndWarningAgainstFail) {
  // The SNR pair is reported before the ADC pair.
  const auto& pairs = limitFieldPairs(MeterBlockLayout::TransitTime);
  ASSERT_EQ(pairs.size(), 10u);
  EXPECT_STREQ(pairs[1].key, "snr");
  EXPECT_STREQ(pairs[3].key, "adc");
  EXPECT_EQ(limitFieldPairs(MeterBlockLayout::Echoflux).size(), 12u);

  // Every default (liquid and gas) is in order; equal limits are too.
  for (const bool gas : {false, true}) {
    PassFailLimits limits;
    resetLimitsToDefaults(limits, gas, true);
    EXPECT_FALSE(checkLimitOrder(limits, MeterBlockLayout::TransitTime));
    EXPECT_FALSE(checkLimitOrder(limits, MeterBlockLayout::Echoflux));
  }
  PassFailLimits limits;
  limits.transitTime.alc = {20, 20};
  EXPECT_FALSE(checkLimitOrder(limits, MeterBlockLayout::TransitTime));
  limits.transitTime.alc = {19, 20};  // low is bad: warning below fail
  limits.transitTime.envelopeChange = {41, 40};
  const auto fault = checkLimitOrder(limits, MeterBlockLayout::TransitTime);
  ASSERT_TRUE(fault);
  EXPECT_STREQ(fault->pair->key, "alc");
  EXPECT_EQ(fault->message, "Limite avertissement au-dela de limite echec pour ALC");
  limits.echoflux.lowRangeUpper = {2001, 2000};  // high is bad
  EXPECT_STREQ(checkLimitOrder(limits, MeterBlockLayout::Echoflux)->pair->key, "low_range_upper");
}

TEST(MeterInfoFields, LengthsCharactersAndDates) {
  const struct {
    const char* key;
    std::string text;
    const char* message;  // null: accepted
  } cases[] = {
      {"location", std::string(15, 'A'), nullptr},
      {"location", std::string(16, 'A'), "Trop de caracteres pour emplacement / No pt de mesure"},
      {"location", "SITE B", kMeterInfoLocationCharacters},
      {"location", "  site_b", nullptr},
      {"location", "", nullptr},
      {"spool_part_number", std::string(31, 'P'), nullptr},
      {"spool_part_number", std::string(32, 'P'), "Trop de caracteres pour ref pt de mesure"},
      {"flowmeter_serial_number", "SN|1", "Car non valide pour no serie debitmetre"},
      {"manufacture_date", "12-03-2019", nullptr},
      {"manufacture_date", "2019/03", nullptr},
      {"manufacture_date", "notadate", kMeterInfoDateMessage},
      {"manufacture_date", "12-03-", kMeterInfoDateMessage},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.key) + " " + c.text);
    const MeterInfoFieldRule* rule = findMeterInfoField(c.key);
    ASSERT_NE(rule, nullptr);
    const MeterInfoFieldCheck check = checkMeterInfoField(*rule, c.text);
    EXPECT_EQ(check.ok, c.message == nullptr);
    if (c.message != nullptr) {
      EXPECT_STREQ(check.message, c.message);
    }
  }
  // The location names the site: upper case, as connect keeps it.
  EXPECT_EQ(checkMeterInfoField(*findMeterInfoField("location"), "  site_b").text, "SITE_B");
  EXPECT_EQ(meterInfoFieldRules().size(), 6u);
}

}  // namespace
}  // namespace tarnlux
