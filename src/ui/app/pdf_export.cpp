#include "app/pdf_export.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPageLayout>
#include <QPrinter>
#include <cstdio>

#include "app/file_chooser.h"
#include "app/printer.h"

namespace tarnlux::ui {

QString writePdfFile(const QString& path, const PdfDrawer& draw) {
  const QFileInfo target(path);
  if (!target.dir().exists()) return QStringLiteral("Repertoire introuvable: ") + target.absolutePath();
  const QString temporary = target.absoluteFilePath() + QStringLiteral(".part");
  QFile::remove(temporary);
  bool drawn = false;
  {
    QPrinter printer(QPrinter::HighResolution);
    // The paper of the print set-up, so a PDF looks like the printed page.
    printer.setPageLayout(sharedPrinter().pageLayout());
    printer.setPageOrientation(QPageLayout::Landscape);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(temporary);
    printer.setDocName(target.completeBaseName());
    drawn = draw(printer);
  }  // the printer finishes the file when it goes
  if (!drawn || !QFileInfo::exists(temporary) || QFileInfo(temporary).size() == 0) {
    QFile::remove(temporary);
    return drawn ? QStringLiteral("Impossible d'ecrire ") + temporary : QStringLiteral("Rien a exporter");
  }
  // POSIX rename replaces the old file in one step: a reader sees the old or the new.
  if (std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path).constData()) != 0) {
    QFile::remove(temporary);
    return QStringLiteral("Impossible d'ecrire ") + path;
  }
  return {};
}

QString exportPdf(QWidget* owner, const QString& initialDirectory, const QString& suggestedName,
                  const PdfDrawer& draw) {
  QString path = chooseFileToSave(owner, QStringLiteral("Fichiers PDF (*.pdf)"),
                                  QString::fromLatin1(kExportPdfText), initialDirectory, suggestedName);
  if (path.isEmpty()) return {};
  if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".pdf");
  const QString failure = writePdfFile(path, draw);
  if (!failure.isEmpty()) {
    QMessageBox::warning(owner, QString::fromLatin1(kExportPdfText), failure);
    return {};
  }
  return path;
}

}  // namespace tarnlux::ui
