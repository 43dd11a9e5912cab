#include "reports/capture_log_reader.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>

#include "common/profile_file.h"

namespace tarnlux {

namespace {

constexpr std::string_view kVersionPrefixes[] = {"Version Tarnlux", "Version Quillmap"};
// No line of a capture log comes near this; a longer one is not a log.
constexpr std::size_t kLongestLine = 64 * 1024;
constexpr std::size_t kReadChunk = 1 << 20;

bool startsWith(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

std::optional<double> parseNumber(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '%')) text.remove_suffix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  double value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc{} || end != text.data() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

std::optional<int> parseInteger(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

void splitFields(std::string_view line, std::vector<std::string_view>& fields) {
  fields.clear();
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = line.find(',', start);
    if (comma == std::string_view::npos) {
      fields.push_back(line.substr(start));
      return;
    }
    fields.push_back(line.substr(start, comma - start));
    start = comma + 1;
  }
}

std::string_view field(const std::vector<std::string_view>& fields, std::size_t i) {
  return i < fields.size() ? fields[i] : std::string_view{};
}

// Heading labels: a prefix, the path digit for path columns, and what follows it.
struct LabelPattern {
  std::string_view prefix;
  CaptureQuantity quantity;
  bool perPath;
  std::string_view suffix;
};

// Longer prefixes come before the shorter ones they begin with.
constexpr LabelPattern kLabelPatterns[] = {
    {"Fluxmoy", CaptureQuantity::AverageFlow, false, ""},
    {"Flux", CaptureQuantity::Flow, true, ""},
    {"VF moy", CaptureQuantity::AverageFlowVelocity, false, ""},
    {"VF", CaptureQuantity::FlowVelocity, true, ""},
    {"Total", CaptureQuantity::Total, false, ""},
    {"ViS moy", CaptureQuantity::AverageSoundSpeed, false, ""},
    {"VitS", CaptureQuantity::SoundSpeed, true, ""},
    {"Etat ", CaptureQuantity::Status, true, ""},
    {"Signal ", CaptureQuantity::Signal, true, ""},
    {"Freq. doppler ", CaptureQuantity::Doppler, true, ""},
    {"Ecart % ", CaptureQuantity::Deviation, true, ""},
    {"Pointe FFT ", CaptureQuantity::FftPeak, true, ""},
    {"FFTs/seconde ", CaptureQuantity::FftRate, true, ""},
    {"ALC ", CaptureQuantity::AlcUp, true, " AM"},
    {"ALC ", CaptureQuantity::AlcDown, true, " AV"},
    {"HD ", CaptureQuantity::DeltaTime, true, ""},
    {"SNR ", CaptureQuantity::SnrUp, true, " AM"},
    {"SNR ", CaptureQuantity::SnrDown, true, " AV"},
    {"QCor ", CaptureQuantity::Correlation, true, ""},
    {"%TampADC ", CaptureQuantity::AdcBuffer, true, ""},
    {"%ChgEnv ", CaptureQuantity::EnvelopeChange, true, ""},
    {"Sps ", CaptureQuantity::TransmitRate, true, ""},
    {"%ACP ", CaptureQuantity::Accepted, true, ""},
    {"Recherche", CaptureQuantity::SearchState, true, ""},
    {"ZeroActive ", CaptureQuantity::NullTrackActive, true, ""},
    {"ZeroALC", CaptureQuantity::NullTrackAlc, true, ""},
    {"ZeroTD", CaptureQuantity::NullTrackDeltaTime, true, ""},
    {"Temp", CaptureQuantity::Temperature, false, ""},
    {"Appuyer sur", CaptureQuantity::Pressure, false, ""},
    {"Zactuel", CaptureQuantity::Compressibility, false, ""},
};

}  // namespace

HeadingLabel classifyHeadingLabel(std::string_view label) {
  HeadingLabel result;
  std::string_view base = label;
  if (!label.empty() && label.back() == ')') {
    const std::size_t open = label.rfind('(');
    if (open != std::string_view::npos) {
      result.unit = std::string(label.substr(open + 1, label.size() - open - 2));
      base = label.substr(0, open);
    }
  }
  for (const LabelPattern& pattern : kLabelPatterns) {
    if (!startsWith(base, pattern.prefix)) continue;
    std::string_view rest = base.substr(pattern.prefix.size());
    int path = -1;
    if (pattern.perPath) {
      if (rest.empty() || rest.front() < '1' || rest.front() > '4') continue;
      path = rest.front() - '1';
      rest.remove_prefix(1);
    }
    if (rest != pattern.suffix) continue;
    result.quantity = pattern.quantity;
    result.path = path;
    return result;
  }
  result.unit.clear();
  return result;
}

std::optional<double> ReportColumn::averageValue() const { return parseNumber(average); }

unsigned ReportData::paths() const {
  unsigned mask = 0;
  for (const ReportColumn& c : columns) {
    if (c.path >= 0) mask |= 1u << c.path;
  }
  return mask;
}

int ReportData::pathCount() const {
  int count = 0;
  for (unsigned mask = paths(); mask != 0; mask >>= 1) count += static_cast<int>(mask & 1u);
  return count;
}

const ReportColumn* ReportData::column(CaptureQuantity quantity, int pathIndex) const {
  for (const ReportColumn& c : columns) {
    if (c.quantity == quantity && c.path == pathIndex) return &c;
  }
  return nullptr;
}

std::string ReportData::velocityUnit() const {
  for (const ReportColumn& c : columns) {
    if (c.quantity == CaptureQuantity::FlowVelocity && !c.unit.empty()) return c.unit;
  }
  return "PI/SEC";
}

bool ReportData::gasMeter() const {
  return aga8Table || column(CaptureQuantity::Compressibility) != nullptr;
}

bool ReportData::comparesPaths() const {
  return pathCount() > 1 && (column(CaptureQuantity::AverageFlowVelocity) != nullptr ||
                             column(CaptureQuantity::AverageSoundSpeed) != nullptr);
}

std::optional<ReportDate> parseReportDate(std::string_view text) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (true) {
    const std::size_t sep = text.find_first_of("-/", start);
    parts.push_back(text.substr(start, sep == std::string_view::npos ? sep : sep - start));
    if (sep == std::string_view::npos) break;
    start = sep + 1;
  }
  if (parts.size() != 3) return std::nullopt;
  const auto month = parseInteger(parts[0]);
  const auto day = parseInteger(parts[1]);
  const auto year = parseInteger(parts[2]);
  if (!month || !day || !year || *month < 1 || *month > 12 || *day < 1 || *day > 31 || *year < 0) {
    return std::nullopt;
  }
  return ReportDate{*month, *day, *year};
}

namespace {

// The log's structure, one line at a time.
class LogParser {
 public:
  explicit LogParser(ReportData& data) : data_(data) {}

  // False as soon as the text cannot be a capture log.
  bool line(std::string_view text);
  bool complete() const {
    return stage_ == Stage::Done && rows_ > 0 && averagesSeen_ && countsSeen_ == 2;
  }

 private:
  enum class Stage { First, Version, Header, Rows, Done };
  enum class Section { None, Calibration, PathTable, Multipoint };

  bool headerLine(std::string_view text);
  void pathTableLine();
  bool rowsLine(std::string_view text);
  bool heading();

  ReportData& data_;
  Stage stage_ = Stage::First;
  Section section_ = Section::None;
  bool sectionHeadingSeen_ = false;
  std::vector<std::string_view> fields_;
  std::array<int, 8> tableColumnPath_{};  // path of each value cell of the path table
  int tableColumns_ = 0;
  long long rows_ = 0;
  bool averagesSeen_ = false;
  int countsSeen_ = 0;
};

bool LogParser::line(std::string_view text) {
  switch (stage_) {
    case Stage::First:
      if (startsWith(text, "\xEF\xBB\xBF")) text.remove_prefix(3);
      if (text != kCaptureLogFirstLine && text != kOlderCaptureLogFirstLine) return false;
      stage_ = Stage::Version;
      return true;
    case Stage::Version:
      if (text.empty()) return true;
      for (std::string_view prefix : kVersionPrefixes) {
        if (startsWith(text, prefix)) {
          stage_ = Stage::Header;
          return true;
        }
      }
      return false;
    case Stage::Header:
      return headerLine(text);
    case Stage::Rows:
      return rowsLine(text);
    case Stage::Done:
      return text.empty();
  }
  return false;
}

bool LogParser::headerLine(std::string_view text) {
  splitFields(text, fields_);
  const std::string_view first = fields_[0];
  const std::string_view value = field(fields_, 1);
  if (first == "Date" && value == "Heure") return heading();
  if (startsWith(text, "____")) {
    // Tables have a rule between their title and their heading too.
    if (sectionHeadingSeen_ || section_ == Section::Multipoint) section_ = Section::None;
    return true;
  }
  if (first == "Index" || first == "Parametre") sectionHeadingSeen_ = true;

  if (section_ == Section::PathTable) {
    pathTableLine();
    return true;
  }
  if (section_ == Section::Calibration && fields_.size() == 3) {
    const auto index = parseNumber(fields_[0]);
    const auto positive = parseNumber(fields_[1]);
    const auto negative = parseNumber(fields_[2]);
    if (index && positive && negative) {
      data_.calibrationTables.back().points.push_back({*index, *positive, *negative});
      return true;
    }
  }
  if (section_ == Section::Multipoint && fields_.size() == 2) {
    const auto correction = parseNumber(fields_[0]);
    const auto flow = parseNumber(fields_[1]);
    if (correction && flow) {
      data_.multipoint.emplace_back(*correction, *flow);
      return true;
    }
  }

  auto text1 = [&] {
    std::string v(value);
    return v == "N/D" ? std::string() : v;
  };
  if (first == "Ref. systeme op debitmetre") {
    data_.osReference = text1();
  } else if (first == "Nom du site") {
    data_.site = text1();
  } else if (first == "Ref. debitmetre") {
    data_.meterPart = text1();
  } else if (first == "No serie debitmetre") {
    data_.meterSerial = text1();
  } else if (first == "Ref. tiroir") {
    data_.spoolPart = text1();
  } else if (first == "No serie tiroir") {
    data_.spoolSerial = text1();
  } else if (first == "Date de fabrication") {
    data_.manufactureDate = text1();
  } else if (first == "Date/heure dernier rapport") {
    // " N/D" (with its blank) when the meter had no last report.
    if (parseReportDate(value)) {
      data_.lastReportDate = std::string(value);
      const std::string_view time = field(fields_, 2);
      int hours = 0;
      if (!time.empty() && std::from_chars(time.data(), time.data() + time.size(), hours).ec ==
                               std::errc{}) {
        data_.lastReportTime = std::string(time);
      }
    }
  } else if (first == "Parametres COMS") {
    data_.comms = std::string(text.substr(first.size() + (text.size() > first.size() ? 1 : 0)));
  } else if (first == "Identificateur de l'emplacement") {
    data_.location = std::string(text.substr(first.size() + (text.size() > first.size() ? 1 : 0)));
  } else if (first == "ID alesage compteur") {
    data_.bore = parseNumber(value);
    data_.boreUnit = std::string(field(fields_, 2));
  } else if (first == "FacteurK") {
    data_.kFactor = parseNumber(value);
    data_.kFactorUnit = std::string(field(fields_, 2));
  } else if (text.find("Tableau de calibration") != std::string_view::npos && fields_.size() == 1) {
    data_.calibrationTables.push_back({std::string(text), {}});
    section_ = Section::Calibration;
    sectionHeadingSeen_ = false;
  } else if (first == "Densite (kg/M3)") {
    data_.aga8Table = true;
  } else if (first == "Facteur amortissement macro") {
    data_.damping = parseNumber(value);
  } else if (first == "Pression de base") {
    data_.basePressure = parseNumber(value);
    data_.basePressureUnit = std::string(field(fields_, 2));
  } else if (first == "Temperature de base") {
    data_.baseTemperature = parseNumber(value);
    data_.baseTemperatureUnit = std::string(field(fields_, 2));
  } else if (first == "Type de calibration") {
    // The path table repeats "Intrinseque"; the system section's type comes first.
    if (data_.calibrationType.empty()) data_.calibrationType = std::string(value);
    if (value == "Kc") data_.kc = parseNumber(field(fields_, 2));
    if (value == "Multipoint") section_ = Section::Multipoint;
  } else if (first == "Parametres configuration chemin") {
    section_ = Section::PathTable;
    sectionHeadingSeen_ = false;
    tableColumns_ = 0;
  }
  return true;
}

void LogParser::pathTableLine() {
  PathParameters& p = data_.pathParameters;
  const std::string_view first = fields_[0];
  if (first == "Parametre") {
    tableColumns_ = 0;
    for (std::size_t i = 1; i < fields_.size() && tableColumns_ < 8; ++i) {
      const std::string_view cell = fields_[i];
      int path = -1;
      for (std::string_view prefix : {std::string_view("Chem "), std::string_view("Canal ")}) {
        if (startsWith(cell, prefix) && cell.size() == prefix.size() + 1 &&
            cell.back() >= '1' && cell.back() <= '4') {
          path = cell.back() - '1';
        }
      }
      if (path < 0) break;
      tableColumnPath_[static_cast<std::size_t>(tableColumns_++)] = path;
      data_.tablePaths |= 1u << path;
    }
    return;
  }
  std::array<std::string, 4>* row = nullptr;
  std::string* unit = nullptr;
  if (first == "Epaisseur paroi tube") {
    row = &p.wallThickness;
    unit = &p.lengthUnit;
  } else if (first == "Diametre interne tube") {
    row = &p.innerDiameter;
    unit = &p.lengthUnit;
  } else if (first == "Taille du transformateur") {
    row = &p.transducerSize;
  } else if (first == "Mode fixation") {
    row = &p.mountMode;
  } else if (first == "Index esp. transformateur") {
    row = &p.spacingIndex;
  } else if (first == "LTN esp. transformateur") {
    row = &p.ltnSpacing;
  } else if (first == "Vsmin") {
    row = &p.soundSpeedMin;
    unit = &p.velocityUnit;
  } else if (first == "Vsmax") {
    row = &p.soundSpeedMax;
    unit = &p.velocityUnit;
  } else if (first == "Code Ftrans" || first == "Freq. porteuse freq. envoi") {
    row = &p.transmitCode;
  } else if (first == "Facteur HF") {
    row = &p.hfFactor;
  } else if (first == "Amortissement numerique (max)") {
    row = &p.digitalDamping;
  }
  if (row == nullptr) return;
  for (int i = 0; i < tableColumns_; ++i) {
    (*row)[static_cast<std::size_t>(tableColumnPath_[static_cast<std::size_t>(i)])] =
        std::string(field(fields_, static_cast<std::size_t>(i) + 1));
  }
  if (unit != nullptr) {
    const std::string_view last = field(fields_, static_cast<std::size_t>(tableColumns_) + 1);
    if (!last.empty()) *unit = std::string(last);
  }
}

bool LogParser::heading() {
  data_.columns.clear();
  for (std::size_t i = 2; i < fields_.size(); ++i) {
    ReportColumn column;
    column.label = std::string(fields_[i]);
    HeadingLabel kind = classifyHeadingLabel(column.label);
    column.quantity = kind.quantity;
    column.path = kind.path;
    column.unit = std::move(kind.unit);
    data_.columns.push_back(std::move(column));
  }
  stage_ = Stage::Rows;
  return true;
}

bool LogParser::rowsLine(std::string_view text) {
  if (text.empty()) return true;
  const char c = text.front();
  if (c >= '0' && c <= '9') {
    if (averagesSeen_) return false;
    // Only the date and time of a row are kept: find the first two fields alone.
    const std::size_t dateEnd = text.find(',');
    if (dateEnd == std::string_view::npos) return false;
    std::size_t timeEnd = text.find(',', dateEnd + 1);
    if (timeEnd == std::string_view::npos) timeEnd = text.size();
    const std::string_view date = text.substr(0, dateEnd);
    const std::string_view time = text.substr(dateEnd + 1, timeEnd - dateEnd - 1);
    if (rows_ == 0) {
      if (!parseReportDate(date)) return false;
      data_.firstDate = std::string(date);
      data_.firstTime = std::string(time);
    }
    data_.lastDate.assign(date);
    data_.lastTime.assign(time);
    ++rows_;
    return true;
  }

  splitFields(text, fields_);
  const std::string_view label = fields_[0];
  const bool averages = label == "Valeur moyenne";
  const bool warnings = label == "Nbre d'avertissements";
  const bool fails = label == "Nbre d'echecs";
  if (averages || warnings || fails) {
    if (rows_ == 0) return false;
    for (std::size_t i = 0; i < data_.columns.size(); ++i) {
      const std::string_view cell = field(fields_, i + 2);
      ReportColumn& column = data_.columns[i];
      if (averages) {
        column.average = std::string(cell);
      } else if (!cell.empty()) {
        const auto count = parseInteger(cell);
        if (!count) return false;
        (warnings ? column.warnings : column.fails) = *count;
      }
    }
    if (averages) averagesSeen_ = true;
    else ++countsSeen_;
    return true;
  }
  if (label == "Minimum" || label == "Maximum" || label == "Limite d'avertissement" ||
      label == "Limite d'echec") {
    return rows_ > 0;
  }
  if (label == "Nbre d'echantillons") {
    const auto samples = parseInteger(field(fields_, 1));
    if (!samples || *samples < 0) return false;
    data_.samples = *samples;
    stage_ = Stage::Done;
    return true;
  }
  return false;
}

// Splits a byte stream into lines (CR LF or LF), carrying a line cut by a
// chunk boundary over to the next chunk.
class LineSplitter {
 public:
  explicit LineSplitter(LogParser& parser) : parser_(parser) {}

  bool feed(const char* data, std::size_t size) {
    const char* end = data + size;
    while (data < end) {
      const char* newline = static_cast<const char*>(std::memchr(data, '\n', static_cast<std::size_t>(end - data)));
      if (newline == nullptr) {
        carry_.append(data, static_cast<std::size_t>(end - data));
        return carry_.size() <= kLongestLine;
      }
      std::string_view line;
      if (carry_.empty()) {
        line = std::string_view(data, static_cast<std::size_t>(newline - data));
      } else {
        carry_.append(data, static_cast<std::size_t>(newline - data));
        line = carry_;
      }
      if (line.size() > kLongestLine) return false;
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      if (!parser_.line(line)) return false;
      carry_.clear();
      data = newline + 1;
    }
    return true;
  }

  bool finish() {
    if (carry_.empty()) return true;
    std::string_view line = carry_;
    if (line.back() == '\r') line.remove_suffix(1);
    return parser_.line(line);
  }

 private:
  LogParser& parser_;
  std::string carry_;
};

std::string lastComponent(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

int rejected(ReportData& data, std::string& message) {
  data = ReportData{};
  message = kBadLogText;
  return -1;
}

}  // namespace

int readCaptureLogText(std::string_view text, ReportData& data, std::string& message) {
  data = ReportData{};
  LogParser parser(data);
  LineSplitter lines(parser);
  if (!lines.feed(text.data(), text.size()) || !lines.finish() || !parser.complete()) {
    return rejected(data, message);
  }
  return 0;
}

int readCaptureLog(const std::string& path, ReportData& data, std::string& message,
                   const std::atomic<int>* cancel) {
  data = ReportData{};
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return rejected(data, message);
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  LogParser parser(data);
  LineSplitter lines(parser);
  const std::unique_ptr<char[]> buffer(new char[kReadChunk]);
  bool good = true;
  while (good) {
    if (cancel != nullptr && cancel->load() != 0) {
      ::close(fd);
      data = ReportData{};
      return -2;
    }
    const ssize_t got = ::read(fd, buffer.get(), kReadChunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      good = got == 0 && lines.finish();
      break;
    }
    good = lines.feed(buffer.get(), static_cast<std::size_t>(got));
  }
  ::close(fd);
  if (!good || !parser.complete()) return rejected(data, message);
  data.path = path;
  data.fileName = lastComponent(path);
  return 0;
}

std::string lastReportPath(const std::string& iniPath) {
  return trimmed(readProfileString(iniPath, "LAST_REPORT", "FILENAME"));
}

}  // namespace tarnlux
