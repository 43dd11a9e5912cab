#pragma once

#include "common/error_text.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "diag/capture_columns.h"
#include "diag/capture_files.h"
#include "diag/capture_header.h"
#include "diag/measurement_store.h"

namespace tarnlux {

// The data capture log: a comma-separated text file (CR LF line ends) with a
// header block about the meter, one row per query period and a summary of
// every column. The query loop drives it: open on the first period of a
// capture, rows every period, the summary when the capture ends normally or is
// stopped, then close. Tests drive it the same way over an in-memory sink.

inline constexpr int kCaptureUnitsChanged = -25;
inline constexpr int kCaptureNotOpen = -26;
// The meter's length units are neither inches (0) nor millimetres (1).
inline constexpr int kCaptureBadLengthUnits = 21021;

inline constexpr const char* kCaptureUnitsChangedText =
    "Err capt donnees, param comptr changes pendant capt donnees";
inline constexpr const char* kCaptureBadMeterDataText = kBadMeterDataText;

struct CaptureSettings {
  int periodSeconds = 3;  // 3, 6 or 12
  int lengthSeconds = 0;  // 30 ... 3600, or 0 for unlimited
};

// The capture start as the memory block records it: the meter's date with
// dashes ("02-29-24") and its time cut at the last dot with colons ("23:59").
struct LastReportStamp {
  bool record = false;  // with extended diagnostics only
  std::string date;
  std::string time;
};
LastReportStamp lastReportStamp(std::string_view meterDateText, std::string_view meterTimeText);

// The readings of row k of d rows that make up a late period: every number
// goes in equal steps from `previous` to `current` (integers by integer steps;
// a zero integer step repeats the current value); row d is `current` itself.
// States (status word, search state, flags) are the current ones.
MeasurementStore interpolatedReadings(const MeasurementStore& previous,
                                      const MeasurementStore& current, int k, int d);

class CaptureLog {
 public:
  CaptureLog() = default;
  ~CaptureLog();
  CaptureLog(const CaptureLog&) = delete;
  CaptureLog& operator=(const CaptureLog&) = delete;

  // Checks the directory and file-name boxes, creates the file (and its
  // directory, one level) and writes the header from `facts` and the latest
  // readings. 0, a negative code of the checks, or the error number; the
  // status-line text is in message().
  int openCaptureLog(std::string_view directoryText, std::string_view fileNameText,
                     const std::string& startupDirectory, const CaptureHeaderFacts& facts,
                     const MeasurementStore& latest, const CaptureSettings& settings);
  // The same over a given sink (`path` is what path() reports).
  int openCaptureLog(std::unique_ptr<CaptureSink> sink, std::string path,
                     const CaptureHeaderFacts& facts, const MeasurementStore& latest,
                     const CaptureSettings& settings);

  // Writes the rows of `periods` query periods (at least 1): one row with the
  // latest readings, preceded on a late period by interpolated rows. The first
  // row of a capture is one row stamped with the meter's own time; each later
  // row is one period later. Stops at the capture length. Every row is handed
  // to the file on its own. A change of the meter's velocity or flow units
  // since the header ends the capture without a row; a failed write ends it
  // too. 0 or the code, with message() set.
  int writeCaptureRows(const MeasurementStore& latest, int periods);

  // Average, minimum, maximum, limits and counts of every column, and the
  // sample count. Nothing is written before the first row or after a failure.
  int writeCaptureSummary();

  // Closes the file. 0 or the error number of the final flush.
  int closeCaptureLog();

  // A new capture length while capturing (0 = unlimited).
  void setCaptureLength(int lengthSeconds);

  bool isOpen() const { return sink_ != nullptr; }
  bool failed() const { return failed_; }
  int rowCount() const { return rowCount_; }
  // The rows a capture of this length writes; 0 when unlimited.
  int rowsToWrite() const { return rowsToWrite_; }
  bool lengthReached() const { return rowsToWrite_ > 0 && rowCount_ >= rowsToWrite_; }
  const std::string& path() const { return path_; }
  const std::string& message() const { return message_; }
  // What the I/O layer writes into the memory block after the header.
  const LastReportStamp& lastReport() const { return lastReport_; }
  const std::vector<CaptureColumn>& columns() const { return columns_; }
  const CaptureLayout& layout() const { return layout_; }

 private:
  int fail(int code, std::string message);
  std::string rowText(const MeasurementStore& readings, std::int64_t stamp) const;
  void tallyRow(const MeasurementStore& readings);
  void tallyColumn(CaptureColumn& column, const MeasurementStore& readings,
                   const SiteAverages& averages) const;
  void appendLimitCell(std::string& out, const CaptureColumn& column, bool fail) const;

  std::unique_ptr<CaptureSink> sink_;
  std::string path_;
  std::string message_;
  CaptureHeaderFacts facts_;
  CaptureLayout layout_;
  std::vector<CaptureColumn> columns_;
  LastReportStamp lastReport_;

  // Units the header was written with.
  bool metricSnapshot_ = false;
  std::string flowUnitsSnapshot_;

  int periodSeconds_ = 3;
  int rowsToWrite_ = 0;
  int rowCount_ = 0;
  bool failed_ = false;
  std::int64_t firstStamp_ = 0;
  MeasurementStore previous_;  // the readings of the last period
  MeasurementStore lastRow_;   // the readings of the last row written
};

}  // namespace tarnlux
