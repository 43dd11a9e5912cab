#include "app/operation_guard.h"

namespace tarnlux {

OperationGuard::~OperationGuard() {
  if (running()) BusyFlag::owner_ = nullptr;
}

bool OperationGuard::start(const std::function<void()>& operation) {
  if (BusyFlag::isSet()) return false;
  cancelFlag.store(0);
  BusyFlag::owner_ = this;
  struct Release {
    ~Release() { BusyFlag::owner_ = nullptr; }
  } release;
  operation();
  return true;
}

bool OperationGuard::requestCancel() {
  if (!running()) return false;
  cancelFlag.store(1);
  return true;
}

}  // namespace tarnlux
