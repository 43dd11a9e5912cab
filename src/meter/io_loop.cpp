#include "io_loop.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <limits>
#include <vector>

#include "line_pacing.h"
#include "meter.h"
#include "session.h"

namespace tarnlux::meter {

namespace {

// Output held for a client that does not read is capped; the rest is lost,
// as on a real line whose far end is not listening.
constexpr std::size_t kMaxPending = 256 * 1024;
constexpr int kIdleWaitMs = 1000;
constexpr char kXoff = 0x13;
constexpr char kXon = 0x11;

std::int64_t steadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::int64_t steadyUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string systemError(const std::string& what) { return what + ": " + std::strerror(errno); }

void appendCapped(std::string& pending, const std::string& more) {
  if (pending.size() < kMaxPending) pending.append(more, 0, kMaxPending - pending.size());
}

int selfPipe[2] = {-1, -1};

void onSignal(int) {
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(selfPipe[1], &byte, 1);
  errno = saved;
}

bool installSignals(std::string& error) {
  if (::pipe2(selfPipe, O_NONBLOCK | O_CLOEXEC) != 0) {
    error = systemError("pipe");
    return false;
  }
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigaction(SIGINT, &action, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
  return true;
}

// Loopback TCP: one client at a time; a new connection replaces the one
// before it (a client reconnecting after a failed exchange is served at once).
class TcpPort {
 public:
  TcpPort(Meter& meter, const RunConfig& config)
      : session_(meter, config.faults, config.seed + 1), xoffHold_(config.faults.xoffHold) {}
  ~TcpPort() {
    closeClient();
    if (listenFd_ >= 0) ::close(listenFd_);
  }

  bool open(int port, std::string& error) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) {
      error = systemError("socket");
      return false;
    }
    const int one = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      error = systemError("cannot listen on 127.0.0.1:" + std::to_string(port));
      return false;
    }
    if (::listen(listenFd_, 4) != 0) {
      error = systemError("listen");
      return false;
    }
    socklen_t length = sizeof address;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    return true;
  }

  int port() const { return port_; }

  void collect(std::vector<pollfd>& fds) {
    listenIndex_ = fds.size();
    fds.push_back(pollfd{listenFd_, POLLIN, 0});
    clientIndex_ = SIZE_MAX;
    if (clientFd_ < 0) return;
    clientIndex_ = fds.size();
    // Holding the client off: the socket is not read, so its data piles up
    // and the client's sends stall; only its going away is watched.
    short events = xoffHold_ ? POLLRDHUP : POLLIN;
    if (!pending_.empty()) events |= POLLOUT;
    fds.push_back(pollfd{clientFd_, events, 0});
  }

  void handle(const std::vector<pollfd>& fds, std::int64_t now) {
    if (clientIndex_ != SIZE_MAX && clientFd_ >= 0) {
      const short revents = fds[clientIndex_].revents;
      if (revents & POLLIN) readClient(now);
      if (clientFd_ >= 0 && (revents & (POLLERR | POLLHUP | POLLRDHUP | POLLNVAL)) &&
          !(revents & POLLIN)) {
        closeClient();
      }
    }
    if (fds[listenIndex_].revents & POLLIN) accept(now);
  }

  void pump(std::int64_t now) {
    if (clientFd_ < 0) return;
    std::string due;
    session_.takeDue(now, due);
    appendCapped(pending_, due);
    while (!pending_.empty()) {
      const ssize_t n =
          ::send(clientFd_, pending_.data(), pending_.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n > 0) {
        pending_.erase(0, static_cast<std::size_t>(n));
      } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
        break;
      } else {
        closeClient();
        return;
      }
    }
    if (session_.dropRequested() && pending_.empty()) {
      session_.dropDone();
      // Unread input would make the close a reset, which can destroy the
      // answer before the client reads it.
      char discard[4096];
      while (::recv(clientFd_, discard, sizeof discard, MSG_DONTWAIT) > 0) {
      }
      ::shutdown(clientFd_, SHUT_WR);
      closeClient();
    }
  }

  std::int64_t nextDue() const { return clientFd_ >= 0 ? session_.nextDueMs() : Session::kNever; }

 private:
  void accept(std::int64_t now) {
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    closeClient();
    clientFd_ = fd;
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (xoffHold_) {
      // A small window makes the client's send buffer fill sooner.
      const int small = 1024;
      ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    }
    session_.start(now);
  }

  void readClient(std::int64_t now) {
    char buffer[4096];
    for (int rounds = 0; rounds < 16; ++rounds) {
      const ssize_t n = ::recv(clientFd_, buffer, sizeof buffer, MSG_DONTWAIT);
      if (n > 0) {
        session_.receive(std::string_view(buffer, static_cast<std::size_t>(n)), now);
        continue;
      }
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
      closeClient();
      return;
    }
  }

  void closeClient() {
    if (clientFd_ >= 0) ::close(clientFd_);
    clientFd_ = -1;
    pending_.clear();
    session_.stop();
  }

  Session session_;
  bool xoffHold_;
  int listenFd_ = -1;
  int clientFd_ = -1;
  int port_ = 0;
  std::size_t listenIndex_ = 0;
  std::size_t clientIndex_ = SIZE_MAX;
  std::string pending_;
};

// A pseudo-terminal whose slave side is reached through a symbolic link. The
// meter keeps a descriptor of the slave open itself, so a client may close
// and reopen the line without the meter seeing a hang-up.
class PtyPort {
 public:
  PtyPort(Meter& meter, const RunConfig& config)
      : config_(config), session_(meter, config.faults, config.seed + 2) {
    if (config.lineRate) pacer_.emplace(config.line.value_or(LineSettings{}));
  }
  ~PtyPort() {
    closePty();
    if (!path_.empty()) {
      char target[512];
      const ssize_t n = ::readlink(path_.c_str(), target, sizeof target - 1);
      if (n > 0 && std::string(target, static_cast<std::size_t>(n)) == slaveName_)
        ::unlink(path_.c_str());
    }
  }

  bool open(const std::string& path, std::string& error) {
    if (!createPty(error)) return false;
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0) {
      if (!S_ISLNK(info.st_mode)) {
        error = path + " exists and is not a symbolic link";
        return false;
      }
      ::unlink(path.c_str());
    }
    if (::symlink(slaveName_.c_str(), path.c_str()) != 0) {
      error = systemError("cannot make the link " + path);
      return false;
    }
    path_ = path;
    start(steadyMs());
    return true;
  }

  void collect(std::vector<pollfd>& fds) {
    index_ = fds.size();
    // A paced line takes in no more than it has carried so far (plus a
    // buffer's worth): the client's writes wait in the terminal's queue.
    short events = pacer_ && pacer_->inboundQueued() >= kPacedInboundLimit ? 0 : POLLIN;
    if (!pending_.empty() && !heldByClient_ && !pacer_) events |= POLLOUT;
    fds.push_back(pollfd{masterFd_, events, 0});
  }

  bool handle(const std::vector<pollfd>& fds, std::int64_t now, std::string& error) {
    const short revents = fds[index_].revents;
    if (revents & POLLIN) return readMaster(now, error);
    if (revents & (POLLHUP | POLLERR | POLLNVAL)) return renew(now, error);
    return true;
  }

  bool pump(std::int64_t now, std::string& error) {
    if (pacer_) {
      const std::string arrived = pacer_->takeArrived(steadyUs());
      if (!arrived.empty()) session_.receive(arrived, now);
    }
    std::string due;
    session_.takeDue(now, due);
    if (pacer_ && pending_.empty() && !due.empty()) pacer_->outputQueued(steadyUs());
    appendCapped(pending_, due);
    if (!heldByClient_) flush();
    if (session_.dropRequested() && pending_.empty()) {
      // A hang-up flushes what the client has not read yet: let it take the
      // answer first (checked every few milliseconds, for a bounded time).
      if (hangUpBy_ == 0) hangUpBy_ = now + kHangUpWaitMs;
      int unread = 0;
      if (::ioctl(slaveFd_, FIONREAD, &unread) == 0 && unread > 0 && now < hangUpBy_) return true;
      session_.dropDone();
      hangUpBy_ = 0;
      return renew(now, error);
    }
    return true;
  }

  std::int64_t nextDue() const {
    if (hangUpBy_ != 0) return steadyMs() + kHangUpPollMs;
    return session_.nextDueMs();
  }

  // When the paced line next hands a byte on (steady microseconds), or
  // INT64_MAX: a character takes well under a millisecond at speed.
  std::int64_t pacedDueUs() const {
    if (!pacer_) return std::numeric_limits<std::int64_t>::max();
    return pacer_->nextDueUs(heldByClient_ ? 0 : pending_.size());
  }

 private:
  bool createPty(std::string& error) {
    masterFd_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[256];
    if (masterFd_ < 0 || ::grantpt(masterFd_) != 0 || ::unlockpt(masterFd_) != 0 ||
        ::ptsname_r(masterFd_, name, sizeof name) != 0) {
      error = systemError("cannot open a pseudo-terminal");
      return false;
    }
    ::fcntl(masterFd_, F_SETFL, ::fcntl(masterFd_, F_GETFL) | O_NONBLOCK);
    slaveName_ = name;
    slaveFd_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slaveFd_ < 0) {
      error = systemError("cannot open " + slaveName_);
      return false;
    }
    termios attributes{};
    ::tcgetattr(slaveFd_, &attributes);
    if (config_.line) {
      applyLineSettings(*config_.line, attributes);
    } else {
      cfmakeraw(&attributes);
    }
    if (::tcsetattr(slaveFd_, TCSANOW, &attributes) != 0) {
      error = systemError("cannot set the line settings of " + slaveName_);
      return false;
    }
    return true;
  }

  void closePty() {
    if (slaveFd_ >= 0) ::close(slaveFd_);
    if (masterFd_ >= 0) ::close(masterFd_);
    slaveFd_ = masterFd_ = -1;
  }

  void start(std::int64_t now) {
    pending_.clear();
    if (pacer_) pacer_.emplace(config_.line.value_or(LineSettings{}));
    heldByClient_ = false;
    session_.start(now);
    if (config_.faults.xoffHold) sendXoff();
  }

  // Hangs the line up (the client's descriptor now fails) and offers a fresh
  // pseudo-terminal under the same link.
  bool renew(std::int64_t now, std::string& error) {
    closePty();
    if (!createPty(error)) return false;
    const std::string temporary = path_ + ".new";
    ::unlink(temporary.c_str());
    if (::symlink(slaveName_.c_str(), temporary.c_str()) != 0 ||
        ::rename(temporary.c_str(), path_.c_str()) != 0) {
      error = systemError("cannot renew the link " + path_);
      return false;
    }
    start(now);
    return true;
  }

  void sendXoff() {
    if (config_.faults.silent) return;
    [[maybe_unused]] const ssize_t n = ::write(masterFd_, &kXoff, 1);
  }

  bool readMaster(std::int64_t now, std::string& error) {
    char buffer[4096];
    const ssize_t n = ::read(masterFd_, buffer, sizeof buffer);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return true;
    if (n <= 0) return renew(now, error);
    std::string_view received(buffer, static_cast<std::size_t>(n));
    if (config_.faults.xoffHold) {
      // The client got a byte through (its open may have reset the flow
      // state): hold it again and take nothing in.
      sendXoff();
      return true;
    }
    if (config_.line) {
      termios client{};
      if (::tcgetattr(slaveFd_, &client) == 0 && !sameFraming(*config_.line, client)) {
        // Mismatched framing: the meter reads noise and its replies arrive
        // as noise.
        if (!config_.faults.silent) {
          std::string junk;
          for (char c : received) junk += static_cast<char>(0x80 | ((c ^ 0x55) & 0x7F));
          appendCapped(pending_, junk);
        }
        return true;
      }
    }
    std::string data;
    for (char c : received) {
      // Blocks for the boot loader are data: XON and XOFF among them are bytes.
      if (config_.line && config_.line->xonXoff && !session_.binaryInput() &&
          (c == kXon || c == kXoff)) {
        heldByClient_ = c == kXoff;
      } else {
        data += c;
      }
    }
    if (data.empty()) return true;
    if (pacer_) {
      pacer_->arrive(data, steadyUs());
    } else {
      session_.receive(data, now);
    }
    return true;
  }

  void flush() {
    // A paced line lets out what it has carried by now; the rest waits.
    std::size_t allowed = pacer_ ? pacer_->takeSendable(pending_.size(), steadyUs()) : pending_.size();
    while (!pending_.empty() && allowed > 0) {
      const ssize_t n = ::write(masterFd_, pending_.data(), std::min(allowed, pending_.size()));
      if (n > 0) {
        allowed -= static_cast<std::size_t>(n);
        pending_.erase(0, static_cast<std::size_t>(n));
      } else {
        // EAGAIN: the slave's input queue is full (no one reads); wait for room.
        break;
      }
    }
  }

  const RunConfig& config_;
  Session session_;
  int masterFd_ = -1;
  int slaveFd_ = -1;
  std::string slaveName_;
  std::string path_;
  std::size_t index_ = 0;
  std::string pending_;
  bool heldByClient_ = false;  // the client sent XOFF
  std::int64_t hangUpBy_ = 0;  // drop fault: hang up at the latest then
  std::optional<LinePacer> pacer_;  // --line-rate
  static constexpr std::size_t kPacedInboundLimit = 4096;
  static constexpr int kHangUpWaitMs = 2000;
  static constexpr int kHangUpPollMs = 10;
};

}  // namespace

int runMeter(Meter& meter, const RunConfig& config, std::FILE* announce) {
  std::string error;
  if (!installSignals(error)) {
    std::fprintf(stderr, "tarnlux-meter: %s\n", error.c_str());
    return 1;
  }
  std::optional<TcpPort> tcp;
  std::optional<PtyPort> pty;
  if (config.tcpPort >= 0) {
    tcp.emplace(meter, config);
    if (!tcp->open(config.tcpPort, error)) {
      std::fprintf(stderr, "tarnlux-meter: %s\n", error.c_str());
      return 1;
    }
    std::fprintf(announce, "tcp %d\n", tcp->port());
  }
  if (!config.ptyPath.empty()) {
    pty.emplace(meter, config);
    if (!pty->open(config.ptyPath, error)) {
      std::fprintf(stderr, "tarnlux-meter: %s\n", error.c_str());
      return 1;
    }
    std::fprintf(announce, "pty %s\n", config.ptyPath.c_str());
  }
  std::fprintf(announce, "ready\n");
  std::fflush(announce);

  std::vector<pollfd> fds;
  while (true) {
    std::int64_t now = steadyMs();
    if (tcp) tcp->pump(now);
    if (pty && !pty->pump(now, error)) break;
    std::int64_t due = Session::kNever;
    if (tcp) due = std::min(due, tcp->nextDue());
    if (pty) due = std::min(due, pty->nextDue());
    std::int64_t waitUs = due == Session::kNever
                              ? std::int64_t{kIdleWaitMs} * 1000
                              : std::clamp<std::int64_t>(due - now, 0, kIdleWaitMs) * 1000;
    if (pty) {
      const std::int64_t pacedUs = pty->pacedDueUs();
      if (pacedUs != std::numeric_limits<std::int64_t>::max())
        waitUs = std::min(waitUs, std::max<std::int64_t>(0, pacedUs - steadyUs()));
    }
    const timespec timeout{static_cast<time_t>(waitUs / 1000000), static_cast<long>(waitUs % 1000000) * 1000};
    fds.clear();
    fds.push_back(pollfd{selfPipe[0], POLLIN, 0});
    if (tcp) tcp->collect(fds);
    if (pty) pty->collect(fds);
    if (::ppoll(fds.data(), fds.size(), &timeout, nullptr) < 0) {
      if (errno == EINTR) continue;
      error = systemError("poll");
      break;
    }
    if (fds[0].revents & POLLIN) return 0;
    now = steadyMs();
    if (tcp) tcp->handle(fds, now);
    if (pty && !pty->handle(fds, now, error)) break;
  }
  std::fprintf(stderr, "tarnlux-meter: %s\n", error.c_str());
  return 1;
}

}  // namespace tarnlux::meter
