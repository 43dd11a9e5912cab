#pragma once

// What every fuzz target shares: a few leading bytes choose the parser's
// options, the rest is the text under test. Meter facts are taken from the
// answer's own header where one is expected, so the fuzzer spends its time
// past the capability check instead of guessing the nibbles.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "link/meter_facts.h"
#include "link/site_answers.h"

namespace tarnlux::fuzz {

class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  // One choice byte; 0 once the input is used up.
  std::uint8_t take() {
    if (size_ == 0) return 0;
    --size_;
    return *data_++;
  }
  bool flag() { return (take() & 1) != 0; }

  std::string_view text() const { return {reinterpret_cast<const char*>(data_), size_}; }
  const std::uint8_t* data() const { return data_; }
  std::size_t size() const { return size_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};

// Facts whose capability word matches the answer's header when it reads, with
// the option bits of `choice`.
inline MeterFacts factsFor(std::string_view answer, std::uint8_t choice) {
  MeterFacts facts;
  AnswerText parts = splitAnswer(answer);
  AnswerHeader header;
  if (!parts.empty && readAnswerHeader(parts.header, header) == 0) {
    facts.meterFlags = header.capabilityBits;
    facts.meterKindReported = header.meterKindReported;
  }
  facts.multiPath = (choice & 0x01) != 0;
  facts.gasMeter = (choice & 0x02) != 0;
  facts.extendedDiagnostics = (choice & 0x04) != 0;
  facts.memoryBlock = (choice & 0x08) != 0;
  facts.metricUnits = (choice & 0x10) != 0;
  facts.alarmStorage = (choice & 0x20) != 0;
  facts.echofluxMode = (choice & 0x40) != 0;
  if (facts.memoryBlock) facts.queryTerminator = '\x03';
  return facts;
}

}  // namespace tarnlux::fuzz
