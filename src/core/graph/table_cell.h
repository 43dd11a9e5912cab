#pragma once

#include <array>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "graph/grade_colour.h"

namespace tarnlux {

// Width of a text in device units, as the drawing device would measure it.
// Core measures through this so the cell rules need no fonts.
using TextWidthMeasure = std::function<int(std::string_view)>;

enum class CellKind { Text, Number };

// Horizontal placement of a cell's text; any other value places it flush right.
enum class CellAlign : int { FlushRight = 0, Left = 1, Centre = 2, Right = 3 };

struct CellRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

// The cell at (row, column) of a grid whose columns end at the cumulative
// `columnRights` (relative to originX) and whose rows are `rowHeight` high.
// Nothing for a negative index, a column the grid does not have, or a cell
// that starts at or beyond the drawing area's right or bottom limit.
std::optional<CellRect> tableCellRect(int row, int column, std::span<const int> columnRights,
                                      int rowHeight, int originX, int originY, int limitRight,
                                      int limitBottom);

// Room the text has inside a cell of the given width once the margin of its
// alignment is taken off.
int cellTextRoom(CellAlign align, int cellWidth, int charWidth);

// Left edge of a text of `textWidth` placed in the cell.
int cellTextLeft(CellAlign align, const CellRect& cell, int textWidth, int charWidth);

inline constexpr std::string_view kNumberTooLong = "Nbre trop long";
inline constexpr std::string_view kTextTooLong = "Texte trop long";

struct FittedCellText {
  std::string text;
  bool shortened = false;  // decimals were dropped
  bool tooLong = false;    // the text still does not fit (it is the message when replaced)
};

// Fits a cell text into `room`: a number with a decimal point loses its last
// decimal, one at a time, then the point; what still does not fit (or any text
// that does not) becomes "Nbre trop long" / "Texte trop long" when
// `replaceWhenTooLong`, and is otherwise left as it is to be cut by the cell.
FittedCellText fitCellText(std::string_view text, CellKind kind, int room,
                           const TextWidthMeasure& measure, bool replaceWhenTooLong);

// Colours of the path cells (paths 1 to 4) of a page, and per row the summary
// colour the "OK/Echec" column shows: the worst colour among the row's paths.
class CellColourMatrix {
 public:
  static constexpr int kRows = 40;
  static constexpr int kPaths = 4;

  void clear();
  // Out-of-range rows or paths are ignored.
  void record(int row, int path, GradeColour colour);
  std::optional<GradeColour> at(int row, int path) const;
  std::optional<GradeColour> rowSummary(int row) const;

 private:
  std::array<std::array<std::optional<GradeColour>, kPaths>, kRows> cells_{};
};

}  // namespace tarnlux
