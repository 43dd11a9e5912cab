#include "graph/table_cell.h"

#include <cctype>

namespace tarnlux {

std::optional<CellRect> tableCellRect(int row, int column, std::span<const int> columnRights,
                                      int rowHeight, int originX, int originY, int limitRight,
                                      int limitBottom) {
  if (row < 0 || column < 0 || static_cast<std::size_t>(column) >= columnRights.size()) {
    return std::nullopt;
  }
  CellRect cell;
  cell.left = originX + (column == 0 ? 0 : columnRights[column - 1]);
  cell.right = originX + columnRights[column];
  cell.top = originY + row * rowHeight;
  cell.bottom = cell.top + rowHeight;
  if (cell.left >= limitRight || cell.top >= limitBottom) return std::nullopt;
  return cell;
}

int cellTextRoom(CellAlign align, int cellWidth, int charWidth) {
  switch (align) {
    case CellAlign::Left:
      return cellWidth - charWidth / 2;
    case CellAlign::Right:
      return cellWidth - charWidth / 4;
    default:
      return cellWidth;
  }
}

int cellTextLeft(CellAlign align, const CellRect& cell, int textWidth, int charWidth) {
  switch (align) {
    case CellAlign::Left:
      return cell.left + charWidth / 2;
    case CellAlign::Centre:
      return cell.left + (cell.right - cell.left - textWidth) / 2;
    case CellAlign::Right:
      return cell.right - charWidth / 4 - textWidth;
    default:
      return cell.right - textWidth;
  }
}

FittedCellText fitCellText(std::string_view text, CellKind kind, int room,
                           const TextWidthMeasure& measure, bool replaceWhenTooLong) {
  FittedCellText fitted{std::string(text)};
  if (measure(fitted.text) <= room) return fitted;

  if (kind == CellKind::Number) {
    const std::size_t point = fitted.text.find('.');
    if (point != std::string::npos) {
      // Only decimals go; a trailing unit or sign after them stops the trimming.
      while (fitted.text.size() > point + 1 &&
             std::isdigit(static_cast<unsigned char>(fitted.text.back()))) {
        fitted.text.pop_back();
        fitted.shortened = true;
        if (fitted.text.size() == point + 1) fitted.text.pop_back();
        if (measure(fitted.text) <= room) return fitted;
        if (fitted.text.size() <= point) break;
      }
    }
  }
  fitted.tooLong = true;
  if (replaceWhenTooLong) {
    fitted.text = std::string(kind == CellKind::Number ? kNumberTooLong : kTextTooLong);
  }
  return fitted;
}

void CellColourMatrix::clear() { cells_ = {}; }

void CellColourMatrix::record(int row, int path, GradeColour colour) {
  if (row < 0 || row >= kRows || path < 1 || path > kPaths) return;
  cells_[row][path - 1] = colour;
}

std::optional<GradeColour> CellColourMatrix::at(int row, int path) const {
  if (row < 0 || row >= kRows || path < 1 || path > kPaths) return std::nullopt;
  return cells_[row][path - 1];
}

std::optional<GradeColour> CellColourMatrix::rowSummary(int row) const {
  if (row < 0 || row >= kRows) return std::nullopt;
  std::optional<GradeColour> summary;
  for (const auto& cell : cells_[row]) {
    if (cell) summary = summary ? worstOf(*summary, *cell) : *cell;
  }
  return summary;
}

}  // namespace tarnlux
