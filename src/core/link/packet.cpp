#include "link/packet.h"

#include <cstdio>
#include <cstring>

#include "common/hex.h"

namespace tarnlux {

namespace {

// Two hexadecimal digits at `at`, or -1.
int hexByte(std::string_view text, std::size_t at) {
  const int high = hexValue(text[at]);
  const int low = hexValue(text[at + 1]);
  return (high < 0 || low < 0) ? -1 : high * 16 + low;
}

}  // namespace

int buildPacket(char* buffer, std::size_t bufferSize, std::size_t payloadLength, int type, int sequence) {
  if (buffer == nullptr || bufferSize < kPacketHeaderLength + 4) return -1;
  if (payloadLength == 0) payloadLength = ::strnlen(buffer + kPacketHeaderLength, bufferSize - kPacketHeaderLength);
  // CK, CR and the NUL follow the payload.
  if (payloadLength > bufferSize - kPacketHeaderLength - 4) return -1;

  char head[8];
  std::snprintf(head, sizeof head, "%02X%02X%02X", static_cast<unsigned>((payloadLength + 4) & 0xFF),
                static_cast<unsigned>(type) & 0xFF, static_cast<unsigned>(sequence) & 0xFF);
  std::memcpy(buffer, head, kPacketHeaderLength);
  unsigned sum = 0;
  for (std::size_t i = 2; i < kPacketHeaderLength + payloadLength; ++i) sum += static_cast<unsigned char>(buffer[i]);
  std::snprintf(buffer + kPacketHeaderLength + payloadLength, 4, "%02X\r", sum & 0xFF);
  return static_cast<int>(kPacketHeaderLength + payloadLength + 3);
}

int checkPacketLine(std::string_view line, int expectedSequence) {
  if (line.size() < 9) return kPacketTooShort;
  const int lengthField = hexByte(line, 0);
  if (lengthField < 0) return kPacketBadLengthField;
  if (line.size() != static_cast<std::size_t>(lengthField) + 4) return kPacketLengthMismatch;
  if (line.substr(2, 2) != "00") return kPacketRefused;
  const std::size_t checkAt = line.size() - 2;
  const int checkField = hexByte(line, checkAt);
  if (checkField < 0) return kPacketBadCheckField;
  unsigned sum = 0;
  for (std::size_t i = 2; i < checkAt; ++i) sum += static_cast<unsigned char>(line[i]);
  if (static_cast<int>(sum & 0xFF) != checkField) return kPacketCheckMismatch;
  if (expectedSequence != -1) {
    const int sequence = hexByte(line, 4);
    if (sequence < 0) return kPacketBadSequenceField;
    if (sequence != expectedSequence) return kPacketWrongSequence;
  }
  return kOk;
}

}  // namespace tarnlux
