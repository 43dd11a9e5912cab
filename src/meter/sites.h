#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnlux::meter {

struct Profile;

// Misbehaviours of the site transfers (--fault names in parseSiteFault).
struct SiteFaults {
  int badCheck = 0;         // this many packets sent with a wrong check value
  int lostAcks = 0;         // this many acknowledgements taken as lost (the packet comes again)
  int naks = 0;             // this many packets received answered NAK although good
  bool refuse = false;      // a site sent to the meter is cancelled (ETX and a reason)
  bool disable = false;     // a site sent to the meter leaves the channels disabled
  bool noSites = false;     // the meter holds no site
};

enum class SiteFaultParse { NotSiteFault, Accepted, Refused };
SiteFaultParse parseSiteFault(std::string_view name, bool hasArgument, std::string_view argument,
                              SiteFaults& faults, std::string& error);

// The meter's numbered sites and the packet transfers that copy them:
//   "info"          model "-" version (" *CC" on meters that number packets)
//   "ls"            a header line with the model, then "NAME     [N]" per site
//   "dnsite gg"     a packet whose sequence field is the meter's site type
//                   number: every packet of a transfer carries it
//   "upsite N NAME" the meter sends site N packet by packet, each answered
//                   by ACK (next), NAK (again) or ETX (stop), then "<EOT>"
//   "dnsite N NAME" the meter takes site N packet by packet the same way
//   "cv N enab"     the enable state of channel N (0..3), written with a value
// A packet is LL TT SS text CK CR (lengths, status, type number, text, sum of
// TT..text modulo 256, all two hexadecimal digits). On meters that number
// their packets the text starts with a two-digit counter, given by " * CC"
// at the end of the command and counted up by each new packet.
class SiteStore {
 public:
  static constexpr int kSlots = 20;
  static constexpr int kChannels = 4;

  explicit SiteStore(const Profile& profile);
  void setFaults(const SiteFaults& faults);

  // A command line at the prompt: its answer, or nothing when it is not a site command.
  std::optional<std::string> execute(std::string_view line);
  // While true, the interpreter hands whole lines (without their CR) to onPacket.
  bool packetMode() const { return mode_ != Mode::Idle; }
  std::string onPacket(std::string_view line);

  int typeNumber() const { return typeNumber_; }
  const std::vector<std::string>* site(int slot) const;
  int enableState(int channel) const { return enables_[static_cast<std::size_t>(channel)]; }

 private:
  enum class Mode { Idle, Sending, Taking };
  struct Slot {
    std::string name;
    std::vector<std::string> lines;
  };

  std::string packet(std::string_view text, bool badCheck = false) const;
  std::string sendCurrent();
  std::string leave(std::string reply);
  std::string listing() const;
  std::string startSending(int slot, int counter);
  std::string take(std::string_view text, char control, int counter);

  std::string model_;
  std::string version_;
  bool numbered_ = false;
  int typeNumber_ = 0;
  std::array<Slot, kSlots> slots_{};
  std::array<int, kChannels> enables_{1, 1, 1, 1};
  SiteFaults faults_;
  Mode mode_ = Mode::Idle;
  int slot_ = 0;
  std::string name_;
  int counter_ = 0;
  std::vector<std::string> outgoing_;  // Sending: the lines, then "<EOT>"
  std::size_t next_ = 0;
  std::vector<std::string> incoming_;  // Taking: the lines so far
};

}  // namespace tarnlux::meter
