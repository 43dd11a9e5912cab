#pragma once

// Everything tarnlux-cli says on stderr goes through here, so --quiet silences
// every message and every usage error has the same form.

#include <string>
#include <string_view>
#include <vector>

namespace tarnlux::cli {

// --quiet, set once at start (before the options are fully parsed, so that a
// usage error is silent too).
void setMessagesQuiet(bool quiet);
bool messagesQuiet();
// True when "--quiet" stands among the program's options (before "--").
bool quietRequested(const std::vector<std::string>& args);

// A usage error: "tarnlux-cli: REASON", the optional detail on a line of its
// own, then "see tarnlux-cli --help". Returns the usage status, 2.
int usageError(const std::string& reason, const std::string& detail = {});

// A message of the program (an error box text, a screen's refusal) as it
// stands, then on a second line what the program's code means to the system
// (the errno text) or the `detail` given (an accepted range).
void showMessage(const std::string& text, const std::string& detail = {});

// A message of the command line itself: "tarnlux-cli: TEXT".
void showCliMessage(const std::string& text);

// A notice: the run goes on and may well succeed. Printed as it is.
void showNotice(const std::string& text);

// The system's description of the code an error box text ends with
// (" - Code d'erreur: N"): errno texts, socket numbers mapped to theirs.
// Empty for the program's own codes and for texts without a code.
std::string systemDescriptionOf(std::string_view errorBoxText);

}  // namespace tarnlux::cli
