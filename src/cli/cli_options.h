#pragma once

#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "diag/stored_events.h"
#include "link/link_settings.h"

namespace tarnlux::cli {

enum class Verb {
  None, Help, Version, Probe, Read, Send, Identify, Signal, BlockRead, BlockWrite, Capture, Aga8, Energy,
  Settings, Storage, Report, Trend, Size, Events,
  SiteList, SiteSave, SiteRestore,
  LimitsWrite, MeterInfo,
  Term,
  OsLoad
};

enum class ReadType { Unsigned, Int, Short, Double, Text, Id };

// The screen a capture runs its loop as: the diagnostic screen or the summary.
enum class CaptureHostChoice { Diagnostic, Summary };

struct Options {
  Verb verb = Verb::None;
  std::string directory;               // --dir; empty: the working directory
  std::optional<LinkSettings> link;    // --link overrides the settings file
  bool quiet = false;                  // --quiet: no messages, only the exit status
  int quietMs = 500;                   // --quiet-ms for "send"
  ReadType readType = ReadType::Unsigned;
  std::string name;                    // read: variable name
  int index = 0;                       // read: channel or path index
  std::string text;                    // send: the command without its "\r"
  int channel = -1;                    // identify, signal, block, capture --channel: 0..3, -1 when not given
  bool envelope = false;               // signal --envelope
  int resolution = 1;                  // signal --resolution: 1 haut, 2 moyen, 3 bas
  bool nullTrack = false;              // signal --nulltrack
  std::optional<std::string> password; // block write --password
  // block write, limits write, meter-info: KEY=VALUE in command-line order, each key once.
  std::vector<std::pair<std::string, std::string>> assignments;
  // capture: --seconds S (the capture length) or --unlimited, --name, --host, --clock fast.
  int captureSeconds = 0;
  bool captureUnlimited = false;
  std::string captureName;
  bool captureOverwrite = false;       // capture --overwrite: an existing --name may be replaced
  CaptureHostChoice captureHost = CaptureHostChoice::Diagnostic;
  bool fastClock = false;
  // storage: --enable / --disable (nullopt: as the meter has it), --memory KB
  // as typed, --clear, --free.
  std::optional<bool> storageEnable;
  std::optional<std::string> storageMemory;
  bool storageClear = false;
  bool storageFree = false;
  // events: --this-site, --all or --site NAME (one of them), --csv FILE.
  std::optional<EventSiteChoice> eventChoiceGiven;
  EventSiteChoice eventChoice = EventSiteChoice::ThisSite;
  std::string eventSite;
  std::string eventsCsv;
  // site save N, site restore FILE [--yes] (the file name of site save is captureName).
  int siteNumber = -1;
  std::string siteFile;
  bool siteYes = false;
  std::string termCapture;             // term --capture FILE
  // aga8, energy, report, trend, size: every argument after the verb; the verb parses its own.
  std::vector<std::string> calcArgs;
};

// The longest file name the file system takes.
inline constexpr std::size_t kCaptureNameMaxLength = 255;

// Remembers the options of one command line: the second use of one is a
// usage error ("--X given twice"), in every verb. Verbs that parse their own
// options (the calculators) use it too.
class RepeatGuard {
 public:
  // False, with `error` set, when `option` was seen before.
  bool first(const std::string& option, std::string& error);

 private:
  std::set<std::string> seen_;
};

// A file name alone: not empty, no directory part, no control characters, at
// most kCaptureNameMaxLength characters. False with the reason in `error`.
bool isPlainFileName(const std::string& name, std::string& error);

// Parses the command line (argv without the program name). On a usage error
// returns false with the reason in `error`.
bool parseOptions(const std::vector<std::string>& args, Options& options, std::string& error);

// "tcp:HOST:PORT" or "serial:DEVICE[:BAUD-DATABITS-PARITY-STOPBITS[-xon]]".
bool parseLinkOption(const std::string& text, LinkSettings& settings, std::string& error);

const char* usageLine();
const char* helpText();

}  // namespace tarnlux::cli
