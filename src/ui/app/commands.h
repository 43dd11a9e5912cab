#pragma once

namespace tarnlux::ui {

// Menu command ids of the main window.
enum Command : int {
  kCmdCommunications = 32771,
  kCmdConnect = 32773,  // connect or disconnect
  kCmdDiagnostic = 32774,
  kCmdSignalGraph = 32775,
  kCmdTrendGraph = 32776,
  kCmdPassFailLimits = 32777,  // connected only
  kCmdMeterInformation = 32778,  // connected only
  kCmdTerminal = 32779,
  kCmdAga8 = 32780,
  kCmdLoadOperatingSystem = 32781,
  kCmdSites = 32782,
  kCmdAlarmStorage = 32783,  // connected only
  kCmdStoredEvents = 32784,
  kCmdGeneralSettings = 32785,
  kCmdReportGenerator = 32786,
  kCmdSystemSummary = 32787,
  kCmdEnergyCalculator = 32788,
  kCmdGasTool = 32789,
  kCmdLiquidTool = 32790,
  kCmdAbout = 57664,
  kCmdQuit = 57665,
  kCmdPrintSetup = 57606,
};

}  // namespace tarnlux::ui
