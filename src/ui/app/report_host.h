#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>

#include "app/layout_choice.h"

namespace tarnlux::ui {

// What the report generator window offers its host: its file reading runs on a
// worker thread, which must end when the program closes.
class ReportGeneratorWindow {
 public:
  virtual ~ReportGeneratorWindow() = default;
  // Asks the worker to end and waits at most `timeoutMs`; true when it ended.
  virtual bool stopWorker(int timeoutMs) = 0;
};

// Keeps the one report generator: a modeless window on the GUI thread, opened
// by the menu command, at most one at a time.
class ReportGeneratorHost : public QObject {
  Q_OBJECT

 public:
  // Makes the window in the given layout (a QWidget that should also be a
  // ReportGeneratorWindow). Null when it cannot be made.
  using Factory = std::function<QWidget*(ScreenLayout layout, QWidget* owner)>;

  static constexpr int kWorkerStopMs = 500;

  explicit ReportGeneratorHost(QWidget* owner);

  void setFactory(Factory factory) { factory_ = std::move(factory); }
  bool available() const { return static_cast<bool>(factory_); }

  // The menu command: opens the window unless one is open already, in which
  // case it is only brought to the front.
  void requestOpen();
  QWidget* window() const { return window_; }

  // At program close: closes the window and ends its worker. A worker still
  // running after 500 ms makes the program show "Fin anormale du thread" and
  // end at once.
  void shutdown();

  // Tests replace the immediate end of the process.
  void setAbnormalEnd(std::function<void()> end) { abnormalEnd_ = std::move(end); }

 private:
  QWidget* owner_;
  Factory factory_;
  QPointer<QWidget> window_;
  std::function<void()> abnormalEnd_;
};

}  // namespace tarnlux::ui
