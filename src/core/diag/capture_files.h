#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "common/clock.h"
#include "link/meter_facts.h"

namespace tarnlux {

// Where a capture log goes and the file behind it.

// Negative results of the opening checks (the status line shows the message).
inline constexpr int kCaptureDirectoryTooLong = -21;
inline constexpr int kCaptureNoFileName = -22;
inline constexpr int kCaptureFileNameTooLong = -23;
inline constexpr int kCapturePathTooLong = -24;

inline constexpr const char* kCaptureDirectoryTooLongText =
    "Erreur capture donnees. Nom repertoire trop long";
inline constexpr const char* kCaptureNoFileNameText =
    "Erreur capture donnees, pas de fichier saisi";
inline constexpr const char* kCaptureFileNameTooLongText =
    "Erreur capture donnees. Nom fichier trop long";
inline constexpr const char* kCapturePathTooLongText =
    "Erreur capture donnees. Chemin complet trop long";
inline constexpr const char* kCaptureDirectoryCreateText =
    "Erreur creation repertoire capture donnees, code: ";
inline constexpr const char* kCaptureFileOpenText =
    "Erreur ouverture fichier capture donnees, code: ";
inline constexpr const char* kCaptureWriteText = "Erreur ecriture fichier capture donnees, code: ";

// The proposed file name: the site identifier ("________" without one) and
// the location, padded with "_" to 24 characters (blanks, path separators
// and control characters of the identifier shown as "_"), then the local date
// (month, day, two-digit year), "_", hours and minutes, ".CSV".
std::string proposedCaptureFileName(const std::optional<std::string>& siteIdentifier,
                                    std::string_view location, const LocalTime& now);
std::string proposedCaptureFileName(const MeterFacts& meter, const Clock& clock);

// The question asked before a file is replaced: "NAME existe deja." and
// "Voulez-vous le remplacer ?" on two lines.
std::string fileExistsQuestion(std::string_view name);

struct CaptureTarget {
  std::string directory;  // with a trailing separator
  std::string path;       // directory + file name
};

// The directory and file-name boxes checked: blanks trimmed, an empty
// directory is the start-up directory, a separator appended; the length
// limits of the log's path. 0 or a negative code with `message` set.
int resolveCaptureTarget(std::string_view directoryText, std::string_view fileNameText,
                         const std::string& startupDirectory, CaptureTarget& target,
                         std::string& message);

// Where a capture log's bytes go. Writes are whole or not at all: after a
// failed append the sink holds exactly what it held before, so a log never
// ends in half a row.
class CaptureSink {
 public:
  virtual ~CaptureSink() = default;
  // 0, or the system error number of the failure.
  virtual int append(std::string_view data) = 0;
  // Flushes to the device and closes. 0 or the error number.
  virtual int close() = 0;
  // Drops a file whose header could not be written.
  virtual void discard() {}
};

// The capture log on disk. Every append goes straight to the file (no
// buffering in the program), so a crash keeps every row written so far.
class FileCaptureSink final : public CaptureSink {
 public:
  ~FileCaptureSink() override;

  // Creates the file, or truncates it when present (with `replaceExisting`;
  // without it a present file is left alone: EEXIST and the overwrite
  // question). When its directory does not exist, creates that one level and
  // tries again. 0, or the error number with `message` set ("Erreur creation
  // repertoire ..." or "Erreur ouverture ...").
  static int open(const CaptureTarget& target, std::unique_ptr<FileCaptureSink>& sink,
                  std::string& message, bool replaceExisting = true);

  int append(std::string_view data) override;
  int close() override;
  void discard() override;

 private:
  FileCaptureSink(int fd, std::string path, bool created)
      : fd_(fd), path_(std::move(path)), created_(created) {}

  int fd_ = -1;
  std::string path_;
  bool created_ = false;
  long long size_ = 0;  // bytes written whole
};

// Remembers the log for the report generator (section LAST_REPORT, key
// FILENAME of quillmap.ini) when the meter has extended diagnostics; a
// relative path is prefixed with the start-up directory. Nothing is written
// when the settings folder's path is 244 characters or longer. 0 or the error
// number.
int recordLastCaptureLog(const std::string& logPath, bool extendedDiagnostics,
                         const std::string& startupDirectory, const std::string& iniPath);

}  // namespace tarnlux
