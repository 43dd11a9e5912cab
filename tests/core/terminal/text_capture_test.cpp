#include "terminal/text_capture.h"

#include <gtest/gtest.h>

#include <string>

#include "test_context.h"

namespace tarnlux {
namespace {

TEST(TextCapture, AppendsWithCrLfIntoAMissingDirectory) {
  test::TempDir dir;
  const std::string nested = dir.path() + "a/b";
  TextCapture capture;
  std::string message;
  ASSERT_EQ(capture.open("  " + nested + "  ", "log.txt", dir.path(), message), 0) << message;
  EXPECT_EQ(capture.path(), nested + "/log.txt");
  // The meter's CR LF stays CR LF, a bare LF becomes CR LF, even across reads;
  // a NUL is kept.
  EXPECT_EQ(capture.append("> ls\r"), 0);
  EXPECT_EQ(capture.append("\nx\ny"), 0);
  EXPECT_EQ(capture.append(std::string("\0z", 2)), 0);
  EXPECT_EQ(capture.close(), 0);
  // A second capture appends.
  ASSERT_EQ(capture.open(nested, "log.txt", dir.path(), message), 0);
  capture.append("!");
  capture.close();
  EXPECT_EQ(test::readWholeFile(nested + "/log.txt"), std::string("> ls\r\nx\r\ny\0z!", 13));
}

TEST(TextCapture, RefusedNamesSayWhy) {
  test::TempDir dir;
  struct Case {
    std::string directory, name, message;
  };
  const std::string longName(257, 'n');
  const Case cases[] = {
      {dir.path(), "", kTextCaptureNoFileText},
      {std::string(257, 'd'), "f", kTextCaptureDirectoryTooLongText},
      {dir.path(), longName, kTextCaptureFileTooLongText},
      {dir.path() + std::string(200, 'd'), std::string(100, 'f'), kTextCapturePathTooLongText},
  };
  for (const Case& c : cases) {
    TextCapture capture;
    std::string message;
    EXPECT_NE(capture.open(c.directory, c.name, dir.path(), message), 0);
    EXPECT_EQ(message, c.message);
    EXPECT_FALSE(capture.isOpen());
  }
  // A directory that cannot be made (a file stands in the way) and a file
  // that cannot be opened give the system's error number.
  test::writeWholeFile(dir.file("plain"), "x");
  TextCapture capture;
  std::string message;
  EXPECT_NE(capture.open(dir.file("plain/sub"), "f.txt", dir.path(), message), 0);
  EXPECT_EQ(message, std::string(kTextCaptureDirectoryText) + "20");
  EXPECT_NE(capture.open(dir.path(), "plain/", dir.path(), message), 0);
  EXPECT_EQ(message.rfind(kTextCaptureOpenText, 0), 0u);
}

}  // namespace
}  // namespace tarnlux
