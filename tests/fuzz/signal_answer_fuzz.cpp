// The signal answer: header, two waveform lines, the figure line.
#include "fuzz_input.h"
#include "graph/signal_answer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarnlux;
  fuzz::Input in(data, size);
  const std::uint8_t choice = in.take();
  const std::string_view answer = in.text();
  const MeterFacts facts = fuzz::factsFor(answer, choice);
  // The query the header echoes, so that most inputs reach the lines after it.
  SignalQueryCode query;
  AnswerText parts = splitAnswer(answer);
  AnswerHeader header;
  if (!parts.empty && readAnswerHeader(parts.header, header) == 0) {
    query.graphType = header.kind;
    query.channelDigit = header.channel;
    query.resolution = header.subCode;
  }
  SignalAnswer out;
  parseSignalAnswer(answer, query, facts, out);
  return 0;
}
