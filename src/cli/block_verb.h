#pragma once

#include <string>
#include <string_view>

#include "cli_options.h"
#include "common/op_context.h"
#include "link/connect.h"
#include "link/link_settings.h"
#include "link/meter_block.h"
#include "link/password_io.h"

namespace tarnlux::cli {

// A connect as the program runs it, for the verbs that need the meter facts.
struct Connection {
  MeterLink link;
  MeterFacts facts;
  MeterBlockStore block;
  ConnectOutcome outcome;

  ~Connection();
};

// Connects; a meter with several channels takes --channel. 0, 1 (the failure
// already reported) or 2 (no channel given, or one the meter does not offer).
int connectForVerb(const LinkSettings& settings, const Options& options, OperationContext& ctx,
                   Connection& connection);

// "limit.NAME.warning=W" and "limit.NAME.fail=F" for every pair of the layout.
void printBlockLimits(const PassFailLimits& limits, MeterBlockLayout layout);

// Sets one field named as "block read" prints it. An integer takes decimal
// digits only, a decimal digits and one point (at most six decimals, as the
// block carries them), and then the rule of the limits screen's field; a text
// the rule of the meter information screen's field (the location in upper
// case), the capture's stamps what the block can carry. Returns 0, 1 for a
// key unknown in `layout`, or 2 for a bad value, with the reason in `error`
// and, for a range, the accepted one in `detail`.
int setBlockField(MeterBlockFields& fields, MeterBlockLayout layout, const std::string& key,
                  const std::string& value, std::string& error, std::string& detail);

// Control characters and "\" as "\xHH", so a block text stays on one line.
std::string escapedText(std::string_view text);

// The verbs that use the block need it: false, said on stderr, on a meter
// without one.
bool requireBlock(const Connection& c);

// Before a write that keeps the fields it does not change: the block fields
// the meter holds (read again when the connect lost its read). A block that
// cannot be decoded is rebuilt from defaults, said on stderr; one that cannot
// be read at all gives 1, or its fields would be lost.
int blockFieldsForWrite(Connection& c, const char* verb, OperationContext& ctx);

// --password as the user's entry in the password dialog: a refused entry
// cancels with its message in `refusal`, shown by showPasswordRefusal().
PasswordDialog passwordDialogForVerb(const Options& options, std::string& refusal);
void showPasswordRefusal(const Options& options, const std::string& refusal);

// The meter password step with --password as the user's entry; a refusal is
// said on stderr (unless quiet). 0 or the code.
int checkPasswordForVerb(Connection& c, const Options& options, OperationContext& ctx);

// "block read" and "block write": exit status 0, 1 (failure, its text on
// stderr) or 2 (usage).
int runBlockRead(const LinkSettings& settings, const Options& options, OperationContext& ctx);
int runBlockWrite(const LinkSettings& settings, const Options& options, OperationContext& ctx);

}  // namespace tarnlux::cli
