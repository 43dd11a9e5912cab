#pragma once

#include <string>
#include <string_view>

namespace tarnlux {

// The caption of every error box.
inline constexpr const char* kErrorCaption = "ERR.";
inline constexpr const char* kErrorCodeSeparator = " - Code d'erreur: ";
// The message of every answer or record from the meter that cannot be read.
inline constexpr const char* kBadMeterDataText = "Donnees compt. non valables";

// The text of an error box: message + extra + second extra; a code of 0 or more
// appends " - Code d'erreur: " and the code (0 is first replaced by the last
// system error); a negative code appends nothing. At most 1256 characters.
std::string errorBoxText(std::string_view message, std::string_view extra = {},
                         std::string_view extra2 = {}, int code = -1);

// The same text for a screen's status line, at most 256 characters. A negative
// code puts "ERR. - " in front instead of appending a code.
std::string statusErrorText(std::string_view message, std::string_view extra = {},
                            std::string_view extra2 = {}, int code = -1);

// The last system error of this thread, as the platform's "last error" that a
// code of 0 stands for. Transport failures record errno here.
int lastSystemError();
void setLastSystemError(int code);

}  // namespace tarnlux
