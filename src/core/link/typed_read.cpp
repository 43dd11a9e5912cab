#include "link/typed_read.h"

#include "link/exchange.h"

namespace tarnlux {

namespace {

constexpr std::string_view kBackspaces = "\b\b\b\b\b\b";

std::string commandLine(std::string_view commandWord, int index, std::string_view name) {
  std::string command;
  command.reserve(commandWord.size() + name.size() + 16);
  command.append(commandWord).append(" ").append(std::to_string(index)).append(" ").append(name).append("\r");
  return command;
}

// Sends the command and receives the answer line from its type word on.
int exchange(MeterLink& link, std::string_view command, std::string_view typeWord,
             OperationContext& ctx, std::string_view& answer) {
  const int result = sendCommand(link, command, kSendBaseTimeoutMs, ctx);
  if (result != kOk) return result;
  return receiveVariableAnswer(link, command, typeWord, kAnswerTimeoutMs, ctx, answer);
}

}  // namespace

int readUnsigned(MeterLink& link, std::string_view name, std::string_view typeWord, int index,
                 std::uint32_t& value, bool backspacePrefix, OperationContext& ctx) {
  std::string command = commandLine("cv", index, name);
  if (backspacePrefix) command.insert(0, kBackspaces);
  std::string_view answer;
  const int result = exchange(link, command, typeWord, ctx, answer);
  if (result != kOk) return result;
  return reportAnswerFault(parseUnsignedAnswer(answer, typeWord, name, value), ctx);
}

int readInt(MeterLink& link, std::string_view commandWord, std::string_view name,
            std::string_view typeWord, int index, std::int32_t& value, int base, OperationContext& ctx) {
  std::string_view answer;
  const int result = exchange(link, commandLine(commandWord, index, name), typeWord, ctx, answer);
  if (result != kOk) return result;
  return reportAnswerFault(parseIntAnswer(answer, typeWord, name, base, value), ctx);
}

int readDouble(MeterLink& link, std::string_view name, int index, double& value, OperationContext& ctx) {
  std::string_view answer;
  const int result = exchange(link, commandLine("cv", index, name), "double", ctx, answer);
  if (result != kOk) return result;
  return reportAnswerFault(parseDoubleAnswer(answer, name, value), ctx);
}

int readText(MeterLink& link, std::string_view name, int index, std::string& value, bool upperCase,
             OperationContext& ctx) {
  std::string_view answer;
  const int result = exchange(link, commandLine("cv", index, name), "char", ctx, answer);
  if (result != kOk) return result;
  return reportAnswerFault(parseTextAnswer(answer, upperCase, value), ctx);
}

int readMeterId(MeterLink& link, int index, std::string& rawId, std::string& displayId,
                OperationContext& ctx) {
  std::string_view answer;
  const int result = exchange(link, commandLine("cv", index, "id"), "char", ctx, answer);
  if (result != kOk) return result;
  return reportAnswerFault(parseMeterIdAnswer(answer, rawId, displayId), ctx);
}

int readIntInRange(MeterLink& link, std::string_view commandWord, std::string_view name,
                   std::string_view typeWord, int index, ReadingRange range, std::int32_t& value,
                   OperationContext& ctx) {
  std::int32_t read = 0;
  const int result = readInt(link, commandWord, name, typeWord, index, read, 10, ctx);
  if (result != kOk) return result;
  const int checked = checkReadingRange(read, range, ctx);
  if (checked == kOk) value = read;
  return checked;
}

}  // namespace tarnlux
