#include "faults.h"

#include "number_text.h"

namespace tarnlux::meter {

bool parseFaults(std::string_view list, FaultSet& faults, std::string& error) {
  std::size_t pos = 0;
  while (pos <= list.size()) {
    std::size_t end = list.find(',', pos);
    if (end == std::string_view::npos) end = list.size();
    const std::string_view item = list.substr(pos, end - pos);
    pos = end + 1;
    const std::size_t eq = item.find('=');
    const std::string_view name = item.substr(0, eq);
    const bool hasArg = eq != std::string_view::npos;
    const std::string_view arg = hasArg ? item.substr(eq + 1) : std::string_view();
    const auto noArg = [&]() {
      if (hasArg) error = "fault \"" + std::string(name) + "\" takes no value";
      return !hasArg;
    };
    if (name == "xoff-hold") {
      if (!noArg()) return false;
      faults.xoffHold = true;
    } else if (name == "drop") {
      faults.dropAfter = 1;
      if (hasArg) {
        const std::optional<double> n = parseInteger(arg, 1, 1000000);
        if (!n) {
          error = "fault drop=N needs N from 1 to 1000000";
          return false;
        }
        faults.dropAfter = static_cast<int>(*n);
      }
    } else if (name == "silent") {
      if (!noArg()) return false;
      faults.silent = true;
    } else if (name == "split") {
      if (!noArg()) return false;
      faults.split = true;
    } else if (name == "continuous") {
      if (!noArg()) return false;
      faults.continuous = true;
    } else if (name == "garbage") {
      if (!hasArg || arg == "before") {
        faults.garbage = FaultSet::Garbage::Before;
      } else if (arg == "into") {
        faults.garbage = FaultSet::Garbage::Into;
      } else {
        error = "fault garbage takes \"before\" or \"into\"";
        return false;
      }
    } else if (name == "delay") {
      const std::optional<double> ms = hasArg ? parseInteger(arg, 0, 3600000) : std::nullopt;
      if (!ms) {
        error = "fault delay=MS needs MS from 0 to 3600000";
        return false;
      }
      faults.delayMs = static_cast<int>(*ms);
    } else if (name == "not-measuring" || name == "nulltrack-fail") {
      const std::optional<double> index = hasArg ? parseInteger(arg, 0, 15) : std::nullopt;
      if (!index) {
        error = "fault " + std::string(name) + "=N needs an index N from 0 to 15";
        return false;
      }
      unsigned& mask = name == "not-measuring" ? faults.notMeasuring : faults.nullTrackFailing;
      mask |= 1u << static_cast<unsigned>(*index);
    } else if (name == "units-change") {
      const std::optional<double> n = hasArg ? parseInteger(arg, 1, 1000000) : std::nullopt;
      if (!n) {
        error = "fault units-change=N needs N from 1 to 1000000";
        return false;
      }
      faults.unitsChangeAfter = static_cast<int>(*n);
    } else if (name == "short-block") {
      if (!noArg()) return false;
      faults.shortBlock = true;
    } else if (name == "block-silent") {
      const std::optional<double> n = hasArg ? parseInteger(arg, 1, 1000000) : 1.0;
      if (!n) {
        error = "fault block-silent=N needs N from 1 to 1000000";
        return false;
      }
      faults.silentBlockReads = static_cast<int>(*n);
    } else if (name == "block-drop") {
      if (!noArg()) return false;
      faults.dropBlockRead = true;
    } else if (name == "event-bad-record") {
      if (!noArg()) return false;
      faults.eventBadRecord = true;
    } else if (name == "storage-bad-check") {
      if (!noArg()) return false;
      faults.storageBadCheck = true;
    } else if (name == "table-short" || name == "table-off") {
      if (!hasArg || arg.empty()) {
        error = "fault " + std::string(name) + "=NAME needs an array name";
        return false;
      }
      (name == "table-short" ? faults.tableShort : faults.tableOff).emplace_back(arg);
    } else if (name == "menu") {
      if (!noArg()) return false;
      faults.menu = true;
    } else if (const SignalFaultParse signal =
                   parseSignalFault(name, hasArg, arg, faults.signal, error);
               signal != SignalFaultParse::NotSignalFault) {
      if (signal == SignalFaultParse::Refused) return false;
    } else if (const SiteFaultParse site = parseSiteFault(name, hasArg, arg, faults.sites, error);
               site != SiteFaultParse::NotSiteFault) {
      if (site == SiteFaultParse::Refused) return false;
    } else if (const BootFaultParse boot = parseBootFault(name, hasArg, arg, faults.boot, error);
               boot != BootFaultParse::NotBootFault) {
      if (boot == BootFaultParse::Refused) return false;
    } else {
      error = "unknown fault \"" + std::string(item) + "\"";
      return false;
    }
  }
  return true;
}

}  // namespace tarnlux::meter
