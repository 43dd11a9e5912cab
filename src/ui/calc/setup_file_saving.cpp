#include "calc/setup_file_saving.h"

#include <QFileInfo>

#include "app/error_box.h"
#include "app/file_chooser.h"
#include "app/qt_text.h"
#include "calc/setup_file_io.h"

namespace tarnlux::ui {

QString setupFileFolder(const std::string& currentPath, const std::string& programDirectory) {
  return currentPath.empty() ? qtText(programDirectory)
                             : QFileInfo(qtText(currentPath)).absolutePath();
}

void saveSetup(const SetupFileSaving& saving) {
  if (!saving.haveResults) {
    ErrorBox(kSetupNoResults, -1, saving.screen);
    return;
  }
  if (saving.currentPath.empty()) {
    saveSetupAs(saving);
    return;
  }
  saving.write(qtText(saving.currentPath));
}

void saveSetupAs(const SetupFileSaving& saving) {
  if (!saving.haveResults) {
    ErrorBox(kSetupNoResults, -1, saving.screen);
    return;
  }
  const QString path = chooseFileToSave(
      saving.screen, QString::fromLatin1(saving.filter), QStringLiteral("Enregistrer sous"),
      setupFileFolder(saving.currentPath, saving.programDirectory),
      QFileInfo(qtText(saving.currentPath)).fileName());
  if (path.isEmpty()) return;
  saving.write(qtText(withDefaultExtension(stdText(path), saving.extension)));
}

QString chooseSetupFileToOpen(const SetupFileSaving& saving) {
  return chooseFileToOpen(saving.screen, QString::fromLatin1(saving.filter),
                          QStringLiteral("Ouvrir"),
                          setupFileFolder(saving.currentPath, saving.programDirectory),
                          QFileInfo(qtText(saving.currentPath)).fileName());
}

bool setupFileSucceeded(const SetupFileError& error, QWidget* screen) {
  if (!error.failed()) return true;
  ErrorBox(error.message, error.extra, {}, error.code, screen);
  return false;
}

}  // namespace tarnlux::ui
