#include "transfer/xmodem_sender.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "common/clock.h"
#include "transfer/os_load.h"

namespace tarnlux {
namespace {

constexpr char kAck[] = "\x06";
constexpr char kNak[] = "\x15";

std::string patterned(std::size_t size) {
  std::string data(size, '\0');
  for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<char>((i * 7 + 3) & 0xFF);
  return data;
}

// A sender over an in-memory file, driven on a manual clock.
struct Harness {
  explicit Harness(std::string content, int failAfterReads = -1)
      : data(std::move(content)),
        sender(data.size(), [this, failAfterReads](char* into, std::size_t want, std::size_t& got) {
          if (failAfterReads >= 0 && reads++ >= failAfterReads) return EIO;
          got = std::min(want, data.size() - pos);
          std::copy_n(data.data() + pos, got, into);
          pos += got;
          return 0;
        }) {}

  std::string start() {
    std::string out;
    sender.start(clock.nowMs(), out);
    return out;
  }
  std::string reply(std::string_view bytes) {
    std::string out;
    sender.receive(bytes, clock.nowMs(), out);
    return out;
  }
  std::string wait(std::int64_t ms) {
    clock.advance(ms);
    std::string out;
    sender.advanceTime(clock.nowMs(), out);
    return out;
  }

  std::string data;
  std::size_t pos = 0;
  int reads = 0;
  ManualClock clock;
  XmodemSender sender;
};

TEST(XmodemSender, SendsBlocksPaddedNumberedAndEndsWithEot) {
  // 0: EOT alone; 128 x k: k blocks and no padded block; 130: the second block
  // holds 2 bytes and 126 zeros; 300 blocks: numbers wrap from 255 to 0.
  for (const std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{128}, std::size_t{130},
                                 std::size_t{300 * 128}}) {
    SCOPED_TRACE(size);
    Harness h(patterned(size));
    std::string piece = h.start();
    std::string received;
    std::size_t blocks = 0;
    while (piece.size() == kXmodemBlockSize) {
      ++blocks;
      EXPECT_EQ(piece[0], kXmodemSoh);
      EXPECT_EQ(static_cast<std::uint8_t>(piece[1]), blocks & 0xFF);
      EXPECT_EQ(static_cast<std::uint8_t>(piece[1] + piece[2]), 0xFF);
      unsigned sum = 0;
      for (std::size_t i = 3; i < 131; ++i) sum += static_cast<std::uint8_t>(piece[i]);
      EXPECT_EQ(static_cast<std::uint8_t>(piece[131]), sum & 0xFF);
      received.append(piece, 3, kXmodemDataSize);
      piece = h.reply(kAck);
    }
    EXPECT_EQ(piece, "\x04");
    EXPECT_EQ(blocks, (size + 127) / 128);
    std::string expected = h.data;
    expected.resize(blocks * 128, '\0');
    EXPECT_EQ(received, expected);
    EXPECT_FALSE(h.sender.finished());
    EXPECT_EQ(h.reply(kAck), "");
    EXPECT_EQ(h.sender.outcome(), XmodemSender::Outcome::Completed);
    EXPECT_EQ(h.sender.bytesSent(), size);
    EXPECT_EQ(h.sender.blocksAcknowledged(), blocks);
    EXPECT_EQ(h.sender.totalRetries(), 0);
  }
}

TEST(XmodemSender, NakAndSilenceRepeatTheBlockUpToTenAttempts) {
  Harness h(patterned(300));
  const std::string first = h.start();
  EXPECT_EQ(h.reply(kNak), first);
  EXPECT_EQ(h.wait(kXmodemReplyTimeoutMs - 1), "");
  EXPECT_EQ(h.wait(1), first);  // no reply within 20 s: sent again
  EXPECT_EQ(h.sender.retries(), 2);
  const std::string second = h.reply("noise\x06");
  EXPECT_EQ(static_cast<std::uint8_t>(second[1]), 2);
  EXPECT_EQ(h.sender.retries(), 0);  // a new block starts its own count
  EXPECT_EQ(h.sender.totalRetries(), 2);
  EXPECT_EQ(h.sender.bytesSent(), 128u);
  // EOT is repeated on NAK as a block is.
  h.reply(kAck);
  EXPECT_EQ(h.reply(kAck), "\x04");
  EXPECT_EQ(h.reply(kNak), "\x04");
  EXPECT_EQ(h.reply(kAck), "");
  EXPECT_EQ(h.sender.outcome(), XmodemSender::Outcome::Completed);

  Harness stubborn(patterned(10));
  const std::string block = stubborn.start();
  for (int attempt = 2; attempt <= kXmodemMaxAttempts; ++attempt) EXPECT_EQ(stubborn.reply(kNak), block);
  EXPECT_EQ(stubborn.reply(kNak), "\x18\x18");
  EXPECT_EQ(stubborn.sender.outcome(), XmodemSender::Outcome::TooManyAttempts);
  EXPECT_EQ(stubborn.sender.totalRetries(), kXmodemMaxAttempts - 1);
  EXPECT_EQ(stubborn.reply(kAck), "");
}

TEST(XmodemSender, RefusalWithOrWithoutFailLine) {
  const std::string longLine(kXmodemReasonLimit, 'x');
  struct Case {
    std::vector<std::string> replies;
    bool waitOut;
    std::string reason;
  } cases[] = {
      {{"\x18\x18Image rejected\r\nFail\r\n"}, false, "Image rejected"},
      {{"\x18", "\x18Ima", "ge too large\r", "\nFa", "il\r\n"}, false, "Image too large"},
      {{"Bad header\r\n\x18\x18", "Fail\r\n"}, false, "Bad header"},
      {{"\x18\x18" + longLine + "\r\nFail\r\n"}, false, ""},
      {{"\x18\x18"}, true, ""},
  };
  for (const Case& c : cases) {
    Harness h(patterned(200));
    h.start();
    std::string out;
    for (const std::string& r : c.replies) out += h.reply(r);
    if (c.waitOut) {
      EXPECT_FALSE(h.sender.finished());
      out += h.wait(kXmodemReplyTimeoutMs);
    }
    EXPECT_EQ(out, "");  // the meter ended it: nothing more is sent
    EXPECT_EQ(h.sender.outcome(), XmodemSender::Outcome::Refused);
    EXPECT_EQ(h.sender.refusalReason(), c.reason);
  }
  // One CAN is line noise, not a refusal.
  Harness single(patterned(200));
  single.start();
  EXPECT_EQ(single.reply("\x18\x06").size(), kXmodemBlockSize);
  EXPECT_FALSE(single.sender.finished());
}

TEST(XmodemSender, StopAndReadFailureSendCanCan) {
  Harness stopped(patterned(500));
  stopped.start();
  std::string out;
  stopped.sender.cancel(out);
  EXPECT_EQ(out, "\x18\x18");
  EXPECT_EQ(stopped.sender.outcome(), XmodemSender::Outcome::Cancelled);

  Harness done(patterned(0));
  done.start();
  done.reply(kAck);
  out.clear();
  done.sender.cancel(out);
  EXPECT_EQ(out, "");
  EXPECT_EQ(done.sender.outcome(), XmodemSender::Outcome::Completed);

  // The second block cannot be read while the first is in flight.
  Harness broken(patterned(500), 1);
  const std::string first = broken.start();
  EXPECT_EQ(first.substr(kXmodemBlockSize), "\x18\x18");
  EXPECT_EQ(broken.sender.outcome(), XmodemSender::Outcome::ReadFailed);
  EXPECT_EQ(broken.sender.readError(), EIO);
}

TEST(OsLoadFilePath, ChecksTheEntries) {
  const std::string name256(256, 'n');
  struct Case {
    std::string directory, name, path, error;
  } cases[] = {
      {"  /opt/fw ", " image.fsh ", "/opt/fw/image.fsh", ""},
      {"", "image.fsh", "image.fsh", ""},
      {"/opt/fw", "   ", "", "pas de fichier saisi"},
      {std::string(256, 'd'), "a", "", "nom repertoire trop long"},
      {"/d", name256 + "x", "", "nom fichier trop long"},
      {"/ddd", name256, "", "chemin complet trop long"},
  };
  for (const Case& c : cases) {
    std::string reported;
    OperationContext ctx;
    ctx.errorSink = [&reported](const std::string& text) { reported = text; };
    EXPECT_EQ(osLoadFilePath(c.directory, c.name, ctx), c.path);
    if (c.error.empty()) {
      EXPECT_EQ(reported, "");
    } else {
      EXPECT_NE(reported.find(c.error), std::string::npos) << reported;
    }
  }
  OsLoadCounters counters;
  counters.bytesSent = 256;
  counters.fileSize = 130000;
  EXPECT_EQ(bytesSentText(counters), "256 de 130000");
}

}  // namespace
}  // namespace tarnlux
