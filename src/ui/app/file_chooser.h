#pragma once

#include <QString>

class QWidget;

namespace tarnlux::ui {

// The shared file chooser of the screens. `filter` is a Qt name filter
// ("Fichiers CSV (*.csv)", several separated by ";;"). Both return the chosen
// path, or an empty text when the user cancels.

// Open: a name that does not exist yet may be typed; the user is asked whether
// to create it (No goes back to the chooser).
QString chooseFileToOpen(QWidget* owner, const QString& filter, const QString& title,
                         const QString& initialDirectory, const QString& fileName = {});

// Save: choosing an existing file asks before it is replaced (No goes back to
// the chooser).
QString chooseFileToSave(QWidget* owner, const QString& filter, const QString& title,
                         const QString& initialDirectory, const QString& fileName = {});

}  // namespace tarnlux::ui
