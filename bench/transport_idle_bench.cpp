// CPU cost of a link that waits for an answer that does not come: the passes
// of a receive loop (wait on the descriptor up to 10 ms, read, pump) against a
// silent TCP peer and a silent pseudo-terminal. The target is under 2 % of one
// core. Usage: transport_idle_bench [seconds per case, default 10]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/op_context.h"
#include "link/transport.h"

using namespace tarnlux;

namespace {

double cpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs receive passes for `seconds` and prints the share of one core used.
bool idle(const char* name, MeterLink& link, double seconds) {
  OperationContext ctx;
  long pumps = 0;
  ctx.pump = [&pumps] { ++pumps; };
  long passes = 0;
  const double cpuBefore = cpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  const auto end = start + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < end) {
    link.waitReadable(10);
    int status = 0;
    bool pending = false;
    if (link.readAvailable(0, status, pending) > 0 || (status != 0 && status != 10035)) {
      std::printf("%s: the peer was not silent (status %d)\n", name, status);
      return false;
    }
    ctx.tick();
    ++passes;
  }
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double cpu = cpuSeconds() - cpuBefore;
  std::printf("%-22s wall %.2f s  cpu %.4f s  = %.3f %% of one core  (%ld passes, %.2f ms each)\n", name, wall,
              cpu, 100.0 * cpu / wall, passes, 1000.0 * wall / static_cast<double>(passes));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
  OperationContext ctx;
  ctx.errorSink = [](const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); };

  // A silent TCP peer: a listener that accepts and never writes.
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(listener, 1) != 0 ||
      ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    std::perror("listener");
    return 1;
  }
  LinkSettings tcp;
  tcp.portName = kTcpPortName;
  tcp.ipAddress = "127.0.0.1";
  tcp.ipPort = ntohs(address.sin_port);
  tcp.portMissing = 0;
  MeterLink link;
  if (link.openLink(tcp, false, 5000, ctx) != 0) return 1;
  const int peer = ::accept(listener, nullptr, nullptr);
  bool ok = idle("TCP, silent peer", link, seconds);
  link.closeLink(false, ctx);
  ::close(peer);
  ::close(listener);

  // A silent serial line: a pseudo-terminal nobody writes to.
  int master = -1;
  int slave = -1;
  char name[128];
  if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
    std::perror("openpty");
    return 1;
  }
  LinkSettings serial;
  serial.portName = name;
  if (link.openLink(serial, false, 5000, ctx) != 0) return 1;
  ok = idle("serial, silent line", link, seconds) && ok;
  link.closeLink(false, ctx);
  ::close(slave);
  ::close(master);
  return ok ? 0 : 1;
}
