#include "app/qm_app.h"

#include <clocale>

#include <QCommandLineParser>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "app/app_state.h"
#include "app/main_frame.h"
#include "calc/calc_sessions.h"
#include "common/version.h"
#include "link/comm_settings.h"

namespace tarnlux::ui {

CQmApp::CQmApp(int& argc, char** argv) : QApplication(argc, argv) {
  // Qt adopts the user's locale for the C library too. Core writes numbers
  // with printf-style formats into logs, set-up files and meter commands,
  // which must keep a decimal point whatever the desktop's language.
  std::setlocale(LC_NUMERIC, "C");
}

CQmApp::~CQmApp() = default;

bool CQmApp::installQtTranslations(QCoreApplication& app) {
  // The standard dialogs (printer, file chooser, message box buttons) speak
  // French, like the program's own screens.
  auto* translator = new QTranslator(&app);
  if (!translator->load(QLocale(QLocale::French), QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}

bool CQmApp::initInstance() {
  // Sockets need no start-up on this platform.

  setOrganizationName(QString::fromLatin1(kMakerName));
  setApplicationName(QStringLiteral("Tarnlux"));
  setApplicationVersion(QString::fromLatin1(kProgramVersion));

  installQtTranslations(*this);

  frame_ = std::make_unique<CMainFrame>(AppState::instance());

  QCommandLineParser parser;
  parser.addHelpOption();
  parser.addVersionOption();
  // Help, version and unknown options are answered on the terminal and end the program.
  parser.process(arguments());

  frame_->showMaximizedOnScreen();

  AppState& app = AppState::instance();
  loadLinkSettings(app.settingsPath(), app.linkSettings, *app.portScanner);
  // The calculators' remembered settings, after the link's.
  loadCalculatorSettings(app.settingsPath());

  frame_->refreshStatusBar();
  return true;
}

}  // namespace tarnlux::ui
