#include "term_verb.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli_messages.h"
#include "common/result.h"
#include "link/transport.h"
#include "terminal/key_table.h"
#include "terminal/term_emulator.h"
#include "terminal/term_session.h"
#include "terminal/text_capture.h"

namespace tarnlux::cli {

namespace {

constexpr int kPassMs = 10;
constexpr int kLoneEscapeMs = 50;

void writeOut(std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(STDOUT_FILENO, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
}

// Waits for input on standard input (when `watchInput`) or the link, at most `ms`.
// True when standard input is readable.
bool waitForEither(const MeterLink& link, bool watchInput, int ms) {
  pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {link.fd(), POLLIN, 0}};
  pollfd* first = watchInput ? &fds[0] : &fds[1];
  const nfds_t count = watchInput ? 2 : 1;
  if (::poll(first, count, ms) <= 0) return false;
  return watchInput && (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
}

TermGeometry terminalSize() {
  winsize size{};
  if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0 || size.ws_row < 2) {
    return TermGeometry{80, 24};
  }
  // The last row tells how to leave.
  return TermGeometry{size.ws_col, size.ws_row - 1};
}

// The meter's screen drawn onto the controlling terminal: only rows that
// changed are written again.
class ScreenPainter {
 public:
  void paint(const TermEmulator& term, bool force) {
    const TermGeometry g = term.geometry();
    const std::vector<std::string> lines = term.displayLines();
    const int first = std::max(0, static_cast<int>(lines.size()) - g.rows);
    if (force || static_cast<int>(shown_.size()) != g.rows) shown_.assign(static_cast<std::size_t>(g.rows), "\x01");
    std::string out;
    for (int r = 0; r < g.rows; ++r) {
      const std::size_t i = static_cast<std::size_t>(first + r);
      const std::string& line = i < lines.size() ? lines[i] : empty_;
      if (shown_[static_cast<std::size_t>(r)] == line) continue;
      shown_[static_cast<std::size_t>(r)] = line;
      out += "\x1b[" + std::to_string(r + 1) + ";1H";
      bool marked = false;
      for (const char c : line) {
        const bool high = (static_cast<unsigned char>(c) & 0x80) != 0;
        if (high != marked) out += high ? "\x1b[7m" : "\x1b[0m";
        marked = high;
        out.push_back(static_cast<char>(c & 0x7F));
      }
      if (marked) out += "\x1b[0m";
      out += "\x1b[K";
    }
    if (force) {
      out += "\x1b[" + std::to_string(g.rows + 1) + ";1H\x1b[7m tarnlux-cli term - Ctrl-] pour quitter \x1b[0m\x1b[K";
    }
    const int row = term.cursorLine() - first;
    if (row >= 0 && row < g.rows) {
      out += "\x1b[?25h\x1b[" + std::to_string(row + 1) + ";" + std::to_string(term.cursorColumn() + 1) + "H";
    } else {
      out += "\x1b[?25l";
    }
    writeOut(out);
  }

 private:
  std::vector<std::string> shown_;
  const std::string empty_;
};

class RawTerminal {
 public:
  bool enter() {
    if (::tcgetattr(STDIN_FILENO, &saved_) != 0) return false;
    termios raw = saved_;
    raw.c_iflag &= ~static_cast<tcflag_t>(BRKINT | ICRNL | INPCK | ISTRIP | IXON);
    raw.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    raw.c_cflag |= CS8;
    raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ICANON | IEXTEN | ISIG);
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    if (::tcsetattr(STDIN_FILENO, TCSAFLUSH, &raw) != 0) return false;
    active_ = true;
    writeOut("\x1b[?1049h\x1b[2J");
    return true;
  }
  ~RawTerminal() {
    if (!active_) return;
    writeOut("\x1b[0m\x1b[?25h\x1b[?1049l");
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_);
  }

 private:
  termios saved_{};
  bool active_ = false;
};

int interactive(MeterLink& link, TermSession& session, TermEmulator& term, OperationContext& ctx) {
  // Messages wait until the terminal is back to normal.
  std::vector<std::string> messages;
  OperationContext loopCtx = ctx;
  loopCtx.errorSink = [&messages](const std::string& text) { messages.push_back(text); };
  int status = 0;
  {
    RawTerminal raw;
    if (!raw.enter()) {
      showMessage("tarnlux-cli: standard input cannot be put in raw mode");
      return 1;
    }
    ScreenPainter painter;
    term.setGeometry(terminalSize());
    painter.paint(term, true);
    TermKeyDecoder keys;
    std::int64_t escapeSince = -1;
    while (!ctx.cancelled()) {
      const bool inputReady = waitForEither(link, true, kPassMs);
      bool force = false;
      if (const TermGeometry g = terminalSize(); g.columns != term.geometry().columns || g.rows != term.geometry().rows) {
        term.setGeometry(g);
        force = true;
      }
      TermKeyDecoder::Result typed;
      if (inputReady) {
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n == 0) break;  // the terminal went away
        if (n > 0) typed = keys.feed(std::string_view(buffer, static_cast<std::size_t>(n)));
        escapeSince = keys.pending() ? ctx.nowMs() : -1;
      } else if (keys.pending() && escapeSince >= 0 && ctx.nowMs() - escapeSince >= kLoneEscapeMs) {
        typed = keys.flush();
        escapeSince = -1;
      }
      if (typed.anyKey) term.setCursorKeyMode(typed.arrowKeyLast);
      if (!typed.toSend.empty() && session.send(typed.toSend, loopCtx) != kOk && session.failed()) {
        status = 1;
        break;
      }
      if (typed.quit) break;
      const long got = session.poll(loopCtx);
      if (got < 0) {
        status = 1;
        break;
      }
      if (got > 0 || force) painter.paint(term, force);
    }
  }
  for (const std::string& m : messages) showMessage(m);
  return status;
}

int lineByLine(MeterLink& link, TermSession& session, const Options& options, OperationContext& ctx) {
  std::string pendingLine;
  bool inputOpen = true;
  std::int64_t lastArrival = ctx.nowMs();
  while (!ctx.cancelled()) {
    const bool inputReady = waitForEither(link, inputOpen, kPassMs);
    if (inputReady) {
      char buffer[4096];
      const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
      if (n <= 0 && !(n < 0 && errno == EINTR)) {
        inputOpen = false;
        // A last line without its line end still goes.
        if (!pendingLine.empty()) {
          if (session.send(pendingLine + "\r", ctx) != kOk) return 1;
          pendingLine.clear();
        }
        lastArrival = ctx.nowMs();
      } else if (n > 0) {
        pendingLine.append(buffer, static_cast<std::size_t>(n));
      }
      for (std::size_t end; (end = pendingLine.find('\n')) != std::string::npos;) {
        std::string line = pendingLine.substr(0, end);
        pendingLine.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (session.send(line + "\r", ctx) != kOk) return 1;
      }
    }
    std::string received;
    const long got = session.poll(ctx, &received);
    if (got < 0) return 1;
    if (got > 0) {
      writeOut(received);
      lastArrival = ctx.nowMs();
    }
    if (!inputOpen && got == 0 && ctx.nowMs() - lastArrival >= options.quietMs) break;
  }
  return 0;
}

}  // namespace

int runTerm(const LinkSettings& settings, const Options& options, OperationContext& ctx) {
  TextCapture capture;
  if (!options.termCapture.empty()) {
    const std::string& file = options.termCapture;
    const std::size_t slash = file.rfind('/');
    const std::string directory = slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? file : file.substr(slash + 1);
    char cwd[4096];
    const std::string startup = ::getcwd(cwd, sizeof cwd) != nullptr ? std::string(cwd) : std::string(".");
    std::string message;
    if (capture.open(directory, name, startup, message) != 0) {
      showMessage(message);
      return 1;
    }
  }
  auto link = std::make_unique<MeterLink>();
  if (link->openLink(settings, false, kTermConnectTimeoutMs, ctx) != kOk) return 1;
  TermEmulator term;
  TermSession session(*link, term);
  session.setCapture(&capture);
  const bool onTerminal = ::isatty(STDIN_FILENO) != 0 && ::isatty(STDOUT_FILENO) != 0;
  int status = onTerminal ? interactive(*link, session, term, ctx) : lineByLine(*link, session, options, ctx);
  if (const int error = session.takeCaptureError(); error != 0) {
    showMessage(std::string("Erreur capture texte - Code d'erreur: ") + std::to_string(error));
    status = 1;
  }
  if (capture.isOpen() && capture.close() != 0 && status == 0) status = 1;
  OperationContext closing = ctx;
  closing.quiet = true;
  closing.cancelFlag = nullptr;
  link->closeLink(false, closing);
  return status;
}

}  // namespace tarnlux::cli
