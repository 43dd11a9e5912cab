// The capture log reader, then the report pages and trend log drawn from what
// it read, so every field the reader lets through is used as the pages use it.
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "reports/capture_log_reader.h"
#include "reports/report_page.h"
#include "reports/report_trend.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarnlux;
  fuzz::Input in(data, size);
  ReportData log;
  std::string message;
  if (readCaptureLogText(in.text(), log, message) != 0) {
    if (message.empty()) __builtin_trap();  // a refusal always says why
    return 0;
  }
  (void)singleReportPage(log);
  const std::vector<ReportData> logs = {log, log};
  (void)multiReportPages(logs);
  (void)trendLogText(logs);
  return 0;
}
