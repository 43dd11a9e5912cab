#include "cli_messages.h"
#include "report_verbs.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>

#include "common/clock.h"
#include "reports/capture_log_reader.h"
#include "reports/report_page.h"
#include "reports/report_pdf_entry.h"
#include "reports/report_trend.h"

namespace tarnlux::cli {

namespace {

struct FileVerbArgs {
  std::string target;  // the log or the folder
  std::string pdf;     // empty: no PDF
};

// 0, or 2 with the reason printed.
int parseArgs(const char* verb, const std::vector<std::string>& args, FileVerbArgs& out) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--pdf") {
      if (i + 1 >= args.size() || args[i + 1].empty()) {
        return usageError("--pdf needs a value");
      }
      out.pdf = args[++i];
    } else if (args[i].rfind("--", 0) == 0 || !out.target.empty()) {
      return usageError(std::string(verb) + ": unexpected argument " + args[i]);
    } else {
      out.target = args[i];
    }
  }
  if (out.target.empty()) {
    return usageError(std::string(verb) + " needs " +
                      (std::string(verb) == "report" ? "a capture log" : "a folder"));
  }
  return 0;
}

int failure(const std::string& text, bool quiet) {
  if (!quiet) showMessage(text);
  return 1;
}

std::string programFolder() {
  char buffer[4096];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return {};
  const std::string path(buffer, static_cast<std::size_t>(n));
  return folderOf(path);
}

// Loads the page drawing beside the program and writes the pages. The module is
// kept loaded: Qt does not like being unloaded.
int writePdf(const std::string& path, const std::vector<ReportPage>& pages, std::string& message) {
  const std::string module = programFolder() + kReportPdfModuleName;
  void* handle = ::dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    message = std::string("PDF indisponible: ") + ::dlerror();
    return -1;
  }
  const auto entry = reinterpret_cast<ReportPdfEntry>(::dlsym(handle, kReportPdfEntryName));
  if (entry == nullptr) {
    message = std::string("PDF indisponible: ") + module;
    return -1;
  }
  return entry(path.c_str(), &pages, &message);
}

const char* gradeName(GradeColour grade) {
  switch (grade) {
    case GradeColour::Red:
      return "fail";
    case GradeColour::Yellow:
      return "warning";
    case GradeColour::Green:
      break;
  }
  return "ok";
}

}  // namespace

int runReport(const std::vector<std::string>& args, bool quiet) {
  FileVerbArgs parsed;
  if (const int usage = parseArgs("report", args, parsed); usage != 0) return usage;
  ReportData data;
  std::string message;
  if (readCaptureLog(parsed.target, data, message) != 0) return failure(message, quiet);
  std::printf("site=%s\n", data.site.c_str());
  std::printf("first=%s %s\n", data.firstDate.c_str(), data.firstTime.c_str());
  std::printf("last=%s %s\n", data.lastDate.c_str(), data.lastTime.c_str());
  std::printf("samples=%d\n", data.samples);
  for (const ReportColumn& column : data.columns) {
    const char* label = column.label.c_str();
    std::printf("col.%s.average=%s\n", label, column.average.c_str());
    std::printf("col.%s.warnings=%d\n", label, column.warnings);
    std::printf("col.%s.fails=%d\n", label, column.fails);
    std::printf("col.%s.grade=%s\n", label, gradeName(column.grade()));
  }
  std::fflush(stdout);
  if (!parsed.pdf.empty() && writePdf(parsed.pdf, {singleReportPage(data)}, message) != 0) {
    return failure(message, quiet);
  }
  return 0;
}

int runTrendVerb(const std::vector<std::string>& args, bool quiet) {
  FileVerbArgs parsed;
  if (const int usage = parseArgs("trend", args, parsed); usage != 0) return usage;
  std::vector<ReportData> logs;
  std::string trendLog;
  std::string message;
  const std::string folder = parsed.target.back() == '/' ? parsed.target : parsed.target + "/";
  if (runTrend(folder, systemClock().localNow(), logs, trendLog, message) != 0) {
    return failure(message, quiet);
  }
  std::printf("trend_log=%s\n", trendLog.c_str());
  std::printf("logs=%d\n", static_cast<int>(logs.size()));
  std::fflush(stdout);
  if (!parsed.pdf.empty() && writePdf(parsed.pdf, multiReportPages(logs), message) != 0) {
    return failure(message, quiet);
  }
  return 0;
}

}  // namespace tarnlux::cli
