#pragma once

// Typed reads of meter variables: one command, the answer up to its carriage
// return, then a parse of the answer text. The parsers are pure functions over
// the answer so they can be checked without a link.
//
// The meter answers a read with a line holding the type word, the variable's
// name and the value; char values stand between bars ("|").

#include <cstdint>
#include <string>
#include <string_view>

#include "common/op_context.h"
#include "common/result.h"
#include "link/transport.h"

namespace tarnlux {

// Answer faults (21000 + n).
inline constexpr int kUnsignedTypeWordMissing = 21001;
inline constexpr int kUnsignedNameMissing = 21002;
inline constexpr int kUnsignedNothingAfterName = 21003;
inline constexpr int kUnsignedTooManyDigits = 21004;
inline constexpr int kUnsignedNoDigit = 21005;
inline constexpr int kIdNoBar = 21006;
inline constexpr int kIdTooShort = 21007;
inline constexpr int kTextNoBar = 21008;
inline constexpr int kTextTooShort = 21009;
inline constexpr int kTextBadLength = 21010;
inline constexpr int kDoubleTypeWordMissing = 21011;
inline constexpr int kDoubleNameMissing = 21012;
inline constexpr int kDoubleNothingAfterName = 21013;
inline constexpr int kDoubleBadTokenLength = 21014;
inline constexpr int kDoubleInvalid = 21015;
inline constexpr int kIntTypeWordMissing = 21016;
inline constexpr int kIntNameMissing = 21017;
inline constexpr int kIntNothingAfterName = 21018;
inline constexpr int kIntBadTokenLength = 21019;
inline constexpr int kIntInvalid = 21020;
inline constexpr int kValueOutOfRange = 21021;

// The longest text value a char read gives.
inline constexpr std::size_t kMaxTextValue = 15;
inline constexpr std::size_t kMeterIdLength = 8;

// Where `word` stands as a whole word at or after `from` (not inside a longer
// name: "int" is not found in "bigint" or "int_max"), or npos. The end of
// `text` bounds a word unless `endBounds` is false (more text may follow).
std::size_t findWholeWord(std::string_view text, std::string_view word, std::size_t from = 0,
                          bool endBounds = true);

// --- Parsers of an answer text (0 or the fault code; outputs untouched on a fault).
// The type word counts only as a whole word, so a name that holds it reads
// by the same rules as any other.

// Finds the type word, then the name after it; after the name skips to the
// value and takes upper-case hexadecimal digits (a lower-case letter ends the
// value). More than 8 digits is a fault even when they are leading zeros.
int parseUnsignedAnswer(std::string_view answer, std::string_view typeWord, std::string_view name,
                        std::uint32_t& value);
// Type word, name, then one blank-delimited token read with the integer rule.
int parseIntAnswer(std::string_view answer, std::string_view typeWord, std::string_view name, int base,
                   std::int32_t& value);
// "double", name, then one token read with the strict decimal rule.
int parseDoubleAnswer(std::string_view answer, std::string_view name, double& value);
// The value between the first "|" and the next "|" or "~", leading blanks
// skipped, 1 to 15 characters; upper-cased when asked.
int parseTextAnswer(std::string_view answer, bool upperCase, std::string& value);
// The 8 characters after the first "|"; the display form shows blanks as "_".
int parseMeterIdAnswer(std::string_view answer, std::string& rawId, std::string& displayId);

// Reports an answer fault, unless quiet, as "Donnees compt. non valables" with
// its code; returns the fault (0 reports nothing).
int reportAnswerFault(int fault, const OperationContext& ctx);

// --- Reads over the link. A send or receive failure comes back unchanged (already
// reported unless quiet); a parse fault is reported as "Donnees compt. non
// valables" with its code. The reads do not purge: the caller does, before a
// command sequence.

// Sends nothing: receives the answer to `command`, a variable read just sent,
// and hands over the text from the type word up to the carriage return that
// ends its line. The type word is looked for after the meter's echo of the
// command line, as a whole word. When the meter's prompt comes back after an
// answer line without it (a variable the meter does not know), the wait ends
// at once as a time-out with something received: "Donnees anticipees non
// recues", -1. Other outcomes as receiveUntil.
int receiveVariableAnswer(MeterLink& link, std::string_view command, std::string_view typeWord,
                          int timeoutMs, OperationContext& ctx, std::string_view& answer);

// "cv INDEX NAME\r", six backspaces first when asked.
int readUnsigned(MeterLink& link, std::string_view name, std::string_view typeWord, int index,
                 std::uint32_t& value, bool backspacePrefix, OperationContext& ctx);
// "COMMAND INDEX NAME\r": "cv" for the meter's variables, "qm" for the
// program's own diagnostic variables; type word "int" or "short".
int readInt(MeterLink& link, std::string_view commandWord, std::string_view name,
            std::string_view typeWord, int index, std::int32_t& value, int base, OperationContext& ctx);
int readDouble(MeterLink& link, std::string_view name, int index, double& value, OperationContext& ctx);
int readText(MeterLink& link, std::string_view name, int index, std::string& value, bool upperCase,
             OperationContext& ctx);
// "cv INDEX id\r".
int readMeterId(MeterLink& link, int index, std::string& rawId, std::string& displayId,
                OperationContext& ctx);

// --- Range checks of channel readings.

struct ReadingRange {
  std::int32_t low;
  std::int32_t high;
};
inline constexpr ReadingRange kRepRateRange{-32768, 32767};  // "rep_rate"
inline constexpr ReadingRange kMakeStateRange{1, 21};        // "make_state"
inline constexpr ReadingRange kFxRange{7, 510};              // "fx"

// 0 inside the range, else 21021 reported as "Donnees compt. non valables".
int checkReadingRange(std::int64_t value, ReadingRange range, const OperationContext& ctx);
// readInt followed by the range check.
int readIntInRange(MeterLink& link, std::string_view commandWord, std::string_view name,
                   std::string_view typeWord, int index, ReadingRange range, std::int32_t& value,
                   OperationContext& ctx);

}  // namespace tarnlux
