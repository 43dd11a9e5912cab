// Stored events: the request fields and the record decoder.

#include "diag/stored_events.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/meter_block.h"

namespace tarnlux {
namespace {

TEST(StoredEvents, RequestAndSiteName) {
  // This Site with sequence character A and code 0x10: "A,10,," checked from the A.
  char sequence = 'z';
  const auto fields = eventRequestFields(EventSiteChoice::ThisSite, "", false);
  const std::string command =
      commandBlockWriteCommand(4, sequence, {fields[0], fields[1]});
  char check[4];
  std::snprintf(check, sizeof check, "%02X", blockCheckValue("0,10,,"));
  EXPECT_EQ(command, std::string("cv 4 qmcmd[0] 0,10,,") + check + ",0\x04\r");
  EXPECT_EQ(eventRequestFields(EventSiteChoice::AllSites, "", true),
            (std::array<std::string, 2>{"18", "*"}));
  EXPECT_EQ(eventRequestFields(EventSiteChoice::NamedSite, "PUMP #7", false),
            (std::array<std::string, 2>{"10", "PUMP #7"}));

  const std::vector<std::tuple<const char*, int, const char*>> names{
      {"  pump \"7\" #2 ", 0, "PUMP \"7\" #2"},
      {"", 0, ""},
      {"ABCDEFGHIJKLMNOPQ", 1, "ABCDEFGHIJKLMNOPQ"},
      {"PUMP-7", 2, "PUMP-7"},
  };
  for (const auto& [typed, result, validated] : names) {
    std::string out;
    EXPECT_EQ(checkEventSiteName(typed, out), result) << typed;
    EXPECT_EQ(out, validated) << typed;
  }
}

// Paths 1 and 2, path 2 not measuring (its status sent as the complement of
// 0x3EF), path 1 with NullTrack, a temperature.
const std::string kTransitRecord =
    "SITE1,0x183,03.14.24 23.59.58,"
    "0,16,"            // status: path 1 all bits, path 2 without 0x10
    "45,40,44,41,"     // ALC up, ALC down (both paths)
    "35.5,34,"         // SNR up, SNR down (path 1 only)
    ",70,95,10,"       // correlation (empty), ADC, accepted, envelope
    "3.25,4850.5,"     // flow velocity, sound speed
    "41,12.5,"         // NullTrack ALC and time difference (path 1)
    "0,1,4,0,"         // fail bits, warning bits
    "68.5,Mesure,Recherche";

TEST(StoredEvents, TransitTimeRecord) {
  std::string record = kTransitRecord;
  record.replace(record.find("0x183"), 5, std::to_string(0x183));
  StoredEvent e;
  ASSERT_EQ(decodeStoredEvent(record + "\x03", e), 0);
  EXPECT_EQ(e.siteId, "SITE1");
  EXPECT_EQ(e.date, "03.14.24");
  EXPECT_EQ(e.time, "23.59.58");
  EXPECT_EQ(e.temperature, 68.5);
  const StoredEventPath& p1 = e.paths[0];
  EXPECT_EQ(p1.statusWord, 0x3FFu);
  EXPECT_EQ(p1.alcUp, 45);
  EXPECT_EQ(p1.snrUp, 35.5);
  EXPECT_FALSE(p1.correlation.has_value());
  EXPECT_EQ(p1.nullTrackDeltaTime, 12.5);
  EXPECT_EQ(p1.warningBits, 4u);
  EXPECT_EQ(p1.searchState, "Mesure");
  const StoredEventPath& p2 = e.paths[1];
  EXPECT_FALSE(p2.measuring());
  EXPECT_EQ(p2.alcDown, 41);
  EXPECT_EQ(p2.failBits, 1u);
  EXPECT_EQ(p2.searchState, "Recherche");
  EXPECT_FALSE(e.paths[2].present);
}

TEST(StoredEvents, RecordFaults) {
  std::string good = kTransitRecord;
  good.replace(good.find("0x183"), 5, std::to_string(0x183));
  const auto with = [&](const std::string& from, const std::string& to) {
    std::string r = good;
    r.replace(r.find(from), from.size(), to);
    return r;
  };
  const std::vector<std::pair<std::string, int>> cases{
      {with("SITE1", ""), kEventBadSite},
      {with("SITE1", "ABCDEFGHIJKLMNOPQ"), kEventBadSite},
      {with("387", "384"), kEventBadFlags},  // no path present
      {with("387", "8192"), kEventBadFlags},
      {with("03.14.24", "03-14-24"), kEventBadDateCharacter},
      {with("23.59.58", ""), kEventBadTime},
      {with("0,16,", "1024,16,"), 22005},
      {with("45,40,", "45,4x,"), kEventBadIntegerCharacter},
      {with("35.5,", "35.5.1,"), kEventBadRealCharacter},
      {with(",Mesure,Recherche", ",Mesure"), 22063},
      {good + ",extra", kEventNotEnded},
      {good.substr(0, good.find("3.25")), 22037},
  };
  for (const auto& [record, fault] : cases) {
    StoredEvent e;
    e.siteId = "kept";
    EXPECT_EQ(decodeStoredEvent(record, e), fault) << record;
    EXPECT_EQ(e.siteId, "kept");
  }
}

TEST(StoredEvents, EchofluxRecord) {
  // Path 1 (flag bit 0) in the Echoflux form with its flow velocity and a temperature.
  StoredEvent e;
  ASSERT_EQ(decodeStoredEvent("ECHO,193,01.02.25,10.20.30,0,850,1200,1,2.5,1,40,900,3.75,0,16,20.5", e), 0);
  EXPECT_TRUE(e.echoflux());
  EXPECT_EQ(e.echofluxFigures.path, 0);
  EXPECT_TRUE(e.echofluxFigures.highFlowRange);
  EXPECT_EQ(e.echofluxFigures.flowVelocity, 3.75);
  EXPECT_EQ(e.paths[0].warningBits, 16u);
  EXPECT_EQ(e.temperature, 20.5);
  EXPECT_EQ(decodeStoredEvent("ECHO,193,01.02.25,10.20.30,0,850,1200,2,2.5,1,40,900,3.75,0,16", e),
            22008);
  EXPECT_EQ(decodeStoredEvent("ECHO,193,01.02.25,10.20.30,0,850,1200,1,2.5,1,40,900,3.75,0", e),
            22015);
}

}  // namespace
}  // namespace tarnlux
