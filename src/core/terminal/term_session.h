#pragma once

#include <string>
#include <string_view>

#include "common/op_context.h"
#include "link/transport.h"
#include "terminal/term_emulator.h"
#include "terminal/text_capture.h"

namespace tarnlux {

inline constexpr const char* kTermLinkFailedText = "Echec de communication";
inline constexpr const char* kTermSendFailedText = "Impossible d'envoyer commande";
inline constexpr const char* kTermReceiveFailedText = "Impossible de recevoir des donnees";
inline constexpr const char* kTermSubclassFailedText = "Impossible sous-classer objet terminal";
inline constexpr int kTermSendBaseTimeoutMs = 2000;
inline constexpr int kTermConnectTimeoutMs = 5000;

// The terminal's traffic on the one link: the keys the user types go out as
// they are, what arrives is captured and interpreted. A TCP link that fails
// a send or a read is closed and opened again once; a failure that remains
// marks the link failed, and every later key only says so.
class TermSession {
 public:
  TermSession(MeterLink& link, TermEmulator& emulator) : link_(link), emulator_(emulator) {}

  void setCapture(TextCapture* capture) { capture_ = capture; }
  // The link could not be opened or failed: keys are no longer sent.
  void markFailed() { failed_ = true; }
  bool failed() const { return failed_; }

  // Sends a key's bytes. 0, or the failure's code once reported through ctx:
  // "Echec de communication" when the link failed earlier, "Impossible
  // d'envoyer commande" with the code when the send failed (after the one
  // reopening on TCP) - the caller then gives the link up.
  int send(std::string_view bytes, OperationContext& ctx);

  // Reads what has arrived: the number of bytes taken (appended to the
  // capture and interpreted; also handed back in `received` when given), 0
  // when nothing came, or a negative result after a receive failure that was
  // reported ("Impossible de recevoir des donnees" with the code).
  long poll(OperationContext& ctx, std::string* received = nullptr);

  // The last capture write failure (errno), 0 when none; cleared when read.
  int takeCaptureError() {
    const int e = captureError_;
    captureError_ = 0;
    return e;
  }

 private:
  MeterLink& link_;
  TermEmulator& emulator_;
  TextCapture* capture_ = nullptr;
  bool failed_ = false;
  bool pending_ = false;
  int captureError_ = 0;
};

}  // namespace tarnlux
