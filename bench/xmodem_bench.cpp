// Throughput of an operating system load: a 1 MiB file sent in 128-byte
// blocks to tarnlux-meter's boot loader over a pseudo-terminal at 115200
// baud with the meter's line-rate emulation on, as a share of the line rate
// (11520 bytes/s at 10 bits a character). In the same run `sx` of lrzsz sends
// the same file to the same receiver, for comparison.
// Usage: xmodem_bench [file size in bytes, default 1048576]
#include <fcntl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/op_context.h"
#include "common/result.h"
#include "link/exchange.h"
#include "link/transport.h"
#include "meter_process.h"
#include "test_context.h"
#include "transfer/os_load.h"
#include "transfer/xmodem_sender.h"

using namespace tarnlux;

namespace {

constexpr double kLineBytesPerSecond = 115200.0 / 10.0;

void printFigure(const char* who, std::size_t size, double seconds) {
  const double rate = static_cast<double>(size) / seconds;
  std::printf("%-28s %8.2f s  %8.0f bytes/s  = %5.1f %% of the line rate\n", who, seconds, rate,
              100.0 * rate / kLineBytesPerSecond);
  std::fflush(stdout);
}

// Ours: the handshake, then the blocks timed from the first NAK to the ACK of EOT.
bool sendOurs(const std::string& line, const std::string& data) {
  OperationContext ctx;
  ctx.errorSink = [](const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); };
  LinkSettings settings;
  settings.portName = line;
  settings.baudRate = 115200;
  settings.dataBits = 8;
  settings.parityCode = 0;
  settings.flowControl = 0;
  MeterLink link;
  if (link.openLink(settings, false, 5000, ctx) != kOk) return false;
  if (sendCommand(link, "bootload\r", kSendBaseTimeoutMs, ctx) != kOk ||
      receiveUntil(link, nullptr, "\x15", 10000, ctx) != kOk)
    return false;
  link.bulkTransfer = true;
  std::size_t pos = 0;
  XmodemSender sender(data.size(), [&](char* into, std::size_t want, std::size_t& got) {
    got = std::min(want, data.size() - pos);
    std::copy_n(data.data() + pos, got, into);
    pos += got;
    return 0;
  });
  const auto start = std::chrono::steady_clock::now();
  const int rc = runXmodemTransfer(link, sender, {}, ctx);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  link.closeLink(false, ctx);
  if (rc != kOk || sender.outcome() != XmodemSender::Outcome::Completed) {
    std::fprintf(stderr, "our transfer failed (%d)\n", rc);
    return false;
  }
  printFigure("tarnlux sender", data.size(), seconds);
  std::printf("%-28s %8d retries\n", "", sender.totalRetries());
  return true;
}

// `sx`: the line set raw at 115200, "bootload" typed, then sx started on the
// line; timed from its start to its end.
bool sendWithSx(const std::string& line, const std::string& file, std::size_t size) {
  const int fd = ::open(line.c_str(), O_RDWR | O_NOCTTY);
  if (fd < 0) return false;
  termios t{};
  ::tcgetattr(fd, &t);
  cfmakeraw(&t);
  cfsetispeed(&t, B115200);
  cfsetospeed(&t, B115200);
  ::tcsetattr(fd, TCSANOW, &t);
  ::tcflush(fd, TCIOFLUSH);
  if (::write(fd, "bootload\r", 9) != 9) return false;
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(fd, 0);
    ::dup2(fd, 1);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 2);
    ::execlp("sx", "sx", "-X", "-b", "-q", file.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ::close(fd);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "sx failed (status %d)\n", status);
    return false;
  }
  printFigure("sx (lrzsz)", size, seconds);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t size = argc > 1 ? static_cast<std::size_t>(std::atol(argv[1])) : 1048576;
  test::TempDir dir;
  std::string data(size, '\0');
  for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<char>((i * 131 + 7) ^ (i >> 9));
  const std::string file = dir.file("image.fsh");
  test::writeWholeFile(file, data);

  test::MeterProcess meter;
  if (!meter.startPty({"--line", "115200-8-A-1", "--line-rate"})) {
    std::fprintf(stderr, "%s\n", meter.error().c_str());
    return 1;
  }
  std::printf("%zu bytes at 115200 baud (line rate %.0f bytes/s)\n", size, kLineBytesPerSecond);
  bool ok = sendOurs(meter.ptyPath(), data);
  if (std::system("command -v sx >/dev/null 2>&1") == 0) {
    ok = sendWithSx(meter.ptyPath(), file, size) && ok;
  } else {
    std::printf("sx (lrzsz) is not installed: no comparison\n");
  }
  return ok ? 0 : 1;
}
