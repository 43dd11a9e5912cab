#include "diag/capture_header.h"

#include <array>

#include "common/version.h"
#include "diag/text_format.h"

namespace tarnlux {

namespace {

constexpr double kMillimetresPerInch = 25.4;
const std::string kUnderscoreLine = std::string(78, '_') + "\n";
const std::string kDashLine = std::string(78, '-') + "\n";

struct VolumeNames {
  const char* meterWord;
  std::array<const char*, 4> actual;  // SEC, MIN, HR, DAY
  std::array<const char*, 4> standard;
};

const std::array<VolumeNames, 6> kVolumeNames{{
    {"CU FT", {"PCAS", "PCAM", "PCAH", "PCAJ"}, {"PCSS", "PCSM", "PCSH", "PCSJ"}},
    {"KCU FT", {"MPCAS", "MPCAM", "MPCAH", "MPCAJ"}, {"MPCSS", "MPCSM", "MPCSH", "MPCSJ"}},
    {"MCU FT", {"MMPCAS", "MMPCAM", "MMPCAH", "MMPCAJ"}, {"MMPCSS", "MMPCSM", "MMPCSH", "MMPCSJ"}},
    {"CU M", {"M3/SEC", "M3/MIN", "M3/HR", "M3/JR"}, {"M3N/SEC", "M3N/MIN", "M3N/HR", "M3N/JR"}},
    {"KCU M",
     {"E3 M3/SEC", "E3 M3/MIN", "E3 M3/HR", "E3 M3/JR"},
     {"E3 M3N/SEC", "E3 M3N/MIN", "E3 M3N/HR", "E3 M3N/JR"}},
    {"MCU M",
     {"E6 M3/SEC", "E6 M3/MIN", "E6 M3/HR", "E6 M3/JR"},
     {"E6 M3N/SEC", "E6 M3N/MIN", "E6 M3N/HR", "E6 M3N/JR"}},
}};
constexpr std::array<std::string_view, 4> kTimeWords{"SEC", "MIN", "HR", "DAY"};

const char* parityWord(unsigned parityCode) {
  if (parityCode == 0) return "AUCUN";
  if (parityCode == 2) return "PAIR";
  return "IMPAIR";
}

bool containsAny(std::string_view text, std::initializer_list<std::string_view> words) {
  for (std::string_view word : words) {
    if (text.find(word) != std::string_view::npos) return true;
  }
  return false;
}

const char* velocityUnits(const CaptureLayout& layout) {
  return layout.metricVelocity ? "M/SEC" : "PI/SEC";
}

// Lengths are held in inches and shown in the meter's length unit.
struct LengthUnits {
  bool metric = false;
  double operator()(double inches) const { return metric ? inches * kMillimetresPerInch : inches; }
  const char* name() const { return metric ? "Millimetres" : "pouces"; }
};

void appendCalibrationTables(std::string& out, const CaptureHeaderFacts& facts,
                             const CaptureLayout& layout) {
  for (const CalibrationTable& table : facts.configuration.calibrationTables) {
    const int points = static_cast<int>(table.points.size());
    if (containsAny(table.name, {"Flow", "Debit", "Portata", "D.fluss", "Caudal"})) {
      appendFormat(out, "\n%s(%s) %s %d\n", table.name.c_str(), layout.flowUnits.c_str(),
                   "Tableau de calibration", points);
    } else if (containsAny(table.name, {"Vs", "Vitesse sonique", "Schallgesch."})) {
      appendFormat(out, "\n%s(%s) %s %d\n", table.name.c_str(), "metre(s)/sec",
                   "Tableau de calibration", points);
    } else {
      appendFormat(out, "\n%s %s %d\n", table.name.c_str(), "Tableau de calibration", points);
    }
    out += kUnderscoreLine;
    out += kDashLine;
    out += "Index,Correction pos,Correction neg\n";
    for (const CalibrationPoint& point : table.points) {
      appendFormat(out, "%.3f,%.4f,%.4f\n", point.index, point.positiveCorrection,
                   point.negativeCorrection);
    }
    out += kUnderscoreLine;
  }
}

void appendAga8Grid(std::string& out, const char* title, const Aga8Grid& grid,
                    const std::array<std::array<double, kAga8GridSize>, kAga8GridSize>& values,
                    const std::string& pressureUnits, char temperatureUnit) {
  appendFormat(out, "%s\n", title);
  out += kUnderscoreLine;
  out += kDashLine;
  appendFormat(out, ",,,,%s%s)\n", "Pression (", pressureUnits.c_str());
  const auto& p = grid.pressures;
  appendFormat(out, "%s %c),%.1f,%.1f,%.1f,%.1f,%.1f,%.1f,%.1f,%.1f,%.1f,%.1f\n",
               "Temperature (deg ", temperatureUnit, p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7],
               p[8], p[9]);
  for (std::size_t t = 0; t < kAga8GridSize; ++t) {
    const auto& v = values[t];
    appendFormat(out, "%.1f,%.4f,%.4f,%.4f,%.4f,%.4f,%.4f,%.4f,%.4f,%.4f,%.4f\n",
                 grid.temperatures[t], v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9]);
  }
  out += "\n";
}

void appendAga8Tables(std::string& out, const CaptureHeaderFacts& facts) {
  if (!facts.configuration.aga8Table) return;
  // The grid's temperatures are in the meter's unit; a meter that names none
  // shows Fahrenheit.
  const char unit = facts.identity.temperatureUnit != '\0' ? facts.identity.temperatureUnit : 'F';
  const Aga8Grid& grid = facts.configuration.aga8;
  appendFormat(out, "\n%s\n", "Tableau consultation AGA8");
  appendAga8Grid(out, "Densite (kg/M3)", grid, grid.density, facts.identity.pressureUnit, unit);
  appendAga8Grid(out, "Facteur-Z", grid, grid.compressibility, facts.identity.pressureUnit, unit);
  out += kUnderscoreLine;
}

unsigned reynoldsNumber(double value) {
  if (!(value > 0)) return 0;
  if (value >= 4294967295.0) return 4294967295u;
  return static_cast<unsigned>(value);
}

void appendReynoldsTable(std::string& out, const CaptureHeaderFacts& facts) {
  if (!facts.configuration.reynoldsTable) return;
  appendFormat(out, "\n%s\n", "Tableau NR");
  out += kUnderscoreLine;
  out += kDashLine;
  out += "No Reynolds,Correction pos,Correction neg\n";
  for (const ReynoldsPoint& point : facts.configuration.reynolds) {
    appendFormat(out, "%u,%.4f,%.4f\n", reynoldsNumber(point.reynoldsNumber),
                 point.positiveCorrection, point.negativeCorrection);
  }
  out += kUnderscoreLine;
}

void appendSystemParameters(std::string& out, const CaptureHeaderFacts& facts,
                            const CaptureLayout& layout) {
  const ChannelIdentityAnswer& id = facts.identity;
  const LengthUnits length{id.lengthUnits == 1};
  appendFormat(out, "\n%s\n", "Parametres de configuration du systeme ");
  out += kUnderscoreLine;
  out += kDashLine;
  out += "Parametre,Valeur,Unites\n";
  appendFormat(out, "%s,%.3f,%s\n", "Diametre tube", length(id.pipeOutsideDiameter), length.name());
  appendFormat(out, "%s,%.3f,%s\n", "Epaisseur paroi tube", length(id.pipeWallThickness),
               length.name());
  appendFormat(out, "%s,%.3f,%s\n", "Diametre interne tube",
               length(id.pipeOutsideDiameter - 2 * id.pipeWallThickness), length.name());
  appendFormat(out, "%s,%.0f,%s\n", "Facteur amortissement macro", id.macroDamping, "Secondes");
  appendFormat(out, "%s,%.3f,%s\n", "Zone morte", id.deadZone, velocityUnits(layout));
  if (!id.pressureUnit.empty()) {
    appendFormat(out, "%s,%.2f,%s\n", "Pression de base", id.basePressure, id.pressureUnit.c_str());
  } else {
    appendFormat(out, "%s,%.2f\n", "Pression de base", id.basePressure);
  }
  if (id.temperatureUnit != '\0') {
    appendFormat(out, "%s,%.2f,%s%c\n", "Temperature de base", id.baseTemperature, "Deg ",
                 id.temperatureUnit);
  } else {
    appendFormat(out, "%s,%.2f\n", "Temperature de base", id.baseTemperature);
  }
  const MeterConfiguration& config = facts.configuration;
  if (config.calibrationType == CalibrationType::Kc) {
    appendFormat(out, "%s,%s,%.2f%%\n", "Type de calibration", "Kc", config.kcPercent);
  } else if (config.calibrationType == CalibrationType::MultiPoint) {
    appendFormat(out, "%s,%s\n", "Type de calibration", "Multipoint");
    appendFormat(out, "%s,%s\n", "Correction", "Debit");
    for (const MultipointPoint& point : config.multipoint) {
      appendFormat(out, "%.4f,%.4f\n", point.correction, point.flow);
    }
  }
  out += kUnderscoreLine;
}

// One line per parameter with one cell per captured path.
class PathTable {
 public:
  PathTable(std::string& out, const CaptureHeaderFacts& facts) : out_(out), facts_(facts) {}

  // "label," then "value," per path, then the units.
  template <typename Value>
  void numbers(const char* label, int decimals, Value value, const char* units) {
    appendFormat(out_, "%s,", label);
    for (const ChannelSetupAnswer* setup : paths()) {
      if (decimals == 2) {
        appendFormat(out_, "%.2f,", value(*setup));
      } else {
        appendFormat(out_, "%.3f,", value(*setup));
      }
    }
    appendFormat(out_, "%s\n", units);
  }

  // "label" then ",cell" per path.
  template <typename Cell>
  void cells(const char* label, Cell cell) {
    out_ += label;
    for (const ChannelSetupAnswer* setup : paths()) {
      out_ += ',';
      out_ += cell(*setup);
    }
    out_ += "\n";
  }

 private:
  std::vector<const ChannelSetupAnswer*> paths() const {
    std::vector<const ChannelSetupAnswer*> list;
    for (int p = 0; p < kMeasuredPaths; ++p) {
      if ((facts_.capturedPaths >> p & 1u) != 0) {
        list.push_back(&facts_.pathSetup[static_cast<std::size_t>(p)]);
      }
    }
    return list;
  }

  std::string& out_;
  const CaptureHeaderFacts& facts_;
};

void appendPathParameters(std::string& out, const CaptureHeaderFacts& facts,
                          const CaptureLayout& layout, const MeasurementStore& readings) {
  const ChannelIdentityAnswer& id = facts.identity;
  PathTable table(out, facts);
  const LengthUnits length{id.lengthUnits == 1};
  appendFormat(out, "\n%s\n", "Parametres configuration chemin");
  out += kUnderscoreLine;
  out += kDashLine;
  out += "Parametre,";
  for (int p = 0; p < kMeasuredPaths; ++p) {
    if ((facts.capturedPaths >> p & 1u) == 0) continue;
    appendFormat(out, "%s%d,", facts.multiPath ? "Chem " : "Canal ", p + 1);
  }
  out += "Unites\n";

  using Setup = ChannelSetupAnswer;
  const double outside = id.pipeOutsideDiameter;
  const double wall = id.pipeWallThickness;
  table.numbers(
      "Diametre tube", 3, [&](const Setup&) { return length(outside); }, length.name());
  table.numbers(
      "Epaisseur paroi tube", 3, [&](const Setup&) { return length(wall); }, length.name());
  table.numbers(
      "Diametre interne tube", 3, [&](const Setup&) { return length(outside - 2 * wall); },
      length.name());
  table.cells("Taille du transformateur", [](const Setup& s) { return s.transducerSize; });
  table.cells("Mode fixation", [](const Setup& s) { return s.mountingMode; });
  table.cells("Index esp. transformateur",
              [](const Setup& s) { return formatText("%d", static_cast<int>(s.spacingIndex)); });
  table.numbers(
      "LTN esp. transformateur", 3, [&](const Setup& s) { return length(s.spacingLtn); },
      length.name());
  // The system block names Kc and multipoint calibrations; an intrinsic one is
  // named here, so a log never names two calibration types.
  if (facts.configuration.calibrationType == CalibrationType::Intrinsic) {
    appendFormat(out, "%s,%s\n", "Type de calibration", "Intrinseque");
  }
  table.numbers(
      "Longueur chemin", 3, [&](const Setup& s) { return length(s.pathLength); }, length.name());
  table.numbers(
      "Decalage axial", 3, [&](const Setup& s) { return length(s.axialOffset); }, length.name());
  const char* speedUnits = layout.metricVelocity ? "mps" : "pps";
  table.numbers(
      "Vsmin", 2, [](const Setup& s) { return s.vsMin; }, speedUnits);
  table.numbers(
      "Vsmax", 2, [](const Setup& s) { return s.vsMax; }, speedUnits);
  table.cells(layout.echofluxMode ? "Freq. porteuse freq. envoi" : "Code Ftrans",
              [](const Setup& s) { return formatText("%d", static_cast<int>(s.transmitCode)); });
  table.cells("Facteur HF", [](const Setup& s) { return formatText("%.3f", s.hfFactor); });
  table.cells("Amortissement numerique (max)",
              [](const Setup& s) { return formatText("%d", static_cast<int>(s.dampingMax)); });

  if (layout.echofluxMode) {
    // The Echoflux mode runs on one channel: the first captured one.
    int channel = 0;
    while (channel < kMeasuredPaths - 1 && (facts.capturedPaths >> channel & 1u) == 0) ++channel;
    const ChannelSetupAnswer& setup = facts.pathSetup[static_cast<std::size_t>(channel)];
    const EchofluxReadings& echo = readings.echoflux[static_cast<std::size_t>(channel)];
    const char* units = velocityUnits(layout);
    appendFormat(out, "%s,%s,%s\n", "Limite faible", formatText("%.3f", setup.lowFlowLimit).c_str(),
                 units);
    appendFormat(out, "%s,%s,%s\n", "Limite elevee",
                 formatText("%.3f", setup.highFlowLimit).c_str(), units);
    appendFormat(out, "%s,%s(%s),%s\n", "Plage debit",
                 formatText("%.3f", setup.flowRangeValue).c_str(),
                 echo.highFlowRange ? "Haut" : "Bas", units);
    appendFormat(out, "%s,%d\n", "Regl.niveau bruit", static_cast<int>(setup.noiseLevelSetting));
    appendFormat(out, "%s,%s\n", "Compos. liquide", echo.liquid() ? "Liquide" : "Slurry");
  }
  out += kUnderscoreLine;
}

}  // namespace

std::optional<std::string> captureSiteIdentifier(const MeterFacts& meter) {
  if (meter.multiPath) return meter.siteIdDisplay;
  if (meter.selectedChannel >= 0 && meter.selectedChannel < 4) {
    return meter.channelIdDisplay[static_cast<std::size_t>(meter.selectedChannel)];
  }
  return std::nullopt;
}

void fillCaptureFacts(CaptureHeaderFacts& facts, const MeterFacts& meter) {
  facts.osReference = meter.typeText;
  facts.osVersion = meter.versionText;
  facts.siteIdentifier = captureSiteIdentifier(meter);
  facts.location = meter.locationName;
  facts.multiPath = meter.multiPath;
  facts.gasMeter = meter.gasMeter;
  facts.extendedDiagnostics = meter.extendedDiagnostics;
  facts.echofluxMode = meter.echofluxMode;
  facts.meterFlags = meter.meterFlags;
}

std::string translatedGasFlowUnits(std::string_view meterText, bool standardVolume) {
  const std::size_t slash = meterText.find('/');
  if (slash == std::string_view::npos) return std::string(meterText);
  const std::string_view volume = meterText.substr(0, slash);
  const std::string_view time = meterText.substr(slash + 1);
  for (const VolumeNames& names : kVolumeNames) {
    if (volume != names.meterWord) continue;
    for (std::size_t t = 0; t < kTimeWords.size(); ++t) {
      if (time == kTimeWords[t]) return standardVolume ? names.standard[t] : names.actual[t];
    }
  }
  return std::string(meterText);
}

CaptureLayout captureLayout(const CaptureHeaderFacts& facts, const SiteReadings& site) {
  CaptureLayout layout;
  layout.multiPath = facts.multiPath;
  layout.extendedDiagnostics = facts.extendedDiagnostics;
  layout.gasMeter = facts.gasMeter;
  layout.echofluxMode = facts.echofluxMode;
  layout.meterFlags = facts.meterFlags;
  layout.paths = facts.capturedPaths & 0xFu;
  layout.flowUnits = facts.gasMeter
                         ? translatedGasFlowUnits(site.flowUnitsText, site.standardFlow != 0)
                         : site.flowUnitsText;
  layout.totalUnits = site.totalUnitsText;
  layout.pressureUnits = facts.identity.pressureUnit;
  layout.temperatureUnit = site.temperatureUnit;
  layout.metricVelocity = site.metricVelocity;
  layout.nanoseconds = site.nanoseconds;
  return layout;
}

std::string captureHeaderIdentity(const CaptureHeaderFacts& facts) {
  std::string out;
  appendFormat(out, "%s\n", "Journal de capture de donnees Norvane");
  appendFormat(out, "%s,%s\n\n", "Version Tarnlux", kProgramVersion);
  out += captureIdentityLines(facts, IdentityUse::CaptureLog);
  return out;
}

std::string captureIdentityLines(const CaptureHeaderFacts& facts, IdentityUse use) {
  const bool log = use == IdentityUse::CaptureLog;
  const char* missing = log ? "N/D" : "N/A";
  const auto orMissing = [missing](const std::string& text) {
    return text.empty() ? missing : text.c_str();
  };
  std::string out;
  appendFormat(out, "%s,%s-%s\n", "Ref. systeme op debitmetre", facts.osReference.c_str(),
               facts.osVersion.c_str());
  if (facts.siteIdentifier) {
    appendFormat(out, "%s,%s\n", "Nom du site", facts.siteIdentifier->c_str());
  }
  const MeterInfoTexts& info = facts.info;
  appendFormat(out, "%s,%s\n", "Ref. debitmetre", orMissing(info.flowmeterPartNumber));
  appendFormat(out, "%s,%s\n", "No serie debitmetre", orMissing(info.flowmeterSerialNumber));
  appendFormat(out, "%s,%s\n", "Ref. tiroir", orMissing(info.spoolPartNumber));
  appendFormat(out, "%s,%s\n", "No serie tiroir", orMissing(info.spoolSerialNumber));
  appendFormat(out, "%s,%s\n", "Date de fabrication", orMissing(info.manufactureDate));
  if (info.lastReportDate.empty() && info.lastReportTime.empty()) {
    // The log has always carried the blank before its "N/D"; the view's cell has none.
    appendFormat(out, "%s,%s%s\n", "Date/heure dernier rapport", log ? " " : "", missing);
  } else {
    appendFormat(out, "%s,%s,%s\n", "Date/heure dernier rapport", info.lastReportDate.c_str(),
                 info.lastReportTime.c_str());
  }
  const LinkSettings& link = facts.link;
  if (!isSerialPortName(link.portName)) {
    appendFormat(out, "%s,%s%s,%s%d\n", "Parametres COMS", "Adresse IP:", link.ipAddress.c_str(),
                 "No port IP:", static_cast<int>(link.ipPort));
  } else {
    // The stored code is 0 for one stop bit and 2 for two.
    const unsigned stopBits = link.stopBitsCode == 2 ? 2u : 1u;
    appendFormat(out, "%s,%s:%u,%s:%s,%s:%u,%s:%u\n", "Parametres COMS", "Baud",
                 static_cast<unsigned>(link.baudRate), "Parite", parityWord(link.parityCode),
                 "Bits de donnees", static_cast<unsigned>(link.dataBits), "Bits d'arret", stopBits);
  }
  appendFormat(out, "%s,%s\n", "Identificateur de l'emplacement", facts.location.c_str());
  return out;
}

std::string captureBoreLines(const CaptureHeaderFacts& facts) {
  std::string out;
  const ChannelIdentityAnswer& id = facts.identity;
  if (id.lengthUnits == 1) {
    appendFormat(out, "%s,%.3f,%s\n", "ID alesage compteur", id.boreInches * kMillimetresPerInch,
                 "Millimetres");
  } else {
    appendFormat(out, "%s,%.3f,%s\n", "ID alesage compteur", id.boreInches, "pouces");
  }
  if (facts.extendedDiagnostics && id.hasKFactor) {
    appendFormat(out, "%s,%.3f,%s%s\n", "FacteurK", id.kFactor, "Impuls/",
                 id.kFactorVolumeUnit.c_str());
  }
  return out;
}

std::string captureConfigurationDump(const CaptureHeaderFacts& facts, const CaptureLayout& layout,
                                     const MeasurementStore& readings) {
  std::string out;
  appendCalibrationTables(out, facts, layout);
  appendAga8Tables(out, facts);
  appendReynoldsTable(out, facts);
  appendSystemParameters(out, facts, layout);
  appendPathParameters(out, facts, layout, readings);
  return out;
}

std::string captureHeaderColumns(const CaptureHeaderFacts& facts, const CaptureLayout& layout,
                                 const std::vector<CaptureColumn>& columns,
                                 const MeasurementStore& readings) {
  std::string out = captureBoreLines(facts);
  if (facts.extendedDiagnostics) out += captureConfigurationDump(facts, layout, readings);

  appendFormat(out, "\n\n%s\n", "Capturer les donnees journal");
  out += kUnderscoreLine;
  out += kDashLine;
  out += "No colonne, etiquette, description\n";
  out += kDashLine;
  appendFormat(out, "1,%s,%s\n", "Date", "Date compteur");
  appendFormat(out, "2,%s,%s\n", "Heure", "Heure du compteur");
  int number = 3;
  for (const CaptureColumn& column : columns) {
    out += columnDescriptionLine(number++, column);
    out += "\n";
  }

  out += "\n\n";
  out += "Date";
  appendFormat(out, ",%s", "Heure");
  for (const CaptureColumn& column : columns) {
    out += ',';
    out += column.label;
  }
  out += "\n";
  return out;
}

std::string withCrLf(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

}  // namespace tarnlux
