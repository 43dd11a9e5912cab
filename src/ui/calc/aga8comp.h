#pragma once

#include <QDialog>
#include <array>
#include <string>

#include "calc/aga8_screen_rules.h"

class QLabel;
class QLineEdit;

namespace tarnlux::ui {

// The gas tool's composition dialog: the 21 components in percent, their
// total, "Normaliser", "Effacer", "OK" (validated, total included) and
// "Fermer" (as it stands).
class AGA8Comp : public QDialog {
  Q_OBJECT

 public:
  using Texts = std::array<std::string, kAga8CompositionEntryCount>;
  AGA8Comp(const Texts& texts, QWidget* parent = nullptr);

  // The field texts as the dialog leaves them.
  Texts texts() const;
  QLineEdit* field(int component) const { return fields_[static_cast<std::size_t>(component)]; }
  QLabel* totalLabel() const { return total_; }

  void normalise();
  void clearAll();
  void acceptIfValid();

 private:
  std::array<std::string, kAga8EntryCount> allTexts() const;
  void showTotal();

  std::array<QLineEdit*, kAga8CompositionEntryCount> fields_{};
  QLabel* total_ = nullptr;
};

}  // namespace tarnlux::ui
