// Alarm storage: the storage answer, the texts shown for it and the Apply rules.

#include "diag/alarm_storage.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "link/meter_block.h"

namespace tarnlux {
namespace {

// "|fields,CK|" with the right check value over `fields`.
std::string answerOf(const std::string& fields) {
  char check[4];
  std::snprintf(check, sizeof check, "%02X", blockCheckValue(fields));
  return "|" + fields + check + "|";
}

TEST(AlarmStorage, AnswerFieldsAndFaults) {
  AlarmStorageState state;
  ASSERT_EQ(parseStorageAnswer(answerOf("65536, 1024,0,3,1,0,1,") + "\r\n", state), 0);
  EXPECT_EQ(state.allocatedBytes, 65536u);
  EXPECT_EQ(state.usedBytes, 1024u);
  EXPECT_TRUE(state.enabled && state.limitsSetUp && state.limitsMatch);
  EXPECT_EQ(state.siteEnabled, 1u);

  const std::vector<std::pair<std::string, int>> faults{
      {"\x03", -1},
      {"no bars", kStorageNoFirstBar},
      {"|1,2", kStorageNoSecondBar},
      {answerOf("1,0,0,0,0,0,1,") + "x", kStorageTextAfterBar},
      {answerOf("1234567890,0,0,0,0,0,1,"), kStorageBadAllocated},
      {answerOf("1,,0,0,0,0,1,"), kStorageBadUsed},
      {answerOf("1,0,2,0,0,0,1,"), kStorageBadFull},
      {answerOf("1,0,0,65536,0,0,1,"), kStorageBadStatus},
      {answerOf("1,0,0,0,00,0,1,"), kStorageBadMatch},
      {answerOf("1,0,0,0,0,,1,"), kStorageBadErrorCode},
      {answerOf("1,0,0,0,0,0,,"), kStorageBadSiteEnabled},
      {"|1,0,0,0,0,0,1,ABC|", kStorageCheckLength},
      {"|1,0,0,0,0,0,1,00|", kStorageCheckDiffers},
      {"|1,0,0,0,0,0,1,0g|", kStorageCheckCharacter},
      {"|1,0,0,x,0,0,1,00|", kStorageNotDigit},
      {"|1,0,0,0,0,0,1|", kStorageFewFields},
  };
  for (const auto& [answer, fault] : faults) {
    AlarmStorageState unchanged = state;
    EXPECT_EQ(parseStorageAnswer(answer, unchanged), fault) << answer;
    EXPECT_EQ(unchanged.allocatedBytes, 65536u) << "a bad answer changes nothing";
  }
}

TEST(AlarmStorage, TextsShown) {
  AlarmStorageState s;
  AlarmStorageTexts t = alarmStorageTexts(s);
  EXPECT_EQ(t.allocatedKb, "0");
  EXPECT_EQ(t.percentFull, "") << "nothing allocated";
  EXPECT_EQ(t.limitsCorrect, "Non");
  EXPECT_EQ(t.storageActive, "Non");

  s = {65536, 16384, false, true, true, true, 0, 1};
  t = alarmStorageTexts(s);
  EXPECT_EQ(t.allocatedKb, "64");
  EXPECT_EQ(t.percentFull, "25");
  EXPECT_EQ(t.limitsCorrect, "Oui");
  EXPECT_EQ(t.storageActive, "Oui");
  s.usedBytes = 1000;
  EXPECT_EQ(alarmStorageTexts(s).percentFull, "1.53");
  s.memoryFull = true;
  EXPECT_EQ(alarmStorageTexts(s).percentFull, "100");
  s.limitsError = 7;
  EXPECT_EQ(alarmStorageTexts(s).limitsCorrect, "Non - Code d'erreur: 7");
  s.siteEnabled = 0;
  EXPECT_EQ(alarmStorageTexts(s).storageActive, "Non");
}

TEST(AlarmStorage, ApplyRules) {
  AlarmStorageState off;
  AlarmStorageState on64{65536, 0, false, true, true, true, 0, 1};
  struct Case {
    const char* what;
    AlarmStorageRequest request;
    const AlarmStorageState& meter;
    unsigned remembered;
    const char* refusal;
    bool send;
    unsigned value;
  };
  const Case cases[] = {
      {"not a number", {true, "6x", false, false}, off, 0, kStorageMemoryInvalidText, false, 0},
      {"memory without storage", {false, "64", false, false}, off, 0,
       kStorageMemoryWhileInactiveText, false, 0},
      {"other amount without freeing", {true, "128", false, false}, on64, 64,
       kStorageMemoryWithoutFreeText, false, 0},
      {"enable with 64 KB", {true, "64", false, false}, off, 0, "", true, 0x4021},
      {"an empty field counts 0", {true, "", false, false}, off, 0, "", true, 0x21},
      {"nothing changed", {true, "64", false, false}, on64, 64, "", false, 0x20},
      {"clear", {true, "64", true, false}, on64, 64, "", true, 0x28},
      {"disable", {false, "64", false, false}, on64, 64, "", true, 0x22},
      {"free for another amount", {true, "128", true, true}, on64, 64, "", true, 0x8024},
      {"free all", {true, "0", false, true}, on64, 64, "", true, 0x24},
      {"free ticked, same amount: clear", {true, "64", true, true}, on64, 64, "", true, 0x28},
      {"capped at 4095 KB", {true, "5000", false, false}, off, 0, "", true, 0xFFF21},
  };
  for (const Case& c : cases) {
    const AlarmStorageDecision d = decideStorageApply(c.request, c.meter, c.remembered);
    EXPECT_EQ(d.refusal, c.refusal) << c.what;
    EXPECT_EQ(d.send, c.send) << c.what;
    if (c.send) {
      EXPECT_EQ(d.commandValue, c.value) << c.what;
    }
  }
}

}  // namespace
}  // namespace tarnlux
