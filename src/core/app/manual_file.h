#pragma once

#include <string>

namespace tarnlux {

inline constexpr const char* kManualFileName = "Tarnlux Manual.pdf";
// The name the manual was shipped under by earlier releases.
inline constexpr const char* kLegacyManualFileName = "Quillmap Manual.pdf";

// The manual in the program directory: the first of the two names that opens
// for reading, or an empty text when neither does.
std::string findManualFile(const std::string& programDirectory);

}  // namespace tarnlux
