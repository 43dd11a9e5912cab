#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace tarnlux::test {

// Runs tarnlux-meter as a child process for the length of a test.
// The meter prints "tcp PORT", "pty PATH" and then "ready" on its standard
// output once it listens; start() waits for "ready" (5 s at most).
class MeterProcess {
 public:
  MeterProcess() = default;
  ~MeterProcess();
  MeterProcess(const MeterProcess&) = delete;
  MeterProcess& operator=(const MeterProcess&) = delete;

  // Starts the meter with `args` (for example {"--tcp", "0", "--fault", "silent"}).
  // Returns false (with the reason in error()) when it does not come up.
  bool start(const std::vector<std::string>& args);
  // Starts on a free loopback TCP port with extra options.
  bool startTcp(const std::vector<std::string>& extra = {});
  // Starts on a pseudo-terminal (symlink in a temporary folder) with extra options.
  bool startPty(const std::vector<std::string>& extra = {});
  void stop();

  int tcpPort() const { return tcpPort_; }
  const std::string& ptyPath() const { return ptyPath_; }
  const std::string& error() const { return error_; }
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  int stdoutFd_ = -1;
  int tcpPort_ = 0;
  std::string ptyPath_;
  std::string tempDir_;
  std::string error_;
};

}  // namespace tarnlux::test
