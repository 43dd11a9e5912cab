#include "graph/table_cell.h"

#include <gtest/gtest.h>

#include <vector>

#include "graph/grade_colour.h"

using namespace tarnlux;

namespace {

// A fixed-pitch font eight units wide.
const TextWidthMeasure kMonospace = [](std::string_view text) {
  return static_cast<int>(text.size()) * 8;
};

}  // namespace

TEST(CellFitting, NumbersLoseDecimalsOneByOneThenThePoint) {
  FittedCellText fitted = fitCellText("12.3456", CellKind::Number, 56, kMonospace, true);
  EXPECT_EQ(fitted.text, "12.3456");
  EXPECT_FALSE(fitted.shortened);

  fitted = fitCellText("12.3456", CellKind::Number, 40, kMonospace, true);
  EXPECT_EQ(fitted.text, "12.34");
  EXPECT_TRUE(fitted.shortened);
  EXPECT_FALSE(fitted.tooLong);

  // "12.3" does not fit in three characters; a bare point is never shown.
  fitted = fitCellText("12.3456", CellKind::Number, 24, kMonospace, true);
  EXPECT_EQ(fitted.text, "12");

  fitted = fitCellText("-1234.5", CellKind::Number, 16, kMonospace, true);
  EXPECT_EQ(fitted.text, "Nbre trop long");
  EXPECT_TRUE(fitted.tooLong);
}

TEST(CellFitting, WhatCannotFitBecomesTheMessageOnlyWhenItMayBeReplaced) {
  EXPECT_EQ(fitCellText("123456", CellKind::Number, 40, kMonospace, true).text, "Nbre trop long");
  EXPECT_EQ(fitCellText("Bonjour", CellKind::Text, 40, kMonospace, true).text, "Texte trop long");
  // Text is never shortened, even when it has a point.
  EXPECT_EQ(fitCellText("a.bcdef", CellKind::Text, 40, kMonospace, true).text, "Texte trop long");
  // A unit after the decimals stops the trimming.
  EXPECT_EQ(fitCellText("12.50%", CellKind::Number, 40, kMonospace, true).text, "Nbre trop long");

  const FittedCellText kept = fitCellText("Bonjour", CellKind::Text, 40, kMonospace, false);
  EXPECT_EQ(kept.text, "Bonjour");
  EXPECT_TRUE(kept.tooLong);
  EXPECT_EQ(fitCellText("12.3456", CellKind::Number, 16, kMonospace, false).text, "12");
}

TEST(TableCell, GridPositionsAndCellsOutsideTheDrawing) {
  const std::vector<int> rights = {100, 150, 220};
  auto cell = tableCellRect(2, 1, rights, 20, 10, 5, 400, 300);
  ASSERT_TRUE(cell);
  EXPECT_EQ(cell->left, 110);
  EXPECT_EQ(cell->right, 160);
  EXPECT_EQ(cell->top, 45);
  EXPECT_EQ(cell->bottom, 65);
  EXPECT_EQ(tableCellRect(0, 0, rights, 20, 10, 5, 400, 300)->left, 10);

  EXPECT_FALSE(tableCellRect(-1, 0, rights, 20, 10, 5, 400, 300));
  EXPECT_FALSE(tableCellRect(0, -1, rights, 20, 10, 5, 400, 300));
  EXPECT_FALSE(tableCellRect(0, 3, rights, 20, 10, 5, 400, 300));   // no such column
  EXPECT_FALSE(tableCellRect(0, 2, rights, 20, 10, 5, 160, 300));   // starts at the right limit
  EXPECT_FALSE(tableCellRect(15, 0, rights, 20, 10, 5, 400, 300));  // below the bottom limit
  EXPECT_TRUE(tableCellRect(14, 2, rights, 20, 10, 5, 161, 300));   // partly inside
}

TEST(TableCell, AlignmentMargins) {
  const CellRect cell{100, 0, 200, 20};
  EXPECT_EQ(cellTextLeft(CellAlign::Left, cell, 40, 8), 104);
  EXPECT_EQ(cellTextLeft(CellAlign::Centre, cell, 40, 8), 130);
  EXPECT_EQ(cellTextLeft(CellAlign::Right, cell, 40, 8), 158);
  EXPECT_EQ(cellTextLeft(CellAlign::FlushRight, cell, 40, 8), 160);
  EXPECT_EQ(cellTextLeft(static_cast<CellAlign>(7), cell, 40, 8), 160);
  EXPECT_EQ(cellTextRoom(CellAlign::Left, 100, 8), 96);
  EXPECT_EQ(cellTextRoom(CellAlign::Right, 100, 8), 98);
}

TEST(CellColours, RowSummaryIsTheWorstPathOfTheRow) {
  CellColourMatrix matrix;
  matrix.record(1, 1, GradeColour::Green);
  matrix.record(1, 2, GradeColour::Red);
  matrix.record(1, 3, GradeColour::Yellow);
  matrix.record(2, 1, GradeColour::Green);
  matrix.record(2, 4, GradeColour::Yellow);
  matrix.record(3, 2, GradeColour::Green);
  EXPECT_EQ(matrix.rowSummary(1), GradeColour::Red);
  EXPECT_EQ(matrix.rowSummary(2), GradeColour::Yellow);
  EXPECT_EQ(matrix.rowSummary(3), GradeColour::Green);
  EXPECT_FALSE(matrix.rowSummary(4));  // no path drawn in that row
  EXPECT_EQ(matrix.at(1, 2), GradeColour::Red);

  // A path that recovers takes its row back with it.
  matrix.record(1, 2, GradeColour::Green);
  EXPECT_EQ(matrix.rowSummary(1), GradeColour::Yellow);

  matrix.record(1, 5, GradeColour::Red);  // no fifth path
  matrix.record(-1, 1, GradeColour::Red);
  EXPECT_EQ(matrix.rowSummary(1), GradeColour::Yellow);
  matrix.clear();
  EXPECT_FALSE(matrix.rowSummary(1));
}

TEST(GradeColours, LimitsAreStrictOnTheBadSide) {
  EXPECT_EQ(gradeCellColour(0.5, 0.75, 0.9, BadSide::High), GradeColour::Green);
  EXPECT_EQ(gradeCellColour(0.75, 0.75, 0.9, BadSide::High), GradeColour::Green);
  EXPECT_EQ(gradeCellColour(0.76, 0.75, 0.9, BadSide::High), GradeColour::Yellow);
  EXPECT_EQ(gradeCellColour(0.9, 0.75, 0.9, BadSide::High), GradeColour::Yellow);
  EXPECT_EQ(gradeCellColour(0.91, 0.75, 0.9, BadSide::High), GradeColour::Red);

  EXPECT_EQ(gradeCellColour(30, 30, 20, BadSide::Low), GradeColour::Green);
  EXPECT_EQ(gradeCellColour(29, 30, 20, BadSide::Low), GradeColour::Yellow);
  EXPECT_EQ(gradeCellColour(20, 30, 20, BadSide::Low), GradeColour::Yellow);
  EXPECT_EQ(gradeCellColour(19, 30, 20, BadSide::Low), GradeColour::Red);
  EXPECT_EQ(gradeCellColour(-5, 30, 20, BadSide::Low), GradeColour::Red);
}

TEST(GradeColours, StatusBitsAndMerging) {
  EXPECT_EQ(gradeCellColour(0x0u, 0x3u, 0xCu), GradeColour::Green);
  EXPECT_EQ(gradeCellColour(0x4u, 0x3u, 0xCu), GradeColour::Yellow);
  EXPECT_EQ(gradeCellColour(0x6u, 0x3u, 0xCu), GradeColour::Red);
  EXPECT_EQ(worstOf({GradeColour::Green, GradeColour::Yellow, GradeColour::Green}),
            GradeColour::Yellow);
  EXPECT_EQ(worstOf({GradeColour::Yellow, GradeColour::Red}), GradeColour::Red);
}
