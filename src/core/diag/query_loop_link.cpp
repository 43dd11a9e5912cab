// The query loop's meter over the program's link: the per-path reads of
// path_diagnostics.h, the typed variable reads, what a capture header needs
// from the meter, and the capture start written into the memory block.

#include <bit>

#include "common/result.h"
#include "diag/capture_header.h"
#include "diag/path_diagnostics.h"
#include "diag/query_loop.h"
#include "link/exchange.h"
#include "link/link_reopen.h"
#include "link/site_answers.h"
#include "link/typed_read.h"
#include "reports/meter_config.h"

namespace tarnlux {

namespace {

constexpr int kPurgeTotalMs = 5000;
constexpr int kPurgeQuietMs = 50;

}  // namespace

int LinkQueryLoopMeter::reopenLink(OperationContext& ctx) {
  return tarnlux::reopenLink(link_, ctx);
}

int LinkQueryLoopMeter::readPath(const PathRead& read, MeasurementStore& store,
                                 OperationContext& ctx) {
  int rc = kOk;
  const bool variableReads = read.variableReads || !read.query;
  // The typed variable reads of a meter without extended diagnostics do not
  // purge: stale input goes before the sequence. The query prepares itself.
  if (variableReads && !facts_.extendedDiagnostics) {
    rc = purgeInput(link_, kPurgeTotalMs, kPurgeQuietMs, ctx);
    if (rc != kOk && rc != kTimeout) return rc;
  }
  if (variableReads) {
    rc = readPathDiagnostics(link_, diagnosticQueryText(facts_.extendedDiagnostics, read.path),
                             read.path, false, false, read.lastPathOfPass, facts_, store, ctx);
    if (rc != kOk) return rc;
  }
  if (read.query) return queryPathDiagnostics(link_, read.path, facts_, store, ctx);
  return kOk;
}

int LinkQueryLoopMeter::readDouble(std::string_view name, int index, double& value,
                                   OperationContext& ctx) {
  return tarnlux::readDouble(link_, name, index, value, ctx);
}

int LinkQueryLoopMeter::readInt(std::string_view name, int index, std::int32_t& value,
                                OperationContext& ctx) {
  return tarnlux::readInt(link_, "cv", name, "int", index, value, 10, ctx);
}

int LinkQueryLoopMeter::readUnsigned(std::string_view name, int index, std::uint32_t& value,
                                     OperationContext& ctx) {
  return tarnlux::readUnsigned(link_, name, "unsigned", index, value, false, ctx);
}

int LinkQueryLoopMeter::readText(std::string_view name, int index, std::string& value,
                                 OperationContext& ctx) {
  return tarnlux::readText(link_, name, index, value, false, ctx);
}

int LinkQueryLoopMeter::captureHeaderFacts(unsigned capturedPaths, CaptureHeaderFacts& facts,
                                           OperationContext& ctx) {
  fillCaptureFacts(facts, facts_);
  facts.info = block_.state.block.info;
  facts.link = link_.settings();
  facts.capturedPaths = capturedPaths & 0xFu;
  facts.limits = block_.working.limits;
  if (outcome_.identityRead) facts.identity = outcome_.identity;

  int rc = purgeInput(link_, kPurgeTotalMs, kPurgeQuietMs, ctx);
  if (rc != kOk && rc != kTimeout) return rc;
  if (facts_.extendedDiagnostics) {
    if (outcome_.configurationRead) facts.configuration = outcome_.configuration;
    for (int path = 0; path < 4; ++path) {
      if ((facts.capturedPaths >> path & 1u) == 0) continue;
      rc = readChannelSetup(link_, facts_, path, facts.pathSetup[static_cast<std::size_t>(path)], ctx);
      if (rc != kOk) return rc;
    }
    return kOk;
  }
  // Without extended diagnostics the header takes the meter's length units
  // from the channel's pipe settings.
  const int channel = facts_.blockChannel() >= 0 ? facts_.blockChannel()
                                                 : std::countr_zero(facts.capturedPaths | 0x10u);
  std::int32_t units = 0;
  rc = tarnlux::readInt(link_, "cv", "p_units", "int", channel, units, 10, ctx);
  if (rc != kOk) return rc;
  facts.identity.lengthUnits = units;
  return kOk;
}

int LinkQueryLoopMeter::recordCaptureStart(const LastReportStamp& stamp, OperationContext& ctx) {
  const int channel = facts_.blockChannel();
  if (!stamp.record || !facts_.memoryBlock || channel < 0) return kOk;
  // A block that could not be read is not overwritten: its other fields
  // would be lost with it. (The naming step may have read it since the
  // connect, hence the store's own record rather than the connect's.)
  if (!block_.state.fromMeter) return kOk;
  return updateMeterBlock(
      link_, channel, facts_, block_,
      [&](MeterBlockFields& fields) {
        fields.info.lastReportDate = stamp.date;
        fields.info.lastReportTime = stamp.time;
      },
      ctx);
}

}  // namespace tarnlux
