#include "app/screen_context.h"

#include <QLabel>
#include <QPointer>
#include <QStatusBar>

#include "app/error_box.h"
#include "app/message_pump.h"
#include "app/qt_text.h"

namespace tarnlux::ui {

// The screen may close while a pumped operation still holds its context, hence
// the guarded pointers.

ProgressLine progressLineFor(QLabel* statusLine) {
  QPointer<QLabel> label(statusLine);
  return ProgressLine([label](const std::string& text) {
    if (label) label->setText(qtText(text));
  });
}

ProgressLine progressLineFor(QStatusBar* statusBar) {
  QPointer<QStatusBar> bar(statusBar);
  return ProgressLine([bar](const std::string& text) {
    if (bar) bar->showMessage(qtText(text));
  });
}

OperationContext screenContext(QWidget* screen, std::atomic<int>* cancelFlag,
                               ProgressLine* progress, bool quiet) {
  OperationContext ctx;
  ctx.cancelFlag = cancelFlag;
  ctx.progress = progress;
  ctx.quiet = quiet;
  QPointer<QWidget> owner(screen);
  ctx.errorSink = [owner](const std::string& text) {
    ErrorBox(text, {}, {}, -1, owner.data());
  };
  ctx.pump = &MessagePump::pump;
  return ctx;
}

}  // namespace tarnlux::ui
