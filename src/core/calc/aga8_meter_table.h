#pragma once

// The AGA8 density and compressibility table written into a gas meter: the
// command lines that carry it, the values the meter must list back, the
// reading of those listings, the whole exchange with its verification, and the
// copy of the verified table into the meter configuration read at connect.
//
// The meter holds four arrays per channel: "temp_grid" (10 temperatures, K),
// "pres_grid" (10 pressures, psia), "dens_grid" (100 densities, kg/m3) and
// "z_grid" (100 compressibility factors), the grids row by row, ten values of
// one temperature step to a row. It keeps its tables to six significant
// digits, so the verification compares against the sent values rounded the
// same way.

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "calc/aga8_screen_rules.h"
#include "common/op_context.h"
#include "link/connect.h"
#include "link/exchange.h"
#include "link/password_io.h"
#include "link/transport.h"

namespace tarnlux {

// Status line while the table goes out (the progress line adds the spinner).
inline constexpr const char* kAga8TableSendingText =
    "Enreg tableau AGA8 vers compteur. Patientez....";
inline constexpr const char* kAga8TableSentText = "Enreg donnees OK";
// The user cancelled the password dialog.
inline constexpr const char* kAga8TableAbandonedText = "Enreg donnees arr.";
// Stop pressed while the table went out or was read back.
inline constexpr const char* kAga8TableStoppedText = "Enreg donnees interr - Impossible conf enreg";
// A listing that cannot be read (with the code 21021..21028).
inline constexpr const char* kAga8TableCorruptText =
    "Memoire tableau AGA8 compteur corrompue(reerengistrer)";
// A listed value that differs from the one sent.
inline constexpr const char* kAga8TableNotConfirmedText =
    "Erreur de confirmation de memoire du tableau AGA8 du compteur (reenregistrer les donnees)";

// Faults of a listing read back.
inline constexpr int kAga8ListingNameMissing = 21021;    // no "name["
inline constexpr int kAga8ListingStartMissing = 21022;   // no "0]" after it
inline constexpr int kAga8ListingLabelUnclosed = 21023;  // an index label without "]"
inline constexpr int kAga8ListingTooManyValues = 21024;
inline constexpr int kAga8ListingBadNumber = 21025;
inline constexpr int kAga8ListingNumberTooLong = 21026;  // more than 32 characters
inline constexpr int kAga8ListingTooFewValues = 21027;
inline constexpr int kAga8ListingLastUnended = 21028;  // last number not ended by blank or CR

inline constexpr std::size_t kAga8ListingMaxNumberLength = 32;

// One of the four arrays: its variable name, the index label that leads the
// last line of its listing (four values to a line), and its size.
struct Aga8MeterArray {
  const char* name;
  const char* endMarker;
  std::size_t count;
};
inline constexpr std::array<Aga8MeterArray, 4> kAga8MeterArrays = {{
    {"temp_grid", "[8]", 10},
    {"pres_grid", "[8]", 10},
    {"dens_grid", "[96]", 100},
    {"z_grid", "[96]", 100},
}};

// The table as it goes to one channel of the meter.
struct Aga8MeterTable {
  int channel = 0;
  // In sending order: the temperature line, the pressure line, the ten
  // density rows, the ten compressibility rows; each ends with "\r".
  std::vector<std::string> lines;
  // What the meter must list back, in the order of kAga8MeterArrays.
  std::array<double, 10> temperaturesK{};
  std::array<double, 10> pressuresPsia{};
  std::array<double, 100> densities{};  // kg/m3, [10 * t + p]
  std::array<double, 100> compressibilities{};

  std::span<const double> expected(std::size_t array) const;
};

// Ten axis values from minimum to maximum, built by adding the step
// (maximum - minimum) / 9 nine times; the last value is what the additions
// give, which may differ from the maximum in its last bits.
std::array<double, 10> aga8MeterAxis(double minimum, double maximum);

// The value the meter lists back for a number sent as `sentText`: the text
// read as x, then x + x * 1e-15 printed "%12.5e" and read again. Six
// significant digits; the nudge takes a value lying on a rounding edge to the
// larger magnitude, as the meter rounds.
double aga8MeterReadBack(std::string_view sentText);
// "%12.5e" as printf writes it, whatever the process locale.
std::string aga8ReadBackText(double value);

// The 22 lines and the expected values of a table computed in table mode.
Aga8MeterTable buildAga8MeterTable(const Aga8Results& results, int channel);

// Reads the listing of `array` out of the meter's reply: finds "name[", then
// the first "0]" after it, then takes blank- or CR-separated numbers (line
// feeds and bracketed index labels skipped, each number at most 32 characters
// in the meter's strict decimal form). 0 with exactly array.count values, or
// a fault 21021..21028.
int parseAga8Listing(std::string_view reply, const Aga8MeterArray& array,
                     std::vector<double>& values);

// How a send ended, and what the screen does about it.
enum class Aga8TableSendEnd {
  Verified,              // every array read back as sent
  PasswordCancelled,     // the user cancelled the password dialog
  Stopped,               // Stop (the context's cancel flag)
  PasswordNotConfirmed,  // a password change did not read back (message shown)
  ListingCorrupt,        // a listing could not be read (message shown with the code)
  ValueDiffers,          // a listed value differs from the one sent (message shown)
  LinkFailed,            // the link failed (reported): the caller disconnects
};

struct Aga8TableSendOutcome {
  Aga8TableSendEnd end = Aga8TableSendEnd::LinkFailed;
  // What ended the send: a link code, a listing fault 21021..21028,
  // kPasswordChangeNotConfirmed; 0 when verified or a value differed.
  int code = 0;
  // The array whose listing failed the verification, else null.
  const char* array = nullptr;
  std::string status;  // the status line to show afterwards (empty: cleared)
  bool disconnect() const { return end == Aga8TableSendEnd::LinkFailed; }
};

// Writes `table` into the meter and reads every array back:
//  1. status kAga8TableSendingText with its spinner;
//  2. resyncPrompt with the "test" probe (on TCP a failure closes and reopens
//     the link once, 5000 ms connect limit, and tries again);
//  3. the password step (checkMeterPassword with `dialog`);
//  4. each line sent (2000 ms base time-out), with the reply drained between
//     lines (purgeInput 50000 ms, quiet 3000 ms);
//  5. each array listed ("cv %d name\r", 2000 ms; received until its end
//     marker and "\r", 50000 ms), read and compared exactly with the expected
//     values; the first fault or difference ends the send after its message.
// `facts` names the channel in the resync's messages.
Aga8TableSendOutcome sendAga8TableToMeter(MeterLink& link, const Aga8MeterTable& table,
                                          const ChannelFacts& facts, const PasswordDialog& dialog,
                                          OperationContext& ctx);

// After a verified send, the meter configuration read at connect shows what
// the meter now holds: when it was read and holds an AGA8 table, the table's
// 100 densities and compressibility factors, its pressures in the meter's
// unit (psia, or bar when the identity's pressure unit starts with "B") and
// its temperatures in the meter's unit (Celsius when the identity says 'C',
// else Fahrenheit) are copied into it. False when there was nothing to update.
bool copyAga8TableToConfiguration(const Aga8MeterTable& table, ConnectOutcome& outcome);

}  // namespace tarnlux
