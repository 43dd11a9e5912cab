#include "calc/aga8_meter_table.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "calc/aga8_units.h"
#include "calc/entry_text.h"
#include "common/result.h"
#include "link/link_reopen.h"
#include "link/number_rules.h"
#include "reports/meter_config.h"

namespace tarnlux {

namespace {

inline constexpr int kTableDrainTotalMs = 50000;
inline constexpr int kTableDrainQuietMs = 3000;
inline constexpr int kListingTimeoutMs = 50000;
inline constexpr std::size_t kAxisSteps = 10;

// The number a text we wrote stands for; the text never depends on the locale,
// so neither does its reading.
double readNumber(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  double value = 0.0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nan("");
  return value;
}

// Appends one command line "cv <channel> <head> v1,...,v10\r" and records
// what the meter must list back for each value.
void addLine(Aga8MeterTable& table, const std::string& head, const double* values, int decimals,
             double* expected) {
  std::string line = "cv " + std::to_string(table.channel) + " " + head + " ";
  for (std::size_t i = 0; i < kAxisSteps; ++i) {
    const std::string text = fixedNumberText(values[i], decimals);
    line += text;
    line += i + 1 < kAxisSteps ? ',' : '\r';
    expected[i] = aga8MeterReadBack(text);
  }
  table.lines.push_back(std::move(line));
}

bool isSeparator(char c) { return c == ' ' || c == '\r' || c == '\n'; }

Aga8TableSendOutcome ending(Aga8TableSendEnd end, int code, std::string status = {}) {
  Aga8TableSendOutcome outcome;
  outcome.end = end;
  outcome.code = code;
  outcome.status = std::move(status);
  return outcome;
}

// A failed exchange: Stop, or a link failure that was already reported.
Aga8TableSendOutcome linkEnding(int rc) {
  if (rc == kCancelled) return ending(Aga8TableSendEnd::Stopped, rc, kAga8TableStoppedText);
  return ending(Aga8TableSendEnd::LinkFailed, rc);
}

}  // namespace

std::span<const double> Aga8MeterTable::expected(std::size_t array) const {
  switch (array) {
    case 0:
      return temperaturesK;
    case 1:
      return pressuresPsia;
    case 2:
      return densities;
    default:
      return compressibilities;
  }
}

std::array<double, 10> aga8MeterAxis(double minimum, double maximum) {
  std::array<double, 10> axis{};
  const double step = (maximum - minimum) / static_cast<double>(kAxisSteps - 1);
  double value = minimum;
  for (double& entry : axis) {
    entry = value;
    value += step;
  }
  return axis;
}

std::string aga8ReadBackText(double value) {
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 5);
  std::string text(buffer, result.ec == std::errc() ? result.ptr : buffer);
  if (text.size() < 12) text.insert(0, 12 - text.size(), ' ');
  return text;
}

double aga8MeterReadBack(std::string_view sentText) {
  const double sent = readNumber(sentText);
  return readNumber(aga8ReadBackText(sent + sent * 1e-15));
}

Aga8MeterTable buildAga8MeterTable(const Aga8Results& results, int channel) {
  Aga8MeterTable table;
  table.channel = channel;
  const std::array<double, 10> temperatures =
      aga8MeterAxis(results.minimumTemperature, results.maximumTemperature);
  const std::array<double, 10> pressures =
      aga8MeterAxis(aga8PressureToDisplay(results.minimumPressure, kAga8Psia),
                    aga8PressureToDisplay(results.maximumPressure, kAga8Psia));
  addLine(table, "temp_grid[0]", temperatures.data(), 3, table.temperaturesK.data());
  addLine(table, "pres_grid[0]", pressures.data(), 3, table.pressuresPsia.data());
  for (std::size_t row = 0; row < 100; row += 10) {
    addLine(table, "dens_grid[" + std::to_string(row) + "]", &results.table.Rhof[row], 4,
            &table.densities[row]);
  }
  for (std::size_t row = 0; row < 100; row += 10) {
    addLine(table, "z_grid[" + std::to_string(row) + "]", &results.table.Zf[row], 4,
            &table.compressibilities[row]);
  }
  return table;
}

int parseAga8Listing(std::string_view reply, const Aga8MeterArray& array,
                     std::vector<double>& values) {
  values.clear();
  const std::size_t name = reply.find(std::string(array.name) + "[");
  if (name == std::string_view::npos) return kAga8ListingNameMissing;
  const std::size_t first = reply.find("0]", name);
  if (first == std::string_view::npos) return kAga8ListingStartMissing;
  std::size_t pos = first + 2;
  for (;;) {
    while (pos < reply.size() && isSeparator(reply[pos])) ++pos;
    if (pos >= reply.size()) break;
    if (reply[pos] == '[') {
      const std::size_t close = reply.find(']', pos);
      if (close == std::string_view::npos) return kAga8ListingLabelUnclosed;
      pos = close + 1;
      continue;
    }
    const std::size_t start = pos;
    while (pos < reply.size() && !isSeparator(reply[pos])) ++pos;
    if (values.size() == array.count) return kAga8ListingTooManyValues;
    if (pos - start > kAga8ListingMaxNumberLength) return kAga8ListingNumberTooLong;
    // The listing is cut at the CR that follows its end marker's line, so a
    // last number running into the cut (line feeds aside) was never
    // delimited by the meter. A line feed elsewhere is only skipped.
    std::size_t next = pos;
    while (next < reply.size() && reply[next] == '\n') ++next;
    if (next >= reply.size()) return kAga8ListingLastUnended;
    double value = 0.0;
    if (!parseMeterDecimal(reply.substr(start, pos - start), value)) return kAga8ListingBadNumber;
    values.push_back(value);
  }
  if (values.size() < array.count) return kAga8ListingTooFewValues;
  return kOk;
}

Aga8TableSendOutcome sendAga8TableToMeter(MeterLink& link, const Aga8MeterTable& table,
                                          const ChannelFacts& facts, const PasswordDialog& dialog,
                                          OperationContext& ctx) {
  if (ctx.progress != nullptr) ctx.progress->start(kAga8TableSendingText);
  const int channel = table.channel;

  int rc = withTcpRetry(link, ctx, [&](OperationContext& attempt) {
    return resyncPrompt(link, channel, true, false, facts, attempt);
  });
  if (rc != kOk) return linkEnding(rc);

  rc = checkMeterPassword(link, channel, dialog, ctx);
  if (rc == kCancelled && !ctx.cancelled()) {
    return ending(Aga8TableSendEnd::PasswordCancelled, rc, kAga8TableAbandonedText);
  }
  // The password step has shown its message.
  if (rc == kPasswordChangeNotConfirmed) {
    return ending(Aga8TableSendEnd::PasswordNotConfirmed, rc);
  }
  if (rc != kOk) return linkEnding(rc);

  for (std::size_t i = 0; i < table.lines.size(); ++i) {
    // Each line's echo and prompt are drained before the next is typed.
    if (i > 0 && (rc = purgeInput(link, kTableDrainTotalMs, kTableDrainQuietMs, ctx)) != kOk) {
      return linkEnding(rc);
    }
    if ((rc = sendCommand(link, table.lines[i], kSendBaseTimeoutMs, ctx)) != kOk) {
      return linkEnding(rc);
    }
  }

  std::vector<double> listed;
  for (std::size_t a = 0; a < kAga8MeterArrays.size(); ++a) {
    const Aga8MeterArray& array = kAga8MeterArrays[a];
    const std::string command = "cv " + std::to_string(channel) + " " + array.name + "\r";
    if ((rc = sendCommand(link, command, kSendBaseTimeoutMs, ctx)) != kOk) return linkEnding(rc);
    ReceivedText received;
    rc = receiveUntil(link, array.endMarker, "\r", kListingTimeoutMs, ctx, &received);
    if (rc != kOk) return linkEnding(rc);
    rc = parseAga8Listing(std::string_view(link.receiveArea(), received.length), array, listed);
    if (rc != kOk) {
      ctx.report(kAga8TableCorruptText, rc);
      Aga8TableSendOutcome outcome = ending(Aga8TableSendEnd::ListingCorrupt, rc);
      outcome.array = array.name;
      return outcome;
    }
    const std::span<const double> expected = table.expected(a);
    if (!std::equal(listed.begin(), listed.end(), expected.begin(), expected.end())) {
      ctx.report(kAga8TableNotConfirmedText);
      Aga8TableSendOutcome outcome = ending(Aga8TableSendEnd::ValueDiffers, kOk);
      outcome.array = array.name;
      return outcome;
    }
  }
  return ending(Aga8TableSendEnd::Verified, kOk, kAga8TableSentText);
}

bool copyAga8TableToConfiguration(const Aga8MeterTable& table, ConnectOutcome& outcome) {
  if (!outcome.configurationRead || !outcome.configuration.aga8Table) return false;
  const bool bar = outcome.identityRead && !outcome.identity.pressureUnit.empty() &&
                   outcome.identity.pressureUnit[0] == 'B';
  const bool celsius = outcome.identityRead && outcome.identity.temperatureUnit == 'C';
  Aga8Grid& grid = outcome.configuration.aga8;
  for (std::size_t i = 0; i < kAga8GridSize; ++i) {
    grid.pressures[i] = bar ? table.pressuresPsia[i] / kPsiPerBar : table.pressuresPsia[i];
    grid.temperatures[i] =
        aga8TemperatureToDisplay(table.temperaturesK[i], celsius ? kAga8Celsius : kAga8Fahrenheit);
    for (std::size_t p = 0; p < kAga8GridSize; ++p) {
      grid.density[i][p] = table.densities[kAga8GridSize * i + p];
      grid.compressibility[i][p] = table.compressibilities[kAga8GridSize * i + p];
    }
  }
  return true;
}

}  // namespace tarnlux
