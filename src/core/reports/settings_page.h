#pragma once

// The meter settings page: the connected meter's identity, connection and
// configuration as the screen "Parametres compteur" shows and prints it and as
// "tarnlux-cli settings" lists it. The lines are those of a capture log's
// header (identity with "N/A" for an empty field, then with extended
// diagnostics the configuration dump), one page line per text line, its cells
// separated by commas.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "common/op_context.h"
#include "diag/capture_header.h"
#include "link/connect.h"
#include "link/meter_block_io.h"
#include "link/meter_facts.h"
#include "link/transport.h"

namespace tarnlux {

inline constexpr const char* kSettingsViewTitle = "Parametres compteur";
inline constexpr const char* kSettingsNotConnectedText = "Non connecte au compteur";
inline constexpr const char* kSettingsNoChannelText = "Pas de canal selectionne";
inline constexpr const char* kSettingsCollectingText = "Collecte infos du compteur, patientez....";
inline constexpr const char* kSettingsInvalidDataText = "Donnees compt. non valables";
inline constexpr const char* kSettingsPageTitle = "Donnees compteur";

// The view is not possible in the program's state (no connection, no channel
// on a single-channel site): the message was reported and the page is empty.
inline constexpr int kSettingsViewUnavailable = -3;

struct SettingsPage {
  std::vector<std::string> lines;
  // Length of the longest line, which sizes the horizontal scroll range.
  std::size_t longestLine = 0;

  void add(std::string line);
  // Every "\n"-ended line of `text`, in order.
  void addText(std::string_view text);
  bool empty() const { return lines.empty(); }
  std::size_t size() const { return lines.size(); }
};

// The cells of a page line: the texts between its commas, empty ones kept.
std::vector<std::string_view> pageCells(std::string_view line);

// The page from what the view gathered (no link): "Donnees compteur", the
// identity and connection lines, bore and K factor, then the configuration
// dump when the meter has extended diagnostics.
SettingsPage buildSettingsPage(const CaptureHeaderFacts& facts, const CaptureLayout& layout,
                               const MeasurementStore& readings);

// The paths the page lists: every measuring channel of a multi-path site, the
// selected channel otherwise (bit n = path n + 1).
unsigned settingsViewPaths(const MeterFacts& meter);

// Builds the page of the connected meter. Shows "Collecte infos du compteur,
// patientez...." in the progress line, checks the link (over TCP a failed
// check other than a cancel reopens the connection once), then reads what the
// connect step does not hold: without extended diagnostics the bore "p_d" and
// length units "p_units" of the channel; with them the flow units "flegend"
// (and on a gas meter "stdflow", which picks its unit names), each listed
// path's set-up answer and, in the Echoflux mode, the channel's readings for
// its flow range and fluid. A read that fails or gives an invalid value is
// reported as "Donnees compt. non valables" and leaves `page` empty.
// Returns 0, kSettingsViewUnavailable (not connected, no channel; reported),
// -2 when cancelled, or the failing read's code.
int readSettingsPage(MeterLink& link, MeterFacts& meter, const MeterBlockStore& block,
                     const ConnectOutcome& outcome, SettingsPage& page, OperationContext& ctx);

}  // namespace tarnlux
