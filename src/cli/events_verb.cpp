#include "cli_messages.h"
#include "events_verb.h"

#include <cstdio>
#include <functional>

#include "block_verb.h"
#include "common/error_text.h"
#include "common/profile_file.h"
#include "common/result.h"

namespace tarnlux::cli {

namespace {

namespace bits = event_bits;

// A transit-time figure: its column name, the bit that grades it (0: not
// graded) and its text.
struct Figure {
  const char* name;
  unsigned bit;
  std::function<std::string(const StoredEventPath&)> text;
};

std::string real(double value, int decimals) {
  char text[48];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

// The status word as the meter keeps it, in hexadecimal.
std::string statusText(std::uint32_t word) {
  char text[16];
  std::snprintf(text, sizeof text, "%03X", static_cast<unsigned>(word));
  return text;
}

const std::vector<Figure>& transitFigures() {
  static const std::vector<Figure> figures{
      {"status", 0, [](const StoredEventPath& p) { return statusText(p.statusWord); }},
      {"alc_up", bits::kAlcUp, [](const StoredEventPath& p) { return std::to_string(p.alcUp); }},
      {"alc_down", bits::kAlcDown,
       [](const StoredEventPath& p) { return std::to_string(p.alcDown); }},
      {"snr_up", bits::kSnrUp,
       [](const StoredEventPath& p) { return p.measuring() ? real(p.snrUp, 1) : ""; }},
      {"snr_down", bits::kSnrDown,
       [](const StoredEventPath& p) { return p.measuring() ? real(p.snrDown, 1) : ""; }},
      {"correlation", bits::kCorrelation,
       [](const StoredEventPath& p) {
         return p.correlation ? real(*p.correlation, 2) : std::string("-");
       }},
      {"adc", bits::kAdc,
       [](const StoredEventPath& p) { return p.measuring() ? std::to_string(p.adcBuffer) : ""; }},
      {"accepted", bits::kAccepted,
       [](const StoredEventPath& p) { return p.measuring() ? std::to_string(p.accepted) : ""; }},
      {"envelope", bits::kEnvelope,
       [](const StoredEventPath& p) {
         return p.measuring() ? std::to_string(p.envelopeChange) : "";
       }},
      {"flow_velocity", bits::kFlowVelocity,
       [](const StoredEventPath& p) { return p.measuring() ? real(p.flowVelocity, 3) : ""; }},
      {"sound_speed", bits::kSoundSpeed,
       [](const StoredEventPath& p) { return p.measuring() ? real(p.soundSpeed, 2) : ""; }},
      {"nulltrack_alc", bits::kNullTrackAlc,
       [](const StoredEventPath& p) { return p.nullTrack ? std::to_string(p.nullTrackAlc) : ""; }},
      {"nulltrack_delta_time", bits::kNullTrackDeltaTime,
       [](const StoredEventPath& p) {
         return p.nullTrack ? real(p.nullTrackDeltaTime, 3) : "";
       }},
      {"search_state", 0, [](const StoredEventPath& p) { return p.searchState; }},
  };
  return figures;
}

const char* gradeWord(int grade) { return grade == 2 ? "fail" : grade == 1 ? "warning" : "ok"; }

// An Echoflux figure: its column name, the bits that grade it (0: not graded)
// and its text.
struct EchofluxFigure {
  const char* name;
  unsigned bits;
  std::function<std::string(const StoredEvent&)> text;
};

const std::vector<EchofluxFigure>& echofluxFigures() {
  static const std::vector<EchofluxFigure> figures{
      {"path", 0, [](const StoredEvent& e) { return std::to_string(e.echofluxFigures.path + 1); }},
      {"status", 0,
       [](const StoredEvent& e) {
         return statusText(e.paths[static_cast<std::size_t>(e.echofluxFigures.path)].statusWord);
       }},
      {"signal", 0x1, [](const StoredEvent& e) { return std::to_string(e.echofluxFigures.signalStrength); }},
      {"doppler", 0xE,
       [](const StoredEvent& e) { return std::to_string(e.echofluxFigures.dopplerFrequency); }},
      {"flow_range", 0,
       [](const StoredEvent& e) { return std::string(e.echofluxFigures.highFlowRange ? "high" : "low"); }},
      {"deviation", 0xF0, [](const StoredEvent& e) { return real(e.echofluxFigures.deviation, 2); }},
      {"fluid", 0,
       [](const StoredEvent& e) {
         return std::string(e.echofluxFigures.fluidType == 1.0 ? "liquid" : "slurry");
       }},
      {"noise", 0x300, [](const StoredEvent& e) { return std::to_string(e.echofluxFigures.noiseLevel); }},
      {"fft_peak", 0x400, [](const StoredEvent& e) { return std::to_string(e.echofluxFigures.fftPeak); }},
      {"flow_velocity", 0x800,
       [](const StoredEvent& e) {
         const auto& path = e.paths[static_cast<std::size_t>(e.echofluxFigures.path)];
         return path.measuring() ? real(e.echofluxFigures.flowVelocity, 3) : std::string();
       }},
  };
  return figures;
}

}  // namespace

std::string eventsCsv(const std::vector<StoredEvent>& events, const char* lineEnd) {
  unsigned paths = 0;
  bool echoflux = false;
  for (const StoredEvent& e : events) {
    // Echoflux events have their own columns, after the transit-time ones.
    echoflux = echoflux || e.echoflux();
    if (e.echoflux()) continue;
    for (int p = 0; p < 4; ++p) {
      if (e.paths[static_cast<std::size_t>(p)].present) paths |= 1u << p;
    }
  }
  std::string out = "event,site,date,time,temperature";
  for (int p = 0; p < 4; ++p) {
    if ((paths >> p & 1u) == 0) continue;
    for (const Figure& f : transitFigures()) {
      out += ",path" + std::to_string(p + 1) + "." + f.name;
      if (f.bit != 0) out += ",path" + std::to_string(p + 1) + "." + f.name + ".grade";
    }
  }
  if (echoflux) {
    for (const EchofluxFigure& f : echofluxFigures()) {
      out += std::string(",echoflux.") + f.name;
      if (f.bits != 0) out += std::string(",echoflux.") + f.name + ".grade";
    }
  }
  out += lineEnd;
  int number = 0;
  for (const StoredEvent& e : events) {
    out += std::to_string(++number) + "," + e.siteId + "," + e.date + "," + e.time + ",";
    if (e.temperature) out += real(*e.temperature, 2);
    for (int p = 0; p < 4; ++p) {
      if ((paths >> p & 1u) == 0) continue;
      const StoredEventPath& path = e.paths[static_cast<std::size_t>(p)];
      const bool shown = path.present && !e.echoflux();
      for (const Figure& f : transitFigures()) {
        out += ",";
        if (shown) out += f.text(path);
        if (f.bit == 0) continue;
        out += ",";
        if (shown) out += gradeWord(eventGrade(path.failBits, path.warningBits, f.bit));
      }
    }
    if (echoflux) {
      const StoredEventPath& path = e.paths[static_cast<std::size_t>(e.echofluxFigures.path)];
      for (const EchofluxFigure& f : echofluxFigures()) {
        out += ",";
        if (e.echoflux()) out += f.text(e);
        if (f.bits == 0) continue;
        out += ",";
        if (e.echoflux()) out += gradeWord(eventGrade(path.failBits, path.warningBits, f.bits));
      }
    }
    out += lineEnd;
  }
  return out;
}

int runEvents(const LinkSettings& settings, const Options& options, OperationContext& ctx) {
  std::string name;
  if (options.eventChoice == EventSiteChoice::NamedSite) {
    const int check = checkEventSiteName(options.eventSite, name);
    const char* refusal = name.empty() ? "Site specifique selectionne mais aucun nom de site entre"
                          : check == 1 ? "Nom du site trop long, 16 caracteres maximum"
                          : check == 2 ? "Nom du site invalide, Utiliser uniquement des lettres, des "
                                         "chiffres, des espaces, des guillements et le diese"
                                       : nullptr;
    if (refusal != nullptr) {
      return usageError(refusal);
    }
  }
  Connection c;
  const int status = connectForVerb(settings, options, ctx, c);
  if (status != 0) return status;
  if (!c.facts.alarmStorage || c.facts.blockChannel() < 0) {
    if (!ctx.quiet) showMessage(kEventsNotSupportedText);
    return 1;
  }
  std::vector<std::string> records;
  if (retrieveStoredEvents(c.link, c.facts, c.block, options.eventChoice, name, false, true,
                           records, ctx) != kOk) {
    return 1;
  }
  std::vector<StoredEvent> events;
  int failed = 0;
  for (std::size_t i = 0; i < records.size(); ++i) {
    StoredEvent event;
    const int rc = decodeStoredEvent(records[i], event);
    if (rc != 0) {
      // The good events are kept; the bad one is named.
      if (!ctx.quiet) {
        showMessage("event " + std::to_string(i + 1) + ": " +
                    errorBoxText(kBadMeterDataText, {}, {}, rc));
      }
      failed = rc;
      continue;
    }
    events.push_back(std::move(event));
  }
  if (records.empty() && !ctx.quiet) showMessage(kNoStoredEventsText);
  const std::string text = eventsCsv(events, "\n");
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
  if (!options.eventsCsv.empty()) {
    const int rc = writeFileAtomically(options.eventsCsv, eventsCsv(events, "\r\n"));
    if (rc != 0) {
      if (!ctx.quiet) {
        showMessage("tarnlux-cli: cannot write " + options.eventsCsv + " - Code d'erreur: " +
                    std::to_string(rc));
      }
      return 1;
    }
  }
  return failed == 0 ? 0 : 1;
}

}  // namespace tarnlux::cli
