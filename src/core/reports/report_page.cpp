#include "reports/report_page.h"

#include <algorithm>
#include <cmath>

#include "common/version.h"
#include "diag/text_format.h"

namespace tarnlux {

namespace {

using Q = CaptureQuantity;

constexpr double kFeetPerSecondFloor = 0.1;
constexpr double kMetresPerSecondFloor = 0.030487804878048783;
constexpr double kLargestDeviation = 9999999999999.9;

const char* kHeaderLine = "Tarnlux - Norvane";
const char* kGasTitle = "Rapport diagnostic et maint compteur gas ultrasonique";
const char* kLiquidTitle = "Rapport diagnostic et maint compteur fluide ultrasonique";

class PageBuilder {
 public:
  explicit PageBuilder(ReportPage& page) : page_(page) {}

  ReportCell& cell(int row, int first, int last, std::string text, CellAlign align = CellAlign::Left,
                   ReportFont font = ReportFont::Text) {
    ReportCell c;
    c.row = row;
    c.firstColumn = first;
    c.lastColumn = last == first ? -1 : last;
    c.text = std::move(text);
    c.align = align;
    c.font = font;
    page_.cells.push_back(std::move(c));
    return page_.cells.back();
  }
  ReportCell& number(int row, int first, int last, std::string text,
                     CellAlign align = CellAlign::Right) {
    ReportCell& c = cell(row, first, last, std::move(text), align);
    c.kind = CellKind::Number;
    return c;
  }
  // A label right-aligned over `first..last` and its value in the columns after it.
  void labelled(int row, int first, int last, const char* label, std::string value,
                int valueLast, ReportFont labelFont = ReportFont::Text) {
    cell(row, first, last, label, CellAlign::Right, labelFont);
    if (!value.empty()) cell(row, last + 1, valueLast, std::move(value), CellAlign::Left);
  }

 private:
  ReportPage& page_;
};

std::string joined(const std::string& a, const std::string& b) {
  if (a.empty()) return b;
  if (b.empty()) return a;
  return a + " " + b;
}

std::string optionalNumber(const std::optional<double>& value, int decimals) {
  return value ? reportNumber(*value, decimals) : std::string();
}

std::string averageText(const ReportData& log, Q quantity, int path = -1) {
  const ReportColumn* c = log.column(quantity, path);
  if (c == nullptr) return {};
  const auto value = c->averageValue();
  if (value && std::fabs(*value) >= 1e9) return formatText("%.1E", *value);
  return c->average;
}

// The first path in the log's path table, for the set-up values shown once.
int firstTablePath(const ReportData& log) {
  for (int p = 0; p < 4; ++p) {
    if ((log.tablePaths & (1u << p)) != 0) return p;
  }
  return -1;
}

std::string pathParameter(const ReportData& log, const std::array<std::string, 4>& row) {
  const int p = firstTablePath(log);
  return p < 0 ? std::string() : row[static_cast<std::size_t>(p)];
}

void header(PageBuilder& b, const ReportData& log) {
  b.cell(0, 0, 8, kHeaderLine, CellAlign::Left, ReportFont::Header);
  b.cell(1, 9, 17, log.gasMeter() ? kGasTitle : kLiquidTitle, CellAlign::Centre,
         ReportFont::Title);
  b.cell(1, 18, 19, std::string("Version ") + kProgramVersion, CellAlign::Right);
}

// The identity block, rows 2 to 4: site, location and technician on the left,
// the part and serial numbers in the middle; the page's own item beside the
// site and its three report times or counts on the right.
using LabelledText = std::pair<const char*, std::string>;
void identity(PageBuilder& b, const ReportData& log, const LabelledText& besideSite,
              const std::array<LabelledText, 3>& right) {
  b.labelled(2, 0, 1, "Nom site compteur:", log.site, 4);
  b.labelled(2, 5, 7, besideSite.first, besideSite.second, 9);
  b.labelled(3, 0, 1, "Empl/No pt m:", log.location, 4);
  b.labelled(3, 5, 7, "N pce cpt.:", log.meterPart, 9);
  b.labelled(3, 10, 11, "NS:", log.meterSerial, 13);
  b.labelled(4, 0, 1, "Nom technicien:", "", 4);
  b.labelled(4, 5, 7, "N pce t.cyl:", log.spoolPart, 9);
  b.labelled(4, 10, 11, "NS:", log.spoolSerial, 13);
  for (int i = 0; i < 3; ++i) {
    const LabelledText& item = right[static_cast<std::size_t>(i)];
    b.labelled(2 + i, 14, 16, item.first, item.second, 19);
  }
}

std::string flowUnits(const ReportData& log) {
  for (const ReportColumn& c : log.columns) {
    if (c.quantity == Q::Flow && !c.unit.empty()) return c.unit;
  }
  return {};
}

// A chart of one value per path, bars side by side.
ReportChart pathChart(const ReportData& log, std::string title, Q quantity, bool soundSpeed,
                      int firstColumn) {
  ReportChart chart;
  chart.title = std::move(title);
  chart.firstRow = 34;
  chart.lastRow = 40;
  chart.firstColumn = firstColumn;
  chart.lastColumn = firstColumn + 4;
  double lo = 0;
  double hi = 0;
  for (int p = 0; p < 4; ++p) {
    const ReportColumn* c = log.column(quantity, p);
    const auto value = c != nullptr ? c->averageValue() : std::nullopt;
    if (!value) continue;
    if (chart.marks.empty()) lo = hi = *value;
    lo = std::min(lo, *value);
    hi = std::max(hi, *value);
    chart.marks.push_back({0, p, *value});
    chart.legendPaths |= 1u << p;
  }
  chart.axis = chart.marks.empty() ? emptyReportChartAxis(false) : reportChartAxis(hi, lo, soundSpeed);
  return chart;
}

ReportChart deviationChart(const ReportData& log, std::string title, Q quantity, int firstColumn) {
  ReportChart chart;
  chart.title = std::move(title);
  chart.firstRow = 34;
  chart.lastRow = 40;
  chart.firstColumn = firstColumn;
  chart.lastColumn = firstColumn + 4;
  std::vector<double> values;
  std::vector<int> paths;
  for (int p = 0; p < 4; ++p) {
    const ReportColumn* c = log.column(quantity, p);
    if (const auto value = c != nullptr ? c->averageValue() : std::nullopt) {
      values.push_back(*value);
      paths.push_back(p);
    }
  }
  const std::vector<double> deviations = deviationsPercent(values, log.metric());
  for (std::size_t i = 0; i < deviations.size(); ++i) {
    chart.marks.push_back({0, paths[i], deviations[i]});
    chart.legendPaths |= 1u << paths[i];
  }
  chart.axis = deviationAxis(values, log.metric());
  return chart;
}

}  // namespace

const ReportCell* ReportPage::find(std::string_view text) const {
  for (const ReportCell& c : cells) {
    if (c.text == text) return &c;
  }
  return nullptr;
}

const ReportCell* ReportPage::at(int row, int column) const {
  for (const ReportCell& c : cells) {
    if (c.row == row && c.firstColumn == column) return &c;
  }
  return nullptr;
}

std::string reportNumber(double value, int decimals) {
  if (std::fabs(value) >= 1e9) return formatText("%.1E", value);
  return formatText("%.*f", decimals, value);
}

std::vector<double> deviationsPercent(const std::vector<double>& values, bool metric) {
  std::vector<double> out;
  if (values.size() < 2) return out;
  double mean = 0;
  for (double v : values) mean += v;
  mean /= static_cast<double>(values.size());
  const double floor = metric ? kMetresPerSecondFloor : kFeetPerSecondFloor;
  const double divisor = std::max(std::fabs(mean), floor);
  for (double v : values) out.push_back((v - mean) / divisor * 100);
  return out;
}

YAxis deviationAxis(const std::vector<double>& values, bool metric) {
  YAxis axis;
  if (values.size() < 2) {
    axis = emptyReportChartAxis(true);
    axis.labels[2].clear();
    return axis;
  }
  double largest = 0;
  for (double d : deviationsPercent(values, metric)) largest = std::max(largest, std::fabs(d));
  const double margin = largest + largest / 10;
  double end = 0;
  int decimals = 2;
  const char* middle = nullptr;
  if (margin <= 999.98) {
    end = margin <= 0.02 ? 0.02 : std::ceil(margin / 0.02 - 1e-9) * 0.02;
    decimals = 2;
    middle = "0.00%";
  } else if (margin <= 9999.8) {
    end = std::ceil(margin / 0.2 - 1e-9) * 0.2;
    decimals = 1;
    middle = "0.0%";
  } else {
    end = std::min(std::ceil(margin), kLargestDeviation);
    decimals = 0;
    middle = "0%";
  }
  axis.top = end;
  axis.upperQuarter = end / 2;
  axis.middle = 0;
  axis.lowerQuarter = -end / 2;
  axis.bottom = -end;
  auto label = [decimals](double v) { return formatText("%.*f%%", decimals, v); };
  axis.labels = {label(end), label(end / 2), middle, label(-end / 2), label(-end)};
  return axis;
}

ReportPage singleReportPage(const ReportData& log) {
  ReportPage page;
  PageBuilder b(page);
  header(b, log);

  identity(b, log, {"Heure & Date dernier rap:", joined(log.lastReportTime, log.lastReportDate)},
           {{{"Hre & Date debut rapport:", joined(log.firstTime, log.firstDate)},
             {"Heure & Date fin rapport:", joined(log.lastTime, log.lastDate)},
             {"Nbre d'echantillons:", formatText("%d", log.samples)}}});

  // Section titles, row 6.
  b.cell(6, 0, 3, "Donnees compteur", CellAlign::Left, ReportFont::Section);
  b.cell(6, 5, 9, "Moyennes duree rapport:", CellAlign::Left, ReportFont::Section);
  b.cell(6, 14, 16, "Param compt:", CellAlign::Left, ReportFont::Section);
  b.cell(6, 19, 19, "Unites", CellAlign::Centre, ReportFont::Section);

  // Meter block, rows 7 to 9.
  const std::string velocity = log.velocityUnit();
  const PathParameters& pp = log.pathParameters;
  const std::string lengthUnit = !pp.lengthUnit.empty() ? pp.lengthUnit : log.boreUnit;
  b.labelled(7, 0, 1, "Syst d'exploitation:", log.osReference, 4);
  b.labelled(8, 0, 1, "Date de fabrication", log.manufactureDate, 4);
  {
    std::string flowVelocity = averageText(log, Q::AverageFlowVelocity);
    if (flowVelocity.empty()) flowVelocity = averageText(log, Q::FlowVelocity, firstTablePath(log));
    if (flowVelocity.empty()) {
      for (int p = 0; p < 4 && flowVelocity.empty(); ++p) flowVelocity = averageText(log, Q::FlowVelocity, p);
    }
    std::string soundSpeed = averageText(log, Q::AverageSoundSpeed);
    for (int p = 0; p < 4 && soundSpeed.empty(); ++p) soundSpeed = averageText(log, Q::SoundSpeed, p);
    b.labelled(7, 5, 7, "Vitesse flux moy.:", flowVelocity.empty() ? "" : flowVelocity + " " + velocity, 9);
    b.labelled(8, 5, 7, "ViS moy", soundSpeed.empty() ? "" : soundSpeed + " " + velocity, 9);
  }
  auto parameter = [&](int row, const char* label, std::string value, std::string unit) {
    b.cell(row, 14, 16, label, CellAlign::Right);
    if (!value.empty()) {
      b.number(row, 17, 18, std::move(value));
      if (!unit.empty()) b.cell(row, 19, 19, std::move(unit), CellAlign::Left);
    }
  };
  parameter(7, "Diam int tiroir:", optionalNumber(log.bore, 3), log.boreUnit);
  parameter(8, "Diam int chemin:", pathParameter(log, pp.innerDiameter), lengthUnit);
  parameter(9, "Epaisseur paroi:", pathParameter(log, pp.wallThickness), lengthUnit);

  // Path averages, coloured from the warning and fail counts.
  b.cell(10, 1, 4, "Moyennes rapports", CellAlign::Centre, ReportFont::Section);
  for (int p = 0; p < 4; ++p) {
    b.cell(11, 1 + p, 1 + p, formatText("%s%d", "Chem ", p + 1), CellAlign::Centre).frame = true;
  }
  {
    ReportCell& warn = b.cell(11, 5, 5, "Attention", CellAlign::Centre);
    warn.fill = rgbOf(GradeColour::Yellow);
    warn.frame = true;
    ReportCell& fail = b.cell(11, 6, 6, "Echecs", CellAlign::Centre);
    fail.fill = rgbOf(GradeColour::Red);
    fail.frame = true;
  }
  const bool nanoseconds = [&] {
    for (const ReportColumn& c : log.columns) {
      if (c.quantity == Q::DeltaTime) return c.unit == "nS";
    }
    return false;
  }();
  const char* deltaLabel = nanoseconds ? "T delta nanosec:" : "T delta misec:";
  struct Figure {
    const char* label;
    std::optional<Q> quantity;
    const std::array<std::string, 4>* setting;  // a path table row instead of a column
  };
  auto figureRow = [&](int row, const Figure& f) {
    b.cell(row, 0, 0, f.label, CellAlign::Left);
    int warnings = 0;
    int fails = 0;
    bool counted = false;
    for (int p = 0; p < 4; ++p) {
      if (f.setting != nullptr) {
        const std::string& v = (*f.setting)[static_cast<std::size_t>(p)];
        if (!v.empty()) b.number(row, 1 + p, 1 + p, v, CellAlign::Centre).frame = true;
        continue;
      }
      const ReportColumn* c = log.column(*f.quantity, p);
      if (c == nullptr) continue;  // a path not in the log stays empty
      counted = true;
      warnings += c->warnings;
      fails += c->fails;
      ReportCell& cell = b.number(row, 1 + p, 1 + p, averageText(log, *f.quantity, p), CellAlign::Centre);
      cell.fill = rgbOf(c->grade());
      cell.frame = true;
    }
    if (counted) {
      b.number(row, 5, 5, formatText("%d", warnings), CellAlign::Centre).frame = true;
      b.number(row, 6, 6, formatText("%d", fails), CellAlign::Centre).frame = true;
    }
  };
  const Figure figures[] = {
      {"ALC(up)", Q::AlcUp, nullptr},
      {"ALC(dn)", Q::AlcDown, nullptr},
      {"SNR(up)", Q::SnrUp, nullptr},
      {"SNR(dn)", Q::SnrDown, nullptr},
      {"Q correlation:", Q::Correlation, nullptr},
      {"Tamp CAN%:", Q::AdcBuffer, nullptr},
      {"%Accepte", Q::Accepted, nullptr},
      {"Chang. env:", Q::EnvelopeChange, nullptr},
      {"Etat", Q::Status, nullptr},
      {"Bursts/sec", Q::TransmitRate, nullptr},
      {deltaLabel, Q::DeltaTime, nullptr},
      {"Amortiss num", std::nullopt, &pp.digitalDamping},
      {"Facteur HF", std::nullopt, &pp.hfFactor},
      {"Fx", std::nullopt, &pp.transmitCode},
  };
  int row = 12;
  for (const Figure& f : figures) figureRow(row++, f);
  b.cell(row++, 0, 2, "NullTrack", CellAlign::Left, ReportFont::Section);
  figureRow(row++, {"ALC moyen", Q::NullTrackAlc, nullptr});
  figureRow(row++, {deltaLabel, Q::NullTrackDeltaTime, nullptr});
  b.cell(row++, 0, 2, "Flux et ViS", CellAlign::Left, ReportFont::Section);
  figureRow(row++, {"Debit", Q::Flow, nullptr});
  figureRow(row++, {"Vitesse flux", Q::FlowVelocity, nullptr});
  figureRow(row++, {"VitS", Q::SoundSpeed, nullptr});

  // Meter parameters, columns 14 to 19.
  std::string velocityShort = pp.velocityUnit;
  parameter(10, "Taille du transformateur", pathParameter(log, pp.transducerSize), "");
  parameter(11, "Mode fixation", pathParameter(log, pp.mountMode), "");
  parameter(12, "Index espacement:", pathParameter(log, pp.spacingIndex), "");
  parameter(13, "LTN espacement:", pathParameter(log, pp.ltnSpacing), lengthUnit);
  parameter(14, "VitS min:", pathParameter(log, pp.soundSpeedMin), velocityShort);
  parameter(15, "VitS max:", pathParameter(log, pp.soundSpeedMax), velocityShort);
  parameter(16, "Tableau AGA8:", log.aga8Table ? "ON" : "OFF", "");
  parameter(17, "Facteur K:", optionalNumber(log.kFactor, 3), log.kFactorUnit);
  parameter(18, "Fact amort:", optionalNumber(log.damping, 0), log.damping ? "Secondes" : "");
  parameter(19, "Pression base:", optionalNumber(log.basePressure, 2), log.basePressureUnit);
  parameter(20, "Temp base:", optionalNumber(log.baseTemperature, 2), log.baseTemperatureUnit);
  {
    const ReportColumn* pressure = log.column(Q::Pressure);
    const ReportColumn* temperature = log.column(Q::Temperature);
    parameter(21, "Pression moyenne:", averageText(log, Q::Pressure),
              pressure != nullptr ? pressure->unit : "");
    parameter(22, "Temp indiquee:", averageText(log, Q::Temperature),
              temperature != nullptr ? temperature->unit : "");
  }
  b.cell(23, 14, 16, "Unites debit:", CellAlign::Right, ReportFont::SignOff);
  b.cell(23, 17, 19, flowUnits(log), CellAlign::Left);

  // Calibration, from row 25.
  b.cell(25, 8, 10, "Fact calibration:", CellAlign::Left, ReportFont::Section);
  b.cell(26, 8, 9, "Kc fixe =", CellAlign::Right);
  if (log.kc) b.number(26, 10, 10, formatText("%.2f%%", *log.kc), CellAlign::Left);
  b.cell(27, 8, 12, "Comp Multipoint: debit reel", CellAlign::Left);
  b.cell(28, 9, 10, "Mult debitpos", CellAlign::Centre);
  b.cell(28, 11, 12, "Mult debitneg", CellAlign::Centre);
  int calibrationRow = 29;
  if (!log.calibrationTables.empty()) {
    for (const ReportCalibrationTable::Point& point : log.calibrationTables.front().points) {
      if (calibrationRow > 33) break;  // the charts start below
      b.number(calibrationRow, 8, 8, formatText("%.3f", point.index));
      b.number(calibrationRow, 9, 10, formatText("%.4f", point.positive), CellAlign::Centre);
      b.number(calibrationRow, 11, 12, formatText("%.4f", point.negative), CellAlign::Centre);
      ++calibrationRow;
    }
  }

  // Charts.
  page.charts.push_back(pathChart(log, "Vit debit chemin", Q::FlowVelocity, false, 0));
  page.charts.push_back(pathChart(log, "ViS chemin", Q::SoundSpeed, true, 5));
  if (log.comparesPaths()) {
    page.charts.push_back(deviationChart(log, "Deviation vitesse chemin debit", Q::FlowVelocity, 10));
    page.charts.push_back(deviationChart(log, "Ecart ViS chemin", Q::SoundSpeed, 15));
  }

  // Sign-off.
  b.cell(41, 0, 1, "Valide par:", CellAlign::Right, ReportFont::SignOff);
  b.cell(41, 5, 6, formatText("%s:", "Date"), CellAlign::Right, ReportFont::SignOff);
  b.cell(41, 10, 11, "Nom fich.:", CellAlign::Right, ReportFont::SignOff);
  b.cell(41, 12, 19, log.fileName, CellAlign::Left);
  b.cell(42, 0, 1, "Commentaires:", CellAlign::Right, ReportFont::SignOff);
  b.cell(42, 17, 19, formatText("%s 1 %s 1", "Page", "de"), CellAlign::Right,
         ReportFont::PageNumber);
  return page;
}

namespace {

struct TrendQuantity {
  std::string title;
  Q quantity;
  std::optional<Q> down;
  bool site;
  bool soundSpeed;
  double scale;  // nanoseconds shown in microseconds
};

constexpr double kMetresPerFoot = 0.3048;

// Velocities of every log in the unit of the page (a folder may hold logs of
// both unit systems).
std::optional<double> trendValue(const ReportData& log, const TrendQuantity& q, int path,
                                 bool metricPage) {
  const ReportColumn* c = log.column(q.quantity, path);
  std::optional<double> value = c != nullptr ? c->averageValue() : std::nullopt;
  if (q.down) {
    const ReportColumn* d = log.column(*q.down, path);
    const std::optional<double> down = d != nullptr ? d->averageValue() : std::nullopt;
    if (value && down) value = (*value + *down) / 2;
    else if (!value) value = down;
  }
  if (value && q.quantity == Q::NullTrackDeltaTime && c != nullptr && c->unit == "nS") {
    *value /= 1000;
  }
  const bool velocity = q.quantity == Q::FlowVelocity || q.quantity == Q::SoundSpeed;
  if (value && velocity && log.metric() != metricPage) {
    *value = metricPage ? *value * kMetresPerFoot : *value / kMetresPerFoot;
  }
  return value;
}

}  // namespace

std::vector<ReportPage> multiReportPages(const std::vector<ReportData>& logs) {
  std::vector<ReportPage> pages;
  if (logs.empty()) return pages;
  const ReportData& first = logs.front();
  const ReportData& last = logs.back();
  const bool metric = last.metric();
  const std::string velocity = metric ? "M/SEC" : "PI/SEC";
  char temperatureLetter = metric ? 'C' : 'F';
  if (const ReportColumn* t = last.column(Q::Temperature); t != nullptr && t->unit.size() == 1) {
    temperatureLetter = t->unit[0];
  }
  const std::vector<TrendQuantity> quantities = {
      {formatText("%s(%s)", "Vitesse flux", velocity.c_str()), Q::FlowVelocity, {}, false, false, 1},
      {formatText("%s(%s)", "Vit. sonique", velocity.c_str()), Q::SoundSpeed, {}, false, true, 1},
      {"Niveau gain(ALC)", Q::AlcUp, Q::AlcDown, false, false, 1},
      {"Ratio signal-bruit", Q::SnrUp, Q::SnrDown, false, false, 1},
      {"Niveau gain NullTrack", Q::NullTrackAlc, {}, false, false, 1},
      {formatText("%s(%s)", "T delta NullTrack", "uS"), Q::NullTrackDeltaTime, {}, false, false, 1},
      {formatText("%s(%c)", "Temperature gas", temperatureLetter), Q::Temperature, {}, true, false, 1},
      {last.gasMeter() ? "Pression gas" : "Pression fluide", Q::Pressure, {}, true, false, 1},
  };
  constexpr int kChartsPerPage = 4;
  const int pageCount = static_cast<int>((quantities.size() + kChartsPerPage - 1) / kChartsPerPage);
  for (int pageIndex = 0; pageIndex < pageCount; ++pageIndex) {
    ReportPage page;
    PageBuilder b(page);
    header(b, last);
    identity(b, last, {"Syst d'exploitation:", last.osReference},
             {{{"Date premier rapport:", joined(first.firstTime, first.firstDate)},
               {"Date dernier rapport:", joined(last.firstTime, last.firstDate)},
               {"Nombre de rapports:", formatText("%d", static_cast<int>(logs.size()))}}});
    b.labelled(5, 5, 7, "Date de fabrication", last.manufactureDate, 9);

    for (int k = 0; k < kChartsPerPage; ++k) {
      const std::size_t qi = static_cast<std::size_t>(pageIndex * kChartsPerPage + k);
      if (qi >= quantities.size()) break;
      const TrendQuantity& q = quantities[qi];
      ReportChart chart;
      chart.title = q.title;
      chart.bars = false;
      chart.firstRow = k < 2 ? 7 : 24;
      chart.lastRow = k < 2 ? 22 : 39;
      chart.firstColumn = (k % 2) * 10;
      chart.lastColumn = chart.firstColumn + 9;
      chart.slotCount = static_cast<int>(logs.size());
      double lo = 0;
      double hi = 0;
      for (std::size_t i = 0; i < logs.size(); ++i) {
        chart.slotLabels.push_back(logs[i].firstDate);
        for (int p = q.site ? -1 : 0; p < (q.site ? 0 : 4); ++p) {
          const auto value = trendValue(logs[i], q, p, metric);
          if (!value) continue;
          if (chart.marks.empty()) lo = hi = *value;
          lo = std::min(lo, *value);
          hi = std::max(hi, *value);
          const int colourPath = p < 0 ? 0 : p;
          chart.marks.push_back({static_cast<int>(i), colourPath, *value});
          if (p >= 0) chart.legendPaths |= 1u << p;
        }
      }
      chart.axis = chart.marks.empty() ? emptyReportChartAxis(false)
                                       : reportChartAxis(hi, lo, q.soundSpeed);
      page.charts.push_back(std::move(chart));
    }
    if (pageCount > 1) {
      b.cell(42, 17, 19, formatText("%s %d %s %d", "Page", pageIndex + 1, "de", pageCount),
             CellAlign::Right, ReportFont::PageNumber);
    }
    pages.push_back(std::move(page));
  }
  return pages;
}

}  // namespace tarnlux
