#pragma once

namespace tarnlux {

// Screens with much content come in two layouts.
enum class ScreenLayout { Small, Large };

// The small layout serves desktops narrower than 1024 or lower than 768 pixels.
// A dimension of 0 means "not reported" and never selects the small layout.
ScreenLayout chooseLayout(int screenWidth, int screenHeight);

}  // namespace tarnlux
