// Figures of the command exchange:
//   1. CPU used while receiveUntil waits 10 s on a silent meter (target < 2 % of one core);
//   2. time from the last byte of an answer to receiveUntil returning (median; target < 1 ms);
//   3. typed reads per second against the simulated meter over loopback.
// Plain timed driver: prints one line per figure.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "link/exchange.h"
#include "link/transport.h"
#include "link/typed_read.h"
#include "meter_process.h"

namespace {

using namespace tarnlux;
using Steady = std::chrono::steady_clock;

double cpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

LinkSettings tcpTo(int port) {
  LinkSettings settings;
  settings.portName = kTcpPortName;
  settings.ipAddress = "127.0.0.1";
  settings.ipPort = static_cast<std::uint16_t>(port);
  settings.portMissing = 0;
  return settings;
}

OperationContext quietContext() {
  OperationContext ctx;
  ctx.quiet = true;
  return ctx;
}

void idleCpu(int seconds) {
  test::MeterProcess meter;
  if (!meter.startTcp({"--fault", "silent"})) {
    std::printf("idle wait: meter did not start: %s\n", meter.error().c_str());
    return;
  }
  auto link = std::make_unique<MeterLink>();
  OperationContext ctx = quietContext();
  if (link->openLink(tcpTo(meter.tcpPort()), false, 5000, ctx) != 0) {
    std::printf("idle wait: link did not open\n");
    return;
  }
  const double cpuBefore = cpuSeconds();
  const auto wallBefore = Steady::now();
  const int result = receiveUntil(*link, nullptr, "\r", seconds * 1000, ctx);
  const double wall = std::chrono::duration<double>(Steady::now() - wallBefore).count();
  const double cpu = cpuSeconds() - cpuBefore;
  std::printf("idle wait: receiveUntil %d s on a silent meter (result %d): CPU %.3f s in %.2f s wall = %.2f %% of one core\n",
              seconds, result, cpu, wall, 100.0 * cpu / wall);
  link->closeLink(false, ctx);
}

// A loopback peer that answers every "x\r" with "ok\r" after a pause, noting
// when the answer's last byte left.
void answerLatency(int rounds) {
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::listen(listener, 1);
  socklen_t length = sizeof address;
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);

  std::vector<Steady::time_point> sentAt(static_cast<std::size_t>(rounds));
  std::thread peer([&] {
    const int fd = ::accept(listener, nullptr, nullptr);
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    char buffer[64];
    for (int i = 0; i < rounds; ++i) {
      std::size_t got = 0;
      while (got < 2) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) return;
        got += static_cast<std::size_t>(n);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(3));  // let the reader settle into its wait
      sentAt[static_cast<std::size_t>(i)] = Steady::now();
      ::send(fd, "ok\r", 3, MSG_NOSIGNAL);
    }
    ::close(fd);
  });

  auto link = std::make_unique<MeterLink>();
  OperationContext ctx = quietContext();
  std::vector<double> micros;
  if (link->openLink(tcpTo(ntohs(address.sin_port)), false, 5000, ctx) == 0) {
    for (int i = 0; i < rounds; ++i) {
      if (sendCommand(*link, "x\r", kSendBaseTimeoutMs, ctx) != 0) break;
      if (receiveUntil(*link, nullptr, "\r", 5000, ctx) != 0) break;
      const auto returned = Steady::now();
      micros.push_back(std::chrono::duration<double, std::micro>(returned - sentAt[static_cast<std::size_t>(i)]).count());
    }
    link->closeLink(false, ctx);
  }
  peer.join();
  ::close(listener);
  if (micros.empty()) {
    std::printf("answer latency: no rounds completed\n");
    return;
  }
  std::sort(micros.begin(), micros.end());
  std::printf("answer latency: last byte sent -> receiveUntil returned, %zu rounds: median %.1f us, 90th %.1f us, max %.1f us\n",
              micros.size(), micros[micros.size() / 2], micros[micros.size() * 9 / 10], micros.back());
}

void typedReadRate(int seconds) {
  test::MeterProcess meter;
  if (!meter.startTcp()) {
    std::printf("typed reads: meter did not start: %s\n", meter.error().c_str());
    return;
  }
  auto link = std::make_unique<MeterLink>();
  OperationContext ctx = quietContext();
  if (link->openLink(tcpTo(meter.tcpPort()), false, 5000, ctx) != 0 || purgeInput(*link, 5000, 50, ctx) != 0) {
    std::printf("typed reads: link did not open\n");
    return;
  }
  int reads = 0;
  int failures = 0;
  const auto start = Steady::now();
  const auto end = start + std::chrono::seconds(seconds);
  while (Steady::now() < end) {
    std::uint32_t status = 0;
    std::int32_t state = 0;
    double total = 0;
    failures += readUnsigned(*link, "abar", "unsigned", 0, status, false, ctx) != 0;
    failures += readInt(*link, "cv", "make_state", "short", 0, state, 10, ctx) != 0;
    failures += readDouble(*link, "mtotal", 0, total, ctx) != 0;
    reads += 3;
  }
  const double wall = std::chrono::duration<double>(Steady::now() - start).count();
  std::printf("typed reads: %d reads (unsigned, short, double in turn) in %.2f s = %.0f reads/s, %d failures\n",
              reads, wall, reads / wall, failures);
  link->closeLink(false, ctx);
}

}  // namespace

int main(int argc, char** argv) {
  int idleSeconds = 10;
  if (argc > 1) idleSeconds = std::max(1, std::atoi(argv[1]));
  idleCpu(idleSeconds);
  answerLatency(300);
  typedReadRate(3);
  return 0;
}
