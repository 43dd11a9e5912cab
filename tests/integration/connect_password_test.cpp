// The meter password step against the simulated meter.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "link/exchange.h"
#include "link/password_io.h"
#include "link/typed_read.h"
#include "meter_process.h"
#include "test_context.h"

namespace tarnlux {
namespace {

using test::MeterProcess;
using test::RecordingContext;

// A profile file shipped with the simulated meter.
std::string shippedProfile(const std::string& name) {
  return (std::filesystem::path(__FILE__).parent_path() / "../../src/meter/profiles" /
          (name + ".ini"))
      .string();
}

// Plays the password dialog: tries the entries in turn with the dialog's own
// rules, remembering every message it would show, and cancels when they run out.
struct DialogScript {
  std::vector<PasswordEntry> entries;
  std::vector<std::string> messages;
  std::vector<std::string> meterPasswords;  // what each showing was given
  int shown = 0;

  PasswordDialog dialog() {
    return [this](std::string_view meterPassword, std::string& newPassword) {
      ++shown;
      meterPasswords.emplace_back(meterPassword);
      for (const PasswordEntry& entry : entries) {
        const PasswordCheck check = checkPasswordEntry(entry, meterPassword);
        if (check.message != nullptr) {
          messages.emplace_back(check.message);
          continue;
        }
        newPassword = check.newPassword;
        return 0;
      }
      return static_cast<int>(kCancelled);
    };
  }
};

PasswordEntry entry(std::string password, std::string fresh = {}, std::string confirmation = {}) {
  PasswordEntry e;
  e.password = std::move(password);
  e.changeRequested = !fresh.empty();
  e.newPassword = fresh;
  e.confirmation = confirmation.empty() ? fresh : confirmation;
  return e;
}

class PasswordWithMeter : public ::testing::TestWithParam<bool> {
 protected:
  // Over TCP, or over the pseudo-terminal when the parameter is set.
  void start(const std::vector<std::string>& args = {}) {
    const bool pty = GetParam();
    ASSERT_TRUE(pty ? meter.startPty(args) : meter.startTcp(args)) << meter.error();
    LinkSettings settings;
    if (pty) {
      settings.portName = meter.ptyPath();
      settings.dataBits = 8;
      settings.parityCode = 0;
    } else {
      settings.portName = kTcpPortName;
      settings.ipAddress = "127.0.0.1";
      settings.ipPort = static_cast<std::uint16_t>(meter.tcpPort());
      settings.portMissing = 0;
    }
    ASSERT_EQ(link->openLink(settings, false, 5000, rc.ctx), 0) << rc.lastError();
    // The purges after a change wait 3 s for quiet: quicker on TCP. A serial
    // line paces each command in real time against its send time-out, which an
    // accelerated clock would eat on a loaded machine, so it keeps real time.
    if (!pty) rc.ctx.clock = &fast;
  }

  void setMeterPassword(const std::string& padded) {
    ASSERT_EQ(sendCommand(*link, "cv 0 pw[0] " + padded + "\r", kSendBaseTimeoutMs, rc.ctx), 0);
    ASSERT_EQ(purgeInput(*link, 5000, 100, rc.ctx), 0);
  }

  std::string meterListing() {
    EXPECT_EQ(sendCommand(*link, "cv 0 pw\r", kSendBaseTimeoutMs, rc.ctx), 0);
    ReceivedText received;
    EXPECT_EQ(receiveUntil(*link, "char", "\r", 5000, rc.ctx, &received), 0);
    return std::string(link->receiveArea() + received.markerOffset,
                       received.length - received.markerOffset);
  }

  void TearDown() override {
    OperationContext closing;
    closing.quiet = true;
    link->closeLink(false, closing);
    meter.stop();
  }

  MeterProcess meter;
  std::unique_ptr<MeterLink> link = std::make_unique<MeterLink>();
  RecordingContext rc;
  ScaledClock fast{10.0};
  DialogScript script;
};

TEST_P(PasswordWithMeter, MeterWithoutPasswordGoesOnWithoutTheDialog) {
  start();
  EXPECT_EQ(checkMeterPassword(*link, 0, script.dialog(), rc.ctx), 0) << rc.lastError();
  EXPECT_EQ(script.shown, 0);
  EXPECT_TRUE(rc.errors.empty());
}

TEST_P(PasswordWithMeter, WrongEntryIsRefusedAndTheRightOneInLowerCaseAccepted) {
  start();
  setMeterPassword("SECRET  ");
  script.entries = {entry("SECRE"), entry("secret")};
  EXPECT_EQ(checkMeterPassword(*link, 0, script.dialog(), rc.ctx), 0) << rc.lastError();
  EXPECT_EQ(script.meterPasswords, std::vector<std::string>{"SECRET"}) << "filling spaces cut";
  EXPECT_EQ(script.messages, std::vector<std::string>{"M. de p. incorrect"});
  EXPECT_EQ(meterListing(), "char pw[8] |SECRET  |") << "no change asked";
}

TEST_P(PasswordWithMeter, ChangeIsSentPaddedInUpperCaseAndReadBack) {
  start();
  setMeterPassword("SECRET  ");
  script.entries = {entry("secret", "ab cd1")};
  EXPECT_EQ(checkMeterPassword(*link, 0, script.dialog(), rc.ctx), 0) << rc.lastError();
  EXPECT_TRUE(rc.errors.empty()) << rc.lastError();
  EXPECT_EQ(meterListing(), "char pw[8] |AB CD1  |");
  std::string now;
  EXPECT_EQ(readPassword(*link, 0, now, rc.ctx), 0);
  EXPECT_EQ(now, "AB CD1");
}

TEST_P(PasswordWithMeter, NineCharactersAreRefusedAndCancelLeavesTheMeterAlone) {
  start();
  setMeterPassword("SECRET  ");
  script.entries = {entry("SECRET", "ABCDEFGHI")};
  EXPECT_EQ(checkMeterPassword(*link, 0, script.dialog(), rc.ctx), kCancelled);
  EXPECT_EQ(script.messages,
            std::vector<std::string>{"Mot de passe trop long. Nbre max de caracteres est   8"});
  EXPECT_EQ(meterListing(), "char pw[8] |SECRET  |");
}

INSTANTIATE_TEST_SUITE_P(Links, PasswordWithMeter, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& param) {
                           return param.param ? "Pty" : "Tcp";
                         });

class PasswordOverTcp : public PasswordWithMeter {};

TEST_P(PasswordOverTcp, DroppedConnectionIsReopenedOnceWithoutAMessage) {
  start({"--fault", "drop=1"});
  std::string raw;
  std::string display;
  ASSERT_EQ(readMeterId(*link, 0, raw, display, rc.ctx), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the meter hangs up
  EXPECT_EQ(checkMeterPassword(*link, 0, script.dialog(), rc.ctx), 0) << rc.lastError();
  EXPECT_TRUE(rc.errors.empty()) << rc.lastError();
  EXPECT_TRUE(link->isOpen());
}

TEST_P(PasswordOverTcp, UnreadablePasswordIsReportedOnceAfterTheRetry) {
  test::TempDir dir;
  std::string text = test::readWholeFile(shippedProfile("liquid1"));
  const std::string from = "pw = char[8] \"        \"";
  text.replace(text.find(from), from.size(), "pw = char[8] \"ab~d    \"");
  test::writeWholeFile(dir.file("pw.ini"), text);
  start({"--profile", dir.file("pw.ini")});
  EXPECT_EQ(checkMeterPassword(*link, 0, script.dialog(), rc.ctx), kPasswordWrongLength);
  EXPECT_EQ(rc.errors,
            std::vector<std::string>{"Mot de passe incorrect du compteur - Code d'erreur: 21003"});
  EXPECT_EQ(script.shown, 0);
}

INSTANTIATE_TEST_SUITE_P(Links, PasswordOverTcp, ::testing::Values(false),
                         [](const ::testing::TestParamInfo<bool>&) { return "Tcp"; });

}  // namespace
}  // namespace tarnlux
