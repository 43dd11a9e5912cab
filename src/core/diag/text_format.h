#pragma once

#include <string>

namespace tarnlux {

// printf-style formatting into std::string, so the file formats can be written
// with the very format strings they are defined by.
std::string formatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
void appendFormat(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace tarnlux
