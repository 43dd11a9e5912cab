#include "queries.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <numbers>
#include <random>

#include "meter.h"

namespace tarnlux::meter {

namespace {

using BodyBuilder = std::vector<std::string> (*)(Meter&, const QueryRequest&);

struct QueryKind {
  int kind;
  int answerKind;
  BodyBuilder body;
};

char hexDigit(unsigned value) { return "0123456789ABCDEF"[value & 0xF]; }

std::string fixed(double value, int decimals) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  return buffer;
}

// Date "MM.DD.YY" and time "HH.MM.SS" of the meter's clock.
std::string meterDate(std::time_t t) {
  std::tm local{};
  localtime_r(&t, &local);
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%02d.%02d.%02d", local.tm_mon + 1, local.tm_mday,
                local.tm_year % 100);
  return buffer;
}

std::string meterTime(std::time_t t) {
  std::tm local{};
  localtime_r(&t, &local);
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%02d.%02d.%02d", local.tm_hour, local.tm_min, local.tm_sec);
  return buffer;
}

// The identifier as answers show it: blanks become "_".
std::string shownId(const Meter& meter, int channel) {
  std::string id = meter.cv().text("id", channel);
  for (char& c : id) {
    if (c == ' ') c = '_';
  }
  return id.substr(0, 16);
}

// One received burst as the signal answer carries it: eight hexadecimal
// digits (marker index, alignment index, first sample as a signed byte),
// then one character per further sample, its code minus 80 being the step.
std::string waveformLine(int samples, int marker, int alignment, bool envelope, double phase,
                         std::mt19937& random) {
  std::normal_distribution<double> noise(0.0, 1.5);
  const double width = samples / 14.0;
  std::vector<int> target(static_cast<std::size_t>(samples));
  for (int i = 0; i < samples; ++i) {
    const double x = (i - marker) / width;
    const double gain = 100.0 * std::exp(-x * x);
    double s = envelope ? gain : gain * std::sin(2 * std::numbers::pi * i / 16.0 + phase);
    s += noise(random);
    target[static_cast<std::size_t>(i)] =
        static_cast<int>(std::lround(std::clamp(s, -127.0, 127.0)));
  }
  char head[16];
  std::snprintf(head, sizeof head, "%03X%03X%02X", static_cast<unsigned>(marker) & 0xFFF,
                static_cast<unsigned>(alignment) & 0xFFF, static_cast<unsigned>(target[0]) & 0xFF);
  std::string line = head;
  int current = target[0];
  for (int i = 1; i < samples; ++i) {
    const int step = std::clamp(target[static_cast<std::size_t>(i)] - current, -46, 46);
    current += step;
    line += static_cast<char>(80 + step);
  }
  return line;
}

// Signal (kind 0) and envelope (kind 1) answers: two bursts and a line of
// figures. Sub-codes 1 to 3 are the resolutions; 8 is the identification
// and diagnostic form, whose figures line starts with the identifier.
std::vector<std::string> signalBody(Meter& meter, const QueryRequest& q, bool envelope) {
  const Profile& p = meter.profile();
  const int samples = q.subCode == 1 ? 1024 : q.subCode == 2 ? 512 : 256;
  const int marker = samples / 2 - samples / 16;
  const int shift = 3;
  std::uniform_real_distribution<double> phase(0.0, 0.3);
  std::vector<std::string> body;
  body.push_back(
      waveformLine(samples, marker, shift, envelope, phase(meter.random()), meter.random()));
  body.push_back(waveformLine(samples, marker + shift, shift, envelope, phase(meter.random()),
                              meter.random()));

  const int ch = q.channel;
  const auto gain = [&](int index) {
    const double v = meter.sample(meter.qm(), "alc_avg", index, 67072);
    return (4096 - (static_cast<long>(v) >> 5)) / 40;
  };
  const double deltaT = meter.sample(meter.cv(), "delta_t", ch, 0.0);
  const SignalFigures& s = p.signal;
  const std::time_t now = meter.now();
  std::string f;
  f += shownId(meter, ch) + ',' + p.typeText + ',' + p.versionText + ',';
  f += meterDate(now) + ',' + meterTime(now) + ',';
  f += fixed(meter.sample(meter.cv(), "vfv", ch, 0.0), 4) + ',';
  f += fixed(s.soundSpeed, 2) + ',' + (p.metric ? "M" : "E") + ',';
  // Gas meters give the time difference in microseconds, liquid ones in nanoseconds.
  f += fixed(deltaT * (p.gas() ? 1e6 : 1e9), 3) + ',' + (p.gas() ? "u" : "n") + ',';
  f += fixed(s.arrivalUp, 3) + ',' + fixed(s.arrivalDown, 3) + ",0,";
  f += std::to_string(gain(2 * ch)) + ',' + std::to_string(gain(2 * ch + 1)) + ',';
  f += std::to_string(static_cast<long>(meter.cv().number("make_state", ch, 6))) + ',';
  f += std::to_string(s.adcFill) + ',' + fixed(s.snrUp, 1) + ',' + fixed(s.snrDown, 1) + ',';
  f += std::to_string(s.envelope) + ',' + std::to_string(s.frequencyCode) + ",0";
  body.push_back(f);
  return body;
}

std::vector<std::string> signalAnswer(Meter& meter, const QueryRequest& q) {
  return signalBody(meter, q, false);
}

std::vector<std::string> envelopeAnswer(Meter& meter, const QueryRequest& q) {
  return signalBody(meter, q, true);
}

// The capability query: everything is in the header.
std::vector<std::string> capabilitiesAnswer(Meter&, const QueryRequest&) { return {}; }

// Kinds answered by code; every other kind answers with the profile's lines
// for it (empty when the profile has none).
constexpr QueryKind kQueryKinds[] = {
    {0x0, 0x0, signalAnswer},
    {0x1, 0x1, envelopeAnswer},
    {0xA, 0x5, capabilitiesAnswer},
};

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (std::size_t pos = text.find(from); pos != std::string::npos;
       pos = text.find(from, pos + to.size())) {
    text.replace(pos, from.size(), to);
  }
}

std::vector<std::string> profileLines(Meter& meter, const QueryRequest& q) {
  const auto it = meter.profile().queryLines.find(q.kind);
  if (it == meter.profile().queryLines.end()) return {};
  const std::time_t now = meter.now();
  std::vector<std::string> lines = it->second;
  for (std::string& line : lines) {
    replaceAll(line, "{id}", meter.cv().text("id", q.channel));
    replaceAll(line, "{type}", meter.profile().typeText);
    replaceAll(line, "{version}", meter.profile().versionText);
    replaceAll(line, "{date}", meterDate(now));
    replaceAll(line, "{time}", meterTime(now));
    replaceAll(line, "{channel}", std::to_string(q.channel));
  }
  return lines;
}

}  // namespace

int answerKindFor(int queryKind) {
  for (const QueryKind& k : kQueryKinds) {
    if (k.kind == queryKind) return k.answerKind;
  }
  return queryKind;
}

std::string queryHeader(const Profile& profile, int answerKind, int channel, int subCode) {
  const unsigned caps = profile.capabilities;
  std::string header;
  header += hexDigit(static_cast<unsigned>(answerKind));
  header += hexDigit(static_cast<unsigned>(channel));
  header += hexDigit(static_cast<unsigned>(subCode));
  header += hexDigit(caps >> 12);
  header += hexDigit(caps >> 8);
  header += hexDigit(caps >> 4);
  header += hexDigit(caps);
  if (profile.memoryBlock) header += hexDigit(caps >> 16);
  return header;
}

std::string answerQuery(Meter& meter, const QueryRequest& request) {
  BodyBuilder builder = profileLines;
  for (const QueryKind& k : kQueryKinds) {
    if (k.kind == request.kind) builder = k.body;
  }
  const std::vector<std::string> body = builder(meter, request);
  const bool etx = meter.profile().memoryBlock;
  std::string out =
      queryHeader(meter.profile(), answerKindFor(request.kind), request.channel, request.subCode) +
      "\r\n";
  for (std::size_t i = 0; i < body.size(); ++i) {
    out += body[i];
    if (!etx || i + 1 < body.size()) out += "\r\n";
  }
  if (etx) out += "\x03\r\n";
  return out;
}

}  // namespace tarnlux::meter
