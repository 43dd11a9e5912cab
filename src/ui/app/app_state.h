#pragma once

#include <string>

#include "common/paths.h"
#include "link/comm_settings.h"
#include "link/connect.h"
#include "link/link_settings.h"
#include "link/meter_block_io.h"
#include "link/meter_facts.h"
#include "link/transport.h"

namespace tarnlux::ui {

// The program's application-wide record: the one link, its settings, the
// connection state the main window shows, and the meter facts the menu depends
// on. Screens are handed the record, so tests run them on a record of their own.
struct AppState {
  // The program's own record.
  static AppState& instance();

  // Program directory with a trailing separator (empty when unknown), and the
  // settings file in it.
  std::string programDirectory;
  std::string settingsPath() const { return settingsFilePath(programDirectory); }

  LinkSettings linkSettings;
  MeterLink link;
  // Lists the serial ports; tests put a scanner of their own here.
  const SerialPortScanner* portScanner = &defaultScanner();

  // Connection state, set by the connect command.
  bool connected = false;
  bool linkIsTcp = false;
  // Line parameters copied when the connection was made; the status bar shows
  // these while connected even when the settings are edited meanwhile.
  LinkSettings lineAtConnect;

  // What the connect screen learnt about the meter (memory block, alarm
  // storage, multi-path mode...).
  MeterFacts meter;
  // The memory block of the connected channel: the limits and the meter
  // information the set-up screens edit and the grading uses.
  MeterBlockStore block;
  // What the connect step read of the connected channel (or site): its
  // identity and configuration answers, kept for the meter settings view.
  // A verified AGA8 table send updates the configuration's table. Cleared on
  // disconnect.
  ConnectOutcome connectOutcome;

  static const SerialPortScanner& defaultScanner();
};

}  // namespace tarnlux::ui
