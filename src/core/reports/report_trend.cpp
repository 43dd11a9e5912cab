#include "reports/report_trend.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <new>
#include <tuple>

#include "common/paths.h"
#include "common/profile_file.h"
#include "common/version.h"
#include "diag/capture_header.h"
#include "diag/text_format.h"

namespace tarnlux {

namespace {

bool hasCsvExtension(std::string_view name) {
  return name.size() > 4 && equalsIgnoreCase(name.substr(name.size() - 4), ".csv");
}

// Time order of the logs: the year of a two-digit date pivots at 70.
std::tuple<int, int, int, std::string> stampKey(const ReportData& log) {
  const auto date = parseReportDate(log.firstDate);
  if (!date) return {0, 0, 0, log.firstTime};
  const int year = date->year < 100 ? (date->year < 70 ? 2000 + date->year : 1900 + date->year)
                                    : date->year;
  return {year, date->month, date->day, log.firstTime};
}

std::string orNd(const std::string& value) { return value.empty() ? "N/D" : value; }

// A trend row value: the log's average of a column, reformatted.
enum class TrendFormat { Three, Two, Integer, Whole };

void appendValue(std::string& out, std::optional<double> value, TrendFormat format) {
  if (!value) {
    out += ',';
    return;
  }
  switch (format) {
    case TrendFormat::Three:
      appendFormat(out, ",%.3f", *value);
      break;
    case TrendFormat::Two:
      appendFormat(out, ",%.2f", *value);
      break;
    case TrendFormat::Integer:
      // A figure no meter gives (a damaged log) is written whole rather than wrapped.
      if (std::fabs(*value) < 2e9) {
        appendFormat(out, ",%d", static_cast<int>(*value));
      } else {
        appendFormat(out, ",%.0f", std::trunc(*value));
      }
      break;
    case TrendFormat::Whole:
      appendFormat(out, ",%.0f", *value);
      break;
  }
}

std::optional<double> average(const ReportData& log, CaptureQuantity quantity, int path) {
  const ReportColumn* column = log.column(quantity, path);
  return column != nullptr ? column->averageValue() : std::nullopt;
}

// The gain and signal-to-noise figures of a path are its up and down averages together.
std::optional<double> upDownAverage(const ReportData& log, CaptureQuantity up,
                                    CaptureQuantity down, int path, bool integer) {
  const auto a = average(log, up, path);
  const auto b = average(log, down, path);
  if (a && b) {
    // Integer columns average as integers do: the half is dropped.
    if (integer) return std::trunc((std::trunc(*a) + std::trunc(*b)) / 2);
    return (*a + *b) / 2;
  }
  return a ? a : b;
}

// One column of the trend log.
struct TrendColumn {
  std::string label;
  CaptureQuantity quantity;
  std::optional<CaptureQuantity> down;  // second half of an up/down pair
  int path;
  TrendFormat format;
};

// The unit a column has in the first log that has it.
std::string unitIn(const std::vector<ReportData>& logs, CaptureQuantity quantity, int path) {
  for (const ReportData& log : logs) {
    if (const ReportColumn* c = log.column(quantity, path); c != nullptr && !c->unit.empty()) {
      return c->unit;
    }
  }
  return {};
}

bool anyHas(const std::vector<ReportData>& logs, CaptureQuantity quantity, int path) {
  return std::any_of(logs.begin(), logs.end(),
                     [&](const ReportData& log) { return log.column(quantity, path) != nullptr; });
}

std::vector<TrendColumn> trendColumns(const std::vector<ReportData>& logs) {
  using Q = CaptureQuantity;
  std::vector<TrendColumn> columns;
  unsigned paths = 0;
  for (const ReportData& log : logs) paths |= log.paths();
  for (int p = 0; p < 4; ++p) {
    if ((paths & (1u << p)) == 0) continue;
    const int n = p + 1;
    auto add = [&](Q quantity, std::string label, TrendFormat format,
                   std::optional<Q> down = std::nullopt) {
      if (anyHas(logs, quantity, p) || (down && anyHas(logs, *down, p))) {
        columns.push_back({std::move(label), quantity, down, p, format});
      }
    };
    add(Q::FlowVelocity, formatText("VF%d(%s)", n, unitIn(logs, Q::FlowVelocity, p).c_str()),
        TrendFormat::Three);
    add(Q::SoundSpeed, formatText("VitS%d(%s)", n, unitIn(logs, Q::SoundSpeed, p).c_str()),
        TrendFormat::Two);
    add(Q::AlcUp, formatText("ALC %d", n), TrendFormat::Integer, Q::AlcDown);
    add(Q::SnrUp, formatText("SNR %d", n), TrendFormat::Whole, Q::SnrDown);
    add(Q::Correlation, formatText("QCor %d", n), TrendFormat::Two);
    add(Q::AdcBuffer, formatText("%%TampADC %d", n), TrendFormat::Integer);
    add(Q::EnvelopeChange, formatText("%%ChgEnv %d", n), TrendFormat::Integer);
    add(Q::TransmitRate, formatText("Sps %d", n), TrendFormat::Integer);
    add(Q::Accepted, formatText("%%ACP %d", n), TrendFormat::Integer);
    add(Q::NullTrackAlc, formatText("ZeroALC%d", n), TrendFormat::Integer);
    add(Q::NullTrackDeltaTime,
        formatText("ZeroTD%d(%s)", n, unitIn(logs, Q::NullTrackDeltaTime, p).c_str()),
        TrendFormat::Three);
  }
  auto withUnit = [&](const char* name, Q quantity) {
    const std::string unit = unitIn(logs, quantity, -1);
    return unit.empty() ? std::string(name) : formatText("%s(%s)", name, unit.c_str());
  };
  if (anyHas(logs, Q::Temperature, -1)) {
    columns.push_back({withUnit("Temp", Q::Temperature), Q::Temperature, {}, -1, TrendFormat::Two});
  }
  if (anyHas(logs, Q::Pressure, -1)) {
    columns.push_back({withUnit("Appuyer sur", Q::Pressure), Q::Pressure, {}, -1, TrendFormat::Two});
  }
  if (anyHas(logs, Q::Compressibility, -1)) {
    columns.push_back({"Zactuel", Q::Compressibility, {}, -1, TrendFormat::Three});
  }
  return columns;
}

int collectFailure(std::string& message, const std::string& path) {
  const std::size_t slash = path.rfind('/');
  message = formatText("%s%s\n%s", kCollectErrorText, "",
                       (std::string(kCollectFileText) +
                        (slash == std::string::npos ? path : path.substr(slash + 1)))
                           .c_str());
  return -1;
}

}  // namespace

std::string folderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return "./";
  return path.substr(0, slash + 1);
}

int listCaptureLogs(const std::string& folder, std::vector<std::string>& paths,
                    std::string& message) {
  paths.clear();
  const std::string base = withTrailingSeparator(folder);
  DIR* dir = ::opendir(base.empty() ? "." : base.c_str());
  if (dir == nullptr) {
    message = kFileSearchText;
    return -1;
  }
  int result = 0;
  while (true) {
    errno = 0;
    const dirent* entry = ::readdir(dir);
    if (entry == nullptr) {
      if (errno != 0) {
        message = kFileSearchNextText;
        result = -1;
      }
      break;
    }
    const std::string_view name = entry->d_name;
    if (!hasCsvExtension(name)) continue;
    const std::string full = base + std::string(name);
    struct stat st {};
    if (::stat(full.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    paths.push_back(full);
  }
  ::closedir(dir);
  if (result != 0) return result;
  if (paths.empty()) {
    message = kNoFileFoundText;
    return -1;
  }
  std::sort(paths.begin(), paths.end());
  return 0;
}

bool isTrendLog(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char head[64];
  ssize_t got = 0;
  do {
    got = ::read(fd, head, sizeof head);
  } while (got < 0 && errno == EINTR);
  ::close(fd);
  if (got < static_cast<ssize_t>(kTrendLogFirstLine.size())) return false;
  const std::string_view text(head, static_cast<std::size_t>(got));
  if (text.substr(0, kTrendLogFirstLine.size()) != kTrendLogFirstLine) return false;
  const std::string_view rest = text.substr(kTrendLogFirstLine.size());
  return rest.empty() || rest.front() == '\r' || rest.front() == '\n';
}

int collectTrendLogs(const std::string& folder, std::vector<ReportData>& logs,
                     std::string& message, const std::atomic<int>* cancel) {
  logs.clear();
  std::vector<std::string> paths;
  if (listCaptureLogs(folder, paths, message) != 0) return -1;
  try {
    for (const std::string& path : paths) {
      if (isTrendLog(path)) continue;
      ReportData data;
      std::string readMessage;
      const int result = readCaptureLog(path, data, readMessage, cancel);
      if (result == -2) return -2;
      if (result != 0) return collectFailure(message, path);
      logs.push_back(std::move(data));
    }
  } catch (const std::bad_alloc&) {
    logs.clear();
    message = kTrendMemoryText;
    return -1;
  }
  std::stable_sort(logs.begin(), logs.end(), [](const ReportData& a, const ReportData& b) {
    return stampKey(a) < stampKey(b);
  });
  return 0;
}

std::string trendLogPath(const std::string& folder, std::string_view site, const LocalTime& now) {
  // The site names the file: a separator in it would point elsewhere.
  std::string safeSite(site);
  std::replace(safeSite.begin(), safeSite.end(), '/', '_');
  std::string path = formatText("%s%s_%s_", withTrailingSeparator(folder).c_str(),
                                "Rapport_tendance", safeSite.c_str());
  appendFormat(path, "%02d%02d%02d", now.month, now.day, now.year % 100);
  path += '_';
  appendFormat(path, "%02d%02d", now.hour, now.minute);
  path += ".CSV";
  return path;
}

std::string trendLogText(const std::vector<ReportData>& logs) {
  std::string out;
  if (logs.empty()) return out;
  // The most recent log speaks for the meter.
  const ReportData& id = logs.back();
  out += kTrendLogFirstLine;
  out += '\n';
  appendFormat(out, "%s,%s\n", "Version Tarnlux", kProgramVersion);
  const std::pair<const char*, const std::string*> identity[] = {
      {"Ref. systeme op debitmetre", &id.osReference}, {"Nom du site", &id.site},
      {"Ref. debitmetre", &id.meterPart},              {"No serie debitmetre", &id.meterSerial},
      {"Ref. tiroir", &id.spoolPart},                  {"No serie tiroir", &id.spoolSerial},
      {"Date de fabrication", &id.manufactureDate}};
  for (const auto& [label, value] : identity) {
    appendFormat(out, "%s,%s\n", label, orNd(*value).c_str());
  }
  if (!id.lastReportTime.empty()) {
    appendFormat(out, "%s,%s,%s\n", "Date/heure dernier rapport", id.lastReportDate.c_str(),
                 id.lastReportTime.c_str());
  } else {
    appendFormat(out, "%s,%s\n", "Date/heure dernier rapport", orNd(id.lastReportDate).c_str());
  }
  appendFormat(out, "%s,%s\n", "Parametres COMS", id.comms.c_str());
  appendFormat(out, "%s,%s\n", "Identificateur de l'emplacement", id.location.c_str());
  if (id.bore) {
    appendFormat(out, "%s,%.3f,%s\n", "ID alesage compteur", *id.bore, id.boreUnit.c_str());
  }
  if (id.kFactor) {
    appendFormat(out, "%s,%.3f,%s\n", "FacteurK", *id.kFactor, id.kFactorUnit.c_str());
  }
  appendFormat(out, "\n%s\n\n", "Donnees de tendance Tarnlux");

  const std::vector<TrendColumn> columns = trendColumns(logs);
  out += "Date";
  for (const TrendColumn& c : columns) {
    out += ',';
    out += c.label;
  }
  out += '\n';
  for (const ReportData& log : logs) {
    out += log.firstDate;
    for (const TrendColumn& c : columns) {
      const auto value =
          c.down ? upDownAverage(log, c.quantity, *c.down, c.path, c.format == TrendFormat::Integer)
                 : average(log, c.quantity, c.path);
      appendValue(out, value, c.format);
    }
    out += '\n';
  }
  appendFormat(out, "\n%s,%d\n", "Nbre d'echantillons", static_cast<int>(logs.size()));
  return withCrLf(out);
}

int writeTrendLog(const std::string& folder, const std::vector<ReportData>& logs,
                  const LocalTime& now, std::string& path, std::string& message) {
  path = trendLogPath(folder, logs.empty() ? std::string_view{} : logs.back().site, now);
  if (writeFileAtomically(path, trendLogText(logs)) != 0) {
    message = kTrendLogOpenText;
    return -1;
  }
  return 0;
}

int runTrend(const std::string& folder, const LocalTime& now, std::vector<ReportData>& logs,
             std::string& trendLog, std::string& message, const std::atomic<int>* cancel) {
  trendLog.clear();
  const int collected = collectTrendLogs(folder, logs, message, cancel);
  if (collected != 0) return collected;
  if (logs.size() < 2) {
    message = kTooFewLogsText;
    return -1;
  }
  return writeTrendLog(folder, logs, now, trendLog, message);
}

}  // namespace tarnlux
