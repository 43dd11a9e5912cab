#include "queries.h"

#include <cstdio>
#include <ctime>

#include "diag_answers.h"
#include "meter.h"
#include "signal_burst.h"

namespace tarnlux::meter {

namespace {

using BodyBuilder = std::vector<std::string> (*)(Meter&, const QueryRequest&);

struct QueryKind {
  int kind;
  int answerKind;
  BodyBuilder body;
};

char hexDigit(unsigned value) { return "0123456789ABCDEF"[value & 0xF]; }

// Date "MM.DD.YY" and time "HH.MM.SS" of the meter's clock.
std::string meterDate(std::time_t t) {
  std::tm local{};
  localtime_r(&t, &local);
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%02d.%02d.%02d", local.tm_mon + 1, local.tm_mday,
                local.tm_year % 100);
  return buffer;
}

std::string meterTime(std::time_t t) {
  std::tm local{};
  localtime_r(&t, &local);
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%02d.%02d.%02d", local.tm_hour, local.tm_min, local.tm_sec);
  return buffer;
}

// The per-path diagnostic query "qg 0C8" / "qg 2P8" (sub-code 8): every
// answer with data moves the path's readings on by one sample.
bool isDiagnosticQuery(const QueryRequest& q) { return q.subCode == 8; }

// Signal (kind 0) and envelope (kind 1): the bursts and their figures. An
// Echoflux channel answers the diagnostic query with its own form instead.
std::vector<std::string> signalAnswer(Meter& meter, const QueryRequest& q) {
  if (q.kind == 0 && isDiagnosticQuery(q)) {
    advanceDiagnostics(meter, q.channel);
    if (isEchofluxChannel(meter, q.channel)) return echofluxLines(meter, q.channel);
  }
  return signalAnswerLines(meter, q, meter.signalFaults());
}

// The extended diagnostic answer: meters with the memory block only; the
// others answer with the header alone.
std::vector<std::string> extendedDiagnosticAnswer(Meter& meter, const QueryRequest& q) {
  if (!meter.profile().memoryBlock || !isDiagnosticQuery(q)) return {};
  advanceDiagnostics(meter, q.channel);
  std::vector<std::string> lines = extendedDiagnosticLines(meter, q.channel);
  if (!lines.empty()) meter.recordEvent(q.channel, lines.front());
  return lines;
}

// The capability query: everything is in the header.
std::vector<std::string> capabilitiesAnswer(Meter&, const QueryRequest&) { return {}; }

// Kinds answered by code; every other kind answers with the profile's lines
// for it (empty when the profile has none).
constexpr QueryKind kQueryKinds[] = {
    {0x0, 0x0, signalAnswer},
    {0x1, 0x1, signalAnswer},
    {0x2, 0x2, extendedDiagnosticAnswer},
    {0xA, 0x5, capabilitiesAnswer},
};

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (std::size_t pos = text.find(from); pos != std::string::npos;
       pos = text.find(from, pos + to.size())) {
    text.replace(pos, from.size(), to);
  }
}

std::vector<std::string> profileLines(Meter& meter, const QueryRequest& q) {
  const auto it = meter.profile().queryLines.find(q.kind);
  if (it == meter.profile().queryLines.end()) return {};
  const std::time_t now = meter.now();
  std::vector<std::string> lines = it->second;
  for (std::string& line : lines) {
    replaceAll(line, "{id}", meter.cv().text("id", q.channel));
    replaceAll(line, "{type}", meter.profile().typeText);
    replaceAll(line, "{version}", meter.profile().versionText);
    replaceAll(line, "{date}", meterDate(now));
    replaceAll(line, "{time}", meterTime(now));
    replaceAll(line, "{channel}", std::to_string(q.channel));
  }
  return lines;
}

}  // namespace

int answerKindFor(int queryKind) {
  for (const QueryKind& k : kQueryKinds) {
    if (k.kind == queryKind) return k.answerKind;
  }
  return queryKind;
}

std::string queryHeader(const Profile& profile, int answerKind, int channel, int subCode) {
  const unsigned caps = profile.capabilities;
  std::string header;
  header += hexDigit(static_cast<unsigned>(answerKind));
  header += hexDigit(static_cast<unsigned>(channel));
  header += hexDigit(static_cast<unsigned>(subCode));
  header += hexDigit(caps >> 12);
  header += hexDigit(caps >> 8);
  header += hexDigit(caps >> 4);
  header += hexDigit(caps);
  if (profile.memoryBlock) header += hexDigit(caps >> 16);
  return header;
}

std::string answerQuery(Meter& meter, const QueryRequest& request) {
  BodyBuilder builder = profileLines;
  for (const QueryKind& k : kQueryKinds) {
    if (k.kind == request.kind) builder = k.body;
  }
  const std::vector<std::string> body = builder(meter, request);
  const bool etx = meter.profile().memoryBlock;
  std::string out =
      queryHeader(meter.profile(), answerKindFor(request.kind), request.channel, request.subCode) +
      "\r\n";
  for (std::size_t i = 0; i < body.size(); ++i) {
    out += body[i];
    if (!etx || i + 1 < body.size()) out += "\r\n";
  }
  if (etx) out += "\x03\r\n";
  return out;
}

}  // namespace tarnlux::meter
