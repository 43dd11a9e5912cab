#include "interpreter.h"
#include "meter.h"

namespace tarnlux::meter {

bool CommandInterpreter::siteCommand(const std::string& line, std::vector<Output>& out) {
  std::optional<std::string> answer = meter_.sites().execute(line);
  if (!answer) return false;
  // A transfer that has begun answers in packets, without a prompt.
  if (!meter_.sites().packetMode()) *answer += kPrompt;
  if (!answer->empty()) out.push_back(Output{Output::Kind::Answer, std::move(*answer)});
  return true;
}

void CommandInterpreter::packetByte(char c, std::vector<Output>& out) {
  if (c == '\n' || c == '\0') return;
  if (c != '\r') {
    // Packets are short; a line past any packet's length is noise.
    if (packet_.size() < 512) packet_ += c;
    return;
  }
  std::string reply = meter_.sites().onPacket(packet_);
  packet_.clear();
  if (!meter_.sites().packetMode()) reply += kPrompt;
  out.push_back(Output{Output::Kind::Answer, std::move(reply)});
}

}  // namespace tarnlux::meter
