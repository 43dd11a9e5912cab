#pragma once

#include <string>
#include <vector>

namespace tarnlux::cli {

// "report LOG [--pdf OUT]": what the single report of a capture log shows, as
// key=value lines: site, first, last, samples, and for every column of the
// log col.LABEL.average, col.LABEL.warnings, col.LABEL.fails and
// col.LABEL.grade (ok, warning or fail). --pdf also writes the page.
// "trend FOLDER [--pdf OUT]": writes the trend log of the folder's capture
// logs and prints trend_log=PATH and logs=N; --pdf also writes the pages.
// Exit status 0, 1 on a failure (its text on stderr), 2 on a usage error.
int runReport(const std::vector<std::string>& args, bool quiet);
int runTrendVerb(const std::vector<std::string>& args, bool quiet);

}  // namespace tarnlux::cli
