#pragma once

#include "setup/block_edit_screen.h"

namespace tarnlux::ui {

// The meter information ("Config infos comptr"): the location/tag and the
// spool and flowmeter identity texts the memory block keeps. Save requires a
// location.
class SetMInfo : public BlockEditScreen {
  Q_OBJECT

 public:
  explicit SetMInfo(AppState& app, QWidget* parent = nullptr);

 protected:
  bool checkEdit(std::size_t index) override;
  const char* editMessage(std::size_t index) const override;
  QLineEdit* locationEdit() const override { return edits().front(); }

 private:
  std::vector<const char*> messages_;  // of the last check of each edit
};

}  // namespace tarnlux::ui
