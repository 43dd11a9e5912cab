#pragma once

#include <string>
#include <string_view>

namespace tarnlux {

inline constexpr const char* kTextCaptureDirectoryTooLongText =
    "Erreur capture texte. Nom du repertoire trop long";
inline constexpr const char* kTextCaptureNoFileText = "Erreur capture texte, pas de fichier saisi";
inline constexpr const char* kTextCaptureFileTooLongText =
    "Erreur capture texte. Nom du fichier trop long";
inline constexpr const char* kTextCapturePathTooLongText =
    "Erreur capture texte. Chemin complet trop long";
inline constexpr const char* kTextCaptureOpenText =
    "Erreur capture texte, impossible d'ouvrir fichier, code d'erreur: ";
inline constexpr const char* kTextCaptureDirectoryText =
    "Erreur capture texte, impossible de creer repertoire, code d'erreur: ";

// Where the capture directory and file name are remembered in the settings
// file.
inline constexpr const char* kTextCaptureDirectoriesSection = "DIRECTORIES";
inline constexpr const char* kTextCaptureFileNamesSection = "FILE_NAMES";
inline constexpr const char* kTextCaptureKey = "TEXT_CAPTURE";

// The terminal's text capture: everything received, appended to a file that
// stays open while the capture runs. Line feeds are written as CR LF; a line
// end the meter already sends as CR LF is kept as it is, so the file's lines
// end CR LF and never CR CR LF.
class TextCapture {
 public:
  TextCapture() = default;
  ~TextCapture();
  TextCapture(const TextCapture&) = delete;
  TextCapture& operator=(const TextCapture&) = delete;

  // Checks the directory (blanks trimmed, a separator appended, at most 256
  // characters; empty means `startupDirectory`) and the file name (not empty,
  // at most 256; both together at most 260), creates the directory when it is
  // missing and opens the file for appending (created when missing).
  // 0, or a non-zero code with `message` set to the text to show (the
  // system's error number follows the two "code d'erreur" texts).
  int open(std::string_view directory, std::string_view fileName,
           const std::string& startupDirectory, std::string& message);
  bool isOpen() const { return fd_ >= 0; }
  const std::string& path() const { return path_; }

  // Appends what was received, every byte (NUL included). 0 or errno.
  int append(std::string_view received);
  // Closes the file. 0 or errno.
  int close();

 private:
  int writeAll(std::string_view data);

  int fd_ = -1;
  std::string path_;
  bool lastWasCr_ = false;
};

}  // namespace tarnlux
