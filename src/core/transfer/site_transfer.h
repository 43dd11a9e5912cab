#pragma once

// The packet phase of a site transfer, as engines: each is given the packet
// lines the meter sends (with their check result and arrival time) and gives
// the bytes to send back. No I/O here; site_session.cpp moves the bytes.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "link/meter_facts.h"  // kEtx

namespace tarnlux {

// Faults of the transfer itself (packet faults 20101..20108 are in link/packet.h).
inline constexpr int kSiteBadCounterField = 20110;
inline constexpr int kSiteUnexpectedCounter = 20111;
inline constexpr int kSiteLineTooLong = 20112;
inline constexpr int kSiteBadTransferField = 20113;
inline constexpr int kSiteWrongTransferNumber = 20114;
inline constexpr int kSiteFirstPacketNumber = 20115;
inline constexpr int kSiteUnexpectedAnswer = 20116;

inline constexpr char kAck = 0x06;
inline constexpr char kNak = 0x15;

// Retries of one packet before the transfer stops.
inline constexpr int kSitePacketRetries = 3;
// A plain packet identical to the previous one is a repeat only this late.
inline constexpr std::int64_t kSiteRepeatAfterMs = 6000;
// The longest packet line (without its CR) and the longest site file line.
inline constexpr std::size_t kSitePacketLineMax = 79;
inline constexpr std::size_t kSiteFileLineMax = 80;

inline constexpr const char* kSiteEndOfData = "<EOT>";

inline constexpr const char* kPacketErrorText = "Erreur paquet";
inline constexpr const char* kPacketDataErrorText = "Donnees paquet incorrectes";
inline constexpr const char* kTooManyRetriesText = "Erreur transfert infos site - Trop de tentatives ";
inline constexpr const char* kReceiveMismatchText =
    "Erreur de confirmation des infos du site (reenregistrer les infos du site)";
inline constexpr const char* kSendMismatchText =
    "Erreur de confirmation des infos du site (supprimer et renvoyer site)";
inline constexpr const char* kCancelledByMeterText = "Transfert des infos du site annule par compteur";

// What both directions share: the transfer number S (type of every packet
// sent, expected sequence of every packet received) and, in the numbered
// variant, the packet counter, which carries over from pass to pass.
struct SitePacketing {
  int transferNumber = 0;
  bool numbered = false;
  int counter = 0;  // 0..255

  // Where a packet's text begins: after the header, and the counter when numbered.
  std::size_t textOffset() const { return numbered ? 8 : 6; }
  // A packet of type S, sequence 0, with `text` (after the counter when numbered).
  std::string packet(std::string_view text, int counterValue) const;
  // The ETX packet that cancels a started transfer.
  std::string cancelPacket() const { return packet(std::string(1, kEtx), counter); }
};

// What an engine wants after a packet.
struct SiteStep {
  enum class Kind { Continue, Done, Failed };
  Kind kind = Kind::Continue;
  std::string reply;    // bytes to send now (may be empty)
  int code = 0;         // on failure: the fault code, or -1 for none
  std::string message;  // on failure: the text to show
  bool retry = false;   // this packet counted as a retry
  bool peerCancelled = false;  // the meter ended the transfer itself (ETX)
};

// One pass of receiving a site (meter to PC). The first pass stores the
// packets; a verification pass compares each with the text stored before.
class SiteReceivePass {
 public:
  // `expected`: the texts of the first pass (verification), or null.
  SiteReceivePass(SitePacketing& packeting, const std::vector<std::string>* expected,
                  const char* mismatchText = kReceiveMismatchText);

  // "upsite N NAME\r", or with " * CC" in the numbered variant.
  std::string command(int siteNumber, std::string_view siteName) const;
  // One packet line (without its CR), the result of checkPacketLine on it
  // with the transfer number expected, and when it arrived.
  SiteStep onPacket(std::string_view line, int checkResult, std::int64_t nowMs);

  // The packets' texts (first pass): what the site file is written from.
  const std::vector<std::string>& texts() const { return texts_; }
  int packets() const { return packets_; }
  int retriesOfPacket() const { return retriesOfPacket_; }
  int totalRetries() const { return totalRetries_; }
  std::size_t characters() const { return characters_; }

 private:
  SiteStep fault(int code, const char* message);
  SiteStep acknowledge(int counterValue, bool repeated);

  SitePacketing& packeting_;
  const std::vector<std::string>* expected_;
  const char* mismatchText_;
  std::vector<std::string> texts_;
  std::string previousLine_;
  std::int64_t previousAt_ = 0;
  int previousCounter_ = -1;
  int packets_ = 0;
  int retriesOfPacket_ = 0;
  int totalRetries_ = 0;
  std::size_t characters_ = 0;
};

// Sending a site (PC to meter): the file's lines, then "<EOT>", each answered
// by ACK (next), NAK (again) or ETX (the meter cancels, with its reason).
class SiteSendPass {
 public:
  SiteSendPass(SitePacketing& packeting, std::vector<std::string> lines);

  // "dnsite N NAME\r", or with " * CC" in the numbered variant.
  std::string command(int siteNumber, std::string_view siteName) const;
  // The packet to send now (the current line, or "<EOT>" after the last).
  std::string currentPacket() const;
  SiteStep onAnswer(std::string_view line, int checkResult);

  int packets() const { return packets_; }
  int retriesOfPacket() const { return retriesOfPacket_; }
  int totalRetries() const { return totalRetries_; }
  std::size_t characters() const { return characters_; }
  std::size_t totalCharacters() const { return totalCharacters_; }

 private:
  SiteStep retry(int code, const char* message);

  SitePacketing& packeting_;
  std::vector<std::string> lines_;
  std::size_t next_ = 0;  // lines_.size() while "<EOT>" is out
  int packets_ = 0;
  int retriesOfPacket_ = 0;
  int totalRetries_ = 0;
  std::size_t characters_ = 0;
  std::size_t totalCharacters_ = 0;
};

}  // namespace tarnlux
