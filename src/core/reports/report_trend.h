#pragma once

#include <atomic>
#include <string>
#include <string_view>
#include <vector>

#include "common/clock.h"
#include "reports/capture_log_reader.h"

namespace tarnlux {

// The trend over every capture log of a folder: the logs read in time order
// for the multi-report page, and the trend log written beside them.

inline constexpr const char* kNoFileFoundText = "Aucun fichier trouve";
inline constexpr const char* kFileSearchText = "Erreur recherche fichier";
inline constexpr const char* kFileSearchNextText = "Erreur recherche fichier suivant";
inline constexpr const char* kTrendMemoryText =
    "Impossible d'attribuer m\xC3\xA9moire pour rapport de tendance";
inline constexpr const char* kCollectErrorText = "Erreur de collecte donnees";
inline constexpr const char* kCollectFileText = "Fichier: ";
inline constexpr const char* kTooFewLogsText =
    "Requiert au moins deux fichiers de rapport pour rapport de tendance";
inline constexpr const char* kTrendLogOpenText =
    "Impossible d'ouvrir fichier d'enregistrement rapport de tendance";

// The first line of a trend log. Trend logs are "*.csv" files too, written into
// the folder they summarise; a later trend of that folder passes over them.
inline constexpr std::string_view kTrendLogFirstLine = "Journal tend. Norvane";

// Every "*.csv" of `folder` (".CSV" too: the extension in any case), by name.
// 0, or -1 with `message` set.
int listCaptureLogs(const std::string& folder, std::vector<std::string>& paths,
                    std::string& message);

// Whether the file opens with the trend log's first line.
bool isTrendLog(const std::string& path);

// Reads every capture log of the folder (trend logs left out) into `logs`, in
// the order of their first time stamps. 0; -1 with `message` set; -2 when
// cancelled.
int collectTrendLogs(const std::string& folder, std::vector<ReportData>& logs,
                     std::string& message, const std::atomic<int>* cancel = nullptr);

// "<folder>Rapport_tendance_<site>_MMDDYY_HHMM.CSV".
std::string trendLogPath(const std::string& folder, std::string_view site, const LocalTime& now);

// The trend log's text, CR LF line ends.
std::string trendLogText(const std::vector<ReportData>& logs);

// Writes the trend log of `logs` (at least two) into `folder`. 0, or -1 with
// `message` set; `path` is the file written.
int writeTrendLog(const std::string& folder, const std::vector<ReportData>& logs,
                  const LocalTime& now, std::string& path, std::string& message);

// The whole trend: collect, check there are at least two logs, write the
// trend log. 0, -1 with `message`, -2 when cancelled.
int runTrend(const std::string& folder, const LocalTime& now, std::vector<ReportData>& logs,
             std::string& trendLog, std::string& message, const std::atomic<int>* cancel = nullptr);

// The folder of a file path, with its trailing separator ("./" for a bare name).
std::string folderOf(const std::string& path);

}  // namespace tarnlux
