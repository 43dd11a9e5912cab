#include "cli_options.h"

#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cstdlib>
#include <set>

#include "link/comm_settings.h"

namespace tarnlux::cli {

namespace {

bool parseNumber(const std::string& text, long long low, long long high, long long& value) {
  if (text.empty()) return false;
  long long parsed = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
  if (error != std::errc() || end != text.data() + text.size() || parsed < low || parsed > high) return false;
  value = parsed;
  return true;
}

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t at = text.find(separator, start);
    parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) return parts;
    start = at + 1;
  }
}

// "BAUD-DATABITS-PARITY-STOPBITS[-xon]", as the status bar shows the line.
// On failure `fault` names the part that is wrong.
bool parseLineSettings(const std::string& text, LinkSettings& settings, std::string& fault) {
  const std::vector<std::string> parts = split(text, '-');
  if (parts.size() != 4 && parts.size() != 5) {
    fault = "\"" + text + "\" is not BAUD-DATABITS-PARITY-STOPBITS[-xon]";
    return false;
  }
  bool baudKnown = false;
  std::string baudList;
  for (const std::string& choice : baudRateChoices()) {
    baudKnown = baudKnown || choice == parts[0];
    baudList += (baudList.empty() ? "" : ", ") + choice;
  }
  long long baud = 0;
  if (!baudKnown || !parseNumber(parts[0], 1, 1000000, baud)) {
    fault = "baud rate \"" + parts[0] + "\" (one of " + baudList + ")";
    return false;
  }
  if (parts[1] != "7" && parts[1] != "8") {
    fault = "data bits \"" + parts[1] + "\" (7 or 8)";
    return false;
  }
  std::uint8_t parity = 0;
  if (parts[2] == "I" || parts[2] == "i") {
    parity = 1;
  } else if (parts[2] == "P" || parts[2] == "p") {
    parity = 2;
  } else if (parts[2] == "A" || parts[2] == "a") {
    parity = 0;
  } else {
    fault = "parity \"" + parts[2] + "\" (I odd, P even or A none)";
    return false;
  }
  if (parts[3] != "1" && parts[3] != "2") {
    fault = "stop bits \"" + parts[3] + "\" (1 or 2)";
    return false;
  }
  if (parts.size() == 5 && parts[4] != "xon" && parts[4] != "XON") {
    fault = "flow control \"" + parts[4] + "\" (xon)";
    return false;
  }
  settings.baudRate = static_cast<std::uint32_t>(baud);
  settings.dataBits = static_cast<std::uint8_t>(parts[1][0] - '0');
  settings.parityCode = parity;
  settings.stopBitsCode = parts[3] == "2" ? 2 : 0;
  settings.flowControl = parts.size() == 5 ? 1 : 0;
  return true;
}

bool pathExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

// A device named relative to the working directory, made absolute: a port
// name is a device path only when it starts with "/".
std::string absoluteDevicePath(const std::string& device) {
  if (device.empty() || device.front() == '/' || device.rfind("COM", 0) == 0) return device;
  char* cwd = ::getcwd(nullptr, 0);
  if (cwd == nullptr) return device;
  std::string path = cwd;
  std::free(cwd);
  if (path.back() != '/') path += '/';
  return path + device;
}

bool readTypeOf(const std::string& word, ReadType& type) {
  static const struct {
    const char* word;
    ReadType type;
  } kTypes[] = {{"unsigned", ReadType::Unsigned}, {"int", ReadType::Int},   {"short", ReadType::Short},
                {"double", ReadType::Double},     {"text", ReadType::Text}, {"id", ReadType::Id}};
  for (const auto& t : kTypes) {
    if (word == t.word) {
      type = t.type;
      return true;
    }
  }
  return false;
}

// A variable name goes into a command line: no blanks or control characters,
// so it cannot split the command or start another.
bool isVariableName(const std::string& name) {
  if (name.empty() || name.size() > 64) return false;
  for (unsigned char c : name)
    if (c <= ' ' || c == 0x7F) return false;
  return true;
}

}  // namespace

bool RepeatGuard::first(const std::string& option, std::string& error) {
  if (seen_.insert(option).second) return true;
  error = option + " given twice";
  return false;
}

bool isPlainFileName(const std::string& name, std::string& error) {
  if (name.empty()) {
    error = "--name needs a file name";
    return false;
  }
  if (name == "." || name == "..") {
    error = "--name: \"" + name + "\" is not a file name";
    return false;
  }
  for (unsigned char c : name) {
    if (c == '/' || c == '\\') {
      error = "--name takes a file name without a directory (use --dir): " + name;
      return false;
    }
    if (c < 0x20 || c == 0x7F) {
      error = "--name: no control characters in a file name";
      return false;
    }
  }
  if (name.size() > kCaptureNameMaxLength) {
    error = "--name: at most " + std::to_string(kCaptureNameMaxLength) + " characters";
    return false;
  }
  return true;
}

const char* usageLine() {
  return "Usage: tarnlux-cli [--dir DIR] [--link LINK] [--quiet] [--quiet-ms N] "
         "probe | read TYPE NAME INDEX | send TEXT | identify [--channel N] |\n"
         "       signal [--channel N] [--envelope] [--resolution haut|moyen|bas] [--nulltrack] |\n"
         "       block read [--channel N] | block write [--channel N] [--password PW] KEY=VALUE... |\n"
         "       capture [--channel N] --seconds S|--unlimited [--dir D] [--name F] [--overwrite]\n"
         "               [--host diag|summary] [--clock fast] |\n"
         "       settings [--channel N] |\n"
         "       storage [--channel N] [--password PW] [--enable|--disable] [--memory KB] [--clear] [--free] |\n"
         "       events [--channel N] (--this-site | --all | --site NAME) [--csv FILE] |\n"
         "       limits write [--channel N] [--password PW] NAME.warning=V NAME.fail=V... |\n"
         "       meter-info [--channel N] [--password PW] [FIELD=TEXT...] |\n"
         "       term [--capture FILE] |\n"
         "       osload FILE [--yes] [--clock fast] |\n"
         "       aga8 (--comp NAME=PERCENT,... | --setup FILE) --pressure PA --temperature K\n"
         "            --base-pressure PA --base-temperature K [--table --max-pressure PA --max-temperature K] |\n"
         "       energy --flow N --supply T --return T [--prefix P] [--volume V] [--time T]\n"
         "            [--temperature-unit U] [--rate-unit U] [--liquid L] [--location L] [--service S] |\n"
         "       report LOG.csv [--pdf OUT.pdf] | trend FOLDER [--pdf OUT.pdf] |\n"
         "       size gas|liquid [--outside-diameter N] [--wall-thickness N] ... (see --help) |\n"
         "       site list | site save N [--dir D] [--name F] | site restore FILE [--yes]";
}

const char* helpText() {
  return "Usage: tarnlux-cli [OPTIONS] VERB [ARGUMENTS]\n"
         "\n"
         "Talks to a flow meter through the link set up in qm.cfg.\n"
         "\n"
         "Verbs:\n"
         "  probe                    bring the meter back to its command prompt (\"test\" probe)\n"
         "  read TYPE NAME INDEX     read a meter variable and print its value alone on one line;\n"
         "                           TYPE is unsigned, int, short, double, text or id\n"
         "  send TEXT                send TEXT and a carriage return, print what arrives until\n"
         "                           the line has been quiet (see --quiet-ms)\n"
         "  identify [--channel N]   connect as the program does (capabilities, identification,\n"
         "                           every channel's status, configuration, memory block) and\n"
         "                           print what was learnt as key=value lines: meter_flags (hex),\n"
         "                           version, type, gas, memory_block, multipath, alarm_storage,\n"
         "                           echoflux, extended_diagnostics, metric, channel (1-4, empty\n"
         "                           on a multi-path meter), id, site_id, location,\n"
         "                           channel_failures (hex), block (0 or the code of the block\n"
         "                           read, empty without one), and the limits in force as\n"
         "                           limit.NAME.warning and limit.NAME.fail.\n"
         "                           --channel N (1-4) picks the channel when the meter has several;\n"
         "                           without it such a meter is a usage error (status 2)\n"
         "  block read [--channel N] connect as identify does and print every field of the memory\n"
         "                           block as key=value lines: channel, layout (transit_time or\n"
         "                           echoflux), capacity, generation, text (the block as read),\n"
         "                           limit.NAME.warning, limit.NAME.fail, location,\n"
         "                           spool_part_number, spool_serial_number, manufacture_date,\n"
         "                           flowmeter_part_number, flowmeter_serial_number,\n"
         "                           last_report_date, last_report_time\n"
         "  block write [--channel N] [--password PW] KEY=VALUE...\n"
         "                           connect, check the meter password (PW; a protected meter\n"
         "                           without it fails), set the fields named as block read prints\n"
         "                           them (limits and texts) on the block the meter holds, write\n"
         "                           it, read it back, and print the text sent as one line\n"
         "                           sent=TEXT (no final carriage return, control characters and\n"
         "                           \\ as \\xHH). An unknown key or a bad value is a usage error\n"
         "                           (status 2), checked as the limits and meter information\n"
         "                           screens check their fields: limits from 1 (whole numbers)\n"
         "                           or 0, percentages up to 100, correlation quality up to 1,\n"
         "                           a warning limit never past its fail limit; texts within\n"
         "                           their lengths, the location letters, digits and _, a date\n"
         "                           of manufacture as 2 or 3 groups of digits (12-03-2019).\n"
         "                           Interrupted once the block was sent, it reads the block\n"
         "                           back and says whether the meter took it (status 1)\n"
         "  limits write [--channel N] [--password PW] NAME.warning=V NAME.fail=V...\n"
         "                           connect as identify does and save the limits as the limits\n"
         "                           screen's Enregistrer does: NAME as block read prints it\n"
         "                           (alc, limit.alc, ...), an empty V for the screen's empty\n"
         "                           value, the first refused field in the screen's order with\n"
         "                           the screen's message (status 1), the meter password (PW),\n"
         "                           then status=STATUS (the screen's status text) and, when the\n"
         "                           block was sent, sent=TEXT as block write prints it\n"
         "  meter-info [--channel N] [--password PW] [FIELD=TEXT...]\n"
         "                           connect as identify does and print the meter information\n"
         "                           (location, spool_part_number, spool_serial_number,\n"
         "                           manufacture_date, flowmeter_part_number,\n"
         "                           flowmeter_serial_number) as FIELD=TEXT lines; given\n"
         "                           FIELD=TEXT, save them as the meter information screen does\n"
         "                           and print status= and sent= as limits write does\n"
         "  signal [--channel N] [--envelope] [--resolution haut|moyen|bas] [--nulltrack]\n"
         "                           connect as identify does, ask once for the received signal of\n"
         "                           channel N (default: the connected channel, else the first\n"
         "                           transit-time one) and print its figures as key=value lines,\n"
         "                           then the line index,a,b and one line per sample of the two\n"
         "                           bursts (a upstream, b downstream). --envelope asks for the\n"
         "                           envelope, --resolution for fewer samples (default haut),\n"
         "                           --nulltrack for the channel's NullTrack signal\n"
         "  capture [--channel N] --seconds S|--unlimited [--dir D] [--name F] [--overwrite]\n"
         "          [--host diag|summary] [--clock fast]\n"
         "                           connect as identify does, then query the meter every period\n"
         "                           as the diagnostic screen does (3, 6 or 12 s by the number of\n"
         "                           paths) and write a data capture log of S seconds (the screen\n"
         "                           offers 30, 60, 300, 600, 900, 1800, 3600), or until Ctrl-C\n"
         "                           with --unlimited. The log goes into --dir D (default: the\n"
         "                           DATA_CAPTURE directory of qm.cfg, else the working\n"
         "                           directory) under --name F (default: the proposed name, site\n"
         "                           and location, date and time, .CSV; _2, _3, ... added before\n"
         "                           .CSV when a log of that name exists). F is a file name alone\n"
         "                           (no directory part). An existing F is never replaced without\n"
         "                           --overwrite: the capture is refused before connecting\n"
         "                           (status 1). Prints period=S, then\n"
         "                           one line per row written: row=N followed by pathP=ok,\n"
         "                           pathP=warning or pathP=fail for every captured path (P the\n"
         "                           path or channel number; the worst grade of the path's graded\n"
         "                           readings), and at the end rows=N, summary=0|1 and log=PATH\n"
         "                           (absolute; empty when no log was opened). Ctrl-C, SIGTERM and\n"
         "                           SIGHUP end the capture with its summary, as Stop does\n"
         "                           (status 0). A capture ended by a\n"
         "                           failure (write error, meter units changed, all paths failed,\n"
         "                           a lost meter) keeps its rows, says why on stderr, status 1.\n"
         "                           --host summary queries as the system summary does (its period\n"
         "                           and totalizer reads). --clock fast runs the loop 100 times\n"
         "                           faster than real time: only the simulated meter keeps up\n"
         "                           with it (tests, demonstrations)\n"
         "  settings [--channel N]   connect as identify does, gather what the settings view\n"
         "                           \"Parametres compteur\" shows (identity, connection, bore and,\n"
         "                           with extended diagnostics, the configuration) and print its\n"
         "                           page: one page line per output line, cells joined by commas\n"
         "                           as the page holds them, nothing else on stdout\n"
         "  storage [--channel N] [--password PW] [--enable|--disable] [--memory KB] [--clear]\n"
         "          [--free]         connect as identify does and read the meter's alarm storage\n"
         "                           state; with options apply them as the storage set-up's\n"
         "                           Appliquer does (the meter password first when the meter\n"
         "                           has one), remember --memory under STORAGE/MEMORY of qm.cfg,\n"
         "                           and print the state: enabled (0/1), limits_set_up (0/1),\n"
         "                           allocated_kb, percent_full (empty when nothing is\n"
         "                           allocated), limits_correct, limits_match, site_enabled,\n"
         "                           storage_active (Oui, Non, as the screen shows them). A\n"
         "                           request the set-up refuses fails with its message\n"
         "  events [--channel N] (--this-site | --all | --site NAME) [--csv FILE]\n"
         "                           connect as identify does, retrieve the meter's stored alarm\n"
         "                           and warning events of this site, all sites or the named site\n"
         "                           and print them as CSV: the heading row event, site, date,\n"
         "                           time, temperature, then for every path an event has each\n"
         "                           figure (pathP.NAME) followed by its grade (pathP.NAME.grade:\n"
         "                           ok, warning or fail); events of a channel in the Echoflux\n"
         "                           mode fill the echoflux.NAME columns that follow instead\n"
         "                           (path, status, signal, doppler, flow_range, deviation,\n"
         "                           fluid, noise, fft_peak, flow_velocity, graded ones with\n"
         "                           echoflux.NAME.grade); one row per event. --csv FILE writes\n"
         "                           the same text to FILE (CR LF line ends). A record that cannot\n"
         "                           be decoded is named on stderr with its code and left out\n"
         "                           (status 1); no event at all says so on stderr (status 0)\n"
         "  site list                the meter's sites, one line each: site=N name=TEXT; a meter\n"
         "                           without sites says so on stderr (status 1)\n"
         "  site save N [--dir D] [--name F]\n"
         "                           receive site N into a site file (checked by a second pass\n"
         "                           before the file is written) in --dir D (default: the SITE\n"
         "                           directory of qm.cfg, else the working directory) named F\n"
         "                           (default: NAME.NNN); prints file, packets, retries\n"
         "  site restore FILE [--yes]\n"
         "                           send a site file back into the slot its extension names\n"
         "                           (.000 to .019); a file of another meter version is only\n"
         "                           sent with --yes; prints packets, retries. A transfer that\n"
         "                           leaves a meter channel disabled says so on stderr\n"
         "  term [--capture FILE]    the meter's own text interface. On a terminal every key goes\n"
         "                           to the meter as the Terminal screen sends it (arrows, F1 to\n"
         "                           F4, Delete as backspace) and the meter's screen is drawn;\n"
         "                           Ctrl-] ends. With standard input not a terminal each input\n"
         "                           line is sent with \"\\r\" and what arrives is printed as it\n"
         "                           comes; the run ends when input has ended and the meter has\n"
         "                           been quiet for --quiet-ms. --capture FILE appends what\n"
         "                           arrives to FILE (CR LF line ends; its folder made if missing)\n"
         "  osload FILE [--yes] [--clock fast]\n"
         "                           send the operating system file FILE to the meter's boot\n"
         "                           loader as the Load screen does (\"bootload\", then 128-byte\n"
         "                           blocks with retries) and print blocks=N (blocks taken),\n"
         "                           bytes=N (bytes of FILE taken), retries=N (all blocks) and\n"
         "                           status=TEXT (the screen's final status). On a serial line\n"
         "                           slower than 38400 the screen asks whether to go on: --yes\n"
         "                           answers OK, without it the load does not start (status 1).\n"
         "                           A refusal by the meter, too many retries, Ctrl-C (which\n"
         "                           sends CAN CAN) or a lost link: the message on stderr,\n"
         "                           status 1. --clock fast runs the time-outs 100 times faster\n"
         "                           (the simulated meter only)\n"
         "\n"
         "Calculators (no meter needed; their options come after the verb):\n"
         "  aga8                     gas properties at one point. Composition by --comp, a comma\n"
         "                           list of NAME=PERCENT with NAME (in any case) one of helium, hydrogen,\n"
         "                           nitrogen, co2, h2s, methane, ethane, propane, ibutane, nbutane,\n"
         "                           ipentane, npentane, nhexane, nheptane, noctane, nnonane,\n"
         "                           ndecane, argon, water, co, o2 (missing ones count 0; the total\n"
         "                           must be 100 +/- 0.01), or by --setup FILE.cpf (composition and\n"
         "                           conditions of a saved set-up; options given override its\n"
         "                           conditions, its table flag is not used).\n"
         "                           --pressure PA, --base-pressure PA: absolute, in Pa;\n"
         "                           --temperature K, --base-temperature K: in K.\n"
         "                           Prints key=value lines (numbers as %.17g): status (9000 on\n"
         "                           success, else the failure code), zb, zf, fpv, db, df (mol/dm3),\n"
         "                           rhob, rhof (kg/m3), rd_ideal, rd_real, molar_mass (g/mol),\n"
         "                           ho, h (J/kg), s, cpi, cp, cv (J/(kg K)), k, kappa,\n"
         "                           sound_speed (m/s), cstar. A failed calculation still prints\n"
         "                           them, with status 1 and \"Echec calcul. Code erreur - CODE\".\n"
         "  aga8 --table --max-pressure PA --max-temperature K ...\n"
         "                           the 10 x 10 grid from --pressure and --temperature (the\n"
         "                           minima) to the maxima in 9 equal steps: the header line\n"
         "                           pressure,temperature,zf,rhof then one line per point (Pa, K,\n"
         "                           Zf, kg/m3), temperature in the outer loop. A failing point\n"
         "                           ends the table after the points before it (status 1)\n"
         "  energy                   the energy flow calculator. Fields: --flow N (in the flow\n"
         "                           unit), --supply T and --return T (in the temperature unit).\n"
         "                           Lists, the texts as the screen shows them (in any case), first\n"
         "                           one\n"
         "                           by default: --prefix none|Kilo|Mega, --volume \"Gallons\"|\n"
         "                           \"Litres\"|\"Pieds cube\"|\"Metres cube\"|\"Pouces cube\",\n"
         "                           --time S|MIN|H|J, --temperature-unit \"deg C\"|\"deg F\",\n"
         "                           --rate-unit \"BTU / h\"|\"BTU / min\"|\"BTU / j\"|Tonnes|Watts|\n"
         "                           Kilowatts|\"Calories / min\", --liquid Eau|\"10 % d'ethylene\n"
         "                           glycol\"|...|\"50 % d'ethylene glycol\"|\"Chlorure de calcium\",\n"
         "                           --location Aller|Retour, --service Chauffage|Refroidissement.\n"
         "                           Prints the results page as key=value lines (numbers as %.17g,\n"
         "                           at full precision): temperature_difference,\n"
         "                           temperature_difference_unit, density, density_unit, mass_flow,\n"
         "                           mass_flow_unit (the four empty for a glycol or the brine),\n"
         "                           energy_rate (negative for cooling), energy_rate_unit,\n"
         "                           rtd_supply, rtd_return (Pt1000, Ohms)\n"
         "  size gas|liquid         the sensor sizing tools. Every entry and list of the screen is\n"
         "                           an option named after its settings key in lower case with\n"
         "                           dashes: --outside-diameter, --wall-thickness,\n"
         "                           --liner-thickness, --estimated-vs, --absolute-viscosity (gas)\n"
         "                           or --kinematic-viscosity and --density (liquid),\n"
         "                           --minimum-flowrate, --maximum-flowrate, --minimum-temperature,\n"
         "                           --maximum-temperature, --minimum-pressure and\n"
         "                           --maximum-pressure (gas), in the units of the lists\n"
         "                           --dimension-units, --temperature-units, --pressure-units (gas),\n"
         "                           --velocity-units, --density-units, --volume-mass-units,\n"
         "                           --time-units; --pipe-material, --liner-material, --gas-name or\n"
         "                           --liquid-name (list texts exactly as the screen shows them;\n"
         "                           a fluid fills its sound speed, viscosity and density unless\n"
         "                           given), --xdcr-filter 0|1, and for the AGA8 gas row\n"
         "                           --comp NAME=PERCENT,... as aga8 takes it. Lists not given keep\n"
         "                           the screen's first entry (the gas \"Gaz naturel\", the liquid\n"
         "                           \"Eau (20C)\"). Prints entry.KEY=VALUE for every entry as the\n"
         "                           screen shows it, suitable= (the suitable types, commas),\n"
         "                           type= (the type or \"Contacter l'usine\"), size=, mount=,\n"
         "                           spacing=, one problem=TEXT per application problem, and one\n"
         "                           result.LABEL=CELLS per results page row (cells joined by |).\n"
         "                           A refused entry prints the screen's message, status 1\n"
         "  An input the screen would refuse (missing, not a number, out of range, a composition\n"
         "  total off 100 %) is a usage error: the screen's message on stderr, status 2.\n"
         "  report LOG.csv [--pdf OUT.pdf]\n"
         "                           read a capture log back as the single report shows it:\n"
         "                           site, first and last (date and time of the first and last\n"
         "                           rows), samples, and for every column of the log\n"
         "                           col.LABEL.average, col.LABEL.warnings, col.LABEL.fails and\n"
         "                           col.LABEL.grade (ok, warning or fail: the page's cell colour),\n"
         "                           LABEL as in the log's heading row. --pdf also writes the page\n"
         "  trend FOLDER [--pdf OUT.pdf]\n"
         "                           read every capture log (*.csv, any case) of FOLDER, write the\n"
         "                           trend log there and print trend_log=PATH and logs=N; --pdf\n"
         "                           also writes the multi-report pages. Needs no meter\n"
         "\n"
         "Options:\n"
         "  --dir DIR                program directory holding qm.cfg (default: working directory);\n"
         "                           capture writes its log there. The meter verbs only read\n"
         "                           qm.cfg; without --link they need it (status 2 otherwise)\n"
         "  --link tcp:HOST:PORT     use this TCP/IP link instead of the settings file\n"
         "  --link serial:DEVICE[:BAUD-DATABITS-PARITY-STOPBITS[-xon]]\n"
         "                           use this serial device, e.g. serial:/dev/ttyUSB0:9600-7-I-1-xon\n"
         "                           (a relative DEVICE is taken from the working directory)\n"
         "                           (parity I, P or A; without the line part 9600-7-I-1-xon)\n"
         "  --quiet-ms N             send: quiet time that ends the answer, in ms (default 500)\n"
         "  --quiet                  print no message at all on stderr, only set the exit status\n"
         "  --help                   show this text\n"
         "  --version                show the program version\n"
         "\n"
         "Exit status: 0 success, 1 failure or Ctrl-C (the message on stderr; Ctrl-C ends a\n"
         "capture normally), 2 usage error. Messages keep the program's text and code; a system\n"
         "code's description or the accepted range follows on a second line. An option given\n"
         "twice is a usage error. After a dropped TCP link mended by the one reconnection,\n"
         "stderr carries the notice reconnected=HOST:PORT and the verb goes on.\n";
}

bool parseLinkOption(const std::string& text, LinkSettings& settings, std::string& error) {
  LinkSettings result;
  if (text.rfind("tcp:", 0) == 0) {
    const std::string rest = text.substr(4);
    const std::size_t colon = rest.rfind(':');
    if (colon == std::string::npos) {
      error = "--link tcp:HOST:PORT needs a port";
      return false;
    }
    std::string host = rest.substr(0, colon);
    if (host == "localhost") host = "127.0.0.1";
    std::uint16_t port = 0;
    if (host.empty() || !isValidIpAddress(host)) {
      error = "--link: not an IPv4 address: " + host;
      return false;
    }
    if (!parseIpPort(rest.substr(colon + 1), port)) {
      error = "--link: not a port number: " + rest.substr(colon + 1);
      return false;
    }
    result.portName = kTcpPortName;
    result.ipAddress = host;
    result.ipPort = port;
    result.portMissing = 0;
  } else if (text.rfind("serial:", 0) == 0) {
    std::string device = absoluteDevicePath(text.substr(7));
    // Device paths may hold colons (by-path names): a path that exists is the
    // device; otherwise what follows the last colon is the line part.
    const std::size_t colon = device.rfind(':');
    if (colon != std::string::npos && !pathExists(device)) {
      std::string fault;
      if (!parseLineSettings(device.substr(colon + 1), result, fault)) {
        error = "--link: bad line settings: " + fault;
        return false;
      }
      device.resize(colon);
    }
    if (device.empty() || device.back() == '/') {
      error = "--link serial: needs a device";
      return false;
    }
    result.portName = device;
  } else {
    error = "--link must start with tcp: or serial:";
    return false;
  }
  settings = result;
  return true;
}

// KEY=VALUE items from positional[first] on, each key once.
static bool parseAssignments(const std::vector<std::string>& positional, std::size_t first,
                             const std::string& verb, Options& options, std::string& error) {
  for (std::size_t i = first; i < positional.size(); ++i) {
    const std::string& item = positional[i];
    const std::size_t equals = item.find('=');
    if (equals == std::string::npos || equals == 0) {
      error = verb + ": not KEY=VALUE: " + item;
      return false;
    }
    const std::string key = item.substr(0, equals);
    for (const auto& given : options.assignments) {
      if (given.first == key) {
        error = verb + ": " + key + " given twice";
        return false;
      }
    }
    options.assignments.emplace_back(key, item.substr(equals + 1));
  }
  return true;
}

bool parseOptions(const std::vector<std::string>& args, Options& options, std::string& error) {
  std::vector<std::string> positional;
  bool optionsEnded = false;
  std::string signalOption;   // the last option only "signal" takes
  std::string captureOption;  // the last option only "capture" takes
  std::string storageOption;  // the last option only "storage" takes
  RepeatGuard repeats;
  std::string eventsOption;   // the last option only "events" takes
  std::string termOption;     // the last option only "term" takes
  bool eventChoiceTwice = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    // An option given twice is a mistake, whatever the verb: the second would
    // silently win.
    if (!optionsEnded && arg.size() > 2 && arg.compare(0, 2, "--") == 0 && !repeats.first(arg, error)) {
      return false;
    }
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) {
        error = arg + " needs a value";
        return false;
      }
      out = args[++i];
      return true;
    };
    if (positional.empty() && (arg == "report" || arg == "trend" || arg == "size")) {
      // Capture logs on disk and the sizing tools: no meter, their own
      // options after the verb.
      options.verb = arg == "report" ? Verb::Report : arg == "trend" ? Verb::Trend : Verb::Size;
      options.calcArgs.assign(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
      return true;
    }
    if (positional.empty() && arg == "osload") {
      // The file and --yes come after the verb; the link options before it.
      options.verb = Verb::OsLoad;
      options.calcArgs.assign(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
      return true;
    }
    if (positional.empty() && (arg == "aga8" || arg == "energy")) {
      // The calculators parse their own options, all after the verb.
      if (options.channel >= 0 || options.password || !signalOption.empty() ||
          !captureOption.empty()) {
        error = "--channel, --password and the signal and capture options do not apply to " + arg;
        return false;
      }
      options.verb = arg == "aga8" ? Verb::Aga8 : Verb::Energy;
      options.calcArgs.assign(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
      return true;
    }
    if (optionsEnded || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
      positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--help") {
      options.verb = Verb::Help;
      return true;
    } else if (arg == "--version") {
      options.verb = Verb::Version;
      return true;
    } else if (arg == "--quiet") {
      options.quiet = true;
    } else if (arg == "--dir") {
      if (!value(options.directory)) return false;
      if (options.directory.empty()) {
        error = "--dir needs a directory";
        return false;
      }
    } else if (arg == "--link") {
      std::string linkText;
      if (!value(linkText)) return false;
      LinkSettings settings;
      if (!parseLinkOption(linkText, settings, error)) return false;
      options.link = settings;
    } else if (arg == "--channel") {
      std::string text;
      long long channel = 0;
      if (!value(text)) return false;
      if (!parseNumber(text, 1, 4, channel)) {
        error = "--channel needs a channel number from 1 to 4";
        return false;
      }
      options.channel = static_cast<int>(channel) - 1;
    } else if (arg == "--password") {
      std::string text;
      if (!value(text)) return false;
      options.password = text;
    } else if (arg == "--envelope") {
      options.envelope = true;
      signalOption = arg;
    } else if (arg == "--nulltrack") {
      options.nullTrack = true;
      signalOption = arg;
    } else if (arg == "--resolution") {
      std::string text;
      if (!value(text)) return false;
      if (text == "haut")
        options.resolution = 1;
      else if (text == "moyen")
        options.resolution = 2;
      else if (text == "bas")
        options.resolution = 3;
      else {
        error = "--resolution takes haut, moyen or bas";
        return false;
      }
      signalOption = arg;
    } else if (arg == "--seconds") {
      std::string text;
      long long seconds = 0;
      if (!value(text)) return false;
      if (!parseNumber(text, 1, 366LL * 24 * 3600, seconds)) {
        error = "--seconds needs a capture length in seconds (1 to 31622400)";
        return false;
      }
      options.captureSeconds = static_cast<int>(seconds);
      captureOption = arg;
    } else if (arg == "--unlimited") {
      options.captureUnlimited = true;
      captureOption = arg;
    } else if (arg == "--name") {
      if (!value(options.captureName)) return false;
      if (!isPlainFileName(options.captureName, error)) return false;
      captureOption = arg;
    } else if (arg == "--yes") {
      options.siteYes = true;
    } else if (arg == "--overwrite") {
      options.captureOverwrite = true;
      captureOption = arg;
    } else if (arg == "--host") {
      std::string text;
      if (!value(text)) return false;
      if (text == "diag") {
        options.captureHost = CaptureHostChoice::Diagnostic;
      } else if (text == "summary") {
        options.captureHost = CaptureHostChoice::Summary;
      } else {
        error = "--host takes diag or summary";
        return false;
      }
      captureOption = arg;
    } else if (arg == "--clock") {
      std::string text;
      if (!value(text)) return false;
      if (text != "fast") {
        error = "--clock takes fast";
        return false;
      }
      options.fastClock = true;
      captureOption = arg;
    } else if (arg == "--this-site" || arg == "--all" || arg == "--site") {
      eventChoiceTwice = eventChoiceTwice || options.eventChoiceGiven.has_value();
      if (arg == "--site") {
        if (!value(options.eventSite)) return false;
        options.eventChoiceGiven = EventSiteChoice::NamedSite;
      } else {
        options.eventChoiceGiven =
            arg == "--all" ? EventSiteChoice::AllSites : EventSiteChoice::ThisSite;
      }
      options.eventChoice = *options.eventChoiceGiven;
      eventsOption = arg;
    } else if (arg == "--csv") {
      if (!value(options.eventsCsv)) return false;
      if (options.eventsCsv.empty()) {
        error = "--csv needs a file name";
        return false;
      }
      eventsOption = arg;
    } else if (arg == "--capture") {
      if (!value(options.termCapture)) return false;
      if (options.termCapture.empty() || options.termCapture.back() == '/') {
        error = "--capture needs a file name";
        return false;
      }
      termOption = arg;
    } else if (arg == "--enable" || arg == "--disable") {
      const bool enable = arg == "--enable";
      if (options.storageEnable && *options.storageEnable != enable) {
        error = "--enable and --disable exclude each other";
        return false;
      }
      options.storageEnable = enable;
      storageOption = arg;
    } else if (arg == "--memory") {
      std::string text;
      if (!value(text)) return false;
      options.storageMemory = text;
      storageOption = arg;
    } else if (arg == "--clear") {
      options.storageClear = true;
      storageOption = arg;
    } else if (arg == "--free") {
      options.storageFree = true;
      storageOption = arg;
    } else if (arg == "--quiet-ms") {
      std::string text;
      long long ms = 0;
      if (!value(text)) return false;
      if (!parseNumber(text, 1, 600000, ms)) {
        error = "--quiet-ms needs a number of milliseconds (1 to 600000)";
        return false;
      }
      options.quietMs = static_cast<int>(ms);
    } else {
      error = "unknown option " + arg;
      return false;
    }
  }

  if (positional.empty()) {
    error = "no verb given";
    return false;
  }
  const std::string& verb = positional[0];
  if (verb == "probe") {
    if (positional.size() != 1) {
      error = "probe takes no arguments";
      return false;
    }
    options.verb = Verb::Probe;
  } else if (verb == "read") {
    if (positional.size() != 4) {
      error = "read needs TYPE NAME INDEX";
      return false;
    }
    if (!readTypeOf(positional[1], options.readType)) {
      error = "unknown read type " + positional[1];
      return false;
    }
    if (!isVariableName(positional[2])) {
      error = "not a variable name: " + positional[2];
      return false;
    }
    long long index = 0;
    if (!parseNumber(positional[3], 0, 9999, index)) {
      error = "not an index: " + positional[3];
      return false;
    }
    options.verb = Verb::Read;
    options.name = positional[2];
    options.index = static_cast<int>(index);
  } else if (verb == "send") {
    if (positional.size() != 2) {
      error = "send needs one TEXT";
      return false;
    }
    options.verb = Verb::Send;
    options.text = positional[1];
  } else if (verb == "identify") {
    if (positional.size() != 1) {
      error = "identify takes no arguments";
      return false;
    }
    options.verb = Verb::Identify;
  } else if (verb == "signal") {
    if (positional.size() != 1) {
      error = "signal takes no arguments";
      return false;
    }
    options.verb = Verb::Signal;
  } else if (verb == "capture") {
    if (positional.size() != 1) {
      error = "capture takes no arguments";
      return false;
    }
    if (options.captureUnlimited == (options.captureSeconds > 0)) {
      error = "capture needs --seconds S or --unlimited (one of them)";
      return false;
    }
    options.verb = Verb::Capture;
  } else if (verb == "events") {
    if (positional.size() != 1) {
      error = "events takes no arguments";
      return false;
    }
    if (!options.eventChoiceGiven || eventChoiceTwice) {
      error = "events needs one of --this-site, --all and --site NAME";
      return false;
    }
    options.verb = Verb::Events;
  } else if (verb == "term") {
    if (positional.size() != 1) {
      error = "term takes no arguments";
      return false;
    }
    options.verb = Verb::Term;
  } else if (verb == "storage") {
    if (positional.size() != 1) {
      error = "storage takes no arguments";
      return false;
    }
    options.verb = Verb::Storage;
  } else if (verb == "settings") {
    if (positional.size() != 1) {
      error = "settings takes no arguments";
      return false;
    }
    options.verb = Verb::Settings;
  } else if (verb == "site") {
    const std::string what = positional.size() >= 2 ? positional[1] : std::string();
    long long number = 0;
    if (what == "list" && positional.size() == 2) {
      options.verb = Verb::SiteList;
    } else if (what == "save" && positional.size() == 3 && parseNumber(positional[2], 0, 19, number)) {
      options.verb = Verb::SiteSave;
      options.siteNumber = static_cast<int>(number);
    } else if (what == "restore" && positional.size() == 3 && !positional[2].empty()) {
      options.verb = Verb::SiteRestore;
      options.siteFile = positional[2];
    } else {
      error = "site needs list, save N (0 to 19) or restore FILE";
      return false;
    }
  } else if (verb == "limits" || verb == "meter-info") {
    const bool limits = verb == "limits";
    if (limits && (positional.size() < 2 || positional[1] != "write")) {
      error = "limits needs write";
      return false;
    }
    const std::size_t first = limits ? 2 : 1;
    if (limits && positional.size() == first) {
      error = "limits write needs NAME.warning=V or NAME.fail=V";
      return false;
    }
    if (!parseAssignments(positional, first, limits ? "limits write" : "meter-info", options,
                          error)) {
      return false;
    }
    options.verb = limits ? Verb::LimitsWrite : Verb::MeterInfo;
  } else if (verb == "block") {
    if (positional.size() >= 2 && positional[1] == "read") {
      if (positional.size() != 2) {
        error = "block read takes no arguments";
        return false;
      }
      options.verb = Verb::BlockRead;
    } else if (positional.size() >= 2 && positional[1] == "write") {
      if (positional.size() == 2) {
        error = "block write needs KEY=VALUE";
        return false;
      }
      for (std::size_t i = 2; i < positional.size(); ++i) {
        const std::string& item = positional[i];
        const std::size_t equals = item.find('=');
        if (equals == std::string::npos || equals == 0) {
          error = "block write: not KEY=VALUE: " + item;
          return false;
        }
        const std::string key = item.substr(0, equals);
        for (const auto& given : options.assignments) {
          if (given.first == key) {
            error = "block write: " + key + " given twice";
            return false;
          }
        }
        options.assignments.emplace_back(key, item.substr(equals + 1));
      }
      options.verb = Verb::BlockWrite;
    } else {
      error = "block needs read or write";
      return false;
    }
  } else {
    error = "unknown verb " + verb;
    return false;
  }
  if (!signalOption.empty() && options.verb != Verb::Signal) {
    error = signalOption + " applies to signal";
    return false;
  }
  if (options.siteYes && options.verb != Verb::SiteRestore) {
    error = "--yes applies to site restore";
    return false;
  }
  if (!captureOption.empty() && options.verb != Verb::Capture &&
      !(captureOption == "--name" && options.verb == Verb::SiteSave)) {
    error = captureOption + " applies to capture";
    return false;
  }
  if (!eventsOption.empty() && options.verb != Verb::Events) {
    error = eventsOption + " applies to events";
    return false;
  }
  if (!termOption.empty() && options.verb != Verb::Term) {
    error = termOption + " applies to term";
    return false;
  }
  if (!storageOption.empty() && options.verb != Verb::Storage) {
    error = storageOption + " applies to storage";
    return false;
  }
  if (options.channel >= 0 && options.verb != Verb::Storage && options.verb != Verb::Events &&
      options.verb != Verb::Identify && options.verb != Verb::Signal &&
      options.verb != Verb::BlockRead && options.verb != Verb::BlockWrite &&
      options.verb != Verb::Capture && options.verb != Verb::Settings &&
      options.verb != Verb::LimitsWrite && options.verb != Verb::MeterInfo) {
    error = "--channel applies to identify, signal, block, capture, settings, storage and events";
    return false;
  }
  if (options.password && options.verb != Verb::BlockWrite && options.verb != Verb::Storage &&
      options.verb != Verb::LimitsWrite && options.verb != Verb::MeterInfo) {
    error = "--password applies to block write and storage";
    return false;
  }
  return true;
}

}  // namespace tarnlux::cli
