#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "diag/capture_columns.h"
#include "diag/pass_fail_limits.h"
#include "link/link_settings.h"
#include "link/meter_block.h"
#include "link/meter_facts.h"
#include "link/site_answers.h"
#include "reports/meter_config.h"

namespace tarnlux {

// What the header block of a capture log says about the program, the meter and
// the connection, gathered by the caller when the capture opens.
struct CaptureHeaderFacts {
  std::string osReference;  // the meter's operating-system reference (type text)
  std::string osVersion;
  // The multipath site's identifier, or the selected channel's; none when no
  // channel is selected.
  std::optional<std::string> siteIdentifier;
  std::string location;
  MeterInfoTexts info;  // part and serial numbers, last report (as read)
  LinkSettings link;

  bool multiPath = false;
  bool gasMeter = false;
  bool extendedDiagnostics = false;
  bool echofluxMode = false;
  std::uint32_t meterFlags = 0;
  unsigned capturedPaths = 0;  // bit n = path n + 1

  // Lengths (inches), length units, K factor and the site's system values.
  // Without extended diagnostics only the bore and the length units are used
  // (the caller reads them from the meter's pipe variables).
  ChannelIdentityAnswer identity;
  // The configuration dump (extended diagnostics): tables and calibration
  // type, and the set-up of every captured path (index = path).
  MeterConfiguration configuration;
  std::array<ChannelSetupAnswer, 4> pathSetup{};

  PassFailLimits limits;
};

// The identity, flags and site identifier of the connected meter.
void fillCaptureFacts(CaptureHeaderFacts& facts, const MeterFacts& meter);

// The identifier a capture names its site by: the multipath site's, else the
// selected channel's, none without a channel.
std::optional<std::string> captureSiteIdentifier(const MeterFacts& meter);

// The flow units written in a gas meter's log: "CU FT/HR" and the like become
// the French volume names, actual or standard volume (stdflow non-zero). A text
// that is not exactly volume word, "/", time word stays as it is.
std::string translatedGasFlowUnits(std::string_view meterText, bool standardVolume);

// The units a capture is labelled with, taken from the readings when the
// header is written.
CaptureLayout captureLayout(const CaptureHeaderFacts& facts, const SiteReadings& site);

// Header lines 1 to 12 (up to the location line), with "\n" line ends.
std::string captureHeaderIdentity(const CaptureHeaderFacts& facts);
// Lines 3 to 12 alone (operating system to location). The log writes "N/D"
// for an empty identity field, the settings view "N/A".
enum class IdentityUse { CaptureLog, SettingsView };
std::string captureIdentityLines(const CaptureHeaderFacts& facts, IdentityUse use);
// Lines 13 and 14: the meter bore and, with extended diagnostics, the K factor.
std::string captureBoreLines(const CaptureHeaderFacts& facts);
// The rest of the header: bore, K factor, configuration dump, the column
// descriptions and the heading row, with "\n" line ends.
// The Echoflux flow range and fluid type come from the latest readings.
std::string captureHeaderColumns(const CaptureHeaderFacts& facts, const CaptureLayout& layout,
                                 const std::vector<CaptureColumn>& columns,
                                 const MeasurementStore& readings);
// The configuration dump alone (extended diagnostics).
std::string captureConfigurationDump(const CaptureHeaderFacts& facts, const CaptureLayout& layout,
                                     const MeasurementStore& readings);

// Text-mode line ends: every "\n" becomes "\r\n".
std::string withCrLf(std::string_view text);

}  // namespace tarnlux
