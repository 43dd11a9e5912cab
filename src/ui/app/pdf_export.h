#pragma once

#include <QString>
#include <functional>

class QPrinter;
class QWidget;

namespace tarnlux::ui {

// The title of the chooser and the label of the button beside "Imprimer".
inline constexpr const char* kExportPdfText = "Exporter PDF";

// Draws one page set on a printer already set up for PDF output (landscape,
// the shared printer's paper). Returns false when nothing was drawn.
using PdfDrawer = std::function<bool(QPrinter&)>;

// Writes the pages `draw` makes into `path` as a PDF file. The file is written
// under a temporary name beside it and renamed when complete, so a failure
// never leaves half a file or replaces a good one. Returns an empty text on
// success, else the reason.
QString writePdfFile(const QString& path, const PdfDrawer& draw);

// "Exporter PDF": asks for a "*.pdf" file (proposing `suggestedName` in
// `initialDirectory`), writes it, and tells the user when it could not be
// written. Returns the path written, or an empty text (cancelled or failed).
QString exportPdf(QWidget* owner, const QString& initialDirectory, const QString& suggestedName,
                  const PdfDrawer& draw);

}  // namespace tarnlux::ui
