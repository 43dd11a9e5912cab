#pragma once

namespace tarnlux {

// The version the program shows in its title and about box.
inline constexpr const char* kProgramVersion = "1.01.05";
inline constexpr const char* kMakerName = "Norvane";

}  // namespace tarnlux
