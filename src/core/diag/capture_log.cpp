#include "diag/capture_log.h"

#include <algorithm>
#include <cmath>

#include "common/error_text.h"
#include "diag/status_codes.h"
#include "diag/text_format.h"

namespace tarnlux {

namespace {

constexpr std::size_t kLastReportTextMax = 16;

struct CivilTime {
  int year = 1970;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// Row stamps count the meter's way (seconds since 1970, no time zone), so
// they convert back without any local-time rule.
CivilTime civilTimeOf(std::int64_t stamp) {
  std::int64_t days = stamp / 86400;
  std::int64_t seconds = stamp % 86400;
  if (seconds < 0) {
    seconds += 86400;
    --days;
  }
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const std::int64_t dayOfEra = days - era * 146097;
  const std::int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t mp = (5 * dayOfYear + 2) / 153;
  CivilTime t;
  t.day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
  t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  t.year = static_cast<int>(yearOfEra + era * 400 + (t.month <= 2 ? 1 : 0));
  t.hour = static_cast<int>(seconds / 3600);
  t.minute = static_cast<int>(seconds / 60 % 60);
  t.second = static_cast<int>(seconds % 60);
  return t;
}

double stepped(double previous, double current, int k, int d) {
  return previous + (current - previous) * k / d;
}

template <typename Int>
Int steppedInteger(Int previous, Int current, int k, int d) {
  const std::int64_t step =
      (static_cast<std::int64_t>(current) - static_cast<std::int64_t>(previous)) / d;
  if (step == 0) return current;
  return static_cast<Int>(static_cast<std::int64_t>(previous) + step * k);
}

}  // namespace

LastReportStamp lastReportStamp(std::string_view meterDateText, std::string_view meterTimeText) {
  LastReportStamp stamp;
  stamp.record = true;
  stamp.date.assign(meterDateText.substr(0, kLastReportTextMax));
  std::replace(stamp.date.begin(), stamp.date.end(), '.', '-');
  const std::size_t lastDot = meterTimeText.rfind('.');
  std::string_view time =
      lastDot == std::string_view::npos ? meterTimeText : meterTimeText.substr(0, lastDot);
  stamp.time.assign(time.substr(0, kLastReportTextMax));
  std::replace(stamp.time.begin(), stamp.time.end(), '.', ':');
  return stamp;
}

MeasurementStore interpolatedReadings(const MeasurementStore& previous,
                                      const MeasurementStore& current, int k, int d) {
  if (d <= 1 || k >= d) return current;
  MeasurementStore out = current;
  for (std::size_t p = 0; p < out.paths.size(); ++p) {
    const PathReadings& a = previous.paths[p];
    const PathReadings& b = current.paths[p];
    PathReadings& r = out.paths[p];
    r.alcUp = steppedInteger(a.alcUp, b.alcUp, k, d);
    r.alcDown = steppedInteger(a.alcDown, b.alcDown, k, d);
    r.snrUp = stepped(a.snrUp, b.snrUp, k, d);
    r.snrDown = stepped(a.snrDown, b.snrDown, k, d);
    r.correlationQuality = stepped(a.correlationQuality, b.correlationQuality, k, d);
    r.adcBuffer = steppedInteger(a.adcBuffer, b.adcBuffer, k, d);
    r.accepted = steppedInteger(a.accepted, b.accepted, k, d);
    r.envelopeChange = steppedInteger(a.envelopeChange, b.envelopeChange, k, d);
    r.transmitRate = steppedInteger(a.transmitRate, b.transmitRate, k, d);
    r.deltaTime = stepped(a.deltaTime, b.deltaTime, k, d);
    r.nullTrackAlc = steppedInteger(a.nullTrackAlc, b.nullTrackAlc, k, d);
    r.nullTrackDeltaTime = stepped(a.nullTrackDeltaTime, b.nullTrackDeltaTime, k, d);
    r.flow = stepped(a.flow, b.flow, k, d);
    r.standardFlow = stepped(a.standardFlow, b.standardFlow, k, d);
    r.flowVelocity = stepped(a.flowVelocity, b.flowVelocity, k, d);
    r.soundSpeed = stepped(a.soundSpeed, b.soundSpeed, k, d);
    r.soundSpeedDifference = stepped(a.soundSpeedDifference, b.soundSpeedDifference, k, d);

    const EchofluxReadings& ea = previous.echoflux[p];
    const EchofluxReadings& eb = current.echoflux[p];
    EchofluxReadings& e = out.echoflux[p];
    e.noiseReading = steppedInteger(ea.noiseReading, eb.noiseReading, k, d);
    e.fftPeak = steppedInteger(ea.fftPeak, eb.fftPeak, k, d);
    e.fftsPerSecond = steppedInteger(ea.fftsPerSecond, eb.fftsPerSecond, k, d);
    e.dopplerFrequency = steppedInteger(ea.dopplerFrequency, eb.dopplerFrequency, k, d);
    e.signalStrength = steppedInteger(ea.signalStrength, eb.signalStrength, k, d);
    e.deviation = stepped(ea.deviation, eb.deviation, k, d);
  }
  out.site.temperature = stepped(previous.site.temperature, current.site.temperature, k, d);
  out.site.pressure = stepped(previous.site.pressure, current.site.pressure, k, d);
  out.site.compressibility =
      stepped(previous.site.compressibility, current.site.compressibility, k, d);
  out.site.total = stepped(previous.site.total, current.site.total, k, d);
  return out;
}

CaptureLog::~CaptureLog() {
  if (sink_) sink_->close();
}

int CaptureLog::fail(int code, std::string message) {
  message_ = std::move(message);
  failed_ = true;
  if (sink_) {
    sink_->close();
    sink_.reset();
  }
  return code;
}

int CaptureLog::openCaptureLog(std::string_view directoryText, std::string_view fileNameText,
                               const std::string& startupDirectory, const CaptureHeaderFacts& facts,
                               const MeasurementStore& latest, const CaptureSettings& settings) {
  if (sink_) closeCaptureLog();
  message_.clear();
  failed_ = false;
  lastReport_ = {};
  CaptureTarget target;
  if (int rc =
          resolveCaptureTarget(directoryText, fileNameText, startupDirectory, target, message_);
      rc != 0) {
    return rc;
  }
  if (facts.identity.lengthUnits != 0 && facts.identity.lengthUnits != 1) {
    message_ = statusErrorText(kCaptureBadMeterDataText, {}, {}, kCaptureBadLengthUnits);
    return kCaptureBadLengthUnits;
  }
  std::unique_ptr<FileCaptureSink> file;
  if (int rc = FileCaptureSink::open(target, file, message_); rc != 0) return rc;
  return openCaptureLog(std::move(file), target.path, facts, latest, settings);
}

int CaptureLog::openCaptureLog(std::unique_ptr<CaptureSink> sink, std::string path,
                               const CaptureHeaderFacts& facts, const MeasurementStore& latest,
                               const CaptureSettings& settings) {
  if (sink_) closeCaptureLog();
  message_.clear();
  failed_ = false;
  path_ = std::move(path);
  if (facts.identity.lengthUnits != 0 && facts.identity.lengthUnits != 1) {
    sink->discard();
    failed_ = true;
    message_ = statusErrorText(kCaptureBadMeterDataText, {}, {}, kCaptureBadLengthUnits);
    return kCaptureBadLengthUnits;
  }

  facts_ = facts;
  layout_ = captureLayout(facts, latest.site);
  columns_ = captureColumns(layout_);
  periodSeconds_ = settings.periodSeconds > 0 ? settings.periodSeconds : 1;
  rowCount_ = 0;
  previous_ = latest;
  lastRow_ = latest;
  firstStamp_ = latest.site.meterTime.stamp;

  // The last-report fields name the capture that starts now; the header shows
  // the previous one, as read.
  lastReport_ = {};
  if (facts.extendedDiagnostics) {
    lastReport_ = lastReportStamp(latest.site.meterDateText, latest.site.meterTimeText);
  }

  const std::string header = withCrLf(captureHeaderIdentity(facts) +
                                      captureHeaderColumns(facts, layout_, columns_, latest));
  if (int rc = sink->append(header); rc != 0) {
    sink->discard();
    failed_ = true;
    lastReport_ = {};
    message_ = kCaptureWriteText + std::to_string(rc);
    return rc;
  }
  sink_ = std::move(sink);
  metricSnapshot_ = latest.site.metricVelocity;
  flowUnitsSnapshot_ = latest.site.flowUnitsText;
  setCaptureLength(settings.lengthSeconds);
  return 0;
}

void CaptureLog::setCaptureLength(int lengthSeconds) {
  rowsToWrite_ = lengthSeconds > 0 ? std::max(1, lengthSeconds / periodSeconds_) : 0;
}

std::string CaptureLog::rowText(const MeasurementStore& readings, std::int64_t stamp) const {
  const CivilTime t = civilTimeOf(stamp);
  std::string row;
  appendFormat(row, "%02d-%02d-%02d", t.month, t.day, t.year % 100);
  appendFormat(row, ",%02d:%02d:%02d", t.hour, t.minute, t.second);
  const SiteAverages averages = siteAverages(readings, layout_.paths);
  for (const CaptureColumn& column : columns_) {
    appendRowCell(row, column, readings, averages, layout_);
  }
  row += "\r\n";
  return row;
}

void CaptureLog::tallyColumn(CaptureColumn& column, const MeasurementStore& readings,
                             const SiteAverages& averages) const {
  using Q = CaptureQuantity;
  const TransitTimeLimits& tt = facts_.limits.transitTime;
  const EchofluxLimits& ef = facts_.limits.echoflux;
  const bool metric = layout_.metricVelocity;
  const std::size_t p = column.path >= 0 ? static_cast<std::size_t>(column.path) : 0;
  const PathReadings& r = readings.paths[p];
  const EchofluxReadings& e = readings.echoflux[p];
  const double sample = columnSample(column, readings, averages);
  ColumnTally& tally = column.tally;

  switch (column.quantity) {
    case Q::Flow:
    case Q::FlowVelocity:
      // Both are judged on the path's flow velocity: against the Echoflux
      // velocity limits, or as a difference from the site average.
      if (layout_.echofluxMode) {
        const RealLimitPair l = echofluxVelocityLimits(ef, metric);
        tallySample(r.flowVelocity, l.fail, l.warning, false, BadSide::Low, sample, tally);
      } else if (layout_.averaged() && flowVelocityTestApplies(r.flowVelocity, metric)) {
        tallySample(velocityPercentDifference(r.flowVelocity, averages.flowVelocity, metric),
                    tt.flowVelocityDiff.fail, tt.flowVelocityDiff.warning, false, BadSide::High,
                    sample, tally);
      } else {
        tally.addSample(sample);
      }
      return;
    case Q::SoundSpeed:
      if (layout_.averaged()) {
        tallySample(velocityPercentDifference(r.soundSpeed, averages.soundSpeed, metric),
                    tt.soundSpeedDiff.fail, tt.soundSpeedDiff.warning, false, BadSide::High, sample,
                    tally);
      } else {
        tally.addSample(sample);
      }
      return;
    case Q::Status:
      tally.countGrade(gradeStatusWord(r.statusWord, layout_.echofluxMode));
      return;
    case Q::Signal:
      tallySample(sample, ef.signalStrength.fail, ef.signalStrength.warning, true, BadSide::Low,
                  sample, tally);
      return;
    case Q::Doppler:
    case Q::Deviation: {
      const TwoSidedLimits l = column.quantity == Q::Doppler ? dopplerLimits(ef, e.highFlowRange)
                                                             : deviationLimits(ef, e.liquid());
      const BadSide side = twoSidedSide(sample, l.lowFail, l.lowWarning, l.highFail);
      if (side == BadSide::Low) {
        tallySample(sample, l.lowFail, l.lowWarning, column.integer, side, sample, tally);
      } else {
        tallySample(sample, l.highFail, l.highWarning, column.integer, side, sample, tally);
      }
      return;
    }
    case Q::FftPeak:
      tallySample(sample, ef.fftPeak.fail, ef.fftPeak.warning, true, BadSide::Low, sample, tally);
      return;
    case Q::AlcUp:
    case Q::AlcDown:
      tallySample(sample, tt.alc.fail, tt.alc.warning, true, BadSide::Low, sample, tally);
      return;
    case Q::SnrUp:
    case Q::SnrDown:
      tallySample(sample, tt.snr.fail, tt.snr.warning, false, BadSide::Low, sample, tally);
      return;
    case Q::Correlation:
      tallySample(sample, tt.correlationQuality.fail, tt.correlationQuality.warning, false,
                  BadSide::High, sample, tally);
      return;
    case Q::AdcBuffer:
      tallySample(sample, tt.adcBuffer.fail, tt.adcBuffer.warning, true, BadSide::Low, sample,
                  tally);
      return;
    case Q::EnvelopeChange:
      tallySample(sample, tt.envelopeChange.fail, tt.envelopeChange.warning, true, BadSide::High,
                  sample, tally);
      return;
    case Q::Accepted:
      tallySample(sample, tt.accepted.fail, tt.accepted.warning, true, BadSide::Low, sample, tally);
      return;
    case Q::SearchState:
      tally.countGrade(isMeasuring(r, layout_.extendedDiagnostics) ? GradeColour::Green
                                                                   : GradeColour::Red);
      return;
    case Q::NullTrackActive:
      return;
    // NullTrack readings only mean something while NullTrack runs; the
    // averages divide by those samples.
    case Q::NullTrackAlc:
      if (r.nullTrackActive) {
        tallySample(sample, tt.nullTrackAlc.fail, tt.nullTrackAlc.warning, true, BadSide::Low,
                    sample, tally);
      }
      return;
    case Q::NullTrackDeltaTime:
      if (r.nullTrackActive) {
        const RealLimitPair l =
            nullTrackDeltaTimeLimits(tt.nullTrackDeltaTime, r.referenceCount, layout_.nanoseconds);
        // Graded on its magnitude (an offset either way), tallied as read.
        tallySample(std::fabs(sample), l.fail, l.warning, false, BadSide::High, sample, tally);
      }
      return;
    default:
      tally.addSample(sample);
      return;
  }
}

void CaptureLog::tallyRow(const MeasurementStore& readings) {
  const SiteAverages averages = siteAverages(readings, layout_.paths);
  for (CaptureColumn& column : columns_) tallyColumn(column, readings, averages);
}

int CaptureLog::writeCaptureRows(const MeasurementStore& latest, int periods) {
  if (!sink_) {
    message_.clear();
    return kCaptureNotOpen;
  }
  if (latest.site.metricVelocity != metricSnapshot_ ||
      latest.site.flowUnitsText != flowUnitsSnapshot_) {
    return fail(kCaptureUnitsChanged, kCaptureUnitsChangedText);
  }
  const int d = std::max(1, periods);
  // The first row has nothing to interpolate from: periods before it belong
  // to no capture.
  int rows = rowCount_ == 0 ? 1 : d;
  if (rowsToWrite_ > 0) rows = std::min(rows, rowsToWrite_ - rowCount_);
  if (rowCount_ == 0) firstStamp_ = latest.site.meterTime.stamp;

  for (int k = 1; k <= rows; ++k) {
    const MeasurementStore readings =
        rowCount_ == 0 ? latest : interpolatedReadings(previous_, latest, k, d);
    const std::int64_t stamp = firstStamp_ + static_cast<std::int64_t>(rowCount_) * periodSeconds_;
    if (int rc = sink_->append(rowText(readings, stamp)); rc != 0) {
      return fail(rc, kCaptureWriteText + std::to_string(rc));
    }
    tallyRow(readings);
    lastRow_ = readings;
    ++rowCount_;
  }
  previous_ = latest;
  return 0;
}

void CaptureLog::appendLimitCell(std::string& out, const CaptureColumn& column, bool fail) const {
  using Q = CaptureQuantity;
  const TransitTimeLimits& tt = facts_.limits.transitTime;
  const EchofluxLimits& ef = facts_.limits.echoflux;
  const std::size_t p = column.path >= 0 ? static_cast<std::size_t>(column.path) : 0;
  const EchofluxReadings& e = lastRow_.echoflux[p];
  auto pick = [fail](const auto& pair) { return fail ? pair.fail : pair.warning; };

  switch (column.quantity) {
    case Q::Flow:
    case Q::FlowVelocity:
      if (layout_.echofluxMode) {
        if (column.quantity == Q::Flow) {
          out += ",Sur base vitesse de debit.";
        } else {
          const RealLimitPair l = echofluxVelocityLimits(ef, layout_.metricVelocity);
          appendFormat(out, ",< %.3f", printedVelocityLimit(pick(l)));
        }
      } else if (layout_.averaged()) {
        appendFormat(out, ",> %.0f%%", pick(tt.flowVelocityDiff));
      } else {
        out += ',';
      }
      return;
    case Q::SoundSpeed:
      if (layout_.averaged()) {
        appendFormat(out, ",> %.2f%%", pick(tt.soundSpeedDiff));
      } else {
        out += ',';
      }
      return;
    case Q::Signal:
      appendFormat(out, ",< %d", static_cast<int>(pick(ef.signalStrength)));
      return;
    case Q::Doppler: {
      const IntLimitPair& upper = e.highFlowRange ? ef.highRangeUpper : ef.lowRangeUpper;
      appendFormat(out, ",< %d or > %d", static_cast<int>(pick(ef.lowDoppler)),
                   static_cast<int>(pick(upper)));
      return;
    }
    case Q::Deviation: {
      const bool liquid = e.liquid();
      appendFormat(out, ",< %.2f%% or > %.2f%%", pick(liquid ? ef.liquidLow : ef.slurryLow),
                   pick(liquid ? ef.liquidHigh : ef.slurryHigh));
      return;
    }
    case Q::FftPeak:
      appendFormat(out, ",< %d", static_cast<int>(pick(ef.fftPeak)));
      return;
    case Q::AlcUp:
    case Q::AlcDown:
      appendFormat(out, ",< %d%%", static_cast<int>(pick(tt.alc)));
      return;
    case Q::SnrUp:
    case Q::SnrDown:
      appendFormat(out, ",< %.0f", pick(tt.snr));
      return;
    case Q::Correlation:
      appendFormat(out, ",> %.2f", pick(tt.correlationQuality));
      return;
    case Q::AdcBuffer:
      appendFormat(out, ",< %d", static_cast<int>(pick(tt.adcBuffer)));
      return;
    case Q::EnvelopeChange:
      appendFormat(out, ",> %d", static_cast<int>(pick(tt.envelopeChange)));
      return;
    case Q::Accepted:
      appendFormat(out, ",< %d%%", static_cast<int>(pick(tt.accepted)));
      return;
    case Q::SearchState:
      out += fail ? ",Sinon, mesurer" : ",";
      return;
    case Q::NullTrackAlc:
      appendFormat(out, ",< %d%%", static_cast<int>(pick(tt.nullTrackAlc)));
      return;
    case Q::NullTrackDeltaTime: {
      const RealLimitPair l =
          nullTrackDeltaTimeLimits(tt.nullTrackDeltaTime, lastRow_.paths[p].referenceCount,
                                   layout_.nanoseconds);
      appendFormat(out, ",> %.3f", pick(l));
      return;
    }
    default:
      out += ',';
      return;
  }
}

int CaptureLog::writeCaptureSummary() {
  if (!sink_ || failed_ || rowCount_ == 0) return 0;
  using Q = CaptureQuantity;
  auto siteOnly = [](const CaptureColumn& c) {
    return c.quantity == Q::Temperature || c.quantity == Q::Pressure ||
           c.quantity == Q::Compressibility;
  };
  auto textual = [](const CaptureColumn& c) {
    return c.quantity == Q::Status || c.quantity == Q::SearchState ||
           c.quantity == Q::NullTrackActive;
  };

  std::string out = "\r\n";
  auto statisticRow = [&](const char* label, auto value) {
    out += label;
    out += ',';
    for (const CaptureColumn& column : columns_) {
      if (textual(column)) {
        out += ',';
      } else {
        appendColumnValue(out, column, value(column.tally));
      }
    }
    out += "\r\n";
  };
  statisticRow("Valeur moyenne", [](const ColumnTally& t) { return t.average(); });
  statisticRow("Minimum", [](const ColumnTally& t) { return t.minimum; });
  statisticRow("Maximum", [](const ColumnTally& t) { return t.maximum; });

  auto judgementRow = [&](const char* label, auto cell) {
    out += label;
    out += ',';
    for (const CaptureColumn& column : columns_) {
      if (siteOnly(column)) continue;
      if (column.quantity == Q::NullTrackActive) {
        out += ',';
        continue;
      }
      cell(column);
    }
    out += "\r\n";
  };
  judgementRow("Limite d'avertissement",
               [&](const CaptureColumn& c) { appendLimitCell(out, c, false); });
  judgementRow("Limite d'echec", [&](const CaptureColumn& c) { appendLimitCell(out, c, true); });
  judgementRow("Nbre d'avertissements", [&](const CaptureColumn& c) {
    if (c.quantity == Q::SearchState) {
      out += ',';
    } else {
      appendFormat(out, ",%d", static_cast<int>(c.tally.warningCount));
    }
  });
  judgementRow("Nbre d'echecs", [&](const CaptureColumn& c) {
    appendFormat(out, ",%d", static_cast<int>(c.tally.failCount));
  });
  appendFormat(out, "\r\n%s,%d\r\n", "Nbre d'echantillons", rowCount_);

  if (int rc = sink_->append(out); rc != 0) {
    return fail(rc, kCaptureWriteText + std::to_string(rc));
  }
  return 0;
}

int CaptureLog::closeCaptureLog() {
  if (!sink_) return 0;
  const int rc = sink_->close();
  sink_.reset();
  if (rc != 0) {
    failed_ = true;
    message_ = kCaptureWriteText + std::to_string(rc);
  }
  return rc;
}

}  // namespace tarnlux
