#pragma once

// The answer to a signal query ("qg " + graph type, channel digit and
// resolution): a header line, the received bursts of the two transducers
// (A upstream, B downstream) and a line of figures. Decoding only: the text
// comes from the command exchange, the results go to the signal store.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "link/meter_facts.h"
#include "link/meter_time.h"

namespace tarnlux {

// Faults of the answer. Header faults are those of checkAnswerHeader
// (site_answers.h). Every fault is shown as "Donnees compt. non valables"
// with its code.
inline constexpr int kSignalAnswerEndsEarly = 20401;
// Nothing after the header (or nothing at all) from a meter with extended
// diagnostics: the screen says "Pas de reponse du compteur".
inline constexpr int kSignalAnswerNoData = 20402;
inline constexpr int kSignalWaveformBadHead = 20301;       // the eight digits
inline constexpr int kSignalWaveformBadCharacter = 20302;  // outside codes 33 to 127
inline constexpr int kSignalWaveformTooLong = 20303;       // over 1,031 characters
inline constexpr int kSignalWaveformLengthsDiffer = 20304;
inline constexpr int kSignalFiguresTooFew = 20305;
inline constexpr int kSignalBadSiteName = 20306;
inline constexpr int kSignalBadSystemName = 20307;
inline constexpr int kSignalBadVersion = 20308;
inline constexpr int kSignalBadDate = 20309;
inline constexpr int kSignalBadTime = 20310;  // too long, or the pair fails the date and time rule
inline constexpr int kSignalBadFlowVelocity = 20311;
inline constexpr int kSignalBadSoundSpeed = 20312;
inline constexpr int kSignalBadTimeDifference = 20313;
inline constexpr int kSignalBadArrivalUp = 20314;
inline constexpr int kSignalBadArrivalDown = 20315;
inline constexpr int kSignalBadGainUp = 20316;
inline constexpr int kSignalBadGainDown = 20317;
inline constexpr int kSignalBadSearchState = 20318;  // no longer given: field 15 is not checked
inline constexpr int kSignalBadAdcFill = 20319;
inline constexpr int kSignalBadSnrUp = 20320;
inline constexpr int kSignalBadSnrDown = 20321;
inline constexpr int kSignalBadEnvelopeChange = 20322;
inline constexpr int kSignalBadFrequencyCode = 20323;
inline constexpr int kSignalBadWaveformOffset = 20324;

// Whether a code is one of the faults above or a header fault: a malformed
// answer rather than a failed exchange.
bool isSignalAnswerFault(int code);

inline constexpr int kSignalMaxSamples = 1024;
// Eight digits, then one character per sample after the first.
inline constexpr std::size_t kSignalMaxLineLength = 8 + kSignalMaxSamples - 1;
inline constexpr std::size_t kSignalMinFigureFields = 21;

struct SignalWaveform {
  std::vector<int> samples;  // at most kSignalMaxSamples
  int marker = 0;            // the detected arrival ("TN")
  int alignment = 0;         // the correlation reference point
};

struct SignalFigures {
  std::string siteName;  // trailing blanks dropped
  std::string systemName;
  std::string versionText;
  std::string dateText;
  std::string timeText;
  // Filled when the pair passed the meter date and time rule (always checked
  // without extended diagnostics; with them the texts are taken as they are).
  bool meterTimeValid = false;
  MeterDateTime meterTime;
  double flowVelocity = 0;
  double soundSpeed = 0;
  bool metric = false;  // "M": metres per second, else feet per second
  double timeDifference = 0;
  bool nanoseconds = false;  // "n", else microseconds
  double arrivalUp = 0;
  double arrivalDown = 0;
  int gainUp = 0;
  int gainDown = 0;
  // Field 15: the search state, a code without extended diagnostics, a text with them.
  int searchStateCode = 0;
  std::string searchStateText;
  int adcFill = 0;
  double snrUp = 0;
  double snrDown = 0;
  int envelopeChange = 0;
  int frequencyCode = 0;
  // Field 21, meters with extended diagnostics: B's shift against A, in samples.
  bool hasWaveformOffset = false;
  int waveformOffset = 0;
};

struct SignalAnswer {
  int graphType = 0;
  int channelDigit = 0;
  int resolution = 1;
  SignalWaveform a;
  SignalWaveform b;
  SignalFigures figures;
};

// The query the answer must echo in its header.
struct SignalQueryCode {
  int graphType = 0;     // 0 signal, 1 envelope
  int channelDigit = 0;  // channel plus the NullTrack offset
  int resolution = 1;    // 1 to 3
};

// One waveform line (without its line end): eight upper-case hexadecimal
// digits - marker (3), alignment (3), first sample as a signed byte (2) - then
// one character per further sample, its code minus 80 being the step.
int decodeWaveformLine(std::string_view line, SignalWaveform& out);

// The figure line: at least `minFields` comma-separated fields (the signal
// answer needs 21; the Echoflux diagnostic answer carries the same line with 20).
int parseSignalFigureLine(std::string_view line, std::size_t minFields, bool extendedDiagnostics,
                          SignalFigures& out);

// The whole answer from its header on (the echo of the query already taken
// off); it ends at NUL or ETX. The header must echo `query` and repeat the
// capability word of `facts`. 0 or a fault; on a fault `out` may be partly
// written, which is why the screens draw from a copy taken after success.
int parseSignalAnswer(std::string_view answer, const SignalQueryCode& query,
                      const MeterFacts& facts, SignalAnswer& out);

}  // namespace tarnlux
