#pragma once

#include <QColor>
#include <QFont>
#include <QPen>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "graph/grade_colour.h"
#include "graph/table_cell.h"
#include "graph/trend_layout.h"
#include "graph/trend_store.h"
#include "graph/trend_view.h"

class QPainter;
class QPrinter;
class QScrollBar;

namespace tarnlux::ui {

// One picture being drawn, on the window or on a printer page. The same
// drawing code serves both; only the sizes, pens and fonts differ.
struct GraphCanvas {
  QPainter* painter = nullptr;
  GraphArea area;  // outer drawing area in device units
  bool printing = false;
  int penWidth = 0;      // 0 (one pixel) on the screen, 5 device units on paper
  int dpiY = 96;         // vertical pixels per inch of the device
  int visibleLimit = 0;  // on paper: how many samples the screen showed (0: no limit)

  // Courier New of the given size in points for this device.
  QFont courier(int points) const;
  QPen pen(const QColor& colour) const;
};

// A grid of table cells: cumulative column right edges, row height, origin and
// the limits of the drawing area.
struct TableGrid {
  std::span<const int> columnRights;
  int rowHeight = 16;
  int originX = 0;
  int originY = 0;
  int limitRight = 0;
  int limitBottom = 0;
  int charWidth = 8;
};

// What the host has set the graph to show.
struct GraphModes {
  // 1 signal graph; 2 to 7 trend of quantity (type - 2); 0 none.
  int graphType = 0;
  // Host screens with two layouts have one flag per layout.
  bool diagnostic = false;
  bool diagnosticLarge = false;
  bool summary = false;
  bool summaryLarge = false;
  bool storedEvents = false;
  bool storedEventsLarge = false;
  bool report = false;
  bool reportLarge = false;
  bool dataReady = false;  // a query has produced something to draw
  // Clear while the signal graph restarts after an error: no signal is drawn.
  bool paintEnabled = true;

  bool inDiagnostic() const { return diagnostic || diagnosticLarge; }
  bool inSummary() const { return summary || summaryLarge; }
  bool inStoredEvents() const { return storedEvents || storedEventsLarge; }
  bool inReport() const { return report || reportLarge; }
  bool isTrend() const { return graphType >= 2 && graphType <= 7; }
};

// Pictures other screens draw through the graph.
enum class GraphPage { Report, StoredEvents, Summary, DiagnosticPanel, Signal };

// Draws one page on the canvas. The diagnostic panel returns the row under it,
// where the trend lines start; the others return their lowest row.
using PageDrawer = std::function<int(GraphCanvas&)>;

inline constexpr const char* kPrintDocumentName = "Ecran Diagnostic";

// The drawing window behind every graphical screen and page: it keeps the plot
// layout, maps readings to pixels, draws trends, tables of coloured cells and
// the pages of other screens, and draws the same picture on a printer page.
class Graph : public QWidget {
  Q_OBJECT

 public:
  explicit Graph(QWidget* parent = nullptr);
  ~Graph() override;

  GraphModes& modes() { return modes_; }
  const GraphModes& modes() const { return modes_; }
  // A change of graph type also gives up the automatic range on the screen.
  void setGraphType(int type);

  // Start of every query: leave the page modes, forget the data, allow painting.
  void reset();
  // Take the window's client rectangle as the drawing area.
  void layoutFromWindow();
  // Hide the scroll bars and show an empty white frame until newData() or
  // requestRelayout() says there is a picture again.
  void clear();
  // A query stored new data: lay out again, extending the trend, and repaint.
  void newData();
  // Zoom, span or scaling changed: lay out again at the next paint.
  void requestRelayout();
  // While set (the host is rebuilding its data) paints show an empty frame.
  void setDrawingGuard(bool on);

  // The trend rings and how the host wants them shown; both outlive the graph.
  void setTrendSource(const TrendStore* store, const TrendView* view);
  void setPageDrawer(GraphPage page, PageDrawer drawer);
  // The signal graph's horizontal scroll bar, which clear() hides.
  void setHostScrollBar(QWidget* bar) { hostScrollBar_ = bar; }
  // Samples the signal graph shows on the screen, kept so the paper shows the same.
  void rememberScreenSamples(int count) { screenSamples_ = count; }

  // Whether there is anything to print.
  bool hasPicture() const;
  // Shows the print dialog preset to landscape, prints the picture as one
  // document, and puts the user's orientation back. False when cancelled or
  // nothing was printed.
  bool print(QWidget* dialogParent = nullptr);
  // Prints the picture on `printer` without a dialog (also to a PDF file).
  bool printTo(QPrinter& printer);

  // Draws the picture of the current mode on any device.
  void drawPicture(GraphCanvas& canvas);
  // Draws the trend of the selected quantity in the canvas area.
  void drawTrend(GraphCanvas& canvas);

  // Text in a table cell in the painter's current font, fitted to it ("Nbre
  // trop long", "Texte trop long" replace `text` when `replaceWhenTooLong`), on
  // an optional fill. Grid lines are the page's. False when the cell lies
  // outside the drawing.
  bool tableCell(GraphCanvas& canvas, const TableGrid& grid, std::string& text, CellKind kind,
                 int row, int column, CellAlign align, std::optional<QColor> fill = {},
                 bool fit = true, bool replaceWhenTooLong = true);
  // A graded cell: filled with its grade colour, and on the diagnostic and
  // stored-events pages recorded for path columns 1 to 4 so the row summary
  // follows it.
  bool gradedCell(GraphCanvas& canvas, const TableGrid& grid, std::string& text, CellKind kind,
                  int row, int column, CellAlign align, GradeColour grade);
  CellColourMatrix& cellColours() { return cellColours_; }

  // The trend layout of the last picture drawn (tests, hosts placing controls).
  const TrendLayout& trendLayout() const { return layout_; }

  // Scroll bars of the scrolled pages (stored events, report).
  QScrollBar* horizontalBar() const { return hBar_; }
  QScrollBar* verticalBar() const { return vBar_; }
  struct ScrollState {
    bool horizontal = false;
    bool vertical = false;
    int pageWidth = -1;
    int pageHeight = -1;
    int horizontalPosition = -1;
    int verticalPosition = -1;
    int headerHeight = 0;  // strip above the scrolled area, left to the page
  };
  ScrollState& scrollState() { return scroll_; }
  void showScrollBars(bool horizontal, bool vertical);

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  bool inScrolledMode() const { return modes_.inStoredEvents() || modes_.inReport(); }
  bool trendDrawable() const;
  void eraseBackground(QPainter& painter);
  void placeScrollBars();
  int drawPage(GraphPage page, GraphCanvas& canvas);

  GraphModes modes_;
  bool relayout_ = true;
  bool extending_ = false;
  bool printingNow_ = false;
  bool printed_ = false;
  bool layoutForPrinter_ = false;
  bool blank_ = false;
  bool drawingGuard_ = false;
  GraphArea client_;
  GraphArea outer_;

  const TrendStore* store_ = nullptr;
  const TrendView* view_ = nullptr;
  TrendLayout layout_;
  GraphArea layoutArea_;
  KeptTrendAxis keptAxis_;
  int screenSamples_ = 0;

  std::array<PageDrawer, 5> drawers_;
  CellColourMatrix cellColours_;
  QWidget* hostScrollBar_ = nullptr;
  QScrollBar* hBar_ = nullptr;
  QScrollBar* vBar_ = nullptr;
  ScrollState scroll_;

  // Reused from picture to picture.
  std::vector<PixelPoint> points_;
  std::vector<PixelSegment> segments_;
};

}  // namespace tarnlux::ui
