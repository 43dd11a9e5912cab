#pragma once

// The calculators' results pages as text grids, and how their numbers are
// written. The results window draws a page on the screen and on paper; the
// page itself is decided here.

#include <string>
#include <vector>

namespace tarnlux {

// "%.4f" or the nine-significant-digit general form, whichever is shorter.
std::string formatResultNumber(double value);

enum class ResultsAlign { Left, Right, Centre };

struct ResultsCell {
  std::string text;
  bool bold = false;
  ResultsAlign align = ResultsAlign::Left;
  int span = 1;  // columns covered from this one; 0 for a column covered by a cell to its left
};

// A grid of labelled cells separated by drawn lines. Column widths are in
// widths of the character "0".
struct ResultsGrid {
  std::vector<int> columnWidths;
  std::vector<std::vector<ResultsCell>> rows;  // one cell per column

  int widthInChars() const;
  // The text of the cell starting at (row, column); empty when none.
  std::string text(int row, int column) const;
  const ResultsCell* cell(int row, int column) const;
};

// Grids one above the other, a blank line between them.
struct ResultsPage {
  std::vector<ResultsGrid> grids;

  int widthInChars() const;
  int rowCount() const;  // rows of every grid plus the blank lines
};

// Sets the column widths from the texts: the widest single-column text plus
// one character of margin on each side, and at least `minimum`.
void fitColumns(ResultsGrid& grid, int minimum = 4);

}  // namespace tarnlux
