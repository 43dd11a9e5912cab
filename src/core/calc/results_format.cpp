#include "calc/results_format.h"

#include <algorithm>

#include "calc/entry_text.h"

namespace tarnlux {

std::string formatResultNumber(double value) {
  std::string fixed = fixedNumberText(value, 4);
  std::string general = generalNumberText(value, 9);
  return general.size() < fixed.size() ? general : fixed;
}

int ResultsGrid::widthInChars() const {
  int width = 0;
  for (int w : columnWidths) width += w;
  return width;
}

const ResultsCell* ResultsGrid::cell(int row, int column) const {
  if (row < 0 || row >= static_cast<int>(rows.size())) return nullptr;
  const auto& cells = rows[static_cast<std::size_t>(row)];
  if (column < 0 || column >= static_cast<int>(cells.size())) return nullptr;
  return &cells[static_cast<std::size_t>(column)];
}

std::string ResultsGrid::text(int row, int column) const {
  const ResultsCell* found = cell(row, column);
  return found != nullptr ? found->text : std::string();
}

int ResultsPage::widthInChars() const {
  int width = 0;
  for (const ResultsGrid& grid : grids) width = std::max(width, grid.widthInChars());
  return width;
}

int ResultsPage::rowCount() const {
  int rows = 0;
  for (const ResultsGrid& grid : grids) rows += static_cast<int>(grid.rows.size());
  if (!grids.empty()) rows += static_cast<int>(grids.size()) - 1;
  return rows;
}

void fitColumns(ResultsGrid& grid, int minimum) {
  std::size_t columns = grid.columnWidths.size();
  for (const auto& row : grid.rows) columns = std::max(columns, row.size());
  grid.columnWidths.assign(columns, minimum);
  for (const auto& row : grid.rows) {
    for (std::size_t c = 0; c < row.size(); ++c) {
      if (row[c].span != 1) continue;
      grid.columnWidths[c] =
          std::max(grid.columnWidths[c], static_cast<int>(row[c].text.size()) + 2);
    }
  }
}

}  // namespace tarnlux
