#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace tarnlux::ui {

// The "Afficher manuel" button of every screen and of the about box: opens the
// manual found in the program directory with the desktop's PDF reader.
void showManual(QWidget* parent);

// How a document is handed to the desktop (QDesktopServices by default; tests
// record the path instead). True when a program took it. Returns the opener it
// replaces.
using DocumentOpener = std::function<bool(const QString& path)>;
DocumentOpener setDocumentOpener(DocumentOpener opener);

}  // namespace tarnlux::ui
