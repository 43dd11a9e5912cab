#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "diag/pass_fail_limits.h"

namespace tarnlux {

// The memory block: the meter reserves per channel a character variable,
// qmmem, in which the program keeps its limits and the site's identity texts.
// The meter does not interpret it. This file holds the I/O-free half of
// reading and writing it: the commands to send, the decoding of what the meter
// answered, the encoding and the read-back check. The same frame carries the
// command block, qmcmd, through which the program hands commands to the meter.
//
// Block text: comma-separated fields (numbers of the channel's layout, then
// eight texts), filled in the meter with "~" up to its capacity N. On meters
// with alarm storage the fields are framed by a head "G," and a tail
// ",CK,G" + EOT, G being a generation character that changes with every write
// and CK two upper-case hexadecimal digits of a check value over "G," and the
// fields. Example (transit-time defaults, generation "0", name "SITE_A"):
//   0,30,20,20,10,0.75,0.9,50,30,90,50,30,40,30,20,0.02,0.05,2,4,0.25,0.5,SITE_A,,,,,,,,64,0<EOT>\r
// (The meter stores the text without the EOT and the "\r".)

// Read faults; a failed read changes nothing.
inline constexpr int kBlockNoTypeWord = 21021;     // no "char"
inline constexpr int kBlockNoName = 21022;         // no "qmmem["
inline constexpr int kBlockNoBracket = 21023;      // no "]"
inline constexpr int kBlockSizeDigits = 21024;     // no digits or more than 10
inline constexpr int kBlockSizeNotNumber = 21025;
inline constexpr int kBlockNoBar = 21026;          // no "|" after "]"
inline constexpr int kBlockNoClosingBar = 21027;   // no closing "|" or text after it
inline constexpr int kBlockWrongLength = 21028;    // value length differs from N
// 21029 to 21036: text 1 to 8 too long.
inline constexpr int kBlockFirstTextTooLong = 21029;
inline constexpr int kBlockBadDecimal = 21037;
inline constexpr int kBlockBadInteger = 21038;
// The tail's check value is not two hexadecimal digits or differs from the
// check value of the block read.
inline constexpr int kBlockBadCheckValue = 21039;
// Encoding refused: a text holding a character the block cannot carry (",",
// "|", "~" or a control character), or a negative or non-finite number, either
// of which would leave a block that cannot be read back.
inline constexpr int kBlockUnwritableField = 21040;
// Encoding refused: the block is longer than the meter's capacity (or than the
// 1024 characters the program keeps).
inline constexpr int kBlockTooLong = 21041;

// Offsets from the caller's base of the command block's read faults.
inline constexpr int kCommandBlockNoName = 1;
inline constexpr int kCommandBlockNoBracket = 2;
inline constexpr int kCommandBlockSizeDigits = 3;
inline constexpr int kCommandBlockSizeNotNumber = 4;
inline constexpr int kCommandBlockNoBar = 5;
inline constexpr int kCommandBlockNoClosingBar = 6;
inline constexpr int kCommandBlockWrongLength = 7;
inline constexpr int kCommandBlockTooShort = 8;
inline constexpr int kCommandBlockBadFrame = 9;

inline constexpr const char* kMeterBlockCorruptText =
    "Memoire de configuration du compteur corrompue (reenregistrer)";
inline constexpr const char* kMeterBlockTooLongText =
    "Trop de donnees pour memoire configuration du compteur";
inline constexpr const char* kMeterBlockNotConfirmedText =
    "Erreur de confirmation de memoire du compteur (reenregistrer les donnees)";

inline constexpr std::size_t kMeterBlockTextMax = 1024;
inline constexpr char kEot = '\x04';

enum class MeterBlockLayout { TransitTime, Echoflux };

// The eight texts, in block order.
struct MeterInfoTexts {
  std::string location;               // longest written 15, accepted 16
  std::string spoolPartNumber;        // 31
  std::string spoolSerialNumber;      // 16
  std::string manufactureDate;        // 16
  std::string flowmeterPartNumber;    // 31
  std::string flowmeterSerialNumber;  // 16
  std::string lastReportDate;         // 16
  std::string lastReportTime;         // 16
  bool operator==(const MeterInfoTexts&) const = default;
};

// Everything the block holds. The program keeps two of these: the block
// fields (as last read or about to be written, in MeterBlockState) and the
// working values the screens and the grading use (the caller's).
struct MeterBlockFields {
  PassFailLimits limits;
  MeterInfoTexts info;
  bool operator==(const MeterBlockFields&) const = default;
};

// What persists between reads and writes until the program ends.
struct MeterBlockState {
  MeterBlockFields block;
  // The generation of the block last read ("z" when it had no head) or last
  // encoded for a write; the next write uses its successor.
  char generation = 'z';
  // The meter's capacity N, from the last read (0 before any read).
  std::size_t capacity = 0;
  // The last block text encoded for a write, with its "\r".
  std::string lastEncoded;
  // The block text last read (up to the fill characters) or last confirmed.
  std::string lastReadText;
  // The command block's sequence character.
  char commandSequence = 'z';
  // The block fields are what the meter holds: set by a read that decoded the
  // block and by a confirmed write, cleared when a new connect begins. Writes
  // the program makes on its own start from these fields only when it is set.
  bool fromMeter = false;
};

// Longest text accepted on reading (and so on writing) for text 0..7.
std::size_t meterBlockTextLimit(int text);

// Successor in "0"-"9", "A"-"Z", "a"-"z", then "0" again; any other
// character counts as "z".
char nextSequenceCharacter(char c);
// Start with the first character's code; for each following character shift
// left by one (8 bits kept) and exclusive-or the character.
std::uint8_t blockCheckValue(std::string_view text);
// "%f", then trailing zeros after the point and a trailing point removed
// (20.000000 -> "20", 0.750000 -> "0.75", 0 -> "0").
std::string formatBlockDecimal(double value);

// On reading, the layout follows the channel's Echoflux bit (12 + n) of the
// capability word; on writing, the program's current Echoflux mode.
MeterBlockLayout layoutForRead(std::uint32_t meterFlags, int channel);
inline MeterBlockLayout layoutForWrite(bool echofluxMode) {
  return echofluxMode ? MeterBlockLayout::Echoflux : MeterBlockLayout::TransitTime;
}

// "cv %d qmmem\r"; the answer is received until "char" and then "\r".
std::string meterBlockReadCommand(int channel);
// "cv %d qmcmd\r", received the same way.
std::string commandBlockReadCommand(int channel);

// Finds the value of a reserved character variable in the meter's answer:
// "char", then name + "[", the capacity N in brackets, then the value between
// two bars, the closing bar being the answer's last character, exactly N
// characters. Faults are numbered from `faultBase`: +0 no "char", +1 no name,
// +2 no "]", +3 no digits or more than 10, +4 size not a number, +5 no "|",
// +6 no closing "|" or text after it, +7 wrong length. The answer ends at the
// first NUL.
int readReservedVariable(std::string_view answer, std::string_view name, int faultBase,
                         std::size_t& capacity, std::string_view& value);

// Decodes a block value into `fields` (fields missing at its end keep their
// values) and sets `generation` ("z" without head and tail). On a fault
// `fields` and `generation` are unchanged.
int decodeMeterBlockValue(std::string_view value, MeterBlockLayout layout, bool alarmStorage,
                          MeterBlockFields& fields, char& generation);

// The decoding half of readMeterBlock over the text the meter returned:
// remembers the capacity, and unless `verifyOnly` decodes the value into the
// block fields, the generation and the last read text. 0 or 21021-21039.
int readMeterBlockAnswer(std::string_view answer, MeterBlockLayout layout, bool alarmStorage,
                         bool verifyOnly, MeterBlockState& state);

// Builds the block text from `fields`, ending with "\r"; with alarm storage it
// carries head and tail with generation `generation`. 0, 21029-21036 (a text
// longer than reading accepts), kBlockUnwritableField or kBlockTooLong.
int encodeMeterBlock(const MeterBlockFields& fields, MeterBlockLayout layout, bool alarmStorage,
                     char generation, std::string& text);

// The I/O-free first half of writeMeterBlock: encodes `fields` with the next
// generation, checks the capacity (text with its "\r" at most N) and gives the
// command to send, "cv %d qmmem[0] " + block text. On success the generation
// and the last encoded text are remembered (so a write that fails half-way
// still makes the next one use a new generation). The block fields are left
// alone: they take the written fields only once the meter has confirmed them
// (commitMeterBlockWrite). kBlockTooLong shows kMeterBlockTooLongText and
// nothing is sent.
int prepareMeterBlockWrite(int channel, const MeterBlockFields& fields, MeterBlockLayout layout,
                           bool alarmStorage, MeterBlockState& state, std::string& command);

// The read-back check: the block text without its "\r" (and its EOT) occurs in
// the answer of the verify-only read.
bool meterBlockWriteConfirmed(std::string_view readBackAnswer, std::string_view encodedText);

// After a confirmed write: the written fields become the block fields and the
// written text the block last read.
void commitMeterBlockWrite(MeterBlockState& state, const MeterBlockFields& written);

// Validates the command block's answer (faults from `faultBase`, see
// readReservedVariable, plus +8 value shorter than 10 characters and +9 a
// value not framed as "S," ... ",S") and takes its sequence character; an
// empty value (starting with "~") sets "z".
int readCommandBlockAnswer(std::string_view answer, int faultBase, char& sequence);

// The command block write: advances `sequence`, then gives
// "cv %d qmcmd[0] " + S + "," + every field followed by "," + the check value
// of that text as two upper-case hexadecimal digits + "," + S + EOT + "\r".
std::string commandBlockWriteCommand(int channel, char& sequence,
                                     const std::vector<std::string>& fields);

}  // namespace tarnlux
