#pragma once

#include <atomic>
#include <functional>

namespace tarnlux {

// The program-wide busy flag: set while any screen runs an operation (a meter
// exchange, a transfer, a file capture). Long operations pump the window
// messages, so a second click on a start button re-enters its handler while the
// first operation still runs; the flag turns that click away.
class BusyFlag {
 public:
  static bool isSet() { return owner_ != nullptr; }
  // The guard that holds the flag, null when clear.
  static const void* owner() { return owner_; }

 private:
  friend class OperationGuard;
  static inline const void* owner_ = nullptr;
};

// A screen's side of the busy flag and its cancel request.
//
//   start button:  guard.start([&] { ...loop that tests guard.cancelFlag... });
//   Cancel/close:  if (guard.requestCancel()) return;  // running: stay open
//                  ...close the link the screen opened, end the screen...
class OperationGuard {
 public:
  OperationGuard() = default;
  OperationGuard(const OperationGuard&) = delete;
  OperationGuard& operator=(const OperationGuard&) = delete;
  ~OperationGuard();

  // The screen's cancelFlag: the running loop ends with -2 once it is set.
  std::atomic<int> cancelFlag{0};

  // Runs `operation` unless an operation (of any screen) is running: clears
  // cancelFlag, holds the busy flag for the operation's duration and releases it
  // afterwards, even when the operation throws. False when turned away.
  bool start(const std::function<void()>& operation);

  // Cancel or close pressed. While this guard's operation runs only the cancel
  // flag is set and true comes back (the screen stays open); otherwise false,
  // and the caller closes the screen.
  bool requestCancel();

  bool running() const { return BusyFlag::owner_ == this; }
};

}  // namespace tarnlux
