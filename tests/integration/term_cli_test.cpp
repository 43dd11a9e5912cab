// "tarnlux-cli term" against the simulated meter: a script walks the meter's
// menu and comes back with the "Commande" keys; on a terminal the keys go
// through the key table and Ctrl-] ends.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "cli_process.h"
#include "meter_process.h"
#include "terminal/key_table.h"
#include "test_context.h"
#include "test_paths.h"

namespace tarnlux {
namespace {

using test::MeterProcess;

// Runs the command line with `input` as its standard input (a file).
test::CliRun runWithInput(const std::vector<std::string>& args, const std::string& input,
                          const test::TempDir& dir) {
  test::writeWholeFile(dir.file("input"), input);
  const int saved = ::dup(STDIN_FILENO);
  const int fd = ::open(dir.file("input").c_str(), O_RDONLY);
  ::dup2(fd, STDIN_FILENO);
  ::close(fd);
  test::CliRun run = test::runCli(args);
  ::dup2(saved, STDIN_FILENO);
  ::close(saved);
  return run;
}

class TermScript : public ::testing::TestWithParam<bool> {};

TEST_P(TermScript, WalksTheMenuAndComesBackWithCommande) {
  const bool overPty = GetParam();
  MeterProcess meter;
  ASSERT_TRUE(overPty ? meter.startPty() : meter.startTcp()) << meter.error();
  test::TempDir dir;
  const std::string link =
      overPty ? "serial:" + meter.ptyPath() : "tcp:127.0.0.1:" + std::to_string(meter.tcpPort());
  const std::string capture = dir.path() + "new/folder/term.txt";
  // "Menue", "2" then Enter opens Site Set-up and its first page; the
  // Commande keys climb out of it and "test" answers at the prompt.
  const std::string input = "Menue\n2\n" + commandButtonBytes() + "\ntest\n";
  const test::CliRun run =
      runWithInput({"--link", link, "--quiet-ms", "300", "term", "--capture", capture}, input, dir);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("\x1b[2J\x1b[1;1HMAIN MENU"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("MAIN MENU / Site Set-up / Pipe Data"), std::string::npos);
  EXPECT_NE(run.out.find("Outside dia"), std::string::npos);
  EXPECT_TRUE(run.out.ends_with("\r\n???\r\n> test\r\n???\r\n> ")) << run.out;
  // The capture holds what arrived, its lines ending CR LF.
  EXPECT_EQ(test::readWholeFile(capture), run.out);

  // A second run appends to the capture.
  const test::CliRun again =
      runWithInput({"--link", link, "--quiet-ms", "300", "term", "--capture", capture}, "test\n", dir);
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(test::readWholeFile(capture), run.out + again.out);
}

INSTANTIATE_TEST_SUITE_P(TermVerb, TermScript, ::testing::Values(false, true),
                         [](const auto& param) { return param.param ? "Pty" : "Tcp"; });

TEST(TermVerb, FailuresAndUsage) {
  test::TempDir dir;
  // No meter behind the port: the connect message, status 1.
  MeterProcess meter;
  ASSERT_TRUE(meter.startTcp()) << meter.error();
  const std::string deadLink = "tcp:127.0.0.1:" + std::to_string(meter.tcpPort());
  meter.stop();
  const test::CliRun dead = runWithInput({"--link", deadLink, "term"}, "test\n", dir);
  EXPECT_EQ(dead.status, 1);
  EXPECT_NE(dead.err.find("Impossible d'etablir connexion au debitmetre"), std::string::npos) << dead.err;
  // A capture file that cannot be opened stops before the link is opened.
  test::writeWholeFile(dir.file("plain"), "x");
  const test::CliRun blocked =
      runWithInput({"--link", deadLink, "term", "--capture", dir.file("plain/t.txt")}, "", dir);
  EXPECT_EQ(blocked.status, 1);
  EXPECT_NE(blocked.err.find("Erreur capture texte, impossible de creer repertoire"), std::string::npos)
      << blocked.err;
  EXPECT_EQ(test::runCli({"--link", deadLink, "probe", "--capture", "x"}).status, 2);
  EXPECT_EQ(test::runCli({"--link", deadLink, "term", "extra"}).status, 2);
}

// Reads the pseudo-terminal until `text` has appeared (or 10 s passed).
bool readUntil(int master, std::string& seen, const std::string& text) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (seen.find(text) == std::string::npos) {
    if (std::chrono::steady_clock::now() > end) return false;
    pollfd p{master, POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) continue;
    char buffer[4096];
    const ssize_t n = ::read(master, buffer, sizeof buffer);
    if (n <= 0) return false;
    seen.append(buffer, static_cast<std::size_t>(n));
  }
  return true;
}

TEST(TermVerb, OnATerminalKeysGoThroughTheKeyTableAndCtrlBracketEnds) {
  MeterProcess meter;
  ASSERT_TRUE(meter.startTcp()) << meter.error();
  const std::string link = "tcp:127.0.0.1:" + std::to_string(meter.tcpPort());
  int master = -1;
  winsize size{};
  size.ws_col = 80;
  size.ws_row = 25;
  const pid_t child = ::forkpty(&master, nullptr, nullptr, &size);
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::execl(test::cliBinary(), test::cliBinary(), "--link", link.c_str(), "term", nullptr);
    ::_exit(127);
  }
  std::string seen;
  EXPECT_TRUE(readUntil(master, seen, "Ctrl-] pour quitter")) << seen;
  auto type = [master](const std::string& keys) {
    ASSERT_EQ(::write(master, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
  };
  type("Menue\r");
  EXPECT_TRUE(readUntil(master, seen, "MAIN MENU")) << seen;
  // The terminal's own arrow and Enter keys: down, then open.
  type("\x1b[B\r");
  EXPECT_TRUE(readUntil(master, seen, "Pipe Data")) << seen;
  // DEL (the Backspace key) and ESC [3~ (Delete) both send a backspace: the
  // meter erases at the prompt.
  type(commandButtonBytes());
  type("tesx\x7f" "t\r");
  EXPECT_TRUE(readUntil(master, seen, "???")) << seen;
  type("\x1d");
  int status = -1;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ::close(master);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

}  // namespace
}  // namespace tarnlux
