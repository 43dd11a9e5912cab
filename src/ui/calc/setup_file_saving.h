#pragma once

#include <QString>
#include <functional>
#include <string>

class QWidget;

namespace tarnlux {
struct SetupFileError;
}

namespace tarnlux::ui {

// The calculators' "Enregistrer" and "Enregistrer sous" buttons: the part
// both screens share. The screen says what it has and how it writes its file.
struct SetupFileSaving {
  QWidget* screen = nullptr;  // owns the file chooser and the messages
  bool haveResults = false;   // a calculation has been made for what is shown
  std::string currentPath;    // the set-up file last opened or saved; empty if none
  std::string programDirectory;
  const char* filter = "";     // the file chooser's name filter
  const char* extension = "";  // added to a name typed without one
  // Writes the set-up file to `path`, showing its failure; false when it failed.
  std::function<bool(const QString& path)> write;
};

// The folder the set-up file chooser opens in: the current file's, else the
// program's.
QString setupFileFolder(const std::string& currentPath, const std::string& programDirectory);

// "Enregistrer": over the current file, or as "Enregistrer sous" when there is
// none yet. Nothing is written without results ("Pas de calcul effectue").
void saveSetup(const SetupFileSaving& saving);
// "Enregistrer sous": the name is asked with the file chooser.
void saveSetupAs(const SetupFileSaving& saving);
// "Ouvrir": the file chooser on the set-up files; empty when cancelled.
QString chooseSetupFileToOpen(const SetupFileSaving& saving);
// Shows a set-up file failure in an error box; true when there was none.
bool setupFileSucceeded(const SetupFileError& error, QWidget* screen);

}  // namespace tarnlux::ui
