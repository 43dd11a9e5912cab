// The module tarnlux-cli loads to draw report pages into a PDF file.

#include <QByteArray>
#include <QGuiApplication>
#include <memory>

#include "pages/report_painter.h"
#include "reports/report_pdf_entry.h"

extern "C" __attribute__((visibility("default"))) int tarnluxWriteReportPdf(
    const char* path, const std::vector<tarnlux::ReportPage>* pages, std::string* message) {
  // Qt's own diagnostics are not the command line's output.
  const QtMessageHandler previous =
      qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
  // Fonts need a GUI application; without a display the offscreen platform serves.
  std::unique_ptr<QGuiApplication> app;
  if (QGuiApplication::instance() == nullptr) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "tarnlux-cli";
    static char* argv[] = {name, nullptr};
    app = std::make_unique<QGuiApplication>(argc, argv);
  }
  const QString failure = tarnlux::ui::writeReportPdf(QString::fromLocal8Bit(path), *pages);
  app.reset();
  qInstallMessageHandler(previous);
  if (!failure.isEmpty()) {
    *message = failure.toStdString();
    return -1;
  }
  return 0;
}

// Checked against the declaration the program uses.
[[maybe_unused]] static constexpr tarnlux::ReportPdfEntry kEntryMatches = &tarnluxWriteReportPdf;
