// The diagnostic panel's rows and bars, and the summary page built from the
// same readings.

#include "diag/diag_panel.h"

#include <gtest/gtest.h>

#include "diag/diag_screen.h"
#include "diag/summary_page.h"

namespace tarnlux {
namespace {

// A path that passes every limit of the default transit-time set.
PathReadings healthyPath() {
  PathReadings r;
  r.alcUp = r.alcDown = 60;
  r.snrUp = r.snrDown = 40;
  r.adcBuffer = 80;
  r.accepted = 100;
  r.envelopeChange = 5;
  r.statusWord = 0x1F7;
  r.searchStateCode = 6;
  r.flowVelocity = 10;
  r.soundSpeed = 400;
  return r;
}

MeasurementStore fourHealthyPaths() {
  MeasurementStore store;
  for (auto& p : store.paths) p = healthyPath();
  return store;
}

TEST(DiagPanel, RowSummaryIsTheWorstActivePathAndInactiveCellsStayEmpty) {
  MeasurementStore store = fourHealthyPaths();
  PanelFacts facts;
  facts.multiPath = true;
  facts.activeMask = 0x7;  // path 4 inactive
  store.paths[1].alcUp = 10;   // red
  store.paths[0].alcDown = 25;  // yellow
  store.paths[3].alcDown = 0;   // inactive: not judged
  const auto rows = transitTimePanelRows(store, facts, PassFailLimits{});
  ASSERT_EQ(rows.size(), 20u);
  EXPECT_EQ(rows[0].label, "Signal fluide");
  EXPECT_EQ(rows[0].cells[0].text, "Chem 1");
  EXPECT_EQ(rows[0].summaryText, "OK/Echec");
  EXPECT_EQ(rows[1].summaryText, "Echec");
  EXPECT_EQ(rows[1].summary, GradeColour::Red);
  EXPECT_EQ(rows[2].summaryText, "Attention");
  EXPECT_EQ(rows[3].summaryText, "OK");
  EXPECT_TRUE(rows[1].cells[3].text.empty());
  EXPECT_FALSE(rows[2].cells[3].grade.has_value());
  // No NullTrack path: its rows stay empty and ungraded.
  EXPECT_TRUE(rows[14].cells[0].text.empty());
  EXPECT_FALSE(rows[14].summary.has_value());
  EXPECT_EQ(rows[8].cells[0].text, "5%");
  EXPECT_EQ(rows[10].summary, GradeColour::Green);
}

TEST(DiagPanel, SingleChannelNamesAndNullTrackRows) {
  MeasurementStore store = fourHealthyPaths();
  store.paths[0].nullTrackActive = true;
  store.paths[0].nullTrackAlc = 5;  // below the fail limit
  store.site.nanoseconds = true;
  PanelFacts facts;
  facts.activeMask = 0x1;
  facts.meterFlags = 0x110;  // channel 1: transit time with NullTrack
  facts.gasMeter = true;
  const auto rows = transitTimePanelRows(store, facts, PassFailLimits{});
  EXPECT_EQ(rows[0].label, "Signal gaz");
  EXPECT_EQ(rows[0].cells[0].text, "Canal 1");
  EXPECT_EQ(rows[12].label, "T delta nanosec:");
  EXPECT_EQ(rows[13].cells[0].text, "Active");
  EXPECT_EQ(rows[14].summaryText, "Echec");
  // A single channel has no site average to deviate from.
  EXPECT_FALSE(rows[18].summary.has_value());
  EXPECT_FALSE(pathDeviations(store, facts).shown);
}

TEST(DiagPanel, DeviationsUseTheFloorWhenTheSiteIsAtRest) {
  MeasurementStore store = fourHealthyPaths();
  PanelFacts facts;
  facts.multiPath = true;
  facts.activeMask = 0x3;
  store.paths[0].flowVelocity = 0.05;
  store.paths[1].flowVelocity = -0.05;
  PathDeviations d = pathDeviations(store, facts);
  ASSERT_TRUE(d.shown);
  EXPECT_NEAR(d.flow[0], 50.0, 1e-9);
  EXPECT_NEAR(d.flow[1], -50.0, 1e-9);
  EXPECT_NEAR(d.largestFlow, 50.0, 1e-9);
  store.site.metricVelocity = true;
  d = pathDeviations(store, facts);
  EXPECT_NEAR(d.flow[0], 0.05 / 0.030487804878048783 * 100, 1e-9);
}

TEST(DiagPanel, DeviationAxisEnds) {
  const struct {
    double deviation, end;
  } cases[] = {{0.04, 0.2}, {1.26, 2.6}, {0.0, 0.2}, {0.11, 0.2}, {0.16, 0.4}, {5e12, 9999999999999.9}};
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(deviationAxisEnd(c.deviation), c.end) << c.deviation;
}

TEST(DiagPanel, DeviationAxisKeepsItsEndUntilReachedOrFarBelow) {
  DeviationAxis axis;
  EXPECT_TRUE(axis.update(1.26));
  EXPECT_DOUBLE_EQ(axis.end, 2.6);
  EXPECT_EQ(axis.labels[0], "2.6%");
  EXPECT_EQ(axis.labels[1], "1.3%");
  EXPECT_EQ(axis.labels[2], "0.0%");
  EXPECT_EQ(axis.labels[4], "-2.6%");
  EXPECT_FALSE(axis.update(2.0));  // inside: kept
  EXPECT_FALSE(axis.update(0.7));  // above a quarter: kept
  EXPECT_TRUE(axis.update(0.5));   // below a quarter: shrinks
  EXPECT_DOUBLE_EQ(axis.end, 1.0);
  EXPECT_TRUE(axis.update(1.0));  // reached: grows
  EXPECT_DOUBLE_EQ(axis.end, 2.0);
  axis = {};
  axis.update(0.01);
  EXPECT_FALSE(axis.update(0.0));  // the floor never shrinks
}

TEST(DiagPanel, EchofluxRowsGradeTheChannel) {
  MeasurementStore store;
  store.paths[0].statusWord = 0x1F7;
  store.paths[0].flowVelocity = 3;
  EchofluxReadings& e = store.echoflux[0];
  e.signalStrength = 50;  // below the fail limit
  e.dopplerFrequency = 500;
  e.deviation = 40;
  e.fftPeak = 0;
  PanelFacts facts;
  facts.activeMask = 0x1;
  const auto rows = echofluxPanelRows(store, facts, PassFailLimits{});
  ASSERT_EQ(rows.size(), 16u);
  EXPECT_EQ(rows[0].cells[0].text, "Canal 1");
  EXPECT_EQ(rows[1].summaryText, "Echec");
  EXPECT_EQ(rows[2].summaryText, "OK");
  EXPECT_EQ(rows[4].summary, GradeColour::Red);  // no FFT peak, no noise ratio
  EXPECT_EQ(rows[8].cells[0].text, "Liquide");
  EXPECT_EQ(rows[15].summaryText, "Bas");
}

TEST(SummaryPage, LampAndEmptyCells) {
  MeasurementStore store = fourHealthyPaths();
  MeterFacts facts;
  facts.multiPath = true;
  SummaryInput input;
  input.activeMask = 0x3;
  store.paths[0].alcUp = 25;  // yellow
  store.paths[1].alcUp = 10;  // red
  store.paths[0].flow = 2;
  store.paths[1].flow = 4;
  SummaryPage page = buildSummaryPage(store, facts, PassFailLimits{}, input);
  EXPECT_EQ(page.lamp, GradeColour::Red);
  EXPECT_EQ(page.flow, "3.000");  // the average of a multipath site
  EXPECT_EQ(page.gain, "38");     // (25 + 60 + 10 + 60) / 4, integer division
  store.paths[1].alcUp = 60;
  EXPECT_EQ(buildSummaryPage(store, facts, PassFailLimits{}, input).lamp, GradeColour::Yellow);
  input.flowHidden = true;
  EXPECT_EQ(buildSummaryPage(store, facts, PassFailLimits{}, input).flow, "-");
  input.activeMask = 0;
  page = buildSummaryPage(store, facts, PassFailLimits{}, input);
  EXPECT_EQ(page.flow, "-");
  EXPECT_EQ(page.gain, "-");
  EXPECT_EQ(page.soundSpeed, "-");
  EXPECT_EQ(page.lamp, GradeColour::Green);
}

}  // namespace
}  // namespace tarnlux

namespace tarnlux {
namespace {

TEST(DiagnosticScreen, TitleNamesTheSiteWhileConnected) {
  MeterFacts facts;
  EXPECT_EQ(diagnosticScreenTitle(true, facts), "Diagnostic");
  facts.locationName = "PUMP7";
  EXPECT_EQ(diagnosticScreenTitle(false, facts, "Graphe tendance"), "Graphe tendance");
  EXPECT_EQ(diagnosticScreenTitle(true, facts), "Diag pr empl/No pt mesure PUMP7");
  facts.selectedChannel = 1;
  facts.channelIdDisplay[1] = "CH_2";
  EXPECT_EQ(diagnosticScreenTitle(true, facts), "Diag pr empl/No pt mesure PUMP7 -  ID site CH_2");
  facts.multiPath = true;
  facts.siteIdDisplay = "SITE 4";
  EXPECT_EQ(diagnosticScreenTitle(true, facts), "Diag pr empl/No pt mesure PUMP7 -  ID site SITE 4");
}

}  // namespace
}  // namespace tarnlux
