#pragma once

#include "cli_options.h"
#include "link/link_settings.h"

namespace tarnlux::cli {

// The link of a meter verb: --link, else the COMMUNICATIONS section of qm.cfg
// in --dir (default: the working directory). The settings file is only read:
// a verb never creates or rewrites it. Without a usable link (no --link, no
// or no readable qm.cfg, no port in it, a --dir that is not a directory) the
// usage error says so at once, naming --link and the file. 0, or 2 once the
// error has been shown.
int chooseLink(const Options& options, LinkSettings& settings);

}  // namespace tarnlux::cli
