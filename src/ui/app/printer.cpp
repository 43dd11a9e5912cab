#include "app/printer.h"

#include <QPrinter>

namespace tarnlux::ui {

QPrinter& sharedPrinter() {
  static QPrinter printer(QPrinter::HighResolution);
  return printer;
}

}  // namespace tarnlux::ui
