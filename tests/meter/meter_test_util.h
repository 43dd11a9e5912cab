#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "interpreter.h"
#include "meter.h"
#include "profile.h"

namespace tarnlux::meter::test {

// A small meter: channel 1 transit time, memory block unless asked otherwise.
inline Profile smallProfile(bool memoryBlock = true) {
  const std::string text = std::string(
                               "[meter]\n"
                               "type = 7326G\n"
                               "version = 3.02.00M\n"
                               "capabilities = 10010\n"
                               "memory_block = ") +
                           (memoryBlock ? "yes" : "no") +
                           "\n"
                           "[cv]\n"
                           "abar = unsigned 0\n"
                           "abar@0 = 3FF\n"
                           "big = unsigned FFF0000\n"
                           "small = unsigned A5\n"
                           "accept = int 97\n"
                           "rep_rate = short -12\n"
                           "delta_t = double 2.45e-6\n"
                           "vfv = double 8.5\n"
                           "id = char[8] \"        \"\n"
                           "id@0 = GASP1A01\n"
                           "pw = char[8] \"        \"\n"
                           "flegend = char[16] M3/HR\n"
                           "temp_grid = double[10] 0\n"
                           "qmmem = char[64]\n"
                           "[qm]\n"
                           "alc_avg = int 60672\n"
                           "[query 4]\n"
                           "line = {id},{type},{version},{date},{time},{channel}\n";
  Profile p;
  std::string error;
  EXPECT_TRUE(parseProfile(text, "test", p, error)) << error;
  return p;
}

// 2026-03-14 09:26:53 UTC; tests run with TZ=UTC.
constexpr std::time_t kFixedTime = 1773480413;

// Everything the interpreter gives out for `input`, concatenated.
inline std::string feedAll(CommandInterpreter& interpreter, std::string_view input) {
  std::vector<Output> out;
  interpreter.feed(input, out);
  std::string all;
  for (const Output& o : out) all += o.bytes;
  return all;
}

// The service program's way of reading answers, written out here from its
// rules (not shared with the meter) so the listing forms are checked against
// what a reader does.
struct Reader {
  // Type word, then the name after it, skip to the first decimal digit, take
  // upper-case hexadecimal digits. -1 on a fault.
  static long long unsignedValue(const std::string& answer, const std::string& type,
                                 const std::string& name) {
    std::size_t pos = answer.find(type);
    if (pos == std::string::npos) return -1;
    pos = answer.find(name, pos + type.size());
    if (pos == std::string::npos) return -1;
    pos += name.size();
    while (pos < answer.size() && !(answer[pos] >= '0' && answer[pos] <= '9')) ++pos;
    std::string digits;
    while (pos < answer.size() &&
           std::string("0123456789ABCDEF").find(answer[pos]) != std::string::npos) {
      digits += answer[pos++];
    }
    if (digits.empty() || digits.size() > 8) return -1;
    return std::stoll(digits, nullptr, 16);
  }
  // Type word, name, skip spaces, one non-space token (up to the "\r").
  static std::string token(const std::string& answer, const std::string& type,
                           const std::string& name) {
    std::size_t pos = answer.find(type);
    if (pos == std::string::npos) return "<no type>";
    pos = answer.find(name, pos + type.size());
    if (pos == std::string::npos) return "<no name>";
    pos += name.size();
    while (pos < answer.size() && answer[pos] == ' ') ++pos;
    std::string t;
    while (pos < answer.size() && answer[pos] != ' ' && answer[pos] != '\r') t += answer[pos++];
    return t;
  }
  // After the first "|" up to the next "|" or "~".
  static std::string text(const std::string& answer) {
    std::size_t pos = answer.find('|');
    if (pos == std::string::npos) return "<no bar>";
    std::string t;
    for (++pos; pos < answer.size() && answer[pos] != '|' && answer[pos] != '~'; ++pos)
      t += answer[pos];
    return t;
  }
};

}  // namespace tarnlux::meter::test
