#pragma once

// Result codes shared by every operation of the meter link and the screens.
// 0 is success; negative values are the link's own outcomes; positive values
// are system/socket error numbers or the system's fault codes.

namespace tarnlux {

inline constexpr int kOk = 0;
inline constexpr int kTimeout = -1;
inline constexpr int kCancelled = -2;
inline constexpr int kChannelNotReady = -3;
inline constexpr int kOutOfMemory = -4;

// Socket error numbers. The link reports these numbers for these conditions on
// every platform, so the codes an engineer reads in a message are the same
// whatever machine the program runs on.
inline constexpr int kSockInvalidArgument = 10022;
inline constexpr int kSockWouldBlock = 10035;
inline constexpr int kSockAlreadyInProgress = 10037;
inline constexpr int kSockAlreadyConnected = 10056;
inline constexpr int kSockNotConnected = 10057;

// Packet faults 20101..20116 and answer parse faults 21001..21038 are defined
// next to the code that detects them.

}  // namespace tarnlux
