#pragma once

#include "app/layout_choice.h"

class QWidget;

namespace tarnlux::ui {

// The layout for a screen opened now over `owner` (the primary screen when
// null), from the size of the screen it shows on.
ScreenLayout currentScreenLayout(const QWidget* owner = nullptr);

}  // namespace tarnlux::ui
