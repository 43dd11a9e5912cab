#pragma once

#include <string>
#include <vector>

#include "reports/report_page.h"

namespace tarnlux {

// The page drawing needs Qt; tarnlux-cli loads it as a module beside its
// program only when a PDF is asked for, so its meter verbs never load Qt.
inline constexpr const char* kReportPdfModuleName = "tarnlux-cli-pdf.so";
inline constexpr const char* kReportPdfEntryName = "tarnluxWriteReportPdf";

// Writes `pages` into the PDF file `path`. 0, or -1 with `message` set.
using ReportPdfEntry = int (*)(const char* path, const std::vector<ReportPage>* pages,
                               std::string* message);

}  // namespace tarnlux
