#pragma once

// The fields of the two limits set-up screens (transit-time and Echoflux):
// their labels, the value an empty edit takes, the rule a typed value must
// pass, the message of a refused field, and the error priority order in which
// Save reports the first refusal. The command line's block write and limits
// verbs apply the same rules.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "diag/pass_fail_limits.h"
#include "graph/grade_colour.h"
#include "link/meter_block.h"

namespace tarnlux {

// One warning/fail pair, as a screen row shows it.
struct LimitFieldPair {
  const char* key;             // the name scripts use: "alc", "snr", "fft_peak", ...
  const char* quantity;        // named in the order message
  const char* warningLabel;
  const char* failLabel;
  const char* warningMessage;  // a refused warning value
  const char* failMessage;     // a refused fail value
  bool integer;                // integer > 0; else real >= 0
  BadSide bad;                 // which side of a limit is the problem
  double maximum;              // highest value that makes sense (a percentage, a ratio)
  double warningEmpty, failEmpty;        // an empty edit
  double gasWarningEmpty, gasFailEmpty;  // the same on a gas meter
  IntLimitPair* (*integerPair)(PassFailLimits&);
  RealLimitPair* (*realPair)(PassFailLimits&);
};

// The pairs of a layout, in the screen's error priority order (warning before
// fail in each pair).
const std::vector<LimitFieldPair>& limitFieldPairs(MeterBlockLayout layout);
// The pair named `key` in `layout`, or null.
const LimitFieldPair* findLimitFieldPair(MeterBlockLayout layout, std::string_view key);

// The check of one edit when it is left.
struct LimitFieldCheck {
  bool ok = false;
  double value = 0.0;      // the value the field takes (the empty value for an empty edit)
  std::string text;        // the edit rewritten: "%d", or "%f" without trailing zeros
  const char* message = nullptr;  // the field's message when refused
};
// Leading and trailing blanks are ignored; an empty edit takes its empty
// value. An integer must be a base-10 whole number from 1, a real a number
// from 0, both at most the pair's maximum.
LimitFieldCheck checkLimitField(const LimitFieldPair& pair, bool warning, std::string_view text,
                                bool gasMeter);

// Stores a checked value into `limits`.
void setLimitField(const LimitFieldPair& pair, bool warning, double value, PassFailLimits& limits);
double limitFieldValue(const LimitFieldPair& pair, bool warning, const PassFailLimits& limits);

// The text an edit shows for a value: "%d" for integers, "%f" with trailing
// zeros (and a bare point) removed for reals.
std::string limitFieldText(const LimitFieldPair& pair, double value);

// A warning limit past its fail limit (on the pair's bad side) would grade a
// reading as failed before it ever warned. The first such pair, in priority
// order, with its message; equal limits are accepted.
struct LimitOrderFault {
  const LimitFieldPair* pair = nullptr;
  std::string message;
};
std::optional<LimitOrderFault> checkLimitOrder(const PassFailLimits& limits,
                                               MeterBlockLayout layout);
std::string limitOrderMessage(const LimitFieldPair& pair);
// The same test for one pair.
bool limitPairInOrder(const LimitFieldPair& pair, const PassFailLimits& limits);

}  // namespace tarnlux
