// Our block sender against a standard receiver: `rx` of lrzsz (checksum
// mode) on the far side of a pseudo-terminal pair made by socat. The received
// file must be the input filled up with zero bytes to whole blocks; an empty
// file goes as EOT alone and arrives empty (rx makes an empty file).

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "common/result.h"
#include "link/exchange.h"
#include "link/transport.h"
#include "test_context.h"
#include "transfer/os_load.h"
#include "transfer/xmodem_sender.h"

namespace tarnlux {
namespace {

bool onPath(const std::string& tool) {
  const char* path = std::getenv("PATH");
  std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= dirs.size()) {
    std::size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    const std::string candidate = dirs.substr(start, end - start) + "/" + tool;
    if (::access(candidate.c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

// A child process ended (and waited for) at the end of the test.
struct Child {
  pid_t pid = -1;
  ~Child() {
    if (pid > 0) {
      ::kill(pid, SIGTERM);
      ::waitpid(pid, nullptr, 0);
    }
  }
  int status = -1;
  // True once it has ended (its exit status in `status`, -1 for a signal).
  bool ended() {
    int raw = 0;
    if (pid > 0 && ::waitpid(pid, &raw, WNOHANG) == pid) {
      pid = -1;
      status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    return pid < 0;
  }
  bool wait(int ms) {
    for (int waited = 0; waited < ms && !ended(); waited += 10)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return ended();
  }
};

pid_t spawn(const std::vector<std::string>& args, const std::string& workDir, const std::string& line) {
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  if (::chdir(workDir.c_str()) != 0) ::_exit(126);
  if (!line.empty()) {
    const int fd = ::open(line.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0) ::_exit(126);
    ::dup2(fd, 0);
    ::dup2(fd, 1);
  }
  const int null = ::open("/dev/null", O_WRONLY);
  ::dup2(null, 2);
  if (line.empty()) ::dup2(null, 1);
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  ::execvp(argv[0], argv.data());
  ::_exit(127);
}

TEST(XmodemInterop, StandardReceiverGetsThePaddedFile) {
  if (!onPath("rx") || !onPath("socat")) {
    GTEST_SKIP() << "rx (Debian package lrzsz) or socat is not installed: "
                    "run scripts/install-deps.sh to check against a standard receiver";
  }
  test::TempDir dir;
  const std::string ours = dir.file("ours");
  const std::string theirs = dir.file("theirs");
  Child socat;
  socat.pid = spawn({"socat", "pty,raw,echo=0,link=" + ours, "pty,raw,echo=0,link=" + theirs}, dir.path(), "");
  struct stat info {};
  for (int i = 0; i < 500 && (::lstat(ours.c_str(), &info) != 0 || ::lstat(theirs.c_str(), &info) != 0); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_EQ(::lstat(theirs.c_str(), &info), 0) << "socat made no pseudo-terminal pair";

  LinkSettings settings;
  settings.portName = ours;
  settings.baudRate = 115200;
  settings.dataBits = 8;
  settings.parityCode = 0;
  settings.flowControl = 0;
  test::RecordingContext rec;
  MeterLink link;
  ASSERT_EQ(link.openLink(settings, false, 5000, rec.ctx), kOk) << rec.lastError();
  link.bulkTransfer = true;

  for (const std::size_t size : {0u, 1u, 128u, 130u, 40000u}) {
    SCOPED_TRACE(size);
    std::string data(size, '\0');
    for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<char>((i * 131 + 7) ^ (i >> 7));
    const std::string name = "received" + std::to_string(size);
    Child rx;
    rx.pid = spawn({"rx", "-X", "-b", "-q", name}, dir.path(), theirs);
    ASSERT_EQ(receiveUntil(link, nullptr, "\x15", 30000, rec.ctx), kOk) << rec.lastError();
    // rx discards what arrives in the moments after its first NAK (it sets up
    // its line then) and asks again only some 10 s later: let it settle.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    std::size_t pos = 0;
    XmodemSender sender(size, [&](char* into, std::size_t want, std::size_t& got) {
      got = std::min(want, data.size() - pos);
      std::copy_n(data.data() + pos, got, into);
      pos += got;
      return 0;
    });
    // rx's ACK of EOT goes out just before it resets its line and exits, and
    // the reset may discard it before socat has passed it on. Once rx has
    // ended with its file, the sender still waiting for that ACK is stopped.
    std::int64_t stopAt = 0;
    test::RecordingContext watched;
    watched.ctx.pump = [&] {
      if (stopAt == 0 && rx.ended()) stopAt = watched.ctx.nowMs() + 2000;
      if (stopAt != 0 && watched.ctx.nowMs() >= stopAt) watched.cancel = 1;
    };
    ASSERT_EQ(runXmodemTransfer(link, sender, {}, watched.ctx), kOk) << watched.lastError();
    const std::uint64_t blocks = (size + 127) / 128;
    EXPECT_EQ(sender.blocksAcknowledged(), blocks);
    EXPECT_TRUE(sender.outcome() == XmodemSender::Outcome::Completed ||
                (sender.outcome() == XmodemSender::Outcome::Cancelled && sender.currentBlock() == blocks));
    ASSERT_TRUE(rx.wait(10000));
    EXPECT_EQ(rx.status, 0);
    std::string expected = data;
    expected.resize(blocks * 128, '\0');
    EXPECT_EQ(test::readWholeFile(dir.file(name)), expected);
  }
  link.closeLink(false, rec.ctx);
}

}  // namespace
}  // namespace tarnlux
