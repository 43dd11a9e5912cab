#pragma once

// The signal answers (query kinds 0 and 1): the received bursts of the two
// transducers of a path and the line of figures that goes with them.

#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace tarnlux::meter {

class Meter;
struct QueryRequest;

// Fault switches of the signal graph's answers (resolution digits 1 to 3).
struct SignalFaults {
  // One bit per variable index: its signal answers stop after the header.
  unsigned noSignal = 0;
  // Every signal answer carries this mistake.
  enum class Malformed {
    None,
    Head,
    Character,
    Length,
    TooLong,
    Figures,
    State  // a search state (figure 15) of 40 characters
  } malformed = Malformed::None;
};

enum class SignalFaultParse { NotSignalFault, Accepted, Refused };

// "no-signal=N" and "bad-signal[=head|char|length|long|figures]". Refused
// leaves the reason in `error`.
SignalFaultParse parseSignalFault(std::string_view name, bool hasArgument,
                                  std::string_view argument, SignalFaults& faults,
                                  std::string& error);

// Samples per burst for a resolution digit: 1024 at 1 ("Haut"), 512 at 2,
// 341 at 3, so the three span the same time; 256 for any other digit (the
// identification query uses 8).
int signalSampleCount(int resolutionDigit);

// One received burst before it is encoded: signed counts, the detected
// arrival and the correlation reference point.
struct Burst {
  std::vector<int> samples;
  int marker = 0;
  int alignment = 0;
};

struct BurstShape {
  int samples = 1024;
  double fineStep = 1.0;    // time of one sample, in samples of the finest resolution
  double arrival = 300.0;   // start of the burst, in fine samples
  double amplitude = 50.0;  // counts at the envelope's peak
  double phase = 0.0;       // of the carrier, radians
  bool envelope = false;    // the magnitude (kind 1) instead of the carrier (kind 0)
};

// Noise, then a few carrier cycles under a rising and decaying envelope.
Burst makeBurst(const BurstShape& shape, std::mt19937& random);

// The line the answer carries: marker (3 hexadecimal digits), alignment (3),
// first sample as a signed byte (2), then one character per further sample
// whose code minus 80 is the step (-47 to +47, codes 33 to 127). A step the
// line cannot carry is spread over the next samples.
std::string encodeBurst(const Burst& burst);

// The meter's date or time as it shows them: three two-digit numbers joined
// by dots ("MM.DD.YY", "HH.MM.SS").
std::string twoDigits(int a, int b, int c);

// The search state in words, as meters with the memory block send it
// ("Measurement" for 6, "UNKNOWN" outside 1 to 21).
std::string searchStateWords(int code);

// The figures line of the answers to "qg 0C.." and "qg 1C..": identifier,
// type, version, date, time, flow velocity, sound speed, unit letter, time
// difference and its unit letter, arrival times, 0, gains, search state, ADC
// fill, SNRs, envelope change, frequency code (21 fields), then `offset` when
// `withOffset` (meters with the memory block).
std::string figureLine(Meter& meter, int index, bool withOffset, const std::string& offset);

// The lines after the header: burst A (upstream), burst B (downstream), the
// figures; or none for an index under the no-signal fault.
std::vector<std::string> signalAnswerLines(Meter& meter, const QueryRequest& request,
                                           const SignalFaults& faults);

}  // namespace tarnlux::meter
