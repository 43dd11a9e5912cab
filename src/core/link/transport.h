#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/op_context.h"
#include "link/link_settings.h"

namespace tarnlux {

inline constexpr std::size_t kReceiveAreaSize = 32768;

enum class TransportKind { Serial = 0, Tcp = 1 };

// The one connection to the meter (serial device or TCP socket) and the one
// receive area every answer is read into. Nothing here blocks: the descriptor
// is non-blocking and the waits above this layer poll it.
class MeterLink {
 public:
  MeterLink();
  ~MeterLink();
  MeterLink(const MeterLink&) = delete;
  MeterLink& operator=(const MeterLink&) = delete;

  // Opens the serial device or the TCP connection named by `settings`.
  // 0 on success, else the system/socket error code or -1; failures are shown
  // through ctx unless ctx.quiet. `reuse` keeps the socket library as an earlier
  // open left it (harmless here). The TCP connect loop ends on success, on a hard
  // error, on ctx's cancel flag or after connectTimeoutMs.
  int openLink(const LinkSettings& settings, bool reuse, int connectTimeoutMs,
               OperationContext& ctx);
  // Closes whatever is open; always leaves the link closed. 0 or the last error.
  int closeLink(bool keepLibrary, OperationContext& ctx);

  bool isOpen() const { return fd_ >= 0; }
  TransportKind kind() const { return kind_; }
  int fd() const { return fd_; }
  // The settings the link was opened with.
  const LinkSettings& settings() const { return settings_; }
  // Device path of the open serial port, empty when no serial port is open
  // (the port list does not probe the port the link already holds).
  const std::string& openSerialDevice() const { return openSerialDevice_; }

  // Offers one byte to the serial line: 1 when accepted, 0 when it must be
  // offered again (XOFF hold, full output queue, device busy). A real failure
  // returns 0 with the error in `status`. Paces the meter's command interpreter
  // at one character every 5 ms unless bulkTransfer is set (pumping ctx meanwhile).
  int writeSerialByte(std::uint8_t byte, int& status, OperationContext& ctx);
  // Offers several bytes at once, without pacing (file transfers): the number
  // the driver took, 0 when it must be offered again or on a failure (then
  // with the error in `status`), as writeSerialByte.
  std::size_t writeSerialBytes(const char* data, std::size_t length, int& status);
  // TCP send: number of bytes taken, or 0 with the socket error in `status`
  // (10035 when the socket cannot take more now).
  std::size_t tcpSend(const char* data, std::size_t length, int& status);
  // Reads what has arrived into the receive area at `offset` (never past
  // kReceiveAreaSize): the number of bytes stored, 0 when nothing arrived.
  // `status` gets the error or 0 (TCP: 10035 nothing yet / area full, 10057 the
  // peer closed). `pending` is the serial read's pending flag (always cleared
  // here: reads complete at once on this platform). The caller NUL-terminates.
  std::size_t readAvailable(std::size_t offset, int& status, bool& pending);

  // Waits until input may be read or `maxMs` have passed (the wait of one loop
  // pass: callers pass at most 10 ms). Returns at once when the link is closed.
  void waitReadable(int maxMs) const;
  // Waits until output may be written or `maxMs` have passed.
  void waitWritable(int maxMs) const;
  // Bytes written but not yet sent by the serial driver (0 for TCP).
  int outputQueueLength() const;
  // Discards pending input and output on the device (serial) - used by close.
  void purgeDevice() const;

  char* receiveArea() { return receive_; }
  const char* receiveArea() const { return receive_; }

  // Set during file transfers: no per-character pacing.
  bool bulkTransfer = false;
  // The connected meter's capability word (0 until identified).
  std::uint32_t meterFlags = 0;

 private:
  int openSerial(OperationContext& ctx);
  int openTcp(bool reuse, int connectTimeoutMs, OperationContext& ctx);
  // Ends a failed open: reports `message` with `code`, closes what was made.
  int failOpen(const char* message, int code, OperationContext& ctx);
  // With XON/XOFF on: true while the meter holds the line (see transport.cpp).
  bool outputHeld();
  void paceAfterByte(OperationContext& ctx) const;

  TransportKind kind_ = TransportKind::Tcp;
  int fd_ = -1;
  LinkSettings settings_;
  std::string openSerialDevice_;
  bool xoffHeld_ = false;
  // Hold detection: driver queue length after our last write, and when the
  // queue last moved (steady clock, microseconds).
  int queuedAfterWrite_ = 0;
  std::int64_t queueMovedUs_ = 0;
  std::int64_t holdAfterUs_ = 20000;
  char receive_[kReceiveAreaSize + 1];
};

}  // namespace tarnlux
