#pragma once

#include <cstdint>
#include <string>

namespace tarnlux {

// "H:MM:SS" (hours without a leading zero) of a time given in seconds since
// midnight; any value is reduced modulo one day first.
std::string secondsOfDayText(std::int64_t secondsOfDay);

// Local time of day (time zone and daylight-saving rule applied) of a time in
// seconds since 1970, as secondsOfDayText writes it.
std::string timeOfDayText(std::int64_t unixSeconds);

}  // namespace tarnlux
