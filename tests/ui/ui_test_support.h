#pragma once

// Shared by the screen tests: error boxes recorded instead of shown, a port
// scanner with a fixed list, documents "opened" into a list.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/error_box.h"
#include "app/manual.h"
#include "common/result.h"
#include "link/comm_settings.h"
#include "link/connect.h"

namespace tarnlux::test {

class RecordedErrorBoxes {
 public:
  RecordedErrorBoxes() {
    previous_ = ui::setErrorBoxPresenter([this](QWidget* parent, const QString& text) {
      texts.append(text);
      parents.push_back(parent);
    });
  }
  ~RecordedErrorBoxes() { ui::setErrorBoxPresenter(previous_); }
  RecordedErrorBoxes(const RecordedErrorBoxes&) = delete;
  RecordedErrorBoxes& operator=(const RecordedErrorBoxes&) = delete;

  QStringList texts;
  std::vector<QPointer<QWidget>> parents;

 private:
  ui::ErrorBoxPresenter previous_;
};

class RecordedDocuments {
 public:
  explicit RecordedDocuments(bool opens = true) {
    previous_ = ui::setDocumentOpener([this, opens](const QString& path) {
      paths.append(path);
      return opens;
    });
  }
  ~RecordedDocuments() { ui::setDocumentOpener(previous_); }
  RecordedDocuments(const RecordedDocuments&) = delete;
  RecordedDocuments& operator=(const RecordedDocuments&) = delete;

  QStringList paths;

 private:
  ui::DocumentOpener previous_;
};

// The machine's serial devices, as the test wants them.
class FixedPortScanner : public SerialPortScanner {
 public:
  explicit FixedPortScanner(std::vector<std::string> devices = {}) : devices_(std::move(devices)) {}
  std::vector<std::string> presentDevices() const override { return devices_; }
  bool deviceExists(const std::string& device) const override {
    for (const auto& present : devices_) {
      if (present == device) return true;
    }
    return false;
  }

 private:
  std::vector<std::string> devices_;
};

// The named child of a screen; a missing one ends the test program.
template <typename T>
T* child(QWidget& parent, const char* name) {
  T* found = parent.findChild<T*>(QString::fromLatin1(name));
  if (found == nullptr) qFatal("no child %s", name);
  return found;
}

// Runs `action` once `condition` holds, from inside whatever event loop runs
// then (a screen's query loop pumps events while it waits).
inline void when(QObject* owner, std::function<bool()> condition, std::function<void()> action) {
  auto* timer = new QTimer(owner);
  QObject::connect(timer, &QTimer::timeout, owner, [timer, condition, action] {
    if (!condition()) return;
    timer->stop();
    timer->deleteLater();
    action();
  });
  timer->start(20);
}

// Connects `app` to a simulated meter on loopback TCP the way the connect
// screen does, choosing channel 1 when asked.
inline bool connectToTestMeter(ui::AppState& app, int tcpPort) {
  app.linkSettings.portName = kTcpPortName;
  app.linkSettings.ipAddress = "127.0.0.1";
  app.linkSettings.ipPort = static_cast<std::uint16_t>(tcpPort);
  app.linkSettings.portMissing = 0;
  OperationContext ctx;
  ctx.quiet = true;
  if (connectToMeter(app.link, app.linkSettings, app.meter, app.block, [](unsigned) { return 0; },
                     app.connectOutcome, ctx) != kOk) {
    return false;
  }
  app.connected = true;
  app.linkIsTcp = true;
  return true;
}

}  // namespace tarnlux::test
