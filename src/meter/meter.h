#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "drift.h"
#include "faults.h"
#include "profile.h"
#include "sites.h"
#include "storage.h"
#include "variables.h"

namespace tarnlux::meter {

// Answer of the interpreter to anything it does not understand, including
// "test" and an empty line.
inline constexpr std::string_view kNotUnderstood = "???\r\n";

// The meter's state and its command set: variables read and written with
// "cv" and "qm", queries with "qg". Shared by every port of one meter.
class Meter {
 public:
  using WallClock = std::function<std::time_t()>;

  Meter(const Profile& profile, std::uint32_t seed, WallClock clock = {});

  // Runs one command line (without its carriage return) and returns the
  // answer text, without the prompt that follows it.
  std::string execute(std::string_view line);

  const Profile& profile() const { return profile_; }
  VariableStore& cv() { return cv_; }
  VariableStore& qm() { return qm_; }
  const VariableStore& cv() const { return cv_; }
  const VariableStore& qm() const { return qm_; }
  std::mt19937& random() { return random_; }
  std::time_t now() const { return clock_(); }

  // Puts the meter into the state the state faults ask for (channels not
  // measuring, NullTrack failures, a memory block listed short, table arrays
  // listed short or with a value off).
  void applyStateFaults(const FaultSet& faults);
  // True once after a command that must end the connection instead of
  // being answered (the block-drop fault).
  bool takeDropRequest() { return std::exchange(dropRequested_, false); }
  // The signal answers' faults (applyStateFaults takes them from the fault set).
  SignalFaults& signalFaults() { return signalFaults_; }

  // Stores an event when a path's readings (the extended diagnostic answer's
  // field line) cross the limits of the block its storage index holds, and
  // storage there is enabled with room left.
  void recordEvent(int path, const std::string& fieldLine);
  // The same for a channel in the Echoflux mode, graded against the Echoflux
  // limits of its block and stored in the Echoflux form.
  void recordEchofluxEvent(int channel, const EchofluxReading& reading, const std::string& date,
                           const std::string& time);
  // The events stored at `index`, oldest first.
  const std::vector<std::string>& storedEvents(int index) const;

  // The numbered sites and their packet transfers.
  SiteStore& sites() { return sites_; }

  // Diagnostic query counts, the readings' drift and the units fault.
  DiagnosticState& diagnostics() { return diagnostics_; }
  const DiagnosticState& diagnostics() const { return diagnostics_; }

  // A number of a "cv" or "qm" variable with its read noise.
  double sample(const VariableStore& store, std::string_view name, int index, double fallback);

 private:
  std::string variableCommand(std::string_view word, VariableStore& store, std::string_view args);
  std::string queryCommand(std::string_view args);
  // A command written into the command block "qmcmd" of `index`: the storage
  // command answers with the storage state.
  std::string blockCommand(int index);

  Profile profile_;
  VariableStore cv_;
  VariableStore qm_;
  std::mt19937 random_;
  WallClock clock_;
  bool shortBlockListing_ = false;
  int silentBlockReads_ = 0;
  bool dropBlockRead_ = false;
  bool dropRequested_ = false;
  std::vector<std::string> shortTables_;
  std::vector<std::string> offTables_;
  SignalFaults signalFaults_;
  DiagnosticState diagnostics_;
  SiteStore sites_;
  std::array<StorageState, kIndexCount> storage_{};
  bool storageBadCheck_ = false;
  bool eventBadRecord_ = false;
  int storageIndex(int path) const;
  std::string eventList(int index, const std::string& site, bool clear);
};

}  // namespace tarnlux::meter
