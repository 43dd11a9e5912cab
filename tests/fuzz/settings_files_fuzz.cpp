// The settings files as each reader takes them: the link section of qm.cfg and
// the calculators' sections of the program's ini file. Any value must fall
// back to a default, never stop the program.
#include "calc/aga8_settings.h"
#include "calc/energy_settings.h"
#include "calc/sizing_settings.h"
#include "common/profile_file.h"
#include "fuzz_input.h"
#include "link/comm_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarnlux;
  fuzz::Input in(data, size);
  ProfileFile file;
  file.parse(in.text());
  (void)readLinkSettings(file);
  SizingSession gas(SizingMode::Gas);
  readSizingSettings(file, gas);
  sizingApplyRememberedChoices(gas);
  (void)sizingSettingsChanges(gas);
  SizingSession liquid(SizingMode::Liquid);
  readSizingSettings(file, liquid);
  sizingApplyRememberedChoices(liquid);
  (void)sizingSettingsChanges(liquid);
  Aga8Session aga8;
  readAga8Settings(file, aga8);
  EnergySession energy;
  readEnergySettings(file, energy);
  return 0;
}
