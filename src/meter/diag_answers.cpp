#include "diag_answers.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "drift.h"
#include "meter.h"
#include "number_text.h"
#include "signal_burst.h"

namespace tarnlux::meter {

namespace {

constexpr double kFeetPerMetre = 3.28084;
constexpr double kPi = 3.14159265358979323846;

std::string fixed(double value, int decimals) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  return buffer;
}

std::string upperHex(std::uint32_t value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%X", value);
  return buffer;
}

bool hasNumber(const VariableStore& store, std::string_view name) {
  const Variable* v = store.find(name);
  return v != nullptr && v->type != VarType::Char;
}

bool measuring(const Meter& meter, int index) {
  const auto word = static_cast<std::uint32_t>(meter.cv().number("abar", index, 0x3FF));
  return (word & 0x10u) != 0;
}

// Gain level in % from the meter's "alc_avg" count, and back.
int gainOf(double count) { return static_cast<int>((4096 - (static_cast<long>(count) >> 5)) / 40); }
double countOf(double gain) { return (4096.0 - gain * 40.0) * 32.0; }

// Velocities in the profile's units turned into the units the meter shows now.
double velocityFactor(const Meter& meter) {
  if (!meter.diagnostics().unitsSwitched()) return 1.0;
  return meter.profile().metric ? kFeetPerMetre : 1.0 / kFeetPerMetre;
}

// Flow unit texts and their volume per cubic metre per second; each has its
// counterpart in the other unit system.
struct FlowUnit {
  const char* text;
  bool metric;
  double perCubicMetrePerSecond;
  const char* counterpart;
};
constexpr FlowUnit kFlowUnits[] = {
    {"GAL/MIN", false, 15850.3231, "L/MIN"}, {"L/MIN", true, 60000.0, "GAL/MIN"},
    {"CU FT/HR", false, 127132.8, "M3/HR"},  {"M3/HR", true, 3600.0, "CU FT/HR"},
    {"CU FT/MIN", false, 2118.88, "M3/MIN"}, {"M3/MIN", true, 60.0, "CU FT/MIN"},
};

const FlowUnit* flowUnit(std::string_view text) {
  for (const FlowUnit& u : kFlowUnits) {
    if (text == u.text) return &u;
  }
  return nullptr;
}

// The flow of a path in its flow units: velocity times the pipe's inside area.
double flowOf(const Meter& meter, int index, double velocity) {
  const double metresPerSecond = showsMetric(meter) ? velocity : velocity / kFeetPerMetre;
  // "p_d" is the inside diameter in the meter's length units (0 inches, 1 mm).
  const double diameter = meter.cv().number("p_d", index, 6.065);
  const bool millimetres = meter.cv().number("p_units", index, 0) == 1;
  const double metres = millimetres ? diameter / 1000.0 : diameter * 0.0254;
  const double cubicMetresPerSecond = metresPerSecond * kPi * metres * metres / 4.0;
  const FlowUnit* unit = flowUnit(meter.cv().text("flegend", index));
  return cubicMetresPerSecond * (unit != nullptr ? unit->perCubicMetrePerSecond : 3600.0);
}

// Sets element 0 of a numeric variable at `index`, when the meter has it.
void store(VariableStore& variables, std::string_view name, int index, double value) {
  Variable* v = variables.find(name);
  if (v == nullptr || v->type == VarType::Char || index < 0 || index >= kIndexCount) return;
  v->numbers[static_cast<std::size_t>(index)][0] = value;
}

// The units fault has struck: velocities and flow unit texts change over.
void switchUnits(Meter& meter) {
  const double factor = meter.profile().metric ? kFeetPerMetre : 1.0 / kFeetPerMetre;
  if (Variable* v = meter.cv().find("vfv"); v != nullptr && v->type != VarType::Char) {
    for (auto& values : v->numbers) values[0] *= factor;
  }
  if (Variable* v = meter.cv().find("flegend"); v != nullptr && v->type == VarType::Char) {
    for (int i = 0; i < kIndexCount; ++i) {
      const std::string text = meter.cv().text("flegend", i);
      if (text.empty()) continue;
      const FlowUnit* unit = flowUnit(text);
      const std::string other =
          unit != nullptr ? unit->counterpart : (meter.profile().metric ? "CU FT/HR" : "M3/HR");
      meter.cv().write("flegend", i, 0, other);
    }
  }
}

}  // namespace

bool showsMetric(const Meter& meter) {
  return meter.profile().metric != meter.diagnostics().unitsSwitched();
}

bool isEchofluxChannel(const Meter& meter, int channel) {
  return channel >= 0 && channel < 4 && (meter.profile().capabilities >> (12 + channel) & 1u) != 0;
}

int nullTrackIndex(const Meter& meter, int path) {
  const std::uint32_t caps = meter.profile().capabilities;
  if (path < 0 || path > 3 || (caps >> (8 + path) & 1u) == 0 || (caps & 0x8u) == 0) return -1;
  return path + static_cast<int>(caps & 0x3u) + ((caps & 0x4u) != 0 ? 2 : 1);
}

PathFigures pathFigures(Meter& meter, int index) {
  const Profile& p = meter.profile();
  const DiagnosticState& state = meter.diagnostics();
  const Drift& drift = state.drift();
  const int k = state.samples(index);
  const SignalFigures& s = p.signal;
  PathFigures f;
  f.soundSpeed = s.soundSpeed * velocityFactor(meter) *
                 drift.value(DriftQuantity::SoundSpeed, index, k, {1.0, 0.0005, 1.0035, 1.007});
  // The limits: SNR 20 / 10 (low is bad), ADC buffer 50 / 30, envelope change
  // 30 / 40 (high is bad), correlation quality 0.75 / 0.9 (high is bad).
  if (measuring(meter, index)) {
    f.snrUp = drift.value(DriftQuantity::Snr, 2 * index, k, {s.snrUp, 2.0, 15.0, 7.0});
    f.snrDown = drift.value(DriftQuantity::Snr, 2 * index + 1, k, {s.snrDown, 2.0, 15.0, 7.0});
  } else {
    f.snrUp = 3.0;
    f.snrDown = 2.5;
  }
  f.adcFill = static_cast<int>(std::lround(
      drift.value(DriftQuantity::AdcFill, index, k, {double(s.adcFill), 4.0, 40.0, 20.0})));
  f.envelope = static_cast<int>(std::lround(
      drift.value(DriftQuantity::Envelope, index, k, {double(s.envelope), 2.0, 35.0, 45.0})));
  f.envelope = std::max(f.envelope, 0);
  f.correlation = drift.value(DriftQuantity::Correlation, index, k, {0.30, 0.05, 0.80, 0.95});
  return f;
}

void advanceDiagnostics(Meter& meter, int index) {
  DiagnosticState& state = meter.diagnostics();
  if (state.count(index)) switchUnits(meter);
  const int k = state.samples(index);
  const Drift& drift = state.drift();
  const bool gas = meter.profile().gas();
  const bool ok = measuring(meter, index);
  VariableStore& cv = meter.cv();
  VariableStore& qm = meter.qm();

  // Gains: ALC limits 30 / 20 (45 / 35 on gas meters), NullTrack 30 / 20 (50 / 40).
  bool nullTrackReadings = false;
  for (int path = 0; path < 4; ++path) nullTrackReadings |= nullTrackIndex(meter, path) == index;
  const DriftQuantity gainQuantity =
      nullTrackReadings ? DriftQuantity::NullTrackGain : DriftQuantity::Gain;
  const double warning = nullTrackReadings ? (gas ? 45.0 : 25.0) : (gas ? 40.0 : 25.0);
  const double fail = nullTrackReadings ? (gas ? 35.0 : 15.0) : (gas ? 30.0 : 15.0);
  for (int alcIndex : {2 * index, 2 * index + 1}) {
    if (!hasNumber(qm, "alc_avg") || alcIndex >= kIndexCount) continue;
    const double base = state.base("alc_avg", alcIndex, qm.number("alc_avg", alcIndex, 0));
    const double gain =
        ok ? drift.value(gainQuantity, alcIndex, k, {double(gainOf(base)), 3.0, warning, fail})
           : 8.0;
    store(qm, "alc_avg", alcIndex, std::round(countOf(std::clamp(gain, 0.0, 100.0))));
  }
  // % accepted: 90 / 50.
  if (hasNumber(cv, "accept")) {
    const double base = state.base("accept", index, cv.number("accept", index, 97));
    const double accepted =
        ok ? drift.value(DriftQuantity::Accepted, index, k, {base, 1.5, 75.0, 35.0}) : 0.0;
    store(cv, "accept", index, std::round(std::clamp(accepted, 0.0, 100.0)));
  }
  // The flow velocity wanders about 1 %; its excursions take the path 3.5 % or
  // 7 % off the others (flow velocity difference limits 2 % / 4 %).
  if (hasNumber(cv, "vfv")) {
    const double base = state.base("vfv", index, cv.number("vfv", index, 0));
    const double relative =
        drift.value(DriftQuantity::FlowVelocity, index, k, {1.0, 0.01, 1.035, 1.07});
    store(cv, "vfv", index, base * relative * velocityFactor(meter));
  }
  for (const char* name : {"delta_t", "sigstr"}) {
    if (!hasNumber(cv, name)) continue;
    const double base = state.base(name, index, cv.number(name, index, 0));
    const double relative = 1.0 + 0.05 * drift.wander(DriftQuantity::DeltaTime, index, k);
    const double value = base * relative;
    store(cv, name, index, std::string_view(name) == "sigstr" ? std::round(value) : value);
  }
}

std::vector<std::string> extendedDiagnosticLines(Meter& meter, int path) {
  const Profile& p = meter.profile();
  const bool gas = p.gas();
  const DiagnosticState& state = meter.diagnostics();
  const int k = state.samples(path);
  VariableStore& cv = meter.cv();
  const PathFigures figures = pathFigures(meter, path);
  const double timeScale = gas ? 1e6 : 1e9;
  const auto gain = [&](int alcIndex) {
    return gainOf(meter.sample(meter.qm(), "alc_avg", alcIndex, 67072));
  };
  std::vector<std::string> f;
  f.reserve(38);

  std::tm local{};
  const std::time_t now = meter.now();
  localtime_r(&now, &local);
  f.push_back(twoDigits(local.tm_mon + 1, local.tm_mday, local.tm_year % 100));  // 0
  f.push_back(twoDigits(local.tm_hour, local.tm_min, local.tm_sec));             // 1

  // 2-5: the flow velocity of each channel the meter measures; 6 their average.
  double sum = 0;
  int measured = 0;
  const unsigned channels = (p.capabilities >> 4 | p.capabilities >> 12) & 0xFu;
  for (int n = 0; n < 4; ++n) {
    if ((channels >> n & 1u) == 0) {
      f.emplace_back();
      continue;
    }
    const double v = meter.sample(cv, "vfv", n, 0.0);
    sum += v;
    ++measured;
    f.push_back(fixed(v, 4));
  }
  f.push_back(measured > 0 ? fixed(sum / measured, 4) : std::string());  // 6

  const double velocity = meter.sample(cv, "vfv", path, 0.0);
  f.push_back(fixed(figures.soundSpeed, 2));                                         // 7
  f.push_back(showsMetric(meter) ? "M" : "E");                                       // 8
  f.push_back(fixed(meter.sample(cv, "delta_t", path, 0.0) * timeScale, 3));         // 9
  f.push_back(gas ? "u" : "n");                                                      // 10
  f.push_back(std::to_string(gain(2 * path)));                                       // 11
  f.push_back(std::to_string(gain(2 * path + 1)));                                   // 12
  f.push_back(std::to_string(std::lround(meter.sample(cv, "rep_rate", path, 40))));  // 13
  f.push_back(std::to_string(figures.adcFill));                                      // 14
  f.push_back(fixed(figures.snrUp, 1));                                              // 15
  f.push_back(fixed(figures.snrDown, 1));                                            // 16
  f.push_back(std::to_string(figures.envelope));                                     // 17
  // 18: the NullTrack reference count, the frequency code of the NullTrack readings.
  const int nullTrack = nullTrackIndex(meter, path);
  const int countIndex = nullTrack >= 0 ? nullTrack : path;
  f.push_back(std::to_string(std::lround(cv.number("fx", countIndex, 64))));

  // 19-23: flow, standard-volume flow, pressure, compressibility and the
  // sound speed's difference from the gas computation (the last four on gas
  // meters only).
  const double flow = flowOf(meter, path, velocity);
  f.push_back(fixed(flow, 3));  // 19
  const Drift& drift = state.drift();
  const double temperatureC =
      drift.value(DriftQuantity::Process, 100 + path, k,
                  {gas ? 15.3 : 20.3, 0.4, gas ? 15.3 : 20.3, gas ? 15.3 : 20.3});
  if (gas) {
    const double bar = drift.value(DriftQuantity::Process, 200, k, {60.25, 0.3, 60.25, 60.25});
    const double z = 0.8812 - 0.0004 * drift.wander(DriftQuantity::Process, 300, k);
    const double standard = flow * (bar / 1.01325) * (288.15 / (273.15 + temperatureC)) / z;
    f.push_back(fixed(standard, 3));                                                    // 20
    f.push_back(fixed(p.metric ? bar : bar * 14.50377, 3));                             // 21
    f.push_back(fixed(z, 5));                                                           // 22
    f.push_back(fixed(0.08 * drift.wander(DriftQuantity::Process, 400 + path, k), 3));  // 23
  } else {
    for (int i = 0; i < 4; ++i) f.emplace_back();
  }

  // 24-26: flow units, the totalizer of the meter's total mode, total units.
  f.push_back(cv.text("flegend", path));
  const int mode = static_cast<int>(cv.number("totmod", path, 0));
  const char* totalName = mode == 0 ? "mtotal" : mode == 1 ? "ptotal" : "ntotal";
  f.push_back(mode >= 0 && mode <= 3 ? formatDecimal(cv.number(totalName, path, 0), 10) : "0");
  f.push_back(cv.text("tlegend", path));

  // 27-29: NullTrack active, its gain and time difference (empty without it).
  const auto word = static_cast<std::uint32_t>(cv.number("abar", path, 0));
  const bool nullTrackActive = nullTrack >= 0 && (word & 0x02u) != 0;
  f.push_back(nullTrackActive ? "1" : "0");
  if (nullTrackActive) {
    f.push_back(std::to_string((gain(2 * nullTrack) + gain(2 * nullTrack + 1)) / 2));
    f.push_back(fixed(meter.sample(cv, "delta_t", nullTrack, 0.0) * timeScale, 3));
  } else {
    f.emplace_back();
    f.emplace_back();
  }

  f.push_back(upperHex(word));                 // 30
  f.push_back(fixed(figures.correlation, 2));  // 31
  f.push_back("0");                            // 32
  const long accepted = std::lround(meter.sample(cv, "accept", path, 97));
  f.push_back(std::to_string(std::clamp(accepted, 0L, 100L)));                       // 33
  f.push_back(searchStateWords(static_cast<int>(cv.number("make_state", path, 6))));  // 34
  // 35-36: the temperature in the unit of the meter's set-up (C on metric meters).
  f.push_back(fixed(p.metric ? temperatureC : temperatureC * 1.8 + 32.0, 1));
  f.push_back(p.metric ? "C" : "F");
  f.push_back("0");  // 37

  std::string line;
  for (std::size_t i = 0; i < f.size(); ++i) {
    if (i > 0) line += ',';
    line += f[i];
  }
  return {line};
}

std::vector<std::string> echofluxLines(Meter& meter, int channel) {
  const DiagnosticState& state = meter.diagnostics();
  const Drift& drift = state.drift();
  const int k = state.samples(channel);
  VariableStore& cv = meter.cv();

  // Limits: signal 250 / 100 mV (low is bad), Doppler 125 / 1 Hz low and
  // 1400 / 2000 Hz high on the low flow range, liquid deviation 30 / 25 low
  // and 50 / 60 high, noise 15 / 10 % low and 35 / 50 % high, FFT peak 64 / 16.
  const int bins = 64;
  const double binHz = 40.0;
  const int signal = static_cast<int>(
      std::lround(drift.value(DriftQuantity::Signal, channel, k, {600, 40, 180, 60})));
  const int doppler = static_cast<int>(
      std::lround(drift.value(DriftQuantity::Doppler, channel, k, {800, 120, 1600, 2500})));
  const int peak = static_cast<int>(
      std::lround(drift.value(DriftQuantity::FftPeak, channel, k, {120, 10, 40, 10})));
  const double deviation = drift.value(DriftQuantity::Deviation, channel, k, {40, 3, 55, 65});
  const double noisePercent = drift.value(DriftQuantity::NoisePercent, channel, k, {25, 3, 40, 55});
  const int noise = static_cast<int>(std::lround(noisePercent * peak / 100.0));
  const int fftRate = 18;
  const double velocity = meter.sample(cv, "vfv", channel, 0.0);
  const double flow = flowOf(meter, channel, velocity);

  const int peakBin = std::clamp(static_cast<int>(std::lround(doppler / binHz)), 0, bins - 1);
  const int lowMarker = std::clamp(peakBin - 4, 0, bins - 1);
  const int highMarker = std::clamp(peakBin + 4, 0, bins - 1);

  std::string line = std::to_string(noise) + ',' + std::to_string(lowMarker) + ',' +
                     fixed(flow, 3) + ',' + std::to_string(highMarker) + ',' + fixed(velocity, 3) +
                     ',' + std::to_string(bins) + ',' + std::to_string(peak) + ',' +
                     std::to_string(fftRate) + ',' + std::to_string(doppler) + ",0," +
                     std::to_string(signal) + ',' + fixed(deviation, 2) + ",0,0,1.0";

  // The spectrum in pixels: a noise floor and the Doppler peak.
  std::uniform_real_distribution<double> jitter(0.0, 4.0);
  std::string spectrum;
  for (int b = 0; b < bins; ++b) {
    const double distance = (b - peakBin) / 3.0;
    const double height =
        0.8 * noisePercent + 90.0 * std::exp(-distance * distance) + jitter(meter.random());
    if (b > 0) spectrum += ',';
    spectrum += std::to_string(std::lround(std::clamp(height, 0.0, 100.0)));
  }
  EchofluxReading reading;
  reading.statusWord = static_cast<std::uint32_t>(cv.number("abar", channel, 0));
  reading.signal = signal;
  reading.doppler = doppler;
  reading.noise = noise;
  reading.fftPeak = peak;
  reading.deviation = deviation;
  reading.velocity = velocity;
  const double temperatureC =
      drift.value(DriftQuantity::Process, 100 + channel, k, {20.3, 0.4, 20.3, 20.3});
  reading.temperature = showsMetric(meter) ? temperatureC : temperatureC * 1.8 + 32.0;
  std::tm local{};
  const std::time_t now = meter.now();
  localtime_r(&now, &local);
  meter.recordEchofluxEvent(channel, reading,
                            twoDigits(local.tm_mon + 1, local.tm_mday, local.tm_year % 100),
                            twoDigits(local.tm_hour, local.tm_min, local.tm_sec));
  return {line, spectrum, figureLine(meter, channel, meter.profile().memoryBlock, "0")};
}

}  // namespace tarnlux::meter
