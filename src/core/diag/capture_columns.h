#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "diag/grading.h"
#include "diag/measurement_store.h"

namespace tarnlux {

// The data columns of a capture log after its date and time columns, in file
// order. Path groups repeat for every captured path before the next group.
enum class CaptureQuantity {
  Flow,
  AverageFlow,
  FlowVelocity,
  AverageFlowVelocity,
  Total,
  SoundSpeed,
  AverageSoundSpeed,
  Status,
  Signal,
  Doppler,
  Deviation,
  FftPeak,
  FftRate,
  AlcUp,
  AlcDown,
  DeltaTime,
  SnrUp,
  SnrDown,
  Correlation,
  AdcBuffer,
  EnvelopeChange,
  TransmitRate,
  Accepted,
  SearchState,
  NullTrackActive,
  NullTrackAlc,
  NullTrackDeltaTime,
  Temperature,
  Pressure,
  Compressibility,
};

// What decides which columns a capture has and how they are labelled.
struct CaptureLayout {
  bool multiPath = false;
  bool extendedDiagnostics = false;
  bool gasMeter = false;
  bool echofluxMode = false;
  std::uint32_t meterFlags = 0;  // NullTrack enabled: bit 8 + path
  unsigned paths = 0;            // captured paths, bit n = path n + 1
  std::string flowUnits;         // as written (translated on gas meters)
  std::string totalUnits;
  std::string pressureUnits;    // empty when the meter shows none
  char temperatureUnit = '\0';  // 'C', 'F' or none
  bool metricVelocity = false;
  bool nanoseconds = false;

  // Flow and velocity are judged against the site average.
  bool averaged() const { return multiPath && pathCount(paths) > 1; }
};

struct CaptureColumn {
  CaptureQuantity quantity = CaptureQuantity::Flow;
  int path = -1;  // 0 to 3; -1 for site columns
  bool integer = false;
  std::string label;        // heading row text
  std::string description;  // description text, units included
  ColumnTally tally;
};

// The columns of a capture, numbered from 3 in the file.
std::vector<CaptureColumn> captureColumns(const CaptureLayout& layout);

// "N,label,description" for column `number`.
std::string columnDescriptionLine(int number, const CaptureColumn& column);

// The numeric value a column writes for a set of readings (0 for the text
// columns).
double columnSample(const CaptureColumn& column, const MeasurementStore& readings,
                    const SiteAverages& averages);

// Appends ",value" in the column's number format.
void appendColumnValue(std::string& out, const CaptureColumn& column, double value);

// Appends the column's cell of a row: its value, or for the text columns the
// status letters, the search state and the NullTrack activity flag.
void appendRowCell(std::string& out, const CaptureColumn& column, const MeasurementStore& readings,
                   const SiteAverages& averages, const CaptureLayout& layout);

}  // namespace tarnlux
