// Stored events of channels in the Echoflux mode: the channel's reading graded
// against the Echoflux limits of its block, stored in the Echoflux record form.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "diag_answers.h"
#include "meter.h"
#include "storage.h"

namespace tarnlux::meter {

namespace {

// Velocity limits are kept in feet per second.
constexpr double kFeetPerMetre = 3.28;

std::string decimal(double value, int decimals) {
  char text[48];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

struct Grader {
  unsigned warning = 0;
  unsigned fail = 0;

  // Low is bad: fail below the fail limit, warning below the warning limit.
  void low(double value, const double (&pair)[2], unsigned bit) {
    if (value < pair[1]) {
      fail |= bit;
    } else if (value < pair[0]) {
      warning |= bit;
    }
  }
  void high(double value, const double (&pair)[2], unsigned bit) {
    if (value > pair[1]) {
      fail |= bit;
    } else if (value > pair[0]) {
      warning |= bit;
    }
  }
  // The low side is judged when the value lies under the low fail limit, or
  // under the low warning limit without passing the high fail limit.
  void twoSided(double value, const double (&lowPair)[2], unsigned lowBit,
                const double (&highPair)[2], unsigned highBit) {
    if (value < lowPair[1] || (value < lowPair[0] && value <= highPair[1])) {
      low(value, lowPair, lowBit);
    } else {
      high(value, highPair, highBit);
    }
  }
};

}  // namespace

bool parseEchofluxBlockLimits(std::string_view block, EchofluxBlockLimits& out) {
  // "G," then 24 numbers.
  std::vector<double> v;
  if (block.size() < 2 || block[1] != ',') return false;
  block.remove_prefix(2);
  while (v.size() < 24) {
    const std::size_t comma = block.find(',');
    if (comma == std::string_view::npos || comma == 0) return false;
    v.push_back(std::strtod(std::string(block.substr(0, comma)).c_str(), nullptr));
    block.remove_prefix(comma + 1);
  }
  double* pairs[12] = {out.signal,     out.lowDoppler, out.lowRangeHigh, out.highRangeHigh,
                       out.liquidLow,  out.liquidHigh, out.slurryLow,    out.slurryHigh,
                       out.noiseLow,   out.noiseHigh,  out.fftPeak,      out.velocity};
  for (std::size_t i = 0; i < 12; ++i) {
    pairs[i][0] = v[2 * i];
    pairs[i][1] = v[2 * i + 1];
  }
  return true;
}

std::string echofluxEventRecord(const EchofluxReading& r, int path,
                                const EchofluxBlockLimits& limits, const std::string& site,
                                const std::string& date, const std::string& time, bool metric) {
  if (path < 0 || path > 3) return {};
  const bool measuring = (r.statusWord & 0x10u) != 0;
  Grader g;
  g.low(r.signal, limits.signal, 0x1);
  g.twoSided(r.doppler, limits.lowDoppler, 0x2, r.highRange ? limits.highRangeHigh : limits.lowRangeHigh,
             r.highRange ? 0x8u : 0x4u);
  if (r.fluidType == 1.0) {
    g.twoSided(r.deviation, limits.liquidLow, 0x10, limits.liquidHigh, 0x20);
  } else {
    g.twoSided(r.deviation, limits.slurryLow, 0x40, limits.slurryHigh, 0x80);
  }
  if (r.fftPeak <= 0) {
    g.fail |= 0x100;
  } else {
    g.twoSided(100.0 * r.noise / r.fftPeak, limits.noiseLow, 0x100, limits.noiseHigh, 0x200);
  }
  g.low(r.fftPeak, limits.fftPeak, 0x400);
  if (measuring) {
    const double feetPerSecond = metric ? r.velocity * kFeetPerMetre : r.velocity;
    g.low(std::fabs(feetPerSecond), limits.velocity, 0x800);
  }
  if (g.warning == 0 && g.fail == 0) return {};

  const unsigned flags =
      (1u << path) | 0x40u | 0x80u | (metric ? 0x20u : 0u);
  std::string record = site + "," + std::to_string(flags) + "," + date + " " + time + "," +
                       std::to_string(~r.statusWord & 0x3FFu) + "," + std::to_string(r.signal) +
                       "," + std::to_string(r.doppler) + "," + (r.highRange ? "1" : "0") + "," +
                       decimal(r.deviation, 2) + "," + decimal(r.fluidType, 1) + "," +
                       std::to_string(r.noise) + "," + std::to_string(r.fftPeak) + ",";
  if (measuring) record += decimal(r.velocity, 3) + ",";
  record += std::to_string(g.fail) + "," + std::to_string(g.warning) + "," +
            decimal(r.temperature, 1);
  return record;
}

void Meter::recordEchofluxEvent(int channel, const EchofluxReading& reading,
                                const std::string& date, const std::string& time) {
  const int index = storageIndex(channel);
  if (index < 0 || index >= kIndexCount) return;
  StorageState& state = storage_[static_cast<std::size_t>(index)];
  EchofluxBlockLimits limits;
  if (!state.enabled || state.allocatedBytes == 0 ||
      !parseEchofluxBlockLimits(cv_.text("qmmem", index), limits)) {
    return;
  }
  std::string site = cv_.text("id", index);
  while (!site.empty() && site.back() == ' ') site.pop_back();
  if (site.empty()) site = "SITE";
  const std::string record = echofluxEventRecord(reading, channel, limits, site, date, time,
                                                 showsMetric(*this));
  // A full memory keeps what it has.
  if (record.empty() || state.usedBytes + record.size() > state.allocatedBytes) return;
  state.events.push_back(record);
  state.usedBytes += static_cast<std::uint32_t>(record.size());
}

}  // namespace tarnlux::meter
