#include "app/commands.h"
#include "app/main_frame.h"
#include "link/setupcom.h"

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
}

}  // namespace tarnlux::ui
