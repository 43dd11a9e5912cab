// Every meter operation against every fault of the simulated meter, on an
// accelerated clock: each cell ends with its result and message, within the
// operation's time-outs, and the meter's block changes only when the
// operation confirmed its write. One cell is one test, so CTest runs them in
// parallel.

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "calc/aga8_meter_table.h"
#include "diag/alarm_storage.h"
#include "diag/stored_events.h"
#include "graph/signal_query.h"
#include "link/connect.h"
#include "link/exchange.h"
#include "link/meter_block_io.h"
#include "link/meter_block_save.h"
#include "link/password_io.h"
#include "link/typed_read.h"
#include "terminal/term_session.h"
#include "transfer/os_load.h"
#include "transfer/site_session.h"
#include "cli_process.h"
#include "meter_process.h"
#include "stepping_clock.h"
#include "test_context.h"

namespace tarnlux {
namespace {

using test::MeterProcess;
using test::RecordingContext;

constexpr double kClockFactor = 100.0;
constexpr int kSite = 4;  // the four-path gas meter's site slot

enum class Op {
  Connect, Probe, ReadUnsigned, ReadInt, ReadDouble, ReadText, ReadId, SiteSetup, BlockRead,
  BlockWrite, PasswordChange, Signal, TableTransfer, Storage, Events, SiteList, SiteSave,
  SiteRestore, OsLoad, Terminal, SaveBlock
};

const char* opName(Op op) {
  static const char* const names[] = {"Connect",   "Probe",     "ReadUnsigned", "ReadInt",
                                      "ReadDouble", "ReadText", "ReadId",       "SiteSetup",
                                      "BlockRead",  "BlockWrite", "PasswordChange", "Signal",
                                      "TableTransfer", "Storage", "Events", "SiteList",
                                      "SiteSave",  "SiteRestore", "OsLoad", "Terminal",
                                      "SaveBlock"};
  return names[static_cast<int>(op)];
}

// The longest an operation may take on the meter's clock: the sum of the
// time-outs it may meet (answers 50 s, purges 5 s, one reconnection).
int opLimitMs(Op op) {
  switch (op) {
    case Op::Connect:
      return 900000;  // capability, identification, every channel's wait and the block
    case Op::TableTransfer:
      return 1500000;  // 21 lines each drained for up to 50 s, then four listings
    case Op::PasswordChange:
    case Op::BlockWrite:
    case Op::SaveBlock:
    case Op::Storage:
    case Op::Events:
      return 400000;
    case Op::SiteSave:
    case Op::SiteRestore:
      return 600000;  // quiet waits, then every packet with its repeats, twice when saving
    case Op::OsLoad:
      return 700000;  // the handshake, then each of eight blocks tried up to ten times

    default:
      return 250000;
  }
}

// What a connect to the fault-free meter found: the facts every other
// operation starts from, as the program holds them after its connect.
struct Baseline {
  MeterFacts facts;
  MeterBlockStore block;
  std::string blockListing;
  std::string password;
  SiteCatalogue sites;  // as the site screen holds it when it opens
};

LinkSettings tcpTo(const MeterProcess& meter) {
  LinkSettings settings;
  settings.portName = kTcpPortName;
  settings.ipAddress = "127.0.0.1";
  settings.ipPort = static_cast<std::uint16_t>(meter.tcpPort());
  settings.portMissing = 0;
  return settings;
}

// The meter's listing of `command` from "char" to the line end, or nullopt.
std::optional<std::string> listing(MeterLink& link, const std::string& command, OperationContext& ctx) {
  if (sendCommand(link, command, kSendBaseTimeoutMs, ctx) != 0) return std::nullopt;
  ReceivedText received;
  if (receiveUntil(link, "char", "\r", 5000, ctx, &received) != 0) return std::nullopt;
  return std::string(link.receiveArea() + received.markerOffset, received.length - received.markerOffset);
}

const Baseline& baseline() {
  static const Baseline base = [] {
    Baseline b;
    MeterProcess meter;
    if (!meter.startTcp({"--profile", "gas4"})) return b;
    RecordingContext rc;
    ScaledClock fast(kClockFactor);
    rc.ctx.clock = &fast;
    MeterLink link;
    ConnectOutcome outcome;
    connectToMeter(link, tcpTo(meter), b.facts, b.block, [](unsigned) { return 0; }, outcome, rc.ctx);
    b.blockListing = listing(link, "cv 4 qmmem\r", rc.ctx).value_or("");
    b.password = listing(link, "cv 4 pw\r", rc.ctx).value_or("");
    std::string status;
    readSiteCatalogue(link, b.sites, status, rc.ctx);
    OperationContext closing;
    closing.quiet = true;
    link.closeLink(false, closing);
    return b;
  }();
  return base;
}

Aga8MeterTable matrixTable() {
  Aga8Results results;
  results.minimumTemperature = 253.15;
  results.maximumTemperature = 333.15;
  results.minimumPressure = 689475.729;
  results.maximumPressure = 6894757.29;
  for (std::size_t i = 0; i < 100; ++i) {
    results.table.Rhof[i] = 5.5 * static_cast<double>(i % 10 + 1);
    results.table.Zf[i] = 0.98 - 0.01 * static_cast<double>(i % 10);
  }
  return buildAga8MeterTable(results, kSite);
}

// Site 5 saved from a fault-free meter into `dir`: what the restore cells send.
std::string goodSiteFile(const std::string& dir) {
  MeterProcess meter;
  if (!meter.startTcp({"--profile", "gas4"})) return {};
  RecordingContext rc;
  ScaledClock fast(kClockFactor);
  rc.ctx.clock = &fast;
  MeterLink link;
  if (link.openLink(tcpTo(meter), false, 5000, rc.ctx) != 0) return {};
  const SiteTransferOutcome saved = receiveSite(link, baseline().sites.meter, 5, "PUMP12", dir, "", {}, rc.ctx);
  OperationContext closing;
  closing.quiet = true;
  link.closeLink(false, closing);
  return saved.result == 0 ? saved.filePath : std::string();
}

// The terminal has no answer of its own: a key goes out and what comes back is
// shown. Its cell types "cv 0 id" twice (a dropped link is opened again for
// the second) and ends when both answers are on the screen, after two real
// seconds with an answer missing (code 1, no message: the user sees none), or
// with the session's failure.
int terminalExchange(MeterLink& link, OperationContext& ctx) {
  TermEmulator screen;
  TermSession session(link, screen);
  std::string shown;
  for (int typed = 0; typed < 2; ++typed) {
    if (const int code = session.send("cv 0 id\r", ctx); code != 0) return code;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    for (;;) {
      std::string received;
      const long got = session.poll(ctx, &received);
      if (got < 0) return static_cast<int>(got);
      shown += received;
      // The identification answer, then the next prompt.
      const std::size_t answer = shown.find("char id[8] |");
      if (answer != std::string::npos && shown.find('>', answer) != std::string::npos) {
        shown.erase(0, shown.find('>', answer) + 1);
        break;
      }
      if (std::chrono::steady_clock::now() >= end) return 1;
      if (got == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  return 0;
}

struct Outcome {
  int code = 0;
  std::vector<std::string> messages;
  bool wroteConfirmed = false;  // the operation confirmed a write of the block or password
};

// `dir` is the cell's own folder; `siteFile` the file a restore sends.
Outcome runOp(Op op, MeterProcess& meter, MeterLink& link, RecordingContext& rc, const std::string& dir,
              const std::string& siteFile) {
  const Baseline& base = baseline();
  MeterFacts facts = base.facts;
  MeterBlockStore block = base.block;
  Outcome out;
  int& code = out.code;
  if (op == Op::Connect) {
    MeterFacts fresh;
    ConnectOutcome outcome;
    code = connectToMeter(link, tcpTo(meter), fresh, block, [](unsigned) { return 0; }, outcome, rc.ctx);
  } else {
    code = link.openLink(tcpTo(meter), false, 5000, rc.ctx);
    if (code != 0) return out;
    link.meterFlags = facts.meterFlags;  // as the connect leaves it
    switch (op) {
      case Op::Probe:
        code = resyncPrompt(link, 0, true, false, ChannelFacts{true, nullptr}, rc.ctx);
        break;
      case Op::ReadUnsigned: {
        std::uint32_t value = 0;
        code = readUnsigned(link, "abar", "unsigned", 0, value, false, rc.ctx);
        break;
      }
      case Op::ReadInt: {
        std::int32_t value = 0;
        code = readInt(link, "cv", "make_state", "short", 0, value, 10, rc.ctx);
        break;
      }
      case Op::ReadDouble: {
        double value = 0;
        code = readDouble(link, "vfv", 0, value, rc.ctx);
        break;
      }
      case Op::ReadText: {
        std::string value;
        code = readText(link, "flegend", kSite, value, false, rc.ctx);
        break;
      }
      case Op::ReadId: {
        std::string raw, shown;
        code = readMeterId(link, 0, raw, shown, rc.ctx);
        break;
      }
      case Op::SiteSetup: {
        ChannelSetupAnswer setup;
        code = readChannelSetup(link, facts, 0, setup, rc.ctx);
        break;
      }
      case Op::BlockRead:
        code = readMeterBlock(link, kSite, false, facts, block, rc.ctx);
        break;
      case Op::BlockWrite:
        block.working.info.location = "MATRIX";
        code = writeMeterBlock(link, kSite, facts, block, rc.ctx);
        out.wroteConfirmed = code == 0;
        break;
      case Op::PasswordChange: {
        const PasswordDialog dialog = [](std::string_view, std::string& fresh) {
          fresh = "NEWPW   ";
          return 0;
        };
        code = checkMeterPassword(link, kSite, dialog, rc.ctx);
        out.wroteConfirmed = code == 0;
        break;
      }
      case Op::Signal: {
        SignalSettings settings;
        settings.channel = 0;
        SignalAnswer answer;
        code = querySignal(link, settings, facts, answer, rc.ctx);
        break;
      }
      case Op::TableTransfer: {
        const PasswordDialog dialog = [](std::string_view, std::string&) { return 0; };
        const Aga8TableSendOutcome sent =
            sendAga8TableToMeter(link, matrixTable(), ChannelFacts{true, nullptr}, dialog, rc.ctx);
        code = sent.end == Aga8TableSendEnd::Verified ? 0 : sent.code != 0 ? sent.code : 1;
        break;
      }
      case Op::Storage: {
        AlarmStorageState state;
        code = runStorageCommand(link, facts, block, kStorageStateRequest, true, state, rc.ctx);
        break;
      }
      case Op::Events: {
        std::vector<std::string> records;
        code = retrieveStoredEvents(link, facts, block, EventSiteChoice::ThisSite, "", false, true,
                                    records, rc.ctx);
        break;
      }
      case Op::SiteList: {
        SiteCatalogue catalogue;
        std::string status;
        code = readSiteCatalogue(link, catalogue, status, rc.ctx);
        break;
      }
      case Op::SiteSave:
        code = receiveSite(link, base.sites.meter, 5, "PUMP12", dir, "", {}, rc.ctx).result;
        break;
      case Op::SiteRestore:
        code = sendSite(link, base.sites.meter, siteFile, {}, rc.ctx).result;
        break;
      case Op::OsLoad: {
        test::writeWholeFile(dir + "OS.BIN", std::string(1000, '\x5A'));
        OsLoadRequest request;
        request.directory = dir;
        request.fileName = "OS.BIN";
        request.serialLine = false;
        OsLoadResult result;
        code = loadOperatingSystem(link, request, result, rc.ctx);
        // The screen ends on its status line; a failure there is the message.
        if (code != 0 && !result.status.empty()) rc.errors.push_back(result.status);
        break;
      }
      case Op::Terminal:
        code = terminalExchange(link, rc.ctx);
        break;
      case Op::SaveBlock: {
        MeterBlockFields staging = block.state.block;
        staging.info.location = "MATRIX";
        const PasswordDialog dialog = [](std::string_view, std::string& fresh) {
          fresh.clear();
          return 0;
        };
        const BlockSaveEnd end = saveMeterBlock(link, kSite, facts, block, staging, dialog, rc.ctx, code);
        out.wroteConfirmed = end == BlockSaveEnd::Saved;
        if (end != BlockSaveEnd::Saved && code == 0) code = 1;
        break;
      }
      case Op::Connect:
        break;
    }
  }
  out.messages = rc.errors;
  return out;
}

// A fault switch of the meter and what each operation ends with under it.
struct Expect {
  int code = 0;
  const char* message = nullptr;  // the first message shown; null: none at all
  // The write went out before the fault ended the operation: the meter may
  // hold it although it was not confirmed (reported as a failure, never as
  // success). Otherwise a failed operation leaves block and password alone.
  bool writeMayLand = false;
  // A second code the cell may end with, its message the same text with this
  // code at its end (where timing decides which fault is met first).
  int otherCode = 0;
};

// Answers cut in pieces up to 10 ms apart or held back 30 ms keep their real
// gaps: on a clock 100 times faster those would outlast the time-outs they
// are compared with.
double clockFactor(const char* fault) {
  const std::string name = fault;
  return name == "split" || name == "continuous" || name.rfind("delay", 0) == 0 ? 10.0 : kClockFactor;
}

// A meter sending a line every 20 ms must never look quiet, not even to the
// 50 ms purges, which a scaled clock would shrink below the gap. On a clock
// moving 10 ms each time it is read, a wait sees at most two empty passes
// between lines, whatever the machine's load. The table's drains wait up to
// 50 s for a 3 s quiet: 100 ms a reading still spans 30 passes and more. The
// site transfers' and the load's 50 s purges wait for 500 ms: 10 passes at
// 50 ms a reading.
std::unique_ptr<Clock> cellClock(const char* fault, Op op) {
  if (std::string(fault) == "continuous") {
    const bool longDrains = op == Op::SiteSave || op == Op::SiteRestore || op == Op::OsLoad;
    return std::make_unique<test::SteppingClock>(op == Op::TableTransfer ? 100 : longDrains ? 50 : 10);
  }
  return std::make_unique<ScaledClock>(clockFactor(fault));
}

struct Cell {
  Op op;
  const char* fault;  // --fault value; "" for none
  Expect expect;
};

// A fault switch as a part of a test name: "drop=2" gives "drop_2".
std::string faultName(const char* fault) {
  std::string name = *fault != '\0' ? fault : "none";
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

std::string cellName(const Cell& cell) { return std::string(opName(cell.op)) + "_" + faultName(cell.fault); }

// Test lists name the cell rather than dump its bytes.
void PrintTo(const Cell& cell, std::ostream* out) { *out << cellName(cell); }

class FaultMatrix : public ::testing::TestWithParam<Cell> {};

TEST_P(FaultMatrix, EndsWithItsResultInTimeAndLeavesTheBlockAlone) {
  const Cell& cell = GetParam();
  const Baseline& base = baseline();
  ASSERT_NE(base.facts.meterFlags, 0u) << "the fault-free meter connects";
  std::vector<std::string> args = {"--profile", "gas4"};
  if (*cell.fault != '\0') args.insert(args.end(), {"--fault", cell.fault});
  MeterProcess meter;
  ASSERT_TRUE(meter.startTcp(args)) << meter.error();

  test::TempDir dir;
  std::string siteFile;
  if (cell.op == Op::SiteRestore) {
    siteFile = goodSiteFile(dir.path());
    ASSERT_FALSE(siteFile.empty()) << "a fault-free meter gives its site";
  }

  RecordingContext rc;
  const std::unique_ptr<Clock> clock = cellClock(cell.fault, cell.op);
  rc.ctx.clock = clock.get();
  auto link = std::make_unique<MeterLink>();
  const auto start = std::chrono::steady_clock::now();
  const Outcome out = runOp(cell.op, meter, *link, rc, dir.path(), siteFile);
  const auto elapsedMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  OperationContext closing;
  closing.quiet = true;
  link->closeLink(false, closing);

  const std::string first = out.messages.empty() ? std::string("-") : out.messages.front();
  if (std::getenv("TARNLUX_MATRIX_PRINT") != nullptr) {
    std::printf("CELL %s %s code=%d ms=%lld first=\"%s\"\n", opName(cell.op), cell.fault, out.code,
                static_cast<long long>(elapsedMs), first.c_str());
  }
  std::string message = cell.expect.message != nullptr ? cell.expect.message : "";
  int code = cell.expect.code;
  if (cell.expect.otherCode != 0 && out.code == cell.expect.otherCode) {
    code = cell.expect.otherCode;
    message = message.substr(0, message.size() - std::to_string(cell.expect.code).size()) + std::to_string(code);
  }
  EXPECT_EQ(out.code, code) << first;
  if (cell.expect.message == nullptr) {
    EXPECT_TRUE(out.messages.empty()) << first;
  } else {
    EXPECT_EQ(first, message);
  }
  // Within its time-outs on the meter's clock (with room for a loaded machine).
  EXPECT_LT(elapsedMs, opLimitMs(cell.op) / clockFactor(cell.fault) + 10000);

  // A site is saved whole or not at all: no file, or the one the verification
  // pass agreed with, and nothing half-written beside it.
  if (cell.op == Op::SiteSave) {
    const std::vector<std::string> files = test::filesIn(dir.path());
    EXPECT_EQ(files, out.code == 0 ? std::vector<std::string>{"PUMP12.005"} : std::vector<std::string>{});
  }

  // The block and the password as the meter now holds them, read over fresh
  // connections. A silent, held or menu-bound meter took nothing and cannot be
  // asked; one that garbles its answers cannot be read back.
  const std::string fault = cell.fault;
  if (fault == "silent" || fault == "xoff-hold" || fault == "menu" || fault == "garbage=into" ||
      fault == "block-silent" || fault == "short-block")
    return;
  std::optional<std::string> blockNow, passwordNow;
  for (int attempt = 0; attempt < 4 && !(blockNow && passwordNow); ++attempt) {
    RecordingContext after;
    after.ctx.quiet = true;
    after.ctx.clock = clock.get();
    MeterLink check;
    if (check.openLink(tcpTo(meter), false, 5000, after.ctx) != 0) continue;
    purgeInput(check, 2000, 300, after.ctx);
    if (!blockNow) blockNow = listing(check, "cv 4 qmmem\r", after.ctx);
    if (!passwordNow) passwordNow = listing(check, "cv 4 pw\r", after.ctx);
    check.closeLink(false, closing);
  }
  ASSERT_TRUE(blockNow && passwordNow) << "the meter still lists its block and password";
  const bool blockWritten = blockNow->find("MATRIX") != std::string::npos;
  const bool passwordWritten = passwordNow->find("NEWPW") != std::string::npos;
  if (cell.op == Op::Connect) return;  // a connect may stamp the block; nothing else writes it
  if (!blockWritten) {
    EXPECT_EQ(*blockNow, base.blockListing) << "the block is whole";
  }
  if (!passwordWritten) {
    EXPECT_EQ(*passwordNow, base.password) << "the password is whole";
  }
  if (out.wroteConfirmed) {
    EXPECT_TRUE(cell.op == Op::PasswordChange ? passwordWritten : blockWritten) << "confirmed yet not held";
  } else if (!cell.expect.writeMayLand) {
    EXPECT_FALSE(blockWritten || passwordWritten) << "changed without a confirmed write";
  }
}

const Expect kOk{0, nullptr};
const Expect kNoAnswer{kTimeout, "Pas de reponse du compteur"};
const Expect kNoData{kTimeout, "Donnees anticipees non recues"};
const Expect kBadHeader{20101, "Donnees compt. non valables - Code d'erreur: 20101"};
const Expect kNeverQuiet{kTimeout, "Impossible de purger le tampon - Donnees continues recues", true};
const Expect kDroppedInPurge{kSockNotConnected, "Impossible de purger le tampon - Code d'erreur: 10057"};
const Expect kDroppedInReceive{kSockNotConnected,
                               "Impossible de recevoir des donnees - Code d'erreur: 10057"};
const Expect kBadPacket{20102, "Erreur paquet - Code d'erreur: 20102"};
// The terminal waited in vain for an answer: nothing on the screen, no message.
const Expect kNothingShown{1, nullptr};

std::vector<Cell> matrixCells() {
  const std::vector<Op> ops = {Op::Connect,  Op::Probe,     Op::ReadUnsigned, Op::ReadInt,
                               Op::ReadDouble, Op::ReadText, Op::ReadId,      Op::SiteSetup,
                               Op::BlockRead, Op::BlockWrite, Op::PasswordChange, Op::Signal,
                               Op::TableTransfer, Op::Storage, Op::Events, Op::SiteList,
                               Op::SiteSave, Op::SiteRestore, Op::OsLoad, Op::Terminal,
                               Op::SaveBlock};
  // Each fault switch with what every operation ends with under it, then the
  // operations that end otherwise.
  struct Column {
    const char* fault;
    Expect usual;
    std::map<Op, Expect> except;
  };
  // Operations that begin by getting the meter's attention leave a menu
  // screen; plain reads and block exchanges expect the prompt.
  // The site transfers and the load start from the prompt the site screen's
  // catalogue or the connect left.
  const std::vector<Op> noResync = {Op::ReadUnsigned, Op::ReadInt,     Op::ReadDouble, Op::ReadText,
                                    Op::ReadId,       Op::BlockRead,   Op::BlockWrite, Op::PasswordChange,
                                    Op::SiteSave,     Op::SiteRestore, Op::OsLoad,     Op::SaveBlock};
  std::map<Op, Expect> menu;
  for (Op op : noResync) menu[op] = kNoAnswer;
  menu[Op::Terminal] = kNothingShown;
  const std::vector<Column> columns = {
      {"", kOk, {}},
      {"silent", kNoAnswer, {{Op::Terminal, kNothingShown}}},
      {"xoff-hold", kNoAnswer, {{Op::Terminal, kNothingShown}}},
      {"menu", kOk, menu},
      {"split", kOk, {}},
      {"delay=30", kOk, {}},
      // Noise before the answer: the typed reads look for their type word,
      // the site queries expect their header first; a site packet after noise
      // is refused three times over, as the meter repeats the noise.
      {"garbage",
       kOk,
       {{Op::Connect, kBadHeader},
        {Op::SiteSetup, kBadHeader},
        {Op::Signal, kBadHeader},
        {Op::SiteSave, kBadPacket},
        {Op::SiteRestore, kBadPacket}}},
      // The boot loader's answers are single bytes that take no noise.
      {"garbage=into",
       kNoData,
       {{Op::SiteSave, kBadPacket}, {Op::SiteRestore, kBadPacket}, {Op::OsLoad, kOk}, {Op::Terminal, kNothingShown}}},
      // A line that never rests fails the connect's purges and the purge
      // after a write; reads and the prompt's own purge go on.
      {"continuous",
       kOk,
       {{Op::Connect, kNeverQuiet},
        {Op::BlockWrite, kNeverQuiet},
        {Op::PasswordChange, kNeverQuiet},
        {Op::TableTransfer, kNeverQuiet},
        {Op::SiteSave, kNeverQuiet},
        {Op::SiteRestore, kNeverQuiet},
        {Op::OsLoad, kNeverQuiet},
        {Op::SaveBlock, kNeverQuiet},
        // The stream's lines fall among the site entries, or after the
        // prompt that ends them.
        {Op::SiteList, {20105, "Donnees compt. non valables - Code d'erreur: 20105", false, 20106}}}},
      // The connection closed after the first, second or third answer: the
      // operations that reconnect once over TCP go on. The boot loader's
      // answers are no command answers: the load never meets the drop. The
      // terminal opens the link again when it finds it closed; the key typed
      // into the closing connection is lost.
      {"drop=1",
       kOk,
       {{Op::Connect, kDroppedInReceive},
        {Op::SiteSetup, kDroppedInReceive},
        {Op::Signal, kDroppedInReceive},
        {Op::Storage, kDroppedInReceive},
        {Op::Events, kDroppedInReceive},
        {Op::BlockWrite, {kSockNotConnected, "Impossible de purger le tampon - Code d'erreur: 10057", true}},
        {Op::SiteList, kDroppedInReceive},
        {Op::SiteSave, kDroppedInPurge},
        {Op::SiteRestore, kDroppedInPurge},
        {Op::Terminal, kNothingShown},
        {Op::SaveBlock, kDroppedInPurge}}},
      {"drop=2",
       kOk,
       {{Op::Connect, kDroppedInPurge},
        {Op::Storage, kDroppedInReceive},
        {Op::Events, kDroppedInReceive},
        {Op::TableTransfer, kDroppedInPurge},
        {Op::SiteList, kDroppedInReceive},
        {Op::SiteSave, kDroppedInReceive},
        {Op::SiteRestore, kDroppedInReceive},
        {Op::SaveBlock, {kSockNotConnected, "Impossible de purger le tampon - Code d'erreur: 10057", true}}}},
      {"drop=3",
       kOk,
       {{Op::Connect, kDroppedInPurge},
        {Op::TableTransfer, kDroppedInPurge},
        {Op::SiteList, kDroppedInReceive},
        {Op::SiteSave, kDroppedInReceive},
        {Op::SiteRestore, kDroppedInReceive}}},
  };
  std::vector<Cell> cells;
  for (const Column& column : columns) {
    for (Op op : ops) {
      const auto found = column.except.find(op);
      cells.push_back({op, column.fault, found != column.except.end() ? found->second : column.usual});
    }
  }
  // The faults of one kind of answer, with the operations that meet them.
  const std::vector<Cell> specific = {
      {Op::Connect, "units-change=1", kOk},
      {Op::Connect, "not-measuring=0", {0, "Echec chemin 1"}},
      {Op::Connect, "block-silent", {0, "Donnees anticipees non recues"}},
      {Op::Connect, "short-block",
       {0, "Memoire de configuration du compteur corrompue (reenregistrer) - Code d'erreur: 21028"}},
      {Op::BlockRead, "short-block",
       {21028, "Memoire de configuration du compteur corrompue (reenregistrer) - Code d'erreur: 21028"}},
      {Op::BlockRead, "block-silent", kNoData},
      {Op::BlockRead, "block-drop", kDroppedInReceive},
      // The write went out; its read-back failed, so it is not confirmed.
      {Op::BlockWrite, "block-drop",
       {kSockNotConnected, "Impossible de recevoir des donnees - Code d'erreur: 10057", true}},
      {Op::BlockWrite, "short-block",
       {21028, "Memoire de configuration du compteur corrompue (reenregistrer) - Code d'erreur: 21028", true}},
      {Op::Probe, "not-measuring=0", kOk},
      {Op::Signal, "not-measuring=0", {kChannelNotReady, "Echec chemin 1"}},
      {Op::Signal, "no-signal=0", {20402, "Pas de reponse du compteur"}},
      {Op::Signal, "bad-signal", {20304, "Donnees compt. non valables - Code d'erreur: 20304"}},
      {Op::Signal, "bad-signal=figures", {20305, "Donnees compt. non valables - Code d'erreur: 20305"}},
      {Op::Storage, "storage-bad-check", {20212, "Donnees compt. non valables - Code d'erreur: 20212"}},
      {Op::TableTransfer, "table-short=temp_grid",
       {21027, "Memoire tableau AGA8 compteur corrompue(reerengistrer) - Code d'erreur: 21027"}},
      {Op::SiteSave, "site-bad-check=4", {20106, "Erreur paquet - Code d'erreur: 20106"}},
      {Op::SiteRestore, "site-nak=4", {1, "Erreur transfert infos site - Trop de tentatives "}},
      {Op::SiteRestore, "site-refuse", {1, "Transfert des infos du site annule par compteur - Site actif protege"}},
      {Op::OsLoad, "boot-refuse", {-1, "Envoi fichier annule par compteur - Image rejected"}},
      // A block spoilt or lost on the way is sent again.
      {Op::OsLoad, "boot-corrupt=3", kOk},
      {Op::OsLoad, "boot-drop=3", kOk},
      {Op::SaveBlock, "block-drop",
       {kSockNotConnected, "Impossible de recevoir des donnees - Code d'erreur: 10057", true}},
      {Op::TableTransfer, "table-off=dens_grid",
       {1, "Erreur de confirmation de memoire du tableau AGA8 du compteur (reenregistrer les donnees)"}},
  };
  cells.insert(cells.end(), specific.begin(), specific.end());
  return cells;
}

INSTANTIATE_TEST_SUITE_P(Cells, FaultMatrix, ::testing::ValuesIn(matrixCells()),
                         [](const ::testing::TestParamInfo<Cell>& cell) { return cellName(cell.param); });


// The capture, as tarnlux-cli runs it (its loop on the accelerated clock),
// under the faults a connected meter meets while the capture runs. Faults
// that stop the connect are the connect's cells above.
enum class LogLeft { None, Rows, RowsAndSummary };

struct CaptureCell {
  const char* fault;
  int status;           // tarnlux-cli's exit status
  const char* message;  // on its error output; "" when none is expected
  LogLeft log;
};

void PrintTo(const CaptureCell& cell, std::ostream* out) { *out << (*cell.fault != '\0' ? cell.fault : "none"); }

class CaptureUnderFault : public ::testing::TestWithParam<CaptureCell> {};

TEST_P(CaptureUnderFault, EndsWithItsMessageAndAWholeLog) {
  const CaptureCell& cell = GetParam();
  std::vector<std::string> args = {"--profile", "gas4"};
  if (*cell.fault != '\0') args.insert(args.end(), {"--fault", cell.fault});
  MeterProcess meter;
  ASSERT_TRUE(meter.startTcp(args)) << meter.error();
  test::TempDir dir;
  test::CliOptions options;
  options.environment = {{"XDG_CONFIG_HOME", dir.file("config")}};
  const test::CliRun run = test::runCli(
      {"--link", "tcp:127.0.0.1:" + std::to_string(meter.tcpPort()), "--dir", dir.path(), "capture",
       "--clock", "fast", "--name", "LOG.CSV", "--seconds", "60"},
      options);
  EXPECT_FALSE(run.timedOut);
  EXPECT_EQ(run.status, cell.status) << run.err;
  if (*cell.message != '\0') {
    EXPECT_NE(run.err.find(cell.message), std::string::npos) << run.err;
  }
  const std::string log = test::readWholeFile(dir.file("LOG.CSV"));
  ASSERT_EQ(log.empty(), cell.log == LogLeft::None);
  if (log.empty()) return;
  EXPECT_EQ(log.compare(log.size() - 2, 2, "\r\n"), 0) << "the last line is whole";
  for (std::size_t i = 0; i < log.size(); ++i) {
    if (log[i] == '\n') {
      ASSERT_TRUE(i > 0 && log[i - 1] == '\r') << "CR LF only, at " << i;
    }
  }
  // Every row has as many fields as the heading row.
  const std::size_t heading = log.find("\r\nDate,Heure");
  ASSERT_NE(heading, std::string::npos);
  std::size_t at = heading + 2;
  const auto lineAt = [&log](std::size_t from) { return log.substr(from, log.find("\r\n", from) - from); };
  const std::string headingRow = lineAt(at);
  const auto fields = [](const std::string& line) { return std::count(line.begin(), line.end(), ','); };
  for (at = log.find("\r\n", at) + 2; at < log.size(); at = log.find("\r\n", at) + 2) {
    const std::string row = lineAt(at);
    if (row.empty()) break;
    EXPECT_EQ(fields(row), fields(headingRow)) << row;
  }
  EXPECT_EQ(log.find("Valeur moyenne") != std::string::npos, cell.log == LogLeft::RowsAndSummary);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, CaptureUnderFault,
    ::testing::Values(
        CaptureCell{"", 0, "", LogLeft::RowsAndSummary},
        CaptureCell{"split", 0, "", LogLeft::RowsAndSummary},
        CaptureCell{"delay=30", 0, "", LogLeft::RowsAndSummary},
        // The connect's purge never finds the line quiet: no log is begun.
        CaptureCell{"continuous", 1, "Impossible de purger le tampon - Donnees continues recues",
                    LogLeft::None},
        CaptureCell{"units-change=6", 1, "Err capt donnees, param comptr changes pendant capt donnees",
                    LogLeft::Rows},
        // The connection closes once in the middle: the loop reconnects and goes on.
        CaptureCell{"drop=30", 0, "the link dropped and was opened again", LogLeft::RowsAndSummary}),
    [](const ::testing::TestParamInfo<CaptureCell>& cell) { return faultName(cell.param.fault); });

}  // namespace
}  // namespace tarnlux
