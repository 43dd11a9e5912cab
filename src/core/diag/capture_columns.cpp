#include "diag/capture_columns.h"

#include <array>

#include "diag/status_codes.h"
#include "diag/text_format.h"
#include "link/meter_facts.h"

namespace tarnlux {

namespace {

using Texts = std::array<const char*, 4>;

// Description texts per path: multipath site ("chemin") and single channel
// ("canal"). Kept whole per path, as the system holds them.
struct PathTexts {
  Texts path;
  Texts channel;
};

const PathTexts kFlowTexts{
    {"Debit, chemin 1", "Debit, chemin 2", "Debit, chemin 3", "Debit, chemin 4"},
    {"Debit, canal 1", "Debit, canal 2", "Debit, canal 3", "Debit, canal 4"}};
const PathTexts kVelocityTexts{{"Vitesse flux chemin 1", "Vitesse flux chemin 2",
                                "Vitesse flux chemin 3", "Vitesse flux chemin 4"},
                               {"Vitesse flux canal 1", "Vitesse flux canal 2",
                                "Vitesse flux canal 3", "Vitesse flux canal 4"}};
const PathTexts kSoundSpeedTexts{{"ViS-Chem 1", "ViS-Chem 2", "ViS-Chem 3", "ViS-Chem 4"},
                                 {"ViS-Canal 1", "ViS-Canal 2", "ViS-Canal 3", "ViS-Canal 4"}};
const PathTexts kStatusTexts{
    {"Etat-Chemin 1", "Etat-Chemin 2", "Etat-Chemin 3", "Etat-Chemin 4"},
    {"Etat - Canal 1", "Etat - Canal 2", "Etat - Canal 3", "Etat - Canal 4"}};
const Texts kSignalTexts{"Signal recep. crete-crete voie 1", "Signal recep. crete-crete voie 2",
                         "Signal recep. crete-crete voie 3", "Signal recep. crete-crete voie 4"};
const Texts kSignalLabels{"Signal 1(mV)", "Signal 2(mV)", "Signal 3(mV)", "Signal 4(mV)"};
const Texts kDopplerTexts{"Decalage doppler voie 1", "Decalage doppler voie 2",
                          "Decalage doppler voie 3", "Decalage doppler voie 4"};
const Texts kDopplerLabels{"Freq. doppler 1(Hz)", "Freq. doppler 2(Hz)", "Freq. doppler 3(Hz)",
                           "Freq. doppler 4(Hz)"};
const Texts kDeviationTexts{
    "Modul. freq./freq. moyenne voie 1", "Modul. freq./freq. moyenne voie 2",
    "Modul. freq./freq. moyenne voie 3", "Modul. freq./freq. moyenne voie 4"};
const Texts kFftPeakTexts{"Valeur de pointe resultat FFT normalise voie 1",
                          "Valeur de pointe resultat FFT normalise voie 2",
                          "Valeur de pointe resultat FFT normalise voie 3",
                          "Valeur de pointe resultat FFT normalise voie 4"};
const Texts kFftRateTexts{"Nombre transformations Fourier/seconde voie 1",
                          "Nombre transformations Fourier/seconde voie 2",
                          "Nombre transformations Fourier/seconde voie 3",
                          "Nombre transformations Fourier/seconde voie 4"};
const Texts kAlcUpLabels{"ALC 1 AM", "ALC 2 AM", "ALC 3 AM", "ALC 4 AM"};
const Texts kAlcDownLabels{"ALC 1 AV", "ALC 2 AV", "ALC 3 AV", "ALC 4 AV"};
const PathTexts kAlcUpTexts{{"ALC chemin 1 trans amont", "ALC chemin 2 trans amont",
                             "ALC chemin 3 trans amont", "ALC chemin 4 trans amont"},
                            {"ALC canal 1 trans amont", "ALC canal 2 trans amont",
                             "ALC canal 3 trans amont", "ALC canal 4 trans amont"}};
const PathTexts kAlcDownTexts{{"ALC chemin 1 trans aval", "ALC chemin 2 trans aval",
                               "ALC chemin 3 trans aval", "ALC chemin 4 trans aval"},
                              {"ALC canal 1 trans aval", "ALC canal 2 trans aval",
                               "ALC canal 3 trans aval", "ALC canal 4 trans aval"}};
const PathTexts kDeltaTimeTexts{{"Tps delta trans-Chemin 1", "Tps delta trans-Chemin 2",
                                 "Tps delta trans-Chemin 3", "Tps delta trans-Chemin 4"},
                                {"Tps delta trans-Canal 1", "Tps delta trans-Canal 2",
                                 "Tps delta trans-Canal 3", "Tps delta trans-Canal 4"}};
const Texts kSnrUpLabels{"SNR 1 AM", "SNR 2 AM", "SNR 3 AM", "SNR 4 AM"};
const Texts kSnrDownLabels{"SNR 1 AV", "SNR 2 AV", "SNR 3 AV", "SNR 4 AV"};
const PathTexts kSnrUpTexts{{"SNR chemin 1 trans amont", "SNR chemin 2 trans amont",
                             "SNR chemin 3 trans amont", "SNR chemin 4 trans amont"},
                            {"SNR canal 1 trans amont", "SNR canal 2 trans amont",
                             "SNR canal 3 trans amont", "SNR canal 4 trans amont"}};
const PathTexts kSnrDownTexts{{"SNR chemin 1 trans aval", "SNR chemin 2 trans aval",
                               "SNR chemin 3 trans aval", "SNR chemin 4 trans aval"},
                              {"SNR canal 1 trans aval", "SNR canal 2 trans aval",
                               "SNR canal 3 trans aval", "SNR canal 4 trans aval"}};
const PathTexts kCorrelationTexts{{"Qualite correlation-Chem 1", "Qualite correlation-Chem 2",
                                   "Qualite correlation-Chem 3", "Qualite correlation-Chem 4"},
                                  {"Qualite correlation-Canal 1", "Qualite correlation-Canal 2",
                                   "Qualite correlation-Canal 3", "Qualite correlation-Canal 4"}};
// The channel 2 text ends with a blank, as stored.
const PathTexts kAdcTexts{
    {"% echelle totale pour ADC moy-Chem 1", "% echelle totale pour ADC moy-Chem 2",
     "% echelle totale pour ADC moy-Chem 3", "% echelle totale pour ADC moy-Chem 4"},
    {"% pleine echelle pour ADC moy-Canal 1", "% pleine echelle pour ADC moy-Canal 2 ",
     "% pleine echelle pour ADC moy-Canal 3", "% pleine echelle pour ADC moy-Canal 4"}};
const PathTexts kEnvelopeTexts{
    {"% modif enveloppe signal-Chem 1", "% modif enveloppe signal-Chem 2",
     "% modif enveloppe signal-Chem 3", "% modif enveloppe signal-Chem 4"},
    {"% modif enveloppe signal-Canal 1", "% modif enveloppe signal-Canal 2",
     "% modif enveloppe signal-Canal 3", "% modif enveloppe signal-Canal 4"}};
const PathTexts kTransmitTexts{{"Salves transmises/sec chemin 1", "Salves transmises/sec chemin 2",
                                "Salves transmises/sec chemin 3", "Salves transmises/sec chemin 4"},
                               {"Salves transmises/sec canal 1", "Salves transmises/sec canal 2",
                                "Salves transmises/sec canal 3", "Salves transmises/sec canal 4"}};
const PathTexts kAcceptedTexts{
    {"% donnees validees def pour chem 1", "% donnees validees def pour chem 2",
     "% donnees validees def pour chem 3", "% donnees validees def pour chem 4"},
    {"% donnees validees def pour canal 1", "% donnees validees def pour canal 2",
     "% donnees validees def pour canal 3", "% donnees validees def pour canal 4"}};
const PathTexts kSearchTexts{{"Etat recherche chemin 1", "Etat recherche chemin 2",
                              "Etat recherche chemin 3", "Etat recherche chemin 4"},
                             {"Etat recherche canal 1", "Etat recherche canal 2",
                              "Etat recherche canal 3", "Etat recherche canal 4"}};
const PathTexts kNullTrackActiveTexts{
    {"Indicateur activation NullTrack pour chem 1", "Indicateur activation NullTrack pour chem 2",
     "Indicateur activation NullTrack pour chem 3", "Indicateur activation NullTrack pour chem 4"},
    {"Indicateur activation NullTrack pour canal 1", "Indicateur activation NullTrack pour canal 2",
     "Indicateur activation NullTrack pour canal 3",
     "Indicateur activation NullTrack pour canal 4"}};
const PathTexts kNullTrackAlcTexts{{"ALC NullTrack-Chemin 1", "ALC NullTrack-Chemin 2",
                                    "ALC NullTrack-Chemin 3", "ALC NullTrack-Chemin 4"},
                                   {"ALC NullTrack-Canal 1", "ALC NullTrack-Canal 2",
                                    "ALC NullTrack-Canal 3", "ALC NullTrack-Canal 4"}};
const PathTexts kNullTrackDeltaTexts{
    {"Temps delta NullTrack-Chemin 1", "Temps delta NullTrack-Chemin 2",
     "Temps delta NullTrack-Chemin 3", "Temps delta NullTrack-Chemin 4"},
    {"Temps delta NullTrack-Canal 1", "Temps delta NullTrack-Canal 2",
     "Temps delta NullTrack-Canal 3", "Temps delta NullTrack-Canal 4"}};

std::string inBrackets(const std::string& units) { return "(" + units + ")"; }

class ColumnList {
 public:
  explicit ColumnList(const CaptureLayout& layout) : layout_(layout) {}

  void add(CaptureQuantity quantity, int path, bool integer, std::string label,
           std::string description) {
    CaptureColumn column;
    column.quantity = quantity;
    column.path = path;
    column.integer = integer;
    column.tally.integer = integer;
    column.label = std::move(label);
    column.description = std::move(description);
    columns_.push_back(std::move(column));
  }

  // One column per captured path; `label` and `description` build the texts.
  template <typename Label, typename Description>
  void perPath(CaptureQuantity quantity, bool integer, Label label, Description description) {
    for (int p = 0; p < kMeasuredPaths; ++p) {
      if ((layout_.paths >> p & 1u) == 0) continue;
      add(quantity, p, integer, label(p), description(p));
    }
  }

  std::string text(const PathTexts& texts, int p) const {
    return (layout_.multiPath ? texts.path : texts.channel)[static_cast<std::size_t>(p)];
  }

  std::vector<CaptureColumn> take() { return std::move(columns_); }

 private:
  const CaptureLayout& layout_;
  std::vector<CaptureColumn> columns_;
};

}  // namespace

std::vector<CaptureColumn> captureColumns(const CaptureLayout& layout) {
  ColumnList list(layout);
  const bool transit = !layout.echofluxMode;
  const std::string flow = inBrackets(layout.flowUnits);
  const std::string velocity = inBrackets(layout.metricVelocity ? "M/SEC" : "PI/SEC");
  const std::string timeUnits = inBrackets(layout.nanoseconds ? "nS" : "uS");
  auto number = [](int p) { return std::to_string(p + 1); };
  using Q = CaptureQuantity;

  list.perPath(
      Q::Flow, false, [&](int p) { return "Flux" + number(p) + flow; },
      [&](int p) { return list.text(kFlowTexts, p) + flow; });
  if (layout.averaged()) list.add(Q::AverageFlow, -1, false, "Fluxmoy" + flow, "Debit moy" + flow);
  list.perPath(
      Q::FlowVelocity, false, [&](int p) { return "VF" + number(p) + velocity; },
      [&](int p) { return list.text(kVelocityTexts, p) + velocity; });
  if (layout.averaged()) {
    list.add(Q::AverageFlowVelocity, -1, false, "VF moy" + velocity,
             layout.metricVelocity ? "Vit. debit moy(M/SEC)" : "Vit. debit moy (PI/SEC)");
  }
  if (layout.extendedDiagnostics) {
    const std::string total = inBrackets(layout.totalUnits);
    list.add(Q::Total, -1, false, "Total" + total, "Flux total" + total);
  }
  if (transit) {
    list.perPath(
        Q::SoundSpeed, false, [&](int p) { return "VitS" + number(p) + velocity; },
        [&](int p) { return list.text(kSoundSpeedTexts, p) + velocity; });
    if (layout.averaged()) {
      list.add(Q::AverageSoundSpeed, -1, false, "ViS moy" + velocity,
               layout.metricVelocity ? "ViS moy(M/SEC)" : "ViS moy(PI/SEC)");
    }
  }
  list.perPath(
      Q::Status, false, [&](int p) { return "Etat " + number(p); },
      [&](int p) { return list.text(kStatusTexts, p); });

  if (layout.echofluxMode) {
    auto fixed = [](const Texts& texts) {
      return [&texts](int p) { return std::string(texts[static_cast<std::size_t>(p)]); };
    };
    list.perPath(Q::Signal, true, fixed(kSignalLabels), fixed(kSignalTexts));
    list.perPath(Q::Doppler, true, fixed(kDopplerLabels), fixed(kDopplerTexts));
    list.perPath(
        Q::Deviation, false, [&](int p) { return "Ecart % " + number(p); }, fixed(kDeviationTexts));
    list.perPath(
        Q::FftPeak, true, [&](int p) { return "Pointe FFT " + number(p); }, fixed(kFftPeakTexts));
    list.perPath(
        Q::FftRate, true, [&](int p) { return "FFTs/seconde " + number(p); }, fixed(kFftRateTexts));
  }

  if (transit) {
    auto byPath = [&](const PathTexts& texts) {
      return [&list, &texts](int p) { return list.text(texts, p); };
    };
    auto fixed = [](const Texts& texts) {
      return [&texts](int p) { return std::string(texts[static_cast<std::size_t>(p)]); };
    };
    auto spaced = [&](const char* word) {
      return [word, &number](int p) { return std::string(word) + " " + number(p); };
    };
    auto joined = [&](const char* word) {
      return [word, &number](int p) { return std::string(word) + number(p); };
    };
    list.perPath(Q::AlcUp, true, fixed(kAlcUpLabels), byPath(kAlcUpTexts));
    list.perPath(Q::AlcDown, true, fixed(kAlcDownLabels), byPath(kAlcDownTexts));
    list.perPath(
        Q::DeltaTime, false, [&](int p) { return "HD " + number(p) + timeUnits; },
        byPath(kDeltaTimeTexts));
    list.perPath(Q::SnrUp, false, fixed(kSnrUpLabels), byPath(kSnrUpTexts));
    list.perPath(Q::SnrDown, false, fixed(kSnrDownLabels), byPath(kSnrDownTexts));
    if (layout.extendedDiagnostics) {
      list.perPath(Q::Correlation, false, spaced("QCor"), byPath(kCorrelationTexts));
    }
    list.perPath(Q::AdcBuffer, true, spaced("%TampADC"), byPath(kAdcTexts));
    list.perPath(Q::EnvelopeChange, true, spaced("%ChgEnv"), byPath(kEnvelopeTexts));
    list.perPath(Q::TransmitRate, true, spaced("Sps"), byPath(kTransmitTexts));
    list.perPath(Q::Accepted, true, spaced("%ACP"), byPath(kAcceptedTexts));
    list.perPath(Q::SearchState, false, joined("Recherche"), byPath(kSearchTexts));
    list.perPath(Q::NullTrackActive, false, spaced("ZeroActive"), byPath(kNullTrackActiveTexts));
    for (int p = 0; p < kMeasuredPaths; ++p) {
      if ((layout.paths >> p & 1u) == 0 || !meter_flags::isNullTrackChannel(layout.meterFlags, p)) {
        continue;
      }
      list.add(Q::NullTrackAlc, p, true, "ZeroALC" + number(p), list.text(kNullTrackAlcTexts, p));
    }
    for (int p = 0; p < kMeasuredPaths; ++p) {
      if ((layout.paths >> p & 1u) == 0 || !meter_flags::isNullTrackChannel(layout.meterFlags, p)) {
        continue;
      }
      list.add(Q::NullTrackDeltaTime, p, false, "ZeroTD" + number(p) + timeUnits,
               list.text(kNullTrackDeltaTexts, p));
    }
  }

  if (layout.extendedDiagnostics) {
    if (layout.temperatureUnit != '\0') {
      const std::string unit = std::string("(") + layout.temperatureUnit + ")";
      list.add(Q::Temperature, -1, false, "Temp" + unit, "Temperature de fonctionnement" + unit);
    } else {
      list.add(Q::Temperature, -1, false, "Temp", "Temperature de fonctionnement");
    }
    if (!layout.pressureUnits.empty()) {
      const std::string unit = inBrackets(layout.pressureUnits);
      list.add(Q::Pressure, -1, false, "Appuyer sur" + unit, "Pression de fonctionnement" + unit);
    } else {
      list.add(Q::Pressure, -1, false, "Appuyer sur", "Pression de fonctionnement");
    }
    if (layout.gasMeter && transit) {
      list.add(Q::Compressibility, -1, false, "Zactuel",
               "Facteur compressibilite de fonctionnement");
    }
  }
  return list.take();
}

std::string columnDescriptionLine(int number, const CaptureColumn& column) {
  return std::to_string(number) + "," + column.label + "," + column.description;
}

double columnSample(const CaptureColumn& column, const MeasurementStore& readings,
                    const SiteAverages& averages) {
  static const PathReadings kNoPath{};
  static const EchofluxReadings kNoChannel{};
  const bool hasPath = column.path >= 0 && column.path < kMeasuredPaths;
  const PathReadings& r = hasPath ? readings.paths[static_cast<std::size_t>(column.path)] : kNoPath;
  const EchofluxReadings& e =
      hasPath ? readings.echoflux[static_cast<std::size_t>(column.path)] : kNoChannel;
  using Q = CaptureQuantity;
  switch (column.quantity) {
    case Q::Flow:
      return r.flow;
    case Q::AverageFlow:
      return averages.flow;
    case Q::FlowVelocity:
      return r.flowVelocity;
    case Q::AverageFlowVelocity:
      return averages.flowVelocity;
    case Q::Total:
      return readings.site.total;
    case Q::SoundSpeed:
      return r.soundSpeed;
    case Q::AverageSoundSpeed:
      return averages.soundSpeed;
    case Q::Signal:
      return e.signalStrength;
    case Q::Doppler:
      return e.dopplerFrequency;
    case Q::Deviation:
      return e.deviation;
    case Q::FftPeak:
      return e.fftPeak;
    case Q::FftRate:
      return e.fftsPerSecond;
    case Q::AlcUp:
      return r.alcUp;
    case Q::AlcDown:
      return r.alcDown;
    case Q::DeltaTime:
      return r.deltaTime;
    case Q::SnrUp:
      return r.snrUp;
    case Q::SnrDown:
      return r.snrDown;
    case Q::Correlation:
      return r.correlationQuality;
    case Q::AdcBuffer:
      return r.adcBuffer;
    case Q::EnvelopeChange:
      return r.envelopeChange;
    case Q::TransmitRate:
      return r.transmitRate;
    case Q::Accepted:
      return r.accepted;
    case Q::NullTrackAlc:
      return r.nullTrackAlc;
    // A failed NullTrack has no valid time difference.
    case Q::NullTrackDeltaTime:
      return r.nullTrackFailed ? 0.0 : r.nullTrackDeltaTime;
    case Q::Temperature:
      return readings.site.temperature;
    case Q::Pressure:
      return readings.site.pressure;
    case Q::Compressibility:
      return readings.site.compressibility;
    case Q::Status:
    case Q::SearchState:
    case Q::NullTrackActive:
      return 0;
  }
  return 0;
}

void appendColumnValue(std::string& out, const CaptureColumn& column, double value) {
  using Q = CaptureQuantity;
  if (column.integer) {
    appendFormat(out, ",%lld", static_cast<long long>(value));
    return;
  }
  switch (column.quantity) {
    case Q::SoundSpeed:
    case Q::AverageSoundSpeed:
    case Q::Deviation:
    case Q::Correlation:
    case Q::Temperature:
    case Q::Pressure:
      appendFormat(out, ",%.2f", value);
      return;
    case Q::SnrUp:
    case Q::SnrDown:
      appendFormat(out, ",%.0f", value);
      return;
    default:
      appendFormat(out, ",%.3f", value);
      return;
  }
}

void appendRowCell(std::string& out, const CaptureColumn& column, const MeasurementStore& readings,
                   const SiteAverages& averages, const CaptureLayout& layout) {
  using Q = CaptureQuantity;
  const std::size_t p = column.path >= 0 ? static_cast<std::size_t>(column.path) : 0;
  switch (column.quantity) {
    case Q::Status:
      out += ',';
      out += statusLetters(readings.paths[p].statusWord, layout.gasMeter);
      return;
    case Q::SearchState:
      out += ',';
      out += searchStateText(readings.paths[p], layout.extendedDiagnostics);
      return;
    case Q::NullTrackActive:
      out += readings.paths[p].nullTrackActive ? ",1" : ",0";
      return;
    default:
      appendColumnValue(out, column, columnSample(column, readings, averages));
      return;
  }
}

}  // namespace tarnlux
