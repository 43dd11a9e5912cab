#include "diag/limit_fields.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "common/profile_file.h"

namespace tarnlux {

namespace {

constexpr double kNoMaximum = std::numeric_limits<double>::infinity();
constexpr double kPercent = 100.0;

// Accessors of the pairs, in block order.
#define TT_INT(member) \
  [](PassFailLimits& l) -> IntLimitPair* { return &l.transitTime.member; }, nullptr
#define TT_REAL(member) \
  nullptr, [](PassFailLimits& l) -> RealLimitPair* { return &l.transitTime.member; }
#define EF_INT(member) \
  [](PassFailLimits& l) -> IntLimitPair* { return &l.echoflux.member; }, nullptr
#define EF_REAL(member) \
  nullptr, [](PassFailLimits& l) -> RealLimitPair* { return &l.echoflux.member; }

const std::vector<LimitFieldPair> kTransitTimePairs = {
    {"alc", "ALC", "Limite avertissement ALC:", "Limite echec ALC:",
     "Numero incorrect pour limite avertissement ALC", "Numero incorrect pour limite echec ALC",
     true, BadSide::Low, kPercent, 30, 20, 45, 35, TT_INT(alc)},
    {"snr", "SNR", "Limite avertissement SNR:", "Limite echec SNR:",
     "Valeur incorrecte pour limite avertissement SNR", "Valeur incorrecte pour limite echec SNR",
     false, BadSide::Low, kNoMaximum, 20, 10, 20, 10, TT_REAL(snr)},
    {"correlation_quality", "Q correlation", "Limite avertissement Q correl:",
     "Limite echec Q correl:", "Valeur incorrecte pour limite avertissement Q correlation",
     "Valeur incorrecte pour limite echec Q correlation", false, BadSide::High, 1.0, 0.75, 0.9,
     0.75, 0.9, TT_REAL(correlationQuality)},
    {"adc", "% tampon ADC", "Limite avert % tampon ADC:", "Limite echec % tampon ADC:",
     "Valeur incorrecte pour limite avertissement % tampon ADC",
     "Valeur incorrecte pour limite echec % tampon ADC", true, BadSide::Low, kPercent, 50, 30, 50,
     30, TT_INT(adcBuffer)},
    {"accepted", "% valide", "Limite avert % accepte:", "Limite echec % accepte:",
     "Valeur incorrecte pour limite avertissement % valide",
     "Valeur incorrecte pour limite echec % valide", true, BadSide::Low, kPercent, 90, 50, 90, 50,
     TT_INT(accepted)},
    {"envelope", "% modif enveloppe", "Limite avert modif % enveloppe:",
     "Limite echec modif % enveloppe:",
     "Valeur incorrecte pour limite avertissement % modif enveloppe",
     "Valeur incorrecte pour limite echec % modif enveloppe", true, BadSide::High, kPercent, 30,
     40, 30, 40, TT_INT(envelopeChange)},
    {"nulltrack_alc", "ALC NullTrack", "Limite avert ALC NullTrack:", "Limite echec ALC NullTrack:",
     "Valeur incorrecte pour limite avertissement ALC NullTrack ",
     "Valeur incorrecte pour limite echec ALC NullTrack", true, BadSide::Low, kPercent, 30, 20, 50,
     40, TT_INT(nullTrackAlc)},
    {"nulltrack_delta_time", "tps delta NullTrack", "Limite avert t delta NullTrack:",
     "Limite echec t delta NullTrack:",
     "Valeur incorrecte pour limite avertissement tps delta NullTrack ",
     "Valeur incorrecte pour limite echec tps delta NullTrack ", false, BadSide::High, kNoMaximum,
     0.02, 0.05, 0.02, 0.05, TT_REAL(nullTrackDeltaTime)},
    {"flow_velocity_diff", "vit flux (% ecart de moy)", "Limite avert vit flux (% ecart de moy):",
     "Limite echec vit flux (% ecart de moy):",
     "Valeur incorrecte pour limite avert vit flux (% ecart de moy)",
     "Valeur incorrecte pour limite echec vit flux (% ecart de moy)", false, BadSide::High,
     kNoMaximum, 2, 4, 2, 4, TT_REAL(flowVelocityDiff)},
    {"sound_speed_diff", "vit sonique (% ecart de moy)",
     "Limite avert vit sonique (% ecart de moy):", "Limite echec vit sonique (% ecart de moy):",
     "Valeur incorrecte pour limite avert vit sonique (% ecart de moy)",
     "Valeur incorrecte pour limite echec vit sonique (% ecart de moy)", false, BadSide::High,
     kNoMaximum, 0.25, 0.5, 0.25, 0.5, TT_REAL(soundSpeedDiff)},
};

const std::vector<LimitFieldPair> kEchofluxPairs = {
    {"signal_strength", "intensite signal(mV)", "Limite avert. intensite signal(mV):",
     "Limite panne intensite signal(mV):",
     "Nombre invalide pour limite avert. intensite signal(mV):",
     "Nombre invalide pour limite panne intensite signal(mV):", true, BadSide::Low, kNoMaximum,
     250, 100, 250, 100, EF_INT(signalStrength)},
    {"low_doppler", "freq. doppler faible (Hz)", "Limite avert. freq. doppler faible (Hz):",
     "Limite panne freq. doppler faible (Hz):",
     "Nombre invalide pour limite avert. freq. doppler faible (Hz):",
     "Nombre invalide pour limite panne freq. doppler faible (Hz):", true, BadSide::Low,
     kNoMaximum, 125, 1, 125, 1, EF_INT(lowDoppler)},
    {"low_range_upper", "freq. doppler plage debit faible (Hz)",
     "Limite avert. freq. doppler (Hz) plage debit faible:",
     "Limite panne freq. doppler (Hz) debit faible:",
     "Nombre invalide pour limite avert. freq. doppler faible plage debit faible (Hz):",
     "Nombre invalide pour limite panne freq. doppler faible plage debit faible (Hz):", true,
     BadSide::High, kNoMaximum, 1400, 2000, 1400, 2000, EF_INT(lowRangeUpper)},
    {"high_range_upper", "freq. doppler plage debit elevee (Hz)",
     "Limite avert. plage debit elevee freq. doppler (Hz):",
     "Limite panne debit eleve freq. doppler (Hz):",
     "Nombre invalide pour limite avert. freq. doppler faible plage debit elevee (Hz):",
     "Nombre invalide pour limite panne freq. doppler faible plage debit elevee (Hz):", true,
     BadSide::High, kNoMaximum, 4000, 6000, 4000, 6000, EF_INT(highRangeUpper)},
    {"liquid_low", "ecart % liquide faible", "Limite avert. ecart % liquide faible:",
     "Limite panne ecart % liquide faible:",
     "Nombre invalide pour limite avert. ecart % liquide faible:",
     "Nombre invalide pour limite panne ecart % liquide faible:", false, BadSide::Low, kNoMaximum,
     30, 25, 30, 25, EF_REAL(liquidLow)},
    {"liquid_high", "ecart % liquide eleve", "Limite avert. ecart % liquide eleve:",
     "Limite panne ecart % liquide eleve:",
     "Nombre invalide pour limite avert. ecart % liquide eleve:",
     "Nombre invalide pour limite panne ecart % liquide eleve:", false, BadSide::High, kNoMaximum,
     50, 60, 50, 60, EF_REAL(liquidHigh)},
    {"slurry_low", "ecart % slurry faible", "Limite avert. ecart % slurry faible:",
     "Limite panne ecart % slurry faible:",
     "Nombre invalide pour limite avert. ecart % slurry faible:",
     "Nombre invalide pour limite panne ecart % slurry faible:", false, BadSide::Low, kNoMaximum,
     10, 10, 10, 10, EF_REAL(slurryLow)},
    {"slurry_high", "ecart % slurry eleve", "Limite avert. ecart % slurry eleve:",
     "Limite panne ecart % slurry eleve:",
     "Nombre invalide pour limite avert. ecart % slurry eleve:",
     "Nombre invalide pour limite panne ecart % slurry eleve:", false, BadSide::High, kNoMaximum,
     25, 30, 25, 30, EF_REAL(slurryHigh)},
    {"noise_low", "niveau bruit faible", "Limite avert. niveau bruit faible:",
     "Limite panne niveau bruit faible:", "Nombre invalide pour limite avert. niveau bruit faible:",
     "Nombre invalide pour limite panne niveau bruit faible:", false, BadSide::Low, kNoMaximum, 15,
     10, 15, 10, EF_REAL(noiseLow)},
    {"noise_high", "niveau bruit eleve", "Limite avert. niveau bruit eleve:",
     "Limite panne niveau bruit eleve:", "Nombre invalide pour limite avert. niveau bruit eleve:",
     "Nombre invalide pour limite panne niveau bruit eleve:", false, BadSide::High, kNoMaximum, 35,
     50, 35, 50, EF_REAL(noiseHigh)},
    {"fft_peak", "pointe FFT", "Limite avert. pointe FTT:", "Limite panne pointe FTT:",
     "Nombre invalide pour limite avert. pointe FFT:",
     "Nombre invalide pour limite panne pointe FFT:", true, BadSide::Low, kNoMaximum, 64, 16, 64,
     16, EF_INT(fftPeak)},
    {"flow_velocity", "vitesse debit", "Limite avert. vitesse debit:", "Limite panne vitesse debit:",
     "Nombre invalide pour limite avert. vitesse debit:",
     "Nombre invalide pour limite panne vitesse debit:", false, BadSide::Low, kNoMaximum, 1, 0.001,
     1, 0.001, EF_REAL(flowVelocity)},
};

#undef TT_INT
#undef TT_REAL
#undef EF_INT
#undef EF_REAL

bool isDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

// A plain decimal number: digits with at most one point, an optional
// exponent; no hexadecimal, infinity or "not a number".
std::optional<double> parseReal(std::string_view text) {
  if (text.empty()) return std::nullopt;
  for (char c : text) {
    const bool allowed = (c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '-' ||
                         c == '+';
    if (!allowed) return std::nullopt;
  }
  if (text.front() == '+') text.remove_prefix(1);
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

const std::vector<LimitFieldPair>& limitFieldPairs(MeterBlockLayout layout) {
  return layout == MeterBlockLayout::Echoflux ? kEchofluxPairs : kTransitTimePairs;
}

const LimitFieldPair* findLimitFieldPair(MeterBlockLayout layout, std::string_view key) {
  for (const LimitFieldPair& pair : limitFieldPairs(layout))
    if (key == pair.key) return &pair;
  return nullptr;
}

LimitFieldCheck checkLimitField(const LimitFieldPair& pair, bool warning, std::string_view text,
                                bool gasMeter) {
  LimitFieldCheck check;
  const std::string typed = trimmed(text);
  if (typed.empty()) {
    check.ok = true;
    check.value = warning ? (gasMeter ? pair.gasWarningEmpty : pair.warningEmpty)
                          : (gasMeter ? pair.gasFailEmpty : pair.failEmpty);
    check.text = limitFieldText(pair, check.value);
    return check;
  }
  check.message = warning ? pair.warningMessage : pair.failMessage;
  double value = 0;
  if (pair.integer) {
    std::string_view digits = typed;
    if (digits.front() == '+') digits.remove_prefix(1);
    std::int32_t number = 0;
    if (!isDigits(digits)) return check;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (error != std::errc() || end != digits.data() + digits.size() || number <= 0) return check;
    value = number;
  } else {
    const std::optional<double> number = parseReal(typed);
    if (!number || *number < 0.0) return check;
    value = *number;
  }
  if (value > pair.maximum) return check;
  check.ok = true;
  check.message = nullptr;
  check.text = limitFieldText(pair, value);
  // The value the block will carry (six decimals), so the program grades
  // with what the meter keeps.
  check.value = pair.integer ? value : std::strtod(check.text.c_str(), nullptr);
  return check;
}

void setLimitField(const LimitFieldPair& pair, bool warning, double value, PassFailLimits& limits) {
  if (pair.integer) {
    IntLimitPair& p = *pair.integerPair(limits);
    (warning ? p.warning : p.fail) = static_cast<std::int32_t>(value);
  } else {
    RealLimitPair& p = *pair.realPair(limits);
    (warning ? p.warning : p.fail) = value;
  }
}

double limitFieldValue(const LimitFieldPair& pair, bool warning, const PassFailLimits& limits) {
  PassFailLimits& l = const_cast<PassFailLimits&>(limits);
  if (pair.integer) {
    const IntLimitPair& p = *pair.integerPair(l);
    return warning ? p.warning : p.fail;
  }
  const RealLimitPair& p = *pair.realPair(l);
  return warning ? p.warning : p.fail;
}

std::string limitFieldText(const LimitFieldPair& pair, double value) {
  if (pair.integer) return std::to_string(static_cast<long long>(value));
  char buffer[64];
  const auto [end, error] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
  if (error != std::errc()) return {};
  std::string text(buffer, end);
  while (!text.empty() && text.back() == '0') text.pop_back();
  if (!text.empty() && text.back() == '.') text.pop_back();
  return text;
}

std::string limitOrderMessage(const LimitFieldPair& pair) {
  return std::string("Limite avertissement au-dela de limite echec pour ") + pair.quantity;
}

std::optional<LimitOrderFault> checkLimitOrder(const PassFailLimits& limits,
                                               MeterBlockLayout layout) {
  for (const LimitFieldPair& pair : limitFieldPairs(layout)) {
    if (!limitPairInOrder(pair, limits)) return LimitOrderFault{&pair, limitOrderMessage(pair)};
  }
  return std::nullopt;
}

bool limitPairInOrder(const LimitFieldPair& pair, const PassFailLimits& limits) {
  const double warning = limitFieldValue(pair, true, limits);
  const double fail = limitFieldValue(pair, false, limits);
  return pair.bad == BadSide::High ? warning <= fail : warning >= fail;
}

}  // namespace tarnlux
