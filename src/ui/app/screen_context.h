#pragma once

#include <atomic>

#include "common/op_context.h"
#include "common/progress_line.h"

class QLabel;
class QStatusBar;
class QWidget;

namespace tarnlux::ui {

// A progress line shown in a screen's status line.
ProgressLine progressLineFor(QLabel* statusLine);
ProgressLine progressLineFor(QStatusBar* statusBar);

// The operation context a screen hands to core: failures in an error box owned
// by the screen, the window kept alive by MessagePump, progress in `progress`
// (may be null), cancelled through `cancelFlag` (may be null).
OperationContext screenContext(QWidget* screen, std::atomic<int>* cancelFlag,
                               ProgressLine* progress, bool quiet = false);

}  // namespace tarnlux::ui
