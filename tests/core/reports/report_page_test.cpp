// What the report pages say: cells, colours and charts.

#include "reports/report_page.h"

#include <gtest/gtest.h>

#include "reports/report_trend.h"
#include "test_paths.h"

namespace tarnlux {
namespace {

ReportData readGolden(const std::string& name) {
  ReportData data;
  std::string message;
  EXPECT_EQ(readCaptureLog(test::testDataDir() + "/capture/" + name, data, message),
            0)
      << message;
  return data;
}

// The row of the path table a label starts.
int rowOf(const ReportPage& page, const char* label) {
  const ReportCell* cell = page.find(label);
  return cell != nullptr ? cell->row : -1;
}

TEST(ReportPage, PathCellsAreColouredFromTheWarningAndFailCounts) {
  // Path 2 of this log: "SNR 2 AM" one failure and two warnings, "SNR 2 AV" none,
  // "%ChgEnv 2" two warnings and one failure, "ALC 2 AV" clean.
  const ReportPage page = singleReportPage(readGolden("single_path_liquid.csv"));
  struct Case {
    const char* label;
    const char* average;
    GradeColour grade;
    const char* warnings;
    const char* fails;
  };
  const Case cases[] = {
      {"SNR(up)", "16", GradeColour::Red, "2", "1"},
      {"SNR(dn)", "32", GradeColour::Green, "0", "0"},
      {"ALC(up)", "26", GradeColour::Red, "2", "1"},
      {"ALC(dn)", "42", GradeColour::Green, "0", "0"},
      {"Tamp CAN%:", "47", GradeColour::Red, "1", "1"},
      {"Etat", "", GradeColour::Red, "1", "2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const int row = rowOf(page, c.label);
    ASSERT_GE(row, 12);
    EXPECT_EQ(page.at(row, 1), nullptr);  // path 1 is not in the log
    const ReportCell* cell = page.at(row, 2);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->text, c.average);
    ASSERT_TRUE(cell->fill);
    EXPECT_EQ(*cell->fill, rgbOf(c.grade));
    ASSERT_NE(page.at(row, 5), nullptr);
    EXPECT_EQ(page.at(row, 5)->text, c.warnings);
    EXPECT_EQ(page.at(row, 6)->text, c.fails);
  }
  const ReportCell* warningHeading = page.find("Attention");
  ASSERT_NE(warningHeading, nullptr);
  EXPECT_EQ(*warningHeading->fill, rgbOf(GradeColour::Yellow));
  EXPECT_NE(page.find("Rapport diagnostic et maint compteur fluide ultrasonique"), nullptr);
  EXPECT_NE(page.find("T delta nanosec:"), nullptr);
  EXPECT_NE(page.find("Page 1 de 1"), nullptr);
  EXPECT_NE(page.find("single_path_liquid.csv"), nullptr);
  EXPECT_NE(page.find("23:59:58 03-14-24"), nullptr);
}

TEST(ReportPage, DeviationChartsOnlyForLogsThatComparePaths) {
  const ReportPage single = singleReportPage(readGolden("single_path_liquid.csv"));
  ASSERT_EQ(single.charts.size(), 2u);
  EXPECT_EQ(single.charts[0].title, "Vit debit chemin");
  EXPECT_EQ(single.charts[1].title, "ViS chemin");
  ASSERT_EQ(single.charts[0].marks.size(), 1u);
  EXPECT_EQ(single.charts[0].marks[0].path, 1);

  const ReportPage multi = singleReportPage(readGolden("multipath_gas_extended.csv"));
  ASSERT_EQ(multi.charts.size(), 4u);
  EXPECT_EQ(multi.charts[2].title, "Deviation vitesse chemin debit");
  EXPECT_EQ(multi.charts[3].title, "Ecart ViS chemin");
  EXPECT_EQ(multi.charts[1].marks.size(), 4u);
  EXPECT_NE(multi.find("Rapport diagnostic et maint compteur gas ultrasonique"), nullptr);
  EXPECT_NE(multi.find("T delta misec:"), nullptr);
  EXPECT_NE(multi.find("ON"), nullptr);  // "Tableau AGA8:"

  // Echoflux has no sound speed: an empty chart keeps the 5 to 1 axis.
  const ReportPage echo = singleReportPage(readGolden("echoflux.csv"));
  EXPECT_TRUE(echo.charts[1].marks.empty());
  EXPECT_EQ(echo.charts[1].axis.labels[0], "5");
}

TEST(ReportPage, DeviationAxis) {
  struct Case {
    std::vector<double> values;
    bool metric;
    std::array<const char*, 5> labels;
  };
  const Case cases[] = {
      {{10.0, 10.0}, false, {"0.02%", "0.01%", "0.00%", "-0.01%", "-0.02%"}},
      // Mean 10, largest gap 0.2 = 2 %, plus 10 %: 2.2 -> 2.20.
      {{10.2, 9.8, 10.0}, false, {"2.20%", "1.10%", "0.00%", "-1.10%", "-2.20%"}},
      // Mean 0: the gap is taken against 0.1 ft/s; 100 % + 10 %.
      {{0.1, -0.1}, false, {"110.00%", "55.00%", "0.00%", "-55.00%", "-110.00%"}},
      // Above 999.98 % the axis goes by tenths.
      {{2.0, -2.0}, false, {"2200.0%", "1100.0%", "0.0%", "-1100.0%", "-2200.0%"}},
      // In metres per second the floor is 0.0305: 0.1 / 0.0305 -> 360.8 %.
      {{0.1, -0.1}, true, {"360.80%", "180.40%", "0.00%", "-180.40%", "-360.80%"}},
      {{5.0}, false, {"2", "1", "", "-1", "-2"}},
  };
  for (const Case& c : cases) {
    const YAxis axis = deviationAxis(c.values, c.metric);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(axis.labels[static_cast<std::size_t>(i)], c.labels[static_cast<std::size_t>(i)]) << i;
  }
}

TEST(ReportPage, MultiReportPagesFollowTheLogsInOrder) {
  const std::vector<ReportData> logs = {readGolden("single_path_liquid.csv"),
                                        readGolden("nulltrack.csv")};
  const std::vector<ReportPage> pages = multiReportPages(logs);
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_NE(pages[0].find("Page 1 de 2"), nullptr);
  EXPECT_NE(pages[1].find("Page 2 de 2"), nullptr);
  EXPECT_NE(pages[0].find("Nombre de rapports:"), nullptr);
  EXPECT_NE(pages[0].find("2"), nullptr);
  ASSERT_EQ(pages[0].charts.size(), 4u);
  const ReportChart& velocity = pages[0].charts[0];
  EXPECT_EQ(velocity.title, "Vitesse flux(PI/SEC)");
  EXPECT_EQ(velocity.slotCount, 2);
  ASSERT_EQ(velocity.marks.size(), 2u);
  EXPECT_EQ(velocity.marks[0].slot, 0);
  EXPECT_EQ(velocity.marks[0].path, 1);  // the first log measures path 2
  EXPECT_EQ(velocity.marks[1].path, 0);
  // The NullTrack time difference is charted in microseconds.
  const ReportChart& nullTrackTime = pages[1].charts[1];
  EXPECT_EQ(nullTrackTime.title, "T delta NullTrack(uS)");
  ASSERT_EQ(nullTrackTime.marks.size(), 1u);
  EXPECT_DOUBLE_EQ(nullTrackTime.marks[0].value, 0.001);
  EXPECT_EQ(pages[1].charts[3].title, "Pression fluide");
}

}  // namespace
}  // namespace tarnlux
