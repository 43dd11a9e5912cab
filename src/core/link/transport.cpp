#include "link/transport.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "common/error_text.h"
#include "common/result.h"
#include "link/comm_settings.h"

namespace tarnlux {

namespace {

// Failure texts, as the user reads them.
constexpr const char* kSerialOpenFailed = "Impossible ouvrir port comm";
constexpr const char* kSerialStateFailed = "Impossible definir etat comm";
constexpr const char* kSerialPurgeFailed = "Impossible de purger port comm";
// Closing a port handle that fails reports the open text: users know it.
constexpr const char* kSerialCloseFailed = "Impossible ouvrir port comm";
constexpr const char* kNoIpAddress = "Pas d'adresse IP";
constexpr const char* kNoIpPort = "Pas de numero de port IP";
constexpr const char* kSocketCreateFailed = "Impossible de creer prise";
constexpr const char* kSocketOptionFailed = "Impossible de definir option prise";
constexpr const char* kSocketNonBlockingFailed = "Impossible de debloquer prise";
constexpr const char* kConnectFailed = "Impossible d'etablir connexion au debitmetre";
constexpr const char* kSocketCloseFailed = "Impossible de fermer prise";
constexpr const char* kDialoutHint =
    "\nDroits insuffisants sur le port: ajouter l'utilisateur au groupe dialout "
    "(sudo usermod -aG dialout <utilisateur>) puis rouvrir la session";

constexpr char kXon = 0x11;
constexpr char kXoff = 0x13;
// The output queue size the line is driven with: a queue this full takes no more.
constexpr int kOutputQueueLimit = 4096;
constexpr std::int64_t kPacingMs = 5;
constexpr int kMaxSliceMs = 10;

// The socket numbers users and callers know, for the conditions they name.
int socketErrorOf(int err) {
  switch (err) {
    case EINVAL: return kSockInvalidArgument;
    case EAGAIN:
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
    case EINPROGRESS: return kSockWouldBlock;
    case EALREADY: return kSockAlreadyInProgress;
    case EISCONN: return kSockAlreadyConnected;
    // The peer is gone: to the exchange above, the socket is no longer connected.
    case ENOTCONN:
    case EPIPE:
    case ECONNRESET: return kSockNotConnected;
    default: return err;
  }
}

// A code of 0 means "no code" in a message.
int shownCode(int code) { return code != 0 ? code : -1; }

std::int64_t steadyMicros() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void sleepMs(std::int64_t ms) {
  if (ms <= 0) return;
  timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>((ms % 1000) * 1000000)};
  ::nanosleep(&ts, nullptr);
}

speed_t speedOf(std::uint32_t baud) {
  switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return B0;
  }
}

// Dotted decimal, each group read as decimal even with leading zeros (a group
// such as "010" is ten, never octal).
bool parseIpv4(const std::string& text, in_addr& out) {
  if (text.empty() || !isValidIpAddress(text)) return false;
  std::uint32_t value = 0;
  std::uint32_t group = 0;
  for (char c : text) {
    if (c == '.') {
      value = (value << 8) | group;
      group = 0;
    } else {
      group = group * 10 + static_cast<std::uint32_t>(c - '0');
    }
  }
  value = (value << 8) | group;
  out.s_addr = htonl(value);
  return true;
}

// Builds the raw line state of the settings. False when a value has no line
// equivalent.
bool buildLineState(const LinkSettings& s, termios& t) {
  const speed_t speed = speedOf(s.baudRate);
  if (speed == B0 || (s.dataBits != 7 && s.dataBits != 8) || s.parityCode > 2) return false;
  ::cfmakeraw(&t);
  t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | IGNPAR | PARMRK | ISTRIP);
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | CMSPAR);
  // Modem lines carry no flow control and no carrier to wait for.
  t.c_cflag |= CLOCAL | CREAD | (s.dataBits == 8 ? CS8 : CS7);
  if (s.parityCode != 0) {
    t.c_cflag |= PARENB;
    if (s.parityCode == 1) t.c_cflag |= PARODD;
    t.c_iflag |= INPCK;
  }
  if (s.stopBitsCode == 2) t.c_cflag |= CSTOPB;
  if (s.flowControl == 1) t.c_iflag |= IXON | IXOFF;
  t.c_cc[VSTART] = kXon;
  t.c_cc[VSTOP] = kXoff;
  // Reads return what the driver holds, at once.
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  ::cfsetispeed(&t, speed);
  ::cfsetospeed(&t, speed);
  return true;
}

// A driver may accept tcsetattr and quietly keep part of the old state; a line
// that runs with other settings than the meter's only yields garbage.
// Pseudo-terminals have no line: the kernel keeps them at 8 bits, no parity.
bool lineStateTaken(const termios& wanted, const termios& got, bool pseudoTerminal) {
  const tcflag_t cflags = (pseudoTerminal ? 0 : CSIZE | PARENB | PARODD) | CSTOPB | CRTSCTS;
  constexpr tcflag_t iflags = IXON | IXOFF | IXANY | INPCK;
  return ::cfgetospeed(&got) == ::cfgetospeed(&wanted) &&
         (got.c_cflag & cflags) == (wanted.c_cflag & cflags) &&
         (got.c_iflag & iflags) == (wanted.c_iflag & iflags);
}

bool isPseudoTerminal(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) return false;
  const unsigned major = ::major(st.st_rdev);
  // Unix98 slaves (136..143) and the old BSD slaves (3).
  return (major >= 136 && major <= 143) || major == 3;
}

int pollOne(int fd, short events, int maxMs) {
  if (maxMs < 0) maxMs = 0;
  pollfd p{fd, events, 0};
  const int rc = ::poll(&p, 1, maxMs);
  return rc > 0 ? p.revents : 0;
}

}  // namespace

MeterLink::MeterLink() { receive_[0] = '\0'; }

MeterLink::~MeterLink() {
  if (fd_ < 0) return;
  OperationContext silent;
  silent.quiet = true;
  closeLink(false, silent);
}

int MeterLink::openLink(const LinkSettings& settings, bool reuse, int connectTimeoutMs,
                        OperationContext& ctx) {
  // A second open would leak the first connection; the program holds one link.
  if (fd_ >= 0) {
    OperationContext silent;
    silent.quiet = true;
    closeLink(true, silent);
  }
  settings_ = settings;
  receive_[0] = '\0';
  if (isSerialPortName(settings.portName)) return openSerial(ctx);
  return openTcp(reuse, connectTimeoutMs, ctx);
}

int MeterLink::failOpen(const char* message, int code, OperationContext& ctx) {
  ctx.report(message, shownCode(code));
  // Undoing a failed open reports nothing more: the first failure is the news.
  if (fd_ >= 0) {
    OperationContext silent;
    silent.quiet = true;
    closeLink(false, silent);
  }
  setLastSystemError(code);
  return code != 0 ? code : -1;
}

int MeterLink::openSerial(OperationContext& ctx) {
  kind_ = TransportKind::Serial;
  const std::string device = mapLegacyPortName(settings_.portName);

  const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int err = errno;
    setLastSystemError(err);
    if (err == EACCES || err == EPERM) {
      ctx.report(errorBoxText(kSerialOpenFailed, {}, {}, err), -1, kDialoutHint);
    } else {
      ctx.report(kSerialOpenFailed, shownCode(err));
    }
    return err != 0 ? err : -1;
  }
  fd_ = fd;
  // No sharing: a second program opening the port gets "busy".
  if (::ioctl(fd_, TIOCEXCL) != 0) return failOpen(kSerialOpenFailed, errno, ctx);

  termios current{};
  if (::tcgetattr(fd_, &current) != 0) return failOpen(kSerialStateFailed, errno, ctx);
  termios wanted = current;
  if (!buildLineState(settings_, wanted)) return failOpen(kSerialStateFailed, EINVAL, ctx);
  // Recent kernels answer "invalid" when nothing could be changed, which is
  // what a pseudo-terminal says to framing it cannot have: judge by the state.
  const int setError = ::tcsetattr(fd_, TCSANOW, &wanted) == 0 ? 0 : errno;
  if (setError != 0 && setError != EINVAL) return failOpen(kSerialStateFailed, setError, ctx);
  termios taken{};
  if (::tcgetattr(fd_, &taken) != 0) return failOpen(kSerialStateFailed, errno, ctx);
  if (!lineStateTaken(wanted, taken, isPseudoTerminal(fd_))) return failOpen(kSerialStateFailed, EINVAL, ctx);

  // DTR and RTS up. Pseudo-terminals and some adapters have no modem lines;
  // the kernel raised them at open where they exist.
  int lines = TIOCM_DTR | TIOCM_RTS;
  ::ioctl(fd_, TIOCMBIS, &lines);
  // An XOFF left over from an earlier session must not hold the new one; a
  // meter still busy sends XOFF again.
  ::tcflow(fd_, TCOON);

  const int bits = 1 + settings_.dataBits + (settings_.parityCode != 0 ? 1 : 0) +
                   (settings_.stopBitsCode == 2 ? 2 : 1);
  const std::int64_t charUs = static_cast<std::int64_t>(bits) * 1000000 / settings_.baudRate;
  // A UART empties its driver queue into its FIFO in bursts of up to 16
  // characters: only a queue still for longer than that is held.
  holdAfterUs_ = std::max<std::int64_t>(20000, 20 * charUs);
  xoffHeld_ = false;
  queuedAfterWrite_ = 0;
  queueMovedUs_ = steadyMicros();
  openSerialDevice_ = settings_.portName;
  return 0;
}

int MeterLink::openTcp(bool /*reuse*/, int connectTimeoutMs, OperationContext& ctx) {
  kind_ = TransportKind::Tcp;
  if (settings_.ipAddress.empty()) {
    ctx.report(kNoIpAddress);
    return -1;
  }
  if (settings_.portMissing != 0) {
    ctx.report(kNoIpPort);
    return -1;
  }

  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  if (fd < 0) {
    const int code = socketErrorOf(errno);
    setLastSystemError(code);
    ctx.report(kSocketCreateFailed, shownCode(code));
    return code != 0 ? code : -1;
  }
  fd_ = fd;

  const linger noLinger{0, 0};
  const int one = 1;
  if (::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &noLinger, sizeof noLinger) != 0 ||
      ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one) != 0) {
    return failOpen(kSocketOptionFailed, socketErrorOf(errno), ctx);
  }
  const int flags = ::fcntl(fd_, F_GETFL);
  if (flags < 0 || ::fcntl(fd_, F_SETFL, flags | O_NONBLOCK) != 0) {
    return failOpen(kSocketNonBlockingFailed, socketErrorOf(errno), ctx);
  }

  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(settings_.ipPort);
  if (!parseIpv4(settings_.ipAddress, address.sin_addr)) {
    return failOpen(kConnectFailed, kSockInvalidArgument, ctx);
  }

  int last = 0;
  if (::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    last = socketErrorOf(errno);
  }
  const std::int64_t start = ctx.nowMs();
  // Linux reports a connect in progress as would-block or already-in-progress;
  // its "invalid argument" is final, unlike the old socket library's.
  while (last == kSockWouldBlock || last == kSockAlreadyInProgress || last == EINTR) {
    if (ctx.cancelled()) break;
    const std::int64_t remaining = connectTimeoutMs - (ctx.nowMs() - start);
    if (remaining <= 0) break;
    const int revents = pollOne(fd_, POLLOUT, static_cast<int>(std::min<std::int64_t>(remaining, kMaxSliceMs)));
    if (revents != 0) {
      int soError = 0;
      socklen_t length = sizeof soError;
      if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &soError, &length) != 0) soError = errno;
      last = soError == 0 ? 0 : socketErrorOf(soError);
    } else if (last == EINTR) {
      last = kSockWouldBlock;
    }
    ctx.tick();
  }
  if (last == 0 || last == kSockAlreadyConnected) return 0;
  return failOpen(kConnectFailed, last, ctx);
}

int MeterLink::closeLink(bool /*keepLibrary*/, OperationContext& ctx) {
  int result = 0;
  if (fd_ >= 0) {
    if (kind_ == TransportKind::Serial) {
      // Discarding what is queued keeps close from waiting on a held line.
      if (::tcflush(fd_, TCIOFLUSH) != 0) {
        result = errno;
        setLastSystemError(result);
        ctx.report(kSerialPurgeFailed, shownCode(result));
      }
      // The exclusive flag belongs to the device; leave it free for the next open.
      ::ioctl(fd_, TIOCNXCL);
      if (::close(fd_) != 0 && errno != EINTR) {
        result = errno;
        setLastSystemError(result);
        ctx.report(kSerialCloseFailed, shownCode(result));
      }
    } else if (::close(fd_) != 0 && errno != EINTR) {
      result = errno;
      setLastSystemError(result);
      ctx.report(kSocketCloseFailed, shownCode(result));
    }
  }
  fd_ = -1;
  openSerialDevice_.clear();
  xoffHeld_ = false;
  return result;
}

bool MeterLink::outputHeld() {
  // Linux does not tell whether a received XOFF stopped the output. A queue that
  // holds bytes and has not moved for longer than the line needs to drain a
  // FIFO is such a hold (a pseudo-terminal refuses the write itself instead).
  // Measured in real time: it is about the line's speed, not the program's
  // time-outs.
  int queued = 0;
  if (::ioctl(fd_, TIOCOUTQ, &queued) != 0) queued = 0;
  const std::int64_t now = steadyMicros();
  if (queued <= 0 || queued < queuedAfterWrite_) {
    queuedAfterWrite_ = std::max(queued, 0);
    queueMovedUs_ = now;
    xoffHeld_ = false;
  } else if (now - queueMovedUs_ >= holdAfterUs_) {
    xoffHeld_ = true;
  }
  return xoffHeld_ || queued >= kOutputQueueLimit;
}

int MeterLink::writeSerialByte(std::uint8_t byte, int& status, OperationContext& ctx) {
  status = 0;
  if (fd_ < 0 || kind_ != TransportKind::Serial) {
    status = EBADF;
    return 0;
  }
  if (settings_.flowControl == 1 && outputHeld()) return 0;

  const ssize_t n = ::write(fd_, &byte, 1);
  if (n != 1) {
    const int err = n < 0 ? errno : EAGAIN;
    // A full driver queue or a pseudo-terminal held by XOFF: offer it again.
    if (err == EAGAIN || err == EWOULDBLOCK || err == EINTR) return 0;
    status = err;
    setLastSystemError(err);
    return 0;
  }
  if (settings_.flowControl == 1) ++queuedAfterWrite_;
  paceAfterByte(ctx);
  return 1;
}

std::size_t MeterLink::writeSerialBytes(const char* data, std::size_t length, int& status) {
  status = 0;
  if (fd_ < 0 || kind_ != TransportKind::Serial) {
    status = EBADF;
    return 0;
  }
  if (settings_.flowControl == 1 && outputHeld()) return 0;
  const ssize_t n = ::write(fd_, data, length);
  if (n <= 0) {
    const int err = n < 0 ? errno : EAGAIN;
    if (err == EAGAIN || err == EWOULDBLOCK || err == EINTR) return 0;
    status = err;
    setLastSystemError(err);
    return 0;
  }
  if (settings_.flowControl == 1) queuedAfterWrite_ += static_cast<int>(n);
  return static_cast<std::size_t>(n);
}

void MeterLink::paceAfterByte(OperationContext& ctx) const {
  // The meter's command interpreter takes one character every 5 ms; file
  // transfers and meters that buffer their input go at line speed.
  if (bulkTransfer) return;
  if (meterFlags != 0 && (meterFlags & 0xF000u) == 0) return;
  const std::int64_t start = ctx.nowMs();
  for (;;) {
    const std::int64_t remaining = kPacingMs - (ctx.nowMs() - start);
    if (remaining <= 0) break;
    sleepMs(std::min<std::int64_t>(remaining, kMaxSliceMs));
    ctx.tick();
  }
}

std::size_t MeterLink::tcpSend(const char* data, std::size_t length, int& status) {
  status = 0;
  if (fd_ < 0 || kind_ != TransportKind::Tcp) {
    status = kSockNotConnected;
    return 0;
  }
  if (length == 0) return 0;
  const ssize_t n = ::send(fd_, data, length, MSG_NOSIGNAL);
  if (n < 0) {
    status = errno == EINTR ? kSockWouldBlock : socketErrorOf(errno);
    if (status != kSockWouldBlock) setLastSystemError(status);
    return 0;
  }
  return static_cast<std::size_t>(n);
}

std::size_t MeterLink::readAvailable(std::size_t offset, int& status, bool& pending) {
  status = 0;
  pending = false;
  if (fd_ < 0) {
    status = kind_ == TransportKind::Tcp ? kSockNotConnected : EBADF;
    return 0;
  }
  if (offset > kReceiveAreaSize) offset = kReceiveAreaSize;
  const std::size_t room = kReceiveAreaSize - offset;

  if (kind_ == TransportKind::Tcp) {
    if (room == 0) {
      status = kSockWouldBlock;
      return 0;
    }
    const ssize_t n = ::recv(fd_, receive_ + offset, room, 0);
    if (n > 0) {
      receive_[offset + static_cast<std::size_t>(n)] = '\0';
      return static_cast<std::size_t>(n);
    }
    if (n == 0) {
      status = kSockNotConnected;
    } else {
      status = errno == EINTR ? kSockWouldBlock : socketErrorOf(errno);
    }
    if (status != kSockWouldBlock) setLastSystemError(status);
    return 0;
  }

  if (room == 0) return 0;
  int waiting = 0;
  if (::ioctl(fd_, FIONREAD, &waiting) != 0) {
    status = errno;
    setLastSystemError(status);
    return 0;
  }
  if (waiting <= 0) return 0;
  const std::size_t wanted = std::min(room, static_cast<std::size_t>(waiting));
  const ssize_t n = ::read(fd_, receive_ + offset, wanted);
  if (n > 0) {
    receive_[offset + static_cast<std::size_t>(n)] = '\0';
    return static_cast<std::size_t>(n);
  }
  if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
    status = errno;
    setLastSystemError(status);
  }
  return 0;
}

void MeterLink::waitReadable(int maxMs) const {
  if (fd_ < 0) return;
  pollOne(fd_, POLLIN, maxMs);
}

void MeterLink::waitWritable(int maxMs) const {
  if (fd_ < 0) return;
  // A line held by XOFF still polls writable while its queue has room.
  if (kind_ == TransportKind::Serial && xoffHeld_) {
    sleepMs(maxMs);
    return;
  }
  pollOne(fd_, POLLOUT, maxMs);
}

int MeterLink::outputQueueLength() const {
  if (fd_ < 0 || kind_ != TransportKind::Serial) return 0;
  int queued = 0;
  if (::ioctl(fd_, TIOCOUTQ, &queued) != 0) return 0;
  return queued;
}

void MeterLink::purgeDevice() const {
  if (fd_ >= 0 && kind_ == TransportKind::Serial) ::tcflush(fd_, TCIOFLUSH);
}

}  // namespace tarnlux
