#include "diag/stored_event_page.h"

#include <bit>

#include "diag/grading.h"
#include "diag/status_codes.h"
#include "diag/text_format.h"
#include "graph/trend_layout.h"

namespace tarnlux {

namespace {

namespace bits = event_bits;

// Echoflux figures' bits.
constexpr unsigned kEchoSignal = 0x1, kEchoDoppler = 0xE, kEchoDeviation = 0xF0,
                   kEchoNoise = 0x300, kEchoFftPeak = 0x400, kEchoVelocity = 0x800;

GradeColour gradeFromBits(const StoredEventPath& p, unsigned mask) {
  switch (eventGrade(p.failBits, p.warningBits, mask)) {
    case 2: return GradeColour::Red;
    case 1: return GradeColour::Yellow;
    default: return GradeColour::Green;
  }
}

// The worst grade of the row's graded cells in the summary column.
void summarise(PanelRow& row) {
  for (const PanelCell& cell : row.cells) {
    if (!cell.grade) continue;
    row.summary = row.summary ? worstOf(*row.summary, *cell.grade) : *cell.grade;
  }
  if (row.summary) row.summaryText = gradeWord(*row.summary);
}

void summariseAll(std::vector<PanelRow>& rows) {
  for (std::size_t r = 1; r < rows.size(); ++r) {
    if (rows[r].summaryText.empty()) summarise(rows[r]);
  }
}

PanelRow labelled(const char* label, bool section = false) {
  PanelRow row;
  row.label = label;
  row.section = section;
  return row;
}

void transitTables(const StoredEvent& e, bool multiPath, StoredEventTables& t) {
  const std::string unit(velocityUnit(e.metric()));
  t.status = {labelled(""), labelled("Etat"), labelled("Vitesse flux:")};
  t.status[0].summaryText = kPanelSummaryHeading;
  t.status[0].unit = kPanelUnitsHeading;
  t.status[2].unit = unit;
  const char* delta = e.gasMeter() ? "T delta misec:" : "T delta nanosec:";
  t.signal = {labelled(e.gasMeter() ? "Signal gaz" : "Signal fluide"),
              labelled("ALC(up)"),
              labelled("ALC(dn)"),
              labelled("SNR(up)"),
              labelled("SNR(dn)"),
              labelled("Q correlation:"),
              labelled("Tamp CAN%:"),
              labelled("%Accepte"),
              labelled("Chang. env:"),
              labelled("Etat recherche"),
              labelled("NullTrack", true),
              labelled("ALC moy"),
              labelled(delta),
              labelled("Flux et ViS", true),
              labelled("VitS:")};
  t.signal[0].summaryText = kPanelSummaryHeading;
  t.signal[13].unit = kPanelUnitsHeading;
  t.signal[14].unit = unit;

  MeasurementStore figures;
  figures.site.metricVelocity = e.metric();
  unsigned present = 0;
  for (int p = 0; p < 4; ++p) {
    const auto i = static_cast<std::size_t>(p);
    const StoredEventPath& path = e.paths[i];
    const std::string heading = formatText("%s%d", multiPath ? "Chem " : "Canal ", p + 1);
    t.status[0].cells[i].text = t.signal[0].cells[i].text = heading;
    if (!path.present) continue;
    present |= 1u << p;
    const auto cell = [&](std::vector<PanelRow>& rows, int row, std::string text,
                          std::optional<GradeColour> grade) {
      rows[static_cast<std::size_t>(row)].cells[i] = {std::move(text), grade};
    };
    const auto figure = [&](int row, std::string text, unsigned mask) {
      cell(t.signal, row, std::move(text), gradeFromBits(path, mask));
    };
    cell(t.status, 1, statusLetters(path.statusWord, e.gasMeter()),
         gradeStatusWord(path.statusWord, false));
    figure(1, formatText("%d", path.alcUp), bits::kAlcUp);
    figure(2, formatText("%d", path.alcDown), bits::kAlcDown);
    cell(t.signal, 9, path.searchState,
         path.measuring() ? GradeColour::Green : GradeColour::Red);
    if (path.nullTrack) {
      cell(t.signal, 10, "Active", std::nullopt);
      figure(11, formatText("%d", path.nullTrackAlc), bits::kNullTrackAlc);
      figure(12, formatText("%.3f", path.nullTrackDeltaTime), bits::kNullTrackDeltaTime);
    }
    // A path that does not measure sends none of its signal and flow figures.
    if (!path.measuring()) continue;
    cell(t.status, 2, formatText("%.3f", path.flowVelocity),
         gradeFromBits(path, bits::kFlowVelocity));
    figure(3, formatText("%.0f", path.snrUp), bits::kSnrUp);
    figure(4, formatText("%.0f", path.snrDown), bits::kSnrDown);
    figure(5, path.correlation ? formatText("%.2f", *path.correlation) : std::string("-"),
           bits::kCorrelation);
    figure(6, formatText("%d", path.adcBuffer), bits::kAdc);
    figure(7, formatText("%d", path.accepted), bits::kAccepted);
    figure(8, formatText("%d%%", path.envelopeChange), bits::kEnvelope);
    figure(14, formatText("%.2f", path.soundSpeed), bits::kSoundSpeed);
    figures.paths[i].flowVelocity = path.flowVelocity;
    figures.paths[i].soundSpeed = path.soundSpeed;
  }
  summariseAll(t.status);
  summariseAll(t.signal);
  PanelFacts facts;
  facts.activeMask = 0;
  for (int p = 0; p < 4; ++p) {
    if ((present >> p & 1u) != 0 && e.paths[static_cast<std::size_t>(p)].measuring()) {
      facts.activeMask |= 1u << p;
    }
  }
  facts.multiPath = multiPath;
  t.deviations = pathDeviations(figures, facts);
}

void echofluxTables(const StoredEvent& e, StoredEventTables& t) {
  const StoredEchofluxFigures& f = e.echofluxFigures;
  const StoredEventPath& path = e.paths[static_cast<std::size_t>(f.path)];
  const std::string unit(velocityUnit(e.metric()));
  t.valueColumns = 1;
  t.status = {labelled(""), labelled("Etat"), labelled("Vitesse flux:"), labelled(""),
              labelled("Plage debit")};
  t.status[0].cells[0].text = formatText("%s%d", "Canal ", f.path + 1);
  t.status[0].summaryText = kPanelSummaryHeading;
  t.status[0].unit = kPanelUnitsHeading;
  t.status[1].cells[0] = {statusLetters(path.statusWord, false),
                          gradeStatusWord(path.statusWord, true)};
  if (path.measuring()) {
    t.status[2].cells[0] = {formatText("%.3f", f.flowVelocity),
                            gradeFromBits(path, kEchoVelocity)};
  }
  t.status[2].unit = unit;
  summariseAll(t.status);
  // The flow range stands in the summary column, under its own heading.
  t.status[3].summaryText = "Haut/Bas";
  t.status[4].summaryText = f.highFlowRange ? "Haut" : "Bas";

  t.signal = {labelled("Signal fluide"), labelled("Signal(mV)"), labelled("Freq. doppler(Hz)"),
              labelled("Ecart %"),       labelled("Regl.niveau bruit"), labelled("Pointe FFT"),
              labelled("Compos. liquide")};
  t.signal[0].cells[0].text = t.status[0].cells[0].text;
  t.signal[0].summaryText = kPanelSummaryHeading;
  const auto set = [&](int row, std::string text, unsigned mask) {
    t.signal[static_cast<std::size_t>(row)].cells[0] = {std::move(text), gradeFromBits(path, mask)};
  };
  set(1, formatText("%d", f.signalStrength), kEchoSignal);
  set(2, formatText("%d", f.dopplerFrequency), kEchoDoppler);
  set(3, formatText("%.2f", f.deviation), kEchoDeviation);
  set(4, formatText("%d", f.noiseLevel), kEchoNoise);
  set(5, formatText("%d", f.fftPeak), kEchoFftPeak);
  t.signal[6].cells[0].text = f.fluidType == 1.0 ? "Liquide" : "Slurry";
  summariseAll(t.signal);
}

}  // namespace

std::string storedEventHeader(const StoredEvent& e) {
  std::string header = formatText("%s%s - %s: %s - %s: %s", "Evenement memorise pour le site ID: ",
                                  e.siteId.c_str(), "Heure", e.time.c_str(), "Date", e.date.c_str());
  if (e.temperature) {
    header += formatText(" - %s: %.2f", e.metric() ? "Temperature (deg C )" : "Temperature (deg F)",
                         *e.temperature);
  }
  return header;
}

StoredEventTables storedEventTables(const StoredEvent& event, bool multiPath) {
  StoredEventTables t;
  if (event.echoflux()) {
    echofluxTables(event, t);
  } else {
    transitTables(event, multiPath, t);
  }
  return t;
}

int eventAtClick(int y, int listTop, int rowHeight, int firstRow, int count) {
  if (y <= listTop || rowHeight <= 0) return -1;
  const int index = (y - listTop - 1) / rowHeight + firstRow;
  return index >= 0 && index < count ? index : -1;
}

}  // namespace tarnlux
