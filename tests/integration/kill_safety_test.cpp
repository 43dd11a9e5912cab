// Files the program writes, with the writer killed (SIGKILL) at random
// moments: a capture log keeps its whole header and whole rows; a settings or
// set-up file is the old one or the new one, never a mix. TARNLUX_KILL_LOOPS
// sets the number of kills (10 by default).

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "calc/setup_file_io.h"
#include "cli_process.h"
#include "common/profile_file.h"
#include "meter_process.h"
#include "test_context.h"

namespace tarnlux {
namespace {

using test::MeterProcess;
using test::TempDir;

int killLoops() {
  const char* text = std::getenv("TARNLUX_KILL_LOOPS");
  const int loops = text != nullptr ? std::atoi(text) : 0;
  return loops > 0 ? loops : 10;
}

std::mt19937 seededRandom() {
  const unsigned seed = std::random_device{}();
  std::printf("kill safety seed %u\n", seed);
  return std::mt19937(seed);
}

std::vector<std::string> crLfLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = text.find("\r\n", at);
    if (end == std::string::npos) break;
    lines.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

// A fault of `log` against the header of a whole capture, or "" when sound.
std::string logFault(const std::string& log, const std::vector<std::string>& header) {
  if (log.size() < 2 || log.compare(log.size() - 2, 2, "\r\n") != 0) return "ends inside a line";
  for (std::size_t i = 0; i < log.size(); ++i) {
    const bool lf = log[i] == '\n';
    const bool cr = log[i] == '\r';
    if ((lf && (i == 0 || log[i - 1] != '\r')) || (cr && (i + 1 == log.size() || log[i + 1] != '\n')))
      return "a line end other than CR LF at " + std::to_string(i);
  }
  const std::vector<std::string> lines = crLfLines(log);
  if (lines.size() < header.size()) return "header cut after line " + std::to_string(lines.size());
  const std::string& heading = header.back();
  for (std::size_t i = 0; i < header.size(); ++i) {
    // The time stamps in the header differ from run to run; the line count,
    // the first line and the heading row do not.
    if ((i == 0 || i + 1 == header.size()) && lines[i] != header[i]) return "header line " + std::to_string(i);
  }
  const auto fields = [](const std::string& line) { return std::count(line.begin(), line.end(), ','); };
  for (std::size_t i = header.size(); i < lines.size() && !lines[i].empty(); ++i) {
    if (fields(lines[i]) != fields(heading)) return "row cut: " + lines[i];
  }
  return {};
}

TEST(KillSafety, KilledCaptureLeavesWholeHeaderAndRows) {
  MeterProcess meter;
  ASSERT_TRUE(meter.startTcp({"--profile", "gas4"})) << meter.error();
  const auto capture = [&](const TempDir& dir, const std::string& seconds, test::CliOptions options) {
    options.environment = {{"XDG_CONFIG_HOME", dir.file("config")}};
    return test::runCli({"--link", "tcp:127.0.0.1:" + std::to_string(meter.tcpPort()), "--dir",
                         dir.path(), "capture", "--clock", "fast", "--name", "LOG.CSV",
                         "--seconds", seconds},
                        options);
  };

  // The header of a whole capture: its lines up to the heading row.
  std::vector<std::string> header;
  {
    TempDir dir;
    const test::CliRun whole = capture(dir, "20", {});
    ASSERT_EQ(whole.status, 0) << whole.err;
    for (const std::string& line : crLfLines(test::readWholeFile(dir.file("LOG.CSV")))) {
      header.push_back(line);
      if (line.rfind("Date,Heure", 0) == 0) break;
    }
    ASSERT_TRUE(!header.empty() && header.back().rfind("Date,Heure", 0) == 0);
  }

  std::mt19937 random = seededRandom();
  int withRows = 0, beforeLog = 0, emptyLog = 0;
  for (int loop = 0; loop < killLoops(); ++loop) {
    TempDir dir;
    test::CliOptions options;
    options.interruptSignal = SIGKILL;
    options.interruptAfterMs = std::uniform_int_distribution<int>(0, 3000)(random);
    const test::CliRun run = capture(dir, "3600", options);
    ASSERT_EQ(run.status, -1) << "killed after " << options.interruptAfterMs << " ms";
    const std::string log = test::readWholeFile(dir.file("LOG.CSV"));
    // Killed before the log was opened, or between its creation and the header
    // write: nothing of it was written, so nothing is half-written.
    if (log.empty()) {
      ++(std::filesystem::exists(dir.file("LOG.CSV")) ? emptyLog : beforeLog);
      continue;
    }
    const std::string fault = logFault(log, header);
    ASSERT_EQ(fault, "") << "killed after " << options.interruptAfterMs << " ms";
    withRows += crLfLines(log).size() > header.size() ? 1 : 0;
  }
  std::printf("kills before the log was made: %d, between its creation and header: %d, "
              "with rows written: %d, of %d\n",
              beforeLog, emptyLog, withRows, killLoops());
}

// Kills a child rewriting `path` over and over, `write(true)` the new text
// and `write(false)` the old in turn, at random moments within `windowUs`, and
// checks the file is the whole old or the whole new text each time.
void killWriterInLoop(const std::string& path, const std::string& before, const std::string& after,
                      const std::function<void(bool fresh)>& write, int windowUs) {
  write(false);
  ASSERT_EQ(test::readWholeFile(path), before);
  std::mt19937 random = seededRandom();
  int sawNew = 0;
  for (int loop = 0; loop < killLoops(); ++loop) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (int i = 0;; ++i) write(i % 2 == 0);
    }
    std::this_thread::sleep_for(
        std::chrono::microseconds(std::uniform_int_distribution<int>(0, windowUs)(random)));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    const std::string now = test::readWholeFile(path);
    ASSERT_TRUE(now == before || now == after) << "a mix of " << now.size() << " bytes after loop " << loop;
    sawNew += now == after ? 1 : 0;
  }
  std::printf("kills leaving the new file: %d of %d\n", sawNew, killLoops());
}

// Two versions of a settings file large enough that a write takes a while.
std::string settingsText(char version) {
  std::string text = "[COMMUNICATIONS]\r\nPORT=TCP/IP\r\n[LIMITS]\r\n";
  for (int i = 0; i < 4000; ++i) text += "KEY" + std::to_string(i) + "=" + std::string(24, version) + "\r\n";
  return text;
}

TEST(KillSafety, KilledSettingsWriterLeavesTheOldOrTheNewFile) {
  TempDir dir;
  const std::string path = dir.file("qm.cfg");
  // Saved the way every settings change is saved.
  ProfileFile older(path), newer(path);
  older.parse(settingsText('a'));
  newer.parse(settingsText('b'));
  killWriterInLoop(path, settingsText('a'), settingsText('b'),
                   [&](bool fresh) { (fresh ? newer : older).save(); }, 200000);
}

TEST(KillSafety, KilledSetupFileWriterLeavesTheOldOrTheNewFile) {
  TempDir dir;
  const std::string path = dir.file("calcul.cpf");
  const std::vector<std::uint8_t> older(314, 'a'), newer(314, 'b');
  killWriterInLoop(path, std::string(314, 'a'), std::string(314, 'b'),
                   [&](bool fresh) { writeSetupFile(path, fresh ? newer : older); }, 30000);
}

}  // namespace
}  // namespace tarnlux
