#include "app/main_frame.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QPageSetupDialog>
#include <QScreen>
#include <QStatusBar>

#include "app/about_dialog.h"
#include "app/commands.h"
#include "app/error_box.h"
#include "app/pictures.h"
#include "app/printer.h"
#include "app/qt_text.h"
#include "app/screen_context.h"
#include "app/wait_dialog.h"
#include "common/paths.h"
#include "common/version.h"
#include "link/comm_settings.h"

namespace tarnlux::ui {

namespace {

constexpr const char* kTitlePrefix = "Version Norvane Tarnlux ";
constexpr const char* kConnected = "Connecte";
constexpr const char* kNotConnected = "Non connecte";
constexpr const char* kConnectLabel = "&Connexion";
constexpr const char* kDisconnectLabel = "&Deconnexion";
constexpr const char* kConfigureMenu = "&Configurer";

struct MenuItem {
  int id;  // 0: separator
  const char* label;
};

struct TopMenu {
  const char* title;
  std::vector<MenuItem> items;
};

// The menu as shown while disconnected, in template order.
const std::vector<TopMenu>& menuTemplate() {
  static const std::vector<TopMenu> menus = {
      {"&Fichier", {{kCmdPrintSetup, "&Config impression..."}, {0, nullptr}, {kCmdQuit, "&Quitter"}}},
      {kConfigureMenu, {{kCmdCommunications, "&Communications"}}},
      {"C&onnexion", {{kCmdConnect, kConnectLabel}}},
      {"&Graphes", {{kCmdSignalGraph, "Graphe &signal"}, {kCmdTrendGraph, "Graphe &tend."}}},
      {"&Diagnostics",
       {{kCmdDiagnostic, "&Diagnostic comptr"},
        {kCmdStoredEvents, "&Evenements memorises"},
        {kCmdSystemSummary, "&Sommaire systeme"}}},
      {"&Rapports", {{kCmdReportGenerator, "&Gen de rapport"}}},
      {"&Utilitaires",
       {{kCmdTerminal, "&Terminal"},
        {kCmdAga8, "Calculs &AGA8"},
        {kCmdGasTool, "&Outil pour les gaz"},
        {kCmdLiquidTool, "O&util pour les liquides"},
        {kCmdEnergyCalculator, "&Calculateur flux energ."},
        {kCmdLoadOperatingSystem, "&Charger sys expl."},
        {kCmdSites, "&Enreg/Restaurer sites"}}},
      {"&Parametres compteur", {{kCmdGeneralSettings, "&Parametres generaux"}}},
      {"&Aide", {{kCmdAbout, "&A propos de Tarnlux"}}},
  };
  return menus;
}

// The set-up items a connected meter adds to "&Configurer", in this order.
constexpr MenuItem kMeterInformationItem{kCmdMeterInformation, "&Information compteur"};
constexpr MenuItem kPassFailItem{kCmdPassFailLimits, "&Limites OK/Echec"};
constexpr MenuItem kAlarmStorageItem{kCmdAlarmStorage, "&Config. memor. Alarme/Alertes"};

}  // namespace

CMainFrame::CMainFrame(AppState& app, QWidget* parent) : QMainWindow(parent), app_(app) {
  setObjectName("CMainFrame");
  setWindowTitle(QString::fromLatin1(kTitlePrefix) + QString::fromLatin1(kProgramVersion));
  setWindowIcon(QIcon(loadPicture(":/pictures/logo.png")));

  // Two panes, as wide as the longest texts they show.
  QStatusBar* bar = statusBar();
  bar->setObjectName("statusBar");
  bar->setSizeGripEnabled(true);
  auto makePane = [bar](const char* name, const QString& widest) {
    auto* pane = new QLabel(bar);
    pane->setObjectName(name);
    pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pane->setContentsMargins(3, 0, 3, 0);
    pane->setIndent(0);
    const int text = pane->fontMetrics().horizontalAdvance(widest);
    pane->setFixedWidth(text + 2 * pane->frameWidth() + 6 + pane->margin() * 2);
    bar->addWidget(pane);
    return pane;
  };
  pane0_ = makePane("pane0", QString::fromLatin1(kNotConnected));
  pane1_ = makePane("pane1", QStringLiteral("115200 %1-7-1").arg(QLatin1Char('I')));

  // Nothing is connected at start: the set-up items of a meter are absent.
  app_.connected = false;
  app_.meter.multiPath = false;

  picture_ = new pictbutt(this);
  setCentralWidget(picture_);

  reportHost_ = new ReportGeneratorHost(this);
  setMainWindow(this);

  buildMenu();
  installScreens(*this);
  app_.programDirectory = currentProgramDirectory();
  refreshStatusBar();
}

CMainFrame::~CMainFrame() {
  if (mainWindow() == this) setMainWindow(nullptr);
}

QAction* CMainFrame::makeAction(int id, const char* label) {
  auto* action = new QAction(QString::fromLatin1(label), this);
  action->setObjectName(QStringLiteral("action%1").arg(id));
  action->setData(id);
  connect(action, &QAction::triggered, this, [this, id] { runCommand(id); });
  actions_[id] = action;
  return action;
}

void CMainFrame::buildMenu() {
  QMenuBar* bar = menuBar();
  bar->setObjectName("menuBar");
  int position = 0;
  for (const TopMenu& top : menuTemplate()) {
    QMenu* menu = bar->addMenu(QString::fromLatin1(top.title));
    menu->setObjectName(QStringLiteral("menu%1").arg(position++));
    for (const MenuItem& item : top.items) {
      if (item.id == 0) {
        menu->addSeparator();
      } else {
        menu->addAction(makeAction(item.id, item.label));
      }
    }
    menus_.push_back(menu);
  }

  setCommandHandler(kCmdPrintSetup, [this] { printSetup(); });
  setCommandHandler(kCmdQuit, [this] { close(); });
  setCommandHandler(kCmdAbout, [this] { about(); });
  setCommandHandler(kCmdConnect, [this] { connectOrDisconnect(); });
  setCommandHandler(kCmdReportGenerator, [this] { reportHost_->requestOpen(); });
}

void CMainFrame::setCommandHandler(int id, CommandHandler handler) {
  handlers_[id] = std::move(handler);
  updateCommandStates();
}

QAction* CMainFrame::commandAction(int id) const {
  const auto found = actions_.find(id);
  return found == actions_.end() ? nullptr : found->second;
}

QMenu* CMainFrame::topMenu(int position) const {
  if (position < 0 || position >= static_cast<int>(menus_.size())) return nullptr;
  return menus_[static_cast<std::size_t>(position)];
}

void CMainFrame::runCommand(int id) {
  const auto found = handlers_.find(id);
  if (found == handlers_.end() || !found->second) return;
  // A copy: the handler may replace itself.
  const CommandHandler handler = found->second;
  handler();
  // A screen may have changed the settings or the connection.
  refreshStatusBar();
}

void CMainFrame::updateCommandStates() {
  for (auto& [id, action] : actions_) {
    bool enabled = handlers_.count(id) != 0;
    if (id == kCmdConnect) enabled = app_.connected || static_cast<bool>(connectScreen_);
    if (id == kCmdReportGenerator) enabled = reportHost_->available();
    action->setEnabled(enabled);
  }
}

void CMainFrame::refreshStatusBar() {
  pane0_->setText(QString::fromLatin1(app_.connected ? kConnected : kNotConnected));
  if (app_.connected) {
    pane1_->setText(qtText(lineSettingsText(app_.lineAtConnect, app_.linkIsTcp)));
  } else {
    const LinkSettings& settings = app_.linkSettings;
    pane1_->setText(qtText(lineSettingsText(settings, !isSerialPortName(settings.portName))));
  }
  updateCommandStates();
}

void CMainFrame::connectOrDisconnect() {
  if (app_.connected) {
    disconnectMeter();
  } else {
    connectMeter();
  }
}

void CMainFrame::connectMeter() {
  if (!connectScreen_ || !connectScreen_(*this)) return;
  app_.connected = true;
  app_.linkIsTcp = !isSerialPortName(app_.linkSettings.portName);
  app_.lineAtConnect = app_.linkSettings;
  actions_[kCmdConnect]->setText(QString::fromLatin1(kDisconnectLabel));
  addConnectedItems();
  refreshStatusBar();
}

void CMainFrame::disconnectMeter() {
  app_.meter.multiPath = false;
  app_.meter.meterFlags = 0;
  app_.link.meterFlags = 0;
  app_.connected = false;
  app_.connectOutcome = {};
  OperationContext ctx = screenContext(nullptr, nullptr, nullptr);
  app_.link.closeLink(false, ctx);
  actions_[kCmdConnect]->setText(QString::fromLatin1(kConnectLabel));
  removeConnectedItems();
  app_.meter.alarmStorage = false;
  refreshStatusBar();
}

void CMainFrame::addConnectedItems() {
  if (!app_.meter.memoryBlock) return;
  QMenu* configure = nullptr;
  for (QMenu* menu : menus_) {
    if (menu->title() == QLatin1String(kConfigureMenu)) configure = menu;
  }
  if (configure == nullptr) return;
  std::vector<MenuItem> items = {kMeterInformationItem, kPassFailItem};
  if (app_.meter.alarmStorage) items.push_back(kAlarmStorageItem);
  for (const MenuItem& item : items) {
    if (actions_.count(item.id) == 0) configure->addAction(makeAction(item.id, item.label));
  }
  updateCommandStates();
}

void CMainFrame::removeConnectedItems() {
  for (int id : {kCmdMeterInformation, kCmdPassFailLimits, kCmdAlarmStorage}) {
    const auto found = actions_.find(id);
    if (found == actions_.end()) continue;
    delete found->second;  // also takes it out of its menu
    actions_.erase(found);
  }
}

void CMainFrame::printSetup() {
  QPageSetupDialog dialog(&sharedPrinter(), this);
  dialog.exec();
}

void CMainFrame::about() {
  CAboutDlg dialog(this);
  dialog.exec();
}

void CMainFrame::showMaximizedOnScreen() {
  if (const QScreen* screen = this->screen() != nullptr ? this->screen() : QGuiApplication::primaryScreen()) {
    setGeometry(screen->availableGeometry());
  }
  showMaximized();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  if (app_.connected) {
    OperationContext ctx = screenContext(nullptr, nullptr, nullptr);
    app_.link.closeLink(false, ctx);
    app_.connected = false;
  }
  for (const auto& step : closeSteps_) step();
  closeSteps_.clear();
  reportHost_->shutdown();
  QMainWindow::closeEvent(event);
}

}  // namespace tarnlux::ui
