#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "link/meter_facts.h"
#include "link/meter_time.h"

namespace tarnlux {

// Site queries: "qg " + three hexadecimal digits (kind, channel, sub-code) +
// "\r", and the parsers of their answers. Nothing here does I/O: the connect
// step sends the text and hands the received text over. The answer layouts
// that the meter side must follow are written down in docs/meter-answers.md.

// Answer header faults.
inline constexpr int kHeaderKindNibbleDiffers = 20100;    // bits 16-19
inline constexpr int kHeaderNotHex = 20101;
inline constexpr int kHeaderWrongKind = 20103;
inline constexpr int kHeaderWrongChannel = 20104;
inline constexpr int kHeaderWrongSubCode = 20105;
inline constexpr int kHeaderEchofluxNibbleDiffers = 20106;   // bits 12-15
inline constexpr int kHeaderNullTrackNibbleDiffers = 20107;  // bits 8-11
inline constexpr int kHeaderTransitNibbleDiffers = 20108;    // bits 4-7
inline constexpr int kHeaderSlotNibbleDiffers = 20109;       // bits 0-3
inline constexpr int kIdentityHeaderTooShort = 20132;

// Kind-3 answer faults.
inline constexpr int kSetupAnswerEmpty = 20405;
inline constexpr int kSetupAnswerEmptyBlockMeter = 20406;
inline constexpr int kSetupBadReal = 20511;
inline constexpr int kSetupBadInteger = 20512;
inline constexpr int kSetupEndsEarly = 20510;

// Kind-4 answer faults.
inline constexpr int kIdentityEndsEarly = 20407;
inline constexpr int kIdentityEmptyBlockMeter = 20408;
inline constexpr int kIdentityBadIdentifier = 20601;
inline constexpr int kIdentityBadType = 20602;
inline constexpr int kIdentityBadVersion = 20603;
inline constexpr int kIdentityBadDate = 20604;
inline constexpr int kIdentityBadTime = 20605;
inline constexpr int kIdentityBadPressureUnit = 20611;
inline constexpr int kIdentityBadTemperatureUnit = 20612;
// An optional number (fields 5, 6, 11, 13, 15) that is not a number.
inline constexpr int kIdentityBadOptionalNumber = 20613;

// The message for an empty kind-3 answer from a memory-block meter.
inline constexpr const char* kNoMeterAnswerText = "Pas de reponse du compteur";

// "qg " + kind, channel and sub-code as upper-case hexadecimal digits + "\r".
std::string siteQuery(int kind, int channel, int subCode);
// The same query text with its middle code digit (the fifth character) set to
// the channel digit.
std::string siteQueryForChannel(std::string_view query, int channel);
// The kind digit the meter answers a query kind with: kind A (the capability
// query) answers with 5, every other kind with itself.
int answerKindOf(int queryKind);

// The received text from the meter's answer on: what follows the echo of the
// query (given with or without its "\r") when the echo is there, else all of it.
std::string_view answerAfterEcho(std::string_view received, std::string_view query);

// An answer cut into its header line and the rest. The answer ends at NUL or
// ETX; line ends before the header are skipped; the rest starts after the
// header's line end.
struct AnswerText {
  std::string_view header;
  std::string_view rest;
  bool empty = true;  // nothing but line ends before the end of the answer
};
AnswerText splitAnswer(std::string_view answer);

// The hexadecimal digits that open every query answer.
struct AnswerHeader {
  int kind = 0;
  int channel = 0;
  int subCode = 0;
  // Bits 0-15 from the four capability nibbles, and 16-19 from the meter-kind
  // digit when the header carries one.
  std::uint32_t capabilityBits = 0;
  bool meterKindReported = false;
};

// Reads the header line: 7 hexadecimal digits, and an 8th (the meter kind)
// when the line is longer; characters after the 8th are not looked at.
// 0 or kHeaderNotHex.
int readAnswerHeader(std::string_view headerLine, AnswerHeader& out);

// Checks a later answer's header against the query and the capability word of
// the first answer: kind, channel, sub-code, then the nibbles in the order they
// are sent. A meter that reported its kind in the first answer must repeat it.
int checkAnswerHeader(std::string_view headerLine, int kind, int channel, int subCode,
                      const MeterFacts& facts);

// The first answer ("qg A01"): header of kind 5, channel 0, sub-code 1; fills
// the capability word. 0 or a header fault.
int readCapabilityAnswer(std::string_view answer, std::uint32_t& meterFlags,
                         bool& meterKindReported);

// Identification ("qg 008" for a channel): the answer is the signal answer
// (kind 0, resolution digit 8) - header, two waveform lines, then the figure
// line, whose first fields are the identifier, the meter type and its version.
// Only those are taken here; the signal graph's parser owns the rest of the
// layout. Waveform lines may hold any printable character, commas included,
// so the figure line is found by position (the third line after the header).
struct IdentificationAnswer {
  std::string identifier;  // trailing blanks dropped
  std::string typeText;
  std::string versionText;
  bool gasMeter = false;  // the figure line holds "7326G"
  bool metricUnits = false;  // its unit letter (field 7) is "M"
};
int parseIdentificationAnswer(std::string_view answer, int channel, const MeterFacts& facts,
                              IdentificationAnswer& out);

// Kind-4 answer ("qg 400" for a channel or the site slot): identity, meter
// clock and the site's system values. Lengths are in inches whatever the
// meter shows.
struct ChannelIdentityAnswer {
  std::string identifier;  // first 8 characters of field 0
  std::string typeText;
  std::string versionText;
  std::string dateText;
  std::string timeText;
  MeterDateTime meterTime;
  double macroDamping = 0;       // 5: seconds
  double deadZone = 0;           // 6: velocity units
  double boreInches = 0;         // 7: meter bore (inside diameter)
  std::int32_t lengthUnits = 0;  // 8: 0 inches, 1 millimetres
  double pipeOutsideDiameter = 0;  // 9: inches
  double pipeWallThickness = 0;    // 10: inches
  bool hasKFactor = false;         // 11 present
  double kFactor = 0;              // 11: pulses per volume unit
  std::string kFactorVolumeUnit;   // 12
  double basePressure = 0;         // 13
  std::string pressureUnit;        // 14: "PSIA", "BARA" or empty
  double baseTemperature = 0;      // 15
  char temperatureUnit = '\0';     // 16: 'F', 'C' or none
};
int parseChannelIdentityAnswer(std::string_view answer, int channel, const MeterFacts& facts,
                               ChannelIdentityAnswer& out);

// Kind-3 answer ("qg 300" for a channel): the channel's path set-up. Optional
// numbers left empty read as 0.
struct ChannelSetupAnswer {
  std::int32_t spacingIndex = 0;    // 0: transducer spacing index
  double spacingLtn = 0;            // 1: transducer spacing, inches
  std::int32_t transmitCode = 0;    // 2: Ftrans code / Echoflux carrier frequency
  double vsMin = 0;                 // 3: velocity units
  double vsMax = 0;                 // 4
  double hfFactor = 0;              // 5
  std::int32_t dampingMax = 0;      // 6: digital damping (max)
  std::string transducerSize;       // 7
  std::string mountingMode;         // 8
  std::int32_t noiseLevelSetting = 0;  // 9: Echoflux
  double lowFlowLimit = 0;          // 11: Echoflux, velocity units
  double highFlowLimit = 0;         // 12: Echoflux
  double flowRangeValue = 0;        // 13: Echoflux
  double pathLength = 0;            // 14: inches
  double axialOffset = 0;           // 15: inches
};
int parseChannelSetupAnswer(std::string_view answer, int channel, const MeterFacts& facts,
                            ChannelSetupAnswer& out);

}  // namespace tarnlux
