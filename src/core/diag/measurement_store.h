#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "link/meter_time.h"

namespace tarnlux {

// The latest meter readings, one record for the whole program. The answer
// parsers and the query loop fill it; grading, the capture log, the panels and
// the pages read it. The signal waveforms and the trend rings have records of
// their own (the signal store and TrendStore).
//
// Where the readings come from. With extended diagnostics every path's
// diagnostic answer (kind 2) fills the path record by position; the positions
// the answer layout leaves open carry:
//   13  transmit rate, bursts per second (integer)   -> transmitRate
//   18  NullTrack reference count (integer)           -> referenceCount
//   19  path flow, flow units (real)                  -> flow
//   20  path standard-volume flow, flow units (real)  -> standardFlow
//   21  operating pressure, pressure units (real)     -> site pressure
//   22  compressibility at operating conditions      -> site compressibility
//   23  sound speed, % from the AGA8 sound speed      -> soundSpeedDifference
//   32  reserved, sent as 0
//   37  reserved, sent as 0
// and 0/1 date and time, 2-5 path flow velocities (the path's own is taken),
// 6 their average (site averageFlowVelocity), 7 sound speed, 8 unit letter, 9 delta time, 10 its unit letter, 11/12 ALC,
// 14 ADC buffer, 15/16 SNR, 17 envelope change, 24 flow units, 25/26 total and
// its units, 27-29 NullTrack active/ALC/delta time, 30 status word, 31
// correlation quality, 33 % accepted, 34 search state text, 35/36 temperature
// and its unit letter.
//
// On an Echoflux channel the channel line's open fields carry: 1 and 3 the
// spectrum marker bins, 2 the channel's flow (flow units), 4 its flow
// velocity (velocity units), 7 FFTs per second, 9 and 12 reserved (0); the
// flow and flow velocity go to the channel's PathReadings.
//
// Without extended diagnostics the path readings come from the kind-0 answer
// (the signal figures), the reads of "accept", "rep_rate" and "make_state",
// the NullTrack signal (the kind-0 answer at the NullTrack index), and the
// status word from the channel wait's "abar". docs/meter-answers.md sections
// 9 to 11 write both answer forms out.
inline constexpr int kMeasuredPaths = 4;
inline constexpr std::size_t kSpectrumBinsMax = 256;

struct PathReadings {
  std::int32_t alcUp = 0;  // gain level, %
  std::int32_t alcDown = 0;
  double snrUp = 0;
  double snrDown = 0;
  double correlationQuality = 0;    // extended diagnostics only
  std::int32_t adcBuffer = 0;       // % of full scale
  std::int32_t accepted = 0;        // % of measurements accepted
  std::int32_t envelopeChange = 0;  // %
  std::int32_t transmitRate = 0;    // bursts per second
  double deltaTime = 0;             // in the site's time-difference unit

  bool nullTrackActive = false;
  // The meter flags the path's NullTrack as failed: its readings are not valid.
  bool nullTrackFailed = false;
  std::int32_t nullTrackAlc = 0;
  double nullTrackDeltaTime = 0;
  // Scales the NullTrack delta-time limits (coefficient x count / 32,000,000).
  // Without extended diagnostics the meter reports it as the NullTrack
  // frequency code ("fx", or field 20 of the NullTrack signal figures).
  std::int32_t referenceCount = 0;
  // NullTrack signal strength ("sigstr" at the NullTrack index), read without
  // extended diagnostics while the path's fluid measurement has failed.
  std::uint32_t nullTrackSignal = 0;

  double flow = 0;                  // flow units
  double standardFlow = 0;          // flow units, standard volume
  double flowVelocity = 0;          // velocity units
  double soundSpeed = 0;            // velocity units
  double soundSpeedDifference = 0;  // % from the AGA8 sound speed

  std::uint32_t statusWord = 0;
  int searchStateCode = 0;      // without extended diagnostics (1 to 21)
  std::string searchStateText;  // with extended diagnostics, at most 16 characters
};

struct EchofluxReadings {
  std::uint32_t noiseReading = 0;  // noise level as the meter counts it
  std::uint32_t fftPeak = 0;       // normalised FFT peak
  std::int32_t fftsPerSecond = 0;
  std::int32_t dopplerFrequency = 0;  // Hz
  std::int32_t signalStrength = 0;    // mV, peak to peak
  double deviation = 0;               // %
  bool highFlowRange = false;
  double fluidType = 1.0;  // exactly 1 is liquid, anything else slurry

  std::array<std::uint16_t, kSpectrumBinsMax> spectrum{};
  std::size_t spectrumBins = 0;
  std::int32_t lowMarkerBin = 0;
  std::int32_t highMarkerBin = 0;

  bool liquid() const { return fluidType == 1.0; }
};

struct SiteReadings {
  // The meter's own clock from the latest answer, as sent ("MM.DD.YY",
  // "HH.MM.SS") and decoded.
  std::string meterDateText;
  std::string meterTimeText;
  MeterDateTime meterTime;

  double temperature = 0;
  double pressure = 0;
  double compressibility = 0;
  double total = 0;
  // The fifth flow velocity of the extended diagnostic answer (position 6):
  // the meter's own average over the paths, velocity units.
  double averageFlowVelocity = 0;

  // Units as the latest answer gave them.
  bool metricVelocity = false;  // "M/SEC", else "PI/SEC"
  bool nanoseconds = false;     // time differences in "nS", else "uS"
  char temperatureUnit = '\0';  // 'C', 'F' or none
  std::string flowUnitsText;    // as the meter sends it
  std::string totalUnitsText;
  // The meter's stdflow setting: non-zero selects standard-volume unit names.
  std::int32_t standardFlow = 0;
};

struct MeasurementStore {
  std::array<PathReadings, kMeasuredPaths> paths;
  std::array<EchofluxReadings, kMeasuredPaths> echoflux;
  SiteReadings site;
};

// The program's record of the latest readings.
MeasurementStore& measurementStore();

}  // namespace tarnlux
