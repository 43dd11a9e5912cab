// One stored-event record as listed by the meter, and the site name typed to
// ask for the events of one site.
#include <string>

#include "diag/stored_events.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarnlux;
  fuzz::Input in(data, size);
  const std::uint8_t choice = in.take();
  const std::string_view text = in.text();
  if ((choice & 0x80) != 0) {
    std::string validated;
    if (checkEventSiteName(text, validated) == 0 && validated.size() > kEventSiteNameMaxLength)
      __builtin_trap();
    return 0;
  }
  StoredEvent event;
  event.siteId = "unchanged";
  if (decodeStoredEvent(text, event) != 0) {
    if (event.siteId != "unchanged") __builtin_trap();  // a fault leaves the caller's record
    return 0;
  }
  if (event.siteId.empty() || event.echofluxFigures.path < 0 || event.echofluxFigures.path > 3)
    __builtin_trap();
  return 0;
}
