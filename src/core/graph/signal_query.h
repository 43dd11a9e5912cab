#pragma once

#include "common/error_text.h"

// Asking the meter for its received signal: the choices of the signal graph
// that outlive its screen, the channel and NullTrack rules, one query through
// the command exchange, and the query loop's decisions (Once or continuous,
// retry after a failed path, one TCP reconnection), kept apart from any window.

#include <cstdint>
#include <string>

#include "common/op_context.h"
#include "graph/signal_answer.h"
#include "link/channel_state.h"
#include "link/meter_facts.h"
#include "link/transport.h"

namespace tarnlux {

inline constexpr int kNoSignalChannel = 255;

// The signal graph's choices; the program keeps one record for its whole run,
// so the screen opens again as it was left.
struct SignalSettings {
  int graphType = 0;               // 0 "Signal", 1 "Enveloppe"
  int channel = kNoSignalChannel;  // 0 to 3
  int resolution = 1;              // 1 "Haut", 2 "Moyen", 3 "Bas"
  bool nullTrackChosen = false;    // the NullTrack radio rather than "Liquide"
  int nullTrackOffset = 0;         // added to the channel digit; 0 for the fluid signal
  bool continuous = true;
  bool correlated = false;
  int zoom = 1;  // 1, 2, 4 or 8
};

inline constexpr int kMaxSignalZoom = 8;

// A channel can be shown when it measures in transit time and not in the
// Echoflux mode.
bool signalChannelSelectable(std::uint32_t meterFlags, int channel);

// How far the NullTrack signal's channel digit lies above the channel's: the
// site slot bits plus 1, or plus 2 when the meter reports its paths as one
// measurement.
int nullTrackChannelOffset(std::uint32_t meterFlags);

// Brings the settings in line with the connected meter, as the screen does
// when it opens: a channel that cannot be shown becomes none; NullTrack is
// dropped where the channel has none, and otherwise its offset is computed.
void fitSignalSettings(SignalSettings& settings, std::uint32_t meterFlags);

// The digits the query carries for the settings.
SignalQueryCode signalQueryCode(const SignalSettings& settings);

// "qg " + graph type, channel digit, resolution + "\r".
std::string signalQueryText(const SignalQueryCode& code);

// Where the answer's text starts for the exchange. Meters that end their
// answers with ETX need none: the parser skips the echo. The others end every
// line with the same "\r", so the wait must start inside the last line: at the
// system name and version the figure line repeats (",7326L,3.04.02M,").
std::string signalStartMarker(const MeterFacts& facts);

// One signal query: the prompt preparation with the channel wait (up to 50 s:
// a failed path gives -3), the command, the answer up to the meter's
// terminator, and its decoding into `out`. Exchange results as querySiteData;
// answer faults are reported as "Donnees compt. non valables" with the code
// unless ctx.quiet. `stateWords` (may be null) records the channel status.
int querySignal(MeterLink& link, const SignalSettings& settings, const MeterFacts& facts,
                SignalAnswer& out, OperationContext& ctx, ChannelStateWords* stateWords = nullptr);

// The texts the loop shows.
inline constexpr const char* kSignalNotConnected = "Non connecte au compteur";
inline constexpr const char* kSignalNoChannel = "Aucun canal temps de transit active";
// The progress line appends its turning spinner ("|" first) to this text.
inline constexpr const char* kSignalCollecting = "Collecte donnees compteur...";
inline constexpr const char* kSignalStopped = "Graph. arrete";
inline constexpr const char* kSignalCommunicationFailed = "Echec de communication";
inline constexpr const char* kSignalRetryQuestion = "Nouvelle interrogation souhaitee?";
inline constexpr const char* kSignalNoAnswer = "Pas de reponse du compteur";
inline constexpr const char* kSignalBadAnswer = kBadMeterDataText;

// "%s.\n%s": the failure, then the retry question.
std::string signalRetryText(const std::string& failure);

// What the loop needs from its host (the screen, or a test).
class SignalLoopHost {
 public:
  virtual ~SignalLoopHost() = default;
  // One query with the settings as they are now, quietly; 0 or the code.
  virtual int queryOnce() = 0;
  // A good answer: keep it for drawing and repaint.
  virtual void showAnswer() = 0;
  // Read before every cycle: a change of mode applies at the next one.
  virtual bool continuous() const = 0;
  virtual bool tcpLink() const = 0;
  // Close and reopen the TCP connection (5000 ms to connect); 0 or the code.
  virtual int reopenLink() = 0;
  virtual void closeLink() = 0;
  // The message of a failed path or channel ("Echec canal 1", "Echec chemin 2"...).
  virtual std::string pathFailureText() const = 0;
  // Yes/No box captioned "ERR."; true for Yes.
  virtual bool askRetry(const std::string& text) = 0;
  // Error box; `code` < 0 shows none.
  virtual void showError(const std::string& text, int code) = 0;
  virtual void clearPicture() = 0;
};

enum class SignalLoopEnd {
  Done,      // Once mode after its answer
  Stopped,   // Stop (or Exit) while querying: "Graph. arrete"
  Declined,  // No in the retry box, or a failed path in Once mode
  Failed,    // communication failure: the link is closed
};

// Runs cycles until Once has its answer, Stop, a refused retry or a failure.
// A failed path (-3) or a meter that sends no signal data asks whether to go
// on (Continuous) or says so and ends (Once). Any other failure on TCP gets
// one reconnection and the cycle again; a good answer earns the next failure
// its own reconnection. Otherwise "Echec de communication" with the code (a
// malformed answer first says "Donnees compt. non valables" with its fault),
// and the link is closed.
SignalLoopEnd runSignalLoop(SignalLoopHost& host);

}  // namespace tarnlux
