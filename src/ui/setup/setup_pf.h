#pragma once

#include "diag/limit_fields.h"
#include "setup/block_edit_screen.h"

namespace tarnlux::ui {

// The limits set-up: the warning limits in the left column, the fail limits
// in the right, one row per pair in the order in which Save reports a refused
// field. `setup_pf` edits the transit-time limits, `rflex_pf` the Echoflux
// ones.
class setup_pf : public BlockEditScreen {
  Q_OBJECT

 public:
  explicit setup_pf(AppState& app, QWidget* parent = nullptr)
      : setup_pf(app, MeterBlockLayout::TransitTime, parent) {}

 protected:
  setup_pf(AppState& app, MeterBlockLayout layout, QWidget* parent);

  bool checkEdit(std::size_t index) override;
  const char* editMessage(std::size_t index) const override;
  const char* stagingFault(QLineEdit*& focus) const override;

 private:
  struct Field {
    const LimitFieldPair* pair;
    bool warning;
  };
  MeterBlockLayout layout_;
  std::vector<Field> fields_;  // in the order of the edits
  // Kept for its message.
  mutable std::string orderMessage_;
};

class rflex_pf : public setup_pf {
  Q_OBJECT

 public:
  explicit rflex_pf(AppState& app, QWidget* parent = nullptr)
      : setup_pf(app, MeterBlockLayout::Echoflux, parent) {}
};

// The menu command: the Echoflux limits when the channel measures in that
// mode, else the transit-time ones.
void openLimitsScreen(AppState& app, QWidget* parent);

}  // namespace tarnlux::ui
