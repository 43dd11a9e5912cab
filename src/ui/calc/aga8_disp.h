#pragma once

#include <QWidget>
#include <functional>

#include "calc/results_format.h"

class QPaintDevice;
class QPainter;
class QPrinter;
class QScrollBar;

namespace tarnlux::ui {

// Which calculator a results window belongs to.
enum class CalcOwner { Aga8, GasTool, LiquidTool, Energy };

inline constexpr const char* kResultsAttachFailed = "Impossible sous-classer objet affichage";

// The results window of the calculator screens: draws its owner's results
// page in "Courier New" 10 points (bold headers), as a grid of cells whose
// columns are measured in widths of "0", on the screen with scroll bars when
// the page is larger than the window, and the same drawing on a printer.
// It draws nothing while the results are not valid.
class AGA8Disp : public QWidget {
  Q_OBJECT

 public:
  explicit AGA8Disp(CalcOwner owner, QWidget* parent = nullptr);

  CalcOwner owner() const { return owner_; }

  // Builds the owner's current page (called on refresh and when printing).
  using PageSource = std::function<ResultsPage()>;
  void setPageSource(PageSource source) { source_ = std::move(source); }

  // Takes the place of the screen's placeholder frame in its layout; false
  // when there is no frame to take over.
  bool attach(QWidget* frame);

  // Invalid also hides the scroll bars and empties the window.
  void setValid(bool valid);
  bool valid() const { return valid_; }
  // Rebuilds the page from the source, places the scroll bars and repaints.
  void refresh();
  const ResultsPage& page() const { return page_; }

  // The tools' tab page (1 or 2).
  int tabPage() const { return tabPage_; }
  void setTabPage(int page) { tabPage_ = page; }

  QScrollBar* verticalBar() const { return vBar_; }
  QScrollBar* horizontalBar() const { return hBar_; }

  // Print dialog, then the page as one document named `documentName`. False
  // when cancelled or there is nothing to print.
  bool print(QWidget* dialogParent, const QString& documentName);
  // Prints on `printer` without a dialog (paper or PDF file).
  bool printTo(QPrinter& printer, const QString& documentName);
  // "Exporter PDF": the page as a PDF file the user chooses (proposed as
  // `documentName`.pdf in `directory`). False when cancelled, failed (the user
  // was told) or there is nothing to export.
  bool exportPdfFile(QWidget* owner, const QString& directory, const QString& documentName);

  // Height on this window of a page of `rows` rows, margins included.
  int heightForRows(int rows) const;

  // The page in pixels for a device of vertical resolution `dpiY`.
  static QSize pageSize(const ResultsPage& page, const QPaintDevice* device, int dpiY);
  // Draws the page with its top left corner at `origin`.
  static void drawPage(QPainter& painter, const ResultsPage& page, QPoint origin, int dpiY);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  void placeScrollBars();
  QRect viewport() const;

  CalcOwner owner_;
  PageSource source_;
  ResultsPage page_;
  bool valid_ = false;
  int tabPage_ = 1;
  QScrollBar* vBar_;
  QScrollBar* hBar_;
};

}  // namespace tarnlux::ui
