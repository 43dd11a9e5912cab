#include "app/commands.h"
#include "app/main_frame.h"
#include "calc/aga8_screen.h"
#include "calc/energy_screen.h"
#include "calc/xselect.h"
#include "diag/diag.h"
#include "graph/siggraph.h"
#include "graph/summary.h"
#include "graph/trendgrf.h"
#include "link/connect2.h"
#include "link/setupcom.h"
#include "reports/mset_view.h"
#include "reports/rep_gen.h"
#include "transfer/sites.h"
#include "setup/setminfo.h"
#include "setup/setup_pf.h"
#include "storage/set_stor.h"
#include "storage/stor_disp.h"
#include "terminal/terminal.h"
#include "transfer/os_load_screen.h"

namespace tarnlux::ui {

// The screen each menu command opens. A screen's command is enabled once its
// handler is registered here; the connect screen goes in through
// CMainFrame::setConnectScreen and the report generator through
// CMainFrame::reportGenerator().setFactory.
void installScreens(CMainFrame& frame) {
  frame.setCommandHandler(kCmdCommunications, [&frame] {
    SETUPCOM screen(frame.app(), &frame);
    screen.exec();
  });
  frame.setCommandHandler(kCmdAga8, [&frame] {
    AGA8 screen(frame.app(), &frame);
    screen.exec();
  });
  // "Env tableau": a link that failed during the send is given up the way the
  // menu's disconnect command does it.
  AGA8::setTableSender([&frame](AppState& app, const Aga8Results& results, QWidget* screen,
                                const OperationContext& ctx) {
    return sendAga8TableFromScreen(app, results, screen, ctx, [&frame] {
      if (frame.app().connected) frame.runCommand(kCmdConnect);
    });
  });
  frame.setCommandHandler(kCmdEnergyCalculator, [&frame] {
    EnrgCalc screen(frame.app(), &frame);
    screen.exec();
  });
  frame.setCommandHandler(kCmdGasTool, [&frame] {
    XSelect screen(frame.app(), SizingMode::Gas, &frame);
    screen.exec();
  });
  frame.setCommandHandler(kCmdLiquidTool, [&frame] {
    XSelect screen(frame.app(), SizingMode::Liquid, &frame);
    screen.exec();
  });
  frame.setCommandHandler(kCmdSignalGraph, [&frame] { openSignalGraph(frame.app(), &frame); });
  frame.setCommandHandler(kCmdDiagnostic, [&frame] {
    std::function<void()> report;
    if (frame.reportGenerator().available()) {
      report = [&frame] { frame.reportGenerator().requestOpen(); };
    }
    openDiagnosticScreen(frame.app(), &frame, std::move(report));
  });
  frame.setCommandHandler(kCmdTrendGraph, [&frame] { openTrendGraph(frame.app(), &frame); });
  frame.setCommandHandler(kCmdSystemSummary, [&frame] { openSystemSummary(frame.app(), &frame); });
  frame.setCommandHandler(kCmdGeneralSettings, [&frame] { openSettingsView(frame.app(), &frame); });
  frame.setCommandHandler(kCmdSites, [&frame] { openSitesScreen(frame.app(), &frame); });
  // A transfer that lost the link ends the connection as the menu's disconnect does.
  Sites::setDisconnect([&frame] { frame.runCommand(kCmdConnect); });
  frame.setCommandHandler(kCmdPassFailLimits, [&frame] { openLimitsScreen(frame.app(), &frame); });
  frame.setCommandHandler(kCmdMeterInformation, [&frame] {
    SetMInfo screen(frame.app(), &frame);
    screen.exec();
  });
  frame.setCommandHandler(kCmdAlarmStorage, [&frame] { openAlarmStorage(frame.app(), &frame); });
  frame.setCommandHandler(kCmdStoredEvents, [&frame] { openStoredEvents(frame.app(), &frame); });
  frame.setCommandHandler(kCmdTerminal, [&frame] {
    Terminal screen(frame.app(), &frame);
    screen.setDisconnect([&frame] {
      if (frame.app().connected) frame.runCommand(kCmdConnect);
    });
    screen.run();
  });
  frame.addCloseStep([] { programTextCapture().close(); });
  frame.setCommandHandler(kCmdLoadOperatingSystem, [&frame] {
    openOsLoadScreen(frame.app(), &frame, [&frame] {
      if (frame.app().connected) frame.runCommand(kCmdConnect);
    });
  });
  Rep_Gen::install(frame.reportGenerator());
  frame.setConnectScreen([](CMainFrame& owner) -> bool {
    connect2 screen(owner.app(), &owner);
    return screen.exec() == QDialog::Accepted;
  });
}

}  // namespace tarnlux::ui
