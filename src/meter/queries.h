#pragma once

#include <string>
#include <vector>

namespace tarnlux::meter {

class Meter;
struct Profile;

struct QueryRequest {
  int kind = 0;     // first code digit
  int channel = 0;  // second
  int subCode = 0;  // third
};

// The whole answer to "qg KCS": the header line (answer kind digit, channel,
// sub-code and the capability nibbles), the body lines, and the end: ETX on
// meters with the memory block, else the last line's "\r\n".
std::string answerQuery(Meter& meter, const QueryRequest& request);

// Header digits: answer kind, channel, sub-code, capability bits 12-15, 8-11,
// 4-7, 0-3 and, on meters with the memory block, 16-19.
std::string queryHeader(const Profile& profile, int answerKind, int channel, int subCode);

// The kind digit an answer carries for a query kind.
int answerKindFor(int queryKind);

}  // namespace tarnlux::meter
