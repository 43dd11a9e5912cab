#include "app/file_chooser.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

namespace tarnlux::ui {

namespace {

enum class Purpose { Open, Save };

// The chooser speaks French like the rest of the program.
void labelInFrench(QFileDialog& dialog, Purpose purpose) {
  dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("Regarder dans:"));
  dialog.setLabelText(QFileDialog::FileName, QStringLiteral("Nom du fichier:"));
  dialog.setLabelText(QFileDialog::FileType, QStringLiteral("Type de fichier:"));
  dialog.setLabelText(QFileDialog::Accept, purpose == Purpose::Open ? QStringLiteral("Ouvrir")
                                                                    : QStringLiteral("Enregistrer"));
  dialog.setLabelText(QFileDialog::Reject, QStringLiteral("Annuler"));
}

bool askYesNo(QWidget* owner, const QString& title, const QString& question) {
  QMessageBox box(QMessageBox::Question, title, question, QMessageBox::NoButton, owner);
  QPushButton* yes = box.addButton(QStringLiteral("Oui"), QMessageBox::YesRole);
  QPushButton* no = box.addButton(QStringLiteral("Non"), QMessageBox::NoRole);
  box.setDefaultButton(no);
  box.exec();
  return box.clickedButton() == yes;
}

QString choose(Purpose purpose, QWidget* owner, const QString& filter, const QString& title,
               const QString& initialDirectory, const QString& fileName) {
  QFileDialog dialog(owner, title, initialDirectory, filter);
  dialog.setObjectName(purpose == Purpose::Open ? "fileOpenChooser" : "fileSaveChooser");
  dialog.setAcceptMode(purpose == Purpose::Open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  // The prompts below are ours, in French.
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  labelInFrench(dialog, purpose);
  if (!fileName.isEmpty()) dialog.selectFile(fileName);

  while (dialog.exec() == QDialog::Accepted) {
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) continue;
    const QString path = chosen.first();
    const QFileInfo info(path);
    const QString name = QDir::toNativeSeparators(info.fileName());
    if (purpose == Purpose::Open && !info.exists() &&
        !askYesNo(&dialog, title, name + QStringLiteral("\nCe fichier n'existe pas.\nVoulez-vous le creer ?"))) {
      continue;
    }
    if (purpose == Purpose::Save && info.exists() &&
        !askYesNo(&dialog, title, name + QStringLiteral(" existe deja.\nVoulez-vous le remplacer ?"))) {
      continue;
    }
    return path;
  }
  return {};
}

}  // namespace

QString chooseFileToOpen(QWidget* owner, const QString& filter, const QString& title,
                         const QString& initialDirectory, const QString& fileName) {
  return choose(Purpose::Open, owner, filter, title, initialDirectory, fileName);
}

QString chooseFileToSave(QWidget* owner, const QString& filter, const QString& title,
                         const QString& initialDirectory, const QString& fileName) {
  return choose(Purpose::Save, owner, filter, title, initialDirectory, fileName);
}

}  // namespace tarnlux::ui
