#include "meter_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <sstream>
#include <utility>

#include "test_paths.h"

namespace tarnlux::test {

MeterProcess::~MeterProcess() { stop(); }

bool MeterProcess::start(const std::vector<std::string>& args) {
  // startPty() has just made the folder for the link: stopping an earlier
  // meter must not remove it.
  const std::string keepDir = std::exchange(tempDir_, std::string());
  stop();
  tempDir_ = keepDir;
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) {
    error_ = "pipe failed";
    return false;
  }
  pid_ = ::fork();
  if (pid_ < 0) {
    error_ = "fork failed";
    return false;
  }
  if (pid_ == 0) {
    ::dup2(pipeFds[1], STDOUT_FILENO);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    std::vector<char*> argv;
    std::string binary = meterBinary();
    argv.push_back(binary.data());
    std::vector<std::string> copy = args;
    for (auto& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(binary.c_str(), argv.data());
    _exit(127);
  }
  ::close(pipeFds[1]);
  stdoutFd_ = pipeFds[0];

  std::string received;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd p{stdoutFd_, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    char buf[256];
    const ssize_t n = ::read(stdoutFd_, buf, sizeof buf);
    if (n <= 0) break;
    received.append(buf, static_cast<std::size_t>(n));
    if (received.find("ready\n") != std::string::npos) {
      std::istringstream lines(received);
      std::string word;
      while (lines >> word) {
        if (word == "tcp") lines >> tcpPort_;
        if (word == "pty") lines >> ptyPath_;
      }
      return true;
    }
  }
  error_ = "meter did not come up; it printed: " + received;
  stop();
  return false;
}

bool MeterProcess::startTcp(const std::vector<std::string>& extra) {
  std::vector<std::string> args{"--tcp", "0"};
  args.insert(args.end(), extra.begin(), extra.end());
  return start(args);
}

bool MeterProcess::startPty(const std::vector<std::string>& extra) {
  char pattern[] = "/tmp/tarnlux-pty-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) {
    error_ = "mkdtemp failed";
    return false;
  }
  tempDir_ = pattern;
  std::vector<std::string> args{"--pty", tempDir_ + "/meter"};
  args.insert(args.end(), extra.begin(), extra.end());
  return start(args);
}

void MeterProcess::stop() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    int status = 0;
    for (int i = 0; i < 100; ++i) {
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        break;
      }
      ::usleep(10000);
    }
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
    }
    pid_ = -1;
  }
  if (stdoutFd_ >= 0) {
    ::close(stdoutFd_);
    stdoutFd_ = -1;
  }
  if (!tempDir_.empty()) {
    ::unlink((tempDir_ + "/meter").c_str());
    ::rmdir(tempDir_.c_str());
    tempDir_.clear();
  }
  tcpPort_ = 0;
  ptyPath_.clear();
}

}  // namespace tarnlux::test
