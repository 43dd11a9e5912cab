#pragma once

// The meter password step over the link. The rules of the answer and of the
// dialog's entries live in password.h.

#include <functional>
#include <string>
#include <string_view>

#include "common/op_context.h"
#include "link/password.h"
#include "link/transport.h"

namespace tarnlux {

// Reads the meter's password of `channel`: "cv %d pw\r", received until
// "char" and then "\r" within 50,000 ms. `password` gets the value with its
// trailing spaces cut (empty: the meter has no password). 0, a link code, or
// 21001..21004 reported as "Mot de passe incorrect du compteur" with the code.
int readPassword(MeterLink& link, int channel, std::string& password, OperationContext& ctx);

// The password dialog. Shown with the meter's password (trailing spaces cut)
// so the dialog can judge its entries with checkPasswordEntry() and stay open
// on a fault. Returns 0 on OK with `newPassword` set to the accepted new
// password (upper case, padded to 8) or empty when no change is asked; returns
// -2 on Cancel or close.
using PasswordDialog = std::function<int(std::string_view meterPassword, std::string& newPassword)>;

// Results of checkMeterPassword besides 0, -2 and link codes.
inline constexpr int kPasswordChangeNotConfirmed = 1;

// The step before a screen writes the memory block:
//  - reads the password (on TCP a failure closes and reopens the link once
//    and reads again);
//  - no password: 0 at once, the dialog is not shown;
//  - otherwise runs `dialog`: Cancel gives -2;
//  - with a change: sends "cv %d pw[0] %s\r", purges (5000 ms, quiet 3000 ms;
//    on TCP a failed send or purge reopens the link once and tries again),
//    reads the password back; when it does not hold the new one, shows
//    "Erreur de confirmation de mot de passe du compteur (reenregistrer le mot
//    de passe)" and returns 1.
// 0 to go on, -2, 1, or a link code.
int checkMeterPassword(MeterLink& link, int channel, const PasswordDialog& dialog,
                       OperationContext& ctx);

}  // namespace tarnlux
