#include "app/layout_choice.h"

namespace tarnlux {

ScreenLayout chooseLayout(int screenWidth, int screenHeight) {
  const bool narrow = screenWidth != 0 && screenWidth < 1024;
  const bool low = screenHeight != 0 && screenHeight < 768;
  return narrow || low ? ScreenLayout::Small : ScreenLayout::Large;
}

}  // namespace tarnlux
