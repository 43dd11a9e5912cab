// The stored-events page: header, tables graded from the event's own bits,
// and the list click.

#include "diag/stored_event_page.h"

#include <gtest/gtest.h>

namespace tarnlux {
namespace {

TEST(StoredEventPage, HeaderAndTablesFollowTheEvent) {
  // Paths 1 and 2 of a multipath metric site; path 2 does not measure.
  StoredEvent e;
  ASSERT_EQ(decodeStoredEvent("SITE1,419,03.14.24 23.59.58,0,16,45,40,44,41,35.5,34,,70,95,10,"
                              "3.25,4850.5,41,12.5,0,1,4,0,21.5,Mesure,Recherche",
                              e),
            0);
  EXPECT_EQ(storedEventHeader(e),
            "Evenement memorise pour le site ID: SITE1 - Heure: 23.59.58 - Date: 03.14.24 - "
            "Temperature (deg C ): 21.50");
  e.flags &= ~0x20u;
  EXPECT_EQ(storedEventHeader(e).substr(76), " - Temperature (deg F): 21.50");
  e.flags |= 0x20u;

  const StoredEventTables t = storedEventTables(e, true);
  ASSERT_EQ(t.signal.size(), 15u);
  EXPECT_EQ(t.signal[0].cells[1].text, "Chem 2");
  // Path 1: SNR(up) warning bit; path 2: ALC(up) fail bit.
  EXPECT_EQ(t.signal[3].cells[0].grade, GradeColour::Yellow);
  EXPECT_EQ(t.signal[3].summaryText, "Attention");
  EXPECT_EQ(t.signal[1].cells[1].grade, GradeColour::Red);
  EXPECT_EQ(t.signal[1].summaryText, "Echec");
  EXPECT_EQ(t.signal[5].cells[0].text, "-");
  // The path that does not measure sent no signal figures and is red.
  EXPECT_EQ(t.signal[3].cells[1].text, "");
  EXPECT_EQ(t.status[1].cells[1].grade, GradeColour::Red);
  EXPECT_EQ(t.signal[9].cells[1].grade, GradeColour::Red);
  // NullTrack rows for path 1 only; one measuring path: no bars.
  EXPECT_EQ(t.signal[11].cells[0].text, "41");
  EXPECT_EQ(t.signal[11].cells[1].text, "");
  EXPECT_FALSE(t.deviations.shown);
  EXPECT_EQ(t.status[2].unit, "M/SEC");
}

TEST(StoredEventPage, EchofluxTablesAndListClicks) {
  StoredEvent e;
  ASSERT_EQ(decodeStoredEvent("ECHO,193,01.02.25,10.20.30,0,850,1200,1,2.5,1,40,900,3.75,8,16,20.5", e),
            0);
  const StoredEventTables t = storedEventTables(e, false);
  EXPECT_EQ(t.valueColumns, 1);
  EXPECT_EQ(t.signal[1].cells[0].grade, GradeColour::Green);
  EXPECT_EQ(t.signal[2].cells[0].grade, GradeColour::Red);     // Doppler fail bit 0x8
  EXPECT_EQ(t.signal[3].cells[0].grade, GradeColour::Yellow);  // deviation warning bit 0x10
  EXPECT_EQ(t.signal[6].cells[0].text, "Liquide");
  EXPECT_EQ(t.status[4].summaryText, "Haut");
  EXPECT_EQ(t.status[2].cells[0].text, "3.750");

  // Rows of 10 pixels under y = 100, the third row first.
  EXPECT_EQ(eventAtClick(101, 100, 10, 2, 5), 2);
  EXPECT_EQ(eventAtClick(121, 100, 10, 2, 5), 4);
  EXPECT_EQ(eventAtClick(131, 100, 10, 2, 5), -1);
  EXPECT_EQ(eventAtClick(100, 100, 10, 0, 5), -1);
  const EventListView view{30, 10, 80, 100};
  EXPECT_TRUE(view.vertical());
  EXPECT_FALSE(view.horizontal());
  EXPECT_EQ(view.lastFirstRow(), 20);
}

}  // namespace
}  // namespace tarnlux
