#include "options.h"

#include "number_text.h"
#include "profile.h"

namespace tarnlux::meter {

bool parseOptions(const std::vector<std::string>& args, Options& out, std::string& error) {
  Options o;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      o.help = true;
      continue;
    }
    if (arg == "--line-rate") {
      o.run.lineRate = true;
      continue;
    }
    if (arg.rfind("--", 0) != 0) {
      error = "unexpected argument \"" + arg + "\"";
      return false;
    }
    // Every other option takes a value, as the next argument or after "=".
    std::string name = arg;
    std::string value;
    const std::size_t eq = arg.find('=');
    if (eq != std::string::npos) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
    } else {
      static const char* const kWithValue[] = {"--tcp",     "--pty",  "--line",
                                               "--profile", "--seed", "--fault",
                                               "--id"};
      bool known = false;
      for (const char* k : kWithValue) known = known || name == k;
      if (!known) {
        error = "unknown option \"" + arg + "\"";
        return false;
      }
      if (i + 1 >= args.size()) {
        error = "option " + name + " needs a value";
        return false;
      }
      value = args[++i];
    }
    if (name == "--tcp") {
      const std::optional<double> port = parseInteger(value, 0, 65535);
      if (!port) {
        error = "--tcp needs a port number from 0 to 65535";
        return false;
      }
      o.run.tcpPort = static_cast<int>(*port);
    } else if (name == "--pty") {
      if (value.empty()) {
        error = "--pty needs a path";
        return false;
      }
      o.run.ptyPath = value;
    } else if (name == "--line") {
      LineSettings line;
      if (!parseLineSettings(value, line, error)) return false;
      o.run.line = line;
    } else if (name == "--profile") {
      if (value.empty()) {
        error = "--profile needs a name or a path";
        return false;
      }
      o.profile = value;
    } else if (name == "--seed") {
      const std::optional<double> seed = parseInteger(value, 0, 4294967295.0);
      if (!seed) {
        error = "--seed needs a whole number from 0 to 4294967295";
        return false;
      }
      o.run.seed = static_cast<std::uint32_t>(*seed);
    } else if (name == "--id") {
      o.identifier = value;
    } else if (name == "--fault") {
      if (!parseFaults(value, o.run.faults, error)) return false;
    } else {
      error = "unknown option \"" + name + "\"";
      return false;
    }
  }
  if (!o.help) {
    if (o.run.tcpPort < 0 && o.run.ptyPath.empty()) {
      error = "give --tcp PORT, --pty PATH or both";
      return false;
    }
    if (o.run.lineRate && o.run.ptyPath.empty()) {
      error = "--line-rate applies to the pseudo-terminal: give --pty PATH too";
      return false;
    }
    if (o.run.line && o.run.ptyPath.empty()) {
      error = "--line applies to the pseudo-terminal: give --pty PATH too";
      return false;
    }
  }
  out = std::move(o);
  return true;
}

std::string helpText() {
  return std::string(
             "Usage: tarnlux-meter [--tcp PORT] [--pty PATH] [options]\n"
             "\n"
             "A simulated clamp-on ultrasonic flow meter: it answers the service program's\n"
             "commands (\"test\", \"cv\", \"qm\", \"qg\") like a meter's command interpreter.\n"
             "Once set up it prints \"tcp PORT\", \"pty PATH\" and \"ready\", one a line, and\n"
             "serves until it is stopped (SIGTERM or Ctrl-C).\n"
             "\n"
             "Ports (give one or both):\n"
             "  --tcp PORT        listen on 127.0.0.1:PORT (0 picks a free port). One client\n"
             "                    at a time: a new connection replaces the current one.\n"
             "  --pty PATH        open a pseudo-terminal and make PATH a symbolic link to it.\n"
             "                    Clients may close and reopen it; it stays up.\n"
             "  --line SETTINGS   line settings of the pseudo-terminal, BAUD-DATABITS-PARITY-\n"
             "                    STOPBITS[-xon], parity I (odd), P (even) or A (none), e.g.\n"
             "                    9600-7-I-1-xon. Applied at start; a client whose speed, data\n"
             "                    bits, parity or stop bits differ is read as noise and gets\n"
             "                    noise back. With -xon the meter obeys XON/XOFF from the\n"
             "                    client. Without --line any settings are accepted.\n"
             "  --line-rate       carry bytes on the pseudo-terminal at the line's speed in\n"
             "                    both directions (start, data, parity and stop bits per\n"
             "                    character at the --line speed, 9600-8-A-1 without --line),\n"
             "                    so transfers take as long as on a real serial line.\n"
             "\n"
             "Meter:\n"
             "  --profile NAME|FILE  meter profile: NAME.ini in the profile folder, or a file\n"
             "                    path. Default: ") +
         std::string(kDefaultProfile) + ". Profile folder: " + profileDirectory() +
         "\n"
         "  --seed N          seed of the random parts (reading noise, signal, faults)\n"
         "                    and of the drift of the diagnostic readings, which now and\n"
         "                    then cross the default warning and fail limits; default 1,\n"
         "                    so runs repeat.\n"
         "  --id TEXT         the meter's identifier (1 to 8 characters, blanks allowed,\n"
         "                    e.g. \"LIQ01\" or \"GAS 7\") for every channel and site\n"
         "                    the profile identifies; a shorter one is filled with \"~\".\n"
         "\n"
         "Faults (--fault NAME[,NAME...], may be repeated):\n"
         "  xoff-hold         hold the client off: on a pseudo-terminal send XOFF (0x13)\n"
         "                    and never XON (the client's writes stall when it honours\n"
         "                    XON/XOFF); on TCP stop reading, so the client's send buffer\n"
         "                    fills. Nothing received is answered.\n"
         "  drop[=N]          close the connection after the N-th answer (default 1), once;\n"
         "                    on a pseudo-terminal the line is hung up and a fresh one put\n"
         "                    behind the same link.\n"
         "  silent            never send anything, not even the echo.\n"
         "  split             send answers in pieces of 1 to 16 bytes, 1 to 10 ms apart.\n"
         "  continuous        send a data line every 20 ms, so the line is never quiet;\n"
         "                    commands are still answered in between.\n"
         "  garbage[=before|into]  noise bytes (1 to 16) before every answer; with =into\n"
         "                    also one noise byte inside every 8 bytes of the answer.\n"
         "  delay=MS          wait MS milliseconds before each answer (the echo is at once).\n"
         "  menu              start in the menu screen: everything is ignored until six\n"
         "                    ESC D pairs arrive (the command \"menu\" enters it too).\n"
         "  not-measuring=N   the channel (path, site) of index N does not measure: its\n"
         "                    status word \"abar\" lacks bit 0x10 (index 0 is channel 1).\n"
         "  nulltrack-fail=N  the NullTrack of index N reports a failure: \"abar\" lacks\n"
         "                    bit 0x02.\n"
         "  units-change=N    after N diagnostic queries (\"qg\" kinds 0 and 2 with\n"
         "                    sub-code 8; the identification at connect counts) the meter\n"
         "                    switches between metric and English units: the unit letter,\n"
         "                    every flow velocity and sound speed, and \"flegend\".\n"
         "  storage-bad-check the storage answer to a command written into \"qmcmd\"\n"
         "                    carries a check value off by one.\n"
         "  event-bad-record  stored events are listed without their last field.\n"
         "  site-bad-check[=N] the next N site packets sent carry a check value one off.\n"
         "  site-lose[=N]     the next N acknowledgements of site packets are lost: the\n"
         "                    packet comes again.\n"
         "  site-nak[=N]      the next N site packets taken are answered NAK.\n"
         "  site-refuse       a site sent to the meter is cancelled (ETX, \"Site actif\n"
         "                    protege\").\n"
         "  site-disable      taking a site leaves the channels disabled (\"enab\" 0).\n"
         "  no-sites          the meter holds no site.\n"
         "  short-block       the memory block \"qmmem\" is listed one character shorter\n"
         "                    than its declared size.\n"
         "  block-silent[=N]  the first N reads (default 1) of the memory block \"qmmem\",\n"
         "                    of any index, are not answered: the prompt comes back\n"
         "                    without the listing, so the reader times out. Later reads\n"
         "                    and every write are served; the block is kept.\n"
         "  block-drop        the first read of the memory block \"qmmem\" closes the\n"
         "                    connection (a pseudo-terminal is hung up) instead of\n"
         "                    answering, once.\n"
         "  table-short=NAME  the listing of the numeric array NAME (an AGA8 table array:\n"
         "                    temp_grid, pres_grid, dens_grid, z_grid) leaves out its last\n"
         "                    value; reading one element still answers. May be repeated.\n"
         "  table-off=NAME    the listing of the numeric array NAME shows its first value\n"
         "                    one unit off in the sixth significant digit (0 shows as\n"
         "                    1e-5). The stored value is unchanged. May be repeated.\n"
         "  no-signal=N       signal graph queries (kinds 0 and 1, resolutions 1 to 3) of\n"
         "                    index N are answered with the header alone: no bursts, no\n"
         "                    figures. The identification (resolution 8) still answers.\n"
         "  bad-signal[=WHAT] every signal graph answer is malformed: head (a letter among\n"
         "                    a burst's eight digits), char (a control character in a burst),\n"
         "                    length (B one sample short, the default), long (bursts over\n"
         "                    1,024 samples), figures (20 figures instead of 22) or state\n"
         "                    (a search state of 40 characters, which the program does not\n"
         "                    check). A channel that does not measure (a failed path)\n"
         "                    is not-measuring=N.\n"
         "  boot-confirm      the command \"bootload\" answers \"confirm - \" and starts the\n"
         "                    boot loader only when \"bootload\" is typed again.\n"
         "  boot-corrupt=N    block N of an image reaches the boot loader with a bad\n"
         "                    checksum, once: it is answered NAK.\n"
         "  boot-drop=N       block N of an image is lost on the line, once: no answer\n"
         "                    (the boot loader asks again with NAK after 10 s of silence).\n"
         "  boot-nak          every block is answered NAK, without end (otherwise the boot\n"
         "                    loader gives up after 10 errors in a row with CAN CAN, the\n"
         "                    line \"Too many errors\" and \"Fail\").\n"
         "  boot-refuse[=bare]  the first block is refused: CAN CAN, the line \"Image\n"
         "                    rejected\" and \"Fail\"; with =bare CAN CAN alone.\n"
         "\n"
         "  --help            show this text.\n"
         "\n"
         "Exit status: 0 when stopped, 1 when a port cannot be set up, 2 for a bad option\n"
         "or profile.\n";
}

}  // namespace tarnlux::meter
