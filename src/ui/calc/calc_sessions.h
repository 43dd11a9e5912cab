#pragma once

#include <string>

#include "calc/aga8_screen_rules.h"
#include "calc/energy_settings.h"
#include "calc/sizing_settings.h"

namespace tarnlux::ui {

// The calculators' program-wide records: what their screens showed last
// stays for the next opening, and their remembered settings live here.
Aga8Session& aga8ProgramSession();
EnergySession& energyProgramSession();
SizingSession& gasToolProgramSession();
SizingSession& liquidToolProgramSession();

// Start-up, after the communication settings: the AGA8 section, then the
// energy calculator's, the sizing tools'.
void loadCalculatorSettings(const std::string& settingsPath);

}  // namespace tarnlux::ui
