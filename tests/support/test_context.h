#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "common/op_context.h"

namespace tarnlux::test {

// An operation context whose error boxes are recorded instead of shown.
struct RecordingContext {
  std::vector<std::string> errors;
  std::atomic<int> cancel{0};
  OperationContext ctx;

  RecordingContext() {
    ctx.cancelFlag = &cancel;
    ctx.errorSink = [this](const std::string& text) { errors.push_back(text); };
  }
  std::string lastError() const { return errors.empty() ? std::string() : errors.back(); }
};

// A fresh temporary folder removed (with its files) at the end of the test.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  // With a trailing separator.
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

std::string readWholeFile(const std::string& path);
// The names in a folder, hidden ones left out, in the order the folder gives.
std::vector<std::string> filesIn(const std::string& dir);
void writeWholeFile(const std::string& path, const std::string& data);

}  // namespace tarnlux::test
