#pragma once

// The timed command exchange with the meter's command interpreter.
//
// Free functions over the one MeterLink. Every function takes the operation
// context last: its cancel flag is tested on every pass (result -2, never
// reported), its progress line is refreshed and its pump called on every pass,
// and unless ctx.quiet its error sink gets the failure text. Waiting loops
// never spin: a pass with nothing to do waits on the link for at most 10 ms.
//
// Every receive fills the link's receive area from offset 0 and keeps it
// NUL-terminated; on success the text is cut by a NUL over the first character
// of the awaited terminator. The answer is valid until the next receive.
//
// Results: 0 success, -1 time-out, -2 cancelled, -3 channel not ready,
// -4 out of memory, a positive system/socket code for transport failures,
// 20101.. packet faults, 21001.. answer faults.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/op_context.h"
#include "common/result.h"
#include "link/channel_state.h"
#include "link/transport.h"

namespace tarnlux {

// Time-outs every caller uses.
inline constexpr int kSendBaseTimeoutMs = 2000;
inline constexpr int kAnswerTimeoutMs = 50000;
inline constexpr int kLongAnswerTimeoutMs = 120000;  // the configuration listing (meter type 5)
inline constexpr int kPacketTimeoutMs = 15000;

// Where the awaited text was found in the receive area.
struct ReceivedText {
  std::size_t markerOffset = 0;  // start of the matched start marker / alternative (0 when none)
  std::size_t length = 0;        // bytes of text before the NUL that ends it
};

// Sends `text` (the whole view; use std::string_view(cText) for "up to the
// NUL"). The time-out is baseTimeoutMs + 5 ms per character.
// 0, -2, -1 ("Impossible d'envoyer commande"), or the transport's code (same
// message with the code).
int sendCommand(MeterLink& link, std::string_view text, int baseTimeoutMs, OperationContext& ctx);

// Receives until `terminator` arrives, after `startMarker` when one is given
// (null for none); the terminator is searched after the marker. Time-out
// reports "Pas de reponse du compteur" when nothing arrived, else "Donnees
// anticipees non recues" (-1); a transport failure "Impossible de recevoir des
// donnees" with its code.
int receiveUntil(MeterLink& link, const char* startMarker, const char* terminator, int timeoutMs,
                 OperationContext& ctx, ReceivedText* received = nullptr);

// Up to six alternative markers; unused entries null.
using Alternatives = std::array<const char*, 6>;

// Waits for one of the alternatives, tried in their order on every new read.
// The match sets bit 2^k of `matchMask` for alternative k. When `terminator` is
// given and the match's bit is in `needsTerminatorMask`, the terminator must
// follow the marker; otherwise the match alone ends the wait. At the time-out
// the result is still 0 when the matched bit is in
// `acceptedWithoutTerminatorMask`. Other outcomes as receiveUntil.
int receiveOneOf(MeterLink& link, unsigned& matchMask, const Alternatives& alternatives,
                 const char* terminator, unsigned needsTerminatorMask,
                 unsigned acceptedWithoutTerminatorMask, int timeoutMs, OperationContext& ctx,
                 ReceivedText* received = nullptr);

// Like receiveOneOf, with alternative 0 a keep-alive: each keep-alive followed
// by the terminator restarts the search after that terminator and the
// keep-alive clock. Ends with 0 when another alternative arrives followed by
// the terminator (its bit in the mask), or when keepAliveTimeoutMs pass after
// the last keep-alive (mask 1). Before the first keep-alive firstPhaseTimeoutMs
// applies, and running out of it fails as receiveUntil does. The text before
// the final terminator stays in the receive area for the caller.
int receiveWithKeepAlive(MeterLink& link, unsigned& matchMask, const Alternatives& alternatives,
                         const char* terminator, int firstPhaseTimeoutMs, int keepAliveTimeoutMs,
                         OperationContext& ctx, ReceivedText* received = nullptr);

// Discards input until the line has been quiet for more than quietMs.
// A total of 0 returns 0 at once. Never quiet within totalTimeoutMs:
// "Impossible de purger le tampon - Donnees continues recues", -1. A transport
// failure ends it at once: "Impossible de purger le tampon" with the code.
int purgeInput(MeterLink& link, int totalTimeoutMs, int quietMs, OperationContext& ctx);

// Hands over whatever arrives until the line has been quiet for quietMs (0)
// or totalTimeoutMs have passed with data still coming (-1, not reported: the
// caller decides whether a talking line is a failure). Transport failures as
// receiveUntil. For raw exchanges (the command line tool's "send").
int receiveUntilQuiet(MeterLink& link, int quietMs, int totalTimeoutMs,
                      const std::function<void(std::string_view data)>& onData, OperationContext& ctx);

// Facts about the connected meter that the prompt and channel waits need.
struct ChannelFacts {
  // The channels are paths of one measurement: messages say "chemin".
  bool multiPath = false;
  // Where the channel status bits are recorded (may be null).
  ChannelStateWords* stateWords = nullptr;
};

// Reads the channel's status word "abar" until its bit 0x10 (measuring) is set,
// or timeoutMs pass (0: one read) -> -3 with "Echec canal n" / "Echec chemin n",
// or the read fails (its result). The last word read is recorded in
// facts.stateWords.
int waitChannelReady(MeterLink& link, int channel, int timeoutMs, const ChannelFacts& facts,
                     OperationContext& ctx, bool backspacePrefix = false);

// Gets the meter's attention: purge, then the "test" probe (answered "???" at
// the command prompt; six backspaces first when asked) or, without the probe,
// one channel status read. When that times out, six ESC "D" pairs leave a menu
// screen (a form feed first when the line still does not go quiet) and the
// probe is repeated, this time reporting its failures.
int resyncPrompt(MeterLink& link, int channel, bool useTestProbe, bool backspacePrefix,
                 const ChannelFacts& facts, OperationContext& ctx);

// Parsers of site query answers, by answer kind (the query's kind digit, also
// called the meter type). Kinds 2 to 5 have their own; every other kind shares
// one. A parser gets the answer from its start marker up to the terminator
// (the rest of the receive area is still readable through the link) and
// returns 0 or its fault code, reporting its own failures.
using SiteAnswerParser = std::function<int(std::string_view answer, OperationContext& ctx)>;

class SiteAnswerParsers {
 public:
  void setParser(int kind, SiteAnswerParser parser);  // kinds 2..5; any other sets the shared one
  void setSharedParser(SiteAnswerParser parser) { shared_ = std::move(parser); }
  // The parser for `kind`, or null when none is set.
  const SiteAnswerParser* parserFor(int kind) const;

 private:
  std::array<SiteAnswerParser, 4> own_;  // kinds 2..5
  SiteAnswerParser shared_;
};

struct SiteQuery {
  std::string_view text;            // e.g. "qg 400\r" with the channel digit in place
  const char* startMarker = nullptr;
  const char* terminator = "\r";    // "\x03" on meters with the memory block
  int meterType = 0;                // the query's kind digit
  int channel = 0;                  // for the channel wait of the preparation
  bool useTestProbe = true;
  bool backspacePrefix = false;
};

// The exchange behind the connect step and the site set-up reads: the prompt
// preparation (the channel wait lasts up to 50 s for meter types 0 and 1, one
// read otherwise), the query, its answer (120 s for meter type 5, else 50 s),
// then the answer's parser.
int querySiteData(MeterLink& link, const SiteQuery& query, const ChannelFacts& facts,
                  const SiteAnswerParsers& parsers, OperationContext& ctx);

// Lines of a long listing, newest first.
struct CollectedLines {
  std::vector<std::string> lines;
  std::size_t longest = 0;
};

// More listing text than this is taken as exhausted line storage.
inline constexpr std::size_t kCollectStorageLimit = 64u * 1024u * 1024u;

// Collects a listing (stored events and the like) line by line until ETX.
// Lines end at CR (a following LF is dropped) or ETX; empty lines and lines
// holding the echo of the command (`echoText`, its line end ignored) are not
// kept. The inactivity clock restarts at every complete line. On cancel or
// time-out the listing is stopped (CAN, purge, "\r" and "???", up to three
// times while data keeps coming; the progress line shows "Annulation, veuillez
// patienter...|") and nothing is handed over. Storage exhausted: -4 with
// "Impossible d'affecter de la memoire pour les evenements memorises".
int collectLines(MeterLink& link, std::string_view echoText, int inactivityTimeoutMs,
                 CollectedLines& out, OperationContext& ctx,
                 std::size_t storageLimit = kCollectStorageLimit);

}  // namespace tarnlux
