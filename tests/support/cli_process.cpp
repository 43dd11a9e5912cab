#include "cli_process.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string_view>

#include "test_paths.h"

extern char** environ;

namespace tarnlux::test {

namespace {

// True once `pid` has a handler for `signal` (the SigCgt mask of /proc), or
// when that cannot be read. A signal sent before the program installs its
// handler would end it as the default action does, which no test means.
bool catchesSignal(pid_t pid, int signal) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("SigCgt:", 0) == 0) {
      const unsigned long long mask = std::strtoull(line.c_str() + 7, nullptr, 16);
      return ((mask >> (signal - 1)) & 1u) != 0;
    }
  }
  return true;
}

// The test's environment with `extra` set on top (a name given there replaces
// the inherited value).
std::vector<std::string> childEnvironment(
    const std::vector<std::pair<std::string, std::string>>& extra) {
  std::vector<std::string> entries;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    const std::string_view text(*entry);
    const std::string_view name = text.substr(0, text.find('='));
    bool replaced = false;
    for (const auto& [extraName, value] : extra) replaced = replaced || extraName == name;
    if (!replaced) entries.emplace_back(text);
  }
  for (const auto& [name, value] : extra) entries.push_back(name + "=" + value);
  return entries;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
  std::vector<char*> result;
  for (std::string& text : texts) result.push_back(text.data());
  result.push_back(nullptr);
  return result;
}

}  // namespace

CliRun runCli(const std::vector<std::string>& args, const CliOptions& options) {
  CliRun run;
  // Everything the child needs is built before the fork: between fork and
  // exec it only redirects and executes.
  std::vector<std::string> argTexts{cliBinary()};
  argTexts.insert(argTexts.end(), args.begin(), args.end());
  std::vector<std::string> envTexts = childEnvironment(options.environment);
  const std::vector<char*> argv = pointers(argTexts);
  const std::vector<char*> envp = pointers(envTexts);

  // Close-on-exec, so a child started meanwhile by the test keeps no end open.
  int outPipe[2];
  int errPipe[2];
  if (::pipe2(outPipe, O_CLOEXEC) != 0) return run;
  if (::pipe2(errPipe, O_CLOEXEC) != 0) {
    ::close(outPipe[0]);
    ::close(outPipe[1]);
    return run;
  }
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::dup2(outPipe[1], STDOUT_FILENO) < 0 || ::dup2(errPipe[1], STDERR_FILENO) < 0) _exit(127);
    ::execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  ::close(outPipe[1]);
  ::close(errPipe[1]);
  if (pid < 0) {
    ::close(outPipe[0]);
    ::close(errPipe[0]);
    return run;
  }

  const auto start = std::chrono::steady_clock::now();
  pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
  bool interrupted = false;
  bool reaped = false;
  bool statusKnown = false;
  int waitStatus = 0;
  std::size_t searchFrom = 0;  // where the interrupt text may still start in run.out
  for (;;) {
    const bool reading = fds[0].fd >= 0 || fds[1].fd >= 0;
    // Both outputs closed: the child has ended or is about to (it may also
    // have closed them and gone on running, hence still the limit below).
    if (!reading) {
      const pid_t done = ::waitpid(pid, &waitStatus, WNOHANG);
      if (done == pid) {
        reaped = statusKnown = true;
        break;
      }
      if (done < 0 && errno != EINTR) {
        reaped = true;  // nothing left to wait for; the status stays unknown
        break;
      }
    }
    const auto elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::steady_clock::now() - start)
                               .count();
    if (elapsedMs >= options.limitMs) {
      ::kill(pid, SIGKILL);
      run.timedOut = true;
      break;
    }
    if (!interrupted) {
      bool interruptNow = options.interruptAfterMs >= 0 && elapsedMs >= options.interruptAfterMs;
      if (!options.interruptOn.empty()) {
        interruptNow =
            interruptNow || run.out.find(options.interruptOn, searchFrom) != std::string::npos;
        if (run.out.size() >= options.interruptOn.size()) {
          searchFrom = run.out.size() - options.interruptOn.size() + 1;
        }
      }
      const int signal = options.interruptSignal != 0 ? options.interruptSignal : SIGINT;
      // On a loaded machine the program may still be starting: the signal
      // waits for its handler (at most 5 s).
      const bool ready = catchesSignal(pid, signal) || (options.interruptAfterMs >= 0 &&
                                                        elapsedMs >= options.interruptAfterMs + 5000);
      if (interruptNow && ready) {
        ::kill(pid, signal);
        interrupted = true;
      }
    }
    if (!reading) {
      ::poll(nullptr, 0, 10);
      continue;
    }
    if (::poll(fds, 2, 10) <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
      char buffer[4096];
      const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
      if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      if (n <= 0) {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        continue;
      }
      (i == 0 ? run.out : run.err).append(buffer, static_cast<std::size_t>(n));
    }
  }
  for (pollfd& f : fds) {
    if (f.fd >= 0) ::close(f.fd);
  }
  if (!reaped) {
    pid_t done;
    while ((done = ::waitpid(pid, &waitStatus, 0)) < 0 && errno == EINTR) {
    }
    statusKnown = done == pid;
  }
  run.status = !run.timedOut && statusKnown && WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1;
  return run;
}

std::map<std::string, std::string> keyValueLines(const std::string& out) {
  std::map<std::string, std::string> keys;
  std::size_t start = 0;
  for (std::size_t end; (end = out.find('\n', start)) != std::string::npos; start = end + 1) {
    const std::string line = out.substr(start, end - start);
    const std::size_t equals = line.find('=');
    if (equals != std::string::npos) keys[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return keys;
}

}  // namespace tarnlux::test
