#include "calc/calc_sessions.h"

#include "calc/aga8_settings.h"
#include "common/profile_file.h"

namespace tarnlux::ui {

Aga8Session& aga8ProgramSession() {
  static Aga8Session session;
  return session;
}

EnergySession& energyProgramSession() {
  static EnergySession session;
  return session;
}

SizingSession& gasToolProgramSession() {
  static SizingSession session(SizingMode::Gas);
  return session;
}

SizingSession& liquidToolProgramSession() {
  static SizingSession session(SizingMode::Liquid);
  return session;
}

void loadCalculatorSettings(const std::string& settingsPath) {
  ProfileFile file(settingsPath);
  file.load();
  readAga8Settings(file, aga8ProgramSession());
  readEnergySettings(file, energyProgramSession());
  readSizingSettings(file, gasToolProgramSession());
  readSizingSettings(file, liquidToolProgramSession());
}

}  // namespace tarnlux::ui
