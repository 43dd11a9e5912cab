#include "signal_burst.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <numbers>

#include "diag_answers.h"
#include "meter.h"
#include "number_text.h"
#include "queries.h"

namespace tarnlux::meter {

namespace {

// A carrier period, in samples of the finest resolution.
constexpr double kCarrierPeriod = 16.0;
// Rise time of the envelope to its peak, in fine samples (2.5 carrier cycles).
constexpr double kRise = 40.0;
// The arrival a meter reports: where the envelope first passes this share of its peak.
constexpr double kArrivalThreshold = 0.1;
constexpr int kStepLimit = 47;

// The envelope: 0 before the arrival, 1 at kRise after it, then decaying.
double envelopeAt(double sinceArrival) {
  if (sinceArrival <= 0) return 0.0;
  const double u = sinceArrival / kRise;
  const double g = u * std::exp(1.0 - u);
  return g * g;
}

std::string fixed(double value, int decimals) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  return buffer;
}

// Where a channel digit's bursts start: each path has its own geometry.
double arrivalFor(int index) { return 280.0 + 24.0 * (index % 4); }

void applyMalformation(SignalFaults::Malformed kind, std::vector<std::string>& lines) {
  std::string& a = lines[0];
  std::string& b = lines[1];
  switch (kind) {
    case SignalFaults::Malformed::None:
      break;
    case SignalFaults::Malformed::Head:
      a[0] = 'G';
      break;
    case SignalFaults::Malformed::Character:
      a[a.size() / 2] = '\x01';
      break;
    case SignalFaults::Malformed::Length:
      b.pop_back();
      break;
    case SignalFaults::Malformed::TooLong:
      // Flat samples until both lines are one character longer than allowed.
      a.resize(std::max<std::size_t>(a.size(), 1032), 'P');
      b.resize(std::max<std::size_t>(b.size(), 1032), 'P');
      break;
    case SignalFaults::Malformed::Figures: {
      std::string& f = lines[2];
      std::size_t at = 0;
      for (int commas = 0; commas < 20 && at != std::string::npos; ++commas)
        at = f.find(',', at + 1);
      if (at != std::string::npos) f.resize(at);
      break;
    }
    case SignalFaults::Malformed::State: {
      std::string& f = lines[2];
      std::size_t at = 0;
      for (int commas = 0; commas < 15 && at != std::string::npos; ++commas)
        at = f.find(',', at + 1);
      const std::size_t end = at == std::string::npos ? at : f.find(',', at + 1);
      if (end != std::string::npos) f.replace(at + 1, end - at - 1, std::string(40, '7'));
      break;
    }
  }
}

}  // namespace

std::string twoDigits(int a, int b, int c) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%02d.%02d.%02d", a, b, c);
  return buffer;
}

std::string searchStateWords(int code) {
  static const char* const kNames[] = {
      "PALC",   "ELSRCH",  "TNSRCH",   "BALC",    "CORREL",  "Measurement", "DAMPLO",
      "DAMPHI", "DAMPSET", "BUFRANGE", "ENV_ERR", "TN_ERR",  "TN_EARLY",    "TN_LATE",
      "ENVSIG", "NOCOR",   "ZDT_ERR",  "CORSET",  "WINDSET", "EMPTYMON",    "CORQ"};
  if (code < 1 || code > 21) return "UNKNOWN";
  return kNames[code - 1];
}

SignalFaultParse parseSignalFault(std::string_view name, bool hasArgument,
                                  std::string_view argument, SignalFaults& faults,
                                  std::string& error) {
  if (name == "no-signal") {
    const std::optional<double> index = hasArgument ? parseInteger(argument, 0, 15) : std::nullopt;
    if (!index) {
      error = "fault no-signal=N needs an index N from 0 to 15";
      return SignalFaultParse::Refused;
    }
    faults.noSignal |= 1u << static_cast<unsigned>(*index);
    return SignalFaultParse::Accepted;
  }
  if (name != "bad-signal") return SignalFaultParse::NotSignalFault;
  using M = SignalFaults::Malformed;
  static const struct {
    std::string_view word;
    M kind;
  } kKinds[] = {{"head", M::Head},
                {"char", M::Character},
                {"length", M::Length},
                {"long", M::TooLong},
                {"figures", M::Figures},
                {"state", M::State}};
  if (!hasArgument) {
    faults.malformed = M::Length;
    return SignalFaultParse::Accepted;
  }
  for (const auto& k : kKinds) {
    if (argument == k.word) {
      faults.malformed = k.kind;
      return SignalFaultParse::Accepted;
    }
  }
  error = "fault bad-signal takes head, char, length, long, figures or state";
  return SignalFaultParse::Refused;
}

int signalSampleCount(int resolutionDigit) {
  switch (resolutionDigit) {
    case 1:
      return 1024;
    case 2:
      return 512;
    case 3:
      return 341;
    default:
      return 256;
  }
}

Burst makeBurst(const BurstShape& shape, std::mt19937& random) {
  std::normal_distribution<double> noise(0.0, 1.2);
  Burst burst;
  burst.samples.resize(static_cast<std::size_t>(shape.samples));
  for (int k = 0; k < shape.samples; ++k) {
    const double since = k * shape.fineStep - shape.arrival;
    const double gain = shape.amplitude * envelopeAt(since);
    double s = 0;
    if (shape.envelope) {
      s = gain + std::fabs(noise(random));
    } else {
      s = gain * std::sin(2 * std::numbers::pi * since / kCarrierPeriod + shape.phase) +
          noise(random);
    }
    burst.samples[static_cast<std::size_t>(k)] =
        static_cast<int>(std::lround(std::clamp(s, -127.0, 127.0)));
  }
  // The arrival is found on the rising edge; the reference point is the peak.
  double thresholdAt = shape.arrival;
  while (envelopeAt(thresholdAt - shape.arrival) < kArrivalThreshold) thresholdAt += 0.25;
  burst.marker =
      std::clamp(static_cast<int>(std::lround(thresholdAt / shape.fineStep)), 0, shape.samples - 1);
  burst.alignment =
      std::clamp(static_cast<int>(std::lround((shape.arrival + kRise) / shape.fineStep)), 0,
                 shape.samples - 1);
  return burst;
}

std::string encodeBurst(const Burst& burst) {
  if (burst.samples.empty()) return {};
  const int first = std::clamp(burst.samples[0], -128, 127);
  char head[16];
  std::snprintf(head, sizeof head, "%03X%03X%02X", static_cast<unsigned>(burst.marker) & 0xFFFu,
                static_cast<unsigned>(burst.alignment) & 0xFFFu,
                static_cast<unsigned>(first) & 0xFFu);
  std::string line = head;
  line.reserve(8 + burst.samples.size());
  int current = first;
  for (std::size_t k = 1; k < burst.samples.size(); ++k) {
    const int step = std::clamp(burst.samples[k] - current, -kStepLimit, kStepLimit);
    current += step;
    line += static_cast<char>(80 + step);
  }
  return line;
}

std::string figureLine(Meter& meter, int index, bool withOffset, const std::string& offset) {
  const Profile& p = meter.profile();
  // Figures: the same variables the meter lists to "cv" and "qm".
  const auto gain = [&](int alcIndex) {
    const double v = meter.sample(meter.qm(), "alc_avg", alcIndex, 67072);
    return (4096 - (static_cast<long>(v) >> 5)) / 40;
  };
  const PathFigures figures = pathFigures(meter, index);
  const double flow = meter.sample(meter.cv(), "vfv", index, 0.0);
  const double deltaT = meter.sample(meter.cv(), "delta_t", index, 0.0);
  const int state = static_cast<int>(meter.cv().number("make_state", index, 6));
  const int frequencyCode = meter.cv().find("fx") != nullptr
                                ? static_cast<int>(meter.cv().number("fx", index, 0))
                                : p.signal.frequencyCode;
  // The identifier as the meter prints it: trailing blanks dropped, the
  // others shown as "_".
  std::string id = meter.cv().text("id", index).substr(0, 16);
  while (!id.empty() && id.back() == ' ') id.pop_back();
  std::replace(id.begin(), id.end(), ' ', '_');
  std::tm local{};
  const std::time_t now = meter.now();
  localtime_r(&now, &local);

  std::string f;
  f += id + ',' + p.typeText + ',' + p.versionText + ',';
  f += twoDigits(local.tm_mon + 1, local.tm_mday, local.tm_year % 100) + ',';
  f += twoDigits(local.tm_hour, local.tm_min, local.tm_sec) + ',';
  f += fixed(flow, 4) + ',' + fixed(figures.soundSpeed, 2) + ',' +
       (showsMetric(meter) ? "M" : "E") + ',';
  // Gas meters give the time difference in microseconds, liquid ones in nanoseconds.
  f += fixed(deltaT * (p.gas() ? 1e6 : 1e9), 3) + ',' + (p.gas() ? "u" : "n") + ',';
  f += fixed(p.signal.arrivalUp, 3) + ',' + fixed(p.signal.arrivalDown, 3) + ",0,";
  f += std::to_string(gain(2 * index)) + ',' + std::to_string(gain(2 * index + 1)) + ',';
  // Meters with the memory block name the search state; older ones send its code.
  f += (p.memoryBlock ? searchStateWords(state) : std::to_string(state)) + ',';
  f += std::to_string(figures.adcFill) + ',' + fixed(figures.snrUp, 1) + ',' +
       fixed(figures.snrDown, 1) + ',';
  f += std::to_string(figures.envelope) + ',' + std::to_string(frequencyCode);
  if (withOffset) f += ',' + offset;
  return f;
}

std::vector<std::string> signalAnswerLines(Meter& meter, const QueryRequest& q,
                                           const SignalFaults& faults) {
  const int index = q.channel;
  // The faults spoil the signal graph's queries (resolutions 1 to 3) only, so
  // the identification (sub-code 8) still connects.
  const bool graphQuery = q.subCode >= 1 && q.subCode <= 3;
  if (graphQuery && (faults.noSignal >> index & 1u) != 0) return {};
  const Profile& p = meter.profile();
  const bool envelope = q.kind == 1;
  const int samples = signalSampleCount(q.subCode);
  const double fineStep = 1024.0 / samples;

  // Against the flow the sound arrives later: with forward flow the upstream
  // burst A comes a little after the downstream burst B.
  const double flow = meter.sample(meter.cv(), "vfv", index, 0.0);
  const double lead = flow >= 0 ? 6.0 : -6.0;
  std::uniform_real_distribution<double> jitter(-0.04, 0.04);
  std::uniform_real_distribution<double> phase(0.0, 0.3);
  BurstShape shape;
  shape.samples = samples;
  shape.fineStep = fineStep;
  shape.envelope = envelope;
  shape.arrival = arrivalFor(index);
  shape.amplitude = 50.0 * (1.0 + jitter(meter.random()));
  shape.phase = phase(meter.random());
  const Burst a = makeBurst(shape, meter.random());
  shape.arrival -= lead;
  shape.amplitude = 46.0 * (1.0 + jitter(meter.random()));
  shape.phase = phase(meter.random());
  const Burst b = makeBurst(shape, meter.random());

  // The offset that lines B up with A, from the two detected arrivals.
  const std::string f =
      figureLine(meter, index, p.memoryBlock, std::to_string(b.marker - a.marker));

  std::vector<std::string> lines{encodeBurst(a), encodeBurst(b), f};
  if (graphQuery) applyMalformation(faults.malformed, lines);
  return lines;
}

}  // namespace tarnlux::meter
