#include "app/qm_app.h"

int main(int argc, char** argv) {
  tarnlux::ui::CQmApp app(argc, argv);
  if (!app.initInstance()) return 1;
  return app.exec();
}
