#include "link/transport.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "common/result.h"
#include "meter_process.h"
#include "stepping_clock.h"
#include "test_context.h"

using namespace tarnlux;
using tarnlux::test::MeterProcess;
using tarnlux::test::RecordingContext;
using tarnlux::test::TempDir;
using tarnlux::test::writeWholeFile;

namespace {

using Steady = std::chrono::steady_clock;

long long msSince(Steady::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - start).count();
}

const std::string kConnectFailed = "Impossible d'etablir connexion au debitmetre - Code d'erreur: ";

// A loopback listener the test controls.
class Listener {
 public:
  explicit Listener(int backlog = 4) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) == 0 && ::listen(fd_, backlog) == 0 &&
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
      port_ = ntohs(address.sin_port);
    }
  }
  ~Listener() {
    for (int fd : clients_) ::close(fd);
    if (fd_ >= 0) ::close(fd_);
  }
  std::uint16_t port() const { return port_; }
  int acceptOne(int timeoutMs = 2000) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) != 1) return -1;
    const int fd = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) clients_.push_back(fd);
    return fd;
  }
  void closeNow() {
    ::close(fd_);
    fd_ = -1;
  }
  // Fills the accept queue (backlog 0) until a further connection is left
  // unanswered: the kernel drops its handshake, as a meter that is off would.
  bool fillUntilConnectsHang() {
    for (int i = 0; i < 4; ++i) {
      const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
      clients_.push_back(fd);
      sockaddr_in address{};
      address.sin_family = AF_INET;
      address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      address.sin_port = htons(port_);
      ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
      pollfd p{fd, POLLOUT, 0};
      if (::poll(&p, 1, 100) == 0) return true;
    }
    return false;
  }

 private:
  int fd_ = -1;
  std::uint16_t port_ = 0;
  std::vector<int> clients_;
};

LinkSettings tcpSettings(std::uint16_t port) {
  LinkSettings s;
  s.portName = kTcpPortName;
  s.ipAddress = "127.0.0.1";
  s.ipPort = port;
  s.portMissing = 0;
  return s;
}

// Waits (2 s at most) until the link gives bytes or a real error.
std::size_t readSome(MeterLink& link, std::size_t offset, int& status) {
  const auto start = Steady::now();
  while (msSince(start) < 2000) {
    link.waitReadable(10);
    bool pending = true;
    const std::size_t n = link.readAvailable(offset, status, pending);
    EXPECT_FALSE(pending);
    if (n > 0 || (status != 0 && status != kSockWouldBlock)) return n;
  }
  return 0;
}

std::string readPeer(int fd, std::size_t wanted) {
  std::string got;
  const auto start = Steady::now();
  while (got.size() < wanted && msSince(start) < 2000) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 50) != 1) continue;
    char buffer[256];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    got.append(buffer, static_cast<std::size_t>(n));
  }
  return got;
}

bool peerHasData(int fd, int waitMs) {
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, waitMs) == 1;
}

// A pseudo-terminal: the link opens the slave by name, the test plays the
// meter on the master.
struct Pty {
  int master = -1;
  int slave = -1;
  std::string name;
  Pty() {
    char buffer[128];
    if (::openpty(&master, &slave, buffer, nullptr, nullptr) == 0) name = buffer;
  }
  ~Pty() {
    if (slave >= 0) ::close(slave);
    if (master >= 0) ::close(master);
  }
};

LinkSettings serialSettings(const std::string& device, std::uint32_t baud = 9600, std::uint8_t dataBits = 7,
                            std::uint8_t parity = 1, std::uint8_t stopBits = 0, std::uint8_t flow = 0) {
  LinkSettings s;
  s.portName = device;
  s.baudRate = baud;
  s.dataBits = dataBits;
  s.parityCode = parity;
  s.stopBitsCode = stopBits;
  s.flowControl = flow;
  return s;
}

// Recent kernels keep every pseudo-terminal at 8 bits without parity,
// whatever is asked; older ones store what they are given.
bool ptyKeepsFraming() {
  Pty pty;
  termios t{};
  ::tcgetattr(pty.slave, &t);
  t.c_cflag = (t.c_cflag & ~static_cast<tcflag_t>(CSIZE)) | CS7 | PARENB;
  ::tcsetattr(pty.slave, TCSANOW, &t);
  ::tcgetattr(pty.slave, &t);
  return (t.c_cflag & CSIZE) == CS7 && (t.c_cflag & PARENB) != 0;
}

}  // namespace

// ---------------------------------------------------------------------------
// TCP

TEST(TcpTransport, ExchangesBytesAndReportsThePeerClosing) {
  Listener listener;
  ASSERT_NE(listener.port(), 0);
  RecordingContext rec;
  MeterLink link;
  ASSERT_EQ(link.openLink(tcpSettings(listener.port()), false, 5000, rec.ctx), 0);
  EXPECT_TRUE(rec.errors.empty());
  EXPECT_EQ(link.kind(), TransportKind::Tcp);
  EXPECT_TRUE(link.openSerialDevice().empty());
  const int peer = listener.acceptOne();
  ASSERT_GE(peer, 0);

  int value = 0;
  socklen_t length = sizeof value;
  ASSERT_EQ(::getsockopt(link.fd(), IPPROTO_TCP, TCP_NODELAY, &value, &length), 0);
  EXPECT_NE(value, 0);
  linger lingerValue{1, 1};
  length = sizeof lingerValue;
  ASSERT_EQ(::getsockopt(link.fd(), SOL_SOCKET, SO_LINGER, &lingerValue, &length), 0);
  EXPECT_EQ(lingerValue.l_onoff, 0);
  EXPECT_NE(::fcntl(link.fd(), F_GETFL) & O_NONBLOCK, 0);

  int status = -1;
  EXPECT_EQ(link.tcpSend("ENQ\r", 4, status), 4u);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(readPeer(peer, 4), "ENQ\r");

  bool pending = true;
  EXPECT_EQ(link.readAvailable(0, status, pending), 0u);
  EXPECT_EQ(status, kSockWouldBlock);  // nothing yet is not a failure

  ASSERT_EQ(::write(peer, "hello", 5), 5);
  EXPECT_EQ(readSome(link, 0, status), 5u);
  EXPECT_STREQ(link.receiveArea(), "hello");

  ::shutdown(peer, SHUT_RDWR);
  EXPECT_EQ(readSome(link, 5, status), 0u);
  EXPECT_EQ(status, kSockNotConnected);
  // Sending into a closed connection fails without killing the program.
  std::size_t taken = 1;
  for (int i = 0; i < 50 && taken > 0; ++i) {
    taken = link.tcpSend("x", 1, status);
    ::usleep(2000);
  }
  EXPECT_EQ(taken, 0u);
  EXPECT_EQ(status, kSockNotConnected);

  EXPECT_EQ(link.closeLink(false, rec.ctx), 0);
  EXPECT_FALSE(link.isOpen());
  EXPECT_TRUE(rec.errors.empty());
}

TEST(TcpTransport, ReadsStopAtTheEndOfTheReceiveArea) {
  Listener listener;
  RecordingContext rec;
  MeterLink link;
  ASSERT_EQ(link.openLink(tcpSettings(listener.port()), false, 5000, rec.ctx), 0);
  const int peer = listener.acceptOne();
  ASSERT_GE(peer, 0);
  const std::string burst(100, 'x');
  ASSERT_EQ(::write(peer, burst.data(), burst.size()), 100);

  int status = 0;
  link.receiveArea()[kReceiveAreaSize] = 'G';
  EXPECT_EQ(readSome(link, kReceiveAreaSize - 10, status), 10u);
  EXPECT_EQ(link.receiveArea()[kReceiveAreaSize], '\0');

  bool pending = false;
  EXPECT_EQ(link.readAvailable(kReceiveAreaSize, status, pending), 0u);
  EXPECT_EQ(status, kSockWouldBlock);
  EXPECT_EQ(readSome(link, 0, status), 90u);  // nothing was lost meanwhile
}

TEST(TcpTransport, RefusedConnectionShowsTheSystemCode) {
  Listener listener;
  const std::uint16_t port = listener.port();
  listener.closeNow();
  RecordingContext rec;
  MeterLink link;
  EXPECT_EQ(link.openLink(tcpSettings(port), false, 5000, rec.ctx), ECONNREFUSED);
  EXPECT_EQ(rec.errors, std::vector<std::string>{kConnectFailed + std::to_string(ECONNREFUSED)});
  EXPECT_FALSE(link.isOpen());

  rec.errors.clear();
  rec.ctx.quiet = true;
  EXPECT_EQ(link.openLink(tcpSettings(port), true, 5000, rec.ctx), ECONNREFUSED);
  EXPECT_TRUE(rec.errors.empty());
}

TEST(TcpTransport, MissingAddressOrPortFailsAtOnce) {
  RecordingContext rec;
  int pumps = 0;
  rec.ctx.pump = [&pumps] { ++pumps; };
  MeterLink link;
  LinkSettings s = tcpSettings(1);
  s.ipAddress.clear();
  s.portMissing = 1;
  EXPECT_EQ(link.openLink(s, false, 5000, rec.ctx), -1);
  EXPECT_EQ(rec.errors, std::vector<std::string>{"Pas d'adresse IP"});
  EXPECT_FALSE(link.isOpen());

  rec.errors.clear();
  s.ipAddress = "127.0.0.1";
  EXPECT_EQ(link.openLink(s, false, 5000, rec.ctx), -1);
  EXPECT_EQ(rec.errors, std::vector<std::string>{"Pas de numero de port IP"});
  EXPECT_EQ(link.fd(), -1);
  EXPECT_EQ(pumps, 0);  // no connect loop ran

  // A lower-case "com" name is not a serial port.
  rec.errors.clear();
  s.portName = "com1";
  s.ipAddress.clear();
  EXPECT_EQ(link.openLink(s, false, 5000, rec.ctx), -1);
  EXPECT_EQ(link.kind(), TransportKind::Tcp);
  EXPECT_EQ(rec.errors, std::vector<std::string>{"Pas d'adresse IP"});
}

TEST(TcpTransport, CancelEndsTheConnectLoopEarly) {
  Listener listener(0);
  if (!listener.fillUntilConnectsHang()) GTEST_SKIP() << "this kernel answers every loopback connect";
  RecordingContext rec;
  int pumps = 0;
  rec.ctx.pump = [&] {
    if (++pumps == 5) rec.cancel = 1;
  };
  MeterLink link;
  const auto start = Steady::now();
  EXPECT_EQ(link.openLink(tcpSettings(listener.port()), false, 5000, rec.ctx), kSockWouldBlock);
  EXPECT_LT(msSince(start), 1000);
  EXPECT_EQ(pumps, 5);
  EXPECT_EQ(rec.errors, std::vector<std::string>{kConnectFailed + std::to_string(kSockWouldBlock)});
  EXPECT_FALSE(link.isOpen());
}

TEST(TcpTransport, ConnectTimeOutIsMeasuredOnTheContextClock) {
  Listener listener(0);
  if (!listener.fillUntilConnectsHang()) GTEST_SKIP() << "this kernel answers every loopback connect";
  RecordingContext rec;
  // 50 ms a reading: the wait's passes, not the machine's load, set the time.
  test::SteppingClock fast(50);
  rec.ctx.clock = &fast;
  const std::int64_t clockStart = fast.peekMs();
  int shown = 0;
  ProgressLine progress([&shown](const std::string&) { ++shown; });
  progress.start("Connexion ");
  rec.ctx.progress = &progress;
  MeterLink link;
  const auto start = Steady::now();
  EXPECT_EQ(link.openLink(tcpSettings(listener.port()), false, 5000, rec.ctx), kSockWouldBlock);
  EXPECT_GE(fast.peekMs() - clockStart, 5000);  // the whole time-out on the context clock
  EXPECT_LT(msSince(start), 4500);              // not 5 s of the machine's time
  EXPECT_GE(shown, 5);  // the spinner turned every 500 clock-ms meanwhile
  EXPECT_EQ(rec.errors.size(), 1u);
}

TEST(TcpTransport, OpeningAgainReplacesTheEarlierConnection) {
  Listener listener;
  RecordingContext rec;
  MeterLink link;
  ASSERT_EQ(link.openLink(tcpSettings(listener.port()), false, 5000, rec.ctx), 0);
  const int first = listener.acceptOne();
  ASSERT_GE(first, 0);
  ASSERT_EQ(link.openLink(tcpSettings(listener.port()), true, 5000, rec.ctx), 0);
  ASSERT_GE(listener.acceptOne(), 0);
  char byte = 0;
  ASSERT_TRUE(peerHasData(first, 2000));
  EXPECT_EQ(::read(first, &byte, 1), 0);  // the first connection was closed, not leaked
  EXPECT_TRUE(link.isOpen());
}

// ---------------------------------------------------------------------------
// Serial, over a pseudo-terminal

TEST(SerialTransport, EveryLineSettingIsApplied) {
  struct Case {
    std::uint32_t baud;
    speed_t speed;
    std::uint8_t dataBits, parity, stopBits, flow;
  };
  const Case cases[] = {{1200, B1200, 7, 1, 0, 1},
                        {9600, B9600, 8, 0, 2, 0},
                        {57600, B57600, 7, 2, 2, 0},
                        {115200, B115200, 8, 2, 0, 1}};
  const bool keepsFraming = ptyKeepsFraming();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.baud);
    Pty pty;
    ASSERT_FALSE(pty.name.empty());
    RecordingContext rec;
    MeterLink link;
    ASSERT_EQ(link.openLink(serialSettings(pty.name, c.baud, c.dataBits, c.parity, c.stopBits, c.flow), false,
                            5000, rec.ctx),
              0)
        << rec.lastError();
    EXPECT_EQ(link.kind(), TransportKind::Serial);
    EXPECT_EQ(link.openSerialDevice(), pty.name);
    EXPECT_NE(::fcntl(link.fd(), F_GETFL) & O_NONBLOCK, 0);

    termios t{};
    ASSERT_EQ(::tcgetattr(pty.master, &t), 0);  // the master sees the slave's state
    EXPECT_EQ(::cfgetospeed(&t), c.speed);
    EXPECT_EQ(::cfgetispeed(&t), c.speed);
    if (keepsFraming) {
      EXPECT_EQ(t.c_cflag & CSIZE, c.dataBits == 8 ? CS8 : CS7);
      EXPECT_EQ((t.c_cflag & PARENB) != 0, c.parity != 0);
      EXPECT_EQ((t.c_cflag & PARODD) != 0, c.parity == 1);
    }
    EXPECT_EQ((t.c_iflag & INPCK) != 0, c.parity != 0);
    EXPECT_EQ((t.c_cflag & CSTOPB) != 0, c.stopBits == 2);
    EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), CLOCAL | CREAD);
    EXPECT_EQ((t.c_iflag & IXON) != 0, c.flow == 1);
    EXPECT_EQ((t.c_iflag & IXOFF) != 0, c.flow == 1);
    EXPECT_EQ(t.c_iflag & (IXANY | ISTRIP | ICRNL | IGNCR | INLCR | PARMRK | IGNPAR), 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_cc[VSTART], 0x11);
    EXPECT_EQ(t.c_cc[VSTOP], 0x13);
    EXPECT_EQ(t.c_cc[VMIN], 0);
    EXPECT_EQ(t.c_cc[VTIME], 0);

    int exclusive = 0;
    ASSERT_EQ(::ioctl(pty.slave, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 1);  // no other program may open it meanwhile

    EXPECT_EQ(link.closeLink(false, rec.ctx), 0);
    EXPECT_FALSE(link.isOpen());
    EXPECT_TRUE(link.openSerialDevice().empty());
    ASSERT_EQ(::ioctl(pty.slave, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);  // free for the next open
    EXPECT_TRUE(rec.errors.empty());
  }
}

TEST(SerialTransport, BytesGoBothWaysWithinTheReceiveArea) {
  Pty pty;
  RecordingContext rec;
  MeterLink link;
  link.bulkTransfer = true;
  ASSERT_EQ(link.openLink(serialSettings(pty.name), false, 5000, rec.ctx), 0);

  int status = -1;
  bool pending = true;
  EXPECT_EQ(link.readAvailable(0, status, pending), 0u);
  EXPECT_EQ(status, 0);  // silence is not an error on a serial line
  EXPECT_FALSE(pending);

  EXPECT_EQ(link.writeSerialByte('A', status, rec.ctx), 1);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(readPeer(pty.master, 1), "A");

  ASSERT_EQ(::write(pty.master, "OK\r\n", 4), 4);
  EXPECT_EQ(readSome(link, 0, status), 4u);
  EXPECT_STREQ(link.receiveArea(), "OK\r\n");

  // Only the free space is read; the rest waits for the next read.
  ASSERT_EQ(::write(pty.master, "0123456789", 10), 10);
  EXPECT_EQ(readSome(link, kReceiveAreaSize - 4, status), 4u);
  EXPECT_EQ(std::string(link.receiveArea() + kReceiveAreaSize - 4), "0123");
  EXPECT_EQ(link.readAvailable(kReceiveAreaSize, status, pending), 0u);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(readSome(link, 0, status), 6u);
  EXPECT_STREQ(link.receiveArea(), "456789");
}

TEST(SerialTransport, CommandCharactersArePacedUnlessTheMeterBuffersInput) {
  Pty pty;
  RecordingContext rec;
  int pumps = 0;
  rec.ctx.pump = [&pumps] { ++pumps; };
  MeterLink link;
  ASSERT_EQ(link.openLink(serialSettings(pty.name), false, 5000, rec.ctx), 0);
  auto sendTen = [&] {
    int status = 0;
    const auto start = Steady::now();
    for (int i = 0; i < 10; ++i) EXPECT_EQ(link.writeSerialByte('a', status, rec.ctx), 1);
    readPeer(pty.master, 10);
    return msSince(start);
  };

  EXPECT_GE(sendTen(), 40);  // meter not identified yet: paced
  EXPECT_GE(pumps, 10);      // and the window stayed alive meanwhile
  link.meterFlags = 0x1000;
  EXPECT_GE(sendTen(), 40);
  link.meterFlags = 0x0003;
  EXPECT_LT(sendTen(), 40);
  link.meterFlags = 0;
  link.bulkTransfer = true;
  EXPECT_LT(sendTen(), 40);
}

// Linux shows an XOFF hold differently by device: a pseudo-terminal refuses
// the write itself, a UART keeps bytes in its driver queue (the link watches
// that queue stop draining). Either way the byte is offered again, not lost.
TEST(SerialTransport, XoffHoldsBytesBackUntilXon) {
  Pty pty;
  RecordingContext rec;
  MeterLink link;
  link.bulkTransfer = true;
  ASSERT_EQ(link.openLink(serialSettings(pty.name, 9600, 7, 1, 0, 1), false, 5000, rec.ctx), 0);

  const char xoff = 0x13;
  const char xon = 0x11;
  ASSERT_EQ(::write(pty.master, &xoff, 1), 1);
  int status = 0;
  int accepted = 0;
  const auto start = Steady::now();
  while (link.writeSerialByte('a', status, rec.ctx) == 1 && msSince(start) < 2000) {
    ++accepted;  // taken before the line discipline saw the XOFF
    ::usleep(1000);
  }
  ASSERT_LT(msSince(start), 2000) << "the XOFF never held the line";
  EXPECT_EQ(status, 0);
  EXPECT_EQ(readPeer(pty.master, static_cast<std::size_t>(accepted)), std::string(accepted, 'a'));

  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(link.writeSerialByte('b', status, rec.ctx), 0);
    EXPECT_EQ(status, 0);  // held, not failed
    link.waitWritable(5);
  }
  EXPECT_FALSE(peerHasData(pty.master, 20));

  ASSERT_EQ(::write(pty.master, &xon, 1), 1);
  const auto resumed = Steady::now();
  while (link.writeSerialByte('c', status, rec.ctx) == 0 && msSince(resumed) < 2000) link.waitWritable(5);
  EXPECT_EQ(readPeer(pty.master, 1), "c");
  EXPECT_TRUE(rec.errors.empty());
}

TEST(SerialTransport, OpenFailuresShowTheirMessageAndLeaveTheLinkClosed) {
  TempDir dir;
  writeWholeFile(dir.file("plain"), "not a tty");
  RecordingContext rec;
  MeterLink link;
  EXPECT_EQ(link.openLink(serialSettings(dir.file("absent")), false, 5000, rec.ctx), ENOENT);
  EXPECT_EQ(rec.lastError(), "Impossible ouvrir port comm - Code d'erreur: " + std::to_string(ENOENT));
  EXPECT_FALSE(link.isOpen());

  EXPECT_EQ(link.openLink(serialSettings(dir.file("plain")), false, 5000, rec.ctx), ENOTTY);
  EXPECT_EQ(rec.lastError(), "Impossible ouvrir port comm - Code d'erreur: " + std::to_string(ENOTTY));
  EXPECT_FALSE(link.isOpen());
  EXPECT_TRUE(link.openSerialDevice().empty());

  Pty pty;
  EXPECT_EQ(link.openLink(serialSettings(pty.name, 14400), false, 5000, rec.ctx), EINVAL);
  EXPECT_EQ(rec.lastError(), "Impossible definir etat comm - Code d'erreur: " + std::to_string(EINVAL));
  EXPECT_FALSE(link.isOpen());
  EXPECT_EQ(rec.errors.size(), 3u);
}

TEST(SerialTransport, PermissionDeniedAddsTheDialoutHint) {
  Pty pty;
  ASSERT_FALSE(pty.name.empty());
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  std::string text;
  if (::geteuid() == 0) {
    // Root opens anything: try as an ordinary account in a child process.
    ASSERT_EQ(::chmod(pty.name.c_str(), 0600), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      if (::setgid(65534) != 0 || ::setuid(65534) != 0) _exit(2);
      RecordingContext rec;
      MeterLink link;
      link.openLink(serialSettings(pty.name), false, 5000, rec.ctx);
      const std::string shown = rec.lastError();
      (void)!::write(pipeFds[1], shown.data(), shown.size());
      _exit(0);
    }
    ::close(pipeFds[1]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    char buffer[1024];
    ssize_t n = 0;
    while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<std::size_t>(n));
    ::close(pipeFds[0]);
  } else {
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    ASSERT_EQ(::chmod(pty.name.c_str(), 0), 0);
    RecordingContext rec;
    MeterLink link;
    EXPECT_EQ(link.openLink(serialSettings(pty.name), false, 5000, rec.ctx), EACCES);
    text = rec.lastError();
  }
  const std::string firstLine = "Impossible ouvrir port comm - Code d'erreur: " + std::to_string(EACCES) + "\n";
  EXPECT_EQ(text.substr(0, firstLine.size()), firstLine);
  EXPECT_NE(text.find("dialout", firstLine.size()), std::string::npos);
}

TEST(SerialTransport, VanishedDeviceIsAnErrorNotSilence) {
  Pty pty;
  RecordingContext rec;
  MeterLink link;
  ASSERT_EQ(link.openLink(serialSettings(pty.name), false, 5000, rec.ctx), 0);
  ::close(pty.master);  // the adapter is unplugged
  pty.master = -1;
  int status = 0;
  bool pending = false;
  const auto start = Steady::now();
  while (status == 0 && msSince(start) < 2000) {
    link.waitReadable(10);
    EXPECT_EQ(link.readAvailable(0, status, pending), 0u);
  }
  EXPECT_NE(status, 0);
  EXPECT_NE(status, kSockWouldBlock);
  link.closeLink(false, rec.ctx);
  EXPECT_FALSE(link.isOpen());
}

// A pseudo-terminal cannot take 7 bits or parity; recent kernels then call a
// second identical request invalid because nothing changes. Reopening must work.
TEST(SerialTransport, ThePortOpensAgainAfterClose) {
  Pty pty;
  RecordingContext rec;
  MeterLink link;
  for (int round = 0; round < 3; ++round) {
    EXPECT_EQ(link.openLink(serialSettings(pty.name, 9600, 7, 1), false, 5000, rec.ctx), 0) << rec.lastError();
    EXPECT_EQ(link.closeLink(false, rec.ctx), 0);
  }
  EXPECT_EQ(link.openLink(serialSettings(pty.name, 19200, 8, 0, 2), false, 5000, rec.ctx), 0) << rec.lastError();
  EXPECT_TRUE(rec.errors.empty());
}

// ---------------------------------------------------------------------------
// Against the simulated meter

namespace {

// Reads until `until` shows up in the receive area, the link fails or 3 s pass.
// Returns the last status.
int receiveText(MeterLink& link, std::string& text, const std::string& until) {
  int status = 0;
  const auto start = Steady::now();
  std::size_t offset = 0;
  while (msSince(start) < 3000 && text.find(until) == std::string::npos) {
    link.waitReadable(10);
    bool pending = false;
    const std::size_t n = link.readAvailable(offset, status, pending);
    offset += n;
    text.assign(link.receiveArea(), offset);
    if (n == 0 && status != 0 && status != kSockWouldBlock) break;
  }
  return status;
}

}  // namespace

TEST(TransportWithMeter, TcpEchoThenDroppedConnection) {
  MeterProcess meter;
  ASSERT_TRUE(meter.startTcp({"--fault", "drop"})) << meter.error();
  RecordingContext rec;
  MeterLink link;
  ASSERT_EQ(link.openLink(tcpSettings(static_cast<std::uint16_t>(meter.tcpPort())), false, 5000, rec.ctx), 0)
      << rec.lastError();
  int status = 0;
  ASSERT_EQ(link.tcpSend("test\r", 5, status), 5u);
  std::string text;
  // The meter echoes, answers once and hangs up: the read after that says so.
  EXPECT_EQ(receiveText(link, text, "never"), kSockNotConnected);
  EXPECT_EQ(text.substr(0, 4), "test");
  EXPECT_TRUE(rec.errors.empty());
}

TEST(TransportWithMeter, SerialEchoOverThePseudoTerminal) {
  MeterProcess meter;
  ASSERT_TRUE(meter.startPty()) << meter.error();
  RecordingContext rec;
  MeterLink link;
  ASSERT_EQ(link.openLink(serialSettings(meter.ptyPath(), 9600, 7, 1, 0, 1), false, 5000, rec.ctx), 0)
      << rec.lastError();
  EXPECT_EQ(link.openSerialDevice(), meter.ptyPath());
  int status = 0;
  for (char c : std::string("test\r")) {
    const auto start = Steady::now();
    while (link.writeSerialByte(static_cast<std::uint8_t>(c), status, rec.ctx) == 0 && msSince(start) < 2000) {
      ASSERT_EQ(status, 0);
      link.waitWritable(10);
    }
  }
  std::string text;
  EXPECT_EQ(receiveText(link, text, "test"), 0);
  EXPECT_EQ(text.substr(0, 4), "test");
  EXPECT_EQ(link.closeLink(false, rec.ctx), 0);
  EXPECT_TRUE(rec.errors.empty());
}

TEST(TransportWithMeter, MeterHoldingTheLineWithXoffStopsTheWrites) {
  MeterProcess meter;
  ASSERT_TRUE(meter.startPty({"--fault", "xoff-hold"})) << meter.error();
  RecordingContext rec;
  MeterLink link;
  link.bulkTransfer = true;
  ASSERT_EQ(link.openLink(serialSettings(meter.ptyPath(), 9600, 7, 1, 0, 1), false, 5000, rec.ctx), 0)
      << rec.lastError();
  int status = 0;
  int accepted = 0;
  const auto start = Steady::now();
  while (link.writeSerialByte('x', status, rec.ctx) == 1 && msSince(start) < 2000) {
    ++accepted;
    ::usleep(1000);
  }
  EXPECT_LT(msSince(start), 2000) << accepted << " bytes went through the hold";
  EXPECT_EQ(status, 0);
  // Still held a while later: nothing is written, nothing fails.
  for (int i = 0; i < 10; ++i) {
    link.waitWritable(10);
    EXPECT_EQ(link.writeSerialByte('y', status, rec.ctx), 0);
    EXPECT_EQ(status, 0);
  }
}
