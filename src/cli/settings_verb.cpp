#include "settings_verb.h"

#include <cstdio>

#include "block_verb.h"
#include "common/result.h"
#include "reports/settings_page.h"

namespace tarnlux::cli {

int runSettings(const LinkSettings& settings, const Options& options, OperationContext& ctx) {
  Connection c;
  const int status = connectForVerb(settings, options, ctx, c);
  if (status != 0) return status;
  SettingsPage page;
  if (readSettingsPage(c.link, c.facts, c.block, c.outcome, page, ctx) != kOk) return 1;
  for (const std::string& line : page.lines) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
  }
  std::fflush(stdout);
  return 0;
}

}  // namespace tarnlux::cli
