#pragma once

// A scripted meter for the exchange tests: a loopback TCP listener whose one
// connection is driven by a test's function on its own thread, so a test can
// split answers, stay silent or hang up exactly where it wants.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "common/op_context.h"
#include "link/link_settings.h"
#include "link/transport.h"

namespace tarnlux::test {

class ScriptedPeer {
 public:
  // The connection as the peer sees it.
  class Line {
   public:
    explicit Line(int fd, const std::atomic<bool>& stop) : fd_(fd), stop_(stop) {}
    void send(const std::string& bytes) const {
      std::size_t done = 0;
      while (done < bytes.size()) {
        const ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
      }
    }
    // Reads until `marker` has arrived (everything read is kept in received()),
    // the test ends, or `timeoutMs` pass. True when the marker came.
    bool waitFor(const std::string& marker, int timeoutMs = 5000) {
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
      while (received_.find(marker, searched_) == std::string::npos) {
        if (stop_ || std::chrono::steady_clock::now() >= deadline) return false;
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 10) <= 0) continue;
        char buffer[4096];
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n <= 0) return false;
        received_.append(buffer, static_cast<std::size_t>(n));
      }
      searched_ = received_.find(marker, searched_) + marker.size();
      return true;
    }
    static void pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
    // Waits until the test is over (a silent meter).
    void idle() const {
      while (!stop_) pause(5);
    }
    // Hangs up.
    void close() {
      if (fd_ >= 0) ::close(fd_);
      fd_ = -1;
    }
    const std::string& received() const { return received_; }
    int fd() const { return fd_; }
    bool stopping() const { return stop_; }

   private:
    int fd_;
    const std::atomic<bool>& stop_;
    std::string received_;
    std::size_t searched_ = 0;
  };

  explicit ScriptedPeer(std::function<void(Line&)> script) {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener_, 1);
    socklen_t length = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this, script = std::move(script)] {
      int fd = -1;
      while (!stop_ && fd < 0) {
        pollfd p{listener_, POLLIN, 0};
        if (::poll(&p, 1, 10) > 0) fd = ::accept(listener_, nullptr, nullptr);
      }
      if (fd < 0) return;
      int noDelay = 1;
      ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
      Line line(fd, stop_);
      script(line);
      received_ = line.received();
      finished_ = true;
      // Keep the connection until the test is over, unless the script hung up.
      line.idle();
      line.close();
    });
  }

  ~ScriptedPeer() { finish(); }

  // Waits (up to `timeoutMs`) for the script to run to its end. True when it did.
  bool awaitScript(int timeoutMs = 5000) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!finished_ && std::chrono::steady_clock::now() < deadline) Line::pause(2);
    return finished_;
  }

  // Stops the script's waits and joins it; received() is complete afterwards.
  void finish() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (listener_ >= 0) ::close(listener_);
    listener_ = -1;
  }

  LinkSettings settings() const {
    LinkSettings s;
    s.portName = kTcpPortName;
    s.ipAddress = "127.0.0.1";
    s.ipPort = port_;
    s.portMissing = 0;
    return s;
  }

  // What the peer's script read (valid after finish() or once the script ended).
  const std::string& received() const { return received_; }
  bool scriptFinished() const { return finished_; }

 private:
  int listener_ = -1;
  std::uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<bool> finished_{false};
  std::string received_;
  std::thread thread_;
};

}  // namespace tarnlux::test
