#pragma once

class QPrinter;

namespace tarnlux::ui {

// The program's printer: the print set-up command edits it, every screen that
// prints uses it.
QPrinter& sharedPrinter();

}  // namespace tarnlux::ui
