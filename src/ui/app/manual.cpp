#include "app/manual.h"

#include <QCursor>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QUrl>

#include "app/app_state.h"
#include "app/error_box.h"
#include "app/manual_file.h"
#include "app/qt_text.h"

namespace tarnlux::ui {

namespace {

constexpr const char* kNoManual = "Fichier manuel introuvable";
constexpr const char* kNoReader =
    "Impossible de trouver le programme de lecture des fichiers dans le repertoire";

bool openWithDesktop(const QString& path) {
  QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
  const bool opened = QDesktopServices::openUrl(QUrl::fromLocalFile(path));
  QGuiApplication::restoreOverrideCursor();
  return opened;
}

DocumentOpener& opener() {
  static DocumentOpener current = openWithDesktop;
  return current;
}

}  // namespace

DocumentOpener setDocumentOpener(DocumentOpener replacement) {
  DocumentOpener previous = std::move(opener());
  opener() = replacement ? std::move(replacement) : DocumentOpener(openWithDesktop);
  return previous;
}

void showManual(QWidget* parent) {
  const std::string path = findManualFile(AppState::instance().programDirectory);
  if (path.empty()) {
    ErrorBox(kNoManual, -1, parent);
    return;
  }
  if (!opener()(qtText(path))) ErrorBox(kNoReader, -1, parent);
}

}  // namespace tarnlux::ui
