#pragma once

// Framed packets of the site transfer: one printable line
//   LL TT SS payload CK CR
// LL = payload length + 4 (low 8 bits), TT = type (sent) or status (answer),
// SS = sequence, CK = sum of the characters from TT to the payload's end,
// modulo 256; all two hexadecimal digits, written in upper case.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/op_context.h"
#include "common/result.h"
#include "link/transport.h"

namespace tarnlux {

inline constexpr int kPacketTooShort = 20101;
inline constexpr int kPacketBadLengthField = 20102;
inline constexpr int kPacketLengthMismatch = 20103;
inline constexpr int kPacketRefused = 20104;          // TT is not "00"
inline constexpr int kPacketBadCheckField = 20105;
inline constexpr int kPacketCheckMismatch = 20106;
inline constexpr int kPacketBadSequenceField = 20107;
inline constexpr int kPacketWrongSequence = 20108;

inline constexpr std::size_t kPacketHeaderLength = 6;  // the payload starts here

// Writes LL, TT and SS in front of the payload already at buffer[6] and CK, CR
// and a NUL behind it. A payload length of 0 means up to the NUL. Returns the
// packet's length including the CR, or -1 when the packet does not fit in
// `bufferSize` (nothing is written then).
int buildPacket(char* buffer, std::size_t bufferSize, std::size_t payloadLength, int type, int sequence);

// Checks one received line (without its CR), faults in this order: 20101
// shorter than 9, 20102 LL not hex, 20103 length not LL + 4, 20104 TT not "00",
// 20105 CK not hex, 20106 CK wrong, and with an expected sequence (not -1)
// 20107 SS not hex, 20108 SS not the expected one. Hex digits of either case.
int checkPacketLine(std::string_view line, int expectedSequence);

// Receives one packet line: everything up to and including `startMarker` (the
// echo of what was sent; null for none) is skipped, then lines shorter than two
// characters; a line feed starting the line is dropped. The line is cut at its
// CR and checked with checkPacketLine; `line` (when given) shows it in the
// receive area. Packet faults are not reported (the caller does); cancel,
// time-out and transport failures are, as receiveUntil does. `elapsedMs` gets
// the time the wait took when a line arrived.
int receivePacket(MeterLink& link, const char* startMarker, int expectedSequence, std::int64_t& elapsedMs,
                  int timeoutMs, OperationContext& ctx, std::string_view* line = nullptr);

}  // namespace tarnlux
