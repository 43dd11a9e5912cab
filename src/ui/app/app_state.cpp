#include "app/app_state.h"

namespace tarnlux::ui {

AppState& AppState::instance() {
  static AppState state;
  return state;
}

const SerialPortScanner& AppState::defaultScanner() {
  static const SerialPortScanner scanner;
  return scanner;
}

}  // namespace tarnlux::ui
