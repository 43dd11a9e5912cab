#pragma once

#include "common/error_text.h"

// One path's diagnostic readings from the meter: the answer decoders of the
// diagnostic query (kind 2 with extended diagnostics, kind 0 otherwise, and
// the Echoflux form of kind 0) and the reads around the query that the query
// loop makes for every active path. Everything lands in the measurement store.

#include <cstddef>
#include <string>
#include <string_view>

#include "common/op_context.h"
#include "diag/measurement_store.h"
#include "graph/signal_answer.h"
#include "link/meter_facts.h"
#include "link/transport.h"

namespace tarnlux {

// Faults of the extended diagnostic answer (kind 2). Header faults are those of
// checkAnswerHeader (site_answers.h).
inline constexpr int kDiagHeaderTooShort = 20112;
inline constexpr int kDiagBadDate = 20327;             // 0
inline constexpr int kDiagBadTime = 20328;             // 1
inline constexpr int kDiagBadDateTime = 20329;         // 0/1 fail the date and time rule
inline constexpr int kDiagBadSoundSpeed = 20330;       // 7
inline constexpr int kDiagBadDeltaTime = 20331;        // 9
inline constexpr int kDiagBadAlcUp = 20332;            // 11
inline constexpr int kDiagBadAlcDown = 20333;          // 12
inline constexpr int kDiagBadTransmitRate = 20334;     // 13
inline constexpr int kDiagBadAdcBuffer = 20335;        // 14
inline constexpr int kDiagBadSnrUp = 20336;            // 15
inline constexpr int kDiagBadSnrDown = 20337;          // 16
inline constexpr int kDiagBadEnvelopeChange = 20338;   // 17
inline constexpr int kDiagBadReferenceCount = 20339;   // 18
inline constexpr int kDiagBadFlowUnits = 20340;        // 24
inline constexpr int kDiagBadTotal = 20341;            // 25
inline constexpr int kDiagBadTotalUnits = 20342;       // 26
inline constexpr int kDiagBadStatusWord = 20343;       // 30
inline constexpr int kDiagBadCorrelation = 20344;      // 31
inline constexpr int kDiagBadReserved = 20345;         // 32
inline constexpr int kDiagBadAccepted = 20346;         // 33
inline constexpr int kDiagBadSearchState = 20347;      // 34
inline constexpr int kDiagBadTemperatureUnit = 20348;  // 36
// A position that may be left empty (2-6, 19-23, 27-29, 35, 37) holds
// something that is not a number.
inline constexpr int kDiagBadOptionalNumber = 20349;
inline constexpr int kDiagEndsEarly = 20403;
// The same without extended diagnostics.
inline constexpr int kDiagEndsEarlyPlain = 20404;

// Faults of the Echoflux channel answer. Fields 0 to 14 of the channel line
// left empty give 20204 to 20219 (20210 is taken by a bin count over 256, so
// fields 6 to 14 give 20211 to 20219).
inline constexpr int kEchofluxFieldEmptyFirst = 20204;
inline constexpr int kEchofluxTooManyBins = 20210;
inline constexpr int kEchofluxBadFlowRange = 20221;  // field 13 neither "1" nor "0"
inline constexpr int kEchofluxFieldCount = 20220;    // not exactly 15 fields
inline constexpr int kEchofluxBadReal = 20222;
inline constexpr int kEchofluxBadInteger = 20223;
inline constexpr int kEchofluxEmptyBin = 20224;
inline constexpr int kEchofluxBinCount = 20225;
inline constexpr int kEchofluxBadBin = 20226;  // not digits, or above 65535
inline constexpr std::size_t kEchofluxChannelFields = 15;
inline constexpr std::size_t kEchofluxMinFigureFields = 20;

// The texts the diagnostic reads report.
inline constexpr const char* kDiagBadAnswerText = kBadMeterDataText;

// --- Answer decoders (pure; no link) ---------------------------------------

// Extended diagnostic answer (kind 2) of `path` (0..3): header line, then one
// line of up to 48 comma-separated fields read by position (see
// measurement_store.h for what each carries). Fills store.paths[path] and the
// site record (date and time, units, temperature, pressure, compressibility,
// total). 0 or a fault: 20112 (header shorter than eight characters), the
// header faults of the answer-header rule, 20327..20349 (a field missing or
// malformed), 20403 (nothing after the header; 20404 without extended
// diagnostics). On a fault the store is unchanged.
int decodeExtendedDiagnosticAnswer(std::string_view answer, int path, const MeterFacts& facts,
                                   MeasurementStore& store);

// The kind-0 answer on a transit-time path has the signal answer's layout; its
// figures give the path's gains, SNRs, ADC fill, envelope change, delta time,
// flow velocity, sound speed and search state, and the site's units and the
// meter's clock.
void takeSignalFigures(const SignalFigures& figures, PathReadings& path, SiteReadings& site);

// The kind-0 answer of a path's NullTrack signal (the path digit raised by the
// NullTrack offset): its time difference, its gain (the average of up and
// down) and its frequency code (the reference count) become the path's
// NullTrack readings; the NullTrack is then active.
void takeNullTrackFigures(const SignalFigures& figures, PathReadings& path);

// The kind-0 answer on an Echoflux channel: header, the channel line (15
// fields), the spectrum line (N bins), the figure line (at least 20 fields).
// 0 or a fault: the header faults, 20204..20226 (channel and spectrum lines),
// the figure line's faults (20305..20324), 20401 (ended early), 20402 (nothing
// arrived on a meter with the memory block). On a fault the store is unchanged.
// Fills store.echoflux[channel], the channel's flow and flow velocity, and the
// site's units and meter clock.
int decodeEchofluxAnswer(std::string_view answer, int channel, const MeterFacts& facts,
                         MeasurementStore& store);

// --- Exchanges ---------------------------------------------------------------

// "qg " + kind digit + path digit + "8\r": kind "2" with extended diagnostics,
// "0" otherwise.
std::string diagnosticQueryText(bool extendedDiagnostics, int path);

// The reads before and after the diagnostic query of one path (the meter
// variable reads of the diagnostic loop):
//  1. without extended diagnostics and outside a capture row: the NullTrack
//     query of the path (when enabled and not failed), "accept", "rep_rate",
//     "make_state";
//  2. at the last active path of a pass (`lastPathOfPass`) or for a capture
//     row, without extended diagnostics: the reads of every failed transit-time
//     path ("alc_avg", "abar", "make_state", NullTrack "sigstr", "delta_t", "fx");
//  4. in Echoflux mode, on the Echoflux channel, the diagnostic query once
//     more with kind digit "0" (its Echoflux form).
// Copying the readings into a capture row is the caller's (the store is the
// one record). Failed paths and NullTrack failures are recorded in
// facts.channelFailures from every status word read (set and cleared).
// 0 or the exchange's
// code; 21021 (a value out of range) is reported as "Donnees compt. non
// valables" with the code unless ctx.quiet.
int readPathDiagnostics(MeterLink& link, const std::string& queryText, int path,
                        bool backspacePrefix, bool captureRow, bool lastPathOfPass,
                        MeterFacts& facts, MeasurementStore& store, OperationContext& ctx);

// The diagnostic query of one path through the command exchange (prompt
// preparation, "qg" with diagnosticQueryText, the answer up to the meter's
// terminator) and its decoding into the store by the answer's form: kind 2,
// kind 0 on a transit-time path, or the Echoflux form. The kind-0 query waits
// for the path to measure (up to 50 s, -3 "Echec canal n" / "Echec chemin n"
// when it does not); the status word read on the way is the path's status
// word. Answer faults are reported as "Donnees compt. non valables" with the
// code unless ctx.quiet. 0 or the code.
int queryPathDiagnostics(MeterLink& link, int path, MeterFacts& facts, MeasurementStore& store,
                         OperationContext& ctx);

}  // namespace tarnlux
