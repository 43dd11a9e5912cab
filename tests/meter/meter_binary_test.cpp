// The simulated meter as a program: its start-up lines, its ports and a few
// faults seen from a client's side.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

#include "meter_process.h"
#include "test_paths.h"

using tarnlux::test::MeterProcess;

namespace {

// A descriptor with timed reads: a TCP connection or an opened pty.
class Line {
 public:
  explicit Line(int fd = -1) : fd_(fd) {}
  ~Line() { close(); }
  Line(const Line&) = delete;
  Line& operator=(const Line&) = delete;

  static int connectTcp(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
      ::close(fd);
      return -1;
    }
    return fd;
  }

  static int openPty(const std::string& path, speed_t speed = B9600, bool xon = false) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return -1;
    termios t{};
    ::tcgetattr(fd, &t);
    cfmakeraw(&t);
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    if (xon) t.c_iflag |= IXON | IXOFF;
    ::tcsetattr(fd, TCSANOW, &t);
    ::tcflush(fd, TCIFLUSH);
    return fd;
  }

  bool ok() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  void close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  void send(const std::string& text) {
    ASSERT_EQ(::write(fd_, text.data(), text.size()), ssize_t(text.size()));
  }

  // Reads until `marker` has arrived, the peer closes, or `ms` pass.
  std::string readUntil(const std::string& marker, int ms = 3000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (received_.find(marker) == std::string::npos && !closed_) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          end - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
      char buffer[4096];
      const ssize_t n = ::read(fd_, buffer, sizeof buffer);
      if (n > 0) {
        received_.append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
        closed_ = true;
      }
    }
    std::string out;
    out.swap(received_);
    return out;
  }
  bool closed() const { return closed_; }

 private:
  int fd_;
  std::string received_;
  bool closed_ = false;
};

std::string runForOutput(const std::string& args, int& status) {
  const std::string command = std::string(tarnlux::test::meterBinary()) + " " + args + " 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  std::string out;
  char buffer[512];
  while (pipe != nullptr && std::fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
  status = pipe == nullptr ? -1 : ::pclose(pipe);
  status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return out;
}

TEST(MeterBinary, TcpAnswersTheProbeReadsAndQueries) {
  MeterProcess meter;
  ASSERT_TRUE(meter.startTcp({"--fault", "split"})) << meter.error();
  ASSERT_GT(meter.tcpPort(), 0);
  Line line(Line::connectTcp(meter.tcpPort()));
  ASSERT_TRUE(line.ok());
  line.send("\b\b\b\b\b\btest\r");
  EXPECT_NE(line.readUntil("???").find("???"), std::string::npos);
  line.send("cv 0 id\r");
  EXPECT_NE(line.readUntil("|\r").find("char id[8] |LIQ01234|\r"), std::string::npos);
  line.send("qg A01\r");
  EXPECT_NE(line.readUntil("\x03").find("50100101\r\n\x03"), std::string::npos);
}

TEST(MeterBinary, NewTcpConnectionReplacesTheCurrentOne) {
  MeterProcess meter;
  ASSERT_TRUE(meter.startTcp()) << meter.error();
  Line first(Line::connectTcp(meter.tcpPort()));
  ASSERT_TRUE(first.ok());
  first.send("test\r");
  first.readUntil("> ");
  Line second(Line::connectTcp(meter.tcpPort()));
  ASSERT_TRUE(second.ok());
  first.readUntil("never", 2000);
  EXPECT_TRUE(first.closed());
  second.send("test\r");
  EXPECT_NE(second.readUntil("???").find("???"), std::string::npos);
}

TEST(MeterBinary, DropClosesTheConnectionAfterTheAnswerAndServesTheNextOne) {
  MeterProcess meter;
  ASSERT_TRUE(meter.startTcp({"--fault", "drop"})) << meter.error();
  Line line(Line::connectTcp(meter.tcpPort()));
  line.send("test\r");
  const std::string got = line.readUntil("never", 2000);
  EXPECT_NE(got.find("???\r\n> "), std::string::npos) << "the answer arrives before the close";
  EXPECT_TRUE(line.closed());
  Line again(Line::connectTcp(meter.tcpPort()));
  again.send("test\r");
  EXPECT_NE(again.readUntil("???").find("???"), std::string::npos);
  again.readUntil("never", 300);
  EXPECT_FALSE(again.closed()) << "only once";
}

TEST(MeterBinary, MenuFaultAndXoffHoldOverTcp) {
  MeterProcess menu;
  ASSERT_TRUE(menu.startTcp({"--fault", "menu"})) << menu.error();
  Line line(Line::connectTcp(menu.tcpPort()));
  line.send("\b\b\b\b\b\btest\r");
  EXPECT_EQ(line.readUntil("???", 300), "");
  line.send(
      "\x1b"
      "D\x1b"
      "D\x1b"
      "D\x1b"
      "D\x1b"
      "D\x1b"
      "D");
  line.readUntil("> ");
  line.send("test\r");
  EXPECT_NE(line.readUntil("???").find("???"), std::string::npos);

  MeterProcess held;
  ASSERT_TRUE(held.startTcp({"--fault", "xoff-hold"})) << held.error();
  Line client(Line::connectTcp(held.tcpPort()));
  client.send("test\r");
  EXPECT_EQ(client.readUntil("???", 300), "");
}

TEST(MeterBinary, PtyKeepsServingAcrossCloseAndReopen) {
  MeterProcess meter;
  ASSERT_TRUE(meter.startPty({"--profile", "gas4"})) << meter.error();
  struct stat info {};
  ASSERT_EQ(::lstat(meter.ptyPath().c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  for (int round = 0; round < 2; ++round) {
    Line line(Line::openPty(meter.ptyPath()));
    ASSERT_TRUE(line.ok());
    line.send("test\r");
    EXPECT_NE(line.readUntil("???").find("???"), std::string::npos) << "round " << round;
    line.send("cv 4 id\r");
    EXPECT_NE(line.readUntil("|\r").find("|GAS4SITE|"), std::string::npos);
  }
}

TEST(MeterBinary, PtyWithOtherSpeedHearsOnlyNoise) {
  MeterProcess meter;
  ASSERT_TRUE(meter.startPty({"--line", "9600-7-I-1"})) << meter.error();
  {
    Line wrong(Line::openPty(meter.ptyPath(), B19200));
    wrong.send("test\r");
    const std::string got = wrong.readUntil("???", 500);
    EXPECT_EQ(got.find("???"), std::string::npos);
    EXPECT_EQ(got.size(), 5u) << "one noise byte per byte sent";
  }
  Line right(Line::openPty(meter.ptyPath(), B9600));
  right.send("test\r");
  EXPECT_NE(right.readUntil("???").find("???"), std::string::npos);
}

TEST(MeterBinary, PtyXoffHoldStopsTheClientsWrites) {
  MeterProcess meter;
  ASSERT_TRUE(meter.startPty({"--line", "9600-7-I-1-xon", "--fault", "xoff-hold"}))
      << meter.error();
  Line line(Line::openPty(meter.ptyPath(), B9600, true));
  ASSERT_TRUE(line.ok());
  bool held = false;
  for (int i = 0; i < 100 && !held; ++i) {
    held = ::write(line.fd(), "t", 1) < 0 && errno == EAGAIN;
    if (!held) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(held);
}

TEST(MeterBinary, StopsOnSigtermAndRemovesItsLink) {
  MeterProcess meter;
  ASSERT_TRUE(meter.startPty()) << meter.error();
  const std::string path = meter.ptyPath();
  ASSERT_EQ(::kill(meter.pid(), SIGTERM), 0);
  struct stat info {};
  bool gone = false;
  for (int i = 0; i < 200 && !gone; ++i) {
    gone = ::lstat(path.c_str(), &info) != 0;
    if (!gone) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(gone);
}

TEST(MeterBinary, IdleMeterUsesNextToNoCpu) {
  MeterProcess meter;
  ASSERT_TRUE(
      meter.start({"--tcp", "0", "--pty", "/tmp/tarnlux-idle-" + std::to_string(::getpid())}))
      << meter.error();
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  std::ifstream stat("/proc/" + std::to_string(meter.pid()) + "/stat");
  std::string content((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  std::istringstream fields(content.substr(content.rfind(')') + 2));
  std::string skip;
  for (int i = 0; i < 11; ++i) fields >> skip;  // state .. cmajflt
  long user = 0;
  long system = 0;
  fields >> user >> system;
  EXPECT_LT(user + system, 10) << "clock ticks used while idle";
  meter.stop();
  ::unlink(("/tmp/tarnlux-idle-" + std::to_string(::getpid())).c_str());
}

TEST(MeterBinary, HelpAndBadOptions) {
  int status = -1;
  const std::string help = runForOutput("--help", status);
  EXPECT_EQ(status, 0);
  for (const char* option :
       {"--tcp", "--pty", "--line", "--profile", "--seed", "--fault", "xoff-hold", "drop", "silent",
        "split", "continuous", "garbage", "delay=MS", "menu"}) {
    EXPECT_NE(help.find(option), std::string::npos) << option;
  }
  for (const char* bad :
       {"", "--tcp", "--tcp abc", "--tcp 0 --bogus", "--tcp 0 --fault nothing",
        "--tcp 0 --fault delay=x", "--tcp 0 --line 9600-8-A-1", "--pty /tmp/x --line 9600",
        "--tcp 0 --seed -1", "--tcp 0 --profile no_such_profile", "stray"}) {
    const std::string out = runForOutput(bad, status);
    EXPECT_EQ(status, 2) << bad;
    EXPECT_EQ(out.rfind("tarnlux-meter: ", 0), 0u) << bad << ": " << out;
  }
  // A path that is a plain file is not replaced by the link.
  char name[] = "/tmp/tarnlux-plain-XXXXXX";
  const int fd = ::mkstemp(name);
  ASSERT_GE(fd, 0);
  ::close(fd);
  const std::string out = runForOutput(std::string("--pty ") + name, status);
  EXPECT_EQ(status, 1);
  EXPECT_NE(out.find("is not a symbolic link"), std::string::npos) << out;
  ::unlink(name);
}

}  // namespace
