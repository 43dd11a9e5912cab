#pragma once

// Connecting to a meter: open the link, learn the meter's capabilities and
// channels, identify it, let the user choose the channel when there is a
// choice, read the meter's configuration and the memory block of that channel.
// The connect screen gathers input (channel, location/TAG name) and shows the
// results; everything it asks of the meter is here.
//
// Ownership of the capability word: MeterFacts::meterFlags is the owner. The
// connect step writes it there and copies it to MeterLink::meterFlags (which
// the exchange layer reads) whenever it changes; nothing else writes either.
// A failed or cancelled connect leaves both at 0.

#include <array>
#include <functional>
#include <string>
#include <string_view>

#include "common/op_context.h"
#include "common/result.h"
#include "link/exchange.h"
#include "link/link_settings.h"
#include "link/meter_block_io.h"
#include "link/meter_facts.h"
#include "link/password_io.h"
#include "link/site_answers.h"
#include "link/transport.h"
#include "reports/meter_config.h"

namespace tarnlux {

inline constexpr int kConnectOpenTimeoutMs = 5000;

// Asks the user for the channel. `selectable` has bit n set for every channel
// the user may choose (the screen enables those radio buttons, shows
// "Selectionner canal" and pumps until OK or Cancel). Returns the channel
// 0..3, or -2 when the user cancelled or closed the screen. A value outside
// the selectable set counts as a cancel.
using ChooseChannel = std::function<int(unsigned selectable)>;

// What a connect learnt besides the meter facts.
struct ConnectOutcome {
  // The block of the selected channel (or site slot) was read and already
  // names the site: the naming step is skipped.
  bool nameInBlock = false;
  // Whether the block was read (meters with the memory block and a channel),
  // and the result of that read (0, or the code it reported), which does not
  // decide the connect.
  bool blockRead = false;
  int blockReadResult = 0;
  // The identity answer ("qg 400") of the selected channel or the site slot,
  // when the meter gave one.
  bool identityRead = false;
  ChannelIdentityAnswer identity;
  // The configuration answer ("qg 500") of the selected channel or site slot.
  bool configurationRead = false;
  MeterConfiguration configuration;
};

// Runs the whole connect sequence:
//  1. opens the link with `settings` (5000 ms connect time-out);
//  2. resets `facts` and asks "qg A01" for the capability word;
//  3. identifies the meter and checks every measuring channel ("Echec canal n"
//     / "Echec chemin n", "... NullTrack " messages; a failing channel does not
//     end the connect);
//  4. sets the limits of `block` to their defaults (gas values on a gas meter);
//  5. selects the channel: the only one, else `chooseChannel`;
//  6. memory-block meters: "qg 500" of the selected channel, then its block;
//     a block read makes the meter's values the working values, so the
//     defaults stay in force only for a meter without a readable block.
// On success returns 0 with the link open, `facts` filled (selectedChannel,
// echofluxMode, locationName from the block...) and `outcome` filled. On any
// failure the link is closed, facts.meterFlags and link.meterFlags are 0 and
// the code is returned: -2 when cancelled (through ctx's cancel flag or the
// channel choice; nothing reported, the screen shows "Connexion annulee"),
// else the code the failing step reported.
int connectToMeter(MeterLink& link, const LinkSettings& settings, MeterFacts& facts,
                   MeterBlockStore& block, const ChooseChannel& chooseChannel,
                   ConnectOutcome& outcome, OperationContext& ctx);

// Status line texts of the naming step when the meter's block is replaced by
// a fresh one (the defaults with the name).
inline constexpr const char* kFreshBlockForEmptyText =
    "Memoire de configuration du compteur vide, ecriture des valeurs par defaut";
inline constexpr const char* kFreshBlockForUnreadableText =
    "Memoire de configuration du compteur illisible, ecriture des valeurs par defaut";

// The naming step after the name passed checkSiteName (site_names.h) and was
// added to the name list: remembers it as facts.locationName and, on a meter
// with the memory block and a known channel (multi-path: the site slot), writes
// it into the block. The other fields keep the values the block holds in the
// meter: when the connect could not read the block, it is read again first. A
// block that is empty or cannot be decoded is replaced by the defaults with
// the name (the progress line says so); when the block cannot be read at all
// (time-out, link failure), nothing is written. A failure closes the link and
// returns its code; the screen stays in the naming step.
int storeSiteName(MeterLink& link, const std::string& name, MeterFacts& facts,
                  MeterBlockStore& block, OperationContext& ctx);

// One site query through querySiteData whose parser gets the answer after
// the echo of the query (header line first), whatever start marker found it.
// A parser fault is reported as "Donnees compt. non valables" with the code
// ("Pas de reponse du compteur" for an empty answer of a memory-block meter).
int runSiteQuery(MeterLink& link, const SiteQuery& query, bool multiPath,
                 const std::function<int(std::string_view answer)>& parse, OperationContext& ctx);

// The path set-up answer ("qg n00", kind 3) of `path`, which the capture
// header's configuration dump and the settings view list per path. `out` is
// left as it was on a fault. 0 or the code (reported as runSiteQuery does).
int readChannelSetup(MeterLink& link, const MeterFacts& facts, int path, ChannelSetupAnswer& out,
                     OperationContext& ctx);

}  // namespace tarnlux
